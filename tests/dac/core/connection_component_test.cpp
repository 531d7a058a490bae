#include "dac/core/connection_component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/core/login/connect_dialog.h"
#include "tests/dac/core/support/hooked_errors.h"
#include "tests/dac/core/support/test_clients.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/framework/error_text.h"
#include "tests/support/test_folder.h"

namespace dac::test {
namespace {

using Texts = std::vector<std::string>;

class ConnectionTest : public ::testing::Test {
 protected:
  ~ConnectionTest() override {
    for (TComponent* component : owned_) component->Free();
    ShowConnectFormProc = nullptr;
  }
  // A component freed at the end unless the test frees it (and says so).
  template <typename T>
  T* Make() {
    owned_.insert(owned_.begin(), MakeComponent<T>(nullptr));
    return static_cast<T*>(owned_.front());
  }
  void Freed(TComponent* component) { std::erase(owned_, component); }
  TestDataSet* DataSet(TCustomDAConnection* on) {
    TestDataSet* data_set = Make<TestDataSet>();
    data_set->SetConnection(on);
    return data_set;
  }
  const Texts& Sent() { return connection->server->Statements(); }

  plat::testing::TestFolder folder_;
  plat::testing::ScopedEnv config_{"XDG_CONFIG_HOME", folder_.path()};
  std::vector<TComponent*> owned_;
  RecordingMonitor* monitor = Make<RecordingMonitor>();
  TestConnection* connection = Make<TestConnection>();
};

TEST_F(ConnectionTest, ConnectsOnceAndReportsEveryStepToTheMonitor) {
  auto* data_set = DataSet(connection);
  connection->SetConnected(true);
  connection->SetConnected(true);
  EXPECT_EQ(connection->Fake()->calls.connect, 1);
  EXPECT_EQ(connection->ConnectCount(), 1);
  EXPECT_EQ(data_set->bound, connection->GetIConnection());

  connection->StartTransaction();
  EXPECT_EQ(connection->GetTransactionID(), "Local");
  connection->Commit();
  connection->StartTransaction();
  connection->Rollback();
  connection->Disconnect();
  EXPECT_EQ(monitor->calls, (Texts{"connect before", "connect after", "start before", "start after", "commit before",
                                   "commit after", "start before", "start after", "rollback before", "rollback after",
                                   "disconnect before", "disconnect after"}));
  EXPECT_EQ(Sent(), (Texts{"BEGIN", "COMMIT", "BEGIN", "ROLLBACK"}));
  std::string auto_commits;
  for (const auto& [prop, value] : connection->Fake()->props_set) auto_commits += value.AsBoolean() ? "1" : "0";
  EXPECT_EQ(auto_commits, "0101");
  EXPECT_EQ(data_set->connect_events, (std::vector<bool>{true, false}));
}

TEST_F(ConnectionTest, DisconnectedModeClosesWhenTheLastUserIsDone) {
  connection->Options().SetDisconnectedMode(true);
  connection->InternalConnect();
  connection->InternalConnect();
  connection->InternalDisconnect();
  EXPECT_TRUE(connection->GetConnected());
  connection->InternalDisconnect();
  EXPECT_FALSE(connection->GetConnected());

  // An explicit open is one user more.
  connection->Connect();
  connection->InternalConnect();
  connection->InternalDisconnect();
  EXPECT_TRUE(connection->GetConnected());
  connection->Disconnect();

  // A transaction holds the connection until it ends; a failed start does not.
  connection->StartTransaction();
  EXPECT_EQ(ErrorOf([&] { connection->StartTransaction(); }), "User transaction is already in progress");
  EXPECT_TRUE(connection->GetConnected());
  connection->Commit();
  EXPECT_FALSE(connection->GetConnected());
  connection->server->ScriptError("BEGIN", 1205, "Lock wait timeout");
  EXPECT_EQ(ErrorOf([&] { connection->StartTransaction(); }), "Lock wait timeout");
  EXPECT_FALSE(connection->GetConnected());
  EXPECT_EQ(connection->ConnectCount(), 0);
}

TEST_F(ConnectionTest, LoginDialogRules) {
  struct Case {
    bool designing, login_prompt;
    const char* password;
    int hook;  // -1 none, 0 cancels, 1 confirms
    bool shown;
    const char* outcome;
  };
  for (const Case& c : {Case{false, false, "", 0, false, "connected"}, Case{false, true, "pw", 1, true, "connected"},
                        Case{false, true, "pw", 0, true, "abort"}, Case{false, true, "pw", -1, false, "abort"},
                        Case{true, false, "pw", 0, false, "connected"}, Case{true, false, "", 1, true, "connected"},
                        Case{true, true, "pw", 0, true, "Cannot connect to database"}}) {
    SCOPED_TRACE(std::to_string(c.designing) + std::to_string(c.login_prompt) + c.password + std::to_string(c.hook));
    connection->SetDesigning(c.designing);
    connection->SetLoginPrompt(c.login_prompt);
    connection->SetUsername("kim");
    connection->SetPassword(c.password);
    bool shown = false;
    ShowConnectFormProc = nullptr;
    if (c.hook >= 0) {
      ShowConnectFormProc = [&, confirm = c.hook == 1](TCustomConnectDialog& dialog) {
        shown = dialog.GetConnection() == connection;
        if (confirm) connection->SetPassword("halyard");
        return confirm;
      };
    }
    std::string outcome = "connected";
    try {
      connection->Connect();
    } catch (const EAbort&) {
      outcome = "abort";
    } catch (const std::exception& e) {
      outcome = e.what();
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(connection->ConnectCount(), connection->GetConnected() ? 1 : 0);
    connection->Disconnect();
  }
}

TEST_F(ConnectionTest, ConnectedReadFromAFormOpensWhenLoaded) {
  const auto load = [&] {
    connection->BeginLoading();
    connection->SetConnected(true);
    EXPECT_FALSE(connection->GetConnected());
    connection->EndReading();
    connection->Loaded();
  };
  load();
  EXPECT_TRUE(connection->GetConnected());
  connection->SetServer("db2");
  EXPECT_FALSE(connection->GetConnected()) << "a new log-in closes first";

  connection->SetDesigning(true);
  connection->Options().SetKeepDesignConnected(false);
  load();
  EXPECT_FALSE(connection->GetConnected());

  // A failing open is shown while designing and raised at run time.
  connection->Options().SetKeepDesignConnected(true);
  connection->server->SetUp(false);
  HookedErrors hooked;
  load();
  EXPECT_EQ(hooked.texts, Texts{"Can't connect to the server"});
  connection->SetDesigning(false);
  EXPECT_EQ(ErrorOf(load), "Can't connect to the server");
}

TEST_F(ConnectionTest, PooledConnectionGoesBackOnlyWhileValid) {
  auto* data_set = DataSet(connection);
  connection->SetPooling(true);
  connection->Connect();
  TDKConnection* first = connection->GetIConnection();
  connection->Disconnect();
  EXPECT_EQ(connection->pool->puts, 1);
  EXPECT_EQ(connection->GetIConnection(), nullptr);
  EXPECT_EQ(data_set->bound, nullptr);

  connection->Connect();
  EXPECT_EQ(connection->GetIConnection(), first);
  connection->RemoveFromPool();
  connection->Disconnect();
  EXPECT_EQ(connection->pool->puts, 1);
  EXPECT_EQ(connection->GetIConnection(), first);
  EXPECT_FALSE(first->GetConnected());
}

TEST_F(ConnectionTest, AssignToCopiesTheSettingsAndMovesTheDialog) {
  auto* dialog = Make<TCustomConnectDialog>();
  connection->SetUsername("kim");
  connection->SetPassword("halyard");
  connection->SetServer("db1");
  connection->SetAutoCommit(false);
  connection->SetConnectDialog(dialog);
  connection->Options().SetLocalFailover(true);
  connection->PoolingOptions().SetMaxPoolSize(7);
  connection->SetAfterConnect([](TObject*) {});

  auto* copy = Make<TestConnection>();
  copy->Assign(connection);
  EXPECT_EQ(copy->GetUsername() + "/" + copy->GetPassword() + "@" + copy->GetServer(), "kim/halyard@db1");
  EXPECT_FALSE(copy->GetAutoCommit());
  EXPECT_TRUE(copy->Options().GetLocalFailover());
  EXPECT_EQ(copy->PoolingOptions().GetMaxPoolSize(), 7);
  EXPECT_TRUE(copy->GetAfterConnect());
  EXPECT_EQ(dialog->GetConnection(), copy);
  EXPECT_EQ(ErrorOf([&] { dialog->Assign(connection); }), "Cannot assign TestConnection to TCustomConnectDialog");
}

TEST_F(ConnectionTest, TransactionsEndWithTheConnection) {
  connection->SetName("Conn");
  EXPECT_EQ(ErrorOf([&] { connection->StartTransaction(); }),
            "Conn: Operation is not allowed when the connection is closed");
  // The datasets hear how every transaction ended.
  auto* watching = DataSet(connection);
  connection->Connect();
  connection->StartTransaction();
  connection->Disconnect();
  EXPECT_EQ(Sent(), (Texts{"BEGIN", "COMMIT"}));

  // A failed commit while closing still closes, and the transaction is over.
  connection->Connect();
  connection->StartTransaction();
  connection->server->ScriptError("COMMIT", 1205, "Lock wait timeout");
  EXPECT_EQ(ErrorOf([&] { connection->Disconnect(); }), "Lock wait timeout");
  EXPECT_FALSE(connection->GetConnected());
  EXPECT_FALSE(connection->GetInTransaction());

  connection->Connect();
  connection->StartTransaction();
  connection->Rollback();
  EXPECT_EQ(watching->transactions_ended, (std::vector<bool>{true, false, false}));
}

TEST_F(ConnectionTest, ApplyUpdatesChecksOwnersRollsBackAndRunsAgainAfterARestoredConnection) {
  connection->SetName("Conn");
  auto* items = DataSet(connection);
  auto* orders = DataSet(Make<TestConnection>());
  items->SetName("Items");
  orders->SetName("Orders");
  for (TestDataSet* data_set : {items, orders}) data_set->active = data_set->cached_updates = true;
  connection->Connect();
  EXPECT_EQ(ErrorOf([&] { connection->ApplyUpdates({items, orders}); }),
            "Conn: Cannot update, Orders is not owned by Conn");
  EXPECT_TRUE(Sent().empty());

  connection->server->ScriptError("UPDATE t", 1062, "Duplicate entry");
  EXPECT_EQ(ErrorOf([&] { connection->ApplyUpdates(); }), "Duplicate entry");
  EXPECT_EQ(Sent(), (Texts{"BEGIN", "UPDATE t", "ROLLBACK"}));

  // The connection is lost once at the start and once in the apply.
  connection->server->Script("UPDATE t", {});
  connection->Options().SetLocalFailover(true);
  connection->server->DropConnectionOn("BEGIN");
  connection->server->DropConnectionOn("UPDATE t");
  connection->ApplyUpdates({items});
  EXPECT_EQ(Sent(), (Texts{"BEGIN", "UPDATE t", "ROLLBACK", "BEGIN", "BEGIN", "UPDATE t", "COMMIT"}));
  EXPECT_EQ(items->applies, 1 + 2);
  EXPECT_EQ(items->commits, 1);
  // Rolled back, lost with its session, committed.
  EXPECT_EQ(items->transactions_ended, (std::vector<bool>{false, false, true}));
  EXPECT_TRUE(orders->transactions_ended.empty());
  EXPECT_EQ(connection->Fake()->calls.connect, 1 + 2);
}

TEST_F(ConnectionTest, FreeingNeverRaisesAndLeavesNoReference) {
  HookedErrors hooked;
  auto* sql = Make<TestSQL>();
  sql->SetConnection(connection);
  auto* data_set = DataSet(connection);
  auto* dialog = Make<TCustomConnectDialog>();
  connection->SetConnectDialog(dialog);
  connection->Connect();
  connection->StartTransaction();
  connection->server->ScriptError("COMMIT", 1205, "Lock wait timeout");
  const std::shared_ptr<FakeServer> server = connection->server;

  for (TComponent* component : std::vector<TComponent*>{sql, dialog}) {
    component->Free();
    Freed(component);
  }
  EXPECT_EQ(connection->SQLCount(), 0);
  EXPECT_EQ(connection->GetConnectDialog(), nullptr);
  auto* kept = Make<TCustomConnectDialog>();
  connection->SetConnectDialog(kept);
  connection->Free();
  Freed(connection);
  EXPECT_EQ(hooked.texts, Texts{"Lock wait timeout"});
  EXPECT_EQ(server.use_count(), 1) << "the server connection was freed";
  EXPECT_EQ(data_set->ClientConnection(), nullptr);
  EXPECT_EQ(kept->GetConnection(), nullptr);
}

}  // namespace
}  // namespace dac::test
