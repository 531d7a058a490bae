#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/sql_component.h"
#include "dac/core/update_sql.h"
#include "dac/framework/classes/streams.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/filer.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/core/support/data_set_fixture.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

constexpr const char* kUpdate = "UPDATE t\r\nSET\r\n  NAME = ?\r\nWHERE\r\n  ID = ?";
constexpr const char* kInsert = "INSERT INTO t\r\n  (NAME)\r\nVALUES\r\n  (?)";
constexpr const char* kDelete = "DELETE FROM t\r\nWHERE\r\n  ID = ?";

FakeAnswer Affected(int32_t rows) {
  FakeAnswer answer;
  answer.rows_affected = rows;
  return answer;
}

class WriteBackTest : public DataSetTest {
 protected:
  // An open dataset over t with rows 1 and 2; the server counts one row per write.
  TestDADataSet* Open() {
    for (const char* sql : {kUpdate, kInsert, kDelete}) connection->server->Script(sql, Affected(1));
    connection->server->Script(kSelect, Table({1, 2}));
    TestDADataSet* query = Query();
    query->Open();
    connection->server->ClearRecords();
    return query;
  }
  static void Rename(TDataSet* data_set, const std::string& name) {
    data_set->Edit();
    data_set->FieldByName("NAME")->SetAsString(name);
    data_set->Post();
  }
};

