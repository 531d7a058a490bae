#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "dac/framework/data/string_fields.h"
#include "tests/dac/framework/error_text.h"
#include "tests/dac/framework/row_dataset.h"

namespace dac {
namespace {

// What the dataset should show: its rows' ids in order, the cursor's row, BOF, EOF.
struct Model {
  std::vector<int> ids;
  int pos = 0;
  bool bof = false;
  bool eof = false;

  int Count() const { return static_cast<int>(ids.size()); }
  void Settle() {
    pos = std::clamp(pos, 0, std::max(Count() - 1, 0));
    bof = eof = ids.empty();
  }
  int MoveBy(int distance) {
    if (!((distance > 0 && !eof) || (distance < 0 && !bof))) return 0;
    bof = eof = false;
    const int moved = std::clamp(distance, -pos, Count() - 1 - pos);
    (distance > 0 ? eof : bof) = moved != distance;
    pos += moved;
    return moved;
  }
};

void ExpectMatches(RowDataSet* ds, const TDataLink& link, const Model& model, int ring_size) {
  ASSERT_EQ(ds->GetBOF(), model.bof);
  ASSERT_EQ(ds->GetEOF(), model.eof);
  ASSERT_EQ(ds->RecordCount(), model.Count());
  const std::vector<int> ring = ds->RingIds();
  ASSERT_EQ(static_cast<int>(ring.size()), std::min(ring_size, model.Count()));
  if (model.ids.empty()) return;
  ASSERT_EQ(ds->FieldByName("id")->AsInteger(), model.ids[static_cast<size_t>(model.pos)]);
  ASSERT_EQ(ds->RecNo(), model.pos + 1);
  const int first = model.pos - ds->ActiveSlot();
  ASSERT_GE(first, 0);
  ASSERT_LE(first + static_cast<int>(ring.size()), model.Count());
  for (size_t i = 0; i < ring.size(); ++i) ASSERT_EQ(ring[i], model.ids[static_cast<size_t>(first) + i]);
  ASSERT_GE(link.ActiveRecord(), 0);
  ASSERT_LT(link.ActiveRecord(), link.RecordCount());
  ASSERT_EQ(ds->live_buffers, ring_size + 1);
}

// What a random run keeps beside the model: the next new id, a bookmark and
// the id of its record.
struct RingRun {
  explicit RingRun(unsigned seed) : random(seed) {}

