// The statement that lists the stored routines of a database on a server
// of the given version; empty below version 5, which has none.
#pragma once

#include <string>

namespace dac {

std::string StoredProcNamesSQL(const std::string& server_version, const std::string& database);

}  // namespace dac
