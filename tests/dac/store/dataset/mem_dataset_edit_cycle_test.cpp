// The edit cycle's steps as a descendant and the application see them:
// every overridable step of Append, Insert, Post and Cancel runs, in its
// order, with or without handlers and links; required fields and default
// values are looked for while any field has them, however it got them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dac/framework/data/data_link.h"
#include "dac/framework/data/data_source.h"
#include "tests/dac/store/test_mem_dataset.h"

namespace dac {
namespace {

using testing::ComponentPtr;
using testing::LinkRecorder;
using testing::CreateDefinedFields;
using testing::MakeDataSet;
using testing::TTestMemDataSet;

std::vector<testing::Column> Columns() {
  return {{"ID", dtInteger, 4}, {"NAME", dtString, 11, 10}, {"AMOUNT", dtFloat, 8}, {"NOTE", dtString, 11, 10}};
}

// Logs each overridable step of the cycle, then runs the dataset's own.
class TStepLoggingDataSet : public TTestMemDataSet {
 public:
  using TTestMemDataSet::TTestMemDataSet;
  std::string log;
  bool logging = false;

 protected:
  void Step(const char* name) {
    if (logging) log += std::string(log.empty() ? "" : " ") + name;
  }
  void DataEvent(TDataEvent event, intptr_t info) override {
    static const char* const kNames[] = {"field", "record", "dataset", "scroll", "layout", "update-record",
                                         "state", "browse", "property", "field-list", "focus", "parent"};
    Step(event < std::size(kNames) ? kNames[event] : "event");
    TTestMemDataSet::DataEvent(event, info);
  }
  bool GetCanModify() override {
    Step("can-modify");
    return TTestMemDataSet::GetCanModify();
  }
  void InitRecord(TRecordBuffer buffer) override {
    Step("init");
    TTestMemDataSet::InitRecord(buffer);
  }
  void InternalInitRecord(TRecordBuffer buffer) override {
    Step("internal-init");
    TTestMemDataSet::InternalInitRecord(buffer);
  }
  void ClearCalcFields(TRecordBuffer buffer) override {
    Step("clear-calc");
    TTestMemDataSet::ClearCalcFields(buffer);
  }
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override {
    static const char* const kFlags[] = {"flag-current", "flag-bof", "flag-eof", "flag-inserted"};
    Step(kFlags[flag]);
    TTestMemDataSet::SetBookmarkFlag(buffer, flag);
  }
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override {
    Step("get-flag");
    return TTestMemDataSet::GetBookmarkFlag(buffer);
  }
  void GetBookmarkData(TRecordBuffer buffer, void* data) override {
    Step("get-bookmark");
    TTestMemDataSet::GetBookmarkData(buffer, data);
  }
  void InternalLast() override {
    Step("last");
    TTestMemDataSet::InternalLast();
  }
  void InternalSetToRecord(TRecordBuffer buffer) override {
    Step("to-record");
    TTestMemDataSet::InternalSetToRecord(buffer);
  }
  void InternalInsert() override {
    Step("internal-insert");
    TTestMemDataSet::InternalInsert();
  }
  void InternalPost() override {
    Step("internal-post");
    TTestMemDataSet::InternalPost();
  }
  void InternalCancel() override {
    Step("internal-cancel");
    TTestMemDataSet::InternalCancel();
  }
  void Resync(TResyncMode mode) override {
    Step("resync");
    TTestMemDataSet::Resync(mode);
  }
  bool KeepPostedRecord(TRecordBuffer buffer) override {
    Step("keep");
    return TTestMemDataSet::KeepPostedRecord(buffer);
  }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) override {
    Step("get-record");
    return TTestMemDataSet::GetRecord(buffer, mode, do_check);
  }
  void SetDefaultExpressionValue(TField* field) override {
    Step("default");
    TTestMemDataSet::SetDefaultExpressionValue(field);
  }
  void DoBeforeInsert() override {
    Step("before-insert");
    TTestMemDataSet::DoBeforeInsert();
  }
  void DoAfterInsert() override {
    Step("after-insert");
    TTestMemDataSet::DoAfterInsert();
  }
  void DoBeforeScroll() override {
    Step("before-scroll");
    TTestMemDataSet::DoBeforeScroll();
  }
  void DoAfterScroll() override {
    Step("after-scroll");
    TTestMemDataSet::DoAfterScroll();
  }
  void DoOnNewRecord() override {
    Step("new-record");
    TTestMemDataSet::DoOnNewRecord();
  }
  void DoBeforePost() override {
    Step("before-post");
    TTestMemDataSet::DoBeforePost();
  }
  void DoAfterPost() override {
    Step("after-post");
    TTestMemDataSet::DoAfterPost();
  }
  void DoBeforeCancel() override {
    Step("before-cancel");
    TTestMemDataSet::DoBeforeCancel();
  }
  void DoAfterCancel() override {
    Step("after-cancel");
    TTestMemDataSet::DoAfterCancel();
  }
};

// The steps of one cycle, the same whether handlers and a link listen or
// not: the handlers and the link only add what they hear.
TEST(EditCycle, RunsEveryOverriddenStepInOrder) {
  struct Case {
    const char* name;
    std::function<void(TDataSet&)> run;
    const char* steps;
  };
  const std::vector<Case> cases = {
      {"append and post",
       [](TDataSet& ds) {
         ds.Append();
         ds.FieldByName("ID")->SetAsInteger(7);
         ds.Post();
       },
       "browse can-modify before-insert before-scroll get-flag get-bookmark init internal-init clear-calc "
       "flag-inserted flag-eof internal-insert state new-record dataset after-insert after-scroll field "
       "update-record browse before-post get-flag last internal-post state resync keep dataset after-post"},
      {"insert and post",
       [](TDataSet& ds) {
         ds.Insert();
         ds.FieldByName("ID")->SetAsInteger(8);
         ds.Post();
       },
       "browse can-modify before-insert before-scroll get-flag get-bookmark init internal-init clear-calc "
       "flag-inserted internal-insert state new-record dataset after-insert after-scroll field update-record "
       "browse before-post get-flag to-record internal-post state resync keep dataset after-post"},
      {"append and cancel",
       [](TDataSet& ds) {
         ds.Append();
         ds.Cancel();
       },
       "browse can-modify before-insert before-scroll get-flag get-bookmark init internal-init clear-calc "
       "flag-inserted flag-eof internal-insert state new-record dataset after-insert after-scroll browse "
       "before-cancel get-flag last internal-cancel state resync get-record get-record get-record dataset "
       "after-cancel"},
      {"append after append: the first posts",
       [](TDataSet& ds) {
         ds.Append();
         ds.FieldByName("ID")->SetAsInteger(9);
         ds.Append();
         ds.Cancel();
       },
       "browse can-modify before-insert before-scroll get-flag get-bookmark init internal-init clear-calc "
       "flag-inserted flag-eof internal-insert state new-record dataset after-insert after-scroll field "
       "browse update-record update-record browse before-post get-flag last internal-post state resync keep "
       "dataset after-post can-modify before-insert before-scroll get-flag get-bookmark init internal-init "
       "clear-calc flag-inserted flag-eof internal-insert state new-record dataset after-insert after-scroll "
       "browse before-cancel get-flag last internal-cancel state resync get-record get-record get-record dataset "
       "after-cancel"},
  };
  for (const bool listening : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (listening ? ", with handlers and a link" : ""));
      ComponentPtr<TStepLoggingDataSet> ds(MakeComponent<TStepLoggingDataSet>(nullptr, Columns()));
      ds->AddSource({{1, "one"}});
      ds->Open();
      std::string handlers;
      LinkRecorder link;
      if (listening) {
        ds->SetBeforeInsert([&](TDataSet*) { handlers += "bi "; });
        ds->SetAfterInsert([&](TDataSet*) { handlers += "ai "; });
        ds->SetOnNewRecord([&](TDataSet*) { handlers += "nr "; });
        ds->SetBeforePost([&](TDataSet*) { handlers += "bp "; });
        ds->SetAfterPost([&](TDataSet*) { handlers += "ap "; });
        ds->SetBeforeScroll([&](TDataSet*) { handlers += "bs "; });
        ds->SetAfterScroll([&](TDataSet*) { handlers += "as "; });
        ds->FieldByName("ID")->SetOnChange([&](TField*) { handlers += "ch "; });
        link.SetDataSource(MakeComponent<TDataSource>(ds.get()));
        link.DataSource()->SetDataSet(ds.get());
      }
      ds->Last();
      link.events.clear();
      ds->logging = true;
      c.run(*ds);
      EXPECT_EQ(ds->log, c.steps);
      EXPECT_EQ(handlers.empty(), !listening);
      EXPECT_EQ(link.events.empty(), !listening);
    }
  }
}

