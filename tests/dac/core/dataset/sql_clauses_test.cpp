#include "dac/core/dataset/sql_clauses.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/dac/core/support/test_dialect.h"

namespace dac::test {
namespace {

const TParserClass& Dialect() { return TestDialectParser::ParserClass(); }

std::string AddWhere(const std::string& sql, const std::string& condition) {
  return AddWhereClause(sql, condition, Dialect(), false, kSelectCode, kWhereCode);
}

TEST(SQLClauses, AddWhere) {
  struct Case {
    const char* sql;
    const char* condition;
    const char* result;
  };
  const Case cases[] = {
      {"SELECT * FROM t WHERE a = 1 ORDER BY a", "b = 2", "SELECT * FROM t WHERE (a = 1) AND b = 2  ORDER BY a"},
      {"SELECT * FROM t", "b = 2", "SELECT * FROM t\rWHERE b = 2 "},
      {"SELECT * FROM t;", "b = 2", "SELECT * FROM t\rWHERE b = 2 ;"},
      {"SELECT * FROM t WHERE a = 1", "b = 2", "SELECT * FROM t WHERE (a = 1) AND b = 2 "},
      {"SELECT * FROM t  \r\n", " ", "SELECT * FROM t  \r\n"},
      {"UPDATE t SET a = 1", "b = 2", "UPDATE t SET a = 1"},
      // A WHERE of a sub-select, and a macro named WHERE, are not the statement's.
      {"SELECT * FROM (SELECT * FROM u WHERE x = 1) t", "b = 2",
       "SELECT * FROM (SELECT * FROM u WHERE x = 1) t\rWHERE b = 2 "},
      {"SELECT * FROM t &WHERE", "b = 2", "SELECT * FROM t &WHERE\rWHERE b = 2 "},
      {"SELECT * FROM t &ORDER ORDER BY a", "b = 2", "SELECT * FROM t &ORDER\rWHERE b = 2  ORDER BY a"},
      {"SELECT a FROM t WHERE a IN (SELECT b FROM u ORDER BY b) GROUP BY a", "c",
       "SELECT a FROM t WHERE (a IN (SELECT b FROM u ORDER BY b)) AND c  GROUP BY a"},
      // After a line comment the break is CR LF: a server would read a bare
      // CR, and everything after it, as part of the comment.
      {"SELECT * FROM t WHERE a = 1 -- first", "b = 2", "SELECT * FROM t WHERE (a = 1 -- first\r\n) AND b = 2 "},
      {"SELECT * FROM t WHERE a = 1 # first\nORDER BY a", "b = 2",
       "SELECT * FROM t WHERE (a = 1 # first\r\n) AND b = 2 \nORDER BY a"},
      {"SELECT * FROM t -- all", "b = 2", "SELECT * FROM t -- all\r\nWHERE b = 2 "},
      {"SELECT * FROM t # all\nLIMIT 5", "b = 2", "SELECT * FROM t # all\r\nWHERE b = 2 \nLIMIT 5"},
      {"SELECT * FROM t /* all */", "b = 2", "SELECT * FROM t /* all */\r\nWHERE b = 2 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(AddWhere(c.sql, c.condition), c.result);
  }
}

TEST(SQLClauses, SetWhereGetWhereAndOrderBy) {
  enum Kind { kSetWhere, kGetWhere, kSetOrderBy, kGetOrderBy };
  struct Case {
    Kind kind;
    const char* sql;
    const char* argument;
    const char* result;
  };
  const Case cases[] = {
      {kSetWhere, "SELECT * FROM t WHERE a = 1 ORDER BY a", "", "SELECT * FROM t ORDER BY a"},
      {kSetWhere, "SELECT * FROM t WHERE a = 1", "", "SELECT * FROM t"},
      {kSetWhere, "SELECT * FROM t WHERE a = 1 ORDER BY a", "b = 2", "SELECT * FROM t WHERE b = 2 ORDER BY a"},
      {kSetWhere, "SELECT * FROM t ORDER BY a", "b = 2", "SELECT * FROM t WHERE b = 2 ORDER BY a"},
      {kSetWhere, "SELECT * FROM t", "b = 2", "SELECT * FROM t WHERE b = 2"},
      {kSetWhere, "SELECT *\r\nFROM t", "b = 2", "SELECT *\r\nFROM t\r  WHERE b = 2"},
      {kSetWhere, "SELECT * FROM t WHERE(a = 1) LIMIT 3", "b", "SELECT * FROM t WHERE b LIMIT 3"},
      {kSetWhere, "SELECT * FROM (SELECT * FROM u WHERE x = 1) t", "", "SELECT * FROM (SELECT * FROM u WHERE x = 1) t"},
      {kSetWhere, "DELETE FROM t WHERE a = 1", "", "DELETE FROM t WHERE a = 1"},
      {kGetWhere, "SELECT * FROM t WHERE a = 1 ORDER BY a", "", "a = 1"},
      {kGetWhere, "SELECT * FROM t WHERE a = (1) ", "", "a = (1) "},
      {kGetWhere, "SELECT * FROM t", "", ""},
      {kGetWhere, "SELECT * FROM t &WHERE", "", ""},
      {kSetOrderBy, "SELECT * FROM t ORDER BY a LIMIT 5", "b;c", "SELECT * FROM t ORDER BY b,c LIMIT 5"},
      {kSetOrderBy, "SELECT * FROM t ORDER BY a LIMIT 5", "", "SELECT * FROM t LIMIT 5"},
      {kSetOrderBy, "SELECT * FROM t WHERE a = 1 LIMIT 5", "b", "SELECT * FROM t WHERE a = 1 ORDER BY b LIMIT 5"},
      {kSetOrderBy, "SELECT * FROM t", "b DESC", "SELECT * FROM t ORDER BY b DESC"},
      {kSetOrderBy, "SELECT * FROM t ORDER BY(a)", "b", "SELECT * FROM t ORDER BY b"},
      // The clauses of a sub-select are not the statement's.
      {kSetOrderBy, "SELECT * FROM (SELECT * FROM u LIMIT 5) t", "a",
       "SELECT * FROM (SELECT * FROM u LIMIT 5) t ORDER BY a"},
      {kGetOrderBy, "SELECT * FROM t ORDER BY a LIMIT 5", "", " a"},
      {kGetOrderBy, "SELECT * FROM t ORDER BY a, b DESC", "", " a, b DESC"},
      {kGetOrderBy, "SELECT * FROM (SELECT * FROM u ORDER BY x) t ORDER BY a", "", " a"},
      {kGetOrderBy, "SELECT * FROM t ORDER a", "", ""},
      {kGetOrderBy, "SELECT * FROM t", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    switch (c.kind) {
      case kSetWhere: EXPECT_EQ(SetWhereClause(c.sql, c.argument, Dialect(), kSelectCode, kWhereCode), c.result); break;
      case kGetWhere: EXPECT_EQ(GetWhereClause(c.sql, Dialect(), false, kSelectCode, kWhereCode), c.result); break;
      case kSetOrderBy:
        EXPECT_EQ(SetOrderByClause(c.sql, c.argument, Dialect(), kSelectCode, kOrderCode, kByCode), c.result);
        break;
      case kGetOrderBy:
        EXPECT_EQ(GetOrderByClause(c.sql, Dialect(), kSelectCode, kOrderCode, kByCode), c.result);
        break;
    }
  }
}

// The SELECTs of a UNION, EXCEPT or INTERSECT are one result: a condition
// filters all of it. Control bytes are blanks, as the server reads them.
TEST(SQLClauses, CombinedSelectsAreFilteredAsAWhole) {
  const std::string wrap = "SELECT * FROM (";
  const std::string rows = "\r\n) combined_rows\rWHERE ";
  struct Case {
    const char* sql;
    std::string added;
  };
  const Case cases[] = {
      {"SELECT id FROM t WHERE id = 1 UNION SELECT id FROM u",
       wrap + "SELECT id FROM t WHERE id = 1 UNION SELECT id FROM u" + rows + "id = 5 "},
      {"SELECT id FROM t UNION ALL SELECT id FROM u WHERE id = 2 ORDER BY id DESC LIMIT 3;",
       wrap + "SELECT id FROM t UNION ALL SELECT id FROM u WHERE id = 2 ORDER BY id DESC LIMIT 3" + rows +
           "id = 5 ORDER BY id DESC ;"},
      {"(SELECT a FROM t) union (SELECT a FROM u) -- last", wrap + "(SELECT a FROM t) union (SELECT a FROM u) -- last" +
                                                                 rows + "id = 5 "},
      {"SELECT a FROM t EXCEPT SELECT a FROM u", wrap + "SELECT a FROM t EXCEPT SELECT a FROM u" + rows + "id = 5 "},
      {"SELECT a FROM t INTERSECT SELECT a FROM u ORDER BY 1",
       wrap + "SELECT a FROM t INTERSECT SELECT a FROM u ORDER BY 1" + rows + "id = 5 ORDER BY 1 "},
      // A UNION inside brackets or a string is not the statement's.
      {"SELECT a FROM t WHERE a IN (SELECT 1 UNION SELECT 2)", "SELECT a FROM t WHERE (a IN (SELECT 1 UNION SELECT 2)) AND id = 5 "},
      {"SELECT 'x UNION y' FROM t", "SELECT 'x UNION y' FROM t\rWHERE id = 5 "},
      {"SELECT *\vFROM t\fWHERE a = 1\fORDER BY a", "SELECT *\vFROM t\fWHERE (a = 1) AND id = 5 \fORDER BY a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(AddWhere(c.sql, "id = 5"), c.added);
  }
  const std::string combined = "SELECT id FROM t WHERE id = 1 UNION SELECT id FROM u WHERE id = 2";
  EXPECT_EQ(GetWhereClause(combined, Dialect(), false, kSelectCode, kWhereCode), "");
  EXPECT_EQ(SetWhereClause(combined, "", Dialect(), kSelectCode, kWhereCode), combined);
  EXPECT_EQ(SetWhereClause(combined, "id = 5", Dialect(), kSelectCode, kWhereCode), AddWhere(combined, "id = 5"));
  EXPECT_EQ(SetOrderByClause("SELECT a\fFROM t\vORDER BY b", "c", Dialect(), kSelectCode, kOrderCode, kByCode),
            "SELECT a\fFROM t\vORDER BY c");
  EXPECT_EQ(GetWhereClause("SELECT a FROM t WHERE\va = 1\f", Dialect(), false, kSelectCode, kWhereCode), "a = 1\f");
}

// Texts made of SQL-like pieces in random order: every routine comes back
// with a text, whatever brackets, comments and keywords it meets.
TEST(SQLClauses, RandomTextsAreHandledSafely) {
  const char* pieces[] = {"SELECT", " ", "WHERE", "ORDER", "BY", "LIMIT", "(", ")", "'x(", "\"", "--", "-- c\n",
                          "#",      "/*", "*/",   ";",     "&",  "a",     "1", "\r", "\n", "GROUP", "`q`", ",",
                          "UNION",  "\v", "\f",  "\x01", "EXCEPT"};
  std::mt19937 random(20240229);
  for (int round = 0; round < 2000; ++round) {
    std::string sql;
    const int count = static_cast<int>(random() % 14);
    for (int i = 0; i < count; ++i) sql += pieces[random() % std::size(pieces)];
    SCOPED_TRACE(sql);
    AddWhere(sql, "c = 1");
    SetWhereClause(sql, round % 2 ? "c" : "", Dialect(), kSelectCode, kWhereCode);
    GetWhereClause(sql, Dialect(), round % 3 == 0, kSelectCode, kWhereCode);
    SetOrderByClause(sql, round % 2 ? "" : "c;d", Dialect(), kSelectCode, kOrderCode, kByCode);
    GetOrderByClause(sql, Dialect(), kSelectCode, kOrderCode, kByCode);
  }
}

}  // namespace
}  // namespace dac::test
