// The dataset component's collaborators through their own interfaces: the
// update batch, the references on the connection and the local
// master/detail filter. Their use by the dataset is tested with it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/core/dataset/connection_hold.h"
#include "dac/core/dataset/local_detail_filter.h"
#include "dac/core/dataset/update_batch.h"
#include "dac/core/server/da_errors.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/data/field.h"
#include "dac/store/record/mem_data.h"
#include "tests/dac/core/support/data_set_fixture.h"

namespace dac::test {
namespace {

TDAParam* AddParam(TDAParams& params, const std::string& name, TFieldType type, TParamType direction) {
  auto* param = static_cast<TDAParam*>(params.Add());
  param->SetName(name);
  param->SetDataType(type);
  param->SetParamType(direction);
  return param;
}

TEST(UpdateBatch, CollectsStatementsAndTheirParametersAndEmptiesOnEveryFlush) {
  TUpdateBatch batch;
  batch.Add("");
  EXPECT_EQ(batch.Count(), 0) << "an empty text is no statement";
  EXPECT_FALSE(batch.Full(1)) << "an empty batch is never full";
  EXPECT_EQ(batch.Params(), nullptr);
  batch.Add("UPDATE t SET a = :P_0_a WHERE id = :P_0_id");
  batch.Add("DELETE FROM t WHERE id = :P_1_id");
  EXPECT_EQ(batch.SQL(), "UPDATE t SET a = :P_0_a WHERE id = :P_0_id;\r\nDELETE FROM t WHERE id = :P_1_id;");
  EXPECT_EQ(batch.Count(), 2);
  EXPECT_TRUE(batch.Full(2));
  EXPECT_FALSE(batch.Full(3));

  TDAParams first;
  AddParam(first, "a", ftString, ptInput)->SetAsString("kept here");
  AddParam(first, "id", ftInteger, ptInputOutput);
  TDAParams second;
  AddParam(second, "id", ftInteger, ptInput);
  int made = 0;
  const auto make = [&made] {
    ++made;
    return std::make_unique<TDAParams>();
  };
  EXPECT_EQ(batch.AppendParams(first, make), 0);
  EXPECT_EQ(batch.AppendParams(second, make), 2);
  EXPECT_EQ(made, 1) << "the list is made once";
  TDAParams& collected = *batch.Params();
  ASSERT_EQ(collected.Count(), 3);
  struct Expected {
    std::string name;
    TFieldType type;
    TParamType direction;
  };
  const std::vector<Expected> expected = {
      {"a", ftString, ptInput}, {"id", ftInteger, ptInputOutput}, {"id", ftInteger, ptInput}};
  for (int i = 0; i < collected.Count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(collected.Items(i)->Name(), expected[static_cast<size_t>(i)].name);
    EXPECT_EQ(collected.Items(i)->GetDataType(), expected[static_cast<size_t>(i)].type);
    EXPECT_EQ(collected.Items(i)->ParamType(), expected[static_cast<size_t>(i)].direction);
    EXPECT_TRUE(collected.Items(i)->GetIsNull()) << "values are bound later, from each row";
  }
  // Two statements' parameters of one name hold values of their own.
  collected.Items(1)->SetAsInteger(7);
  collected.Items(2)->SetAsInteger(8);
  EXPECT_EQ(collected.Items(1)->GetAsInteger(), 7);

  // A failed batch is emptied as a sent one is: it never goes again.
  EXPECT_THROW(batch.Flush([] { throw Exception("Lost connection"); }), Exception);
  EXPECT_EQ(batch.Count(), 0);
  EXPECT_EQ(batch.SQL(), "");
  EXPECT_EQ(batch.Params()->Count(), 0);
  int runs = 0;
  batch.Flush([&runs] { ++runs; });
  EXPECT_EQ(runs, 0) << "an empty batch does not run";
  batch.Add("DELETE FROM t");
  batch.Flush([&] {
    ++runs;
    EXPECT_EQ(batch.SQL(), "DELETE FROM t;") << "the batch is whole while it runs";
  });
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(batch.Count(), 0);
}

using CollaboratorsTest = DataSetTest;

// Each reference is one user of the connection, given back exactly once.
TEST_F(CollaboratorsTest, TheConnectionHoldGivesEachReferenceBackOnce) {
  TestDADataSet* query = Query();
  TConnectionHold hold(*query);
  {
    TConnectionHold::Statement statement(hold);
    EXPECT_EQ(connection->ConnectCount(), 1);
    hold.ReleaseAttempt();  // the command reported a statement without rows
    hold.ReleaseAttempt();
    hold.ReleaseAfterFetch();
    EXPECT_EQ(connection->ConnectCount(), 0);
    statement.Finish(true);
    EXPECT_EQ(connection->ConnectCount(), 0);
  }
  hold.ReleaseAttempt();  // no operation runs
  EXPECT_EQ(connection->ConnectCount(), 0);
  {
    // An inner operation's fetch gives back its own reference only.
    TConnectionHold::Statement outer(hold);
    {
      TConnectionHold::Statement inner(hold);
      EXPECT_EQ(connection->ConnectCount(), 2);
      hold.ReleaseAfterFetch();
      inner.Finish(false);
      EXPECT_EQ(connection->ConnectCount(), 1);
    }
    hold.ReleaseAfterFetch();
    EXPECT_EQ(connection->ConnectCount(), 0);
    outer.Finish(false);
    EXPECT_EQ(connection->ConnectCount(), 0);
  }
  {
    // A lost connection runs the attempt again, holding the reference; any
    // other failure gives it back.
    TConnectionHold::Statement statement(hold);
    int attempts = 0;
    const auto lost_once = [&] {
      if (++attempts == 1) throw EFailOver(clOpen);
    };
    statement.RunAttempts(connection, lost_once, false);
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(connection->restores, 1);
    EXPECT_EQ(connection->ConnectCount(), 1);
    const auto lost_open = [] { throw EFailOver(clOpen); };
    EXPECT_THROW(statement.RunAttempts(connection, lost_open, true), EFailOver)
        << "an execute runs again only for its own lost execute";
    EXPECT_EQ(connection->ConnectCount(), 0);
    statement.Finish(false);
    EXPECT_EQ(connection->ConnectCount(), 0);
  }
  {
    TConnectionHold::Statement statement(hold);
    const auto fails = [] { throw Exception("Syntax error"); };
    EXPECT_THROW(statement.RunAttempts(connection, fails, false), Exception);
    EXPECT_EQ(connection->ConnectCount(), 0);
  }
  // The preparation's reference, and the cursor's that nothing took.
  query->BeginConnection(true);
  hold.TakePrepared();
  hold.ReleasePrepared(true);
  EXPECT_EQ(connection->ConnectCount(), 1);
  hold.ReleasePrepared(false);
  hold.ReleasePrepared(false);
  EXPECT_EQ(connection->ConnectCount(), 0);
  EXPECT_FALSE(hold.TakeCursor());
  hold.ReleaseCursor();
  // The connection closed and forgot its users: nothing is given back.
  query->BeginConnection(true);
  hold.TakePrepared();
  connection->Disconnect();
  hold.Forget();
  hold.ReleasePrepared(false);
  EXPECT_FALSE(hold.Prepared());
  EXPECT_EQ(connection->ConnectCount(), 0);
}

// The filter holds copies of the master's values: it stands while the
// master moves on or closes.
TEST_F(CollaboratorsTest, TheLocalDetailFilterKeepsTheMastersValuesOfItsOwn) {
  connection->server->Script(kSelect, Table({1, 2, 3}));
  FakeAnswer lines;
  lines.columns = {{"LINE", dtInteger, 0, "d", true}, {"ID", dtInteger, 0, "d", false}};
  // Line 5 belongs to no master.
  for (int line = 1; line <= 6; ++line) {
    lines.rows.push_back({Variant(line), line == 5 ? Variant::Null() : Variant(line % 3)});
  }
  connection->server->Script("SELECT * FROM d", lines);
  TestDADataSet* master = Query();
  TestDADataSet* detail = Query("SELECT * FROM d");
  master->Open();
  detail->Open();
  auto& store = dynamic_cast<TMemData&>(*detail->Data());
  // The lines the filter lets through, walking the store itself.
  const auto accepted = [&](const TLocalDetailFilter& filter) {
    std::vector<int> found;
    void* buffer = nullptr;
    store.AllocRecBuf(buffer);
    store.SetToBegin();
    for (store.GetNextRecord(buffer); !store.GetEOF(); store.GetNextRecord(buffer)) {
      Variant line;
      store.GetFieldAsVariant(1, buffer, line);
      if (filter.Accepts(store, buffer)) found.push_back(line.AsInt32());
    }
    store.FreeRecBuf(buffer);
    return found;
  };

  TLocalDetailFilter filter;
  EXPECT_EQ(accepted(filter), (std::vector<int>{1, 2, 3, 4, 5, 6})) << "no pairs: every row";
  master->Next();  // ID 2
  filter.Take(*master, *detail, "ID", "ID");
  EXPECT_EQ(accepted(filter), (std::vector<int>{2}));
  master->Next();
  master->Close();
  EXPECT_EQ(accepted(filter), (std::vector<int>{2})) << "the values are the filter's own";
  master->Open();  // ID 1
  filter.Take(*master, *detail, "NOPE;ID", "ID;ID");
  EXPECT_EQ(accepted(filter), (std::vector<int>{1, 4})) << "a pair with a missing field is left out";
  filter.Take(*master, *detail, "ID;ID", "ID;LINE");
  EXPECT_EQ(accepted(filter), (std::vector<int>{1})) << "every pair matches";
  filter.Clear();
  EXPECT_EQ(accepted(filter).size(), 6u);
}

}  // namespace
}  // namespace dac::test
