// The MySQL table component on the test server: the statement it writes
// from its settings, HANDLER reading, index definitions, emptying and
// editing by table name.
#include "dac/mysql/components/my_table.h"

#include <gtest/gtest.h>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/field.h"
#include "tests/dac/mysql/my_dataset_test_support.h"

namespace dac {
namespace {

class MyTableTest : public testing::MyDataSetTest {
 protected:
  void SetUp() override {
    MyDataSetTest::SetUp();
    if (IsSkipped()) return;
    Exec("DROP TABLE IF EXISTS orders");
    Exec("CREATE TABLE orders (id INT PRIMARY KEY, a INT, b INT, UNIQUE KEY ab (a, b), KEY bk (b))");
    Exec("INSERT INTO orders VALUES (1, 1, 10), (2, 2, 20), (3, 3, 30)");
    table = MakeComponent<TMyTable>(nullptr);
    table->SetConnection(connection);
    table->SetTableName("orders");
  }
  void TearDown() override {
    if (table) table->Free();
    MyDataSetTest::TearDown();
  }
  std::string Ids() {
    std::string ids;
    for (table->First(); !table->GetEOF(); table->Next()) ids += table->FieldByName("id")->GetAsString();
    return ids;
  }

  TMyTable* table = nullptr;
};

TEST_F(MyTableTest, TheStatementFollowsNameOrderAndWindow) {
  struct Case {
    std::string order;
    int32_t limit;
    int32_t offset;
    std::string sql;
    std::string ids;
  };
  const Case cases[] = {
      {"", -1, 0, "SELECT * FROM orders", "123"},
      {"id DESC", 10, 1, "SELECT * FROM orders ORDER BY id DESC LIMIT 1, 10", "21"},
      {"id", 2, 0, "SELECT * FROM orders ORDER BY id LIMIT 0, 2", "12"},
      // No limit with an offset: every row from the offset on.
      {"id", -1, 1, "SELECT * FROM orders ORDER BY id LIMIT 1, 18446744073709551615", "23"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    table->SetOrderFields(c.order);
    table->SetLimit(c.limit);
    table->SetOffset(c.offset);
    table->PrepareSQL();
    EXPECT_EQ(table->SQL().Text(), c.sql + "\r\n");
    if (c.ids.empty()) continue;
    table->Open();
    EXPECT_EQ(Ids(), c.ids);
    table->Close();
  }
  // A hand-written text stays until the table changes.
  table->SQL().SetText("SELECT id FROM orders WHERE id = 2");
  table->Open();
  EXPECT_EQ(Ids(), "2");
  table->SetTableName("`orders`");
  EXPECT_EQ(table->GetTableName(), "orders");
  EXPECT_EQ(table->SQL().Count(), 0);
  table->SetTableName(" ");
  EXPECT_THROW(table->Open(), EDatabaseError);
}

TEST_F(MyTableTest, EditsGoToTheNamedTable) {
  table->SetOrderFields("id");
  table->Open();
  table->Edit();
  table->FieldByName("a")->SetAsInteger(7);
  table->Post();
  EXPECT_EQ(Value("SELECT a FROM orders WHERE id = 1"), "7");
  EXPECT_EQ(table->FieldByName("a")->Origin(), "orders.a");
}

TEST_F(MyTableTest, HandlerReadsTheTableInOneText) {
  table->TableOptions().SetUseHandler(true);
  table->PrepareSQL();
  EXPECT_EQ(table->SQL().Text(),
            "HANDLER orders OPEN; HANDLER orders READ FIRST LIMIT 0, 2147483647; HANDLER orders CLOSE\r\n");
  table->SQL().Clear();
  table->TableOptions().SetHandlerIndex("`PRIMARY` = (2)");
  table->SetLimit(5);
  table->PrepareSQL();
  EXPECT_EQ(table->SQL().Text(),
            "HANDLER orders OPEN; HANDLER orders READ `PRIMARY` = (2) LIMIT 0, 5; HANDLER orders CLOSE\r\n");
  table->Open();
  EXPECT_EQ(Ids(), "2");
  table->Close();
  table->TableOptions().SetHandlerIndex("bk");
  table->SQL().Clear();
  table->PrepareSQL();
  EXPECT_NE(table->SQL().Text().find("READ bk FIRST"), std::string::npos);
}

TEST_F(MyTableTest, HandlerTakesTheFilterOnce) {
  table->TableOptions().SetUseHandler(true);
  table->SetFilterSQL("b > 10");
  table->PrepareSQL();
  const std::string read = "HANDLER orders READ FIRST WHERE b > 10 LIMIT 0, 2147483647";
  EXPECT_NE(table->GetFinalSQL().find(read), std::string::npos) << table->GetFinalSQL();
  EXPECT_EQ(table->GetFinalSQL().find("WHERE"), table->GetFinalSQL().rfind("WHERE"));
  table->Open();
  EXPECT_EQ(Ids(), "23");
}

TEST_F(MyTableTest, IndexDefinitionsComeFromTheServer) {
  TIndexDefs& defs = table->GetIndexDefs();
  ASSERT_EQ(defs.Count(), 3);
  TIndexDef* ab = static_cast<TIndexDef*>(defs.FindItem("ab"));
  ASSERT_NE(ab, nullptr);
  EXPECT_EQ(ab->Fields(), "a;b");
  EXPECT_TRUE(ab->Options().Contains(ixUnique));
  EXPECT_FALSE(static_cast<TIndexDef*>(defs.FindItem("bk"))->Options().Contains(ixUnique));
}

TEST_F(MyTableTest, EmptyTableDeletesEveryRowAndQuotesTheName) {
  Exec("DROP TABLE IF EXISTS `odd name`");
  Exec("CREATE TABLE `odd name` (id INT PRIMARY KEY)");
  Exec("INSERT INTO `odd name` VALUES (1)");
  table->SetTableName("odd name");
  table->Open();
  table->EmptyTable();
  EXPECT_EQ(table->RecordCount(), 0);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM `odd name`"), "0");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM orders"), "3");
}

}  // namespace
}  // namespace dac
