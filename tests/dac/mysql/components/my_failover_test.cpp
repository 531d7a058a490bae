// Sessions cut on their way to the test server (by the relay of
// tests/dac/mysql/support): whatever the operation, with and without
// LocalFailover, in and outside a transaction, every change ends up on the
// server once, or stays pending for the next apply; a lost session leaves
// the other datasets open with their changes; a server that stays down is
// tried a few times only. A second session, straight to the server, checks
// what the server holds; triggers log every change the server committed.
#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dac/framework/data/field.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "tests/dac/mysql/my_dataset_test_support.h"
#include "tests/dac/mysql/support/relay.h"
#include "tests/support/recording_clock.h"

namespace dac {
namespace {

using testing::Relay;
using Cut = Relay::Cut;

bool Raises(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception&) {
    return true;
  }
  return false;
}

class MyFailoverTest : public testing::MyDataSetTest {
 protected:
  void SetUp() override {
    MyDataSetTest::SetUp();
    if (IsSkipped()) return;
    Exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    Exec("CREATE TABLE log (n INT AUTO_INCREMENT PRIMARY KEY, what VARCHAR(40)) ENGINE=InnoDB");
    Exec("CREATE TRIGGER t_insert AFTER INSERT ON t FOR EACH ROW "
         "INSERT INTO log (what) VALUES (CONCAT('insert ', NEW.id))");
    Exec("CREATE TRIGGER t_update AFTER UPDATE ON t FOR EACH ROW "
         "INSERT INTO log (what) VALUES (CONCAT('update ', NEW.id, ' ', NEW.name))");
    Exec("CREATE TRIGGER t_delete AFTER DELETE ON t FOR EACH ROW "
         "INSERT INTO log (what) VALUES (CONCAT('delete ', OLD.id))");
  }
  void TearDown() override {
    for (TMyQuery* made : queries_) made->Free();
    for (TMyConnection* made : connections_) made->Free();
    MyDataSetTest::TearDown();
  }

  // Rows 10 and 11, and an empty log.
  void StartTables() {
    Exec("DELETE FROM t");
    Exec("INSERT INTO t VALUES (10, 'a'), (11, 'b')");
    Exec("DELETE FROM log");
  }
  std::string Rows() { return Value("SELECT GROUP_CONCAT(id, ':', name ORDER BY id) FROM t"); }
  std::string Log() { return Value("SELECT GROUP_CONCAT(what ORDER BY what) FROM log"); }

  // A connection to the test server through the relay.
  TMyConnection* Through(Relay& relay) {
    auto* made = MakeComponent<TMyConnection>(nullptr);
    connections_.push_back(made);
    made->SetLoginPrompt(false);
    made->SetServer(settings.host);
    made->SetPort(relay.Port());
    made->SetUsername(settings.user);
    made->SetPassword(settings.password);
    made->SetDatabase(settings.database);
    return made;
  }
  TMyQuery* QueryOn(TMyConnection* on, const std::string& sql) {
    auto* made = MakeComponent<TMyQuery>(nullptr);
    queries_.push_back(made);
    made->SetConnection(on);
    made->SQL().SetText(sql);
    return made;
  }
  // Row 10 renamed, row 11 deleted, rows 1 to 3 appended: five cached changes.
  static void CachedChanges(TMyQuery* q) {
    q->SetCachedUpdates(true);
    q->Open();
    q->First();
    q->Edit();
    q->FieldByName("name")->SetAsString("A");
    q->Post();
    q->Next();
    q->Delete();
    for (int id = 1; id <= 3; ++id) {
      q->Append();
      q->FieldByName("id")->SetAsInteger(id);
      q->FieldByName("name")->SetAsString("n" + std::to_string(id));
      q->Post();
    }
  }

  // The reconnect pauses the test thread took (the transport's short
  // pauses after a read that found the peer gone are left out).
  std::vector<uint32_t> ReconnectPauses() const {
    std::vector<uint32_t> pauses;
    for (uint32_t ms : clock_.Sleeps())
      if (ms == TCustomDAConnection::kReconnectPauseMs) pauses.push_back(ms);
    return pauses;
  }
  plat::testing::RecordingClock clock_;

