// Client character sets as SQL text sees them. The server's lexer reads a
// multibyte character as one unit, so in the sets whose characters can end
// in the byte of a quote, a backquote or a backslash, text that the library
// quotes must be scanned character by character in that set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dac {

enum class TMyCharsetKind : uint8_t {
  // Single-byte sets, UTF-8 and the sets whose trail bytes lie above 0x7F:
  // no character ends in a quote, a backquote or a backslash.
  ckPlain,
  ckGbk,
  ckBig5,
  ckSjis,  // sjis and cp932
  ckGb18030,
  // A name this table does not know: text is scanned byte by byte, and
  // literals take the form that is safe in any set.
  ckUnknown,
};

// By the set's name, without regard to case.
TMyCharsetKind CharsetKindOf(std::string_view name);

// The bytes of the character that starts at text[at] (at < size): 1 for a
// single-byte character, and for a byte that starts no whole character of
// the set.
size_t CharacterLength(TMyCharsetKind kind, std::string_view text, size_t at);

// The bytes are whole characters of the named set, as the server checks a
// literal that names its set: UTF-8 sequences (of at most three bytes in
// utf8 and utf8mb3), the multibyte sets' characters; every single-byte set
// takes any byte.
bool IsWellFormedIn(std::string_view charset, std::string_view bytes);

// A name the server can know as a character set: 1 to 64 ASCII letters,
// digits and '_'.
bool IsCharsetName(std::string_view name);

// The set the connection's text is in: utf8 with UseUnicode, else the
// Charset option, else latin1 (what every client API announces at login);
// lower case.
std::string SessionCharset(bool use_unicode, std::string_view charset_option);

}  // namespace dac
