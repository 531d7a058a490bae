#include "dac/mysql/provider/my_value_conversion.h"

#include <charconv>
#include <cstring>
#include <string>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_records.h"
#include "platform/date_time.h"

namespace dac {

namespace {

// n digits from position p as a number; positions beyond the text read as
// missing, which leaves an impossible date rather than reading past it.
int Digits(std::string_view text, size_t p, size_t n) {
  int value = 0;
  for (size_t i = p; i < p + n; ++i) {
    if (i >= text.size()) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int TwoDigitYear(int yy) { return yy >= 70 ? 1900 + yy : 2000 + yy; }

// The milliseconds of a fraction that starts at p with its point.
int Milliseconds(std::string_view text, size_t p) {
  if (p >= text.size() || text[p] != '.') return 0;
  int ms = 0;
  for (size_t i = 1; i <= 3; ++i) ms = ms * 10 + (p + i < text.size() ? text[p + i] - '0' : 0);
  return ms;
}

bool DateAndTime(int year, int month, int day, int hour, int minute, int second, int ms, double& out) {
  double date = 0;
  double time = 0;
  if (!plat::TryEncodeDate(year, month, day, date)) return false;
  if (!plat::TryEncodeTime(hour, minute, second, ms, time)) return false;
  out = date >= 0 ? date + time : date - time;
  return true;
}

struct TimestampLayout {
  int length;
  bool four_digit_year;
  int month, day, hour, minute, second;  // positions, -1 for none
};

// The old TIMESTAMP(n) forms: digits without separators, by declared length.
constexpr TimestampLayout kTimestampLayouts[] = {
    {2, false, -1, -1, -1, -1, -1}, {4, false, 2, -1, -1, -1, -1}, {6, false, 2, 4, -1, -1, -1},
    {8, true, 4, 6, -1, -1, -1},    {10, false, 2, 4, 6, 8, -1},   {12, false, 2, 4, 6, 8, 10},
    {14, true, 4, 6, 8, 10, 12},
};

bool TimestampFromText(int declared_length, std::string_view text, double& out) {
  if (declared_length >= 19) {
    // "YYYY-MM-DD HH:MM:SS" and any fraction after it.
    return DateAndTime(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2), Digits(text, 11, 2),
                       Digits(text, 14, 2), Digits(text, 17, 2), Milliseconds(text, 19), out);
  }
  for (const TimestampLayout& layout : kTimestampLayouts) {
    if (layout.length != declared_length) continue;
    const auto at = [&](int p, int missing) { return p < 0 ? missing : Digits(text, static_cast<size_t>(p), 2); };
    const int year = layout.four_digit_year ? Digits(text, 0, 4) : TwoDigitYear(Digits(text, 0, 2));
    return DateAndTime(year, at(layout.month, 1), at(layout.day, 1), at(layout.hour, 0), at(layout.minute, 0),
                       at(layout.second, 0), 0, out);
  }
  AssertionFailed("Invalid FIELD_TYPE_TIMESTAMP Field.Length (" + std::to_string(declared_length) + ")", __FILE__,
                  __LINE__);
}

bool TimeFromText(std::string_view text, std::string_view field_name, double& out) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon > 4) {
    DatabaseError("Wrong time format. Field " + std::string(field_name) + ", value " + std::string(text));
  }
  const bool negative = !text.empty() && text[0] == '-';
  const int hours = Digits(text, negative ? 1 : 0, colon - (negative ? 1 : 0));
  const int minutes = Digits(text, colon + 1, 2);
  const int seconds = Digits(text, colon + 4, 2);
  if (hours < 0 || minutes < 0 || seconds < 0) return false;
  const double part = hours / 24.0 + (minutes * 60 + seconds + Milliseconds(text, colon + 6) / 1000.0) / 86400.0;
  out = negative ? -part : part;
  return true;
}

[[noreturn]] void NotAFloat(std::string_view text) {
  throw EConvertError("'" + std::string(text.substr(0, 36)) + "' is not a valid floating point value");
}

}  // namespace

int64_t IntegerFromText(std::string_view text, bool wide) {
  const bool negative = !text.empty() && text[0] == '-';
  uint64_t value = 0;
  for (size_t i = negative ? 1 : 0; i < text.size(); ++i) value = value * 10 + static_cast<uint64_t>(text[i] - '0');
  if (negative) value = 0 - value;
  return wide ? static_cast<int64_t>(value) : static_cast<int32_t>(static_cast<uint32_t>(value));
}

double FloatFromText(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  bool point = false;
  bool digits = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.' && !point) {
      point = true;
    } else if (text[i] >= '0' && text[i] <= '9') {
      digits = true;
    } else {
      NotAFloat(text);
    }
  }
  if (!digits) NotAFloat(text);
  if (i < text.size()) {
    const std::string_view exponent = text.substr(i + 1);
    size_t j = !exponent.empty() && (exponent[0] == '-' || exponent[0] == '+') ? 1 : 0;
    if (j == exponent.size()) throw EConvertError("'" + std::string(exponent) + "' is not a valid integer value");
    for (; j < exponent.size(); ++j)
      if (exponent[j] < '0' || exponent[j] > '9')
        throw EConvertError("'" + std::string(exponent) + "' is not a valid integer value");
  }
  // Checked above: the standard reader rounds correctly however long the text.
  const std::string_view body = !text.empty() && text[0] == '+' ? text.substr(1) : text;
  double value = 0;
  const auto parsed = std::from_chars(body.data(), body.data() + body.size(), value);
  if (parsed.ec == std::errc::result_out_of_range) NotAFloat(text);
  return value;
}