TEST_F(WriteBackTest, EditsReachTheServerWithNewAndOldValues) {
  struct Case {
    const char* what;
    std::function<void(TestDADataSet*)> action;
    std::vector<std::string> sent;
  };
  const std::vector<Case> cases = {
      {"update", [](TestDADataSet* q) { Rename(q, "x"); }, {std::string(kUpdate) + " [NAME=x, Old_ID=1]"}},
      {"insert",
       [](TestDADataSet* q) {
         q->Append();
         q->FieldByName("NAME")->SetAsString("new");
         q->Post();
       },
       {std::string(kInsert) + " [NAME=new]"}},
      {"delete",
       [](TestDADataSet* q) {
         q->Last();
         q->Delete();
       },
       {std::string(kDelete) + " [Old_ID=2]"}},
      // Nothing changed: no statement.
      {"unchanged", [](TestDADataSet* q) { Rename(q, "row 1"); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestDADataSet* query = Open();
    c.action(query);
    EXPECT_EQ(Sent(), c.sent);
  }
}

TEST_F(WriteBackTest, StrictUpdateWantsExactlyOneRow) {
  struct Case {
    int32_t rows;
    bool strict;
    std::string error;
  };
  const std::vector<Case> cases = {
      {1, true, "no error"},
      {0, true, "Update failed. Found 0 records"},
      {2, true, "Update failed. Found 2 records"},
      {-1, true, "no error"},  // the server cannot count
      {0, false, "no error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    TestDADataSet* query = Open();
    query->Options().SetStrictUpdate(c.strict);
    connection->server->Script(kUpdate, Affected(c.rows));
    EXPECT_EQ(ErrorOf([&] { Rename(query, "x"); }), c.error);
    if (c.error != "no error") query->Cancel();
    EXPECT_EQ(query->RowsAffected(), c.rows);
  }
}

TEST_F(WriteBackTest, StatementsComeFromTheDataSetOrTheUpdateObject) {
  TestDADataSet* query = Open();
  // The dataset's own SQL: parameters bind by name, OLD_ the old value, a
  // number the field of that number.
  query->GetUpdateSQLIndex(stUpdate)->SetText("UPDATE t SET NAME = :NAME, X = :2 WHERE ID = :OLD_ID");
  connection->server->Script("UPDATE t SET NAME = ?, X = ? WHERE ID = ?", Affected(1));
  ASSERT_EQ(ErrorOf([&] { Rename(query, "own"); }), "no error");
  EXPECT_EQ(Sent(), std::vector<std::string>{"UPDATE t SET NAME = ?, X = ? WHERE ID = ? [NAME=own, 2=own, OLD_ID=1]"});

  // The update object's SQL takes precedence.
  auto* update = Make<TCustomDAUpdateSQL>();
  query->SetUpdateObject(update);
  update->ModifySQL()->SetText("UPDATE u SET N = :NAME WHERE ID = :OLD_ID");
  connection->server->Script("UPDATE u SET N = ? WHERE ID = ?", Affected(1));
  connection->server->ClearRecords();
  Rename(query, "object");
  EXPECT_EQ(Sent(), std::vector<std::string>{"UPDATE u SET N = ? WHERE ID = ? [NAME=object, OLD_ID=1]"});

  // An update object's component runs its own statement, which must not be empty.
  TestDADataSet* modify = Query("");
  update->SetModifyObject(modify);
  EXPECT_EQ(ErrorOf([&] { Rename(query, "empty"); }),
            "SQL property of InsertObject, ModifyObject, DeleteObject or RefreshObject cannot be empty");
  query->Cancel();
  modify->SQL().SetText("UPDATE v SET N = 1");
  connection->server->Script("UPDATE v SET N = 1", Affected(1));
  connection->server->ClearRecords();
  Rename(query, "component");
  EXPECT_EQ(Sent(), std::vector<std::string>{"UPDATE v SET N = 1 []"});
  // Its ExecSQL runs through the dataset.
  connection->server->ClearRecords();
  update->SetModifyObject(nullptr);
  update->ExecSQL(TUpdateKind::ukModify);
  EXPECT_EQ(Sent(), std::vector<std::string>{"UPDATE u SET N = ? WHERE ID = ? [NAME=component, OLD_ID=1]"});
}

TEST_F(WriteBackTest, ARealOldFieldAndAnUnknownParameter) {
  FakeAnswer table = Table({1});
  table.columns.push_back({"OLD_NAME", dtString, 10, "t", false});
  table.rows[0].push_back(Variant("kept"));
  connection->server->Script(kSelect, table);
  TestDADataSet* query = Query();
  query->Open();
  query->GetUpdateSQLIndex(stUpdate)->SetText("UPDATE t SET X = :OLD_NAME, Y = :MISSING");
  connection->server->Script("UPDATE t SET X = ?, Y = ?", Affected(1));
  EXPECT_EQ(ErrorOf([&] { Rename(query, "x"); }), "Not found field corresponding parameter MISSING");
  query->Cancel();
  // With a handler the parameter is the handler's to fill; its type must be known.
  query->SetBeforeUpdateExecute([](TDataSet*, TStatementTypes, TParams* params) {
    params->ParamByName("MISSING")->SetAsInteger(5);
  });
  connection->server->ClearRecords();
  Rename(query, "x");
  EXPECT_EQ(Sent(), std::vector<std::string>{"UPDATE t SET X = ?, Y = ? [OLD_NAME=kept, MISSING=5]"});
  query->SetBeforeUpdateExecute([](TDataSet*, TStatementTypes, TParams*) {});
  query->GetUpdateSQLIndex(stUpdate)->SetText("UPDATE t SET Y = :OTHER");
  EXPECT_EQ(ErrorOf([&] { Rename(query, "y"); }), "Unknown type of parameter OTHER");
}

TEST_F(WriteBackTest, ReturnedParametersComeBackIntoTheRow) {
  TestDADataSet* query = Open();
  query->Options().SetReturnParams(true);
  query->SetBeforeUpdateExecute([](TDataSet*, TStatementTypes types, TParams* params) {
    if (types == TStatementTypes{stUpdate}) params->ParamByName("NAME")->SetAsString("server");
  });
  Rename(query, "x");
  EXPECT_EQ(query->FieldByName("NAME")->GetAsString(), "server");
}

// An edit that holds the connection gives it back once: after the post, or
// after the cancel that follows a failed post.
TEST_F(WriteBackTest, AnEditHoldsTheConnectionUntilItEnds) {
  TestDADataSet* query = Open();
  query->edit_preconnect = true;
  const int32_t users = connection->ConnectCount();
  query->Edit();
  EXPECT_EQ(connection->ConnectCount(), users + 1);
  query->FieldByName("NAME")->SetAsString("x");
  connection->server->Script(kUpdate, Affected(0));
  EXPECT_EQ(ErrorOf([&] { query->Post(); }), "Update failed. Found 0 records");
  EXPECT_EQ(connection->ConnectCount(), users + 1);
  query->Cancel();
  EXPECT_EQ(connection->ConnectCount(), users);
  connection->server->Script(kUpdate, Affected(1));
  Rename(query, "y");
  EXPECT_EQ(connection->ConnectCount(), users);
}

TEST_F(WriteBackTest, FieldObjectsSizesAndFiledParameters) {
  FakeAnswer table = Table({1});
  table.columns[0].length = 10;
  table.columns.push_back({"NOTE", dtMemo, 0, "t", false});
  table.rows[0].push_back(Variant("text"));
  connection->server->Script("SELECT * FROM t WHERE ID = ?", table);
  TestDADataSet* query = Query("SELECT * FROM t WHERE ID = :ID");
  query->ParamByName("ID")->SetAsInteger(5);
  query->Open();
  EXPECT_NE(query->GetFieldObject("NOTE"), nullptr);
  EXPECT_EQ(ErrorOf([&] { query->GetFieldObject("NAME"); }), "Field is not BLOB");
  EXPECT_EQ(query->GetFieldPrecision("ID"), 10);
  EXPECT_EQ(query->GetFieldPrecision("NAME"), 0);

  // The parameters travel with the filed dataset; none, nothing is written.
  TMemoryStream stream;
  TWriter(stream).WriteComponent(*query);
  stream.SetPosition(0);
  TestDADataSet* copy = Query("");
  TReader(stream).ReadComponent(*copy);
  ASSERT_EQ(copy->ParamCount(), 1);
  EXPECT_EQ(copy->ParamByName("ID")->AsInteger(), 5);
  TMemoryStream empty;
  TWriter(empty).WriteComponent(*Query(""));
  const std::string bytes(static_cast<const char*>(empty.Memory()), static_cast<size_t>(empty.GetSize()));
  EXPECT_EQ(bytes.find("ParamData"), std::string::npos);
}

}  // namespace
}  // namespace dac::test
