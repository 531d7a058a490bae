#include "dac/core/dataset/dataset_component.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dac/core/access_utils.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/dataset_utils.h"
#include "dac/core/server/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/core/update_sql.h"
#include "dac/framework/classes/streams.h"
#include "dac/framework/data/field.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/core/support/data_set_fixture.h"
#include "tests/dac/core/support/fake_record_set.h"
#include "tests/dac/core/support/test_connection.h"
#include "tests/dac/core/support/test_da_dataset.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

TEST_F(DataSetTest, OpensAndFetchesInBlocks) {
  connection->server->Script(kSelect, Table(Count(25)));
  TestDADataSet* query = Query();
  query->SetFetchRows(10);
  query->SetFetchAll(false);
  int after_fetch = 0;
  query->SetAfterFetch([&](TDataSet*) { ++after_fetch; });
  query->Open();
  EXPECT_EQ(query->FieldCount(), 2);
  EXPECT_EQ(query->RecordCount(), 10);
  EXPECT_EQ(after_fetch, 1);
  EXPECT_FALSE(query->Fetched());
  int rows = 0;
  for (query->First(); !query->GetEOF(); query->Next()) EXPECT_EQ(ID(query), ++rows);
  EXPECT_EQ(rows, 25);
  EXPECT_EQ(after_fetch, 3);
  EXPECT_TRUE(query->Fetched());
  EXPECT_EQ(query->RowsAffected(), -1);
  query->Close();

  // Fetching everything: AfterFetch comes once, after the last block.
  after_fetch = 0;
  Records(query).block_reads = 0;
  query->SetFetchAll(true);
  query->Open();
  EXPECT_EQ(query->RecordCount(), 25);
  EXPECT_EQ(Records(query).block_reads, 3);
  EXPECT_EQ(after_fetch, 1);
  // Switched on while open, the rest comes at once.
  query->Close();
  query->SetFetchAll(false);
  query->Open();
  query->SetFetchAll(true);
  EXPECT_EQ(query->RecordCount(), 25);
}

TEST_F(DataSetTest, ExecutesStatementsAndQueries) {
  connection->server->Script("UPDATE t SET a = 1", FakeAnswer{3, {}, 0, "", {}});
  connection->server->Script(kSelect, Table({1, 2}));
  TestDADataSet* statement = Query("UPDATE t SET a = 1");
  std::vector<bool> reports;
  statement->SetAfterExecute([&](TObject* sender, bool result) {
    EXPECT_EQ(sender, statement);
    reports.push_back(result);
  });
  statement->Execute();
  EXPECT_EQ(statement->RowsAffected(), 3);
  EXPECT_FALSE(statement->GetActive());
  EXPECT_EQ(reports, std::vector<bool>{true});

  TestDADataSet* query = Query();
  query->Execute();
  EXPECT_TRUE(query->GetActive());
  EXPECT_TRUE(query->IsQuery());
  EXPECT_EQ(query->RecordCount(), 2);
  EXPECT_EQ(connection->server->Statements(), (std::vector<std::string>{"UPDATE t SET a = 1", kSelect}));
}

TEST_F(DataSetTest, RefreshFindsTheRowAgain) {
  connection->server->Script(kSelect, Table(Count(5)));
  TestDADataSet* query = Query();
  query->Open();
  ASSERT_TRUE(query->Locate("ID", 3, {}));
  connection->server->Script(kSelect, Table({5, 4, 3, 2, 1}));
  query->Refresh();
  EXPECT_EQ(ID(query), 3);
  EXPECT_EQ(query->RecNo(), 3);
  // The row went: the first one.
  connection->server->Script(kSelect, Table({5, 4, 2, 1}));
  query->Refresh();
  EXPECT_EQ(ID(query), 5);
  // A reopen with other columns is refused.
  FakeAnswer wider = Table({1});
  wider.columns.push_back({"X", dtInteger, 0, "t", false});
  wider.rows[0].push_back(Variant(7));
  connection->server->Script(kSelect, wider);
  EXPECT_NE(ErrorOf([&] { query->Refresh(); }).find("Fields count has changed after reopen"), std::string::npos);
}

