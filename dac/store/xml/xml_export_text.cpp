#include "dac/store/xml/xml_export_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "dac/framework/values/text_conversions.h"
#include "platform/code_page.h"
#include "platform/format_settings.h"

namespace dac {

namespace {

bool NeedsReference(char c) {
  switch (c) {
    case '&':
    case '\'':
    case '"':
    case '<':
    case '>':
    case '\t':
    case '\n':
    case '\r': return true;
    default: return false;
  }
}

}  // namespace

std::string XMLEncode(std::string_view text) {
  // Most values hold none of the characters: they go as they are.
  size_t plain = 0;
  while (plain < text.size() && !NeedsReference(text[plain])) ++plain;
  std::string result(text.substr(0, plain));
  if (plain == text.size()) return result;
  result.reserve(text.size() + 16);
  for (char c : text.substr(plain)) {
    switch (c) {
      case '&': result += "&#x26;"; break;
      case '\'': result += "&#x27;"; break;
      case '"': result += "&#x22;"; break;
      case '<': result += "&#x3c;"; break;
      case '>': result += "&#x3e;"; break;
      case '\t': result += "&#x9;"; break;
      case '\n': result += "&#xa;"; break;
      case '\r': result += "&#xd;"; break;
      default: result += c;
    }
  }
  return result;
}

std::string ChangeDecimalSeparator(std::string_view value, char old_separator, char new_separator) {
  std::string result(value);
  if (old_separator != new_separator) std::replace(result.begin(), result.end(), old_separator, new_separator);
  return result;
}

namespace {

// A value's shortest digits (no trailing zeros but the one of "0") and the
// decimal exponent of the first.
struct ShortDigits {
  char text[24];
  int size = 0;
  int exp10 = 0;
};

// The whole number nearest a value from 0 to below 2^52, ties to even (as
// nearbyint rounds by default): adding 2^52 leaves no fraction bits, and
// without fast-math the compiler keeps both steps.
double NearestWhole(double value) {
  constexpr double kNoFraction = 4503599627370496.0;  // 2^52
  return (value + kNoFraction) - kNoFraction;
}

// The shortest digits of a positive value with up to six decimals (amounts,
// measures) and their exponent, found with integers: below 10^15 a double's
// step is under 1/8, so a decimal n / 10^k that reads back as the value is
// the whole number nearest value * 10^k, and the first k at which it reads
// back gives the fewest digits.
bool FewDecimals(double value, ShortDigits& digits) {
  static constexpr double kScale[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
  for (int k = 0; k < 7; ++k) {
    const double scaled = value * kScale[k];
    if (!(scaled < 1e15)) break;
    // The nearest whole number to the scaled value: the only one that could read back.
    const double whole = NearestWhole(scaled);
    if (whole == 0 || whole / kScale[k] != value) continue;
    const char* end = std::to_chars(digits.text, digits.text + sizeof digits.text, static_cast<int64_t>(whole)).ptr;
    digits.size = static_cast<int>(end - digits.text);
    digits.exp10 = digits.size - k - 1;
    return true;
  }
  return false;
}

// The shortest digits that read back, from the library's conversion.
bool ScientificDigits(double value, ShortDigits& digits) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  if (error != std::errc()) return false;
  // d[.ddd]e[+-]xx
  const std::string_view text(buffer, static_cast<size_t>(end - buffer));
  const size_t e = text.find('e');
  digits.text[0] = text[0];
  digits.size = 1;
  if (text[1] == '.') {
    const std::string_view rest = text.substr(2, e - 2);
    if (rest.size() + 1 > sizeof digits.text) return false;
    std::copy(rest.begin(), rest.end(), digits.text + 1);
    digits.size += static_cast<int>(rest.size());
  }
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), digits.exp10);
  return true;
}

// A separator that could stand in the text for anything else.
bool AmbiguousSeparator(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'E' || c == 'I' || c == 'N' || c == 'F' ||
         c == 'A' || c == '\0';
}

char* PutText(char* out, std::string_view text) { return std::copy(text.begin(), text.end(), out); }

}  // namespace

