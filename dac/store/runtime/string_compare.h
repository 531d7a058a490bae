// Locale comparisons of values for sorting and locating: -1, 0 or 1 through
// the platform's locale module, so that 8-bit and wide text order alike.
#pragma once

#include <cstddef>
#include <string_view>

namespace dac {

// The old Windows 9x family has no wide compare; never so here.
constexpr bool IsWin9x = false;

// Zero-terminated wide strings; the L forms compare at most max_length characters of each.
int AnsiStrLCompWS(const char16_t* a, const char16_t* b, size_t max_length);
int AnsiStrLICompWS(const char16_t* a, const char16_t* b, size_t max_length);
int AnsiStrCompWS(const char16_t* a, const char16_t* b);
int AnsiStrICompWS(const char16_t* a, const char16_t* b);

// Zero-terminated 8-bit strings in the system code page.
int AnsiStrCompS(const char* a, const char* b);
int AnsiStrICompS(const char* a, const char* b);
// 8-bit strings over their whole lengths (zero bytes included).
int AnsiCompareStrS(std::string_view a, std::string_view b);
int AnsiCompareTextS(std::string_view a, std::string_view b);

// Wide strings over their whole lengths.
int AnsiCompareStrWS(std::u16string_view a, std::u16string_view b);
int AnsiCompareTextWS(std::u16string_view a, std::u16string_view b);

}  // namespace dac