TEST_F(DataSetTest, AnOpenThatLosesTheConnectionRunsAgain) {
  connection->server->Script(kSelect, Table(Count(3)));
  connection->server->DropConnectionOn(kSelect);
  connection->Options().SetLocalFailover(true);
  TestDADataSet* query = Query();
  query->Open();
  EXPECT_EQ(query->RecordCount(), 3);
  EXPECT_EQ(connection->restores, 1);
  EXPECT_EQ(Records(query).Command().executions.size(), 2u);
  EXPECT_EQ(connection->ConnectCount(), 0);
}

TEST_F(DataSetTest, FindKeyTakesTheKeysInOrder) {
  FakeAnswer answer;
  answer.columns = {{"K1", dtInteger, 0, "t", true}, {"K2", dtInteger, 0, "t", true}, {"V", dtString, 5, "t", false}};
  answer.rows = {{Variant(1), Variant(10), Variant("a")},
                 {Variant(1), Variant::Null(), Variant("b")},
                 {Variant(2), Variant(20), Variant("c")}};
  connection->server->Script(kSelect, answer);
  TestDADataSet* query = Query();
  query->Open();
  const auto value = [&] { return query->FieldByName("V")->GetAsString(); };
  // The keys not given are unassigned: only a null matches them.
  EXPECT_TRUE(query->FindKey({Variant(1)}));
  EXPECT_EQ(value(), "b");
  EXPECT_TRUE(query->FindKey({Variant(1), Variant(10)}));
  EXPECT_EQ(value(), "a");
  EXPECT_FALSE(query->FindKey({Variant(3)}));
  EXPECT_TRUE(query->FindNearest({Variant(2), Variant(15)}));
  EXPECT_EQ(value(), "c");
  EXPECT_FALSE(query->FindKey({Variant(2), Variant(15)}));
  EXPECT_EQ(ErrorOf([&] { query->FindKey({Variant(std::vector<Variant>{1, 2})}); }), "Invalid value for field '0'");
  EXPECT_EQ(ErrorOf([&] { query->FindKey({Variant(1), Variant::FromObject(query)}); }), "Invalid value for field '1'");

  // The other dataset's row, found by its keys.
  TestDADataSet* other = Query();
  other->Open();
  other->GotoCurrent(query);
  EXPECT_EQ(other->FieldByName("V")->GetAsString(), "c");

  connection->server->Script("SELECT V FROM t", FakeAnswer{0, {{Variant("a")}}, 0, "", {{"V", dtString, 5, "t", false}}});
  TestDADataSet* keyless = Query("SELECT V FROM t");
  keyless->Open();
  EXPECT_EQ(ErrorOf([&] { keyless->FindKey({Variant(1)}); }), "Key fields required to call FindKey or FindNearest");
}

