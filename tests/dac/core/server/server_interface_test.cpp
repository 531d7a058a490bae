#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "dac/core/pool/connection_pool.h"
#include "dac/core/server/da_errors.h"
#include "dac/core/server/messages.h"
#include "dac/framework/classes/component.h"
#include "dac/store/blob/blob.h"
#include "platform/clock.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/core/support/fake_pool.h"
#include "tests/dac/core/support/fake_provider.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

TEST(Messages, TableHoldsEveryMessageOnceWithItsExactText) {
  std::set<uint16_t> ids;
  for (const TMessageRow& row : DataAccessMessages()) {
    ids.insert(row.Identifier);
    EXPECT_TRUE((row.Identifier >= 65408 && row.Identifier <= 65410) ||
                (row.Identifier >= 65424 && row.Identifier <= 65487))
        << row.Name;
    EXPECT_EQ(LoadResString({row.Identifier}), row.Text) << row.Name;
  }
  EXPECT_EQ(DataAccessMessages().size(), 66u);
  EXPECT_EQ(ids.size(), 66u);
  EXPECT_FALSE(ids.contains(65472));

  EXPECT_EQ(LoadResString(SAttributeNotFount), "Attribute %s not found");
  EXPECT_EQ(LoadResString(sBlobNotCompressed), "Blob is not compressed");
  EXPECT_EQ(FormatMessage(SBHCaption, {"Kit", "1.0", "Server", "5.7", "Client", "5.1", "today", "host", "shop"}),
            "-- Kit version: 1.0\r\n-- Server server version: 5.7\r\n-- Client client version: 5.1\r\n"
            "-- Script date today\r\n-- " +
                std::string(70, '-') + " \r\n-- Server: host\r\n-- Database: shop\r\n\r\n");
  EXPECT_EQ(FormatMessage(SUpdateFailed, {3}), "Update failed. Found 3 records");
  EXPECT_EQ(FormatMessage(SInvalidLexem, {"@", 7, "SELECT @"}),
            "Invalid lexem \"@\" at position 7 in statement:\r\nSELECT @");
  EXPECT_EQ(FormatMessage(SUpdateWrongDB, {"Query1"}), "Cannot update, Query1 is not owned by %s");
  EXPECT_EQ(FormatText("100%% of %d", {-2}), "100% of -2");

  // Another layer joins the table: a text already there is shared, a clash is refused whole.
  const TMessageRow joining[] = {{65472, "SBHTableData", "-- \r\n-- Dumping data for table %s\r\n-- \r\n\r\n"}};
  AddMessages(joining);
  EXPECT_EQ(LoadResString({65472}), LoadResString(SBHTableData));
  const TMessageRow clashing[] = {{65000, "SNew", "New"}, {65473, "SUnknownDataType", "Other"}};
  EXPECT_EQ(AssertionTextOf([&] { AddMessages(clashing); }), "Message 65473 already holds another text");
  EXPECT_EQ(LoadResString({65000}), "");

  EDAError error(1045, "Access denied");
  EXPECT_EQ(error.ErrorCode(), 1045);
  EXPECT_EQ(error.Component(), nullptr);
  EXPECT_NE(dynamic_cast<EDatabaseError*>(&error), nullptr);
}

TEST(ParamDescs, ValueRulesAndLookup) {
  struct Case {
    const char* name;
    Variant value;
    bool is_null;
  };
  for (const Case& c : {Case{"Null", Variant::Null(), true}, Case{"Empty", Variant(), true},
                        Case{"0", Variant(0), false}, Case{"empty text", Variant(""), false}}) {
    TParamDesc param;
    param.SetValue(c.value);
    EXPECT_EQ(param.GetNull(), c.is_null) << c.name;
    if (c.is_null) {
      EXPECT_EQ(param.GetObject(), nullptr) << c.name;
    }
  }
  TParamDesc param;
  param.SetNull(true);
  EXPECT_TRUE(param.GetValue().IsNull());
  SharedRef<TBlob> blob = SharedRef<TBlob>::Adopt(new TBlob(false));
  param.SetObject(blob.get());
  EXPECT_TRUE(param.GetNull()) << "SetObject leaves the null flag";
  EXPECT_EQ(param.GetObject(), blob.get());
  param.SetValue(5);
  EXPECT_EQ(AssertionTextOf([&] { param.GetObject(); }), "Parameter value is not an object");

  FakeCommand command;
  command.AddParam()->SetName("id");
  command.AddParam()->SetName("Name");
  EXPECT_EQ(command.FindParam("ID"), command.GetParam(0));
  EXPECT_EQ(command.Params().ParamByName("NAME"), command.GetParam(1));
  EXPECT_EQ(AssertionTextOf([&] { command.Params().ParamByName("code"); }), "Parameter code not found");
  command.DeleteParam(0);
  EXPECT_EQ(command.GetParamCount(), 1);
  EXPECT_EQ(ErrorOf([&] { command.GetParam(1); }), "List index out of bounds (1)");
}

