#include "dac/core/sql_component.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/core/macros.h"
#include "dac/framework/data/filer.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_types.h"
#include "platform/clock.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

using Texts = std::vector<std::string>;

class SQLComponentTest : public ::testing::Test {
 protected:
  ~SQLComponentTest() override {
    for (TComponent* component : owned_) component->Free();
  }
  template <typename T>
  T* Make() {
    owned_.insert(owned_.begin(), MakeComponent<T>(nullptr));
    return static_cast<T*>(owned_.front());
  }
  TCustomDASQL* NewSQL(const std::string& text) {
    auto* sql = Make<TCustomDASQL>();
    sql->SetConnection(connection);
    sql->SQL().SetText(text);
    return sql;
  }
  static FakeCommand& Command(const TCustomDASQL* sql) { return dynamic_cast<FakeCommand&>(*sql->GetICommand()); }
  static const FakeExecution& LastRun(const TCustomDASQL* sql) { return Command(sql).executions.back(); }

  std::vector<TComponent*> owned_;
  RecordingMonitor* monitor = Make<RecordingMonitor>();
  TestConnection* connection = Make<TestConnection>();
};

TEST_F(SQLComponentTest, ParseSQLTurnsReferencesIntoPlaceholders) {
  struct Case {
    const char* sql;
    bool with_params;
    const char* prefix;
    const char* result;
    const char* names;
  };
  const Case cases[] = {
      {"SELECT :a, :a FROM t WHERE b = :b", true, "", "SELECT ?, ? FROM t WHERE b = ?", "a a b"},
      {"SELECT ':a', \":b\" /* :c */ // :d\r\n, :e", true, "", "SELECT ':a', \":b\" /* :c */ // :d\r\n, ?", "e"},
      {"a::b, x := 1, y: z, :", true, "", "a::b, x := 1, y: z, :", ""},
      {"CALL p(:@p, :and, :1)", true, "", "CALL p(?, ?, ?)", "@p AND 1"},
      {"SET a = :a WHERE k = :k", false, "OLD_", "SET a = OLD_a WHERE k = OLD_k", ""},
      {"SET a = :a", false, "", "SET a = :a", ""},
  };
  auto* sql = Make<TCustomDASQL>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    TDAParams params;
    EXPECT_EQ(sql->ParseSQL(c.sql, c.with_params ? &params : nullptr, c.prefix), c.result);
    std::string names;
    for (int i = 0; i < params.Count(); ++i) {
      names += (i ? " " : "") + params.Items(i)->Name();
      EXPECT_EQ(params.Items(i)->ParamType(), ptUnknown);
    }
    EXPECT_EQ(names, c.names);
  }
}

