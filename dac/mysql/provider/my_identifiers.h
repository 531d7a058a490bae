// MySQL identifiers: quoting names with backquotes where they need it,
// removing quotes where they are not needed, and qualified table names.
#pragma once

#include <string>
#include <string_view>

namespace dac {

class TMySQLFieldDesc;

// At least two characters, opened and closed by the same backquote, double
// quote or single quote.
bool IsQuotedName(std::string_view name);
// The same test; a name holding '.' is an assertion failure.
bool IsBracketPresent(std::string_view name);
// Without its first and last character when IsBracketPresent.
std::string Unbracket(std::string_view name);

// "db.table" part by part; a name that is quoted stays as it is; otherwise
// inside backquotes when force is set or the name needs quotes. A
// backquote inside a name this quotes is doubled, so the name stays one
// identifier whatever it holds.
std::string BracketIfNeed(std::string_view name, bool force = false);
std::string BracketIfNeed(std::string_view name, char left_quote, char right_quote, bool force);

// Quotes removed where the name does not need them, part by part. The list
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
