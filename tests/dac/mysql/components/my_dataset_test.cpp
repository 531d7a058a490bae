// The MySQL query on the test server: edits, inserts and deletes written
// back through generated statements and read again from the server, cached
// updates, refresh and quick refresh, row versions, row and table locks,
// further results of a batch and an update object.
#include "dac/mysql/components/my_dataset.h"

#include <gtest/gtest.h>

#include "dac/core/da_param.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/field.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "dac/mysql/provider/my_error.h"
#include "tests/dac/mysql/my_dataset_test_support.h"
#include "tests/dac/store/manual_timer_service.h"

namespace dac {
namespace {

class MyQueryTest : public testing::MyDataSetTest {
 protected:
  void SetUp() override {
    MyDataSetTest::SetUp();
    if (IsSkipped()) return;
    Exec("DROP TABLE IF EXISTS q_dept");
    Exec("CREATE TABLE q_dept (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(20), "
         "ts TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP) ENGINE=InnoDB");
    Exec("INSERT INTO q_dept (id, name, ts) VALUES (1, 'a', '2024-01-01 10:00:00'), (2, 'b', '2024-01-01 10:00:00')");
  }
  std::string Names() { return Value("SELECT GROUP_CONCAT(name ORDER BY id) FROM q_dept"); }
  std::string Error(const std::function<void()>& action) {
    try {
      action();
    } catch (const EMyError& e) {
      return std::to_string(e.ErrorCode());
    } catch (const EDatabaseError& e) {
      return e.Message();
    }
    return "no error";
  }
};

TEST_F(MyQueryTest, EditsInsertsAndDeletesReachTheServer) {
  Open(query, "SELECT * FROM q_dept ORDER BY id");
  ASSERT_TRUE(query->GetCanModify());
  query->Edit();
  query->FieldByName("name")->SetAsString("it's");
  query->Post();
  EXPECT_EQ(Names(), "it's,b");
  query->Append();
  query->FieldByName("name")->SetAsString("c");
  query->Post();
  EXPECT_EQ(Value("SELECT id FROM q_dept WHERE name = 'c'"), "3");
  // The server's id reaches the identity field and InsertId.
  EXPECT_EQ(query->FieldByName("id")->GetAsInteger(), 3);
  EXPECT_EQ(query->InsertId(), 3);
  query->First();
  query->Delete();
  EXPECT_EQ(Names(), "b,c");
}

// A table without a key holding equal rows: an edit or a delete changes
// one of them on the server, through both APIs, cached or not, with every
// field written or the changed ones; a row gone meanwhile still fails as
// before, changing nothing.
TEST_F(MyQueryTest, WritesWithoutAKeyChangeOneOfTheEqualRows) {
  Exec("CREATE TABLE `dup t``x` (`a b` INT, `where` VARCHAR(10), n TEXT)");
  auto other = testing::OpenConnection(testing::DirectApi(), settings);
  const auto on_server = [&] {
    const std::string sql = "SELECT GROUP_CONCAT(`a b`, ':', `where` ORDER BY `a b`, `where`) FROM `dup t``x`";
    return testing::ApiQuery(other->GetAPI(), other->GetHandle(), sql).at(0).at(0).value_or("");
  };
  struct Way {
    bool direct, cached, all_fields;
  };
  for (const Way way :
       {Way{true, false, false}, Way{false, false, true}, Way{true, true, true}, Way{false, true, false}}) {
    SCOPED_TRACE(std::to_string(way.direct) + std::to_string(way.cached) + std::to_string(way.all_fields));
    Exec("DELETE FROM `dup t``x`");
    Exec("INSERT INTO `dup t``x` VALUES (1, 'it''s', 'x'), (1, 'it''s', 'x'), (2, 'b', NULL), (2, 'b', NULL)");
    connection->Disconnect();
    connection->GetOptions().SetDirect(way.direct);
    connection->Connect();
    query->SetCachedUpdates(way.cached);
    query->Options().SetUpdateAllFields(way.all_fields);
    Open(query, "SELECT * FROM `dup t``x` ORDER BY `a b`");
    query->Edit();
    query->FieldByName("where")->SetAsString("edited");
    query->Post();
    ASSERT_TRUE(query->Locate("a b", Variant(2), {}));
    query->Delete();
    if (way.cached) query->ApplyUpdates();
    EXPECT_EQ(on_server(), "1:edited,1:it's,2:b");
    // Both rows 1 gone on the server: the edit of the other finds none.
    other->ExecStatement("DELETE FROM `dup t``x` WHERE `a b` = 1");
    query->First();
    query->Next();
    query->Edit();
    query->FieldByName("where")->SetAsString("lost");
    if (way.cached) {
      query->Post();
      EXPECT_EQ(Error([&] { query->ApplyUpdates(); }), "Update failed. Found 0 records");
      query->CancelUpdates();
    } else {
      EXPECT_EQ(Error([&] { query->Post(); }), "Update failed. Found 0 records");
      query->Cancel();
    }
    EXPECT_EQ(on_server(), "2:b");
    query->Close();
  }
}

// With FetchAll off the searches read on: rows not fetched yet are found,
// forward and from the current row on, and what is not there leaves the
// cursor where it was.
TEST_F(MyQueryTest, SearchesFindRowsNotFetchedYet) {
  Exec("CREATE TABLE q_many (id INT PRIMARY KEY, s VARCHAR(10), g INT)");
  std::string rows;
  for (int i = 1; i <= 60; ++i) {
    const std::string n = std::to_string(i);
    rows += (i > 1 ? ", (" : "(") + n + ", 's" + n + "', " + std::to_string(i % 7) + ")";
  }
  Exec("INSERT INTO q_many VALUES " + rows);
  for (const bool direct : {true, false}) {
    SCOPED_TRACE(direct ? "direct" : "client library");
    connection->Disconnect();
    connection->GetOptions().SetDirect(direct);
    connection->Connect();
    query->SetFetchAll(false);
    query->SetFetchRows(5);
    const auto reopen = [&] {
      query->Close();
      Open(query, "SELECT * FROM q_many ORDER BY id");
    };
    const auto id = [&] { return query->FieldByName("id")->GetAsInteger(); };
    reopen();
    EXPECT_EQ(query->Lookup("id", Variant(52), "s").AsString(), "s52");
    EXPECT_EQ(id(), 1);
    ASSERT_TRUE(query->Locate("id", Variant(47), {}));
    EXPECT_EQ(query->FieldByName("s")->GetAsString(), "s47");
    reopen();
    ASSERT_TRUE(query->Locate("s", Variant("S33"), {loCaseInsensitive}));
    EXPECT_EQ(id(), 33);
    // From the current row on: the next of its group, then none after 54.
    ASSERT_TRUE(query->LocateEx("g", Variant(5), {lxNext}));
    EXPECT_EQ(id(), 40);
    ASSERT_TRUE(query->LocateEx("s", Variant("s5"), {lxNext, lxPartialKey}));
    EXPECT_EQ(id(), 50);
    reopen();
    ASSERT_TRUE(query->FindKey({Variant(58)}));
    EXPECT_EQ(id(), 58);
    reopen();
    ASSERT_TRUE(query->FindNearest({Variant(21)}));
    EXPECT_EQ(id(), 21);
    reopen();
    query->Next();
    EXPECT_FALSE(query->Locate("id", Variant(61), {}));
    EXPECT_EQ(id(), 2);
    EXPECT_TRUE(query->Fetched());
    EXPECT_EQ(query->RecordCount(), 60);
    query->Close();
  }
}

TEST_F(MyQueryTest, ColumnNamesHoldingQuestionMarksAndQuotes) {
  Exec("DROP TABLE IF EXISTS `q odd`");
  Exec("CREATE TABLE `q odd` (`id?` INT PRIMARY KEY, `say ?` VARCHAR(10)) ENGINE=InnoDB");
  Exec("INSERT INTO `q odd` VALUES (1, 'a')");
  Open(query, "SELECT * FROM `q odd`");
  query->Edit();
  query->FieldByName("say ?")->SetAsString("it's?");
  query->Post();
  EXPECT_EQ(Value("SELECT `say ?` FROM `q odd` WHERE `id?` = 1"), "it's?");
  // Refresh, lock and table lock name the table as it must be written.
  Exec("UPDATE `q odd` SET `say ?` = 'new'");
  query->RefreshRecord();
  EXPECT_EQ(query->FieldByName("say ?")->GetAsString(), "new");
  connection->StartTransaction();
  query->Lock();
  connection->Rollback();
  query->LockTable(ltRead);
  query->UnLockTable();
}

TEST_F(MyQueryTest, CachedUpdatesAreAppliedTogether) {
  query->SetCachedUpdates(true);
  Open(query, "SELECT * FROM q_dept ORDER BY id");
  query->Edit();
  query->FieldByName("name")->SetAsString("x");
  query->Post();
  query->Append();
  query->FieldByName("name")->SetAsString("y");
  query->Post();
  EXPECT_EQ(Names(), "a,b");
  query->ApplyUpdates();
  query->CommitUpdates();
  EXPECT_EQ(Names(), "x,b,y");
  // The server's id reached the appended row.
  query->Last();
  EXPECT_EQ(query->FieldByName("id")->GetAsInteger(), 3);
}

// A connection freed before its datasets takes the query it owns with it,
// and the update queries that query made on it.
TEST_F(MyQueryTest, AConnectionFreedFirstTakesItsQueriesWithIt) {
  auto* own = MakeComponent<TMyConnection>(nullptr);
  own->SetLoginPrompt(false);
  own->SetServer(settings.host);
  own->SetPort(settings.port);
  own->SetUsername(settings.user);
  own->SetPassword(settings.password);
  own->SetDatabase(settings.database);
  auto* owned = MakeComponent<TMyQuery>(own);
  owned->SetConnection(own);
  Open(owned, "SELECT * FROM q_dept ORDER BY id");
  owned->Edit();
  owned->FieldByName("name")->SetAsString("kept");
  owned->Post();
  own->Free();
  EXPECT_EQ(Names(), "kept,b");
}

TEST_F(MyQueryTest, RowVersionRefusesARowChangedMeanwhile) {
  query->MyOptions().SetCheckRowVersion(true);
  Open(query, "SELECT * FROM q_dept ORDER BY id");
  Exec("UPDATE q_dept SET ts = '2024-02-02 00:00:00' WHERE id = 1");
  query->Edit();
  query->FieldByName("name")->SetAsString("lost");
  EXPECT_NE(Error([&] { query->Post(); }), "no error");
  query->Cancel();
  EXPECT_EQ(Names(), "a,b");
  query->Next();
  query->Edit();
  query->FieldByName("name")->SetAsString("kept");
  query->Post();
  EXPECT_EQ(Names(), "a,kept");
}

TEST_F(MyQueryTest, RefreshAndQuickRefreshReadWhatChanged) {
  Open(query, "SELECT * FROM q_dept ORDER BY id");
  Exec("UPDATE q_dept SET name = 'b2', ts = '2024-03-03 00:00:00' WHERE id = 2");
  Exec("INSERT INTO q_dept (id, name, ts) VALUES (3, 'c', '2024-03-03 00:00:00')");
  query->RefreshQuick(false);
  EXPECT_EQ(query->RecordCount(), 3);
  ASSERT_TRUE(query->Locate("id", Variant(2), {}));
  EXPECT_EQ(query->FieldByName("name")->GetAsString(), "b2");
  Exec("DELETE FROM q_dept WHERE id = 1");
  query->RefreshQuick(true);
  EXPECT_EQ(query->RecordCount(), 2);
  Exec("UPDATE q_dept SET name = 'z' WHERE id = 3");
  query->Refresh();
  query->Last();
  EXPECT_EQ(query->FieldByName("name")->GetAsString(), "z");
}

TEST_F(MyQueryTest, RowLocksHoldAgainstAnotherSession) {
  Open(query, "SELECT * FROM q_dept ORDER BY id");
  EXPECT_EQ(Error([&] { query->Lock(); }), "Lock cannot be called outside transaction context");
  auto other = testing::OpenConnection(testing::DirectApi(), settings);
  other->ExecStatement("SET SESSION innodb_lock_wait_timeout = 1");
  const auto blocked = [&](const std::string& sql) {
    return testing::MyErrorOf([&] { other->ExecStatement(sql); }).rfind("1205:", 0) == 0;
  };
  struct Case {
    TLockRecordType type;
    bool read_blocked;
  };
  for (const Case& c : {Case{lrImmediately, true}, Case{lrDelayed, false}}) {
    SCOPED_TRACE(c.type);
    connection->StartTransaction();
    query->Lock(c.type);
    EXPECT_EQ(blocked("SELECT id FROM q_dept WHERE id = 1 LOCK IN SHARE MODE"), c.read_blocked);
    EXPECT_TRUE(blocked("UPDATE q_dept SET name = 'w' WHERE id = 1"));
    EXPECT_FALSE(blocked("UPDATE q_dept SET name = 'w' WHERE id = 2"));
    connection->Rollback();
  }
  query->SetFetchAll(false);
  EXPECT_EQ(Error([&] { query->Lock(); }), "Lock is not compatible with FetchAll = False");
}

TEST_F(MyQueryTest, TableLocksLockTheUpdatingTable) {
  Open(query, "SELECT * FROM q_dept");
  query->LockTable(ltWrite);
  auto other = testing::OpenConnection(testing::DirectApi(), settings);
  other->ExecStatement("SET SESSION lock_wait_timeout = 1");
  EXPECT_EQ(testing::MyErrorOf([&] { other->ExecStatement("SELECT * FROM q_dept"); }).substr(0, 5), "1205:");
  query->UnLockTable();
  EXPECT_EQ(testing::MyErrorOf([&] { other->ExecStatement("SELECT * FROM q_dept"); }), "no error");
  query->SetFetchAll(false);
  EXPECT_EQ(Error([&] { query->LockTable(ltRead); }), "LockTable is not compatible with FetchAll = False");
}

TEST_F(MyQueryTest, OpenNextWalksTheResultsOfABatch) {
  query->SetFetchAll(false);
  Open(query, "SELECT 1 AS a; SELECT 'x' AS b, 'y' AS c; SELECT 3 AS d");
  EXPECT_EQ(query->Fields().Fields(0)->FieldName(), "a");
  ASSERT_TRUE(query->OpenNext());
  EXPECT_EQ(query->Fields().Count(), 2);
  EXPECT_EQ(query->FieldByName("c")->GetAsString(), "y");
  ASSERT_TRUE(query->OpenNext());
  EXPECT_EQ(query->FieldByName("d")->GetAsInteger(), 3);
  EXPECT_FALSE(query->OpenNext());
  EXPECT_FALSE(query->GetActive());
  // The connection is free for the next statement.
  EXPECT_EQ(Value("SELECT 5"), "5");
  query->SetFetchAll(true);
  EXPECT_EQ(Error([&] { query->OpenNext(); }), "OpenNext is not compatible with FetchAll = True");
}

TEST_F(MyQueryTest, AnUpdateObjectWritesWithItsOwnStatements) {
  auto* update = MakeComponent<TMyUpdateSQL>(nullptr);
  update->ModifySQL()->SetText("UPDATE q_dept SET name = CONCAT(:name, '!') WHERE id = :OLD_id");
  query->SetUpdateObject(update);
  Open(query, "SELECT * FROM q_dept ORDER BY id");
  query->Edit();
  query->FieldByName("name")->SetAsString("u");
  query->Post();
  EXPECT_EQ(Names(), "u!,b");
  query->SetUpdateObject(nullptr);
  update->Free();
}

TEST_F(MyQueryTest, RecordSetSwitchesNeedAClosedDataSet) {
  TMyDataSetOptions& options = query->MyOptions();
  EXPECT_TRUE(options.GetLongStrings());
  EXPECT_FALSE(options.GetRequiredFields());
  EXPECT_TRUE(options.GetFieldsOrigin());
  options.SetEnableBoolean(false);
  Exec("CREATE TEMPORARY TABLE q_flag (n INT, b TINYINT(1))");
  Open(query, "SELECT * FROM q_flag");
  EXPECT_NE(query->FieldByName("b")->DataType(), ftBoolean);
  for (const auto& set : std::vector<std::function<void()>>{[&] { options.SetFieldsAsString(true); },
                                                            [&] { options.SetNullForZeroDate(false); },
                                                            [&] { options.SetEnableBoolean(true); },
                                                            [&] { options.SetCreateConnection(false); }}) {
    EXPECT_EQ(Error(set), "Cannot perform this operation on an open dataset");
  }
  query->Close();
  options.SetFieldsAsString(true);
  query->Open();
  EXPECT_EQ(query->FieldByName("n")->DataType(), ftString);
}

TEST_F(MyQueryTest, StatementsWithoutRowsReportTheInsertId) {
  query->SQL().SetText("INSERT INTO q_dept (name) VALUES (:name)");
  query->ParamByName("name")->SetAsString("n");
  query->Execute();
  EXPECT_FALSE(query->GetActive());
  EXPECT_EQ(query->InsertId(), 3);
  query->SQL().SetText(" ");
  EXPECT_EQ(Error([&] { query->Open(); }), "No SQL statement provided");
}

}  // namespace
}  // namespace dac

