// The system code page, Windows-1252, in one place: conversions to and from
// UTF-16 and UTF-8, and the code page's own case mapping for 8-bit values.
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 code points of the same value and back; characters outside
// the code page become '?'.
#pragma once

#include <string>
#include <string_view>

namespace plat {

char16_t Cp1252ToUnicode(unsigned char byte);
// '?' for a character the code page cannot hold.
char UnicodeToCp1252(char32_t code_point);

std::u16string Cp1252ToUtf16(std::string_view text);
// Surrogate pairs count as one character (one '?').
std::string Utf16ToCp1252(std::u16string_view text);

std::string Cp1252ToUtf8(std::string_view text);
std::string Utf8ToCp1252(std::string_view text);

// Plain UTF conversions; malformed input becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Case mapping of 8-bit values by the code page's letters (not names: names fold ASCII only).
char Cp1252Upper(char c);
char Cp1252Lower(char c);
std::string Cp1252UpperCase(std::string_view text);
std::string Cp1252LowerCase(std::string_view text);

}  // namespace plat
