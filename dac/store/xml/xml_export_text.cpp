#include "dac/store/xml/xml_export_text.h"

#include <algorithm>

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
