#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/core/connection_options.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/update_sql.h"
#include "dac/framework/data/field.h"
#include "tests/dac/core/support/data_set_fixture.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

const std::string kUpdate = "UPDATE t\r\nSET\r\n  NAME = ?\r\nWHERE\r\n  ID = ?";

class CachedUpdatesTest : public DataSetTest {
 protected:
  // Rows 1 to 3 renamed "a", "b", "c" in the cache.
  TestDADataSet* Changed(int batch_size) {
    connection->server->Script(kSelect, Table({1, 2, 3}));
    connection->server->Script(kUpdate, FakeAnswer{1, {}, 0, "", {}});
    TestDADataSet* query = Query();
    query->SetCachedUpdates(true);
    query->Options().SetUpdateBatchSize(batch_size);
    query->Open();
    for (const char* name : {"a", "b", "c"}) {
      query->Edit();
      query->FieldByName("NAME")->SetAsString(name);
      query->Post();
      query->Next();
    }
    connection->server->ClearRecords();
    return query;
  }
};

TEST_F(CachedUpdatesTest, BatchesAreFlushedAtTheirSizeAndAtTheEnd) {
  const std::string two = kUpdate + ";\r\n" + kUpdate + ";";
  struct Case {
    int batch_size;
    bool update_object;
    std::vector<std::string> sent;
  };
  const std::vector<Case> cases = {
      {1, false,
       {kUpdate + " [NAME=a, Old_ID=1]", kUpdate + " [NAME=b, Old_ID=2]", kUpdate + " [NAME=c, Old_ID=3]"}},
      {2, false,
       {two + " [P_0_NAME=a, P_0_Old_ID=1, P_1_NAME=b, P_1_Old_ID=2]", kUpdate + "; [P_0_NAME=c, P_0_Old_ID=3]"}},
      // An update object's statements run one by one.
      {2, true,
       {"UPDATE t SET NAME = ? WHERE ID = ? [NAME=a, OLD_ID=1]",
        "UPDATE t SET NAME = ? WHERE ID = ? [NAME=b, OLD_ID=2]",
        "UPDATE t SET NAME = ? WHERE ID = ? [NAME=c, OLD_ID=3]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.batch_size);
    TestDADataSet* query = Changed(c.batch_size);
    if (c.update_object) {
      auto* update = Make<TCustomDAUpdateSQL>();
      update->ModifySQL()->SetText("UPDATE t SET NAME = :NAME WHERE ID = :OLD_ID");
      connection->server->Script("UPDATE t SET NAME = ? WHERE ID = ?", FakeAnswer{1, {}, 0, "", {}});
      query->SetUpdateObject(update);
    }
    query->ApplyUpdates();
    EXPECT_EQ(Sent(), c.sent);
    query->CommitUpdates();
    EXPECT_FALSE(query->UpdatesPending());
  }
}

// A lost connection runs the apply again only when nothing was committed on the way.
TEST_F(CachedUpdatesTest, ALostConnectionRerunsOnlyWithoutAutoCommit) {
  connection->Options().SetLocalFailover(true);
  for (bool auto_commit : {false, true}) {
    SCOPED_TRACE(auto_commit);
    TestDADataSet* query = Changed(1);
    query->SetAutoCommit(auto_commit);
    connection->restores = 0;
    connection->server->DropConnectionOn(kUpdate);
    if (auto_commit) {
      EXPECT_EQ(ErrorOf([&] { query->ApplyUpdates(); }), "Lost connection to the server");
      EXPECT_EQ(connection->restores, 0);
      // The changes wait for another apply.
      EXPECT_TRUE(query->GetActive());
      EXPECT_TRUE(query->UpdatesPending());
      continue;
    }
    query->ApplyUpdates();
    EXPECT_EQ(connection->restores, 1);
    EXPECT_EQ(Sent().size(), 3u);
  }
  EXPECT_EQ(ErrorOf([&] {
              TestDADataSet* query = Changed(1);
              query->SetConnection(nullptr);
              query->ApplyUpdates();
            }),
            "Connection is not defined");
}

}  // namespace
}  // namespace dac::test
