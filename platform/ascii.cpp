#include "platform/ascii.h"

#include <limits>

namespace plat {

std::string AsciiUpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

std::string AsciiLowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

int CompareText(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(AsciiUpper(a[i]));
    const auto cb = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<int64_t> ParseInt64(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  // Accumulate as a negative number so that the minimum value fits.
  int64_t value = 0;
  const int64_t min = std::numeric_limits<int64_t>::min();
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    const int digit = c - '0';
    if (value < (min + digit) / 10) return std::nullopt;
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == min) return std::nullopt;
    value = -value;
  }
  return value;
}

std::optional<int32_t> ParseInt(std::string_view text) {
  const auto wide = ParseInt64(text);
  if (!wide || *wide < std::numeric_limits<int32_t>::min() || *wide > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<int32_t>(*wide);
}

int32_t ParseIntOr(std::string_view text, int32_t fallback) { return ParseInt(text).value_or(fallback); }

namespace {

enum class EscapeFor { kXmlText, kXmlAttribute, kHtml };

// Below the blank, TAB, LF and CR are the only characters an XML document may hold.
bool XmlCannotCarry(char c) { return static_cast<unsigned char>(c) < ' ' && c != '\t' && c != '\n' && c != '\r'; }

std::string Escape(std::string_view text, EscapeFor use) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += use == EscapeFor::kXmlText ? "\"" : "&quot;"; break;
      case '\'': out += use == EscapeFor::kHtml ? "&#39;" : "'"; break;
      default: out += use != EscapeFor::kHtml && XmlCannotCarry(c) ? '?' : c;
    }
  }
  return out;
}

}  // namespace

std::string XmlTextEscape(std::string_view text) { return Escape(text, EscapeFor::kXmlText); }
std::string XmlAttrEscape(std::string_view text) { return Escape(text, EscapeFor::kXmlAttribute); }
std::string HtmlEscape(std::string_view text) { return Escape(text, EscapeFor::kHtml); }

}  // namespace plat
