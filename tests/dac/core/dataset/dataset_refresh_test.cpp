#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/framework/data/field.h"
#include "tests/dac/core/support/data_set_fixture.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

constexpr const char* kRefresh = "SELECT t.NAME AS _1 FROM t\r\nWHERE\r\n  ID = ?";
constexpr const char* kUpdate = "UPDATE t\r\nSET\r\n  NAME = ?\r\nWHERE\r\n  ID = ?";
constexpr const char* kInsert = "INSERT INTO t\r\n  (NAME)\r\nVALUES\r\n  (?)";

// The refresh's answer: one NAME column per value, read back by its alias.
FakeAnswer Names(const std::vector<std::string>& names) {
  FakeAnswer answer;
  answer.columns = {{"_1", dtString, 10, "t", false}};
  for (const std::string& name : names) answer.rows.push_back({Variant(name)});
  return answer;
}

class RefreshTest : public DataSetTest {
 protected:
  TestDADataSet* Open(const std::vector<int>& ids) {
    connection->server->Script(kSelect, Table(ids));
    TestDADataSet* query = Query();
    query->Open();
    return query;
  }
  static std::vector<int> IDs(TDataSet* data_set) {
    std::vector<int> ids;
    for (data_set->First(); !data_set->GetEOF(); data_set->Next()) ids.push_back(ID(data_set));
    return ids;
  }
  static std::string Name(TDataSet* data_set) { return data_set->FieldByName("NAME")->GetAsString(); }
};

TEST_F(RefreshTest, OneRecordIsReadAgain) {
  TestDADataSet* query = Open({1, 2, 3});
  query->Options().SetStrictUpdate(false);
  ASSERT_TRUE(query->Locate("ID", 2, {}));
  connection->server->ScriptSequence(kRefresh, {Names({"fresh"}), Names({})});
  query->RefreshRecord();
  EXPECT_EQ(Name(query), "fresh");
  EXPECT_EQ(connection->server->Executed().back().params.front().second.AsInt32(), 2);
  // Gone on the server: gone here too.
  query->RefreshRecord();
  EXPECT_EQ(IDs(query), (std::vector<int>{1, 3}));
  // Kept with RemoveOnRefresh off; with StrictUpdate the count is wrong.
  query->Options().SetRemoveOnRefresh(false);
  query->RefreshRecord();
  EXPECT_EQ(IDs(query), (std::vector<int>{1, 3}));
  query->Options().SetStrictUpdate(true);
  EXPECT_EQ(ErrorOf([&] { query->RefreshRecord(); }), "Refresh failed. Found 0 records");
}

TEST_F(RefreshTest, RefreshOptionsReadTheWrittenRowBack) {
  TestDADataSet* query = Open({1});
  connection->server->Script(kUpdate, FakeAnswer{1, {}, 0, "", {}});
  connection->server->Script(kInsert, FakeAnswer{1, {}, 0, "", {}});
  connection->server->ScriptSequence(kRefresh, {Names({"updated"}), Names({"inserted"})});
  query->SetRefreshOptions({roAfterInsert, roAfterUpdate});
  query->Edit();
  query->FieldByName("NAME")->SetAsString("edited");
  query->Post();
  EXPECT_EQ(Name(query), "updated");
  query->Append();
  query->FieldByName("ID")->SetAsInteger(9);
  query->FieldByName("NAME")->SetAsString("added");
  query->Post();
  EXPECT_EQ(Name(query), "inserted");
  query->First();
  EXPECT_EQ(Name(query), "updated");
  EXPECT_EQ(query->RecordCount(), 2);
  EXPECT_EQ(connection->server->Statements(),
            (std::vector<std::string>{kSelect, kUpdate, kRefresh, kInsert, kRefresh}));

  // The user's refresh condition goes into the dataset's own SQL.
  query->Last();
  query->GetUpdateSQLIndex(stRefresh)->SetText("  where ID = :ID");
  connection->server->Script("SELECT * FROM t\r\nWHERE ID = ?", Table({9}));
  EXPECT_EQ(ErrorOf([&] { query->RefreshRecord(); }), "no error");
  EXPECT_EQ(Shown(connection->server->Executed().back()), "SELECT * FROM t\r\nWHERE ID = ? [ID=9]");
  EXPECT_EQ(Name(query), "row 9");
}

TEST_F(RefreshTest, ARefreshedMemoIsTheFetchedOne) {
  FakeAnswer table = Table({1, 2});
  table.columns.push_back({"NOTE", dtMemo, 0, "t", false});
  for (auto& row : table.rows) row.push_back(Variant("old note"));
  connection->server->Script(kSelect, table);
  TestDADataSet* query = Query();
  query->Open();
  FakeAnswer fresh = Names({"fresh"});
  fresh.columns.push_back({"_2", dtMemo, 0, "t", false});
  fresh.rows[0].push_back(Variant("new note"));
  connection->server->Script("SELECT t.NAME AS _1, t.NOTE AS _2 FROM t\r\nWHERE\r\n  ID = ?", fresh);
  query->RefreshRecord();
  EXPECT_EQ(query->FieldByName("NOTE")->GetAsString(), "new note");
  query->Next();
  EXPECT_EQ(query->FieldByName("NOTE")->GetAsString(), "old note");
  query->First();
  EXPECT_EQ(query->FieldByName("NOTE")->GetAsString(), "new note");
  query->Close();
}

TEST_F(RefreshTest, CheckComparesWithoutWriting) {
  TestDADataSet* query = Open({1});
  FakeAnswer same = Names({"row 1"});
  FakeAnswer changed = Names({"changed"});
  same.columns[0].name = changed.columns[0].name = "NAME";
  connection->server->ScriptSequence("SELECT NAME FROM t WHERE ID = ?", {same, changed});
  EXPECT_TRUE(query->PerformSQL("SELECT NAME FROM t WHERE ID = :ID", {stCheck}));
  EXPECT_EQ(ErrorOf([&] { query->PerformSQL("SELECT NAME FROM t WHERE ID = :ID", {stCheck}); }),
            "Record was changed by another user");
  EXPECT_EQ(Name(query), "row 1");
}

TEST_F(RefreshTest, QuickRefreshMergesAndDropsWhatTheServerNoLongerHas) {
  TestDADataSet* query = Open({1, 2, 3, 4, 5});
  ASSERT_TRUE(query->Locate("ID", 4, {}));
  // The server has lost the neighbours 2 and 3 and the last row; it sends
  // row 4 changed and a new row 7.
  connection->server->Script("SELECT ID FROM t ORDER BY ID", Table({1, 4}));
  FakeAnswer changed = Table({4, 7});
  changed.rows[0][1] = Variant("changed");
  connection->server->Script("SELECT * FROM t\r\nWHERE ID = ?", changed);
  EXPECT_EQ(ErrorOf([&] { query->InternalRefreshQuick(true); }), "no error");
  EXPECT_EQ(ID(query), 4);
  EXPECT_EQ(Name(query), "changed");
  EXPECT_EQ(IDs(query), (std::vector<int>{1, 4, 7}));
  EXPECT_EQ(query->RecordCount(), 3);

  // An empty dataset runs no check-deleted statement.
  TestDADataSet* empty = Open({});
  connection->server->ClearRecords();
  empty->InternalRefreshQuick(true);
  EXPECT_EQ(connection->server->Statements(), std::vector<std::string>{"SELECT * FROM t\r\nWHERE ID = ?"});
}

}  // namespace
}  // namespace dac::test
