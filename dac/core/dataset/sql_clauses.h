// Finding and rewriting the WHERE and ORDER BY clauses of the first SELECT
// of an SQL text with a dialect's lexer. The routines know no dialect: they
// take the lexer class and the codes its keyword table gives SELECT, WHERE,
// ORDER and BY, and rely on its clause list (the order in which SELECT
// clauses follow each other) and its statement terminator. Nothing before
// the first SELECT is looked at; a text without one comes back unchanged
// (the getters give ""). Clause keywords inside brackets, or right after the
// macro character (a macro's name), are not clauses. The input is never
// changed and nothing is raised.
//
// A statement whose SELECTs are combined at its top level by UNION, EXCEPT
// or INTERSECT has no WHERE clause of its own: a condition is applied to
// the whole combined result, which becomes a derived table ("SELECT * FROM
// (...) combined_rows WHERE condition", its ORDER BY list repeated
// outside), removing the WHERE leaves it as it is, and its WHERE is "".
#pragma once

#include <string>

namespace dac {

class TParserClass;

// Condition added to the WHERE clause: the existing condition goes into
// brackets and " AND " + condition follows; without a WHERE, "\rWHERE " +
// condition. A blank condition changes nothing. The addition stands in
// front of the clause that follows, or of a final statement terminator.
// After a line comment the break is CR LF, so that the comment cannot
// swallow what follows it.
std::string AddWhereClause(const std::string& sql, const std::string& condition, const TParserClass& parser_class,
                           bool omit_comment, int select_code, int where_code);

// Replaces the WHERE condition; an empty condition removes the clause with
// the blank in front of it; a new clause follows the last non-blank text
// before the next clause.
std::string SetWhereClause(const std::string& sql, const std::string& condition, const TParserClass& parser_class,
                           int select_code, int where_code);

// The WHERE condition, from the character after "WHERE " to the end of the
// last lexeme before the next clause (or to the end of the text).
std::string GetWhereClause(const std::string& sql, const TParserClass& parser_class, bool omit_comment,
                           int select_code, int where_code);

// Replaces the ORDER BY list (";" in fields become ","); empty fields
// remove the clause.
std::string SetOrderByClause(const std::string& sql, const std::string& fields, const TParserClass& parser_class,
                             int select_code, int order_code, int by_code);

// The ORDER BY list with its leading blank, up to its last lexeme.
std::string GetOrderByClause(const std::string& sql, const TParserClass& parser_class, int select_code,
                             int order_code, int by_code);

}  // namespace dac
