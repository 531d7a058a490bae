// ASCII case folding and the small text rules every subsystem shares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiUpperCase(std::string_view text);
std::string AsciiLowerCase(std::string_view text);
// Equal without regard to ASCII case.
bool SameText(std::string_view a, std::string_view b);
// <0, 0, >0 comparing ASCII upper-cased bytes.
int CompareText(std::string_view a, std::string_view b);

// Without the control characters and blanks (bytes up to ' ') at both ends.
std::string_view TrimBlanks(std::string_view text);

// Optional sign, decimal digits only, no blanks; nullopt on anything else or on overflow.
std::optional<int32_t> ParseInt(std::string_view text);
std::optional<int64_t> ParseInt64(std::string_view text);
int32_t ParseIntOr(std::string_view text, int32_t fallback);

// & < > as entities, and each control character no XML document may hold
// (below the blank, but TAB, LF and CR) as '?': for values placed in XML text.
std::string XmlTextEscape(std::string_view text);
// The same, and " as an entity: for values placed in XML attributes.
std::string XmlAttrEscape(std::string_view text);
// & < > " ' as entities: for values placed in HTML.
std::string HtmlEscape(std::string_view text);

}  // namespace plat
