// Text helpers of the rowset XML export.
#pragma once

#include <string>
#include <string_view>

namespace dac {

// "&", "'", the double quote, "<" and ">" as "&#x26;", "&#x27;", "&#x22;",
// "&#x3c;" and "&#x3e;", in that order; then TAB, LF and CR as "&#x9;",
// "&#xa;" and "&#xd;", so that a reader keeps the line breaks of a value.
std::string XMLEncode(std::string_view text);

// Every old separator replaced by the new one; unchanged when they are equal.
std::string ChangeDecimalSeparator(std::string_view value, char old_separator, char new_separator);

// The class library's shortest float text (FloatToStr) with the locale's
// decimal separator changed to ".", as the export writes floats. Made from
// the value's shortest digits when they are 15 or fewer (they are then the
// digits FloatToStr rounds to), else by FloatToStr itself.
std::string FloatToXmlText(double value);

// Whether XML 1.0 can carry the text: no character below 0x20 but TAB, LF and CR.
bool IsXmlText(std::string_view text);

// Whether the text goes into an attribute as it is: no character below 0x20
// and none of "&", "'", the double quote, "<" and ">".
bool IsPlainXmlText(std::string_view text);

// Whether every byte is below 0x80 (ASCII reads the same in UTF-8).
bool IsAsciiText(std::string_view text);

// Letters A-Z, a-z and "_", and digits from the second character on; the empty name too.
bool IsValidXmlName(std::string_view name);

// Two upper-case hexadecimal digits per byte.
std::string HexText(std::string_view bytes);

}  // namespace dac