// What the application sees of one Append and Post, through its handlers
// and a link, in order.
TEST(EditCycle, HandlersAndLinksHearAppendAndPostInOrder) {
  ComponentPtr<TStepLoggingDataSet> ds(MakeComponent<TStepLoggingDataSet>(nullptr, Columns()));
  ds->Open();
  std::string heard;
  struct Link : TDataLink {
    std::string* heard;
    void DataSetChanged() override { *heard += "link:changed "; }
    void EditingChanged() override { *heard += "link:editing "; }
    void RecordChanged(TField* field) override { *heard += field ? "link:field " : "link:record "; }
    void UpdateData() override { *heard += "link:update "; }
  } link;
  link.heard = &heard;
  link.SetDataSource(MakeComponent<TDataSource>(ds.get()));
  link.DataSource()->SetDataSet(ds.get());
  ds->SetBeforeInsert([&](TDataSet*) { heard += "before-insert "; });
  ds->SetAfterInsert([&](TDataSet*) { heard += "after-insert "; });
  ds->SetOnNewRecord([&](TDataSet* d) {
    heard += "new-record ";
    d->FieldByName("AMOUNT")->SetAsFloat(1.5);  // a value of its own, in insert state
  });
  ds->SetBeforePost([&](TDataSet*) { heard += "before-post "; });
  ds->SetAfterPost([&](TDataSet*) { heard += "after-post "; });
  ds->SetBeforeScroll([&](TDataSet*) { heard += "before-scroll "; });
  ds->SetAfterScroll([&](TDataSet*) { heard += "after-scroll "; });
  ds->FieldByName("ID")->SetOnChange([&](TField*) { heard += "change "; });
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    heard.clear();
    ds->Append();
    EXPECT_FALSE(ds->Modified());  // the new record's own values do not count
    ds->FieldByName("ID")->SetAsInteger(i);
    EXPECT_TRUE(ds->Modified());
    ds->Post();
    EXPECT_EQ(heard,
              "before-insert before-scroll link:editing new-record link:field link:changed after-insert "
              "after-scroll change link:field link:update before-post link:editing link:changed after-post ");
    EXPECT_EQ(ds->GetState(), dsBrowse);
    EXPECT_EQ(ds->RecNo(), i);
    EXPECT_EQ(ds->RecordCount(), i);
    EXPECT_EQ(ds->FieldByName("AMOUNT")->AsFloat(), 1.5);
  }
}

