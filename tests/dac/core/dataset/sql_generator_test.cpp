#include "dac/core/dataset/sql_generator.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/param_info.h"
#include "dac/core/server/record_set.h"
#include "dac/framework/data/field.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/core/support/updating_data_set.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

// dept: key ID and NAME. notes: no key, a NULL B and a memo C.
FakeAnswer Dept() {
  FakeAnswer answer;
  answer.columns = {{"ID", dtInteger, 0, "dept", true}, {"NAME", dtString, 10, "dept", false}};
  answer.rows = {{Variant(10), Variant("Sales")}};
  return answer;
}

FakeAnswer Notes() {
  FakeAnswer answer;
  answer.columns = {
      {"A", dtInteger, 0, "notes", false}, {"B", dtString, 10, "notes", false}, {"C", dtMemo, 0, "notes", false}};
  answer.rows = {{Variant(1), Variant(), Variant("text")}};
  return answer;
}

using Arrange = std::function<void(UpdatingDataSet&)>;

void Rename(UpdatingDataSet& data_set) {
  data_set.Edit();
  data_set.FieldByName("NAME")->SetAsString("Research");
}

void Rewrite(UpdatingDataSet& data_set) {
  data_set.Edit();
  data_set.FieldByName("C")->SetAsString("new text");
}

struct GeneratorCase {
  const char* what;
  const char* table;
  TStatementType type;
  bool skip_unchanged;
  bool target;  // a parameter collection receives the parameters
  int index;
  Arrange edit;     // on the open dataset
  Arrange arrange;  // on the closed dataset
  const char* sql;
  // name=field [old] [#batch index] of each parameter.
  std::vector<std::string> params;
};

