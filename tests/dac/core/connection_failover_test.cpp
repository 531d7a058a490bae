#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "dac/core/connection_component.h"
#include "dac/core/server/da_errors.h"
#include "tests/dac/core/support/test_clients.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/framework/error_text.h"
#include "tests/support/recording_clock.h"

namespace dac::test {
namespace {

// A connection with a dataset working on it and what became of one lost
// connection.
struct Scene {
  Scene() {
    data_set->SetConnection(connection);
    other->SetConnection(connection);
    sql->SetConnection(connection);
    connection->SetOnError([this](TObject*, EDAError&, bool&) { ++errors; });
  }
  ~Scene() {
    for (TComponent* component : std::vector<TComponent*>{data_set, other, sql, connection}) component->Free();
  }
  // Counts reconnects from now on.
  void Watch() { connection->SetAfterConnect([this](TObject*) { ++reconnects; }); }
  // Whether the work raised.
  bool Raised(TConnLostCause cause) {
    try {
      data_set->Work(cause, "SELECT 1");
    } catch (const EDAError&) {
      return true;
    }
    return false;
  }

  TestConnection* connection = MakeComponent<TestConnection>(nullptr);
  TestDataSet* data_set = MakeComponent<TestDataSet>(nullptr);
  TestDataSet* other = MakeComponent<TestDataSet>(nullptr);
  TestSQL* sql = MakeComponent<TestSQL>(nullptr);
  int errors = 0;
  int reconnects = 0;
};

TEST(Failover, DecisionTable) {
  enum Other { kNone, kPreparedDataSet, kUnfinishedDataSet, kUnfinishedSelf, kPreparedSQL };
  struct Row {
    const char* name;
    bool local_failover;
    TConnLostCause cause;  // clConnect: the connect of a disconnected-mode connection fails
    bool transaction;
    Other other;
    std::optional<TRetryMode> handler;
    int reconnects;
    int reruns;
    bool raised;
    int errors;
    bool connected;
  };
  const Row rows[] = {
      {"no failover reconnects silently", false, clExecute, false, kNone, {}, 1, 0, true, 1, true},
      {"no failover in a transaction", false, clExecute, true, kNone, {}, 0, 0, true, 1, false},
      {"execute raises", true, clExecute, false, kNone, {}, 0, 0, true, 1, false},
      {"open runs again", true, clOpen, false, kNone, {}, 1, 1, false, 0, true},
      {"refresh runs again", true, clRefresh, false, kNone, {}, 1, 1, false, 0, true},
      {"open in a transaction", true, clOpen, true, kNone, {}, 0, 0, true, 1, false},
      {"connection apply in a transaction", true, clConnectionApply, true, kNone, {}, 1, 1, false, 0, true},
      {"prepared dataset", true, clOpen, false, kPreparedDataSet, {}, 0, 0, true, 1, false},
      {"unfinished fetch elsewhere", true, clOpen, false, kUnfinishedDataSet, {}, 0, 0, true, 1, false},
      {"own refresh of an unfinished fetch", true, clRefresh, false, kUnfinishedSelf, {}, 1, 1, false, 0, true},
      {"idle prepared SQL", true, clOpen, false, kPreparedSQL, {}, 0, 0, true, 1, false},
      {"lost connect", true, clConnect, false, kNone, {}, 1, 0, false, 0, false},
      {"handler reconnects only", true, clOpen, false, kNone, rmReconnect, 1, 0, true, 0, true},
      {"handler raises", true, clOpen, false, kNone, rmRaise, 0, 0, true, 1, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Scene scene;
    TestConnection& connection = *scene.connection;
    connection.Options().SetLocalFailover(row.local_failover);
    if (row.handler) {
      connection.SetOnConnectionLost([&](TObject*, TComponent* component, TConnLostCause, int32_t, TRetryMode& mode) {
        EXPECT_EQ(component, scene.data_set);
        mode = *row.handler;
      });
    }
    TConnLostCause cause = row.cause;
    if (cause == clConnect) {
      connection.Options().SetDisconnectedMode(true);
      connection.fatal_codes.insert(FakeServer::kCannotConnect);
      scene.data_set->Work(clOpen, "SELECT 1");
      connection.server->FailConnects(1);
      cause = clOpen;
    } else {
      connection.Connect();
      connection.server->DropConnectionOn("SELECT 1");
    }
    if (row.transaction) connection.StartTransaction();
    scene.other->prepared = row.other == kPreparedDataSet;
    scene.sql->prepared = row.other == kPreparedSQL;
    TestDataSet* unfinished = row.other == kUnfinishedSelf ? scene.data_set : scene.other;
    if (row.other == kUnfinishedDataSet || row.other == kUnfinishedSelf) {
      unfinished->active = true;
      unfinished->fetch_all = unfinished->fetched = false;
    }
    scene.Watch();

    EXPECT_EQ(scene.Raised(cause), row.raised);
    EXPECT_EQ(scene.reconnects, row.reconnects);
    EXPECT_EQ(scene.data_set->reruns, row.reruns);
    EXPECT_EQ(connection.restores, row.reruns);
    EXPECT_EQ(scene.errors, row.errors);
    EXPECT_EQ(connection.GetConnected(), row.connected);
    EXPECT_EQ(connection.resets, 1);
    EXPECT_FALSE(connection.GetInTransaction());
    const std::vector<std::string>& sent = connection.server->Statements();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "COMMIT"), 0);
  }
}

TEST(Failover, AServerThatStaysDownEndsTheRetriesWhateverTheHandlerAnswers) {
  Scene scene;
  TestConnection& connection = *scene.connection;
  plat::testing::RecordingClock clock;
  connection.Options().SetLocalFailover(true);
  // No handler; a handler that always asks for more; one that gives up at
  // its second call.
  struct Case {
    const char* name;
    bool handler;
    std::optional<int32_t> raise_at;
    std::vector<int32_t> asked;
  };
  const Case cases[] = {{"no handler", false, {}, {}},
                        {"handler that never gives up", true, {}, {0, 1, 2}},
                        {"handler that gives up", true, 1, {0, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clock.Clear();
    scene.errors = 0;
    std::vector<int32_t> asked;
    connection.SetOnConnectionLost(nullptr);
    if (c.handler) {
      connection.SetOnConnectionLost(
          [&](TObject*, TComponent*, TConnLostCause cause, int32_t attempt, TRetryMode& mode) {
            EXPECT_EQ(cause, clOpen);
            EXPECT_EQ(attempt, connection.ReconnectAttempt());
            asked.push_back(attempt);
            mode = c.raise_at && attempt == *c.raise_at ? rmRaise : rmReconnectExecute;
          });
    }
    connection.server->SetUp(true);
    connection.Connect();
    const int connects = connection.Fake()->calls.connect;
    connection.server->SetUp(false);
    EXPECT_TRUE(scene.Raised(clOpen));
    EXPECT_EQ(asked, c.asked);
    const int32_t tries = c.raise_at ? *c.raise_at : TCustomDAConnection::kMaxReconnectAttempts;
    // The tries to restore the lost connection, with a pause before every
    // try but the first.
    EXPECT_EQ(connection.Fake()->calls.connect - connects, tries);
    EXPECT_EQ(clock.Sleeps(),
              std::vector<uint32_t>(static_cast<size_t>(tries - 1), TCustomDAConnection::kReconnectPauseMs));
    EXPECT_EQ(scene.errors, 1);
    EXPECT_FALSE(connection.GetConnected());
  }
}

TEST(Failover, TheHighestOperationDecides) {
  Scene scene;
  TestConnection& connection = *scene.connection;
  EXPECT_EQ(connection.PushOperation(clApply), 0);
  EXPECT_EQ(connection.DetectConnLostCause(nullptr), clUnknown) << "no stack without LocalFailover";
  connection.PopOperation();
  connection.Options().SetLocalFailover(true);
  struct Case {
    std::vector<std::pair<TConnLostCause, bool>> stack;  // operation, may fail over
    bool query;
    TConnLostCause cause;
    int32_t users_added;
  };
  for (const Case& c : {Case{{{clExecute, true}, {clApply, true}}, false, clApply, 0},
                        Case{{{clOpen, true}, {clExecute, false}}, false, clOpen, 2},
                        Case{{{clExecute, true}, {clOpen, false}}, false, clUnknown, 2},
                        Case{{{clExecute, true}}, true, clExecute, 0},
                        Case{{{clExecute, true}, {clConnect, true}}, false, clUnknown, 0}}) {
    scene.data_set->is_query = c.query;
    for (const auto& [operation, allow] : c.stack) connection.PushOperation(operation, allow);
    const int32_t users = connection.ConnectCount();
    EXPECT_EQ(connection.DetectConnLostCause(scene.data_set), c.cause);
    EXPECT_EQ(connection.ConnectCount() - users, c.users_added);
    for (size_t i = 0; i < c.stack.size(); ++i) connection.PopOperation();
  }
}

TEST(Failover, ClosingTellsAFailingClientOnceMoreAndStillCloses) {
  Scene scene;
  TestConnection& connection = *scene.connection;
  connection.Connect();
  scene.sql->on_connect_change = [](bool connecting) {
    if (!connecting) throw EDAError(FakeServer::kLostConnection, "Lost connection to the server");
  };
  connection.Disconnect();
  EXPECT_EQ(scene.sql->connect_events, (std::vector<bool>{true, false, false}));
  EXPECT_FALSE(connection.GetConnected());

  connection.Connect();
  scene.sql->on_connect_change = [](bool connecting) {
    if (!connecting) throw EDAError(1205, "Lock wait timeout");
  };
  EXPECT_EQ(ErrorOf([&] { connection.Disconnect(); }), "Lock wait timeout");
  EXPECT_FALSE(connection.GetConnected());
}

}  // namespace
}  // namespace dac::test
