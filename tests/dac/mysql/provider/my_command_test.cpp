// TMySQLCommand against the test server, through the built-in protocol and
// the client library: parameters written as literals or bound to a
// prepared statement, rows affected, insert ids, results read away, errors
// and a statement broken off from another thread.
#include "dac/mysql/provider/my_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "dac/framework/classes/database_error.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/store/record/data_types.h"
#include "tests/dac/mysql/my_provider_test_support.h"
#include "tests/support/eventually.h"

namespace dac {
namespace {


class MySQLCommandTest : public testing::ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    if (IsSkipped()) return;
    command.SetConnection(connection.get());
    Run("CREATE TEMPORARY TABLE cmd_t (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40), note TEXT)");
  }

  void Run(const std::string& sql) {
    command.SetSQL(sql);
    command.Execute(1);
  }
  void AddParam(const std::string& name, uint16_t type, const Variant& value, bool is_null = false,
                TParamDirection direction = pdInput) {
    TParamDesc* param = command.AddParam();
    param->SetName(name);
    param->SetDataType(type);
    param->SetParamType(direction);
    param->SetValue(value);
    if (is_null) param->SetNull(true);
  }
  int32_t RowsAffected() {
    Variant rows;
    command.GetProp(prRowsProcessed, rows);
    return rows.AsInt32();
  }
  uint64_t InsertId() {
    Variant id;
    connection->GetProp(prMyLastInsertId, id);
    return id.AsUInt64();
  }

  TMySQLCommand command;
};

TEST_P(MySQLCommandTest, WritesParametersAsLiteralsAtThePlaceholders) {
  struct Case {
    std::string sql;
    std::string expected;
  };
  // A "?" inside a string, a quoted name or a comment is no placeholder.
  const Case cases[] = {
      {"INSERT INTO cmd_t (name, note) VALUES (?, ?)", "it's; DROP|a?b"},
      {"INSERT INTO cmd_t (name, note) VALUES (? /* ? */, CONCAT('?', ?))", "it's; DROP|?a?b"},
      {"INSERT INTO cmd_t (`na?me`, note) SELECT ?, ? FROM DUAL WHERE '?' = \"?\" -- ?", "it's; DROP|a?b"},
  };
  Run("ALTER TABLE cmd_t ADD COLUMN `na?me` VARCHAR(40)");
  for (const Case& c : cases) {
    command.ClearParams();
    AddParam("name", dtString, Variant("it's; DROP"));
    AddParam("note", dtString, Variant("a?b"));
    Run("DELETE FROM cmd_t");
    command.SetSQL(c.sql);
    command.Execute(1);
    const std::string row = Value("SELECT CONCAT(COALESCE(name, `na?me`), '|', note) FROM cmd_t");
    EXPECT_EQ(row, c.expected) << c.sql;
    EXPECT_EQ(RowsAffected(), 1) << c.sql;
  }
  // Parameters but no placeholder: the text goes as it is.
  Run("DELETE FROM cmd_t WHERE note = 'none?'");
  EXPECT_EQ(RowsAffected(), 0);
}

TEST_P(MySQLCommandTest, NullsResultsSkippedAndPositionsGivenByTheOwner) {
  AddParam("r", dtInteger, Variant(0), false, pdResult);
  AddParam("name", dtString, Variant(), true);
  AddParam("note", dtString, Variant("n"));
  Run("INSERT INTO cmd_t (name, note) VALUES (?, ?)");
  EXPECT_EQ(Value("SELECT CONCAT(ISNULL(name), note) FROM cmd_t"), "1n");

  command.ClearParams();
  AddParam("a", dtInteger, Variant(7));
  AddParam("b", dtString, Variant("x"));
  command.SetSQL("UPDATE cmd_t SET id = ?, note = ?");
  const std::string& sql = command.GetSQL();
  command.SetProp(prMyParamPosition, static_cast<int32_t>(sql.find('?') + 1));
  command.SetProp(prMyParamPosition, static_cast<int32_t>(sql.rfind('?') + 1));
  command.Execute(1);
  EXPECT_EQ(Value("SELECT CONCAT(id, note) FROM cmd_t"), "7x");
  // A position beyond the text is refused before anything is sent.
  command.SetSQL("UPDATE cmd_t SET id = ?");
  command.SetProp(prMyParamPosition, 1000);
  command.SetProp(prMyParamPosition, 1001);
  EXPECT_THROW(command.Execute(1), EDatabaseError);
  EXPECT_EQ(command.GetCursorState(), csInactive);
}

