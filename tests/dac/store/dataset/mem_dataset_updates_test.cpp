// Cached updates of the dataset: how one record is applied (handlers, the
// default apply, errors, batches), and editing, applying, reverting and
// cancelling rows with memos in cached mode.
#include <gtest/gtest.h>

#include "tests/dac/store/test_mem_dataset.h"

namespace dac {
namespace {

using testing::MakeDataSet;

// One apply of two edited rows (1 and 3). handler: '-' none, or the action
// it answers (a applied, f fail, x abort, d the default apply); on_error:
// '-' none, or the action the error handler answers (k skip, f fail, x
// abort); perform_fails: the server refuses every change.
struct ApplyCase {
  char handler;
  bool no_raise;
  char on_error;
  bool perform_fails;
  bool batch;
  bool can_flush;
  // What the server was asked, the error, and each edited row's result.
  const char* expected;
};

TUpdateAction Action(char code) {
  switch (code) {
    case 'a': return uaApplied;
    case 'k': return uaSkip;
    case 'x': return uaAbort;
    case 'd': return uaDefault;
    default: return uaFail;
  }
}

char ResultCode(TUpdateAction action) { return "fxkra?s"[action]; }

std::string RunApply(const ApplyCase& c) {
  auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"V", dtInteger, 4}});
  ds->AddSource({{1, 10}, {2, 20}, {3, 30}});
  ds->SetCachedUpdates(true);
  ds->Open();
  for (int id : {1, 3}) {
    ds->Locate("ID", id, {});
    ds->Edit();
    ds->F("V")->SetAsInteger(id * 11);
    ds->Post();
  }
  ds->batch = c.batch;
  ds->can_flush = c.can_flush;
  ds->on_perform = [&](char) {
    ds->SetModified(true);
    if (c.perform_fails) DatabaseError("server said no");
  };
  if (c.handler != '-') ds->SetOnUpdateRecord([&](TDataSet*, TUpdateKind, TUpdateAction& a) { a = Action(c.handler); });
  if (c.on_error != '-') {
    ds->SetOnUpdateError([&](TDataSet*, EDatabaseError&, TUpdateKind, TUpdateAction& a) { a = Action(c.on_error); });
  }
  DoNotRaiseExcetionOnUaFail = c.no_raise;
  std::string error = "-";
  try {
    ds->ApplyUpdates();
  } catch (const EAbort&) {
    error = "abort";
  } catch (const EDatabaseError& e) {
    error = e.what();
  }
  DoNotRaiseExcetionOnUaFail = false;
  std::string results;
  for (int id : {1, 3}) {
    ds->Locate("ID", id, {});
    results += ResultCode(ds->UpdateResult());
  }
  return ds->performed + "|" + error + "|" + results + (ds->Modified() ? "|modified" : "");
}

TEST(MemDataSetUpdates, AppliesEachRecordAsTheHandlersSay) {
  const ApplyCase cases[] = {
      {'-', false, '-', false, false, false, "UU|-|aa"},
      {'a', false, '-', false, false, false, "|-|aa"},
      {'d', false, '-', false, false, false, "UU|-|aa"},
      {'f', false, '-', false, false, false, "|Update failed|fa"},
      {'f', true, '-', false, false, false, "|-|ff"},
      {'x', false, '-', false, false, false, "|abort|fa"},
      {'f', false, 'k', false, false, false, "|-|kk"},
      {'f', false, 'f', false, false, false, "|Update failed|fa"},
      {'-', false, 'k', true, false, false, "UU|-|kk"},
      {'-', false, 'x', true, false, false, "U|abort|fa"},
      {'-', false, '-', true, false, false, "U|server said no|fa"},
      {'-', false, '-', false, true, false, "UUF|-|aa"},
      {'-', false, '-', false, true, true, "UFUF|-|aa"},
  };
  for (const ApplyCase& c : cases) {
    EXPECT_EQ(RunApply(c), c.expected) << c.handler << c.no_raise << c.on_error << c.perform_fails << c.batch;
  }
}

TEST(MemDataSetUpdates, CachedRowsWithMemos) {
  auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"M", dtMemo, kReferenceSlotSize}});
  ds->AddSource({{1, "memo 1"}, {2, "memo 2"}, {3, "memo 3"}});
  EXPECT_THROW(ds->GetUpdateRecordTypes(), EDatabaseError);
  ds->SetCachedUpdates(true);
  ds->Open();
  ds->Edit();
  ds->F("M")->SetAsString("changed");
  ds->Post();
  ds->Append();
  ds->F("ID")->SetAsInteger(4);
  ds->F("M")->SetAsString("new");
  ds->Post();
  ds->Locate("ID", 2, {});
  ds->Delete();
  std::string statuses;
  for (ds->First(); !ds->GetEOF(); ds->Next()) statuses += "UMID"[ds->UpdateStatus()];
  EXPECT_EQ(statuses, "MUI");
  ds->SetUpdateRecordTypes({rtDeleted});
  EXPECT_EQ(ds->Values("M"), "memo 2");
  ds->SetUpdateRecordTypes({rtModified, rtInserted, rtUnmodified});
  EXPECT_TRUE(ds->UpdatesPending());

  // The handler sees each record's old and new values.
  std::string seen;
  ds->SetOnUpdateRecord([&](TDataSet* d, TUpdateKind, TUpdateAction& a) {
    TField* memo = d->FieldByName("M");
    seen += VarToStr(memo->OldValue()) + ">" + VarToStr(memo->NewValue()) + ";";
    a = uaApplied;
  });
  ds->ApplyUpdates();
  EXPECT_EQ(seen, "memo 1>changed;new>new;memo 2>memo 2;");
  ds->RestoreUpdates();
  EXPECT_TRUE(ds->UpdatesPending());
  ds->CancelUpdates();
  EXPECT_EQ(ds->Values("M"), "memo 1|memo 2|memo 3");

  // A reverted insert goes; a reverted edit gets its memo back.
  ds->Append();
  ds->F("M")->SetAsString("dropped");
  ds->Post();
  ds->RevertRecord();
  ds->First();
  ds->Edit();
  ds->F("M")->SetAsString("reverted");
  ds->Post();
  ds->RevertRecord();
  EXPECT_EQ(ds->Values("M"), "memo 1|memo 2|memo 3");
  ds->CommitUpdates();
  EXPECT_FALSE(ds->UpdatesPending());
}

}  // namespace
}  // namespace dac
