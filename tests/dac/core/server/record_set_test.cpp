#include "dac/core/server/record_set.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/core/support/fake_record_set.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

constexpr const char* kSelect = "SELECT ID, NAME FROM t";

FakeAnswer Table(int rows) {
  FakeAnswer answer;
  answer.columns = {{"ID", dtInteger, 0, "t", true}, {"NAME", dtString, 10, "t", false}};
  for (int i = 1; i <= rows; ++i) answer.rows.push_back({Variant(i), Variant("row " + std::to_string(i))});
  return answer;
}

class RecordSetTest : public ::testing::Test {
 protected:
  RecordSetTest() { connection->Connect(); }
  ~RecordSetTest() override {
    record_set.reset();
    connection->Free();
  }

  // A record set over the table of `rows` rows, fetching `fetch_rows` at a time.
  FakeRecordSet& Over(int rows, int fetch_rows, bool fetch_all, bool uni_directional = false) {
    connection->server->Script(kSelect, Table(rows));
    record_set.reset(static_cast<FakeRecordSet*>(connection->CreateIRecordSet().release()));
    record_set->SetSQL(kSelect);
    record_set->SetProp(prFetchRows, fetch_rows);
    record_set->SetProp(prFetchAll, fetch_all);
    record_set->SetProp(prUniDirectional, uni_directional);
    return *record_set;
  }
  int CurrentID() {
    Variant value;
    record_set->GetFieldAsVariant(1, Rec(record_set->GetCurrentItem()), value);
    return value.AsInt32();
  }
  static void* Rec(PItemHeader item) { return TBlockManager::GetRecordPtr(item); }

  TestConnection* connection = MakeComponent<TestConnection>(nullptr);
  std::unique_ptr<FakeRecordSet> record_set;
};