TEST_F(SQLComponentTest, CommandReceivesTheFinalTextAndDescriptors) {
  auto* sql = NewSQL("UPDATE &tbl SET d = :d, b = :b, v = :v, s = :s\r\n WHERE id = :id \r\n\r\n");
  sql->MacroByName("tbl")->SetValue("items");
  sql->ParamByName("d")->SetAsDate(45000.75);
  sql->ParamByName("b")->SetDataType(ftBytes);
  sql->ParamByName("b")->SetAsVariant(Variant("xy"));
  sql->ParamByName("v")->SetDataType(ftVarBytes);
  sql->ParamByName("v")->SetAsVariant(Variant("z"));
  sql->ParamByName("s")->SetAsString("text");
  sql->ParamByName("id")->SetAsInteger(7);
  sql->ParamByName("id")->SetParamType(ptInput);
  sql->Execute();

  const FakeExecution& run = LastRun(sql);
  EXPECT_EQ(run.sql, "UPDATE items SET d = ?, b = ?, v = ?, s = ?\r\n WHERE id = ?");
  ASSERT_EQ(run.params.size(), 5u);
  const std::vector<uint16_t> types{dtDate, dtBytes, dtVarBytes, dtString, dtInteger};
  for (size_t i = 0; i < types.size(); ++i) EXPECT_EQ(run.params[i].data_type, types[i]) << i;
  EXPECT_EQ(run.params[0].name, "d");
  EXPECT_EQ(run.params[0].value.AsDouble(), 45000.0);
  EXPECT_EQ(run.params[1].value.AsBytes(), (TBytes{'x', 'y'}));
  EXPECT_EQ(run.params[2].value.AsBytes(), (TBytes{'z'}));
  EXPECT_EQ(run.params[3].value.AsString(), "text");
  EXPECT_EQ(run.params[4].direction, pdInput);
  EXPECT_EQ(run.params[4].value.AsInt32(), 7);
  EXPECT_EQ(monitor->calls, (Texts{"connect before", "connect after", "execute before", "execute after"}));

  // A new text keeps the values of the names that stay; surplus descriptors go.
  sql->SQL().SetText("DELETE FROM &tbl WHERE id = :id OR s = :s2");
  EXPECT_EQ(Command(sql).GetParamCount(), 2);
  sql->Execute();
  EXPECT_EQ(LastRun(sql).params[0].value.AsInt32(), 7);
  EXPECT_TRUE(LastRun(sql).params[1].is_null);

  // Without ParamCheck the text goes as it is, macros expanded, parameters kept.
  sql->SetParamCheck(false);
  sql->SQL().SetText("SELECT :x FROM &tbl");
  EXPECT_EQ(sql->FinalSQL(), "SELECT :x FROM items");
  EXPECT_EQ(sql->ParamCount(), 2);
}

TEST_F(SQLComponentTest, ParametersOfOneNameShareTheirValueAndBlob) {
  auto* sql = NewSQL("INSERT INTO t VALUES (:n, :data) ON DUPLICATE KEY UPDATE n = :n, data = :data");
  ASSERT_EQ(sql->ParamCount(), 4);
  sql->ParamByName("n")->SetAsInteger(3);
  sql->ParamByName("data")->SetAsBlob("payload");
  sql->Execute();
  const FakeExecution& run = LastRun(sql);
  EXPECT_EQ(run.params[2].value.AsInt32(), 3);
  for (size_t i : {1u, 3u}) {
    EXPECT_EQ(run.params[i].data_type, dtBlob);
    auto* blob = dynamic_cast<TBlob*>(run.params[i].value.AsObject());
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(blob->GetAsString(), "payload");
  }
}

TEST_F(SQLComponentTest, OutputValuesComeBackAfterTheRun) {
  auto* sql = NewSQL("CALL p(:in, :out)");
  sql->ParamByName("in")->SetParamType(ptInput);
  sql->ParamByName("in")->SetAsInteger(1);
  sql->ParamByName("out")->SetParamType(ptOutput);
  connection->server->Script("CALL p(?, ?)", FakeAnswer{4, {}, 0, "", {}});
  Command(sql).while_running = [&] {
    Command(sql).GetParam(0)->SetValue(100);
    Command(sql).GetParam(1)->SetValue("answer");
  };
  std::vector<bool> reports;
  sql->SetAfterExecute([&](TObject* sender, bool result) {
    EXPECT_EQ(sender, sql);
    reports.push_back(result);
  });
  sql->Execute();
  EXPECT_EQ(sql->ParamByName("in")->AsInteger(), 1);
  EXPECT_EQ(sql->ParamByName("out")->AsString(), "answer");
  EXPECT_EQ(sql->RowsAffected(), 4);
  EXPECT_EQ(reports, std::vector<bool>{true});
}

