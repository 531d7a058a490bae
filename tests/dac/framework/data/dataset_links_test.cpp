#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/table_name_scanner.h"
#include "tests/dac/framework/error_text.h"
#include "tests/dac/framework/row_dataset.h"

namespace dac {
namespace {

// Departments (id, name) and employees (id, name, dept) with a calculated
// upper-case name and a lookup of the department's name.
class Staff : public ::testing::Test {
 protected:
  Staff() : depts_(MakeNames(2, "Depts")), staff_(MakeComponent<RowDataSet>(nullptr)) {
    depts_->First();
    depts_->Edit();
    depts_->FieldByName("name")->SetAsString("sales");
    depts_->Post();
    staff_->SetName("Staff");
    staff_->columns = {{"id", ftInteger}, {"name", ftString, 10}, {"dept", ftInteger}};
    staff_->FieldDefs().Update();
    for (int i = 0; i < staff_->FieldDefs().Count(); ++i) staff_->FieldDefs().Items(i)->CreateField(staff_);
    auto* shout = AddField(staff_, MakeComponent<TStringField>(staff_), "shout", fkCalculated);
    shout->SetSize(12);
    dept_name_ = AddField(staff_, MakeComponent<TStringField>(staff_), "dept_name", fkLookup);
    dept_name_->SetLookupDataSet(depts_);
    dept_name_->SetKeyFields("dept");
    dept_name_->SetLookupKeyFields("id");
    dept_name_->SetLookupResultField("name");
    staff_->SetOnCalcFields([](TDataSet* d) {
      std::string name = d->FieldByName("name")->AsString();
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      d->FieldByName("shout")->SetAsString(name);
    });
    staff_->Open();
    staff_->AddRows({{1, "ann", 1}, {2, "bob", 2}, {3, "cy", 9}, {4, "di", 1}});
  }
  ~Staff() override {
    if (staff_) staff_->Free();
    if (depts_) depts_->Free();
  }
  // The calculated and looked-up values of every record of the ring, through a link's window.
  std::vector<std::string> RingValues(TDataLink& link) {
    std::vector<std::string> values;
    const int active = link.ActiveRecord();
    for (int i = 0; i < link.RecordCount(); ++i) {
      link.SetActiveRecord(i);
      const Variant dept = staff_->FieldByName("dept_name")->Value();
      values.push_back(staff_->FieldByName("shout")->AsString() + "/" + (dept.IsNull() ? "null" : dept.AsString()));
    }
    link.SetActiveRecord(active);
    return values;
  }

