// One column value as the server sends it (after a byte that picks the
// conversion and a byte of its settings): integer and float text, the
// binary protocol's integers, BIT values and floats, date and time texts,
// packed dates and times, and binary numbers turned into the text protocol's
// form. Integers and floats must agree with strtoll and strtod, binary
// values with their bytes; dates and times convert to finite values or
// fail; a packed date or time and its text form give the same value; only
// the documented errors are raised, each with a short message.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/provider/my_value_conversion.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {
namespace {

const uint8_t* Bytes(std::string_view value) { return reinterpret_cast<const uint8_t*>(value.data()); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "-"? digit+
bool IsDecimalInteger(std::string_view text) {
  const size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  if (start == text.size()) return false;
  for (size_t i = start; i < text.size(); ++i)
    if (!IsDigit(text[i])) return false;
  return true;
}

// [+-]? (digits with at most one point, one digit at least) ([eE] [+-]? digit+)?
bool IsDecimalFloat(std::string_view text) {
  size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  bool digits = false;
  bool point = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (IsDigit(text[i])) {
      digits = true;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  if (i == text.size()) return true;
  ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i)
    if (!IsDigit(text[i])) return false;
  return true;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void IntegerText(std::string_view text, bool wide) {
  const int64_t value = dac::IntegerFromText(text, wide);
  if (!IsDecimalInteger(text)) return;  // not checked, as the server writes the text
  const std::string copy(text);
  errno = 0;
  int64_t expected = std::strtoll(copy.c_str(), nullptr, 10);
  if (errno == ERANGE) {
    // An unsigned BIGINT above the signed range wraps; beyond 64 bits nothing is promised.
    if (copy[0] == '-') return;
    errno = 0;
    expected = static_cast<int64_t>(std::strtoull(copy.c_str(), nullptr, 10));
    if (errno == ERANGE) return;
  }
  if (!wide) expected = static_cast<int32_t>(static_cast<uint32_t>(expected));
  Require(value == expected, "an integer text converts other than strtoll reads it");
}

void FloatText(std::string_view text) {
  const std::string copy(text);
  errno = 0;
  const double expected = std::strtod(copy.c_str(), nullptr);
  const bool out_of_range = errno == ERANGE;
  std::optional<double> value;
  try {
    value = dac::FloatFromText(text);
  } catch (const dac::EConvertError& e) {
    RequireShortMessage(e.Message());
  }
  if (!IsDecimalFloat(text)) return Require(!value, "a text that is no decimal number converts");
  if (!value) return Require(out_of_range, "a decimal number in range is refused");
  Require(SameBits(*value, expected), "a float text converts other than strtod reads it");
}

// What the assertion of a length a conversion does not know must say.
void RequireLengthAssertion(const dac::EAssertionFailed& e, const std::string& expected) {
  Require(e.Text() == expected, "an assertion other than the documented one");
}

void IntegerBinary(std::string_view value, bool is_signed) {
  const size_t length = value.size();
  try {
    const int64_t got = dac::IntegerFromBinary(Bytes(value), length, is_signed);
    int64_t expected = 0;
    switch (length) {
      case 1: expected = is_signed ? int64_t{std::bit_cast<int8_t>(value[0])} : Bytes(value)[0]; break;
      case 2: {
        uint16_t u = 0;
        std::memcpy(&u, value.data(), 2);
        expected = is_signed ? int64_t{std::bit_cast<int16_t>(u)} : int64_t{u};
        break;
      }
      case 4: {
        uint32_t u = 0;
        std::memcpy(&u, value.data(), 4);
        expected = is_signed ? int64_t{std::bit_cast<int32_t>(u)} : int64_t{u};
        break;
      }
      default: std::memcpy(&expected, value.data(), 8); break;
    }
    Require(got == expected, "a binary integer other than its bytes");
  } catch (const dac::EAssertionFailed& e) {
    Require(length != 1 && length != 2 && length != 4 && length != 8, "a binary integer of a known length refused");
    RequireLengthAssertion(e, "Integer Len = " + std::to_string(length));
  }
  // A BIT value is its bytes most significant first.
  if (length > 8) return;
  uint8_t reversed[8] = {};
  for (size_t i = 0; i < length; ++i) reversed[i] = Bytes(value)[length - 1 - i];
  Require(dac::BitFromBytes(Bytes(value), length) == static_cast<uint64_t>(dac::IntegerFromBinary(reversed, 8, false)),
          "a BIT value other than its bytes");
}

void FloatBinary(std::string_view value) {
  const size_t length = value.size();
  try {
    const double got = dac::FloatFromBinary(Bytes(value), length);
    if (length == 4) {
      float single = 0;
      std::memcpy(&single, value.data(), 4);
      Require(std::isnan(single) ? std::isnan(got) : got == single, "a binary FLOAT other than its bytes");
    } else {
      double d = 0;
      std::memcpy(&d, value.data(), 8);
      Require(SameBits(got, d), "a binary DOUBLE other than its bytes");
    }
  } catch (const dac::EAssertionFailed& e) {
    Require(length != 4 && length != 8, "a binary float of a known length refused");
    RequireLengthAssertion(e, "Float Len = " + std::to_string(length));
  }
}

constexpr uint8_t kDateTypes[] = {dac::mftDate, dac::mftNewDate, dac::mftTime, dac::mftDateTime, dac::mftTimestamp};
// The old TIMESTAMP(n) lengths, the full one, and a few no server declares.
constexpr int kDeclaredLengths[] = {14, 19, 2, 4, 6, 8, 10, 12, 26, 0, 3, 13};

bool KnownTimestampLength(int length) { return length >= 19 || (length >= 2 && length <= 14 && length % 2 == 0); }

void DateText(std::string_view text, uint8_t settings) {
  const uint8_t type = kDateTypes[settings % 5];
  const int declared = kDeclaredLengths[settings / 5 % 12];
  double out = 0;
  try {
    if (dac::DateTimeFromText(type, declared, text, "f", out))
      Require(std::isfinite(out), "a date or time that is not a finite number");
    Require(type != dac::mftTimestamp || KnownTimestampLength(declared), "an unknown TIMESTAMP layout converts");
  } catch (const dac::EDatabaseError& e) {
    const size_t colon = text.find(':');
    Require(type == dac::mftTime && (colon == std::string_view::npos || colon > 4) &&
                e.Message().starts_with("Wrong time format. Field f, value "),
            "a time format error for a time whose colon is in place");
    RequireShortMessage(e.Message());
  } catch (const dac::EAssertionFailed& e) {
    Require(type == dac::mftTimestamp && !KnownTimestampLength(declared), "an assertion for a known layout");
    RequireLengthAssertion(e, "Invalid FIELD_TYPE_TIMESTAMP Field.Length (" + std::to_string(declared) + ")");
  }
}

constexpr uint8_t kPackedTypes[] = {dac::mftDate, dac::mftNewDate, dac::mftDateTime, dac::mftTimestamp, dac::mftTime};

bool KnownPackedLength(uint8_t type, size_t length) {
  if (type == dac::mftTime) return length == 0 || length == 8 || length == 12;
  return length == 0 || length == 4 || length == 7 || length == 11;
}

// Whether the text protocol writes these packed fields as the value the
// binary protocol reads: every field within the digits its text has (a
// wider one would shift the rest), a DATE without a time, a TIME whose
// hours fit before the colon and whose parts do not carry over.
bool SameInText(uint8_t type, const uint8_t* v, size_t length) {
  const auto u32 = [&](size_t p) { return static_cast<uint32_t>(dac::IntegerFromBinary(v + p, 4, false)); };
  if (type == dac::mftTime) {
    if (length < 8) return true;
    const uint64_t hours = uint64_t{u32(1)} * 24 + v[5];
    return v[5] <= 23 && v[6] <= 59 && v[7] <= 59 && (length < 12 || u32(8) <= 999999) && hours < 1000;
  }
  if (length < 4) return true;
  if ((type == dac::mftDate || type == dac::mftNewDate) && length > 4) return false;
  for (size_t i = 2; i < std::min<size_t>(length, 7); ++i)
    if (v[i] > 99) return false;
  return (v[0] | v[1] << 8) <= 9999 && (length < 11 || u32(7) <= 999999);
}

void PackedDate(std::string_view value, uint8_t settings) {
  const uint8_t type = kPackedTypes[settings % 5];
  const size_t length = value.size();
  double binary = 0;
  bool converts = false;
  try {
    converts = dac::DateTimeFromBinary(type, Bytes(value), length, 0.0, binary);
    if (converts) Require(std::isfinite(binary), "a packed date or time that is not a finite number");
  } catch (const dac::EAssertionFailed& e) {
    Require(!KnownPackedLength(type, length), "a packed value of a known length refused");
    RequireLengthAssertion(e, (type == dac::mftTime ? "Error DateTimeFromStrPrep function Len = "
                                                    : "FIELD_TYPE_DATETIME Len = ") +
                                  std::to_string(length));
    return;
  }
  Require(KnownPackedLength(type, length), "a packed value of an unknown length converts");
  // The same value as the text protocol would send it.
  dac::TColumnTextForm form;
  form.mysql_type = type;
  form.decimals = 6;
  const std::optional<std::string> text = dac::TextOfBinary(form, Bytes(value), length);
  Require(text.has_value(), "a packed date or time without a text form");
  if (!SameInText(type, Bytes(value), length)) return;
  double from_text = 0;
  const bool text_converts = dac::DateTimeFromText(type, 19, *text, "f", from_text);
  Require(text_converts == converts && (!converts || std::fabs(from_text - binary) <= 1e-9 * (1 + std::fabs(binary))),
          "a packed date or time and its text convert differently");
}

constexpr uint8_t kNumberTypes[] = {dac::mftTiny,  dac::mftShort, dac::mftLong,  dac::mftInt24,
                                    dac::mftLongLong, dac::mftYear, dac::mftFloat, dac::mftDouble};
constexpr size_t kNumberSizes[] = {1, 2, 4, 4, 8, 2, 4, 8};

// A binary number in the text protocol's form reads back as the same number.
void NumberText(std::string_view value, uint8_t settings, uint8_t decimals) {
  const size_t kind = settings % 8;
  dac::TColumnTextForm form;
  form.mysql_type = kNumberTypes[kind];
  form.is_unsigned = settings & 8;
  form.zero_fill = settings & 16;
  form.length = settings >> 5 << 2;
  form.decimals = decimals;
  const size_t size = kNumberSizes[kind];
  const bool is_float = form.mysql_type == dac::mftFloat || form.mysql_type == dac::mftDouble;
  std::optional<std::string> text;
  try {
    text = dac::TextOfBinary(form, Bytes(value), value.size());
  } catch (const dac::EConvertError& e) {
    Require(value.size() < size, "a binary number long enough refused");
    return RequireShortMessage(e.Message());
  }
  Require(value.size() >= size && text.has_value(), "a binary number too short converts");
  if (is_float) {
    const double number = dac::FloatFromBinary(Bytes(value), size);
    // No column holds a NaN or an infinity: a word, not digits.
    if (!std::isfinite(number))
      return Require(*text == (std::isnan(number) ? "nan" : number < 0 ? "-inf" : "inf"),
                     "a NaN or an infinity written other than as its word");
    const double read = dac::FloatFromText(*text);
    if (form.decimals < 31) {
      Require(std::fabs(read - number) <= 0.5 * std::pow(10.0, -form.decimals) + std::fabs(number) * 1e-15,
              "a number written to its decimals lies further from its value than they allow");
    } else if (form.mysql_type == dac::mftDouble) {
      Require(SameBits(read, number) || (read == 0 && number == 0), "a DOUBLE's shortest text reads another value");
      const double shortest = dac::FloatFromText(dac::ShortestDoubleText(number));
      Require(SameBits(shortest, number), "the shortest text of a DOUBLE reads another value");
    } else {
      Require(std::fabs(read - number) <= std::fabs(number) * 5e-6, "a FLOAT's text lies beyond its six digits");
    }
    return;
  }
  const bool is_signed = !form.is_unsigned && form.mysql_type != dac::mftYear;
  Require(dac::IntegerFromText(*text, true) == dac::IntegerFromBinary(Bytes(value), size, is_signed),
          "an integer's text reads another value");
}

void Run(uint8_t kind, uint8_t settings, std::string_view value) {
  try {
    switch (kind % 7) {
      case 0: return IntegerText(value, settings & 1);
      case 1: return FloatText(value);
      case 2: IntegerBinary(value, settings & 1); return FloatBinary(value);
      case 3: return DateText(value, settings);
      case 4: return PackedDate(value, settings);
      default: {
        // A byte of decimals first.
        if (value.empty()) return;
        return NumberText(value.substr(1), settings, static_cast<uint8_t>(value[0]));
      }
    }
  } catch (const dac::Exception& e) {
    ReportUnexpected(e.Message());
  }
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  fuzz::Run(data[0], data[1], fuzz::AsText(data + 2, size - 2));
  return 0;
}
