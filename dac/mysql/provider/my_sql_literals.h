// Values written as MySQL SQL literals: escaped and quoted text, blobs,
// numbers, dates, times and booleans, as the command substitutes parameter
// values into its SQL text. Every value the provider and the components
// put into SQL text is written here, for the way the session reads it.
#pragma once

#include <string>
#include <string_view>

#include "dac/framework/values/bytes.h"
#include "dac/framework/values/variant.h"
#include "platform/date_time.h"

namespace dac {

class StringBuilder;

// The in-memory value of the server's all-zero date: the day before
// 0001-01-01, which a real date of year 1 is not taken for.
constexpr double ZeroDate = plat::kZeroDateTime;

// How the session reads a string literal: the escaping mode the server last
// reported and the client character set the text is in.
struct TMySQLEscaping {
  // sql_mode holds NO_BACKSLASH_ESCAPES: a backslash is a plain character.
  bool no_backslash_escapes = false;
  // The client character set, lower case.
  std::string charset = "latin1";
};

// Text in the session's character set as a string literal whose value is
// those bytes whatever the escaping mode, also should the mode change
// within one batch of statements:
// - bytes above 0x7F in a set whose characters can end in a quote or a
//   backslash (gbk, big5, sjis, cp932, gb18030, or a set not known here),
//   or a backslash under NO_BACKSLASH_ESCAPES: a hexadecimal literal with
//   the set's introducer (_gbk X'..'), or without it (X'..', the bytes as
//   they are) when they are no well-formed text of the set;
// - otherwise in single quotes, each single quote doubled, and with
//   backslash escapes NUL, LF, CR, Ctrl-Z, '"' and the backslash escaped
//   (without them nothing else is).
std::string TextLiteral(std::string_view bytes, const TMySQLEscaping& escaping);
// Bytes of no character set: the same, with a plain hexadecimal literal
// (X'..') in place of the introduced one.
std::string BinaryLiteral(std::string_view bytes, const TMySQLEscaping& escaping);

// The escaping of a session with backslash escapes, in a plain character
// set (what QuoteEscapedString writes).
//
// Escapes count characters of source into dest, which holds 2 * count + 1:
// NUL, LF, CR, Ctrl-Z, both quotes and the backslash become a backslash
// and a letter or themselves; everything else is copied. A terminating zero
// follows, not counted in the result.
int MySQLEscapeBuffer(char* dest, const char* source, int count);
int MySQLEscapeBufferW(char16_t* dest, const char16_t* source, int count);

// A single quote, the escaped text, a single quote. A length beyond the
// text is cut to the text; a negative one counts as 0.
std::string QuoteEscapedString(const char* source, int length);
std::string QuoteEscapedString(const std::string& source, int length);
std::u16string QuoteEscapedString(const char16_t* source, int length);
// Through the system code page and back.
std::u16string QuoteEscapedString(const WideString& source);

// The literal of a value of the data type: NULL; the zero date; quoted text
// or blob content (as UTF-8 under use_unicode, compressed when
// compress_blob); a number with '.' as its separator, a double in the
// fewest digits that read back as the same double (NaN and infinity raise
// EConvertError); a date, a date-time with its milliseconds, a time with
// its fraction to the microsecond; a boolean as b'1' / b'0' from server
// version 5 on, else 1 / 0. Text given for a number must be a number
// (EConvertError otherwise) and goes as its digits, so no value can bring
// SQL of its own. Text and bytes are written by TextLiteral and
// BinaryLiteral for the session's escaping.
void AppendValueToSQL(StringBuilder& sql, uint16_t data_type, const Variant& value, bool is_null, bool use_unicode,
                      bool compress_blob, int server_major_version, const TMySQLEscaping& escaping);
std::string ValueToSQL(uint16_t data_type, const Variant& value, bool is_null, bool use_unicode, bool compress_blob,
                       int server_major_version, const TMySQLEscaping& escaping);

// EConvertError for NaN and the infinities, which no SQL value holds.
void RefuseNonFinite(double value);

// The value as text with '.' for the locale's decimal separator: the first
// separator after the first character and before the last is replaced.
std::string ChangeDecimalSeparator(const Variant& value);

}  // namespace dac
