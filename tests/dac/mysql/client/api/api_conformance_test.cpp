// What every client API implementation must do against a real server:
// connecting, text results and their value accessors, column descriptions,
// counts, multi-statement results, killing, prepared statements, and handles
// that outlive their connection. Run once per API object (see the end).
#include <cstring>

#include "dac/store/record/data_types.h"
#include "tests/dac/mysql/client/api_test_support.h"
#include "tests/dac/mysql/client/fake_server.h"
#include "tests/support/eventually.h"

namespace dac {
namespace {

using testing::ApiConnection;
using testing::ApiQuery;
using testing::ApiStatement;
using testing::Row;
using testing::Rows;

class ApiConformanceTest : public ::testing::TestWithParam<testing::ApiUnderTest> {
 protected:
  TMySQLAPI& api() { return GetParam().api(); }
};

TEST_P(ApiConformanceTest, FailedConnectsStillGiveTheHandle) {
  REQUIRE_TEST_SERVER(s);
  ApiConnection refused(api(), s, 0, std::nullopt, static_cast<uint32_t>(testing::UnusedPort()));
  // The client library tells every failed connect as 2002.
  EXPECT_TRUE(refused.errno_() == 2003u || refused.errno_() == 2002u) << refused.error();
  ApiConnection denied(GetParam(), s, 0, s.password + "x");
  EXPECT_EQ(denied.errno_(), 1045u);
  EXPECT_NE(denied.error().find("Access denied for user"), std::string::npos) << denied.error();
  ApiConnection fine(GetParam(), s);
  EXPECT_EQ(fine.errno_(), 0u) << fine.error();
  EXPECT_FALSE(api().mysql_get_server_info(fine.get()).empty());
  EXPECT_NE(api().mysql_thread_id(fine.get()), 0u);
}

TEST_P(ApiConformanceTest, RowsAndEveryValueAccessor) {
  REQUIRE_TEST_SERVER(s);
  ApiConnection c(GetParam(), s);
  const std::string binary("b\0\xFF\n", 4);
  const std::string long_value(300, 'L');
  ApiQuery(api(), c.get(), "CREATE TEMPORARY TABLE v (id INT, val BLOB)");
  ApiQuery(api(), c.get(), "INSERT INTO v VALUES (1, NULL), (2, ''), (3, X'6200FF0A'), (4, REPEAT('L', 300))");
  const std::string sql = "SELECT id, val FROM v ORDER BY id";
  ASSERT_EQ(api().mysql_real_query(c.get(), sql, static_cast<uint32_t>(sql.size())), 0);
  EXPECT_EQ(api().mysql_field_count(c.get()), 2u);
  PMySqlRes result = api().mysql_use_result(c.get());
  ASSERT_NE(result, nullptr) << c.error();
  EXPECT_EQ(api().mysql_num_fields(result), 2u);
  const std::optional<std::string> expected[] = {std::nullopt, "", binary, long_value};
  char buffer[400];
  for (const auto& value : expected) {
    PMySqlRow row = api().mysql_fetch_row(result);
    ASSERT_NE(row, nullptr) << c.error();
    TMySqlLengths lengths;
    api()._mysql_fetch_lengths(result, lengths);
    ASSERT_EQ(lengths.size(), 2u);
    EXPECT_EQ(api()._mysql_fetch_value_is_null(row, 1), !value.has_value());
    const char* at = api()._mysql_fetch_value_ptr(result, row, 1);
    if (&api() == &MyAPIDirect()) {
      // The direct API's row, read in place, says what the calls say.
      const TMySqlBinds& values = TMySQLAPIDirect::RowValues(row);
      EXPECT_EQ(values.IsNull(1), !value.has_value());
      EXPECT_EQ(values.ValuePtr(1), at);
      EXPECT_EQ(values.Lengths()[1], lengths[1]);
    }
    // Every API's row read in place, whether its own way or the default's.
    TMySqlRowValues in_place;
    api()._mysql_fetch_row_values(result, row, in_place);
    ASSERT_EQ(in_place.Count(), 2u);
    EXPECT_EQ(in_place.IsNull(1), !value.has_value());
    EXPECT_EQ(in_place.Data(1), at);
    EXPECT_EQ(in_place.Length(1), lengths[1]);
    // NULL: a nil pointer, and a copy that still ends the reused buffer.
    std::memset(buffer, 'Z', sizeof buffer);
    api()._mysql_fetch_value_to_str(row, 1, buffer, 2, 350);
    if (!value) {
      EXPECT_EQ(at, nullptr);
      EXPECT_EQ(buffer[2], '\0');
      continue;
    }
    ASSERT_EQ(lengths[1], value->size());
    ASSERT_TRUE(value->empty() || at != nullptr);
    EXPECT_EQ(std::string(at, lengths[1]), *value);
    EXPECT_EQ(api()._mysql_fetch_value_str(row, 1), *value);
    int offset = 0;
    const char* storage = api()._mysql_fetch_value_arr(row, 1, offset);
    EXPECT_EQ(std::string(storage + offset, lengths[1]), *value);
    EXPECT_EQ(std::string(buffer + 2, value->size()), *value);
    EXPECT_EQ(buffer[2 + value->size()], '\0');
    // Copies stop at the value, whatever length is asked for.
    std::memset(buffer, 'Z', sizeof buffer);
    api()._mysql_fetch_value_to_buff(row, 1, buffer, 1, 399);
    EXPECT_EQ(std::string(buffer + 1, value->size()), *value);
    EXPECT_EQ(buffer[1 + value->size()], 'Z');
    api()._mysql_fetch_value_to_str(row, 1, static_cast<void*>(buffer), 1);
    EXPECT_EQ(buffer[value->empty() ? 0 : 1], '\0');
  }
  EXPECT_EQ(api().mysql_fetch_row(result), nullptr);
  EXPECT_EQ(c.errno_(), 0u);
  api().mysql_free_result(result);
  EXPECT_EQ(ApiQuery(api(), c.get(), "SELECT 1"), Rows{Row{"1"}});
}

TEST_P(ApiConformanceTest, ColumnDescriptions) {
  REQUIRE_TEST_SERVER(s);
  ApiConnection c(GetParam(), s);
  ApiQuery(api(), c.get(),
           "CREATE TEMPORARY TABLE t (id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY, name VARCHAR(20), "
           "body LONGTEXT)");
  const std::string sql = "SELECT id AS ident, name, body, 1 + 1 AS two FROM t AS a";
  ASSERT_EQ(api().mysql_real_query(c.get(), sql, static_cast<uint32_t>(sql.size())), 0);
  PMySqlRes result = api().mysql_use_result(c.get());
  ASSERT_NE(result, nullptr);
  const TMYSQL_FIELD id = api()._mysql_fetch_field_direct(result, 0, false);
  EXPECT_EQ(id.name, "ident");
  EXPECT_EQ(id.org_name, "id");
  EXPECT_EQ(id.table, "a");
  EXPECT_EQ(id.org_table, "t");
  EXPECT_EQ(id.type, mftLong);
  const uint32_t id_flags = kNotNullFlag | kPriKeyFlag | kUnsignedFlag | kAutoIncrementFlag;
  EXPECT_EQ(id.flags & id_flags, id_flags);
  EXPECT_EQ(id.length, 10);
  const TMYSQL_FIELD name = api()._mysql_fetch_field_direct(result, 1, true);
  EXPECT_EQ(name.type, mftVarString);
  EXPECT_EQ(name.length, 20);  // latin1: one byte a character, whatever use_unicode says over 4.1
  EXPECT_EQ(api()._mysql_fetch_field_direct(result, 2, false).length, 65535);
  const TMYSQL_FIELD two = api()._mysql_fetch_field_direct(result, 3, false);
  EXPECT_EQ(two.org_name, "two");
  EXPECT_EQ(two.table, "");
  EXPECT_EQ(api().mysql_fetch_row(result), nullptr);
  api().mysql_free_result(result);
}

TEST_P(ApiConformanceTest, CountsInsertIdAndInfo) {
  REQUIRE_TEST_SERVER(s);
  ApiConnection c(GetParam(), s);
  ApiQuery(api(), c.get(), "CREATE TEMPORARY TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, v INT)");
  ApiQuery(api(), c.get(), "INSERT INTO t (v) VALUES (1), (2), (3)");
  EXPECT_EQ(api().mysql_insert_id(c.get()), 1u);
  EXPECT_EQ(api().mysql_affected_rows(c.get()), 3u);
  EXPECT_EQ(api().mysql_field_count(c.get()), 0u);
  ApiQuery(api(), c.get(), "UPDATE t SET v = v * 10 WHERE id > 1");
  EXPECT_EQ(api().mysql_affected_rows(c.get()), 2u);
  EXPECT_EQ(api().mysql_info(c.get()), "Rows matched: 2  Changed: 2  Warnings: 0");
}

TEST_P(ApiConformanceTest, UseResultOnceAndOnlyWithRows) {
  REQUIRE_TEST_SERVER(s);
  ApiConnection c(GetParam(), s);
  ApiQuery(api(), c.get(), "DO 1");
  EXPECT_EQ(api().mysql_use_result(c.get()), nullptr);
  EXPECT_EQ(c.errno_(), 0u);
  const std::string sql = "SELECT 1 UNION SELECT 2";
  ASSERT_EQ(api().mysql_real_query(c.get(), sql, static_cast<uint32_t>(sql.size())), 0);
  PMySqlRes result = api().mysql_use_result(c.get());
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(api().mysql_use_result(c.get()), nullptr);
  EXPECT_EQ(c.errno_(), 2014u);
  EXPECT_NE(c.error().find("Commands out of sync"), std::string::npos) << c.error();
  // Freed before its rows were read: they are passed over, and the next query works.
  api().mysql_free_result(result);
  EXPECT_EQ(ApiQuery(api(), c.get(), "SELECT 3"), Rows{Row{"3"}});
  // A length beyond the text is refused, not read past.
  EXPECT_NE(api().mysql_real_query(c.get(), "SELECT 1", 200), 0);
  EXPECT_EQ(c.errno_(), 2000u);
  EXPECT_EQ(ApiQuery(api(), c.get(), "SELECT 4"), Rows{Row{"4"}});
}

TEST_P(ApiConformanceTest, MultiStatementResultsAndAnErrorInTheSecond) {
  REQUIRE_TEST_SERVER(s);
  ApiConnection c(GetParam(), s, kClientMultiStatements);
  EXPECT_EQ(ApiQuery(api(), c.get(), "SELECT 1; DO 2; SELECT * FROM no_such_table; SELECT 4"), Rows{Row{"1"}});
  ASSERT_TRUE(api().mysql_more_results(c.get()));
  EXPECT_EQ(api().mysql_next_result(c.get()), 0);
  EXPECT_EQ(api().mysql_field_count(c.get()), 0u);
  EXPECT_TRUE(api().mysql_more_results(c.get()));
  EXPECT_GT(api().mysql_next_result(c.get()), 0);
  EXPECT_EQ(c.errno_(), 1146u);
  EXPECT_FALSE(api().mysql_more_results(c.get()));
  EXPECT_EQ(api().mysql_next_result(c.get()), -1);
  EXPECT_EQ(api().mysql_affected_rows(c.get()), ~uint64_t{0});
  EXPECT_EQ(ApiQuery(api(), c.get(), "SELECT 5; SELECT 6"), Rows{Row{"5"}});
  EXPECT_EQ(api().mysql_next_result(c.get()), 0);
  EXPECT_EQ(testing::FetchAll(api(), c.get()), Rows{Row{"6"}});
  // The next result waits until the rows before it are read.
  const std::string sql = "SELECT 7; SELECT 8";
  ASSERT_EQ(api().mysql_real_query(c.get(), sql, static_cast<uint32_t>(sql.size())), 0);
  PMySqlRes result = api().mysql_use_result(c.get());
  EXPECT_GT(api().mysql_next_result(c.get()), 0);
  EXPECT_EQ(c.errno_(), 2014u);
  api().mysql_free_result(result);
  EXPECT_EQ(api().mysql_next_result(c.get()), 0);
  EXPECT_EQ(testing::FetchAll(api(), c.get()), Rows{Row{"8"}});
}

TEST_P(ApiConformanceTest, SelectDbPingAndKill) {
  REQUIRE_TEST_SERVER(s);
  ApiConnection c(GetParam(), s);
  EXPECT_EQ(api().mysql_select_db(c.get(), "information_schema"), 0);
  EXPECT_EQ(ApiQuery(api(), c.get(), "SELECT DATABASE()"), Rows{Row{"information_schema"}});
  EXPECT_NE(api().mysql_select_db(c.get(), "no_such_db"), 0);
  EXPECT_EQ(c.errno_(), 1049u);
  EXPECT_EQ(api().mysql_ping(c.get()), 0);
  EXPECT_EQ(c.errno_(), 0u);

  ApiConnection victim(GetParam(), s);
  const uint32_t id = api().mysql_thread_id(victim.get());
  EXPECT_EQ(api().mysql_kill(c.get(), id), 0) << c.error();
  const std::string gone = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + std::to_string(id);
  EXPECT_TRUE(plat::testing::Eventually([&] { return ApiQuery(api(), c.get(), gone) == Rows{Row{"0"}}; }));
  EXPECT_NE(api().mysql_ping(victim.get()), 0);
  const uint32_t lost = victim.errno_();
  EXPECT_TRUE(lost == 2006u || lost == 2013u) << lost << " " << victim.error();
}

TEST_P(ApiConformanceTest, PreparedStatements) {
  REQUIRE_TEST_SERVER(s);
  ApiConnection c(GetParam(), s);
  ApiQuery(api(), c.get(), "CREATE TEMPORARY TABLE t (id INT, v VARCHAR(10))");
  // Named for the API: the suites of several APIs run side by side.
  const std::string plus_one = "api_plus_one_" + GetParam().name;
  ApiQuery(api(), c.get(), "CREATE OR REPLACE FUNCTION " + plus_one + "(x INT) RETURNS INT RETURN x + 1");

  ApiStatement insert(api(), c.get());
  ASSERT_EQ(insert.Prepare("INSERT INTO t VALUES (?, ?)"), 0) << insert.error();
  EXPECT_EQ(api().mysql_stmt_param_count(insert.get()), 2u);
  EXPECT_EQ(api().mysql_stmt_field_count(insert.get()), 0u);
  EXPECT_EQ(api().mysql_stmt_result_metadata(insert.get()), nullptr);
  for (int i = 1; i <= 3; ++i) {
    TParamDescs params;
    testing::AddParam(params, dtInteger, i);
    testing::AddParam(params, dtString, "v" + std::to_string(i));
    ASSERT_EQ(insert.Execute(params), 0) << insert.error();
    EXPECT_EQ(api().mysql_stmt_affected_rows(insert.get()), 1u);
  }

  ApiStatement select(api(), c.get());
  ASSERT_EQ(select.Prepare("SELECT id, v FROM t WHERE id >= ? ORDER BY id"), 0) << select.error();
  EXPECT_EQ(api().mysql_stmt_field_count(select.get()), 2u);
  TParamDescs from_two;
  testing::AddParam(from_two, dtInteger, 2);
  ASSERT_EQ(select.Execute(from_two), 0) << select.error();
  EXPECT_EQ(select.FetchAll(), (Rows{Row{"2", "v2"}, Row{"3", "v3"}}));

  // A function call whose list starts with the result binds one parameter fewer.
  ApiStatement call(api(), c.get());
  ASSERT_EQ(call.Prepare("SELECT " + plus_one + "(?)"), 0) << call.error();
  TParamDescs with_result;
  testing::AddParam(with_result, dtInteger, 0, pdResult);
  testing::AddParam(with_result, dtInteger, 41);
  ASSERT_EQ(call.Execute(with_result), 0) << call.error();
  EXPECT_EQ(call.FetchAll(), Rows{Row{"42"}});

  ApiStatement bad(api(), c.get());
  EXPECT_NE(bad.Prepare("SELEC 1"), 0);
  EXPECT_EQ(api().mysql_stmt_errno(bad.get()), 1064u);
  EXPECT_NE(bad.error().find("SQL syntax"), std::string::npos) << bad.error();
  // The client library copies a statement's error to its connection too.
  if (GetParam().name == "direct") {
    EXPECT_EQ(c.errno_(), 0u);
  }
  ApiQuery(api(), c.get(), "DROP FUNCTION " + plus_one);
}

TEST_P(ApiConformanceTest, ResultsFreedMidStreamAndHandlesThatOutliveTheirConnection) {
  REQUIRE_TEST_SERVER(s);
  ApiConnection c(GetParam(), s);
  ApiStatement stmt(api(), c.get());
  ASSERT_EQ(stmt.Prepare("SELECT seq FROM seq_1_to_1000"), 0) << stmt.error();
  PMySqlRes metadata = api().mysql_stmt_result_metadata(stmt.get());
  ASSERT_NE(metadata, nullptr);
  EXPECT_EQ(api().mysql_num_fields(metadata), 1u);
  EXPECT_EQ(api().mysql_fetch_row(metadata), nullptr);
  api().mysql_free_result(metadata);
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(stmt.Execute(TParamDescs()), 0) << stmt.error();
    tools::StatementRows rows(api(), stmt.get());
    Row row;
    ASSERT_EQ(rows.Next(row), 0) << stmt.error();
    EXPECT_EQ(row, Row{"1"});
    // Freed after one row of a thousand: the rest are passed over.
    EXPECT_FALSE(api().mysql_stmt_free_result(stmt.get()));
  }
  EXPECT_EQ(ApiQuery(api(), c.get(), "SELECT 1"), Rows{Row{"1"}});

