#include "dac/store/xml/xml_export_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "dac/framework/values/text_conversions.h"
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

// The shortest digits of a positive value with up to six decimals (amounts,
// measures) and their exponent, found with integers: below 10^15 a double's
// step is under 1/8, so a decimal n / 10^k that reads back as the value is
// the whole number nearest value * 10^k, and the first k at which it reads
// back gives the fewest digits.
bool FewDecimals(double value, std::string& digits, int& exp10) {
  static constexpr double kScale[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
  for (int k = 0; k < 7; ++k) {
    const double scaled = value * kScale[k];
    if (!(scaled < 1e15)) break;
    // The nearest whole number to the scaled value: the only one that could read back.
    const auto whole = static_cast<int64_t>(std::nearbyint(scaled));
    if (whole == 0 || static_cast<double>(whole) / kScale[k] != value) continue;
    char text[24];
    const char* end = std::to_chars(text, text + sizeof text, whole).ptr;
    digits.assign(text, static_cast<size_t>(end - text));
    exp10 = static_cast<int>(end - text) - k - 1;
    return true;
  }
  return false;
}

}  // namespace

std::string FloatToXmlText(double value) {
  const char separator = plat::ProcessFormatSettings().decimal_separator;
  const auto long_way = [&] { return ChangeDecimalSeparator(FloatToStr(value), separator, '.'); };
  // A separator that could stand in the text for anything else: the long way.
  // Below the normal range a double's step is no longer small against its digits.
  if (std::strchr("0123456789+-EINFA", separator) != nullptr || !std::isnormal(value)) return long_way();
  constexpr int kPrecision = 15;
  const size_t lead = value < 0 ? 1 : 0;
  std::string digits;  // short: no allocation
  int exp10 = 0;
  if (!FewDecimals(std::fabs(value), digits, exp10)) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    if (error != std::errc()) return long_way();
    // [-]d[.ddd]e[+-]xx
    const std::string_view text(buffer, static_cast<size_t>(end - buffer));
    const size_t e = text.find('e');
    digits.assign(1, text[lead]);
    if (text[lead + 1] == '.') digits.append(text.substr(lead + 2, e - lead - 2));
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exp10);
  }
  // A 15-digit rounding lies within half a step of digits as few as these.
  if (digits.size() > static_cast<size_t>(kPrecision)) return long_way();
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  // Laid out as FloatToStr lays out its digits.
  const int point = exp10 + 1;
  char laid[48];
  char* out = laid;
  if (lead) *out++ = '-';
  const auto put = [&out](std::string_view part) { out = std::copy(part.begin(), part.end(), out); };
  const std::string_view all(digits);
  if (point > kPrecision || point < -3) {
    *out++ = digits[0];
    if (digits.size() > 1) {
      *out++ = '.';
      put(all.substr(1));
    }
    *out++ = 'E';
    out = std::to_chars(out, laid + sizeof laid, exp10).ptr;
  } else if (point <= 0) {
    put("0.");
    out = std::fill_n(out, -point, '0');
    put(all);
  } else if (static_cast<size_t>(point) >= digits.size()) {
    put(all);
    out = std::fill_n(out, point - static_cast<int>(digits.size()), '0');
  } else {
    put(all.substr(0, static_cast<size_t>(point)));
    *out++ = '.';
    put(all.substr(static_cast<size_t>(point)));
  }
  return std::string(laid, static_cast<size_t>(out - laid));
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
