// TMySQLRecordset against the test server: every column type into its
// record slot through the text protocol (built-in and client library) and
// the binary one, NULLs, batches of results, block-wise and whole fetching,
// the second connection of a partly read stream, and errors.
#include "dac/mysql/provider/my_record_set.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/values/currency.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/store/record/block_manager.h"
#include "platform/date_time.h"
#include "tests/dac/mysql/my_provider_test_support.h"
#include "tests/support/eventually.h"

namespace dac {
namespace {


std::string Padded(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value);
  return text;
}

// A value as the test tables write it.
std::string Shown(TMySQLRecordset& rs, TFieldDesc& field, void* rec) {
  const uint16_t no = field.GetFieldNo();
  if (rs.IsBlobFieldType(field.GetDataType())) {
    if (rs.GetNull(no, rec)) return "NULL";
    std::string bytes(rs.GetBlobSize(no, rec, false, true), '\0');
    rs.ReadBlob(no, rec, 0, static_cast<uint32_t>(bytes.size()), bytes.data(), false, true);
    if (field.GetDataType() != dtBlob) return field.GetDataType() == dtWideMemo ? "W" + std::to_string(bytes.size()) : bytes;
    std::string hex;
    for (unsigned char c : bytes) hex += Padded(c, 2).substr(0, 0) + "0123456789ABCDEF"[c >> 4] + "0123456789ABCDEF"[c & 15];
    return "x" + hex;
  }
  Variant value;
  rs.GetFieldAsVariant(no, rec, value);
  if (value.IsNull()) return "NULL";
  switch (field.GetDataType()) {
    case dtDate:
    case dtDateTime: {
      const double days = value.AsDouble();
      const plat::CalendarDate d = plat::DecodeDate(days);
      const plat::TimeOfDay t = plat::DecodeTime(days);
      std::string text = Padded(d.year, 4) + "-" + Padded(d.month, 2) + "-" + Padded(d.day, 2);
      if (field.GetDataType() == dtDateTime)
        text += " " + Padded(t.hour, 2) + ":" + Padded(t.minute, 2) + ":" + Padded(t.second, 2);
      if (t.millisecond) text += "." + Padded(t.millisecond, 3);
      return text;
    }
    case dtTime: {
      char text[32];
      std::snprintf(text, sizeof text, "%.6f", value.AsDouble());
      return text;
    }
    case dtFloat: {
      char text[32];
      std::snprintf(text, sizeof text, "%.15g", value.AsDouble());
      return text;
    }
    case dtBCD:
      return CurrToStr(value.AsCurrency());
    case dtFmtBCD:
      return VarToStr(value);
    case dtVarBytes:
    case dtExtVarBytes: {
      std::string hex;
      for (uint8_t c : value.AsBytes()) hex += std::string(1, "0123456789ABCDEF"[c >> 4]) + "0123456789ABCDEF"[c & 15];
      return "x" + hex;
    }
    case dtBoolean:
      return value.AsBoolean() ? "true" : "false";
    case dtString:
    case dtExtString:
    case dtWideString:
    case dtExtWideString:
      return value.AsString();
    default:
      return std::to_string(value.AsInt64());
  }
}

class MySQLRecordsetTest : public testing::ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    if (IsSkipped()) return;
    connection->ExecStatement("SET SESSION sql_mode = ''");
  }

  // Temporary tables are the session's own: only the second-connection
  // test streams on another one.
  TMySQLRecordset& Make(const std::string& sql, int fetch_rows = 25, bool fetch_all = false) {
    rs.reset(static_cast<TMySQLRecordset*>(TMySQLRecordset::ClassInfo().Create()));
    rs->SetConnection(connection.get());
    rs->SetProp(prMyCreateConnection, false);
    rs->SetSQL(sql);
    rs->SetProp(prFetchRows, fetch_rows);
    rs->SetProp(prFetchAll, fetch_all);
    return *rs;
  }
  static void* Rec(PItemHeader item) { return TBlockManager::GetRecordPtr(item); }
  // Every row, each value as Shown writes it, fields joined by "|".
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    rs->SetToBegin();
    for (rs->GetNextRecord(nullptr); !rs->GetEOF(); rs->GetNextRecord(nullptr)) {
      std::string row;
      for (int i = 0; i < rs->ColumnCount(); ++i) {
        if (i) row += "|";
        row += Shown(*rs, *rs->GetFieldDescs().GetItems(i), Rec(rs->GetCurrentItem()));
      }
      rows.push_back(row);
    }
    return rows;
  }
  std::unique_ptr<TMySQLRecordset> rs;
};