TEST_F(SQLComponentTest, ExecuteRunsOnceMoreOnlyForALostExecute) {
  auto* sql = NewSQL("UPDATE t SET a = 1");
  // While it runs, another Execute does nothing.
  Command(sql).while_running = [&] { sql->Execute(); };
  sql->Execute();
  EXPECT_EQ(Command(sql).executions.size(), 1u);

  connection->Options().SetLocalFailover(true);
  connection->SetOnConnectionLost([](TObject*, TComponent*, TConnLostCause, int32_t, TRetryMode& mode) {
    mode = rmReconnectExecute;
  });
  Command(sql).while_running = nullptr;
  connection->server->DropConnectionOn("UPDATE t SET a = 1");
  sql->Execute();
  EXPECT_EQ(Command(sql).executions.size(), 3u);
  EXPECT_EQ(connection->restores, 1);
  EXPECT_EQ(connection->ConnectCount(), 0);

  Command(sql).while_running = [] { throw EFailOver(clOpen); };
  EXPECT_THROW(sql->Execute(), EFailOver);
  EXPECT_EQ(Command(sql).executions.size(), 4u);
  EXPECT_EQ(connection->ConnectCount(), 0);
}

TEST_F(SQLComponentTest, DisconnectedModeClosesAfterEveryOutcome) {
  connection->Options().SetDisconnectedMode(true);
  auto* sql = NewSQL("UPDATE t SET d = :d");
  sql->SetAutoCommit(true);
  sql->ParamByName("d")->SetAsInteger(1);
  const auto closed = [&] { return connection->ConnectCount() == 0 && !connection->GetConnected(); };
  sql->Execute();
  EXPECT_TRUE(closed());

  connection->server->ScriptError("UPDATE t SET d = ?", 1062, "Duplicate entry");
  EXPECT_EQ(ErrorOf([&] { sql->Execute(); }), "Duplicate entry");
  EXPECT_TRUE(closed());

  // Fails while the parameters are written, before the command runs.
  sql->ParamByName("d")->SetDataType(ftDate);
  sql->ParamByName("d")->SetAsVariant(Variant("not a date"));
  EXPECT_NE(ErrorOf([&] { sql->Execute(); }), "no error");
  EXPECT_TRUE(closed());
  EXPECT_EQ(Command(sql).executions.size(), 2u);
}

TEST_F(SQLComponentTest, ImplicitTransactionOnlyWithoutAutoCommit) {
  connection->Options().SetDisconnectedMode(true);
  struct Case {
    bool connection_auto_commit, sql_auto_commit;
    const char* transaction;
  };
  for (const Case& c : {Case{true, true, ""}, Case{true, false, "DKImplicitTransaction"},
                        Case{false, true, "DKImplicitTransaction"}}) {
    SCOPED_TRACE(std::to_string(c.connection_auto_commit) + std::to_string(c.sql_auto_commit));
    connection->SetAutoCommit(c.connection_auto_commit);
    auto* sql = NewSQL("UPDATE t SET a = 1");
    sql->SetAutoCommit(c.sql_auto_commit);
    sql->Execute();
    EXPECT_EQ(connection->GetTransactionID(), c.transaction);
    EXPECT_EQ(connection->GetConnected(), *c.transaction != '\0');
    if (*c.transaction) connection->Commit();
    connection->StartTransaction();
    connection->Rollback();
    EXPECT_FALSE(connection->GetConnected());
  }
}

TEST_F(SQLComponentTest, WaitExecutingFromAnotherThread) {
  auto* sql = NewSQL("UPDATE t SET a = 1");
  bool timed_out_result = true;
  std::thread waiter;
  bool waited_result = false;
  Command(sql).while_running = [&] {
    std::thread([&] { timed_out_result = sql->WaitExecuting(1); }).join();
    waiter = std::thread([&] { waited_result = sql->WaitExecuting(0); });
  };
  sql->Execute();
  waiter.join();
  EXPECT_FALSE(timed_out_result);
  EXPECT_TRUE(waited_result);
  EXPECT_TRUE(sql->WaitExecuting(0));
}

