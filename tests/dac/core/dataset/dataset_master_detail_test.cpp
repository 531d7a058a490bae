#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/framework/data/data_source.h"
#include "dac/framework/data/field.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/core/support/data_set_fixture.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

constexpr const char* kDetails = "SELECT * FROM d";
constexpr const char* kByParam = "SELECT * FROM d WHERE MID = ?";

// Details DID (key) and MID: each pair is one row.
FakeAnswer Details(const std::vector<std::pair<int, int>>& rows) {
  FakeAnswer answer;
  answer.columns = {{"DID", dtInteger, 0, "d", true}, {"MID", dtInteger, 0, "d", false}};
  for (const auto& [did, mid] : rows) answer.rows.push_back({Variant(did), Variant(mid)});
  return answer;
}

class MasterDetailTest : public DataSetTest {
 protected:
  // The master over t with the given IDs (a null where the ID is 0), open.
  TestDADataSet* Master(const std::vector<int>& ids) {
    FakeAnswer answer = Table(ids);
    for (auto& row : answer.rows) {
      if (row[0].AsInt32() == 0) row[0] = Variant::Null();
    }
    connection->server->Script(kSelect, answer);
    TestDADataSet* master = Query();
    master->Open();
    source = Make<TDataSource>();
    source->SetDataSet(master);
    return master;
  }
  // The detail's runs of the statement, with the value bound each time.
  std::vector<int> Runs(const std::string& sql) const {
    std::vector<int> values;
    for (const FakeStatement& statement : connection->server->Executed()) {
      if (statement.sql == sql) values.push_back(statement.params.empty() ? -1 : statement.params[0].second.AsInt32());
    }
    return values;
  }
  static std::vector<int> DIDs(TDataSet* data_set) {
    std::vector<int> ids;
    for (data_set->First(); !data_set->GetEOF(); data_set->Next()) {
      ids.push_back(data_set->FieldByName("DID")->GetAsInteger());
    }
    return ids;
  }

  TDataSource* source = nullptr;
};

TEST_F(MasterDetailTest, MovesWithinTheDelayRefreshTheDetailOnce) {
  TestDADataSet* master = Master({1, 2, 3, 4, 4});
  connection->server->Script(kByParam, Details({{10, 1}}));
  TestDADataSet* detail = Query("SELECT * FROM d WHERE MID = :ID");
  detail->Options().SetDetailDelay(100);
  detail->SetMasterSource(source);
  detail->Open();
  EXPECT_EQ(Runs(kByParam), std::vector<int>{1});
  master->Next();
  master->Next();
  master->Next();
  EXPECT_EQ(Runs(kByParam), std::vector<int>{1});
  EXPECT_EQ(detail->detail_clock->interval, 100u);
  detail->detail_clock->Fire();
  EXPECT_EQ(Runs(kByParam), (std::vector<int>{1, 4}));
  EXPECT_FALSE(detail->detail_clock->running);
  // A master row with the same value: nothing to do.
  master->Next();
  EXPECT_EQ(ID(master), 4);
  EXPECT_FALSE(detail->detail_clock->running);

  // Without a delay the detail follows at once; a failing refresh gives
  // the connection back.
  detail->Options().SetDetailDelay(0);
  const int32_t users = connection->ConnectCount();
  FakeAnswer failure;
  failure.error_code = 1146;
  failure.error_message = "Table 'd' doesn't exist";
  connection->server->ScriptSequence(kByParam, {Details({{20, 3}}), failure});
  master->Prior();
  master->Prior();
  EXPECT_EQ(Runs(kByParam), (std::vector<int>{1, 4, 3}));
  EXPECT_EQ(connection->ConnectCount(), users);
  EXPECT_EQ(ErrorOf([&] { master->Prior(); }), "Table 'd' doesn't exist");
  EXPECT_EQ(connection->ConnectCount(), users);
}

TEST_F(MasterDetailTest, LocalDetailsFilterByOwnedMasterValues) {
  TestDADataSet* master = Master({1, 0, 2});
  connection->server->Script(kDetails, Details({{10, 1}, {11, 2}, {12, 1}, {13, 2}}));
  TestDADataSet* detail = Query(kDetails);
  detail->Options().SetLocalMasterDetail(true);
  detail->SetMasterSource(source);
  detail->SetMasterFields("ID");
  detail->SetDetailFields("MID");
  detail->Open();
  EXPECT_EQ(DIDs(detail), (std::vector<int>{10, 12}));
  // A null master key shows nothing.
  master->Next();
  EXPECT_EQ(DIDs(detail), std::vector<int>{});
  master->Next();
  EXPECT_EQ(DIDs(detail), (std::vector<int>{11, 13}));
  // The master scrolls and closes while the filter stands: the filter keeps
  // its own copy of the master's value.
  master->First();
  master->Close();
  detail->Data()->FilterUpdated();
  detail->Resync({});
  EXPECT_EQ(DIDs(detail), (std::vector<int>{10, 12}));
  EXPECT_EQ(Runs(kDetails).size(), 1u);
}

TEST_F(MasterDetailTest, APostedRowThatLeavesItsMasterLeavesTheDetail) {
  Master({1, 2});
  const std::string select = "SELECT * FROM d\rWHERE MID = ?";
  connection->server->Script(select, Details({{10, 1}, {11, 1}}));
  connection->server->Script("UPDATE d\r\nSET\r\n  MID = ?\r\nWHERE\r\n  DID = ?", FakeAnswer{1, {}, 0, "", {}});
  for (bool cached : {false, true}) {
    SCOPED_TRACE(cached);
    TestDADataSet* detail = Query(kDetails);
    detail->SetCachedUpdates(cached);
    detail->SetMasterSource(source);
    detail->SetMasterFields("ID");
    detail->SetDetailFields("MID");
    detail->Open();
    ASSERT_EQ(DIDs(detail), (std::vector<int>{10, 11}));
    detail->First();
    detail->Edit();
    detail->FieldByName("MID")->SetAsInteger(2);
    if (cached) {
      EXPECT_NE(AssertionTextOf([&] { detail->Post(); }).find("Can not use Master/Detail with CachedUpdates"),
                std::string::npos);
      detail->Cancel();
      continue;
    }
    detail->Post();
    EXPECT_EQ(DIDs(detail), std::vector<int>{11});
  }
}

}  // namespace
}  // namespace dac::test