// clang-format off
const GeneratorCase kCases[] = {
    {"insert, named markers", "dept", stInsert, false, false, -1, nullptr, nullptr,
     "INSERT INTO dept\r\n  (ID, NAME)\r\nVALUES\r\n  (:ID, :NAME)", {}},
    {"insert into a collection", "dept", stInsert, false, true, -1, nullptr, nullptr,
     "INSERT INTO dept\r\n  (ID, NAME)\r\nVALUES\r\n  (?, ?)", {"ID=ID", "NAME=NAME"}},
    {"insert leaves out NULL values", "notes", stInsert, true, true, -1, nullptr, nullptr,
     "INSERT INTO notes\r\n  (A, C)\r\nVALUES\r\n  (?, ?)", {"A=A", "C=C"}},
    {"update, named markers", "dept", stUpdate, true, false, -1, Rename, nullptr,
     "UPDATE dept\r\nSET\r\n  NAME = :NAME\r\nWHERE\r\n  ID = :Old_ID", {}},
    {"update into a collection", "dept", stUpdate, true, true, -1, Rename, nullptr,
     "UPDATE dept\r\nSET\r\n  NAME = ?\r\nWHERE\r\n  ID = ?", {"NAME=NAME", "Old_ID=ID old"}},
    {"update of every column", "dept", stUpdate, false, true, -1, nullptr, nullptr,
     "UPDATE dept\r\nSET\r\n  ID = ?, NAME = ?\r\nWHERE\r\n  ID = ?", {"ID=ID", "NAME=NAME", "Old_ID=ID old"}},
    {"update with nothing changed", "dept", stUpdate, true, true, -1, nullptr, nullptr, "", {}},
    {"update in a batch", "dept", stUpdate, true, true, 3, Rename, nullptr,
     "UPDATE dept\r\nSET\r\n  NAME = ?\r\nWHERE\r\n  ID = ?", {"P_3_NAME=NAME #3", "P_3_Old_ID=ID old #3"}},
    {"update of a memo: its blob was written", "notes", stUpdate, true, true, -1, Rewrite, nullptr,
     "UPDATE notes\r\nSET\r\n  C = ?\r\nWHERE\r\n  A = ? AND B IS NULL", {"C=C", "Old_A=A old"}},
    {"delete", "dept", stDelete, true, true, -1, nullptr, nullptr,
     "DELETE FROM dept\r\nWHERE\r\n  ID = ?", {"Old_ID=ID old"}},
    {"delete in a batch", "dept", stDelete, false, false, 12, nullptr, nullptr,
     "DELETE FROM dept\r\nWHERE\r\n  ID = :P_12_Old_ID", {}},
    {"delete without keys: no blobs, NULL compared with IS NULL", "notes", stDelete, true, true, -1, nullptr, nullptr,
     "DELETE FROM notes\r\nWHERE\r\n  A = ? AND B IS NULL", {"Old_A=A old"}},
    {"delete without keys, every value compared", "notes", stDelete, false, true, -1, nullptr, nullptr,
     "DELETE FROM notes\r\nWHERE\r\n  A = ? AND B = ?", {"Old_A=A old", "Old_B=B old"}},
    {"quoted names", "dept", stInsert, false, true, -1, nullptr,
     [](UpdatingDataSet& d) { d.Options().SetQuoteNames(true); },
     "INSERT INTO \"dept\"\r\n  (\"ID\", \"NAME\")\r\nVALUES\r\n  (?, ?)", {"\"ID\"=ID", "\"NAME\"=NAME"}},
    {"refresh", "dept", stRefresh, true, true, -1, nullptr, nullptr,
     "SELECT dept.ID AS _0, dept.NAME AS _1 FROM dept\r\nWHERE\r\n  ID = ?", {"ID=ID"}},
    {"refresh while designing: no aliases", "dept", stRefresh, true, true, -1, nullptr,
     [](UpdatingDataSet& d) { d.SetDesigning(true); },
     "SELECT dept.ID, dept.NAME FROM dept\r\nWHERE\r\n  ID = ?", {"ID=ID"}},
    {"refresh of cached updates compares old values", "dept", stRefresh, true, true, -1, nullptr,
     [](UpdatingDataSet& d) { d.SetCachedUpdates(true); },
     "SELECT dept.ID AS _0, dept.NAME AS _1 FROM dept\r\nWHERE\r\n  ID = ?", {"Old_ID=ID old"}},
    {"full refresh: the dataset's SQL and named markers", "dept", stRefresh, true, true, -1, nullptr,
     [](UpdatingDataSet& d) { d.Options().SetFullRefresh(true); },
     "SELECT * FROM dept\rWHERE \r\n  dept.ID = :ID ", {"ID=ID"}},
    {"read-only refresh: the table prefix", "dept", stRefresh, true, true, -1, nullptr,
     [](UpdatingDataSet& d) { d.SetReadOnly(true); },
     "SELECT * FROM dept\rWHERE \r\n  dept.ID = ? ", {"ID=ID"}},
    {"quick refresh", "dept", stRefreshQuick, true, true, -1, nullptr, nullptr,
     "SELECT * FROM dept\rWHERE ID = ? ", {"Old_ID=ID old"}},
    {"check deleted", "dept", stRefreshCheckDeleted, true, true, -1, nullptr, nullptr,
     "SELECT ID FROM dept ORDER BY ID", {}},
    {"check deleted, read-only", "dept", stRefreshCheckDeleted, true, true, -1, nullptr,
     [](UpdatingDataSet& d) { d.SetReadOnly(true); },
     "SELECT dept.ID AS ID FROM dept ORDER BY dept.ID", {}},
    {"lock: nothing here", "dept", stLock, true, true, -1, nullptr, nullptr, "", {}},
};
// clang-format on

class SqlGeneratorTest : public ::testing::Test {
 protected:
  ~SqlGeneratorTest() override {
    data_set->Free();
    connection->Free();
  }

  void Open(const std::string& table, const std::string& where = "") {
    const std::string sql = "SELECT * FROM " + table + where;
    connection->server->Script(sql, table == "dept" ? Dept() : Notes());
    data_set->SQL().SetText(sql);
    data_set->Open();
  }

  std::vector<std::string> ParamsOf(TDAParams& params) {
    std::vector<std::string> described;
    TDAParamsInfo* info = data_set->SQLGenerator()->ParamsInfo();
    EXPECT_EQ(info->Count(), params.Count());
    for (int i = 0; i < params.Count() && i < info->Count(); ++i) {
      const TDAParamInfo* item = info->Items(i);
      std::string text = params.Items(i)->Name() + "=" + (item->GetField() ? item->GetField()->FieldName() : "?");
      if (item->GetOld()) text += " old";
      if (item->GetParamIndex() >= 0) text += " #" + std::to_string(item->GetParamIndex());
      described.push_back(text);
      EXPECT_EQ(params.Items(i)->ParamRef(), params.Items(i)) << text;
    }
    return described;
  }