  std::mt19937 random;
  int next_id = 13;
  TBookmark saved;
  int saved_id = 0;
};

// Moves the cursor or goes to a bookmark (op 0 to 6), the model alike.
void RandomMove(RowDataSet* ds, Model& model, RingRun& run, int op) {
  const bool empty = model.ids.empty();
  switch (op) {
    case 0:
      ds->First();
      model.pos = 0;
      model.bof = true;
      model.eof = empty;
      break;
    case 1:
      ds->Last();
      model.pos = std::max(model.Count() - 1, 0);
      model.eof = true;
      model.bof = empty;
      break;
    case 2:
      ds->Next();
      model.MoveBy(1);
      break;
    case 3:
      ds->Prior();
      model.MoveBy(-1);
      break;
    case 4: {
      const int distance = static_cast<int>(run.random() % 13) - 6;
      ASSERT_EQ(ds->MoveBy(distance), model.MoveBy(distance));
      break;
    }
    case 5:
      run.saved = ds->GetBookmark();
      run.saved_id = empty ? 0 : model.ids[static_cast<size_t>(model.pos)];
      break;
    case 6: {
      if (run.saved.empty()) break;
      const auto it = std::find(model.ids.begin(), model.ids.end(), run.saved_id);
      if (it == model.ids.end()) {
        ASSERT_EQ(ErrorOf([&] { ds->GotoBookmark(run.saved); }), "DS: Record not found");
        break;
      }
      ds->GotoBookmark(run.saved);
      model.pos = static_cast<int>(it - model.ids.begin());
      model.Settle();
      break;
    }
  }
}

// Edits, inserts, appends, deletes or refreshes (op 7 to 11), the model alike.
void RandomEdit(RowDataSet* ds, Model& model, RingRun& run, int op, int step) {
  const bool empty = model.ids.empty();
  switch (op) {
    case 7:
      if (empty) break;
      ds->Edit();
      ds->FieldByName("name")->SetAsString("e" + std::to_string(step));
      ds->Post();
      model.Settle();
      break;
    case 8:
    case 9: {
      // Every fourth new record is cancelled: an appended one leaves the cursor on the last record.
      const bool cancel = step % 4 == 0;
      if (op == 8) {
        ds->Insert();
        if (!cancel) model.ids.insert(model.ids.begin() + model.pos, run.next_id);
      } else {
        ds->Append();
        if (!cancel) model.ids.push_back(run.next_id);
        model.pos = model.Count() - 1;
      }
      ds->FieldByName("id")->SetAsInteger(run.next_id);
      if (cancel) {
        ds->Cancel();
      } else {
        ds->Post();
        ++run.next_id;
      }
      model.Settle();
      break;
    }
    case 10:
      if (empty) {
        ASSERT_EQ(ErrorOf([&] { ds->Delete(); }), "DS: Cannot perform this operation on an empty dataset");
        break;
      }
      ds->Delete();
      model.ids.erase(model.ids.begin() + model.pos);
      model.Settle();
      break;
    default:
      ds->Refresh();
      model.Settle();
  }
}

TEST(DataSetRing, RandomRunsFollowTheModelAtEveryRingSize) {
  for (const int ring_size : {1, 3, 10}) {
    SCOPED_TRACE("ring " + std::to_string(ring_size));
    RowDataSet* ds = MakeNames(12);
    ds->Close();
    TDataLink link;
    Attach(link, ds, ring_size);
    ds->Open();
    Model model;
    for (int i = 1; i <= 12; ++i) model.ids.push_back(i);
    model.bof = true;
    RingRun run(static_cast<unsigned>(ring_size));
    for (int step = 0; step < 600; ++step) {
      const int op = static_cast<int>(run.random() % 12);
      SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op));
      if (op < 7) {
        RandomMove(ds, model, run, op);
      } else {
        RandomEdit(ds, model, run, op, step);
      }
      if (HasFatalFailure()) break;
      ExpectMatches(ds, link, model, ring_size);
      if (HasFatalFailure()) break;
    }
    ds->Close();
    EXPECT_EQ(ds->live_buffers, 0);
    ds->Free();
    EXPECT_EQ(link.DataSource(), nullptr);
  }
}

// A link that writes down what it hears.
class LogLink : public TDataLink {
 public:
  explicit LogLink(std::vector<std::string>& log) : log_(log) {}

 protected:
  void ActiveChanged() override { log_.push_back(Active() ? "link active" : "link inactive"); }
  void EditingChanged() override { log_.push_back(Editing() ? "link editing" : "link browsing"); }
  void RecordChanged(TField* field) override { log_.push_back(field ? "link field " + field->FieldName() : "link record"); }
  void DataSetChanged() override { log_.push_back("link changed"); }
  void DataSetScrolled(int distance) override { log_.push_back("link scrolled " + std::to_string(distance)); }
  void LayoutChanged() override { log_.push_back("link layout"); }
  void CheckBrowseMode() override { log_.push_back("link check"); }
  void UpdateData() override { log_.push_back("link update"); }

 private:
  std::vector<std::string>& log_;
};

void LogEvents(TDataSet* ds, std::vector<std::string>& log) {
  using Setter = void (TDataSet::*)(TDataSetNotifyEvent);
  const std::vector<std::pair<Setter, const char*>> events = {
      {&TDataSet::SetBeforeOpen, "BeforeOpen"},       {&TDataSet::SetAfterOpen, "AfterOpen"},
      {&TDataSet::SetBeforeClose, "BeforeClose"},     {&TDataSet::SetAfterClose, "AfterClose"},
      {&TDataSet::SetBeforeInsert, "BeforeInsert"},   {&TDataSet::SetAfterInsert, "AfterInsert"},
      {&TDataSet::SetBeforeEdit, "BeforeEdit"},       {&TDataSet::SetAfterEdit, "AfterEdit"},
      {&TDataSet::SetBeforePost, "BeforePost"},       {&TDataSet::SetAfterPost, "AfterPost"},
      {&TDataSet::SetBeforeCancel, "BeforeCancel"},   {&TDataSet::SetAfterCancel, "AfterCancel"},
      {&TDataSet::SetBeforeDelete, "BeforeDelete"},   {&TDataSet::SetAfterDelete, "AfterDelete"},
      {&TDataSet::SetBeforeScroll, "BeforeScroll"},   {&TDataSet::SetAfterScroll, "AfterScroll"},
      {&TDataSet::SetBeforeRefresh, "BeforeRefresh"}, {&TDataSet::SetAfterRefresh, "AfterRefresh"},
      {&TDataSet::SetOnNewRecord, "OnNewRecord"},
  };
  for (const auto& [set, name] : events) (ds->*set)([&log, name](TDataSet*) { log.emplace_back(name); });
}

