// The MySQL SQL component and the MySQL SQL monitor: placeholder positions,
// texts without parameter processing, insert ids and the final texts the
// monitor sees, against the private test server where a server is needed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/mysql/components/my_command_component.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/components/my_sql_monitor.h"
#include "dac/mysql/provider/my_command.h"
#include "dac/mysql/provider/my_error.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "tests/dac/mysql/client/api_test_support.h"

namespace dac {
namespace {

class MyCommandComponentTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) (*it)->Free();
  }
  template <typename T>
  T* Own(T* component) {
    owned_.push_back(component);
    return component;
  }
  TMyCommand* Command(const std::string& sql, TCustomMyConnection* connection = nullptr) {
    auto* command = Own(MakeComponent<TMyCommand>(nullptr));
    if (connection) command->SetConnection(connection);
    command->SQL().SetText(sql);
    return command;
  }
  TMyConnection* Connection(const testing::ServerSettings& s) {
    auto* c = Own(MakeComponent<TMyConnection>(nullptr));
    c->SetLoginPrompt(false);
    c->SetServer(s.host);
    c->SetPort(s.port);
    c->SetUsername(s.user);
    c->SetPassword(s.password);
    c->SetDatabase(s.database);
    c->Connect();
    c->ExecSQL("CREATE TEMPORARY TABLE cmd_t (id INT AUTO_INCREMENT PRIMARY KEY, a INT, b VARCHAR(20))", {});
    return c;
  }
  static std::string Value(TMyConnection& c, const std::string& sql) {
    const testing::Rows rows = testing::ApiQuery(c.IConnection()->GetAPI(), c.IConnection()->GetHandle(), sql);
    return rows.size() == 1 && !rows[0].empty() && rows[0][0] ? *rows[0][0] : "<none>";
  }

 private:
  std::vector<TComponent*> owned_;
};

TEST_F(MyCommandComponentTest, ParametersBecomePlaceholdersWithTheirPositions) {
  struct Case {
    std::string sql;
    bool param_check;
    std::string final_sql;
    std::vector<int32_t> positions;
    int params;
  };
  const std::vector<Case> cases = {
      {"UPDATE t SET a = :a WHERE id = :id", true, "UPDATE t SET a = ? WHERE id = ?", {18, 31}, 2},
      {"SELECT 1 FROM t", true, "SELECT 1 FROM t", {}, 0},
      {"SELECT ':a', `:b` FROM t WHERE c = :c -- :d", true, "SELECT ':a', `:b` FROM t WHERE c = ? -- :d", {36}, 1},
      {"UPDATE t SET a = :a", false, "UPDATE t SET a = :a", {}, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.sql);
    TMyCommand* command = Own(MakeComponent<TMyCommand>(nullptr));
    command->SetParamCheck(k.param_check);
    command->SQL().SetText(k.sql);
    ASSERT_NE(command->GetMySQLCommand(), nullptr);
    EXPECT_EQ(command->FinalSQL(), k.final_sql);
    EXPECT_EQ(command->GetMySQLCommand()->ParamPositions(), k.positions);
    EXPECT_EQ(command->ParamCount(), k.params);
  }
  TMyCommand* command = Command("SELECT :a");
  EXPECT_TRUE(command->GetAutoCommit());
  command->SetCommandTimeout(9);
  EXPECT_EQ(command->GetMySQLCommand()->GetCommandTimeout(), 9);
}

TEST_F(MyCommandComponentTest, ExecuteKeepsTheInsertIdOfTheLastSuccessfulRun) {
  REQUIRE_TEST_SERVER(s);
  TMyConnection* c = Connection(s);
  TMyCommand* insert = Command("INSERT INTO cmd_t (a, b) VALUES (:a, :b)", c);
  for (int32_t a : {1, 2}) {
    insert->ParamByName("a")->SetAsInteger(a);
    insert->ParamByName("b")->SetAsString("it's " + std::to_string(a));
    insert->Execute();
    EXPECT_EQ(insert->GetInsertId(), a);
    EXPECT_EQ(insert->RowsAffected(), 1);
  }
  TMyCommand* failing = Command("INSERT INTO cmd_t (id, a) VALUES (:id, 0)", c);
  failing->ParamByName("id")->SetAsInteger(40);
  failing->Execute();
  EXPECT_EQ(failing->GetInsertId(), 40);
  EXPECT_THROW(failing->Execute(), EMyError);
  EXPECT_EQ(failing->GetInsertId(), 40);

  // Prepared on the server, the same statement runs again.
  insert->Prepare();
  EXPECT_TRUE(insert->GetPrepared());
  insert->ParamByName("a")->SetAsInteger(3);
  insert->Execute();
  EXPECT_EQ(insert->GetInsertId(), 41);
  insert->UnPrepare();
  EXPECT_EQ(Value(*c, "SELECT GROUP_CONCAT(CONCAT(a, '/', b) ORDER BY id) FROM cmd_t WHERE b IS NOT NULL"),
            "1/it's 1,2/it's 2,3/it's 2");
  EXPECT_EQ(c->ConnectCount(), 1);
}

TEST_F(MyCommandComponentTest, TheMonitorSeesTheFinalTextOfEachTracedRun) {
  REQUIRE_TEST_SERVER(s);
  TMyConnection* c = Connection(s);
  auto* monitor = MakeComponent<TCustomMySQLMonitor>(nullptr);
  ASSERT_EQ(TCustomMySQLMonitor::ClassInfo().ClassName(), "TCustomMySQLMonitor");
  const TDASQLMonitorClass& monitor_class = SQLMonitorClassOf<TCustomMySQLMonitor>();
  EXPECT_EQ(monitor_class.GetMonitor(), monitor);
  EXPECT_EQ(monitor_class.GetCaption(), "Halvex");
  std::vector<std::pair<TObject*, std::string>> native;
  monitor->SetOnSQL([&](TObject* sender, const std::string& text, TDATraceFlag flag) {
    if (flag == tfMisc) native.emplace_back(sender, text);
  });

  TMyCommand* insert = Command("INSERT INTO cmd_t (a, b) VALUES (:a, :b)", c);
  insert->ParamByName("a")->SetAsInteger(5);
  insert->ParamByName("b")->SetAsString("it's");
  insert->Execute();
  ASSERT_EQ(native.size(), 1u);
  EXPECT_EQ(native[0].first, insert);
  EXPECT_EQ(native[0].second, "INSERT INTO cmd_t (a, b) VALUES (5, 'it''s')");

  monitor->SetTraceFlags(monitor->GetTraceFlags() - TDATraceFlags{tfQExecute});
  insert->Execute();
  EXPECT_EQ(native.size(), 1u);

  // The first monitor is the class's monitor; once it goes there is none.
  auto* second = MakeComponent<TCustomMySQLMonitor>(nullptr);
  EXPECT_EQ(monitor_class.GetMonitor(), monitor);
  monitor->SetTraceFlags(TCustomDASQLMonitor::kDefaultTraceFlags);
  insert->Execute();
  EXPECT_EQ(native.size(), 2u);
  monitor->Free();
  EXPECT_EQ(monitor_class.GetMonitor(), nullptr);
  insert->Execute();
  EXPECT_EQ(native.size(), 2u);
  second->Free();
}

}  // namespace
}  // namespace dac
