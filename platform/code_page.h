// The system code page, Windows-1252 ("ANSI" below), and the conversions
// between it, UTF-16 and UTF-8. The one place that knows the code page.
//
// The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// stand for the C1 control characters of the same value, so every byte string
// survives a round trip. A character the code page cannot hold becomes '?'
// (one '?' for a surrogate pair).
//
// Ill-formed input never fails: each maximal ill-formed UTF-8 subsequence
// (the Unicode "maximal subpart" rule: a bad lead byte, or a lead byte with
// the continuation bytes that fit it before a byte that does not) and each
// unpaired UTF-16 surrogate reads as U+FFFD, which is '?' in ANSI.
#pragma once

#include <string>
#include <string_view>

namespace plat {

std::u16string AnsiToUtf16(std::string_view ansi);
// One character of the code page as its UTF-16 unit (every one is a single unit).
char16_t AnsiCharToUtf16(char c);
std::string Utf16ToAnsi(std::u16string_view text);

std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view utf8);

// Case mapping by the code page's letters, for values; names fold ASCII only.
char AnsiCharUpper(char c);
char AnsiCharLower(char c);
std::string AnsiTextUpper(std::string_view text);
std::string AnsiTextLower(std::string_view text);

}  // namespace plat