namespace dac {
namespace {

// A query whose refresh timer ticks when the test fires it.
class TickedQuery : public TMyQuery {
 public:
  using TMyQuery::TMyQuery;
  std::unique_ptr<ITimerService> MakeDetailTimerService() override { return std::make_unique<FakeService>(clock); }
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
};

TEST_F(MyQueryTest, AutoRefreshTicksOnlyInBrowseState) {
  auto* ticked = MakeComponent<TickedQuery>(nullptr);
  ticked->SetConnection(connection);
  ticked->MyOptions().SetAutoRefreshInterval(5);
  ticked->MyOptions().SetAutoRefresh(true);
  EXPECT_TRUE(ticked->clock->running);
  EXPECT_EQ(ticked->clock->interval, 5000u);
  Open(ticked, "SELECT * FROM q_dept ORDER BY id");
  Exec("UPDATE q_dept SET name = 'late', ts = '2030-01-01 00:00:00' WHERE id = 2");
  ticked->Edit();
  ticked->clock->Fire();  // editing: no refresh
  ticked->Cancel();
  ticked->Last();
  EXPECT_EQ(ticked->FieldByName("name")->GetAsString(), "b");
  const int starts = ticked->clock->starts;
  ticked->clock->Fire();
  EXPECT_EQ(ticked->FieldByName("name")->GetAsString(), "late");
  EXPECT_GT(ticked->clock->starts, starts);  // a whole interval after the refresh
  ticked->MyOptions().SetAutoRefresh(false);
  EXPECT_FALSE(ticked->clock->running);
  ticked->Free();
}

}  // namespace
}  // namespace dac