 private:
  std::vector<TMyQuery*> queries_;
  std::vector<TMyConnection*> connections_;
};

constexpr const char* kAllApplied = "1:n1,2:n2,3:n3,10:A";
constexpr const char* kEachOnce = "delete 11,insert 1,insert 2,insert 3,update 10 A";

TEST_F(MyFailoverTest, AnInterruptedApplyLeavesEveryChangeOnTheServerOrPendingAndTheRerunSendsItOnce) {
  enum Apply { kDataSet, kDataSetInTransaction, kConnection };
  struct Case {
    const char* name;
    Apply apply;
    bool local_failover;
    bool data_set_auto_commit;
    std::optional<TRetryMode> handler;
    Cut cut;  // at the second INSERT
    bool raises;
  };
  const Case cases[] = {
      {"dataset", kDataSet, false, true, {}, Cut::kBefore, true},
      {"dataset, failover", kDataSet, true, true, {}, Cut::kBefore, true},
      {"dataset without auto-commit, failover runs it again", kDataSet, true, false, {}, Cut::kBefore, false},
      {"dataset, failover, handler reconnects only", kDataSet, true, false, rmReconnect, Cut::kBefore, true},
      {"dataset in a transaction", kDataSetInTransaction, false, true, {}, Cut::kAfter, true},
      {"dataset in a transaction, failover", kDataSetInTransaction, true, true, {}, Cut::kAfter, true},
      {"dataset in a transaction, cut before", kDataSetInTransaction, true, true, {}, Cut::kBefore, true},
      {"connection", kConnection, false, true, {}, Cut::kAfter, true},
      {"connection, cut before", kConnection, false, true, {}, Cut::kBefore, true},
      {"connection, failover runs it again", kConnection, true, true, {}, Cut::kAfter, false},
      {"connection, failover, cut before", kConnection, true, true, {}, Cut::kBefore, false},
      {"connection, failover, handler runs it again", kConnection, true, true, rmReconnectExecute, Cut::kAfter,
       false},
      {"connection, failover, handler reconnects only", kConnection, true, true, rmReconnect, Cut::kAfter, true},
      {"connection, failover, handler raises", kConnection, true, true, rmRaise, Cut::kAfter, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartTables();
    Relay relay(settings.host, settings.port);
    TMyConnection* relayed = Through(relay);
    relayed->Options().SetLocalFailover(c.local_failover);
    if (c.handler) {
      relayed->SetOnConnectionLost(
          [&](TObject*, TComponent*, TConnLostCause, int32_t, TRetryMode& mode) { mode = *c.handler; });
    }
    TMyQuery* q = QueryOn(relayed, "SELECT id, name FROM t ORDER BY id");
    q->SetAutoCommit(c.data_set_auto_commit);
    CachedChanges(q);
    ASSERT_EQ(Rows(), "10:a,11:b");

    relay.CutOn("INSERT", c.cut, 2);
    const auto apply = [&] {
      switch (c.apply) {
        case kDataSet:
          q->ApplyUpdates();
          q->CommitUpdates();
          break;
        case kDataSetInTransaction:
          relayed->StartTransaction();
          q->ApplyUpdates();
          relayed->Commit();
          q->CommitUpdates();
          break;
        case kConnection:
          relayed->ApplyUpdates(std::vector<TDataSet*>{q});
          break;
      }
    };
    EXPECT_EQ(Raises(apply), c.raises);
    EXPECT_EQ(relay.Cuts(), 1);
    ASSERT_TRUE(q->GetActive());
    if (c.raises) {
      EXPECT_TRUE(q->UpdatesPending());
      // What the server holds now is all applied or part of it, never a change twice.
      if (relayed->GetInTransaction()) relayed->Rollback();
      if (!relayed->GetConnected()) relayed->Connect();
      apply();
    }
    EXPECT_FALSE(q->UpdatesPending());
    EXPECT_EQ(Rows(), kAllApplied);
    EXPECT_EQ(Log(), kEachOnce);
    EXPECT_TRUE(ReconnectPauses().empty());
  }
}

enum Operation { kOpen, kFetch, kPost, kAppend, kDelete };

// The operation once; a post or an append left pending by a cut one goes
// out as it stands.
void RunOperation(TMyQuery& query, Operation operation) {
  switch (operation) {
    case kOpen:
      query.Open();
      break;
    case kFetch:
      query.Open();
      while (!query.GetEOF()) query.Next();
      break;
    case kPost:
      if (query.GetState() != dsEdit) {
        query.First();
        query.Edit();
        query.FieldByName("name")->SetAsString("A");
      }
      query.Post();
      break;
    case kAppend:
      if (query.GetState() != dsInsert) {
        query.Append();
        query.FieldByName("id")->SetAsInteger(1);
        query.FieldByName("name")->SetAsString("n1");
      }
      query.Post();
      break;
    case kDelete:
      query.First();
      query.Delete();
      break;
  }
}

TEST_F(MyFailoverTest, EveryOperationCutOnTheWayRunsOnceOrRaisesAndRunsOnceWhenRepeated) {
  Exec("CREATE TABLE big (id INT PRIMARY KEY, pad VARCHAR(200)) ENGINE=InnoDB");
  Exec("INSERT INTO big SELECT seq, REPEAT('x', 100) FROM seq_1_to_300");
  struct Case {
    const char* name;
    Operation operation;
    bool local_failover;
    bool raises;
    const char* rows;  // of t afterwards
    const char* log;
  };
  const Case cases[] = {
      {"open", kOpen, false, true, "10:a,11:b", ""},
      {"open runs again", kOpen, true, false, "10:a,11:b", ""},
      {"fetch on demand", kFetch, false, true, "10:a,11:b", ""},
      {"fetch on demand, failover", kFetch, true, true, "10:a,11:b", ""},
      {"post", kPost, false, true, "10:A,11:b", "update 10 A"},
      {"post, failover", kPost, true, true, "10:A,11:b", "update 10 A"},
      {"append", kAppend, false, true, "1:n1,10:a,11:b", "insert 1"},
      {"append, failover", kAppend, true, true, "1:n1,10:a,11:b", "insert 1"},
      {"delete", kDelete, false, true, "11:b", "delete 10"},
      {"delete, failover", kDelete, true, true, "11:b", "delete 10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartTables();
    Relay relay(settings.host, settings.port);
    TMyConnection* relayed = Through(relay);
    relayed->Options().SetLocalFailover(c.local_failover);
    const bool fetch = c.operation == kFetch;
    TMyQuery* q = QueryOn(relayed, fetch ? "SELECT id, pad FROM big ORDER BY id" : "SELECT id, name FROM t ORDER BY id");
    if (fetch) {
      // Rows come on demand, over the connection's own session.
      q->SetFetchAll(false);
      q->SetFetchRows(10);
      q->MyOptions().SetCreateConnection(false);
    }
    if (c.operation != kOpen) q->Open();
    const char* statement[] = {"SELECT", "SELECT", "UPDATE", "INSERT", "DELETE"};
    // A fetch loses its session in the middle of the rows; the others
    // before their statement reaches the server.
    if (fetch) {
      q->Close();
      relay.CutOn("FROM big", Cut::kInReply, 1, 8000);
    } else {
      relay.CutOn(statement[c.operation], Cut::kBefore);
    }
    const auto run = [&] { RunOperation(*q, c.operation); };
    EXPECT_EQ(Raises(run), c.raises);
    EXPECT_EQ(relay.Cuts(), 1);
    if (c.raises) {
      if (fetch) {
        // The rows read stay; the lost ones are not made up.
        ASSERT_TRUE(q->GetActive());
        EXPECT_LT(q->RecordCount(), 300);
        q->Close();
      }
      run();
    }
    ASSERT_TRUE(q->GetActive());
    if (fetch) {
      q->Last();
      EXPECT_EQ(q->FieldByName("id")->GetAsInteger(), 300);
    } else if (c.operation == kOpen) {
      EXPECT_EQ(q->RecordCount(), 2);
    }
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(Log() == "<none>" ? "" : Log(), c.log);
  }
}

TEST_F(MyFailoverTest, ALostSessionLeavesTheOtherDataSetsOpenWithTheirPendingChanges) {
  Exec("CREATE TABLE big (id INT PRIMARY KEY, pad VARCHAR(200)) ENGINE=InnoDB");
  Exec("INSERT INTO big SELECT seq, REPEAT('x', 100) FROM seq_1_to_300");
  struct Case {
    const char* name;
    bool local_failover;
    std::optional<TRetryMode> handler;
    bool second_session;  // the rows come over a session of their own
  };
  const Case cases[] = {
      {"no failover", false, {}, false},
      {"failover", true, {}, false},
      {"failover, handler reconnects", true, rmReconnect, false},
      {"rows over a second session", false, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartTables();
    Relay relay(settings.host, settings.port);
    TMyConnection* relayed = Through(relay);
    relayed->Options().SetLocalFailover(c.local_failover);
    if (c.handler) {
      relayed->SetOnConnectionLost(
          [&](TObject*, TComponent*, TConnLostCause, int32_t, TRetryMode& mode) { mode = *c.handler; });
    }
    TMyQuery* edited = QueryOn(relayed, "SELECT id, name FROM t ORDER BY id");
    edited->SetCachedUpdates(true);
    edited->Open();
    edited->Edit();
    edited->FieldByName("name")->SetAsString("A");
    edited->Post();
    TMyQuery* reading = QueryOn(relayed, "SELECT id, pad FROM big ORDER BY id");
    reading->SetFetchAll(false);
    reading->SetFetchRows(10);
    reading->MyOptions().SetCreateConnection(c.second_session);
    relay.CutOn("FROM big", Cut::kInReply, 1, 8000);
    reading->Open();
    EXPECT_TRUE(Raises([&] {
      while (!reading->GetEOF()) reading->Next();
    }));
    EXPECT_EQ(relay.Cuts(), 1);

    ASSERT_TRUE(edited->GetActive());
    EXPECT_TRUE(edited->UpdatesPending());
    EXPECT_EQ(edited->FieldByName("name")->GetAsString(), "A");
    EXPECT_TRUE(reading->GetActive());
    reading->Close();
    // The next use connects again.
    edited->ApplyUpdates();
    edited->CommitUpdates();
    EXPECT_EQ(Rows(), "10:A,11:b");
    EXPECT_EQ(Log(), "update 10 A");
    edited->Refresh();
    EXPECT_EQ(edited->FieldByName("name")->GetAsString(), "A");
  }
}

TEST_F(MyFailoverTest, AServerThatStaysDownIsTriedAFewTimesWithPausesWhateverTheHandlerAnswers) {
  StartTables();
  for (const bool handler : {false, true}) {
    SCOPED_TRACE(handler ? "a handler that always asks to run again" : "no handler");
    clock_.Clear();
    Relay relay(settings.host, settings.port);
    TMyConnection* relayed = Through(relay);
    relayed->Options().SetLocalFailover(true);
    std::vector<int32_t> asked;
    if (handler) {
      relayed->SetOnConnectionLost([&](TObject*, TComponent*, TConnLostCause, int32_t attempt, TRetryMode& mode) {
        asked.push_back(attempt);
        mode = rmReconnectExecute;
      });
    }
    TMyQuery* q = QueryOn(relayed, "SELECT id, name FROM t ORDER BY id");
    relayed->Connect();
    relay.SetDown(true);
    relay.CutOn("FROM t", Cut::kBefore);
    EXPECT_TRUE(Raises([&] { q->Open(); }));
    EXPECT_FALSE(relayed->GetConnected());
    EXPECT_FALSE(q->GetActive());
    EXPECT_EQ(asked, (handler ? std::vector<int32_t>{0, 1, 2} : std::vector<int32_t>{}));
    EXPECT_EQ(ReconnectPauses(), std::vector<uint32_t>(TCustomDAConnection::kMaxReconnectAttempts - 1,
                                            TCustomDAConnection::kReconnectPauseMs));
    relay.SetDown(false);
    q->Open();
    EXPECT_EQ(q->RecordCount(), 2);
  }
}

}  // namespace
}  // namespace dac
