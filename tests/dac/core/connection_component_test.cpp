#include "dac/core/connection_component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/core/connect_dialog.h"
#include "dac/core/da_errors.h"
#include "tests/dac/core/support/hooked_errors.h"
#include "tests/dac/core/support/test_clients.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/framework/error_text.h"
#include "tests/support/test_folder.h"

namespace dac::test {
namespace {

using Calls = std::vector<std::string>;
using Statements = std::vector<std::string>;

class ConnectionTest : public ::testing::Test {
 protected:
  ~ConnectionTest() override {
    for (TComponent* component : owned_) component->Free();
    ShowConnectFormProc = nullptr;
  }
  template <typename T>
  T* Make() {
    T* component = MakeComponent<T>(nullptr);
    owned_.insert(owned_.begin(), component);
    return component;
  }
  template <typename T>
  T* Client() {
    T* client = Make<T>();
    client->SetConnection(connection);
    return client;
  }
  // How a connect ends: "connected", "abort" or the error's text.
  std::string ConnectOutcome() {
    try {
      connection->Connect();
    } catch (const EAbort&) {
      return "abort";
    } catch (const std::exception& e) {
      return e.what();
    }
    return connection->GetConnected() ? "connected" : "not connected";
  }
  const Statements& Sent() { return connection->server->Statements(); }

