// The process-wide client API objects, taken by a connection's settings by
// callers that need not know the implementations.
#pragma once

#include "dac/mysql/client/api/mysql_api.h"

namespace dac {

// The embedded server's (MyAPIEmbedded) when embedded, else the library's
// own protocol (MyAPIDirect) when direct, else the client library's
// (MyAPIClient).
TMySQLAPI& MySQLAPIFor(bool embedded, bool direct);

// Makes the three now, so that an object made after them, which may close
// connections through them when the process ends, goes first.
void MakeMySQLAPIs();

}  // namespace dac