struct TypeCase {
  std::string column;  // the column's declared type
  std::string literal;
  uint16_t data_type;
  std::string shown;
};

TEST_P(MySQLRecordsetTest, EveryColumnTypeIntoItsSlot) {
  const TypeCase cases[] = {
      {"TINYINT", "-5", dtInt8, "-5"},
      {"TINYINT(1)", "1", dtBoolean, "true"},
      {"TINYINT UNSIGNED", "200", dtWord, "200"},
      {"SMALLINT", "-30000", dtSmallint, "-30000"},
      {"SMALLINT UNSIGNED", "65535", dtWord, "65535"},
      {"MEDIUMINT", "-8000000", dtInteger, "-8000000"},
      {"INT", "-2147483648", dtInteger, "-2147483648"},
      {"INT UNSIGNED", "4294967295", dtUInt32, "4294967295"},
      {"BIGINT", "-9223372036854775808", dtLargeint, "-9223372036854775808"},
      {"BIGINT UNSIGNED", "18446744073709551615", dtFmtBCD, "18446744073709551615"},
      {"BIT(64)", "b'1111111111111111111111111111111111111111111111111111111111111110'", dtFmtBCD,
       "18446744073709551614"},
      {"BIT(10)", "b'1000000001'", dtLargeint, "513"},
      {"FLOAT", "1.5", dtFloat, "1.5"},
      {"DOUBLE", "-2.25e-10", dtFloat, "-2.25e-10"},
      {"DECIMAL(10,2)", "-12345.67", dtFloat, "-12345.67"},
      {"DATE", "'2004-02-29'", dtDate, "2004-02-29"},
      {"DATE", "'0000-00-00'", dtDate, "NULL"},
      {"TIME", "'-12:30:00'", dtTime, "-0.520833"},
      {"TIME", "'36:00:00'", dtTime, "1.500000"},
      {"DATETIME", "'2004-02-29 12:34:56'", dtDateTime, "2004-02-29 12:34:56"},
      {"DATETIME(3)", "'1999-12-31 23:59:59.250'", dtDateTime, "1999-12-31 23:59:59.250"},
      {"DATETIME", "'2004-02-30 00:00:00'", dtDateTime, "NULL"},
      {"TIMESTAMP", "'2004-02-29 12:34:56'", dtDateTime, "2004-02-29 12:34:56"},
      {"YEAR", "2024", dtWord, "2024"},
      {"CHAR(5)", "'ab'", dtString, "ab"},
      {"VARCHAR(40)", "'it''s \\\\ \"q\"'", dtString, "it's \\ \"q\""},
      {"VARCHAR(300)", "REPEAT('z', 300)", dtString, std::string(300, 'z')},
      {"VARBINARY(4)", "x'41004243'", dtVarBytes, "x41004243"},
      {"BINARY(3)", "x'610062'", dtVarBytes, "x610062"},
      {"TIME(6)", "'-838:59:59.999999'", dtTime, "-34.958333"},
      {"ENUM('a','b')", "'b'", dtString, "b"},
      {"SET('x','y')", "'x,y'", dtString, "x,y"},
      {"TEXT", "'line\\nnext'", dtMemo, "line\nnext"},
      {"BLOB", "x'00FF10'", dtBlob, "x00FF10"},
      {"LONGBLOB", "''", dtBlob, "x"},
  };
  for (const TypeCase& c : cases) {
    connection->ExecStatement("CREATE TEMPORARY TABLE rt (v " + c.column + ")");
    connection->ExecStatement("INSERT INTO rt VALUES (" + c.literal + "), (NULL)");
    for (bool prepared : {false, true}) {
      Make("SELECT v FROM rt");
      if (prepared) rs->Prepare();
      rs->Open();
      ASSERT_EQ(rs->ColumnCount(), 1);
      EXPECT_EQ(rs->GetFieldDescs().GetItems(0)->GetDataType(), c.data_type) << c.column;
      const std::vector<std::string> rows = Rows();
      EXPECT_EQ(rows, (std::vector<std::string>{c.shown, "NULL"})) << c.column << (prepared ? " prepared" : " text");
      rs->Close();
      rs->UnPrepare();
    }
    connection->ExecStatement("DROP TEMPORARY TABLE rt");
  }
}

