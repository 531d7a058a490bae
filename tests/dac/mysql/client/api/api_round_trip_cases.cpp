// The round-trip cases of api_round_trip_cases.h.
#include "tests/dac/mysql/client/api/api_round_trip_cases.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "dac/framework/values/bcd.h"
#include "dac/mysql/client/wire/protocol.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_types.h"
#include "platform/date_time.h"
#include "platform/format_settings.h"

namespace dac::testing {
namespace {

DateTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
  DateTime value = 0;
  EXPECT_TRUE(plat::TryEncodeDateTime(y, mo, d, h, mi, s, ms, value));
  return value;
}

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

// Equal without printing megabytes when they are not.
void ExpectSameValue(const Rows& rows, const std::optional<std::string>& expected, const char* how) {
  ASSERT_EQ(rows.size(), 1u) << how;
  ASSERT_EQ(rows[0].size(), 1u) << how;
  const std::optional<std::string>& got = rows[0][0];
  ASSERT_EQ(got.has_value(), expected.has_value()) << how;
  if (!got) return;
  ASSERT_EQ(got->size(), expected->size()) << how;
  if (got->size() > 1000) {
    const auto differs = std::mismatch(got->begin(), got->end(), expected->begin()).first;
    EXPECT_TRUE(differs == got->end()) << how << ": differs at " << differs - got->begin();
  } else {
    EXPECT_EQ(*got, *expected) << how;
  }
}

}  // namespace

void ApiRoundTripTest::Check(const RoundTrip& c) {
  SCOPED_TRACE(c.name);
  ApiConnection& con = c.unicode ? *utf8_ : *latin1_;
  ApiQuery(api(), con.get(), "DROP TEMPORARY TABLE IF EXISTS rt");
  ApiQuery(api(), con.get(), std::string("CREATE TEMPORARY TABLE rt (v ") + c.column + ")");
  ApiStatement insert(api(), con.get());
  ASSERT_EQ(insert.Prepare("INSERT INTO rt VALUES (?)"), 0) << insert.error();
  TParamDescs params;
  AddParam(params, c.type, c.value);
  ASSERT_EQ(insert.Execute(params, c.unicode), 0) << insert.error();
  ExpectSameValue(ApiQuery(api(), con.get(), "SELECT v FROM rt"), c.text, "text query");
  ApiStatement select(api(), con.get());
  ASSERT_EQ(select.Prepare("SELECT v FROM rt"), 0) << select.error();
  ASSERT_EQ(select.Execute(TParamDescs()), 0) << select.error();
  ExpectSameValue(select.FetchAll(), c.text, "prepared select");
}

void ApiRoundTripTest::SetUp() {
  const auto settings = ServerOf(GetParam());
  if (!settings) GTEST_SKIP() << "no test server: VARNEL_MYSQL_HOST/PORT are unset (scripts/test provides them)";
  latin1_ = std::make_unique<ApiConnection>(GetParam(), *settings);
  utf8_ = std::make_unique<ApiConnection>(GetParam(), *settings);
  ApiQuery(api(), utf8_->get(), "SET NAMES utf8mb4");
}

// The status flags say how the session reads string literals: they follow
// every change of sql_mode, and a failed statement leaves them standing.
TEST_P(ApiRoundTripTest, TheServerStatusFollowsTheEscapingMode) {
  PMySqlCon con = latin1_->get();
  const auto escapes_off = [&] { return (api()._mysql_server_status(con) & kServerStatusNoBackslashEscapes) != 0; };
  EXPECT_FALSE(escapes_off());
  ApiQuery(api(), con, "SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')");
  EXPECT_TRUE(escapes_off());
  ApiQuery(api(), con, "SELECT 1");
  EXPECT_TRUE(escapes_off());
  const std::string failing = "SELECT * FROM no_such_table_anywhere";
  EXPECT_NE(api().mysql_real_query(con, failing, static_cast<uint32_t>(failing.size())), 0);
  EXPECT_TRUE(escapes_off());
  // A lone backslash is a character of its own now.
  EXPECT_EQ(ApiQuery(api(), con, "SELECT HEX('\\')"), (Rows{{std::string("5C")}}));
  ApiQuery(api(), con, "SET SESSION sql_mode = REPLACE(@@sql_mode, 'NO_BACKSLASH_ESCAPES', '')");
  EXPECT_FALSE(escapes_off());
}