char* PutFloatXmlText(char* out, double value) {
  const char separator = plat::ProcessFormatSettings().decimal_separator;
  const auto long_way = [&] {
    const std::string text = ChangeDecimalSeparator(FloatToStr(value), separator, '.');
    return PutText(out, std::string_view(text).substr(0, kFloatXmlTextRoom));
  };
  // Below the normal range a double's step is no longer small against its digits.
  if (AmbiguousSeparator(separator) || !std::isnormal(value)) return long_way();
  constexpr int kPrecision = 15;
  ShortDigits digits;
  if (!FewDecimals(std::fabs(value), digits) && !ScientificDigits(std::fabs(value), digits)) return long_way();
  // A 15-digit rounding lies within half a step of digits as few as these.
  if (digits.size > kPrecision) return long_way();
  while (digits.size > 1 && digits.text[digits.size - 1] == '0') --digits.size;
  // Laid out as FloatToStr lays out its digits.
  const int point = digits.exp10 + 1;
  const std::string_view all(digits.text, static_cast<size_t>(digits.size));
  if (value < 0) *out++ = '-';
  if (point > kPrecision || point < -3) {
    *out++ = all[0];
    if (all.size() > 1) {
      *out++ = '.';
      out = PutText(out, all.substr(1));
    }
    *out++ = 'E';
    return std::to_chars(out, out + 8, digits.exp10).ptr;
  }
  if (point <= 0) {
    out = PutText(out, "0.");
    out = std::fill_n(out, -point, '0');
    return PutText(out, all);
  }
  if (static_cast<size_t>(point) >= all.size()) {
    out = PutText(out, all);
    return std::fill_n(out, point - digits.size, '0');
  }
  out = PutText(out, all.substr(0, static_cast<size_t>(point)));
  *out++ = '.';
  return PutText(out, all.substr(static_cast<size_t>(point)));
}

std::string FloatToXmlText(double value) {
  char text[kFloatXmlTextRoom];
  return std::string(text, PutFloatXmlText(text, value));
}

namespace {

// "00" to "99".
constexpr std::array<char, 200> kTwoDigits = [] {
  std::array<char, 200> table{};
  for (int i = 0; i < 100; ++i) {
    table[static_cast<size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    table[static_cast<size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return table;
}();

char* PutTwo(char* out, int value) {
  std::memcpy(out, &kTwoDigits[static_cast<size_t>(value) * 2], 2);
  return out + 2;
}

}  // namespace

char* PutXmlDateTime(char* out, double value) {
  constexpr int64_t kMSecsPerDay = 86400000;
  // Beyond this no day of 0001 to 9999 (and no overflow of the milliseconds).
  if (!(std::fabs(value) < 4e6)) return nullptr;
  // Rounded to the millisecond; the day truncates towards zero and the time
  // is the absolute remainder, as the day-count form has it.
  const double scaled = value * static_cast<double>(kMSecsPerDay);
  // As llround has it (halves away from zero), without the library call: the
  // fraction left after truncating is exact at this size.
  int64_t total = static_cast<int64_t>(scaled);
  const double fraction = scaled - static_cast<double>(total);
  total += fraction >= 0.5 ? 1 : fraction <= -0.5 ? -1 : 0;
  const int64_t days = total / kMSecsPerDay;  // since 1899-12-30
  const auto msecs = static_cast<int32_t>((total < 0 ? -total : total) % kMSecsPerDay);
  // Day 1 of the time stamp is 0001-01-01, 3652059 is 9999-12-31.
  const int64_t stamp_day = days + 693594;
  if (stamp_day <= 0 || stamp_day >= 3652060) return nullptr;
  // The proleptic Gregorian date of the day (Howard Hinnant's algorithm), from 0000-03-01.
  const int64_t z = days + 693594 + 305;  // days since 0000-03-01
  const int64_t era = z / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400 + (month <= 2));
  const int seconds = msecs / 1000;
  out = PutTwo(out, year / 100);
  out = PutTwo(out, year % 100);
  *out++ = '-';
  out = PutTwo(out, month);
  *out++ = '-';
  out = PutTwo(out, day);
  *out++ = 'T';
  out = PutTwo(out, seconds / 3600);
  *out++ = ':';
  out = PutTwo(out, seconds / 60 % 60);
  *out++ = ':';
  return PutTwo(out, seconds % 60);
}

namespace {

constexpr std::array<uint8_t, 256> kNotPlain = [] {
  std::array<uint8_t, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[static_cast<size_t>(c)] = 1;
  for (unsigned char c : std::string_view("&'\"<>")) table[c] = 1;
  return table;
}();

}  // namespace

bool IsPlainXmlText(std::string_view text) {
  const auto* at = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  size_t i = 0;
  // Eight at a time: the table's marks gathered, one test per eight bytes.
  for (; i + 8 <= size; i += 8) {
    const unsigned marks = kNotPlain[at[i]] | kNotPlain[at[i + 1]] | kNotPlain[at[i + 2]] | kNotPlain[at[i + 3]] |
                           kNotPlain[at[i + 4]] | kNotPlain[at[i + 5]] | kNotPlain[at[i + 6]] |
                           kNotPlain[at[i + 7]];
    if (marks != 0) return false;
  }
  unsigned marks = 0;
  for (; i < size; ++i) marks |= kNotPlain[at[i]];
  return marks == 0;
}

bool IsAsciiText(std::string_view text) {
  const char* at = text.data();
  const size_t size = text.size();
  size_t i = 0;
  uint64_t high = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, at + i, sizeof word);
    high |= word;
  }
  for (; i < size; ++i) high |= static_cast<unsigned char>(at[i]);
  return (high & 0x8080808080808080ull) == 0;
}

