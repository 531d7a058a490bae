// The statement that lists the stored routines of a database on a server
// of the given version; empty below version 5, which has none. The name is
// a literal written for the session's escaping.
#pragma once

#include <string>

#include "dac/mysql/provider/my_sql_literals.h"

namespace dac {

std::string StoredProcNamesSQL(const std::string& server_version, const std::string& database,
                               const TMySQLEscaping& escaping);

}  // namespace dac