TEST(ServerInterface, PropertyCodesOfTheBaseClasses) {
  FakeConnection connection;
  connection.SetUsername("ann");
  FakeCommand command;
  Variant value;
  EXPECT_TRUE(connection.SetProp(prAutoCommit, true));
  EXPECT_TRUE(connection.SetProp(prConvertEOL, true));
  EXPECT_TRUE(connection.SetProp(prDisconnectedMode, true));
  EXPECT_TRUE(connection.GetAutoCommit() && connection.GetConvertEOL() && connection.GetDisconnectedMode());
  EXPECT_TRUE(connection.GetProp(prUsername, value));
  EXPECT_EQ(value.AsString(), "ann");
  EXPECT_EQ(AssertionTextOf([&] { connection.SetProp(prUsername, "x"); }), "1");
  EXPECT_EQ(AssertionTextOf([&] { connection.GetProp(prAutoCommit, value); }), "5");
  EXPECT_EQ(connection.props_set.size(), 4u);

  EXPECT_TRUE(command.SetProp(prAutoCommit, true));
  EXPECT_TRUE(command.GetAutoCommit());
  EXPECT_TRUE(command.SetProp(prSQLChanging, true));
  EXPECT_TRUE(command.GetProp(prParamCheck, value));
  EXPECT_FALSE(value.AsBoolean());
  EXPECT_TRUE(command.GetProp(prRowsProcessed, value));
  EXPECT_EQ(value.AsInt32(), 0) << "before the first execution";
  EXPECT_EQ(AssertionTextOf([&] { command.SetProp(prRowsProcessed, 1); }), "13");
  EXPECT_EQ(AssertionTextOf([&] { command.GetProp(1000, value); }), "1000");
}

TEST(ServerInterface, FakeCommandRecordsExecutionsAndFailsLikeAProvider) {
  FakeConnection connection;
  connection.Connect("");
  FakeAnswer four_rows;
  four_rows.rows_affected = 4;
  connection.Server().Script("UPDATE t SET a = ?", four_rows);
  connection.Server().ScriptError("BAD", 1064, "Syntax error");
  FakeCommand command;
  TComponent* owner = MakeComponent<TComponent>(nullptr);
  command.SetComponent(owner);
  command.SetConnection(&connection);
  std::vector<bool> results;
  command.SetAfterExecute([&](bool ok) { results.push_back(ok); });
  bool executing = false;
  command.while_running = [&] {
    Variant v;
    command.GetProp(prExecuting, v);
    executing = v.AsBoolean();
  };
  TParamDesc* param = command.AddParam();
  param->SetName("a");
  param->SetValue(7);

  command.SetSQL("UPDATE t SET a = ?");
  command.Prepare();
  command.Execute(3);
  Variant rows;
  command.GetProp(prRowsProcessed, rows);
  EXPECT_EQ(rows.AsInt32(), 4);
  EXPECT_TRUE(executing);
  EXPECT_FALSE(command.GetExecuting());
  ASSERT_EQ(command.executions.size(), 1u);
  EXPECT_EQ(command.executions[0].iters, 3);
  EXPECT_EQ(command.executions[0].params[0].value.AsInt32(), 7);

  command.SetSQL("BAD");
  command.SetCursorState(csPrepared);
  try {
    command.Execute(1);
    FAIL() << "no error";
  } catch (const EDAError& e) {
    EXPECT_EQ(e.Component(), owner);
  }
  EXPECT_EQ(command.GetCursorState(), csPrepared);
  EXPECT_EQ(results, (std::vector<bool>{true, false}));
  command.SetCursorState(csFetching);
  command.Execute(1);
  EXPECT_EQ(command.executions.size(), 2u) << "nothing runs from a fetching cursor";
  owner->Free();
}

TEST(ServerInterface, ConnectTimeAndPooling) {
  plat::ManualClock clock;
  clock.SetTickCount64(5'000'000'000);
  plat::ScopedProcessClock scoped(clock);
  auto server = std::make_shared<FakeServer>();
  TDKConnectionParameters parameters;
  parameters.Username = "Ann";
  parameters.MaxPoolSize = 2;
  auto pool = std::make_shared<FakePool>(parameters, server);
  EXPECT_NE(&pool->ConnectionParameters(), &parameters);
  EXPECT_TRUE(pool->ConnectionParameters().Equals(&parameters));
  TDKConnectionParameters other = parameters;
  // The server tells user names apart by case: so do pools.
  other.Username = "ANN";
  EXPECT_FALSE(other.Equals(&parameters));
  other.Username = "Ann";
  EXPECT_TRUE(other.Equals(&parameters));
  other.Password = "x";
  EXPECT_FALSE(other.Equals(&parameters));
  EXPECT_FALSE(parameters.Equals(nullptr));

  TDKConnection* connection = pool->GetConnection();
  EXPECT_EQ(connection->GetConnectTime(), 5'000'000'000u);
  EXPECT_EQ(connection->GetUsername(), "Ann");
  connection->SetOnError([](Exception&, bool&, bool&, bool&, int32_t, TConnLostCause&) {});
  std::weak_ptr<FakePool> watch = pool;
  FakePool* raw = pool.get();
  pool.reset();  // the connection out keeps its pool
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(raw->GetTotalConnectionsCount(), 1);
  connection->ReturnToPool();
  EXPECT_TRUE(watch.expired()) << "the last connection back let the pool go, and the pool its idle connection";

  FakeConnection loose;
  EXPECT_EQ(AssertionTextOf([&] { loose.ReturnToPool(); }), "Connection has no pool");
  EXPECT_EQ(ErrorOf([&] { loose.TDKConnection::Enlist(nullptr); }), "MS DTC transactions not supported");
  loose.SetIsValid(false);
  loose.SetConnected(true);
  EXPECT_TRUE(loose.GetIsValid());
  loose.SetConnected(false);
  EXPECT_EQ(loose.calls.disconnect, 1);
}

}  // namespace
}  // namespace dac::test
