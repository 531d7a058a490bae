// Text helpers of the rowset XML export.
#pragma once

#include <cstddef>
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

// The room PutFloatXmlText needs at most.
constexpr size_t kFloatXmlTextRoom = 40;
// FloatToXmlText's text written at out; returns its end.
char* PutFloatXmlText(char* out, double value);

// The room PutXmlDateTime needs.
constexpr size_t kXmlDateTimeRoom = 19;
// A date-time as the record keeps it (days since 1899-12-30 and the time of
// day as their fraction) rounded to the millisecond, written at out as
// yyyy-mm-ddThh:mm:ss (the milliseconds dropped); returns its end, or null
// without writing when it lies outside 0001-01-01 to 9999-12-31.
char* PutXmlDateTime(char* out, double value);

// The room PutXmlText may need for text of that many bytes.
constexpr size_t XmlTextRoom(size_t size) { return size * 6; }
// Text of the system code page written at out in UTF-8 with XMLEncode's
// references, in one pass; returns its end, or null at a character below
// 0x20 but TAB, LF and CR (what stands at out is then undefined).
char* PutXmlText(char* out, std::string_view ansi);

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