  RowDataSet* depts_;
  RowDataSet* staff_;
  TField* dept_name_;
};

TEST_F(Staff, CalculatedAndLookupValuesFillEveryRingBufferAndFollowChanges) {
  EXPECT_EQ(staff_->field_def_reads, 2);  // FieldDefs.Update on the closed dataset, then the open
  EXPECT_FALSE(staff_->DefaultFields());
  TDataLink link;
  Attach(link, staff_, 3);
  staff_->First();
  EXPECT_EQ(RingValues(link), (std::vector<std::string>{"ANN/sales", "BOB/n2", "CY/null"}));
  EXPECT_EQ(ErrorOf([&] { link.SetActiveRecord(3); }), "List index out of bounds (3)");
  staff_->Edit();
  staff_->FieldByName("dept")->SetAsInteger(2);
  staff_->FieldByName("name")->SetAsString("zed");
  EXPECT_EQ(RingValues(link).front(), "ZED/n2");
  staff_->Cancel();
  EXPECT_EQ(RingValues(link).front(), "ANN/sales");
  // Freed, the lookup dataset is forgotten and its values become null.
  depts_->Free();
  depts_ = nullptr;
  EXPECT_EQ(dept_name_->LookupDataSet(), nullptr);
  staff_->Refresh();
  EXPECT_EQ(RingValues(link), (std::vector<std::string>{"ANN/null", "BOB/null", "CY/null"}));
}

TEST_F(Staff, LookupsInACircleAreRefused) {
  staff_->Close();
  dept_name_->SetLookupDataSet(staff_);
  EXPECT_EQ(ErrorOf([&] { staff_->Open(); }), "Staff: Circular datalinks are not allowed");
  EXPECT_FALSE(staff_->GetActive());
  EXPECT_EQ(staff_->live_buffers, 0);
  // Through another dataset: the departments look the staff up in turn.
  dept_name_->SetLookupDataSet(depts_);
  depts_->Close();
  MakePersistentFields(depts_);
  TField* back = AddField(depts_, MakeComponent<TStringField>(depts_), "who", fkLookup);
  back->SetLookupDataSet(staff_);
  back->SetKeyFields("id");
  back->SetLookupKeyFields("dept");
  back->SetLookupResultField("name");
  depts_->Open();
  EXPECT_EQ(ErrorOf([&] { staff_->Open(); }), "Staff: Circular datalinks are not allowed");
  EXPECT_FALSE(staff_->Calculating());
  EXPECT_FALSE(depts_->Calculating());
}

TEST(DataSetFields, PersistentFieldsMustMatchTheirDefinitions) {
  struct Case {
    const char* name;
    std::function<TField*(TComponent*)> make;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"name", [](TComponent* o) { return MakeComponent<TIntegerField>(o); },
       "DS: Type mismatch for field 'name', expecting: Integer actual: String"},
      {"id", [](TComponent* o) { return MakeComponent<TStringField>(o); },
       "DS: Type mismatch for field 'id', expecting: String actual: Integer"},
      {"ghost", [](TComponent* o) { return MakeComponent<TIntegerField>(o); }, "DS: Field ghost not found"},
      {"id", [](TComponent* o) { return MakeComponent<TAutoIncField>(o); }, "no error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    RowDataSet* ds = MakeNames(2);
    ds->Close();
    AddField(ds, c.make(ds), c.name, fkData);
    const int closes = ds->closes;
    EXPECT_EQ(ErrorOf([&] { ds->Open(); }), c.error);
    EXPECT_EQ(ds->GetActive(), c.error == "no error");
    if (!ds->GetActive()) {
      EXPECT_EQ(ds->closes, closes + 1);
      EXPECT_EQ(ds->live_buffers, 0);
      EXPECT_EQ(ds->FieldCount(), 1);
    }
    ds->Free();
  }
}

// A detail dataset that shows the staff of the master's current department.
class DeptLink : public TDetailDataLink {
 public:
  explicit DeptLink(RowDataSet* detail) : detail_(detail) {}
  TDataSet* GetDetailDataSet() override { return detail_; }

 protected:
  void RecordChanged(TField* field) override {
    if (!field && detail_->GetActive()) detail_->First();
  }
  void CheckBrowseMode() override {
    if (detail_->GetActive()) detail_->CheckBrowseMode();
  }

