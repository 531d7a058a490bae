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
// is not a valid integer value" for a bad exponent, each quoting a short
// excerpt.
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
// format. Field %s, value %s" with field_name (each quoted by a short
// excerpt).
bool DateTimeFromText(uint8_t mysql_type, int declared_length, std::string_view text, std::string_view field_name,
                      double& out);
// The binary protocol's packed date, date-time or time. A TIME of length 0
// is time_of_zero.
bool DateTimeFromBinary(uint8_t mysql_type, const uint8_t* value, size_t length, double time_of_zero, double& out);

// How the server writes a column's values as text: its type, its flags
// and its display length and decimals.
struct TColumnTextForm {
  uint8_t mysql_type = 0;
  bool is_unsigned = false;
  bool zero_fill = false;
  int32_t length = 0;
  int32_t decimals = 0;
};

// FLOAT and DOUBLE as the server writes them: with decimals below 31
// rounded to exactly that many; else a FLOAT to six significant digits and
// a DOUBLE to the fewest that tell it apart, in fixed notation for decimal
// exponents from -15 to 14, else as digits, 'e' and the exponent
// ("3.40282e38", "1e15"). A NaN or an infinity, which no column holds, is
// "nan", "inf" or "-inf".
std::string ServerFloatText(double value, bool is_float, int32_t decimals);
// A FLOAT or DOUBLE column's value: as above, zero-filled to the display
// length when the column says so.
std::string ServerFloatText(double value, const TColumnTextForm& form);
// Integers in decimal, zero-filled to the display length when the column says so.
std::string ServerUnsignedText(uint64_t value, const TColumnTextForm& form);
std::string ServerSignedText(int64_t value, const TColumnTextForm& form);
// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" and "[-]HH:MM:SS" (hours beyond 99
// as many digits as they take), each with exactly decimals fraction digits
// (at most 6) of micro.
std::string ServerDateText(int year, int month, int day);
std::string ServerDateTimeText(int year, int month, int day, int hour, int minute, int second, uint32_t micro,
                               int32_t decimals);
std::string ServerTimeText(bool negative, uint64_t seconds, uint64_t micro, int32_t decimals);

// A number or date of the binary protocol as the text protocol writes it
// (for a column read as text); nullopt for a type the protocol sends as
// text anyway. A value shorter than its type raises EConvertError.
std::optional<std::string> TextOfBinary(const TColumnTextForm& form, const uint8_t* value, size_t length);

// Two decimal texts of one value ("1.10" and "1.1", "1e2" and "100").
bool SameDecimalValue(std::string_view a, std::string_view b);
// The fewest digits that read back as the same double.
std::string ShortestDoubleText(double value);

}  // namespace dac