TEST_P(MySQLRecordsetTest, UnicodeTextAndZeroDatesByTheSettings) {
  connection->SetProp(prMyUseUnicode, true);
  connection->ExecStatement("CREATE TEMPORARY TABLE u (name VARCHAR(30), memo TEXT, d DATE) CHARACTER SET utf8");
  // Statements are written in the system code page.
  connection->ExecStatement("INSERT INTO u VALUES ('\xE9t\xE9', 'x\x80y', '0000-00-00')");
  for (bool prepared : {false, true}) {
    Make("SELECT name, CONCAT(name), memo, d FROM u");
    rs->SetProp(prMyNullForZeroDate, false);
    if (prepared) rs->Prepare();
    rs->Open();
    TFieldDesc& name = *rs->GetFieldDescs().GetItems(0);
    EXPECT_EQ(name.GetDataType(), dtWideString);
    // Thirty characters of utf8mb4 may take sixty UTF-16 units.
    EXPECT_EQ(name.GetLength(), 60);
    EXPECT_EQ(rs->GetFieldDescs().GetItems(1)->GetLength(), 122);
    EXPECT_EQ(rs->GetFieldDescs().GetItems(2)->GetDataType(), dtWideMemo);
    rs->SetToBegin();
    rs->GetNextRecord(nullptr);
    void* rec = Rec(rs->GetCurrentItem());
    char16_t text[32] = {};
    rs->GetFieldData(&name, rec, text, sizeof text);
    EXPECT_EQ(std::u16string(text), u"\u00E9t\u00E9");
    EXPECT_EQ(rs->GetBlobSize(3, rec, false, true), 6u);
    char16_t memo[4] = {};
    rs->ReadBlob(3, rec, 0, 6, memo, false, true);
    EXPECT_EQ(std::u16string(memo), u"x\u20ACy");
    // The zero date reads as the zero date when it is not to be null.
    Variant d;
    rs->GetFieldAsVariant(4, rec, d);
    EXPECT_EQ(d.AsDouble(), ZeroDate);
    rs->Close();
    rs->UnPrepare();
  }
}

