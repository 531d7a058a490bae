// How dac-query writes what a server returns, as the mariadb client writes
// it in batch mode without column names: rows as TAB-separated lines, values
// of the binary protocol as the server would have written them as text, and
// the error line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dac/mysql/client/mysql_api.h"

namespace tools {

using BatchRow = std::vector<std::optional<std::string>>;

// Values separated by TAB, NULL as "NULL", ending in LF; inside values NUL,
// TAB, LF and backslash become \0, \t, \n and \\.
std::string BatchLine(const BatchRow& row);

// A binary-protocol value as text, by its column: integers in decimal
// (unsigned, zero-filled to the column length as the flags say), dates and
// times with the column's fraction digits, FLOAT and DOUBLE fixed to the
// column's decimals or in the server's shortest form, anything else as its
// bytes. A value shorter than its type raises std::invalid_argument.
std::string BinaryValueText(const dac::TMYSQL_FIELD& field, std::string_view value);

// "ERROR code (state): message": a server's state and text come from the
// message as the protocol forms it (CR LF, '#', five state characters); a
// client error has state HY000, and its CR LF pairs become blanks.
std::string ErrorLine(uint32_t code, const std::string& message);

}  // namespace tools
