#include "platform/code_page.h"

#include <array>

namespace plat {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Bytes 0x80 to 0x9F; the rest of the code page equals its code point.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

char16_t AnsiToCodePoint(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

char CodePointToAnsi(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

// One code point from UTF-8 at pos, which moves past what was read.
char32_t DecodeUtf8(std::string_view s, size_t& pos) {
  const auto lead = static_cast<unsigned char>(s[pos++]);
  if (lead < 0x80) return lead;
  int follow = 0;
  char32_t cp = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range allowed for the first continuation byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    follow = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    follow = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    follow = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacement;
  }
  for (int i = 0; i < follow; ++i) {
    if (pos >= s.size()) return kReplacement;
    const auto byte = static_cast<unsigned char>(s[pos]);
    if (byte < low || byte > high) return kReplacement;  // that byte starts the next character
    cp = (cp << 6) | (byte & 0x3F);
    low = 0x80;
    high = 0xBF;
    ++pos;
  }
  return cp;
}

// One code point from UTF-16 at pos, which moves past what was read.
char32_t DecodeUtf16(std::u16string_view s, size_t& pos) {
  const char16_t unit = s[pos++];
  if (unit < 0xD800 || unit > 0xDFFF) return unit;
  if (unit <= 0xDBFF && pos < s.size() && s[pos] >= 0xDC00 && s[pos] <= 0xDFFF) {
    const char16_t low = s[pos++];
    return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
  }
  return kReplacement;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

}  // namespace

char16_t AnsiCharToUtf16(char c) { return AnsiToCodePoint(c); }

std::u16string AnsiToUtf16(std::string_view ansi) {
  std::u16string out;
  out.reserve(ansi.size());
  for (char c : ansi) out += AnsiToCodePoint(c);
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) out += CodePointToAnsi(DecodeUtf16(text, pos));
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  // ASCII is the same in both: most text needs no conversion at all.
  size_t ascii = 0;
  while (ascii < ansi.size() && static_cast<unsigned char>(ansi[ascii]) < 0x80) ++ascii;
  std::string out(ansi.substr(0, ascii));
  if (ascii == ansi.size()) return out;
  out.reserve(ansi.size() + (ansi.size() - ascii));
  for (char c : ansi.substr(ascii)) AppendUtf8(out, AnsiToCodePoint(c));
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) out += CodePointToAnsi(DecodeUtf8(utf8, pos));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) AppendUtf8(out, DecodeUtf16(text, pos));
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) AppendUtf16(out, DecodeUtf8(utf8, pos));
  return out;
}

char AnsiCharUpper(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 0x20);
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 0x20);
  switch (b) {
    case 0x9A: return static_cast<char>(0x8A);  // s caron
    case 0x9C: return static_cast<char>(0x8C);  // oe
    case 0x9E: return static_cast<char>(0x8E);  // z caron
    case 0xFF: return static_cast<char>(0x9F);  // y diaeresis
    default: return c;
  }
}

char AnsiCharLower(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 0x20);
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<char>(b + 0x20);
  switch (b) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    default: return c;
  }
}

std::string AnsiTextUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AnsiCharUpper(c);
  return out;
}

std::string AnsiTextLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AnsiCharLower(c);
  return out;
}

}  // namespace plat