TEST_P(MySQLRecordsetTest, SettingsChangeHowColumnsAreTyped) {
  struct Case {
    int prop;
    bool value;
    std::string column, literal;
    uint16_t data_type;
    std::string shown;
  };
  const Case cases[] = {
      {prMyFieldsAsString, true, "INT", "-5", dtString, "-5"},
      {prMyFieldsAsString, true, "DATE", "'2004-02-29'", dtString, "2004-02-29"},
      {prMyFieldsAsString, true, "DATETIME", "'2004-02-29 01:02:03'", dtString, "2004-02-29 01:02:03"},
      {prMyFieldsAsString, true, "TIME", "'-01:30:00'", dtString, "-01:30:00"},
      {prMyFieldsAsString, true, "DOUBLE", "0.1", dtString, "0.1"},
      {prMyFieldsAsString, true, "BIGINT UNSIGNED", "18446744073709551615", dtString, "18446744073709551615"},
      {prMyFieldsAsString, true, "BLOB", "x'41'", dtBlob, "x41"},
      {prMyEnableBoolean, false, "TINYINT(1)", "1", dtInt8, "1"},
      {prFlatBuffers, false, "VARCHAR(40)", "'long enough'", dtExtString, "long enough"},
      {prFlatBuffers, false, "VARCHAR(20)", "'short'", dtString, "short"},
      {prLongStrings, false, "VARCHAR(300)", "'many'", dtMemo, "many"},
  };
  for (const Case& c : cases) {
    connection->ExecStatement("CREATE TEMPORARY TABLE st (v " + c.column + ")");
    connection->ExecStatement("INSERT INTO st VALUES (" + c.literal + ")");
    for (bool prepared : {false, true}) {
      Make("SELECT v FROM st");
      rs->SetProp(c.prop, c.value);
      if (prepared) rs->Prepare();
      rs->Open();
      EXPECT_EQ(rs->GetFieldDescs().GetItems(0)->GetDataType(), c.data_type) << c.column;
      EXPECT_EQ(Rows(), std::vector<std::string>{c.shown}) << c.column << (prepared ? " prepared" : " text");
      rs->Close();
    }
    connection->ExecStatement("DROP TEMPORARY TABLE st");
  }
}

TEST_P(MySQLRecordsetTest, ColumnsTheirTablesAndKeys) {
  connection->ExecStatement(
      "CREATE TEMPORARY TABLE people (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(30) NOT NULL, price "
      "DECIMAL(8,2) UNSIGNED)");
  Make("SELECT p.id, p.name AS who, price, 1 + 1 AS two FROM people p");
  rs->Open();
  auto& id = static_cast<TMySQLFieldDesc&>(*rs->GetFieldDescs().GetItems(0));
  auto& who = static_cast<TMySQLFieldDesc&>(*rs->GetFieldDescs().GetItems(1));
  auto& price = static_cast<TMySQLFieldDesc&>(*rs->GetFieldDescs().GetItems(2));
  auto& two = static_cast<TMySQLFieldDesc&>(*rs->GetFieldDescs().GetItems(3));
  EXPECT_TRUE(id.GetIsPrimaryKey());
  EXPECT_TRUE(id.GetIsAutoIncrement());
  EXPECT_TRUE(id.GetIsKey());
  EXPECT_TRUE(id.GetRequired());
  EXPECT_EQ(who.GetName(), "who");
  EXPECT_EQ(who.GetActualName(), "name");
  EXPECT_EQ(who.GetLength(), 30);
  EXPECT_EQ(who.GetSize(), 31);
  EXPECT_TRUE(price.GetIsUnsigned());
  EXPECT_EQ(price.GetScale(), 2);
  EXPECT_EQ(rs->GetCorrectedDataType(price), dtBCD);
  EXPECT_EQ(two.GetTableInfo(), nullptr);
  ASSERT_NE(id.GetTableInfo(), nullptr);
  EXPECT_EQ(id.GetTableInfo()->GetTableName(), "people");
  EXPECT_EQ(id.GetTableInfo()->GetTableAlias(), "p");
  EXPECT_EQ(id.GetTableInfo(), who.GetTableInfo());
}