// How the fields come by their settings, and what Append and Post then do,
// twice over.
struct FieldSettingCase {
  const char* name;
  // On the closed dataset with its fields made, and once it is open.
  std::function<void(TTestMemDataSet&)> before_open;
  std::function<void(TTestMemDataSet&)> after_open;
  const char* appended;  // ID|NAME|AMOUNT|NOTE after Append, null as "-"
  const char* error;     // Post's error after ID is set; "" for none
  const char* appended_again = nullptr;  // after the second Append, when it differs
};

TField* FieldOf(TTestMemDataSet& ds, const char* name) { return ds.FindField(name); }

// Appends and posts twice, checking the values Append gives and the error
// Post raises; a refused record is cancelled.
void ExpectAppendAndPost(const FieldSettingCase& c) {
  SCOPED_TRACE(c.name);
  auto ds = MakeDataSet(Columns());
  CreateDefinedFields(*ds);
  if (c.before_open) c.before_open(*ds);
  ds->Open();
  if (c.after_open) c.after_open(*ds);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ds->Append();
    std::string appended;
    for (int i = 0; i < ds->Fields().Count(); ++i) {
      TField* f = ds->Fields().Fields(i);
      appended += (i ? "|" : "") + (f->IsNull() ? std::string("-") : f->AsString());
    }
    EXPECT_EQ(appended, round == 1 && c.appended_again ? c.appended_again : c.appended);
    ds->FieldByName("ID")->SetAsInteger(round + 1);
    std::string error;
    try {
      ds->Post();
    } catch (const EDatabaseError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error);
    if (!error.empty()) {
      // Nothing was posted; the insert goes on until cancelled.
      EXPECT_EQ(ds->GetState(), dsInsert);
      ds->Cancel();
      EXPECT_EQ(ds->RecordCount(), 0);
    } else {
      EXPECT_EQ(ds->RecordCount(), round + 1);
    }
  }
}