// In disconnected mode every operation gives the connection back, whether
// it succeeds or fails: the connection closes after each.
TEST_F(DataSetTest, DisconnectedModeGivesTheConnectionBack) {
  connection->Options().SetDisconnectedMode(true);
  connection->server->Script(kSelect, Table(Count(30)));
  connection->server->Script("UPDATE t SET a = 1", FakeAnswer{2, {}, 0, "", {}});
  connection->server->ScriptError("SELECT * FROM missing", 1146, "Table 'missing' doesn't exist");
  connection->server->ScriptError("UPDATE missing SET a = 1", 1146, "Table 'missing' doesn't exist");
  TestDADataSet* query = Query();
  TestDADataSet* statement = Query("UPDATE t SET a = 1");
  TestDADataSet* broken_query = Query("SELECT * FROM missing");
  TestDADataSet* broken_statement = Query("UPDATE missing SET a = 1");
  struct Step {
    const char* what;
    std::function<void()> action;
    bool fails;
  };
  const Step steps[] = {
      {"open", [&] { query->Open(); }, false},
      {"refresh", [&] { query->Refresh(); }, false},
      {"execute", [&] { statement->Execute(); }, false},
      {"open a missing table", [&] { broken_query->Open(); }, true},
      {"execute on a missing table", [&] { broken_statement->Execute(); }, true},
      {"refresh of a table that went",
       [&] {
         connection->server->ScriptError(kSelect, 1146, "Table 't' doesn't exist");
         query->Refresh();
       },
       true},
      {"prepare and unprepare",
       [&] {
         statement->Prepare();
         EXPECT_EQ(connection->ConnectCount(), 1);
         statement->UnPrepare();
       },
       false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(ErrorOf(step.action) != "no error", step.fails);
    EXPECT_EQ(connection->ConnectCount(), 0);
    EXPECT_FALSE(connection->GetConnected());
  }

  // A cursor with rows still to come keeps the connection until its last
  // row is read, or until it is closed.
  connection->server->Script(kSelect, Table(Count(30)));
  query->Close();
  query->SetFetchAll(false);
  query->SetFetchRows(10);
  query->Open();
  EXPECT_EQ(connection->ConnectCount(), 1);
  for (query->First(); !query->GetEOF(); query->Next()) {
  }
  EXPECT_EQ(query->RecordCount(), 30);
  EXPECT_EQ(connection->ConnectCount(), 0);
  EXPECT_FALSE(connection->GetConnected());
  query->Close();
  query->Open();
  query->Refresh();
  EXPECT_EQ(connection->ConnectCount(), 1);
  query->Close();
  EXPECT_EQ(connection->ConnectCount(), 0);
  EXPECT_FALSE(connection->GetConnected());
}

TEST_F(DataSetTest, UpdateObjectsBelongToOneDataSet) {
  TestDADataSet* first = Query();
  TestDADataSet* second = Query();
  auto* update = Make<TCustomDAUpdateSQL>();
  update->SetModifyObject(first);
  EXPECT_EQ(ErrorOf([&] { first->SetUpdateObject(update); }),
            "Circular references are not allowed between TCustomDADataset and TCustomDAUpdateSQL objects");
  EXPECT_EQ(first->GetUpdateObject(), nullptr);
  update->SetModifyObject(nullptr);
  first->SetUpdateObject(update);
  second->SetUpdateObject(update);
  EXPECT_EQ(first->GetUpdateObject(), nullptr);
  EXPECT_EQ(update->GetDataSet(), second);

  // Which SQL a statement type runs: an update object's component stands
  // in for any SQL; else the update object's SQL; else the dataset's own.
  second->GetUpdateSQLIndex(stUpdate)->SetText("UPDATE own");
  second->GetUpdateSQLIndex(stDelete)->SetText("DELETE own");
  update->ModifySQL()->SetText("UPDATE object");
  update->SetDeleteObject(Make<TCustomDASQL>());
  EXPECT_EQ(TDBAccessUtils::GetUpdateSQLIndex(*second, stUpdate)->Text(), "UPDATE object\r\n");
  EXPECT_EQ(TDBAccessUtils::GetUpdateSQLIndex(*second, stDelete), nullptr);
  EXPECT_EQ(TDBAccessUtils::GetUpdateSQLIndex(*first, stDelete), first->GetUpdateSQLIndex(stDelete));
  EXPECT_EQ(TDBAccessUtils::GetUpdateSQLIndex(*first, stLock), nullptr);
  second->SetUpdateObject(nullptr);
  EXPECT_EQ(TDBAccessUtils::GetUpdateSQLIndex(*second, stDelete)->Text(), "DELETE own\r\n");

  // Freeing either side leaves the other without a dangling reference.
  second->SetUpdateObject(update);
  Forget(second);
  second->Free();
  EXPECT_EQ(update->GetDataSet(), nullptr);
  first->SetUpdateObject(update);
  Forget(update);
  update->Free();
  EXPECT_EQ(first->GetUpdateObject(), nullptr);
}

TEST_F(DataSetTest, FreedDataSetsLetGo) {
  connection->server->Script(kSelect, Table(Count(30)));
  TestDADataSet* open = Query();
  open->SetFetchAll(false);
  open->Open();
  Forget(open);
  open->Free();
  EXPECT_EQ(connection->DataSetCount(), 0);

  // The connection goes first: its datasets close and forget it.
  auto* other_connection = Make<TestConnection>();
  other_connection->server->Script(kSelect, Table(Count(3)));
  auto* orphan = static_cast<TestDADataSet*>(other_connection->CreateDataSet());
  orphan->SQL().SetText(kSelect);
  orphan->Open();
  Forget(other_connection);
  other_connection->Free();
  EXPECT_FALSE(orphan->GetActive());
  EXPECT_EQ(orphan->GetConnection(), nullptr);
  EXPECT_EQ(ErrorOf([&] { orphan->Open(); }), "Connection is not defined");
  orphan->Free();
}

TEST_F(DataSetTest, OptionsAndSettings) {
  TestDADataSet* query = Query();
  TDADataSetOptions& options = query->Options();
  EXPECT_TRUE(options.GetRequiredFields() && options.GetStrictUpdate() && options.GetTrimFixedChar());
  EXPECT_TRUE(options.GetLongStrings() && options.GetRemoveOnRefresh());
  EXPECT_FALSE(options.GetFlatBuffers() || options.GetQuoteNames() || options.GetLocalMasterDetail());
  EXPECT_EQ(options.GetUpdateBatchSize(), 1);
  EXPECT_EQ(query->GetFetchRows(), 25);
  EXPECT_TRUE(query->GetFetchAll() && query->GetAutoCommit());
  // The record set carries the options' values, not its own defaults.
  EXPECT_FALSE(Records(query).GetFlatBuffers());
  EXPECT_TRUE(Records(query).GetTrimFixedChar());

  for (int rows : {0, 1, 10000, 10001}) {
    const bool valid = rows >= 1 && rows <= 10000;
    EXPECT_EQ(ErrorOf([&] { query->SetFetchRows(rows); }), valid ? "no error" : "FetchRows must be 1..10000");
  }
  EXPECT_EQ(Records(query).GetFetchRows(), 10000);
  query->SetUniDirectional(true);
  EXPECT_FALSE(query->GetFetchAll());

  // Copies go through the setters; three options stay.
  TestDADataSet* copy = Query();
  options.SetQuoteNames(true);
  options.SetFlatBuffers(true);
  options.SetRemoveOnRefresh(false);
  options.SetUpdateBatchSize(5);
  options.SetFieldsOrigin(true);
  options.SetTrimVarChar(true);
  copy->SetOptions(options);
  EXPECT_TRUE(copy->Options().GetQuoteNames());
  EXPECT_TRUE(Records(copy).GetFlatBuffers());
  EXPECT_TRUE(Records(copy).GetTrimVarChar());
  EXPECT_TRUE(copy->Options().GetRemoveOnRefresh());
  EXPECT_EQ(copy->Options().GetUpdateBatchSize(), 1);
  EXPECT_FALSE(copy->Options().GetFieldsOrigin());

  // Options that shape the record set need a closed dataset.
  connection->server->Script(kSelect, Table({1}));
  copy->Open();
  EXPECT_EQ(ErrorOf([&] { copy->Options().SetLongStrings(false); }),
            "Cannot perform this operation on an open dataset");
  EXPECT_EQ(ErrorOf([&] { copy->SetFetchRows(5); }), "Cannot perform this operation on an open dataset");
  EXPECT_EQ(copy->QuoteName("a"), "\"a\"");
  EXPECT_EQ(copy->QuoteName(""), "");
  EXPECT_EQ(copy->UnQuoteName(" \"a\" "), "a");
  EXPECT_EQ(copy->UnQuoteName("\"\""), "\"\"");

  // Stored as open, a dataset opens when it is loaded only while its
  // connection keeps its design connection.
  for (bool keep : {false, true}) {
    TestDADataSet* loaded = Query();
    connection->Options().SetKeepDesignConnected(keep);
    loaded->BeginLoading();
    loaded->SetActive(true);
    loaded->EndReading();
    loaded->Loaded();
    EXPECT_EQ(loaded->GetActive(), keep);
  }
}

TEST_F(DataSetTest, AccessorsCopiesAndExportReachTheDataSet) {
  TestDADataSet* query = Query();
  TDBAccessUtils::SetAutoCommit(query, false);
  EXPECT_FALSE(query->GetICommand()->GetAutoCommit());
  TDBAccessUtils::SetLockDebug(query, true);
  EXPECT_TRUE(TDBAccessUtils::GetLockDebug(query));
  EXPECT_EQ(&TDBAccessUtils::GetSQL(query), &query->SQL());
  EXPECT_EQ(AssertionTextOf([&] { TDBAccessUtils::Open(Make<TCustomDASQL>()); }), "TCustomDASQL");
  EXPECT_EQ(&TDBAccessUtils::GetDataSetClass(*Make<TCustomDAUpdateSQL>()), &TCustomDADataSet::ClassInfo());
  // A raw text reaches the record set's command unparsed.
  TDBAccessUtils::SetSQLText(query, "SELECT * FROM t WHERE ID = :id", true, true, true);
  EXPECT_EQ(query->ParamCount(), 0);
  EXPECT_EQ(query->GetICommand()->GetSQL(), "SELECT * FROM t WHERE ID = :id\r\n");
  connection->server->Script("SELECT * FROM t WHERE ID = :id\r\n", Table({7}));
  TDBAccessUtils::Open(query);
  EXPECT_EQ(ID(query), 7);
  EXPECT_EQ(TDBAccessUtils::GetRowsAffected(query), -1);

  // The export names each column's table.
  TMemoryStream stream;
  query->SaveToXML(stream);
  const std::string xml(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
  EXPECT_NE(xml.find("rs:basecolumn='ID' rs:keycolumn='true' rs:basetable='t'"), std::string::npos) << xml;

  TestDADataSet* copy = Query("SELECT 1");
  query->Close();
  query->SetMasterFields("A");
  query->SetFetchRows(7);
  query->GetUpdateSQLIndex(stRefresh)->SetText("WHERE ID = :ID");
  copy->Assign(query);
  EXPECT_EQ(copy->SQL().Text(), query->SQL().Text());
  EXPECT_EQ(copy->GetMasterFields(), "A");
  EXPECT_EQ(copy->GetFetchRows(), 7);
  EXPECT_FALSE(copy->GetAutoCommit());
  EXPECT_EQ(copy->GetUpdateSQLIndex(stRefresh)->Text(), "WHERE ID = :ID\r\n");
  // A refresh condition is added to the dataset's SQL.
  EXPECT_EQ(copy->GetUpdateStatement(stRefresh), "SELECT * FROM t WHERE (ID = :id) AND ID = :ID ");
}

TEST(DataAccessRoutines, StatementTypesAndParameterReferences) {
  EXPECT_EQ(StatementTypeToUpdateKind(stInsert), TUpdateKind::ukInsert);
  EXPECT_EQ(StatementTypeToUpdateKind(stUpdate), TUpdateKind::ukModify);
  EXPECT_EQ(StatementTypeToUpdateKind(stDelete), TUpdateKind::ukDelete);
  EXPECT_EQ(AssertionTextOf([] { StatementTypeToUpdateKind(stLock); }), "Unknown statement type 4");
  // Parameters of one name share their value until their references are reset.
  TDAParams params;
  TDAParam* first = params.CreateParam(ftInteger, "x", ptInput);
  TDAParam* second = params.CreateParam(ftInteger, "x", ptInput);
  first->SetAsInteger(1);
  EXPECT_EQ(second->GetAsInteger(), 1);
  ResetParamRefs(params);
  second->SetAsInteger(2);
  EXPECT_EQ(first->GetAsInteger(), 1);
  EXPECT_EQ(second->GetAsInteger(), 2);
  EXPECT_EQ(first->Name(), "x");
  EXPECT_EQ(second->Name(), "x");
}

TEST_F(DataSetTest, QuickOpenNestsAndRestores) {
  connection->server->Script(kSelect, Table(Count(5)));
  TestDADataSet* query = Query();
  query->SetDebug(true);
  TDADataSetUtils utils;
  utils.QuickOpen(query, false);
  EXPECT_TRUE(query->GetActive());
  EXPECT_EQ(query->GetFetchRows(), 1);
  EXPECT_FALSE(query->GetDebug() || query->GetFetchAll());
  utils.QuickOpen(query, true);
  utils.Restore(true);
  EXPECT_EQ(query->GetFetchRows(), 1);
  utils.Restore(true);
  EXPECT_FALSE(query->GetActive());
  EXPECT_EQ(query->GetFetchRows(), 25);
  EXPECT_TRUE(query->GetDebug() && query->GetFetchAll());
  EXPECT_NE(ErrorOf([&] { utils.Restore(true); }).find("TDADataSetUtils.Restore without QuickOpen"),
            std::string::npos);
  // Without restoring the state the dataset stays as the quick open left it.
  utils.QuickOpen(query, false);
  utils.Restore(false);
  EXPECT_TRUE(query->GetActive());
  EXPECT_EQ(query->GetFetchRows(), 1);
}

}  // namespace
}  // namespace dac::test