TEST_P(ApiRoundTripTest, ScalarsDatesAndText) {
  const std::u16string wide = u"\u00e9t\u00e9 \u20ac \U0001F600";
  const std::string all_bytes = AllBytes();
  const RoundTrip cases[] = {
      {"uint32 max", "INT UNSIGNED", dtUInt32, uint32_t{4294967295u}, "4294967295"},
      {"word max", "SMALLINT UNSIGNED", dtWord, uint16_t{65535}, "65535"},
      {"int8 min", "TINYINT", dtInt8, int8_t{-128}, "-128"},
      {"smallint min", "SMALLINT", dtSmallint, int16_t{-32768}, "-32768"},
      {"integer min", "INT", dtInteger, std::numeric_limits<int32_t>::min(), "-2147483648"},
      {"largeint min", "BIGINT", dtLargeint, std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
      {"boolean", "TINYINT(1)", dtBoolean, true, "1"},
      {"small double", "DOUBLE", dtFloat, 1.5e-7, "0.00000015"},
      {"large double", "DOUBLE", dtFloat, -1e300, "-1e300"},
      {"date", "DATE", dtDate, Variant::FromDateTime(At(2024, 2, 29, 0, 0, 0, 0)), "2024-02-29"},
      {"negative time", "TIME", dtTime, Variant::FromDateTime(-1.5 / 24), "-01:30:00"},
      {"time beyond a day", "TIME", dtTime, Variant::FromDateTime(1.5), "36:00:00"},
      {"date-time with milliseconds", "DATETIME(3)", dtDateTime,
       Variant::FromDateTime(At(2004, 2, 29, 13, 45, 10, 250)), "2004-02-29 13:45:10.250"},
      {"formatted decimal", "DECIMAL(20,4)", dtFmtBCD, StrToBcd("12345678901234.5678"), "12345678901234.5678"},
      {"text with NUL bytes", "VARCHAR(20)", dtString, std::string("a\0b\0", 4), std::string("a\0b\0", 4)},
      {"memo", "TEXT", dtMemo, "line 1\r\nline 2\t\\", "line 1\r\nline 2\t\\"},
      {"code-page text as UTF-8", "VARCHAR(20) CHARACTER SET utf8mb4", dtString, "\xE9t\xE9", "\xC3\xA9t\xC3\xA9",
       true},
      {"wide text as UTF-8", "VARCHAR(20) CHARACTER SET utf8mb4", dtWideString, wide,
       "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", true},
      {"bytes", "VARBINARY(256)", dtBytes, TBytes(all_bytes.begin(), all_bytes.end()), all_bytes},
      {"NULL", "INT", dtInteger, Variant::Null(), std::nullopt},
      {"NULL text", "VARCHAR(5)", dtString, Variant(), std::nullopt},
  };
  for (const RoundTrip& c : cases) Check(c);
}

TEST_P(ApiRoundTripTest, DecimalUnderACommaSeparator) {
  const plat::FormatSettings saved = plat::ProcessFormatSettings();
  plat::ProcessFormatSettings().decimal_separator = ',';
  Check({"currency", "DECIMAL(10,4)", dtBCD, Currency::FromRaw(-12345), "-1.2345"});
  Check({"double as decimal", "DECIMAL(10,2)", dtFmtBCD, 2.5, "2.50"});
  plat::ProcessFormatSettings() = saved;
}

TEST_P(ApiRoundTripTest, BlobsOfSeveralPiecesAndSeveralPackets) {
  for (const size_t size : {size_t{200} * 1024, size_t{20} * 1024 * 1024}) {
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    SharedRef<TBlob> blob = MakeShared<TBlob>();
    blob->Write(0, static_cast<uint32_t>(size), content.data());
    ASSERT_NE(NextPiece(blob->FirstPiece()), nullptr);
    Check({size < 1024 * 1024 ? "200 KB" : "20 MB", "LONGBLOB", dtBlob, Variant::FromObject(blob.get()), content});
  }
}

// The server's SQLSTATE reaches the caller of every API, for statements
// run as text and prepared alike; a success reads 00000.
TEST_P(ApiRoundTripTest, ErrorsCarryTheServersState) {
  struct Case {
    const char* sql;
    uint32_t code;
    const char* state;
  };
  const Case cases[] = {
      {"SELECT * FROM no_such_table", 1146, "42S02"},
      {"SELECT no_such_column", 1054, "42S22"},
      {"SELEC 1", 1064, "42000"},
      {"SELECT 1", 0, "00000"},
  };
  const PMySqlCon con = latin1_->get();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const std::string sql = c.sql;
    api().mysql_real_query(con, sql, static_cast<uint32_t>(sql.size()));
    EXPECT_EQ(api().mysql_errno(con), c.code);
    EXPECT_EQ(api().mysql_sqlstate(con), c.state);
    FetchAll(api(), con);
    ApiStatement stmt(api(), con);
    stmt.Prepare(sql);
    EXPECT_EQ(api().mysql_stmt_errno(stmt.get()), c.code);
    EXPECT_EQ(api().mysql_stmt_sqlstate(stmt.get()), c.state);
  }
}

