#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/update_sql.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/index_defs.h"
#include "tests/dac/core/support/fake_record_set.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/core/support/updating_data_set.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

constexpr const char* kSelect = "SELECT * FROM emp";

FakeAnswer Emp() {
  FakeAnswer answer;
  answer.columns = {
      {"ID", dtInteger, 0, "emp", true}, {"NAME", dtString, 10, "emp", false}, {"CITY", dtString, 10, "emp", false}};
  answer.rows = {{Variant(1), Variant("Ann"), Variant("Oslo")}, {Variant(2), Variant("Bob"), Variant("Rome")}};
  return answer;
}

// A delta as a provider hands it over: the old values, and new values only
// for the fields that were changed.
class DeltaDataSet : public UpdatingDataSet {
 public:
  using UpdatingDataSet::UpdatingDataSet;
  Variant GetStateFieldValue(TDataSetState state, TField* field) override {
    const auto& values = state == dsOldValue ? old_values : new_values;
    auto found = values.find(field->FieldName());
    return found == values.end() ? Variant() : found->second;
  }
  std::map<std::string, Variant> old_values;
  std::map<std::string, Variant> new_values;
};

std::vector<Variant> BoundValues(const FakeStatement& statement) {
  std::vector<Variant> values;
  for (const auto& [name, value] : statement.params) values.push_back(value);
  return values;
}

class ProviderTest : public ::testing::Test {
 protected:
  ProviderTest() {
    data_set->SetConnection(connection);
    data_set->SQL().SetText(kSelect);
    connection->server->Script(kSelect, Emp());
  }
  ~ProviderTest() override {
    data_set->Free();
    connection->Free();
  }

  TestConnection* connection = MakeComponent<TestConnection>(nullptr);
  UpdatingDataSet* data_set = MakeComponent<UpdatingDataSet>(nullptr);
};

TEST_F(ProviderTest, StatementMarkersAreNumberedOutsideLiterals) {
  const std::string sent = "INSERT INTO emp VALUES ('why?', ?, \"a?b\", ?) /* ? */";
  const std::string numbered = "INSERT INTO emp VALUES ('why?', :1, \"a?b\", :2) /* ? */";
  TDAParams params;
  params.CreateParam(ftInteger, "id", ptUnknown)->SetAsInteger(7);
  params.CreateParam(ftString, "name", ptInput)->SetAsString("Eve");
  // The server gets the markers back as "?", the literal untouched.
  connection->server->Script(sent, FakeAnswer{1, {}, 0, "", {}});

  TDataSet* result = nullptr;
  EXPECT_EQ(data_set->PSExecuteStatement(sent, &params, &result), 1);
  auto* query = dynamic_cast<TCustomDADataSet*>(result);
  ASSERT_NE(query, nullptr);
  EXPECT_EQ(query->SQL().Text(), numbered + "\r\n");
  ASSERT_EQ(query->Params().Count(), 2);
  EXPECT_EQ(query->Params().Items(0)->Name(), "1");
  EXPECT_EQ(query->Params().Items(0)->ParamType(), ptInput);
  EXPECT_EQ(query->Params().Items(0)->GetAsInteger(), 7);
  EXPECT_EQ(query->Params().Items(1)->Name(), "2");
  EXPECT_EQ(query->Params().Items(1)->GetAsString(), "Eve");
  query->Free();

  // Without a result set an SQL component runs it and goes.
  EXPECT_EQ(data_set->PSExecuteStatement(sent, &params), 1);
  ASSERT_EQ(connection->server->Executed().size(), 2u);
  EXPECT_EQ(BoundValues(connection->server->Executed()[1]), (std::vector<Variant>{Variant(7), Variant("Eve")}));
  // A failing statement frees what it made and reports the server's error.
  connection->server->ScriptError(sent, 1064, "syntax");
  EXPECT_NE(ErrorOf([&] { data_set->PSExecuteStatement(sent, &params, &result); }).find("syntax"), std::string::npos);
}

TEST_F(ProviderTest, KeyFieldsOfAClosedDataSet) {
  data_set->SetDebug(true);
  data_set->SetFetchRows(10);
  // Opening fails: nothing is left open and the settings are back.
  connection->server->ScriptError(kSelect, 1146, "no table");
  EXPECT_NE(ErrorOf([&] { data_set->PSGetKeyFields(); }).find("no table"), std::string::npos);
  auto settings = [&] {
    return std::vector<std::string>{data_set->GetActive() ? "active" : "closed", data_set->GetDebug() ? "debug" : "",
                                    data_set->GetFetchAll() ? "all" : "blocks",
                                    std::to_string(data_set->GetFetchRows())};
  };
  const std::vector<std::string> before{"closed", "debug", "all", "10"};
  EXPECT_EQ(settings(), before);

  connection->server->Script(kSelect, Emp());
  EXPECT_EQ(data_set->PSGetKeyFields(), "ID");
  EXPECT_EQ(settings(), before);
  // One row was read for it; the answer is kept.
  EXPECT_EQ(dynamic_cast<FakeRecordSet&>(*data_set->GetIRecordSet()).block_reads, 1);
  const size_t statements = connection->server->Statements().size();
  EXPECT_EQ(data_set->PSGetKeyFields(), "ID");
  EXPECT_EQ(connection->server->Statements().size(), statements);
}

