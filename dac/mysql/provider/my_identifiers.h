// MySQL identifiers: the one place that decides how a name of a database,
// table, column, routine or variable is written into SQL text. A name is
// quoted (in backquotes, each backquote inside it doubled) whenever it is a
// reserved word of the server, starts with a digit or holds a character
// other than ASCII letters, digits, '_' and '$'; a qualified name is split
// only at points outside quoted parts. A quoted part is recognised only
// when it is one well-formed quoted identifier (opened and closed by the
// same backquote, double or single quote, with each inner one doubled);
// anything else is a bare name, which is quoted as a whole. In a multibyte
// character set (my_sql_charsets.h) names are scanned character by
// character, as the server reads them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dac/mysql/provider/my_sql_charsets.h"

namespace dac {

class TMySQLFieldDesc;

// A reserved word of the server (without regard to case).
bool IsReservedWord(std::string_view word);
// A bare name that cannot stand unquoted; the empty name needs no quotes.
bool IdentifierNeedsQuotes(std::string_view bare);
// One well-formed quoted identifier.
bool IsQuotedIdentifier(std::string_view text, TMyCharsetKind kind = TMyCharsetKind::ckPlain);
// The bare name in backquotes, each backquote doubled. EDatabaseError for a
// name that ends inside a multibyte character of the set (it would swallow
// the closing quote).
std::string QuoteIdentifier(std::string_view bare, TMyCharsetKind kind = TMyCharsetKind::ckPlain);
// The bare name, quoted when force is set or it needs quotes.
std::string IdentifierIfNeeded(std::string_view bare, bool force, TMyCharsetKind kind = TMyCharsetKind::ckPlain);
// The name a quoted identifier stands for; any other text as it is.
std::string UnquoteIdentifier(std::string_view text, TMyCharsetKind kind = TMyCharsetKind::ckPlain);
// The parts of a qualified name, split at points outside quoted parts.
std::vector<std::string> SplitName(std::string_view text, TMyCharsetKind kind = TMyCharsetKind::ckPlain);
// A name as SQL text: each part's name quoted when force is set or it
// needs quotes, unquoted otherwise. A name with an empty part (a leading,
// trailing or double point) is one name, quoted as a whole.
std::string NormalizeQualifiedName(std::string_view text, bool force,
                                   TMyCharsetKind kind = TMyCharsetKind::ckPlain);

// At least two characters, opened and closed by the same backquote, double
// quote or single quote (IsQuotedIdentifier tells whether it is well formed).
bool IsQuotedName(std::string_view name);
// The same test; a name with a point outside quotes is an assertion failure.
bool IsBracketPresent(std::string_view name);
// Without its first and last character when IsBracketPresent.
std::string Unbracket(std::string_view name);

// A qualified name part by part (force applies to a single part only); a
// part that is one well-formed quoted identifier stays quoted (in
// backquotes); any other is quoted when force is set or it needs quotes.
std::string BracketIfNeed(std::string_view name, bool force = false);
// The quote characters are always backquotes: they are the only ones the
// server reads as identifier quotes in every mode.
std::string BracketIfNeed(std::string_view name, char left_quote, char right_quote, bool force);

// Quotes removed part by part where the name does not need them. The list
// forms also gather the parts: the list gets each part followed by the
// character 1 in front of what it holds; the two-part form hands the last
// part to second and the one before it to first.
std::string UnbracketIfPossible(std::string_view name);
std::string UnbracketIfPossible(std::string_view name, std::string& list);
std::string UnbracketIfPossible(std::string_view name, std::string& first, std::string& second);

// Doubles single backquotes inside the name (inside its quotes when it is
// quoted); backquotes already doubled, at the name's start or at the last
// two positions are kept.
std::string EscapeBackquotes(std::string_view name);

// database.table when the database is given and is not the current one
// (compared with case), else the table; each part quoted as it needs.
std::string GenerateTableName(std::string_view database, std::string_view table, std::string_view current_database);
// The full table name of the column's table; empty when it has none.
std::string GenerateTableName(const TMySQLFieldDesc& field);

}  // namespace dac