bool IsXmlText(std::string_view text) {
  return std::none_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
  });
}

bool IsValidXmlName(std::string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

namespace {

// How PutXmlText treats a byte.
enum TextByte : uint8_t { kAsIs = 0, kReference = 1, kRefused = 2, kHigh = 3 };

constexpr std::array<uint8_t, 256> kTextBytes = [] {
  std::array<uint8_t, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[static_cast<size_t>(c)] = kRefused;
  for (unsigned char c : std::string_view("&'\"<>\t\n\r")) table[c] = kReference;
  for (int c = 0x80; c < 0x100; ++c) table[static_cast<size_t>(c)] = kHigh;
  return table;
}();

char* PutReference(char* out, char c) {
  switch (c) {
    case '&': return PutText(out, "&#x26;");
    case '\'': return PutText(out, "&#x27;");
    case '"': return PutText(out, "&#x22;");
    case '<': return PutText(out, "&#x3c;");
    case '>': return PutText(out, "&#x3e;");
    case '\t': return PutText(out, "&#x9;");
    case '\n': return PutText(out, "&#xa;");
    default: return PutText(out, "&#xd;");
  }
}

// A character of the code page (all in the basic plane) in UTF-8.
char* PutUtf8(char* out, char c) {
  const char16_t unit = plat::AnsiCharToUtf16(c);
  if (unit < 0x800) {
    *out++ = static_cast<char>(0xC0 | (unit >> 6));
  } else {
    *out++ = static_cast<char>(0xE0 | (unit >> 12));
    *out++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
  }
  *out++ = static_cast<char>(0x80 | (unit & 0x3F));
  return out;
}

}  // namespace

char* PutXmlText(char* out, std::string_view ansi) {
  const auto* at = reinterpret_cast<const unsigned char*>(ansi.data());
  const size_t size = ansi.size();
  size_t i = 0;
  while (i < size) {
    // Eight at a time while they go as they are: copied, then looked at.
    if (i + 8 <= size) {
      std::memcpy(out, at + i, 8);
      const unsigned marks = kTextBytes[at[i]] | kTextBytes[at[i + 1]] | kTextBytes[at[i + 2]] |
                             kTextBytes[at[i + 3]] | kTextBytes[at[i + 4]] | kTextBytes[at[i + 5]] |
                             kTextBytes[at[i + 6]] | kTextBytes[at[i + 7]];
      if (marks == 0) {
        out += 8;
        i += 8;
        continue;
      }
    }
    const size_t stop = std::min(size, i + 8);
    for (; i < stop; ++i) {
      const char c = static_cast<char>(at[i]);
      switch (kTextBytes[at[i]]) {
        case kAsIs: *out++ = c; break;
        case kReference: out = PutReference(out, c); break;
        case kHigh: out = PutUtf8(out, c); break;
        default: return nullptr;
      }
    }
  }
  return out;
}

std::string HexText(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    result += kDigits[byte >> 4];
    result += kDigits[byte & 0x0F];
  }
  return result;
}

}  // namespace dac