// Post refuses a required field without a value, however the field came by
// the setting: before or after joining the dataset, while open, or changed
// again.
TEST(EditCycle, RequiredFieldsFollowEverySetting) {
  const std::vector<FieldSettingCase> cases = {
      {"nothing", nullptr, nullptr, "-|-|-|-", ""},
      {"required, null", nullptr, [](TTestMemDataSet& ds) { FieldOf(ds, "NAME")->SetRequired(true); }, "-|-|-|-",
       "Field 'NAME' must have a value"},
      {"required before open", [](TTestMemDataSet& ds) { FieldOf(ds, "NOTE")->SetRequired(true); }, nullptr,
       "-|-|-|-", "Field 'NOTE' must have a value"},
      {"required and labelled", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NOTE")->SetRequired(true);
         FieldOf(ds, "NOTE")->SetDisplayLabel("Remark");
       },
       "-|-|-|-", "Field 'Remark' must have a value"},
      {"required, then not", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NAME")->SetRequired(true);
         FieldOf(ds, "NAME")->SetRequired(false);
       },
       "-|-|-|-", ""},
      {"required twice, then not once", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NAME")->SetRequired(true);
         FieldOf(ds, "NAME")->SetRequired(true);
         FieldOf(ds, "NAME")->SetRequired(false);
       },
       "-|-|-|-", ""},
      {"not required twice, then required", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NAME")->SetRequired(false);
         FieldOf(ds, "NAME")->SetRequired(false);
         FieldOf(ds, "NAME")->SetRequired(true);
       },
       "-|-|-|-", "Field 'NAME' must have a value"},
      {"required and given", nullptr, [](TTestMemDataSet& ds) { FieldOf(ds, "ID")->SetRequired(true); }, "-|-|-|-",
       ""},
      {"required but read-only", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NAME")->SetRequired(true);
         FieldOf(ds, "NAME")->SetReadOnly(true);
       },
       "-|-|-|-", ""},
      {"two required, one leaves",
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NAME")->SetRequired(true);
         FieldOf(ds, "NOTE")->SetRequired(true);
         TField* name = FieldOf(ds, "NAME");
         name->SetDataSet(nullptr);
         name->Free();
       },
       nullptr, "-|-|-", "Field 'NOTE' must have a value"},
      {"required outside the dataset, then joins",
       [](TTestMemDataSet& ds) {
         TField* note = FieldOf(ds, "NOTE");
         note->SetDataSet(nullptr);
         note->SetRequired(true);
         note->SetDataSet(&ds);
       },
       nullptr, "-|-|-|-", "Field 'NOTE' must have a value"},
      {"left required, no longer required outside, joins again",
       [](TTestMemDataSet& ds) {
         TField* note = FieldOf(ds, "NOTE");
         note->SetRequired(true);
         note->SetDataSet(nullptr);
         note->SetRequired(false);
         note->SetDataSet(&ds);
         FieldOf(ds, "NAME")->SetRequired(true);
       },
       nullptr, "-|-|-|-", "Field 'NAME' must have a value"},
  };
  for (const FieldSettingCase& c : cases) ExpectAppendAndPost(c);
}

// Append gives default values, however the fields came by them: before or
// after joining the dataset, while open, changed again, or from a handler
// of the insert; a default field may be required too.
TEST(EditCycle, DefaultsFollowEverySetting) {
  const std::vector<FieldSettingCase> cases = {
      {"default", nullptr, [](TTestMemDataSet& ds) { FieldOf(ds, "NAME")->SetDefaultExpression("dflt"); },
       "-|dflt|-|-", ""},
      {"default before open", [](TTestMemDataSet& ds) { FieldOf(ds, "AMOUNT")->SetDefaultExpression("2.5"); },
       nullptr, "-|-|2.5|-", ""},
      {"default replaced, then another", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NAME")->SetDefaultExpression("a");
         FieldOf(ds, "NAME")->SetDefaultExpression("b");
         FieldOf(ds, "NOTE")->SetDefaultExpression("n");
       },
       "-|b|-|n", ""},
      {"default cleared", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NAME")->SetDefaultExpression("a");
         FieldOf(ds, "NOTE")->SetDefaultExpression("n");
         FieldOf(ds, "NAME")->SetDefaultExpression("");
         FieldOf(ds, "NAME")->SetDefaultExpression("");
       },
       "-|-|-|n", ""},
      {"default outside the dataset, then joins",
       [](TTestMemDataSet& ds) {
         TField* note = FieldOf(ds, "NOTE");
         note->SetDataSet(nullptr);
         note->SetDefaultExpression("n");
         note->SetDataSet(&ds);
       },
       nullptr, "-|-|-|n", ""},
      {"a default's handler gives a later field a default", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NAME")->SetDefaultExpression("a");
         FieldOf(ds, "NAME")->SetOnChange([&ds](TField*) { ds.FindField("NOTE")->SetDefaultExpression("late"); });
       },
       "-|a|-|late", ""},
      {"a default's handler takes its own away", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NAME")->SetDefaultExpression("a");
         FieldOf(ds, "NAME")->SetOnChange([](TField* f) { f->SetDefaultExpression(""); });
       },
       "-|a|-|-", "", "-|-|-|-"},
      {"a default and a required field", nullptr,
       [](TTestMemDataSet& ds) {
         FieldOf(ds, "NOTE")->SetDefaultExpression("n");
         FieldOf(ds, "NOTE")->SetRequired(true);
       },
       "-|-|-|n", ""},
  };
  for (const FieldSettingCase& c : cases) ExpectAppendAndPost(c);
}

}  // namespace
}  // namespace dac