TEST_P(MySQLCommandTest, RowsAffectedAndInsertIdsOfTextAndPreparedExecution) {
  EXPECT_EQ(RowsAffected(), 0);
  for (bool prepared : {false, true}) {
    command.ClearParams();
    AddParam("name", dtString, Variant(prepared ? "p" : "t"));
    command.SetSQL("INSERT INTO cmd_t (name) VALUES (?), (?)");
    AddParam("name2", dtString, Variant("second"));
    if (prepared) command.Prepare();
    EXPECT_EQ(command.GetPrepared(), prepared);
    command.Execute(1);
    EXPECT_EQ(RowsAffected(), 2);
    EXPECT_EQ(command.GetCursorState(), prepared ? csPrepared : csInactive);
    EXPECT_EQ(InsertId(), std::stoull(Value("SELECT MIN(id) FROM cmd_t WHERE name = '" +
                                            std::string(prepared ? "p" : "t") + "'")));
    command.Unprepare();
  }
  command.ClearParams();
  Run("UPDATE cmd_t SET note = 'x' WHERE name = 'second'");
  EXPECT_EQ(RowsAffected(), 2);
  // Rows found, not changed, count: the connection asks for that.
  Run("UPDATE cmd_t SET note = 'x' WHERE name = 'second'");
  EXPECT_EQ(RowsAffected(), 2);
}

TEST_P(MySQLCommandTest, ResultsNobodyWantsAreReadAway) {
  Run("SELECT 1; SELECT 2");
  // Read away: the next execution runs.
  EXPECT_EQ(command.GetCursorState(), csInactive);
  Run("INSERT INTO cmd_t (name) VALUES ('a'), ('b')");
  EXPECT_EQ(RowsAffected(), 2);
  Run("SELECT * FROM cmd_t; SELECT 1; UPDATE cmd_t SET note = 'n'; SELECT 2");
  // The connection takes the next statement at once.
  EXPECT_EQ(Value("SELECT COUNT(*) FROM cmd_t WHERE note = 'n'"), "2");
  command.SetSQL("SELECT * FROM cmd_t");
  command.Prepare();
  command.Execute(1);
  EXPECT_EQ(command.GetCursorState(), csPrepared);
  EXPECT_EQ(Value("SELECT 3"), "3");
}

TEST_P(MySQLCommandTest, ServerErrorsAreRaisedWithTheirCodeAndText) {
  const std::string missing = testing::MyErrorOf([&] { Run("SELECT * FROM no_such_table"); });
  EXPECT_EQ(missing.substr(0, 6), "1146: ");
  EXPECT_TRUE(missing.ends_with("Table '" + settings.database + ".no_such_table' doesn't exist")) << missing;
  EXPECT_EQ(command.GetCursorState(), csInactive);
  command.SetSQL("SELEC 1");
  EXPECT_EQ(testing::MyErrorOf([&] { command.Prepare(); }).substr(0, 6), "1064: ");
  EXPECT_FALSE(command.GetPrepared());
  EXPECT_EQ(command.GetStmt(), nullptr);
  // An error after the first result of a batch.
  EXPECT_EQ(testing::MyErrorOf([&] { Run("SELECT 1; SELECT * FROM no_such_table"); }).substr(0, 6), "1146: ");
  EXPECT_EQ(Value("SELECT 4"), "4");
  bool after = true;
  command.SetAfterExecute([&](bool ok) { after = ok; });
  EXPECT_THROW(Run("DROP TABLE no_such_table"), EMyError);
  EXPECT_FALSE(after);
  Run("SELECT 5");
  EXPECT_TRUE(after);
}

TEST_P(MySQLCommandTest, BreakExecKillsTheRunningStatement) {
  // Nothing runs: no second connection is even tried.
  TMySQLConnection nowhere;
  TMySQLCommand idle;
  idle.SetConnection(&nowhere);
  idle.BreakExec();
  // A closed connection is refused, not handed to the API.
  idle.SetSQL("SELECT 1");
  EXPECT_THROW(idle.Execute(1), EDatabaseError);
  EXPECT_THROW(idle.Prepare(), EDatabaseError);

  // Broken off once the server runs it, as a second session sees.
  const std::string runs = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " +
                           Value("SELECT CONNECTION_ID()") + " AND INFO LIKE 'SELECT SLEEP%'";
  auto watcher = testing::OpenConnection(testing::DirectApi(), settings);
  command.SetSQL("SELECT SLEEP(120)");
  std::thread breaker([&] {
    EXPECT_TRUE(plat::testing::Eventually([&] {
      return testing::ApiQuery(watcher->GetAPI(), watcher->GetHandle(), runs) == testing::Rows{testing::Row{"1"}};
    }));
    command.BreakExec();
  });
  const auto start = std::chrono::steady_clock::now();
  // SLEEP answers 1 when killed, or the session is gone: either way Execute
  // ends long before its two minutes, silently.
  try {
    command.Execute(1);
  } catch (const EAbort&) {
  }
  breaker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_FALSE(command.GetExecuting());
}

INSTANTIATE_TEST_SUITE_P(Api, MySQLCommandTest, ::testing::Values(testing::DirectApi(), testing::ClientApi(false)),
                         testing::ApiName);

}  // namespace
}  // namespace dac
