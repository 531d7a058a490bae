// Column values from their wire form to the record store's: decimal text
// of integers and floats, the binary protocol's little-endian numbers and
// packed dates, BIT values, and date and time texts, straight from the
// bytes without building strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dac {

// An optional leading "-", then decimal digits; other characters are not
// checked (the server writes the text). wide: 64-bit arithmetic, else
// 32-bit, wrapping as the field's size would.
int64_t IntegerFromText(std::string_view text, bool wide);

// A decimal number with an optional sign, point and exponent. EConvertError
// "'%s' is not a valid floating point value" for another character, "'%s'
// is not a valid integer value" for a bad exponent.
double FloatFromText(std::string_view text);

// A 1, 2, 4 or 8-byte little-endian integer, sign-extended when is_signed;
// another length is an assertion failure.
int64_t IntegerFromBinary(const uint8_t* value, size_t length, bool is_signed);
// The bytes most significant first, as the server sends a BIT value.
uint64_t BitFromBytes(const uint8_t* value, size_t length);
// A 4-byte float widened, or an 8-byte double; another length is the
// assertion failure "Float Len = <length>".
double FloatFromBinary(const uint8_t* value, size_t length);

// A date or time column's text as a date-time (days since 1899-12-30):
// false for a zero or impossible date. mysql_type is the column's type;
// declared_length selects the old TIMESTAMP layouts. A TIME whose ":" lies
// beyond its fifth character raises the database error "Wrong time
// format. Field %s, value %s" with field_name.
bool DateTimeFromText(uint8_t mysql_type, int declared_length, std::string_view text, std::string_view field_name,
                      double& out);
// The binary protocol's packed date, date-time or time. A TIME of length 0
// is time_of_zero.
bool DateTimeFromBinary(uint8_t mysql_type, const uint8_t* value, size_t length, double time_of_zero, double& out);

// A number or date of the binary protocol as the text protocol writes it
// (for a column read as text); nullopt for a type the protocol sends as
// text anyway.
std::optional<std::string> TextOfBinary(uint8_t mysql_type, bool is_unsigned, const uint8_t* value, size_t length);

}  // namespace dac
