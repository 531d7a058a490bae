#include "dac/mysql/provider/my_value_conversion.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/decimal_text.h"
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

// The microseconds of a fraction that starts at p with its point.
int Microseconds(std::string_view text, size_t p) {
  if (p >= text.size() || text[p] != '.') return 0;
  int us = 0;
  for (size_t i = 1; i <= 6; ++i) us = us * 10 + (p + i < text.size() ? text[p + i] - '0' : 0);
  return us;
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
    DatabaseError("Wrong time format. Field " + Excerpt(field_name) + ", value " + Excerpt(text));
  }
  const bool negative = !text.empty() && text[0] == '-';
  const int hours = Digits(text, negative ? 1 : 0, colon - (negative ? 1 : 0));
  const int minutes = Digits(text, colon + 1, 2);
  const int seconds = Digits(text, colon + 4, 2);
  if (hours < 0 || minutes < 0 || seconds < 0) return false;
  // The fraction whole: a TIME holds microseconds, and so does a span of days.
  const double part = hours / 24.0 + (minutes * 60 + seconds + Microseconds(text, colon + 6) / 1e6) / 86400.0;
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
    if (j == exponent.size()) throw EConvertError("'" + Excerpt(exponent) + "' is not a valid integer value");
    for (; j < exponent.size(); ++j)
      if (exponent[j] < '0' || exponent[j] > '9')
        throw EConvertError("'" + Excerpt(exponent) + "' is not a valid integer value");
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
    const uint32_t micro = length == 12 ? u32(8) : 0;
    if (value[5] > 23 || value[6] > 59 || value[7] > 59 || micro > 999999) return false;
    const double seconds = value[5] * 3600.0 + value[6] * 60.0 + value[7] + micro / 1e6;
    const double span = u32(1) + seconds / plat::kSecsPerDay;
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

// ---- the server's text of a value ----