// A prepared procedure call gives each of its results in turn, then the
// status that ends it; closing or executing again in the middle leaves the
// connection ready for the next command.
TEST_P(ApiRoundTripTest, PreparedProcedureCallsGiveEveryResult) {
  const PMySqlCon con = latin1_->get();
  ApiQuery(api(), con,
           "CREATE OR REPLACE PROCEDURE rt_results() BEGIN SELECT 1, 'a'; SELECT 2, 'b' UNION SELECT 3, 'c'; "
           "SELECT 'no rows' FROM DUAL WHERE 0; END");
  const std::vector<Rows> expected = {{Row{"1", "a"}}, {Row{"2", "b"}, Row{"3", "c"}}, {}};
  ApiStatement call(api(), con);
  ASSERT_EQ(call.Prepare("CALL rt_results()"), 0) << call.error();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(call.Execute(TParamDescs()), 0) << call.error();
    std::vector<Rows> results;
    int32_t next = 0;
    for (; next == 0; next = api().mysql_stmt_next_result(call.get()))
      if (api().mysql_stmt_field_count(call.get()) > 0) results.push_back(call.FetchAll());
    EXPECT_EQ(next, -1) << call.error();
    EXPECT_EQ(results, expected);
    EXPECT_EQ(ApiQuery(api(), con, "SELECT 'ready'"), Rows{Row{"ready"}});
  }
  // Left after its first result: executing again, or closing, reads past
  // the rest; the close reaches the server.
  const auto closes = [&] {
    const Rows status = ApiQuery(api(), con, "SHOW SESSION STATUS LIKE 'Com_stmt_close'");
    return status.size() == 1 && status[0][1] ? *status[0][1] : "<none>";
  };
  const std::string closes_before = closes();
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "closed" : "executed again");
    ApiStatement again(api(), con);
    ASSERT_EQ(again.Prepare("CALL rt_results()"), 0) << again.error();
    ASSERT_EQ(again.Execute(TParamDescs()), 0) << again.error();
    EXPECT_EQ(again.FetchAll(), expected[0]);
    if (!close) {
      ASSERT_EQ(again.Execute(TParamDescs()), 0) << again.error();
      EXPECT_EQ(again.FetchAll(), expected[0]);
      while (api().mysql_stmt_next_result(again.get()) == 0) {
      }
    }
  }
  EXPECT_EQ(std::stoi(closes()), std::stoi(closes_before) + 2);
  EXPECT_EQ(api().mysql_errno(con), 0u);
  EXPECT_EQ(ApiQuery(api(), con, "SELECT 'still ready'"), Rows{Row{"still ready"}});
  // An error in a later result ends the call with it.
  ApiQuery(api(), con, "CREATE OR REPLACE PROCEDURE rt_failing() BEGIN SELECT 1; SELECT * FROM no_such_table; END");
  ApiStatement failing(api(), con);
  ASSERT_EQ(failing.Prepare("CALL rt_failing()"), 0) << failing.error();
  ASSERT_EQ(failing.Execute(TParamDescs()), 0) << failing.error();
  EXPECT_EQ(failing.FetchAll(), Rows{Row{"1"}});
  EXPECT_GT(api().mysql_stmt_next_result(failing.get()), 0);
  EXPECT_EQ(api().mysql_stmt_errno(failing.get()), 1146u);
  EXPECT_EQ(api().mysql_stmt_sqlstate(failing.get()), "42S02");
  EXPECT_EQ(ApiQuery(api(), con, "SELECT 'after the error'"), Rows{Row{"after the error"}});
}

// An AUTO_INCREMENT beyond 2^63 is an insert id like any other; a spatial
// column comes through a prepared statement as its bytes.
TEST_P(ApiRoundTripTest, UnsignedInsertIdsAndSpatialColumns) {
  const PMySqlCon con = latin1_->get();
  ApiQuery(api(), con, "DROP TEMPORARY TABLE IF EXISTS rt_ids");
  ApiQuery(api(), con,
           "CREATE TEMPORARY TABLE rt_ids (id BIGINT UNSIGNED AUTO_INCREMENT PRIMARY KEY, g GEOMETRY) "
           "AUTO_INCREMENT = 18446744073709551610");
  ApiQuery(api(), con, "INSERT INTO rt_ids (g) VALUES (ST_GeomFromText('POINT(1 2)'))");
  EXPECT_EQ(api().mysql_insert_id(con), 18446744073709551610u);
  ApiQuery(api(), con, "INSERT INTO rt_ids (g) VALUES (NULL)");
  EXPECT_EQ(api().mysql_insert_id(con), 18446744073709551611u);
  const std::string sql = "SELECT id, g, ST_AsText(g) FROM rt_ids ORDER BY id";
  const Rows text = ApiQuery(api(), con, sql);
  ASSERT_EQ(text.size(), 2u);
  EXPECT_EQ(text[0][2], "POINT(1 2)");
  ApiStatement select(api(), con);
  ASSERT_EQ(select.Prepare(sql), 0) << select.error();
  ASSERT_EQ(select.Execute(TParamDescs()), 0) << select.error();
  EXPECT_EQ(select.FetchAll(), text);
}

}  // namespace dac::testing