TEST_F(SQLComponentTest, WaitExecutingTimesOutOnTheProcessClock) {
  // A manual clock moves only when the wait pauses on it: the limit passes
  // on that clock alone, however long the wait takes in real time.
  plat::ManualClock clock;
  plat::ScopedProcessClock scoped(clock);
  auto* sql = NewSQL("UPDATE t SET a = 1");
  bool result = true;
  uint64_t waited = 0;
  Command(sql).while_running = [&] {
    std::thread([&] {
      const uint64_t start = clock.TickCount64();
      result = sql->WaitExecuting(60);
      waited = clock.TickCount64() - start;
    }).join();
  };
  sql->Execute();
  EXPECT_FALSE(result);
  EXPECT_GE(waited, 60'000u);
  EXPECT_LT(waited, 61'000u);
  EXPECT_TRUE(sql->WaitExecuting(60));
}

TEST_F(SQLComponentTest, CommandThatDescribesItsParametersMakesThem) {
  auto* sql = NewSQL("");
  FakeCommand& command = Command(sql);
  command.describes_params = true;
  TParamDesc* desc = command.AddParam();
  desc->SetName("result");
  desc->SetDataType(dtInteger);
  desc->SetParamType(pdResult);
  sql->SQL().SetText("CALL p(:ignored)");
  ASSERT_EQ(sql->ParamCount(), 1);
  EXPECT_EQ(sql->Params().Items(0)->Name(), "result");
  EXPECT_EQ(sql->Params().Items(0)->DataType(), ftInteger);
  EXPECT_EQ(sql->Params().Items(0)->ParamType(), ptResult);
  EXPECT_EQ(command.GetSQL(), "CALL p(:ignored)");
}

TEST_F(SQLComponentTest, CopiesAndTheConnectionItMakes) {
  TComponent* made = connection->CreateSQL();
  owned_.insert(owned_.begin(), made);
  auto* sql = dynamic_cast<TCustomDASQL*>(made);
  ASSERT_NE(sql, nullptr);
  EXPECT_EQ(sql->GetConnection(), connection);
  sql->SQL().SetText("SELECT :a FROM &t");
  sql->ParamByName("a")->SetAsString("kept");
  sql->MacroByName("t")->SetValue("things");
  sql->SetDebug(true);
  sql->SetAutoCommit(true);

  auto* copy = Make<TCustomDASQL>();
  copy->Assign(sql);
  EXPECT_EQ(copy->GetConnection(), connection);
  EXPECT_EQ(copy->FinalSQL(), "SELECT ? FROM things");
  EXPECT_EQ(copy->ParamByName("a")->AsString(), "kept");
  EXPECT_TRUE(copy->GetDebug() && copy->GetAutoCommit());

  // Filed, the parameters and macros come back into a component of the same text.
  TMemoryStream stream;
  TWriter(stream).WriteProperties(*sql);
  stream.SetPosition(0);
  auto* loaded = Make<TCustomDASQL>();
  loaded->SQL().SetText("SELECT :a FROM &t");
  TReader(stream).ReadProperties(*loaded);
  EXPECT_EQ(loaded->FinalSQL(), "SELECT ? FROM things");
  EXPECT_EQ(loaded->ParamByName("a")->AsString(), "kept");
  // And into a component without the text: the macros do not take the
  // parameters with them when the text is reassembled.
  TMemoryStream whole;
  TWriter(whole).WriteComponent(*sql);
  whole.SetPosition(0);
  auto* bare = Make<TCustomDASQL>();
  TReader(whole).ReadComponent(*bare);
  ASSERT_EQ(bare->ParamCount(), 1);
  EXPECT_EQ(bare->ParamByName("a")->AsString(), "kept");
  EXPECT_EQ(bare->MacroByName("t")->Value(), "things");

  // Without a connection the text is kept; running it is refused.
  auto* lone = Make<TCustomDASQL>();
  lone->SetName("Lone");
  lone->SQL().SetText("SELECT :b");
  EXPECT_EQ(lone->FinalSQL(), "SELECT ?");
  EXPECT_EQ(ErrorOf([&] { lone->Execute(); }), "Lone: Connection is not defined");
}

}  // namespace
}  // namespace dac::test