namespace {

std::string Padded(uint64_t value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return digits;
}

// Beyond these decimal exponents the server writes a FLOAT or DOUBLE with
// an exponent; column decimals from 31 up mean "as many as needed".
constexpr int kMinFixedExponent = -15;
constexpr int kMaxFixedExponent = 14;
constexpr int kNotFixedDecimals = 31;
constexpr int kFloatDigits = 6;

// A value as decimal digits: 0 or d.ddd x 10^exponent.
struct DecimalDigits {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

// significant 0: the fewest digits that tell the value apart from every
// other double; else that many, rounded. Trailing zeros are dropped.
DecimalDigits DigitsOf(double value, int significant) {
  char buffer[64];
  const std::to_chars_result done =
      significant > 0
          ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, significant - 1)
          : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view text(buffer, static_cast<size_t>(done.ptr - buffer));
  const size_t e = text.find('e');
  DecimalDigits out;
  for (char c : text.substr(0, e)) {
    if (c == '-') out.negative = true;
    else if (c != '.') out.digits += c;
  }
  while (out.digits.size() > 1 && out.digits.back() == '0') out.digits.pop_back();
  const char* exponent = text.data() + e + 1;
  if (*exponent == '+') ++exponent;
  std::from_chars(exponent, text.data() + text.size(), out.exponent);
  return out;
}

// Adds one to the last digit of a digit string.
void Increment(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(0, 1, '1');
}

// Fixed notation; places below 0: every digit, else exactly that many
// fraction digits, rounded half up. Zero has no sign; a negative value
// rounded to zero keeps its own ("-0.00"), as the server writes it.
std::string FixedText(const DecimalDigits& d, int places) {
  const int point = d.exponent + 1;
  std::string whole = "0";
  std::string fraction;
  if (point > 0) {
    whole = d.digits.substr(0, std::min(d.digits.size(), static_cast<size_t>(point)));
    whole.append(static_cast<size_t>(point) - whole.size(), '0');
    if (d.digits.size() > static_cast<size_t>(point)) fraction = d.digits.substr(static_cast<size_t>(point));
  } else {
    fraction = std::string(static_cast<size_t>(-point), '0') + d.digits;
  }
  if (places >= 0 && fraction.size() > static_cast<size_t>(places)) {
    const bool up = fraction[static_cast<size_t>(places)] >= '5';
    fraction.resize(static_cast<size_t>(places));
    if (up) {
      std::string all = whole + fraction;
      Increment(all);
      whole = all.substr(0, all.size() - fraction.size());
      fraction = all.substr(whole.size());
    }
  } else if (places >= 0) {
    fraction.append(static_cast<size_t>(places) - fraction.size(), '0');
  }
  const bool zero = d.digits == "0";
  return (d.negative && !zero ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

std::string ShortestText(double value, bool is_float) {
  const DecimalDigits d = DigitsOf(value, is_float ? kFloatDigits : 0);
  if (d.digits == "0" || (d.exponent >= kMinFixedExponent && d.exponent <= kMaxFixedExponent))
    return FixedText(d, -1);
  return std::string(d.negative ? "-" : "") + d.digits.substr(0, 1) +
         (d.digits.size() > 1 ? "." + d.digits.substr(1) : "") + "e" + std::to_string(d.exponent);
}

// The fraction of a date or time: exactly the column's decimals (at most 6).
std::string Fraction(int decimals, uint64_t microseconds) {
  decimals = std::min(decimals, 6);
  if (decimals <= 0) return std::string();
  return "." + Padded(microseconds, 6).substr(0, static_cast<size_t>(decimals));
}

class ValueReader {
 public:
  ValueReader(const uint8_t* value, size_t length) : value_(value), length_(length) {}
  uint64_t Unsigned(size_t size) {
    if (position_ + size > length_) throw EConvertError("Binary value too short for its type");
    uint64_t v = 0;
    for (size_t i = 0; i < size; ++i) v |= static_cast<uint64_t>(value_[position_ + i]) << (8 * i);
    position_ += size;
    return v;
  }
  int64_t Signed(size_t size) {
    const uint64_t v = Unsigned(size);
    const int shift = static_cast<int>(64 - 8 * size);
    return static_cast<int64_t>(v << shift) >> shift;
  }
  size_t Length() const { return length_; }

 private:
  const uint8_t* value_;
  size_t length_;
  size_t position_ = 0;
};

std::string IntegerText(const TColumnTextForm& form, ValueReader& reader, size_t size) {
  if (!form.is_unsigned) return std::to_string(reader.Signed(size));
  return ServerUnsignedText(reader.Unsigned(size), form);
}

std::string BinaryDateText(ValueReader& reader) {
  if (reader.Length() == 0) return "0000-00-00";
  const uint64_t year = reader.Unsigned(2);
  const uint64_t month = reader.Unsigned(1);
  const uint64_t day = reader.Unsigned(1);
  return Padded(year, 4) + "-" + Padded(month, 2) + "-" + Padded(day, 2);
}

std::string BinaryDateTimeText(const TColumnTextForm& form, ValueReader& reader) {
  const size_t length = reader.Length();
  std::string text = BinaryDateText(reader);
  uint64_t hms[3] = {0, 0, 0};
  if (length >= 7)
    for (uint64_t& part : hms) part = reader.Unsigned(1);
  const uint64_t micro = length >= 11 ? reader.Unsigned(4) : 0;
  return text + " " + Padded(hms[0], 2) + ":" + Padded(hms[1], 2) + ":" + Padded(hms[2], 2) +
         Fraction(form.decimals, micro);
}

std::string BinaryTimeText(const TColumnTextForm& form, ValueReader& reader) {
  const size_t length = reader.Length();
  bool negative = false;
  uint64_t hours = 0, minutes = 0, seconds = 0, micro = 0;
  if (length >= 8) {
    negative = reader.Unsigned(1) != 0;
    hours = reader.Unsigned(4) * 24 + reader.Unsigned(1);
    minutes = reader.Unsigned(1);
    seconds = reader.Unsigned(1);
    if (length >= 12) micro = reader.Unsigned(4);
  }
  return ServerTimeText(negative, hours * 3600 + minutes * 60 + seconds, micro, form.decimals);
}

}  // namespace

std::string ServerFloatText(double value, bool is_float, int32_t decimals) {
  // No column holds these; a row that brings one anyway gets a word, not digits.
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (decimals >= kNotFixedDecimals) return ShortestText(value, is_float);
  return FixedText(DigitsOf(value, 0), std::max(decimals, 0));
}

std::string ServerFloatText(double value, const TColumnTextForm& form) {
  std::string text = ServerFloatText(value, form.mysql_type == mftFloat, form.decimals);
  const size_t width = static_cast<size_t>(std::max(form.length, 0));
  // Only digits are padded: a NaN's or an infinity's word stays as it is.
  const bool digits = !text.empty() && std::isdigit(static_cast<unsigned char>(text[0]));
  if (form.zero_fill && digits && text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

std::string ServerUnsignedText(uint64_t value, const TColumnTextForm& form) {
  return Padded(value, form.zero_fill ? form.length : 0);
}

std::string ServerSignedText(int64_t value, const TColumnTextForm& form) {
  if (value < 0 || !form.zero_fill) return std::to_string(value);
  return ServerUnsignedText(static_cast<uint64_t>(value), form);
}

std::string ServerDateText(int year, int month, int day) {
  return Padded(static_cast<uint64_t>(std::max(year, 0)), 4) + "-" + Padded(static_cast<uint64_t>(std::max(month, 0)), 2) +
         "-" + Padded(static_cast<uint64_t>(std::max(day, 0)), 2);
}

std::string ServerDateTimeText(int year, int month, int day, int hour, int minute, int second, uint32_t micro,
                               int32_t decimals) {
  return ServerDateText(year, month, day) + " " + Padded(static_cast<uint64_t>(hour), 2) + ":" +
         Padded(static_cast<uint64_t>(minute), 2) + ":" + Padded(static_cast<uint64_t>(second), 2) +
         Fraction(decimals, micro);
}

std::string ServerTimeText(bool negative, uint64_t seconds, uint64_t micro, int32_t decimals) {
  const bool zero = seconds == 0 && Fraction(decimals, micro).find_first_not_of(".0") == std::string::npos;
  return std::string(negative && !zero ? "-" : "") + Padded(seconds / 3600, 2) + ":" + Padded(seconds / 60 % 60, 2) +
         ":" + Padded(seconds % 60, 2) + Fraction(decimals, micro);
}

std::optional<std::string> TextOfBinary(const TColumnTextForm& form, const uint8_t* value, size_t length) {
  ValueReader reader(value, length);
  switch (form.mysql_type) {
    case mftTiny:
      return IntegerText(form, reader, 1);
    case mftShort:
      return IntegerText(form, reader, 2);
    case mftLong:
    case mftInt24:
      return IntegerText(form, reader, 4);
    case mftLongLong:
      return IntegerText(form, reader, 8);
    case mftYear:
      return Padded(reader.Unsigned(2), 4);
    case mftFloat: {
      const uint32_t bits = static_cast<uint32_t>(reader.Unsigned(4));
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return ServerFloatText(f, form);
    }
    case mftDouble: {
      const uint64_t bits = reader.Unsigned(8);
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return ServerFloatText(d, form);
    }
    case mftDate:
    case mftNewDate:
      return BinaryDateText(reader);
    case mftDateTime:
    case mftTimestamp:
      return BinaryDateTimeText(form, reader);
    case mftTime:
      return BinaryTimeText(form, reader);
    default:
      return std::nullopt;
  }
}

bool SameDecimalValue(std::string_view a, std::string_view b) {
  Decimal x, y;
  if (!ParseDecimal(a, '.', x) || !ParseDecimal(b, '.', y)) return false;
  x = TrimDecimal(x);
  y = TrimDecimal(y);
  if (x.IsZero() || y.IsZero()) return x.IsZero() && y.IsZero();
  return x.negative == y.negative && x.digits == y.digits && x.exponent == y.exponent;
}

std::string ShortestDoubleText(double value) {
  char text[32];
  const auto done = std::to_chars(text, text + sizeof text, value);
  return std::string(text, done.ptr);
}

}  // namespace dac