  TestConnection* connection = MakeComponent<TestConnection>(nullptr);
  UpdatingDataSet* data_set = [this] {
    auto* made = MakeComponent<UpdatingDataSet>(nullptr);
    made->SetConnection(connection);
    return made;
  }();
};

TEST_F(SqlGeneratorTest, StatementTexts) {
  for (const GeneratorCase& c : kCases) {
    SCOPED_TRACE(c.what);
    data_set->Close();
    data_set->SetReadOnly(false);
    data_set->SetCachedUpdates(false);
    data_set->SetDesigning(false);
    data_set->Options().SetQuoteNames(false);
    data_set->Options().SetFullRefresh(false);
    if (c.arrange) c.arrange(*data_set);
    Open(c.table);
    if (c.edit) c.edit(*data_set);
    TDAParams params;
    EXPECT_EQ(data_set->SQLGenerator()->GenerateSQL(c.type, c.skip_unchanged, c.target ? &params : nullptr, c.index),
              c.sql);
    if (c.target) {
      EXPECT_EQ(ParamsOf(params), c.params);
    }
    if (data_set->GetState() == dsEdit) data_set->Cancel();
  }
}

TEST_F(SqlGeneratorTest, CheckDeletedKeepsTheStatementsCondition) {
  Open("dept", " WHERE ID > 5");
  TDAParams params;
  EXPECT_EQ(data_set->SQLGenerator()->GenerateSQL(stRefreshCheckDeleted, false, &params),
            "SELECT ID FROM dept WHERE ID > 5 ORDER BY ID");
}

TEST_F(SqlGeneratorTest, Errors) {
  TDASQLGenerator& generator = *data_set->SQLGenerator();
  // Without an updating table there is no statement.
  EXPECT_EQ(generator.GenerateSQL(stUpdate, false, nullptr), "");
  Open("dept");
  TKeyAndDataFields none;
  TDKTableInfo unnamed(nullptr);
  TDKTableInfo* dept = data_set->GetTablesInfo()->Items(0);
  EXPECT_EQ(ErrorOf([&] { generator.GenerateSQLforUpdTable(dept, none, stDelete, false, nullptr, -1); }),
            "Key fields not found");
  EXPECT_EQ(ErrorOf([&] { generator.GenerateSQLforUpdTable(&unnamed, none, stInsert, false, nullptr, -1); }),
            "TableInfo name must be provided");
  for (TStatementType type : {stQuery, stCheck, stCustom, stBatchUpdate}) {
    TDAParams params;
    EXPECT_EQ(ErrorOf([&] { generator.GenerateSQL(type, false, &params); }), "Bad statement type");
    // The collection is usable again after the failure.
    EXPECT_EQ(params.UpdateCount(), 0);
  }
}

TEST(SqlGeneratorNames, FieldIndexes) {
  TestConnection* connection = MakeComponent<TestConnection>(nullptr);
  auto* data_set = MakeComponent<UpdatingDataSet>(nullptr);
  TDASQLGenerator& generator = *data_set->SQLGenerator();
  EXPECT_EQ(generator.GenerateIndexName("7"), "_7");
  const std::pair<const char*, int> decoded[] = {{"_0", 0}, {"_12", 12}, {"_", -1}, {"12", -1}, {"_x", -1}, {"", -1}};
  for (const auto& [name, index] : decoded) EXPECT_EQ(generator.DecodeFieldIndex(name), index) << name;
  EXPECT_EQ(AssertionTextOf([] { TDASQLGenerator generator(nullptr); }), "Assertion failure");

  // A column name qualified by its own table loses the qualifier.
  TDKTableInfo dept(nullptr), dept_again(nullptr), emp(nullptr);
  dept.SetTableName("dept");
  dept_again.SetTableName("dept");
  emp.SetTableName("emp");
  TDKFieldDesc column;
  column.SetActualName("dept.ID");
  column.SetTableInfo(&dept);
  EXPECT_EQ(generator.GetActualFieldNameEx(&column, &dept), "ID");
  EXPECT_EQ(generator.GetActualFieldNameEx(&column, &dept_again), "ID");
  EXPECT_EQ(generator.GetActualFieldNameEx(&column, &emp), "dept.ID");
  column.SetActualName("deptx.ID");
  EXPECT_EQ(generator.GetActualFieldNameEx(&column, &dept), "deptx.ID");
  data_set->Free();
  connection->Free();
}

}  // namespace
}  // namespace dac::test