 private:
  RowDataSet* detail_;
};

std::vector<int> Ids(TDataSet* ds) {
  std::vector<int> ids;
  for (ds->First(); !ds->GetEOF(); ds->Next()) ids.push_back(ds->FieldByName("id")->AsInteger());
  return ids;
}

TEST_F(Staff, ADetailFollowsItsMasterAndIsPostedBeforeTheMasterMoves) {
  auto* master = MakeComponent<TDataSource>(depts_);
  master->SetDataSet(depts_);
  staff_->master = master;
  staff_->SetOnFilterRecord([this](TDataSet* d, bool& accept) {
    accept = d->FieldByName("dept")->AsInteger() == depts_->FieldByName("id")->AsInteger();
  });
  staff_->SetFiltered(true);
  DeptLink link(staff_);
  link.SetDataSource(master);
  depts_->First();
  EXPECT_EQ(Ids(staff_), (std::vector<int>{1, 4}));
  depts_->Next();
  EXPECT_EQ(Ids(staff_), (std::vector<int>{2}));
  staff_->Edit();
  staff_->FieldByName("name")->SetAsString("bo");
  depts_->Prior();
  EXPECT_EQ(staff_->GetState(), dsBrowse);
  EXPECT_EQ(Ids(staff_), (std::vector<int>{1, 4}));
  EXPECT_EQ(staff_->Lookup("id", 2, "name").AsString(), "bo");
  // A source refuses a dataset that already follows it, however far round.
  EXPECT_TRUE(master->IsLinkedTo(depts_));
  EXPECT_FALSE(master->IsLinkedTo(staff_));
  auto* staff_source = MakeComponent<TDataSource>(staff_);
  EXPECT_EQ(ErrorOf([&] { master->SetDataSet(staff_); }), "Circular datalinks are not allowed");
  depts_->master = staff_source;
  EXPECT_EQ(ErrorOf([&] { staff_source->SetDataSet(staff_); }), "Circular datalinks are not allowed");
  EXPECT_EQ(staff_source->DataSet(), nullptr);
  depts_->master = nullptr;
  staff_source->SetDataSet(staff_);
  EXPECT_TRUE(staff_source->IsLinkedTo(depts_));
  // Freed, the master source lets its link go.
  master->Free();
  EXPECT_EQ(link.DataSource(), nullptr);
  EXPECT_FALSE(link.Active());
  staff_->master = nullptr;
}

TEST(DataSources, FreedPartnersAreForgottenAndTheRingFollowsTheLinks) {
  RowDataSet* ds = MakeNames(6);
  auto* source = MakeComponent<TDataSource>(nullptr);
  source->SetDataSet(ds);
  auto* wide = new TDataLink;
  wide->SetBufferCount(4);
  wide->SetDataSource(source);
  TDataLink narrow;
  narrow.SetDataSource(source);
  EXPECT_TRUE(narrow.Active());
  ds->First();
  EXPECT_EQ(ds->RingIds(), (std::vector<int>{1, 2, 3, 4}));
  ds->Last();
  EXPECT_EQ(ds->RingIds(), (std::vector<int>{3, 4, 5, 6}));
  EXPECT_EQ(wide->ActiveRecord(), 3);
  delete wide;
  EXPECT_EQ(ds->RingIds(), (std::vector<int>{6}));
  EXPECT_EQ(ds->live_buffers, 2);
  source->SetEnabled(false);
  EXPECT_FALSE(narrow.Active());
  source->SetEnabled(true);
  ds->Free();
  EXPECT_EQ(source->DataSet(), nullptr);
  EXPECT_FALSE(narrow.Active());
  EXPECT_EQ(source->State(), dsInactive);
  source->Free();
  EXPECT_EQ(narrow.DataSource(), nullptr);
}

TEST(DataSetDefinitions, UpdateWhileClosedUsesAnInformationCursorAndLoadingDefersOpening) {
  RowDataSet* ds = MakeNames(1);
  MakePersistentFields(ds);
  const int reads = ds->field_def_reads;
  const int closes = ds->closes;
  ds->columns.push_back({"extra", ftFloat});
  ds->FieldDefs().Update();
  EXPECT_EQ(ds->field_def_reads, reads + 1);
  EXPECT_EQ(ds->closes, closes + 1);
  EXPECT_FALSE(ds->GetActive());
  EXPECT_EQ(ds->FieldDefs().Count(), 3);
  EXPECT_EQ(ds->FieldCount(), 2);  // the persistent fields stay
  EXPECT_EQ(ds->live_buffers, 0);
  // Read from a stream, the dataset opens only once it is loaded.
  ds->BeginLoading();
  ds->SetActive(true);
  EXPECT_FALSE(ds->GetActive());
  ds->EndReading();
  ds->Loaded();
  EXPECT_TRUE(ds->GetActive());
  ds->Free();
}

TEST(DataSetProvider, TheBaseAnswersKeyFieldsAndTheTableOfItsStatement) {
  RowDataSet* ds = MakeNames(1);
  ds->FieldByName("id")->SetProviderFlags({pfInKey, pfInWhere});
  ds->FieldByName("name")->SetProviderFlags({pfInKey});
  EXPECT_EQ(ds->PSGetKeyFields(), "id;name");
  EXPECT_EQ(ErrorOf([&] { ds->PSExecute(); }), "DS: Operation not supported");
  EXPECT_EQ(ErrorOf([&] { ds->PSExecuteStatement("DELETE FROM t", nullptr); }), "DS: Operation not supported");
  EXPECT_EQ(ErrorOf([&] { ds->CreateBlobStream(ds->FieldByName("name"), bmRead); }), "DS: Operation not supported");
  ds->Free();
  const std::vector<std::pair<std::string, std::string>> statements = {
      {"SELECT * FROM orders WHERE id = 1", "orders"},
      {"select a from\n  shop.orders o", "shop.orders"},
      {"SELECT 'FROM x', \"from y\" /* FROM z */ FROM `my table`", "`my table`"},
      {"SELECT a -- FROM x\nFROM [t 1].b", "[t 1].b"},
      {"SELECT 'it''s', 'a\\'b' FROM t", "t"},
      {"SELECT fromage FROM cheese", "cheese"},
      {"SELECT * FROM (SELECT 1) s", ""},
      {"SELECT 1", ""},
      {"SELECT * FROM", ""},
      {"SELECT * FROM \"unterminated", "\"unterminated"},
  };
  for (const auto& [sql, table] : statements) EXPECT_EQ(GetTableNameFromSQL(sql), table) << sql;
}

}  // namespace
}  // namespace dac