  // A statement, its metadata and a text result, all still open when the
  // connection closes: each is freed afterwards, without touching it.
  ASSERT_EQ(stmt.Execute(TParamDescs()), 0);
  tools::StatementRows rows(api(), stmt.get());
  metadata = api().mysql_stmt_result_metadata(stmt.get());
  ApiConnection other(GetParam(), s);
  const std::string sql = "SELECT seq FROM seq_1_to_1000";
  ASSERT_EQ(api().mysql_real_query(other.get(), sql, static_cast<uint32_t>(sql.size())), 0);
  PMySqlRes text = api().mysql_use_result(other.get());
  ASSERT_NE(text, nullptr);
  api().mysql_close(c.release());
  api().mysql_close(other.release());
  Row row;
  EXPECT_NE(rows.Next(row), 0);
  EXPECT_EQ(api().mysql_stmt_errno(stmt.get()), 2013u);
  EXPECT_NE(stmt.Prepare("SELECT 1"), 0);
  EXPECT_EQ(api().mysql_stmt_errno(stmt.get()), 2013u);
  EXPECT_EQ(api().mysql_fetch_row(text), nullptr);
  api().mysql_free_result(text);
  api().mysql_free_result(metadata);
}

// Every implementation of the client API runs the suite.
INSTANTIATE_TEST_SUITE_P(Api, ApiConformanceTest,
                         ::testing::Values(testing::DirectApi(), testing::ClientApi(false),
                                           testing::ClientApi(true)),
                         testing::ApiName);

}  // namespace
}  // namespace dac
