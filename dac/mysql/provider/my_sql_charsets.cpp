#include "dac/mysql/provider/my_sql_charsets.h"

#include <algorithm>
#include <iterator>

#include "platform/ascii.h"

namespace dac {

namespace {

// Every other set the server offers as a client set: a byte below 0x80 is
// always a character of its own.
constexpr std::string_view kPlainSets[] = {
    "armscii8", "ascii",  "binary",   "cp1250",  "cp1251",  "cp1256",   "cp1257", "cp850",   "cp852",
    "cp866",    "dec8",   "eucjpms",  "euckr",   "gb2312",  "geostd8",  "greek",  "hebrew",  "hp8",
    "keybcs2",  "koi8r",  "koi8u",    "latin1",  "latin2",  "latin5",   "latin7", "macce",   "macroman",
    "swe7",     "tis620", "ujis",     "utf8",    "utf8mb3", "utf8mb4",
};

bool In(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

unsigned char At(std::string_view text, size_t at) { return static_cast<unsigned char>(text[at]); }

// Lead and trail byte ranges of the two-byte characters of each set.
bool IsLead(TMyCharsetKind kind, unsigned char c) {
  switch (kind) {
    case TMyCharsetKind::ckGbk:
    case TMyCharsetKind::ckGb18030:
      return In(c, 0x81, 0xFE);
    case TMyCharsetKind::ckBig5:
      return In(c, 0xA1, 0xF9);
    case TMyCharsetKind::ckSjis:
      return In(c, 0x81, 0x9F) || In(c, 0xE0, 0xFC);
    default:
      return false;
  }
}

bool IsTrail(TMyCharsetKind kind, unsigned char c) {
  switch (kind) {
    case TMyCharsetKind::ckGbk:
    case TMyCharsetKind::ckGb18030:
      return In(c, 0x40, 0x7E) || In(c, 0x80, 0xFE);
    case TMyCharsetKind::ckBig5:
      return In(c, 0x40, 0x7E) || In(c, 0xA1, 0xFE);
    case TMyCharsetKind::ckSjis:
      return In(c, 0x40, 0x7E) || In(c, 0x80, 0xFC);
    default:
      return false;
  }
}

}  // namespace

TMyCharsetKind CharsetKindOf(std::string_view name) {
  const std::string lower = plat::AsciiLowerCase(name);
  if (lower == "gbk") return TMyCharsetKind::ckGbk;
  if (lower == "big5") return TMyCharsetKind::ckBig5;
  if (lower == "sjis" || lower == "cp932") return TMyCharsetKind::ckSjis;
  if (lower == "gb18030") return TMyCharsetKind::ckGb18030;
  if (std::find(std::begin(kPlainSets), std::end(kPlainSets), lower) != std::end(kPlainSets)) return TMyCharsetKind::ckPlain;
  return TMyCharsetKind::ckUnknown;
}

size_t CharacterLength(TMyCharsetKind kind, std::string_view text, size_t at) {
  const unsigned char lead = At(text, at);
  if (!IsLead(kind, lead) || at + 1 >= text.size()) return 1;
  const unsigned char second = At(text, at + 1);
  // gb18030's four-byte characters: lead, digit, lead, digit.
  if (kind == TMyCharsetKind::ckGb18030 && In(second, 0x30, 0x39)) {
    const bool four = at + 3 < text.size() && In(At(text, at + 2), 0x81, 0xFE) && In(At(text, at + 3), 0x30, 0x39);
    return four ? 4 : 1;
  }
  return IsTrail(kind, second) ? 2 : 1;
}

namespace {

// The length of the UTF-8 sequence at text[at], or 0 when it is none.
size_t Utf8Length(std::string_view text, size_t at, size_t longest) {
  const unsigned char lead = At(text, at);
  if (lead < 0x80) return 1;
  const size_t length = In(lead, 0xC2, 0xDF) ? 2 : In(lead, 0xE0, 0xEF) ? 3 : In(lead, 0xF0, 0xF4) ? 4 : 0;
  if (length == 0 || length > longest || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i)
    if (!In(At(text, at + i), 0x80, 0xBF)) return 0;
  const unsigned char second = At(text, at + 1);
  // Overlong forms, surrogates and code points past U+10FFFF.
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
      (lead == 0xF4 && second > 0x8F))
    return 0;
  return length;
}

}  // namespace

bool IsWellFormedIn(std::string_view charset, std::string_view bytes) {
  const std::string lower = plat::AsciiLowerCase(charset);
  const TMyCharsetKind kind = CharsetKindOf(lower);
  const bool utf8 = lower == "utf8" || lower == "utf8mb3" || lower == "utf8mb4";
  if (!utf8 && (kind == TMyCharsetKind::ckPlain || kind == TMyCharsetKind::ckUnknown)) return true;
  for (size_t i = 0; i < bytes.size();) {
    if (At(bytes, i) < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    if (utf8) {
      length = Utf8Length(bytes, i, lower == "utf8mb4" ? 4 : 3);
    } else {
      length = CharacterLength(kind, bytes, i);
      // sjis and cp932 have single-byte katakana.
      if (length == 1 && !(kind == TMyCharsetKind::ckSjis && In(At(bytes, i), 0xA1, 0xDF))) length = 0;
    }
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool IsCharsetName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

std::string SessionCharset(bool use_unicode, std::string_view charset_option) {
  if (use_unicode) return "utf8";
  if (charset_option.empty()) return "latin1";
  return plat::AsciiLowerCase(charset_option);
}

}  // namespace dac
