// What a query allows the server to ask for: the files that its LOAD DATA
// LOCAL INFILE (or LOAD XML LOCAL INFILE) statements name. A server's request
// for any other file is refused, so a hostile server cannot read the
// client's files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dac {

// The file names in statement order, quotes and backslash escapes decoded.
// Comments, other strings and quoted identifiers are skipped; a name written
// in any other form is not found (and so not sent).
std::vector<std::string> LocalInfileNames(const uint8_t* sql, size_t length);

}  // namespace dac