TEST_F(RecordSetTest, FetchesABlockAtATime) {
  struct Case {
    int rows, fetch_rows;
    bool fetch_all;
    int reads_at_open, rows_at_open, reads_after_walk;
  };
  const Case cases[] = {
      {50, 25, true, 3, 50, 3},   // a full last block: one more read finds nothing
      {40, 25, true, 2, 40, 2},   // a partial last block ends the result
      {40, 25, false, 1, 25, 2},  // the rest comes while the cursor moves
      {50, 25, false, 1, 25, 3},
      {0, 25, false, 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, " + std::to_string(c.fetch_rows) + (c.fetch_all ? " all" : ""));
    FakeRecordSet& data = Over(c.rows, c.fetch_rows, c.fetch_all);
    data.Open();
    EXPECT_EQ(data.block_reads, c.reads_at_open);
    EXPECT_EQ(data.GetRecordCount(), c.rows_at_open);
    int seen = 0;
    for (data.SetToBegin(), data.GetNextRecord(nullptr); !data.GetEOF(); data.GetNextRecord(nullptr)) {
      EXPECT_EQ(CurrentID(), ++seen);
      // Passing the cache fetches exactly the next block.
      if (!c.fetch_all && seen == c.fetch_rows) {
        EXPECT_EQ(data.block_reads, 1);
      }
      if (!c.fetch_all && seen == c.fetch_rows + 1) {
        EXPECT_EQ(data.block_reads, 2);
      }
    }
    EXPECT_EQ(seen, c.rows);
    EXPECT_EQ(data.block_reads, c.reads_after_walk);
    EXPECT_TRUE(data.CanDisconnect());
    data.Close();
  }
}

TEST_F(RecordSetTest, HiddenBlocksAreFetchedPastAndSortingFetchesAll) {
  FakeRecordSet& data = Over(40, 10, false);
  data.SetFilterText("ID > 30");
  data.Open();
  data.SetToBegin();
  data.GetNextRecord(nullptr);
  EXPECT_EQ(CurrentID(), 31);
  EXPECT_EQ(data.block_reads, 4);
  // More may come: the filter leaves EOF clear until the result is read.
  data.Close();
  data.SetFilterText("");

  Over(30, 10, false).Open();
  record_set->SetProp(prIndexFieldNames, "ID DESC");
  EXPECT_EQ(record_set->block_reads, 4);
  record_set->SetToBegin();
  record_set->GetNextRecord(nullptr);
  EXPECT_EQ(CurrentID(), 30);
}

TEST_F(RecordSetTest, ForwardOnlyKeepsOneBlock) {
  FakeRecordSet& data = Over(30, 10, false, true);
  data.Open();
  data.SetToBegin();
  for (int i = 0; i < 12; ++i) data.GetNextRecord(nullptr);
  EXPECT_EQ(CurrentID(), 12);
  EXPECT_EQ(data.GetRecordCount(), 10);
  Variant first;
  data.GetFieldAsVariant(1, Rec(data.GetFirstItem()), first);
  EXPECT_EQ(first.AsInt32(), 11);
  data.GetPriorRecord(nullptr);
  EXPECT_TRUE(data.GetBOF());
  EXPECT_EQ(data.GetCurrentItem(), nullptr);
}

TEST_F(RecordSetTest, FailuresUndoThePreparation) {
  // Describing the fields of a prepared cursor fails.
  FakeRecordSet& data = Over(3, 10, true);
  data.fail_init_fields = true;
  EXPECT_EQ(ErrorOf([&] { data.Prepare(); }), "The columns cannot be described");
  EXPECT_FALSE(data.GetPrepared());
  EXPECT_FALSE(data.Command().GetPrepared());

  // The execution fails.
  connection->server->ScriptError(kSelect, 1146, "Table 't' doesn't exist");
  data.fail_init_fields = false;
  data.Command().Prepare();
  EXPECT_EQ(ErrorOf([&] { data.Open(); }), "Table 't' doesn't exist");
  EXPECT_FALSE(data.GetActive());
  EXPECT_FALSE(data.Command().GetPrepared());
  EXPECT_EQ(data.CursorState(), csInactive);

  // A prepared cursor keeps its fields and its preparation across a close.
  connection->server->Script(kSelect, Table(3));
  data.Prepare();
  EXPECT_EQ(data.GetFieldCount(), 2);
  data.Open();
  data.Close();
  EXPECT_TRUE(data.GetPrepared());
  EXPECT_EQ(data.GetFieldCount(), 2);
  data.UnPrepare();
  EXPECT_EQ(data.GetTablesInfo().Count(), 0);
}

TEST_F(RecordSetTest, PropertiesAndNames) {
  FakeRecordSet& data = Over(3, 10, true);
  data.SetProp(prEnableEmptyStrings, true);
  EXPECT_TRUE(data.GetEnableEmptyStrings());
  data.SetProp(prCompressBlobMode, static_cast<int32_t>(cbServer));
  EXPECT_EQ(data.Command().GetCompressBlobMode(), cbServer);
  Variant value;
  EXPECT_TRUE(data.GetProp(prFetchAll, value));
  EXPECT_TRUE(value.AsBoolean());
  EXPECT_EQ(AssertionTextOf([&] { data.GetProp(prFetchRows, value); }), "21");
  EXPECT_EQ(AssertionTextOf([&] { data.SetProp(99, 1); }), "99");

  data.Open();
  auto* id = dynamic_cast<TDKFieldDesc*>(data.FieldByName("ID"));
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(GenerateTableName(*id), "t");
  EXPECT_EQ(id->ActualNameQuoted(data, true), "\"ID\"");
  EXPECT_EQ(id->ActualNameQuoted(data, false), "ID");
  // Computed once per flag: a later name is not seen.
  id->SetActualName("a b");
  EXPECT_EQ(id->ActualNameQuoted(data, false), "ID");
  TDKFieldDesc free_desc;
  free_desc.SetActualName("a b");
  EXPECT_EQ(free_desc.ActualNameQuoted(data, false), "\"a b\"");
  EXPECT_EQ(GenerateTableName(free_desc), "");
}

}  // namespace
}  // namespace dac::test