TEST_P(MySQLRecordsetTest, FetchesInBlocksOrAllAtOnce) {
  connection->ExecStatement("CREATE TEMPORARY TABLE seq (n INT)");
  connection->ExecStatement("INSERT INTO seq VALUES (1),(2),(3),(4),(5),(6),(7),(8),(9),(10)");
  struct Case {
    int fetch_rows;
    bool fetch_all;
    int rows_at_open;
  };
  for (const Case& c : {Case{3, false, 3}, Case{1, false, 1}, Case{25, false, 10}, Case{3, true, 10}}) {
    Make("SELECT n FROM seq ORDER BY n", c.fetch_rows, c.fetch_all);
    rs->Open();
    EXPECT_EQ(rs->GetRecordCount(), c.rows_at_open) << c.fetch_rows;
    EXPECT_EQ(Rows().size(), 10u);
    EXPECT_EQ(rs->GetRecordCount(), 10);
    rs->Close();
  }
  // Described before it runs: the statement runs once without rows.
  Make("SELECT n, n * 2 AS twice FROM seq ORDER BY n");
  rs->InitFields();
  ASSERT_EQ(rs->GetFieldDescs().Count(), 2);
  EXPECT_EQ(rs->GetFieldDescs().GetItems(1)->GetName(), "twice");
  EXPECT_EQ(rs->Command().GetSQL(), "SELECT n, n * 2 AS twice FROM seq ORDER BY n");
  EXPECT_EQ(Value("SELECT 14"), "14");
  rs->Open();
  EXPECT_EQ(Rows().size(), 10u);
  rs->Close();

  // Forward-only: the cache holds one block.
  Make("SELECT n FROM seq ORDER BY n", 4);
  rs->SetProp(prUniDirectional, true);
  rs->Open();
  int seen = 0;
  for (rs->GetNextRecord(nullptr); !rs->GetEOF(); rs->GetNextRecord(nullptr)) ++seen;
  EXPECT_EQ(seen, 10);
  EXPECT_LE(rs->GetRecordCount(), 4);
  rs->Close();
  EXPECT_EQ(Value("SELECT 11"), "11");
}

TEST_P(MySQLRecordsetTest, BatchesOpenTheirFirstResultWithRows) {
  connection->ExecStatement("CREATE TEMPORARY TABLE b (n INT)");
  Make("INSERT INTO b VALUES (1), (2); SELECT n FROM b ORDER BY n; SELECT 'second' AS s");
  rs->Open();
  EXPECT_EQ(rs->GetCommandType(), ctCursor);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1", "2"}));
  Variant more;
  rs->GetProp(prMyMoreResults, more);
  EXPECT_TRUE(more.AsBoolean());
  // The next open takes the waiting result instead of running the text again.
  rs->SetProp(prMyOpenNext, true);
  rs->Close();
  rs->Open();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"second"}));
  rs->GetProp(prMyMoreResults, more);
  EXPECT_FALSE(more.AsBoolean());
  rs->Close();
  EXPECT_EQ(Value("SELECT COUNT(*) FROM b"), "2");

  // Without OpenNext closing reads every further result away.
  Make("SELECT 1 AS a; SELECT 2 AS b; DELETE FROM b");
  rs->Open();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1"}));
  rs->Close();
  EXPECT_EQ(Value("SELECT COUNT(*) FROM b"), "0");

  // A statement without rows is no record set, and runs once.
  connection->ExecStatement("INSERT INTO b VALUES (3)");
  Make("DELETE FROM b");
  EXPECT_THROW(
      try { rs->Open(); } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Query must return exactly result set - use Execute");
        throw;
      },
      EDatabaseError);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM b"), "0");
}

TEST_P(MySQLRecordsetTest, ErrorsComeAsMyErrorAndLeaveTheConnectionUsable) {
  Make("SELECT * FROM no_such_table");
  const std::string error = testing::MyErrorOf([&] { rs->Open(); });
  EXPECT_EQ(error.substr(0, 6), "1146: ") << error;
  EXPECT_FALSE(rs->GetActive());
  // Reading past the first result's rows meets the second one's error.
  Make("SELECT 1 AS a; SELECT * FROM no_such_table");
  EXPECT_EQ(testing::MyErrorOf([&] { rs->Open(); }).substr(0, 6), "1146: ");
  EXPECT_FALSE(rs->GetActive());
  EXPECT_EQ(Value("SELECT 12"), "12");
}