  plat::testing::TestFolder folder_;
  plat::testing::ScopedEnv config_{"XDG_CONFIG_HOME", folder_.path()};
  std::vector<TComponent*> owned_;
  RecordingMonitor* monitor = Make<RecordingMonitor>();
  TestConnection* connection = Make<TestConnection>();
};

TEST_F(ConnectionTest, ConnectsOnceAndReportsEveryStepToTheMonitor) {
  auto* data_set = Client<TestDataSet>();
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
  EXPECT_EQ(monitor->calls, (Calls{"connect before", "connect after", "start before", "start after", "commit before",
                                   "commit after", "start before", "start after", "rollback before", "rollback after",
                                   "disconnect before", "disconnect after"}));
  EXPECT_EQ(Sent(), (Statements{"BEGIN", "COMMIT", "BEGIN", "ROLLBACK"}));
  std::vector<bool> auto_commits;
  for (const auto& [prop, value] : connection->Fake()->props_set) {
    if (prop == prAutoCommit) auto_commits.push_back(value.AsBoolean());
  }
  EXPECT_EQ(auto_commits, (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(data_set->connect_events, (std::vector<bool>{true, false}));
  EXPECT_EQ(connection->ConnectCount(), 0);
}

TEST_F(ConnectionTest, DisconnectedModeClosesWhenTheLastUserIsDone) {
  connection->Options().SetDisconnectedMode(true);
  connection->InternalConnect();
  connection->InternalConnect();
  EXPECT_EQ(connection->ConnectCount(), 2);
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
  EXPECT_TRUE(connection->GetConnected());
  EXPECT_EQ(ErrorOf([&] { connection->StartTransaction(); }), "User transaction is already in progress");
  connection->Commit();
  EXPECT_FALSE(connection->GetConnected());
  connection->server->ScriptError("BEGIN", 1205, "Lock wait timeout");
  EXPECT_EQ(ErrorOf([&] { connection->StartTransaction(); }), "Lock wait timeout");
  EXPECT_FALSE(connection->GetConnected());
  EXPECT_EQ(connection->ConnectCount(), 0);
}

TEST_F(ConnectionTest, LoginDialogRules) {
  struct Case {
    bool designing;
    bool login_prompt;
    const char* password;
    int hook;  // -1 none, 0 cancels, 1 confirms
    bool shown;
    const char* outcome;
  };
  const Case cases[] = {
      {false, false, "", 0, false, "connected"},
      {false, true, "pw", 1, true, "connected"},
      {false, true, "pw", 0, true, "abort"},
      {false, true, "pw", -1, false, "abort"},
      {true, false, "pw", 0, false, "connected"},
      {true, false, "", 1, true, "connected"},
      {true, true, "pw", 0, true, "Cannot connect to database"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.designing ? "designing, " : "running, ") + (c.login_prompt ? "prompt, " : "") +
                 "hook " + std::to_string(c.hook));
    connection->SetDesigning(c.designing);
    connection->SetLoginPrompt(c.login_prompt);
    connection->SetUsername("kim");
    connection->SetPassword(c.password);
    bool shown = false;
    ShowConnectFormProc = nullptr;
    if (c.hook >= 0) {
      ShowConnectFormProc = [&, confirm = c.hook == 1](TCustomConnectDialog& dialog) {
        shown = true;
        EXPECT_EQ(dialog.GetConnection(), connection);
        if (confirm) connection->SetPassword("halyard");
        return confirm;
      };
    }
    EXPECT_EQ(ConnectOutcome(), c.outcome);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(connection->ConnectCount(), connection->GetConnected() ? 1 : 0);
    EXPECT_EQ(connection->GetLoginPrompt(), c.login_prompt);
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
  EXPECT_TRUE(connection->IsConnectedStored());
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
  EXPECT_EQ(hooked.texts, std::vector<std::string>{"Can't connect to the server"});
  connection->SetDesigning(false);
  EXPECT_EQ(ErrorOf(load), "Can't connect to the server");
}

TEST_F(ConnectionTest, PooledConnectionGoesBackOnlyWhileValid) {
  auto* data_set = Client<TestDataSet>();
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
  EXPECT_EQ(monitor->calls.back(), "disconnect after");

  // Switching pooling off lets the kept one go.
  connection->SetPooling(false);
  EXPECT_EQ(connection->GetIConnection(), nullptr);
  EXPECT_EQ(connection->pool->puts, 2);
}

TEST_F(ConnectionTest, AssignToCopiesTheSettingsAndTheDialogMoves) {
  auto* dialog = Make<TCustomConnectDialog>();
  int after_connects = 0;
  connection->SetUsername("kim");
  connection->SetPassword("halyard");
  connection->SetServer("db1");
  connection->SetLoginPrompt(true);
  connection->SetAutoCommit(false);
  connection->SetConvertEOL(true);
  connection->SetConnectDialog(dialog);
  connection->Options().SetLocalFailover(true);
  connection->Options().SetDisconnectedMode(true);
  connection->PoolingOptions().SetMaxPoolSize(7);
  connection->SetAfterConnect([&](TObject*) { ++after_connects; });

  auto* copy = Make<TestConnection>();
  copy->Assign(connection);
  EXPECT_EQ(copy->GetUsername() + "/" + copy->GetPassword() + "@" + copy->GetServer(), "kim/halyard@db1");
  EXPECT_TRUE(copy->GetLoginPrompt());
  EXPECT_FALSE(copy->GetAutoCommit());
  EXPECT_TRUE(copy->GetConvertEOL());
  EXPECT_TRUE(copy->Options().GetLocalFailover());
  EXPECT_TRUE(copy->Options().GetDisconnectedMode());
  EXPECT_EQ(copy->PoolingOptions().GetMaxPoolSize(), 7);
  EXPECT_EQ(copy->GetConnectDialog(), dialog);
  EXPECT_EQ(dialog->GetConnection(), copy);
  copy->GetAfterConnect()(copy);
  EXPECT_EQ(after_connects, 1);
  EXPECT_EQ(ErrorOf([&] { dialog->Assign(connection); }), "Cannot assign TestConnection to TCustomConnectDialog");
}

TEST_F(ConnectionTest, TransactionErrorsNameTheConnection) {
  connection->SetName("Conn");
  EXPECT_EQ(ErrorOf([&] { connection->StartTransaction(); }),
            "Conn: Operation is not allowed when the connection is closed");
  EXPECT_EQ(ErrorOf([&] { connection->Commit(); }), "Conn: Operation is not allowed when the connection is closed");

  // Disconnecting inside a transaction commits it.
  connection->Connect();
  connection->StartTransaction();
  connection->Disconnect();
  EXPECT_EQ(Sent(), (Statements{"BEGIN", "COMMIT"}));
  EXPECT_FALSE(connection->GetInTransaction());

  // A failed commit while closing still closes, and the transaction is over.
  connection->Connect();
  connection->StartTransaction();
  connection->server->ScriptError("COMMIT", 1205, "Lock wait timeout");
  EXPECT_EQ(ErrorOf([&] { connection->Disconnect(); }), "Lock wait timeout");
  EXPECT_FALSE(connection->GetConnected());
  EXPECT_FALSE(connection->GetInTransaction());
}

TEST_F(ConnectionTest, ApplyUpdatesChecksOwnersRollsBackAndRunsAgainAfterARestoredConnection) {
  connection->SetName("Conn");
  auto* other = Make<TestConnection>();
  auto* items = Client<TestDataSet>();
  auto* foreign = Make<TestDataSet>();
  foreign->SetConnection(other);
  items->SetName("Items");
  foreign->SetName("Orders");
  for (TestDataSet* data_set : {items, foreign}) data_set->active = data_set->cached_updates = true;
  connection->Connect();

  EXPECT_EQ(ErrorOf([&] { connection->ApplyUpdates({items, foreign}); }),
            "Conn: Cannot update, Orders is not owned by Conn");
  EXPECT_TRUE(Sent().empty());

  connection->server->ScriptError("UPDATE t", 1062, "Duplicate entry");
  EXPECT_EQ(ErrorOf([&] { connection->ApplyUpdates(); }), "Duplicate entry");
  EXPECT_EQ(Sent(), (Statements{"BEGIN", "UPDATE t", "ROLLBACK"}));
  EXPECT_EQ(items->commits, 0);

  // The connection is lost once at the start and once in the apply.
  connection->server->Script("UPDATE t", {});
  connection->Options().SetLocalFailover(true);
  connection->Connect();
  connection->server->DropConnectionOn("BEGIN");
  connection->server->DropConnectionOn("UPDATE t");
  connection->ApplyUpdates({items});
  EXPECT_EQ(Sent(), (Statements{"BEGIN", "UPDATE t", "ROLLBACK", "BEGIN", "BEGIN", "UPDATE t", "COMMIT"}));
  EXPECT_EQ(items->applies, 1 + 2);
  EXPECT_EQ(items->commits, 1);
  EXPECT_FALSE(connection->GetInTransaction());
  EXPECT_EQ(connection->Fake()->calls.connect, 1 + 2);
}

TEST_F(ConnectionTest, FreeingNeverRaisesAndLeavesNoReference) {
  HookedErrors hooked;
  auto* sql = Client<TestSQL>();
  auto* data_set = Client<TestDataSet>();
  auto* dialog = Make<TCustomConnectDialog>();
  connection->SetConnectDialog(dialog);
  connection->Connect();
  connection->StartTransaction();
  connection->server->ScriptError("COMMIT", 1205, "Lock wait timeout");
  const std::shared_ptr<FakeServer> server = connection->server;

  sql->Free();
  dialog->Free();
  EXPECT_EQ(connection->SQLCount(), 0);
  EXPECT_EQ(connection->GetConnectDialog(), nullptr);
  std::erase(owned_, sql);
  std::erase(owned_, dialog);

  connection->Free();
  std::erase(owned_, connection);
  EXPECT_EQ(hooked.texts, std::vector<std::string>{"Lock wait timeout"});
  EXPECT_EQ(server.use_count(), 1) << "the server connection was freed";
  EXPECT_EQ(data_set->ClientConnection(), nullptr);

  // A dialog outlives its connection without a dangling back pointer.
  auto* second = Make<TestConnection>();
  auto* kept = Make<TCustomConnectDialog>();
  second->SetConnectDialog(kept);
  second->Free();
  std::erase(owned_, second);
  EXPECT_EQ(kept->GetConnection(), nullptr);
}

}  // namespace
}  // namespace dac::test