TEST_F(ProviderTest, DefaultOrder) {
  struct Case {
    const char* order_by;
    const char* fields;  // null: no index
    const char* desc_fields;
  };
  const Case cases[] = {
      {"", nullptr, ""},
      {" ORDER BY 3 DESC, NAME", "CITY;NAME", "CITY"},
      {" ORDER BY NAME DESC, ID DESC", "NAME;ID", "NAME;ID"},
      {" ORDER BY 1.5, 9, 0, UPPER(NAME), ID", "NAME;ID", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order_by);
    data_set->Close();
    const std::string sql = kSelect + std::string(c.order_by);
    connection->server->Script(sql, Emp());
    data_set->SQL().SetText(sql);
    data_set->Open();
    std::unique_ptr<TIndexDef> index = data_set->PSGetDefaultOrder();
    ASSERT_EQ(index != nullptr, c.fields != nullptr);
    if (!index) continue;
    EXPECT_EQ(index->Fields(), c.fields);
    EXPECT_EQ(index->DescFields(), c.desc_fields);
  }
}

TEST_F(ProviderTest, TableNameParamsAndTransactions) {
  data_set->SQL().SetText("SELECT * FROM dept d");
  EXPECT_EQ(data_set->PSGetTableName(), "dept");
  data_set->PSSetCommandText("");
  data_set->PSSetCommandText(kSelect);
  EXPECT_EQ(data_set->SQL().Text(), std::string(kSelect) + "\r\n");
  data_set->Open();
  EXPECT_EQ(data_set->PSGetTableName(), "emp");
  data_set->Close();
  EXPECT_EQ(data_set->PSGetTableName(), "emp");

  data_set->SQL().SetText("SELECT * FROM emp WHERE ID = :ID");
  TDAParams empty;
  data_set->PSSetParams(&empty);
  EXPECT_EQ(data_set->PSGetParams()->Count(), 1);

  // A transaction only while the dataset and the connection both commit by themselves.
  connection->Connect();
  FakeConnectionCalls& calls = connection->Fake()->calls;
  connection->SetAutoCommit(false);
  data_set->PSStartTransaction();
  EXPECT_EQ(calls.start_transaction, 0);
  connection->SetAutoCommit(true);
  data_set->PSStartTransaction();
  EXPECT_TRUE(data_set->PSInTransaction());
  data_set->PSEndTransaction(false);
  EXPECT_EQ(calls.start_transaction, 1);
  EXPECT_EQ(calls.rollback, 1);
}

TEST_F(ProviderTest, DeltaRecordsThroughTheUpdateObject) {
  auto* delta = MakeComponent<DeltaDataSet>(nullptr);
  delta->SetConnection(connection);
  delta->SQL().SetText(kSelect);
  delta->Open();
  delta->old_values = {{"ID", Variant(1)}, {"NAME", Variant("Ann")}, {"CITY", Variant("Oslo")}};
  delta->new_values = {{"NAME", Variant("Eve")}};
  // Nobody applies it here: the provider does.
  EXPECT_FALSE(data_set->PSUpdateRecord(TUpdateKind::ukModify, delta));

  auto* update = MakeComponent<TCustomDAUpdateSQL>(nullptr);
  update->ModifySQL()->SetText("UPDATE emp SET NAME = :NAME, CITY = :CITY, X = :X WHERE ID = :old_ID");
  data_set->SetUpdateObject(update);
  connection->server->ClearRecords();
  EXPECT_TRUE(data_set->PSUpdateRecord(TUpdateKind::ukModify, delta));
  ASSERT_EQ(connection->server->Executed().size(), 1u);
  const FakeStatement& run = connection->server->Executed()[0];
  EXPECT_EQ(run.sql, "UPDATE emp SET NAME = ?, CITY = ?, X = ? WHERE ID = ?");
  // The unchanged CITY binds its old value; X matches no field and stays unset.
  EXPECT_EQ(BoundValues(run), (std::vector<Variant>{Variant("Eve"), Variant("Oslo"), Variant::Null(), Variant(1)}));

  // A handler decides instead.
  std::vector<TUpdateAction> answers{uaApplied, uaSkip};
  data_set->SetOnUpdateRecord([&](TDataSet* given, TUpdateKind, TUpdateAction& action) {
    EXPECT_EQ(given, delta);
    EXPECT_EQ(action, uaFail);
    action = answers.front();
    answers.erase(answers.begin());
  });
  EXPECT_TRUE(data_set->PSUpdateRecord(TUpdateKind::ukModify, delta));
  EXPECT_FALSE(data_set->PSUpdateRecord(TUpdateKind::ukModify, delta));
  EXPECT_EQ(connection->server->Executed().size(), 1u);
  data_set->SetUpdateObject(nullptr);
  update->Free();
  delta->Free();
}

}  // namespace
}  // namespace dac::test