TEST_P(MySQLRecordsetTest, APartlyReadStreamRunsOnASecondConnectionAndIsCutOff) {
  // A table the second connection sees, of this API's run alone: the runs
  // may go at the same time.
  const std::string big = "rs_big_" + GetParam().name;
  connection->ExecStatement("DROP TABLE IF EXISTS " + big);
  connection->ExecStatement("CREATE TABLE " + big + " (n INT)");
  connection->ExecStatement("INSERT INTO " + big + " SELECT seq FROM seq_1_to_5000");
  const std::string user_thread = Value("SELECT CONNECTION_ID()");
  Make("SELECT n FROM " + big, 10);
  rs->SetProp(prMyCreateConnection, true);
  rs->Open();
  EXPECT_TRUE(rs->HasSwapConnection());
  EXPECT_EQ(rs->GetRecordCount(), 10);
  // The user's connection is free meanwhile.
  EXPECT_EQ(Value("SELECT 13"), "13");
  TMySQLConnection& second = *rs->Command().GetMySQLConnection();
  ASSERT_NE(&second, connection.get());
  const std::string streaming = std::to_string(second.GetAPI().mysql_thread_id(second.GetHandle()));
  const std::string kills = "SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE VARIABLE_NAME = 'COM_KILL'";
  const int kills_before = std::stoi(Value(kills));
  rs->Close();
  EXPECT_GT(std::stoi(Value(kills)), kills_before);
  EXPECT_FALSE(rs->HasSwapConnection());
  EXPECT_EQ(Value("SELECT CONNECTION_ID()"), user_thread);
  // The killed session takes a moment to leave the list.
  const std::string gone = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = '" + streaming + "'";
  EXPECT_TRUE(plat::testing::Eventually([&] { return Value(gone) == "0"; }));
  // Read to its end, the stream gives its connection back without a kill.
  Make("SELECT n FROM " + big + " WHERE n <= 30", 10);
  rs->SetProp(prMyCreateConnection, true);
  rs->Open();
  EXPECT_EQ(Rows().size(), 30u);
  EXPECT_FALSE(rs->HasSwapConnection());
  rs->Close();
  connection->ExecStatement("DROP TABLE " + big);
}

TEST(MySQLEmptyResultSQL, SelectsLearnTheirColumnsWithoutRows) {
  const std::pair<std::string, std::string> cases[] = {
      {"SELECT a FROM t", "SELECT a FROM t LIMIT 0"},
      {"SELECT a FROM t LIMIT 10", "SELECT a FROM t LIMIT 0"},
      {"SELECT a FROM t LIMIT 5, 10", "SELECT a FROM t LIMIT 5, 0"},
      {"SELECT a FROM t FOR SYSTEM_TIME ALL", "SELECT a FROM t FOR SYSTEM_TIME ALL LIMIT 0"},
      {"SELECT a FROM t FOR UPDATE", "SELECT a FROM t LIMIT 0 FOR UPDATE"},
      {"SELECT a FROM t LOCK IN SHARE MODE", "SELECT a FROM t LIMIT 0 LOCK IN SHARE MODE"},
      {"SELECT a FROM t;", "SELECT a FROM t LIMIT 0 ;"},
      {"SELECT 'LIMIT 5' FROM t", "SELECT 'LIMIT 5' FROM t LIMIT 0"},
      {"SET @a = 1; SELECT @a", "SET @a = 1; SELECT @a"},
      {"SHOW TABLES", "SHOW TABLES"},
  };
  for (const auto& [sql, expected] : cases) EXPECT_EQ(EmptyResultSQL(sql), expected) << sql;
}

INSTANTIATE_TEST_SUITE_P(Api, MySQLRecordsetTest, ::testing::Values(testing::DirectApi(), testing::ClientApi(false)),
                         testing::ApiName);

}  // namespace
}  // namespace dac
