#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/core/data_access_globals.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/macros.h"
#include "dac/core/sql_component.h"
#include "dac/framework/data/data_source.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/core/support/test_da_dataset.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

class DataSetTextTest : public ::testing::Test {
 protected:
  ~DataSetTextTest() override {
    BaseSQLOldBehavior = false;
    for (TComponent* component : owned_) component->Free();
  }
  template <typename T>
  T* Make() {
    owned_.insert(owned_.begin(), MakeComponent<T>(nullptr));
    return static_cast<T*>(owned_.front());
  }
  TestDADataSet* Query(const std::string& sql) {
    auto* data_set = Make<TestDADataSet>();
    data_set->SetConnection(connection);
    data_set->SQL().SetText(sql);
    return data_set;
  }

  std::vector<TComponent*> owned_;
  TestConnection* connection = Make<TestConnection>();
};

TEST_F(DataSetTextTest, EditsRememberTheTextTheyStartedFrom) {
  for (bool old_behavior : {false, true}) {
    SCOPED_TRACE(old_behavior ? "old behavior" : "new behavior");
    BaseSQLOldBehavior = old_behavior;
    TestDADataSet* query = Query("SELECT * FROM t WHERE a = 1\r\nORDER BY a");
    query->AddWhere("b = 2");
    EXPECT_EQ(query->SQL().Text(), "SELECT * FROM t WHERE (a = 1) AND b = 2 \r\nORDER BY a\r\n");
    query->SetOrderBy("b;c");
    EXPECT_EQ(query->GetOrderBy(), " b,c");
    query->DeleteWhere();
    EXPECT_EQ(query->SQL().Text(), "SELECT * FROM t \r\nORDER BY b,c\r\n");
    EXPECT_TRUE(query->SQLSaved());
    EXPECT_EQ(query->GetBaseSQL(), "SELECT * FROM t WHERE a = 1\r\nORDER BY a\r\n");
    // The user's own change forgets the base, unless the old behavior keeps it.
    query->SQL().SetText("SELECT * FROM u");
    EXPECT_EQ(query->SQLSaved(), old_behavior);
    query->RestoreSQL();
    EXPECT_EQ(query->SQL().Text(), old_behavior ? "SELECT * FROM t WHERE a = 1\r\nORDER BY a\r\n" : "SELECT * FROM u\r\n");
    EXPECT_FALSE(query->SQLSaved());
  }
}

TEST_F(DataSetTextTest, FinalSQLCarriesTheFilterAndTheMasterCondition) {
  TestDADataSet* master = Query("SELECT * FROM m");
  auto* source = Make<TDataSource>();
  source->SetDataSet(master);
  TestDADataSet* detail = Query("SELECT * FROM d &extra");
  detail->MacroByName("extra")->SetValue("WHERE x = 0");
  detail->SetFilterSQL("  y > 1 ");
  EXPECT_EQ(detail->GetFilterSQL(), "y > 1");
  EXPECT_EQ(detail->GetFinalSQL(), "SELECT * FROM d WHERE (x = 0) AND y > 1 ");
  detail->SetMasterSource(source);
  detail->SetMasterFields("ID;NAME");
  detail->SetDetailFields("MASTER_ID;MASTER NAME;IGNORED");
  EXPECT_EQ(detail->GetFinalSQL(),
            "SELECT * FROM d WHERE ((x = 0) AND y > 1) AND MASTER_ID = :ID and \"MASTER NAME\" = :NAME ");
  // The master's names are the parameters of the statement sent.
  detail->AssembleSQL();
  ASSERT_EQ(detail->ParamCount(), 2);
  EXPECT_EQ(detail->Params().Items(0)->Name(), "ID");
  EXPECT_EQ(detail->Params().Items(1)->Name(), "NAME");
  EXPECT_EQ(detail->GetCommand()->FinalSQL(),
            "SELECT * FROM d WHERE ((x = 0) AND y > 1) AND MASTER_ID = ? and \"MASTER NAME\" = ? ");
  detail->Options().SetQuoteNames(true);
  detail->SetFilterSQL("");
  EXPECT_EQ(detail->GetFinalSQL(),
            "SELECT * FROM d WHERE (x = 0) AND \"MASTER_ID\" = :\"ID\" and \"MASTER NAME\" = :\"NAME\" ");
  // Matched in memory, the condition stays out of the SQL.
  detail->Options().SetLocalMasterDetail(true);
  EXPECT_EQ(detail->GetFinalSQL(), "SELECT * FROM d WHERE x = 0");
  EXPECT_EQ(ErrorOf([&] { master->SetMasterSource(Make<TDataSource>()); }), "no error");
  auto* detail_source = Make<TDataSource>();
  detail_source->SetDataSet(detail);
  EXPECT_EQ(ErrorOf([&] { master->SetMasterSource(detail_source); }), "Circular datalinks are not allowed");
}

TEST_F(DataSetTextTest, AFilterThatFailsToReopenIsTakenBack) {
  FakeAnswer table;
  table.columns = {{"ID", dtInteger, 0, "t", true}};
  table.rows = {{Variant(1)}, {Variant(2)}};
  connection->server->Script("SELECT * FROM t", table);
  connection->server->Script("SELECT * FROM t\rWHERE ID > 1 ", FakeAnswer{0, {{Variant(2)}}, 0, "", table.columns});
  connection->server->ScriptError("SELECT * FROM t\rWHERE bad ", 1054, "Unknown column 'bad'");
  TestDADataSet* query = Query("SELECT * FROM t");
  query->Open();
  query->SetFilterSQL("ID > 1");
  EXPECT_TRUE(query->GetActive());
  EXPECT_EQ(query->RecordCount(), 1);
  EXPECT_EQ(ErrorOf([&] { query->SetFilterSQL("bad"); }), "Unknown column 'bad'");
  EXPECT_EQ(query->GetFilterSQL(), "ID > 1");
  EXPECT_EQ(query->GetCommand()->FinalSQL(), "SELECT * FROM t\rWHERE ID > 1 ");
  query->Open();
  EXPECT_EQ(query->RecordCount(), 1);
}

}  // namespace
}  // namespace dac::test