int64_t IntegerFromBinary(const uint8_t* value, size_t length, bool is_signed) {
  uint64_t bits = 0;
  switch (length) {
    case 1:
    case 2:
    case 4:
    case 8:
      for (size_t i = 0; i < length; ++i) bits |= static_cast<uint64_t>(value[i]) << (8 * i);
      break;
    default:
      AssertionFailed("Integer Len = " + std::to_string(length), __FILE__, __LINE__);
  }
  if (!is_signed || length == 8) return static_cast<int64_t>(bits);
  const int shift = static_cast<int>(64 - 8 * length);
  return static_cast<int64_t>(bits << shift) >> shift;
}

uint64_t BitFromBytes(const uint8_t* value, size_t length) {
  uint64_t bits = 0;
  for (size_t i = 0; i < length; ++i) bits = (bits << 8) | value[i];
  return bits;
}

double FloatFromBinary(const uint8_t* value, size_t length) {
  if (length == 4) {
    float single = 0;
    std::memcpy(&single, value, 4);
    return single;
  }
  if (length != 8) AssertionFailed("Float Len = " + std::to_string(length), __FILE__, __LINE__);
  double result = 0;
  std::memcpy(&result, value, 8);
  return result;
}

bool DateTimeFromText(uint8_t mysql_type, int declared_length, std::string_view text, std::string_view field_name,
                      double& out) {
  switch (mysql_type) {
    case mftTimestamp:
      return TimestampFromText(declared_length, text, out);
    case mftDate:
    case mftNewDate:
      return plat::TryEncodeDate(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2), out);
    case mftTime:
      return TimeFromText(text, field_name, out);
    default:
      return DateAndTime(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2), Digits(text, 11, 2),
                         Digits(text, 14, 2), Digits(text, 17, 2), Milliseconds(text, 19), out);
  }
}

bool DateTimeFromBinary(uint8_t mysql_type, const uint8_t* value, size_t length, double time_of_zero, double& out) {
  const auto u16 = [&](size_t p) { return value[p] | (value[p + 1] << 8); };
  const auto u32 = [&](size_t p) { return static_cast<uint32_t>(IntegerFromBinary(value + p, 4, false)); };
  if (mysql_type == mftTime) {
    if (length == 0) {
      out = time_of_zero;
      return true;
    }
    if (length != 8 && length != 12)
      AssertionFailed("Error DateTimeFromStrPrep function Len = " + std::to_string(length), __FILE__, __LINE__);
    double time = 0;
    const int ms = length == 12 ? static_cast<int>(u32(8) / 1000) : 0;
    if (!plat::TryEncodeTime(value[5], value[6], value[7], ms, time)) return false;
    const double span = u32(1) + time;
    // The sign byte: -01:30 keeps its sign as its text does.
    out = value[0] ? -span : span;
    return true;
  }
  switch (length) {
    case 0:
      return false;
    case 4:
      return plat::TryEncodeDate(u16(0), value[2], value[3], out);
    case 7:
    case 11:
      return DateAndTime(u16(0), value[2], value[3], value[4], value[5], value[6],
                         length == 11 ? static_cast<int>(u32(7) / 1000) : 0, out);
    default:
      AssertionFailed("FIELD_TYPE_DATETIME Len = " + std::to_string(length), __FILE__, __LINE__);
  }
}

namespace {

std::string Padded(uint64_t value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return digits;
}

}  // namespace

std::optional<std::string> TextOfBinary(uint8_t mysql_type, bool is_unsigned, const uint8_t* value, size_t length) {
  const auto u = [&](size_t p, size_t n) { return static_cast<uint64_t>(IntegerFromBinary(value + p, n, false)); };
  switch (mysql_type) {
    case mftTiny:
    case mftShort:
    case mftLong:
    case mftInt24:
    case mftLongLong:
    case mftYear: {
      const int64_t number = IntegerFromBinary(value, length, !is_unsigned);
      return is_unsigned && length == 8 ? std::to_string(static_cast<uint64_t>(number)) : std::to_string(number);
    }
    case mftFloat:
    case mftDouble: {
      char text[32];
      const double number = FloatFromBinary(value, length);
      const auto done = length == 4 ? std::to_chars(text, text + sizeof text, static_cast<float>(number))
                                    : std::to_chars(text, text + sizeof text, number);
      return std::string(text, done.ptr);
    }
    case mftDate:
    case mftNewDate:
    case mftDateTime:
    case mftTimestamp: {
      if (length < 4) return std::string("0000-00-00");
      std::string text = Padded(u(0, 2), 4) + "-" + Padded(value[2], 2) + "-" + Padded(value[3], 2);
      if (mysql_type == mftDate || mysql_type == mftNewDate) return text;
      text += " " + Padded(length >= 7 ? value[4] : 0, 2) + ":" + Padded(length >= 7 ? value[5] : 0, 2) + ":" +
              Padded(length >= 7 ? value[6] : 0, 2);
      if (length >= 11) text += "." + Padded(u(7, 4), 6);
      return text;
    }
    case mftTime: {
      if (length < 8) return std::string("00:00:00");
      std::string text = std::string(value[0] ? "-" : "") + Padded(u(1, 4) * 24 + value[5], 2) + ":" +
                         Padded(value[6], 2) + ":" + Padded(value[7], 2);
      if (length >= 12) text += "." + Padded(u(8, 4), 6);
      return text;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace dac