TEST(DataSetEvents, EachOperationSendsItsEventsInOrder) {
  RowDataSet* ds = MakeNames(5);
  ds->Close();
  std::vector<std::string> log;
  LogLink link(log);
  Attach(link, ds);
  LogEvents(ds, log);
  const auto set_name = [](TDataSet* d, const char* text) { d->FieldByName("name")->SetAsString(text); };
  struct Step {
    const char* name;
    std::function<void(TDataSet*)> action;
    std::vector<std::string> log;
    int id_after;
  };
  const std::vector<Step> steps = {
      {"open", [](TDataSet* d) { d->Open(); }, {"BeforeOpen", "link active", "link layout", "AfterOpen", "AfterScroll"}, 1},
      {"next", [](TDataSet* d) { d->Next(); }, {"link check", "BeforeScroll", "link scrolled 1", "AfterScroll"}, 2},
      {"edit", [](TDataSet* d) { d->Edit(); }, {"link check", "BeforeEdit", "link editing", "link record", "AfterEdit"}, 2},
      {"set a field", [&](TDataSet* d) { set_name(d, "x"); }, {"link field name"}, 2},
      {"post",
       [](TDataSet* d) { d->Post(); },
       {"link update", "link check", "BeforePost", "link browsing", "link changed", "AfterPost"},
       2},
      {"insert",
       [](TDataSet* d) { d->Insert(); },
       {"link check", "BeforeInsert", "BeforeScroll", "link editing", "OnNewRecord", "link changed", "AfterInsert",
        "AfterScroll"},
       0},
      {"cancel",
       [](TDataSet* d) { d->Cancel(); },
       {"link check", "BeforeCancel", "link browsing", "link changed", "AfterCancel"},
       2},
      {"delete",
       [](TDataSet* d) { d->Delete(); },
       {"link check", "BeforeDelete", "BeforeScroll", "link changed", "AfterDelete", "AfterScroll"},
       3},
      {"refresh", [](TDataSet* d) { d->Refresh(); }, {"link check", "BeforeRefresh", "link changed", "AfterRefresh"}, 3},
      {"first", [](TDataSet* d) { d->First(); }, {"link check", "BeforeScroll", "link changed", "AfterScroll"}, 1},
      {"block read",
       [](TDataSet* d) {
         d->SetBlockReadSize(10);
         d->Next();
         d->Next();
         d->SetBlockReadSize(0);
       },
       {"link check", "BeforeScroll", "AfterScroll", "BeforeScroll", "AfterScroll", "link changed"},
       4},
      {"controls disabled",
       [&](TDataSet* d) {
         d->DisableControls();
         d->Prior();
         d->Prior();
         d->Edit();
         set_name(d, "y");
         d->Post();
         d->EnableControls();
       },
       {"BeforeScroll", "AfterScroll", "BeforeScroll", "AfterScroll", "BeforeEdit", "AfterEdit", "BeforePost",
        "AfterPost", "link changed"},
       1},
      {"edit again", [](TDataSet* d) { d->Edit(); }, {"link check", "BeforeEdit", "link editing", "link record", "AfterEdit"}, 1},
      {"next drops an untouched edit",
       [](TDataSet* d) { d->Next(); },
       {"link check", "link update", "link check", "BeforeCancel", "link browsing", "link changed", "AfterCancel",
        "BeforeScroll", "link scrolled 1", "AfterScroll"},
       3},
      {"close", [](TDataSet* d) { d->Close(); }, {"BeforeClose", "link inactive", "AfterClose"}, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    log.clear();
    step.action(ds);
    EXPECT_EQ(log, step.log);
    if (step.id_after > 0) {
      EXPECT_EQ(ds->FieldByName("id")->AsInteger(), step.id_after);
    }
  }
  EXPECT_EQ(ds->live_buffers, 0);
  ds->Free();
}

TEST(DataSetEvents, PostFailuresFollowTheErrorHandlersAction) {
  struct Case {
    TDataAction action;
    int failures;
    std::string error;
    TDataSetState state;
    int handler_calls;
  };
  const std::vector<Case> cases = {
      {daFail, 1, "DS: Post failed", dsEdit, 1},
      {daAbort, 1, "Operation aborted", dsEdit, 1},
      {daRetry, 2, "no error", dsBrowse, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    RowDataSet* ds = MakeNames(4);
    TDataLink link;
    Attach(link, ds, 3);
    ds->First();
    ds->Next();
    const std::vector<int> ring = ds->RingIds();
    int calls = 0;
    ds->SetOnPostError([&](TDataSet*, EDatabaseError& error, TDataAction& action) {
      EXPECT_EQ(std::string(error.what()), "DS: Post failed");
      ++calls;
      action = c.action;
    });
    ds->Edit();
    ds->FieldByName("name")->SetAsString("x");
    ds->post_failures = c.failures;
    EXPECT_EQ(ErrorOf([&] { ds->Post(); }), c.error);
    EXPECT_EQ(ds->GetState(), c.state);
    EXPECT_EQ(calls, c.handler_calls);
    EXPECT_EQ(ds->RingIds(), ring);
    EXPECT_EQ(ds->FieldByName("name")->AsString(), "x");
    ds->Cancel();
    EXPECT_EQ(ds->FieldByName("name")->AsString(), c.state == dsBrowse ? "x" : "n2");
    ds->Free();
  }
}

TEST(DataSetEvents, AFailingHandlerLeavesStateAndRingAsTheyWere) {
  const auto refuse = [](TDataSet*) { throw EDatabaseError("refused"); };
  struct Case {
    const char* name;
    std::function<void(RowDataSet*)> arm;
    std::function<void(RowDataSet*)> action;
    TDataSetState state;
    std::vector<int> ring;
    int id;
  };
  const std::vector<Case> cases = {
      {"new record on insert", [&](RowDataSet* d) { d->SetOnNewRecord(refuse); }, [](RowDataSet* d) { d->Insert(); },
       dsBrowse, {1, 2, 3}, 2},
      {"new record on append", [&](RowDataSet* d) { d->SetOnNewRecord(refuse); }, [](RowDataSet* d) { d->Append(); },
       dsBrowse, {1, 2, 3}, 2},
      {"before post", [&](RowDataSet* d) { d->SetBeforePost(refuse); },
       [](RowDataSet* d) {
         d->Edit();
         d->FieldByName("name")->SetAsString("x");
         d->Post();
       },
       dsEdit, {1, 2, 3}, 2},
      {"before delete", [&](RowDataSet* d) { d->SetBeforeDelete(refuse); }, [](RowDataSet* d) { d->Delete(); },
       dsBrowse, {1, 2, 3}, 2},
      {"calculation while scrolling", [&](RowDataSet* d) { d->SetOnCalcFields(refuse); },
       [](RowDataSet* d) { d->MoveBy(3); }, dsBrowse, {1, 2, 3}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RowDataSet* ds = MakeNames(5);
    MakePersistentFields(ds);
    AddField(ds, MakeComponent<TStringField>(ds), "tag", fkCalculated);
    TDataLink link;
    Attach(link, ds, 3);
    ds->Open();
    ds->Next();
    c.arm(ds);
    EXPECT_EQ(ErrorOf([&] { c.action(ds); }), "refused");
    EXPECT_EQ(ds->GetState(), c.state);
    EXPECT_FALSE(ds->Calculating());
    EXPECT_EQ(ds->RingIds(), c.ring);
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), c.id);
    EXPECT_EQ(ds->RecordCount(), 5);
    // Unarmed, the dataset goes on from where it stood.
    ds->SetOnNewRecord(nullptr);
    ds->SetBeforePost(nullptr);
    ds->SetOnCalcFields(nullptr);
    ds->CheckBrowseMode();
    ds->Next();
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), c.id + 1);
    ds->Free();
  }
}

}  // namespace
}  // namespace dac
