// A dataset over a test record set with the columns it is given, counting
// the changes that would reach a server.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dac/framework/data/data_link.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/string_fields.h"
#include "dac/store/dataset/mem_dataset.h"
#include "tests/dac/store/test_mem_data.h"

namespace dac::testing {

class TTestMemDataSet : public TMemDataSet {
 public:
  TTestMemDataSet(TComponent* owner, std::vector<Column> columns) : TMemDataSet(owner), columns_(std::move(columns)) {}

  TTestMemData& Rows() { return *static_cast<TTestMemData*>(Data()); }
  // The rows an open fetches.
  void AddSource(const std::vector<Row>& rows) {
    for (const Row& row : rows) Rows().source.push_back(row);
  }
  TField* F(const std::string& name) { return FieldByName(name); }
  std::string Text(const std::string& name) { return F(name)->AsString(); }
  // The values of a field over the whole dataset, "|"-separated (null as "-").
  std::string Values(const std::string& name) {
    std::string text;
    for (First(); !GetEOF(); Next()) text += (text.empty() ? "" : "|") + (F(name)->IsNull() ? "-" : Text(name));
    return text;
  }

  // What PerformAppend, PerformUpdate, PerformDelete (A, U, D) and FlushBatch
  // (F) were asked, in order; on_perform runs inside each (it may throw).
  std::string performed;
  std::function<void(char)> on_perform;
  // A batching subclass: BatchUpdate and CanFlushBatch answer these.
  bool batch = false;
  bool can_flush = false;
  using TMemDataSet::SetModified;
  using TMemDataSet::ActiveBuffer;
  using TMemDataSet::GetFieldType;
  using TMemDataSet::OwnsComplexFields;
  using TMemDataSet::BookmarkOfs;

 protected:
  void CreateIRecordSet() override {
    auto data = std::make_unique<TTestMemData>(columns_);
    SetIRecordSet(data.release());
  }
  void PerformAppend() override { Perform('A'); }
  void PerformUpdate() override { Perform('U'); }
  void PerformDelete() override { Perform('D'); }
  bool BatchUpdate() override { return batch; }
  bool CanFlushBatch() override { return can_flush; }
  void FlushBatch() override { Perform('F'); }

 private:
  void Perform(char what) {
    performed += what;
    if (on_perform) on_perform(what);
  }
  std::vector<Column> columns_;
};

struct FreeComponent {
  void operator()(TComponent* component) const { component->Free(); }
};
template <typename T>
using ComponentPtr = std::unique_ptr<T, FreeComponent>;

inline ComponentPtr<TTestMemDataSet> MakeDataSet(std::vector<Column> columns) {
  return ComponentPtr<TTestMemDataSet>(MakeComponent<TTestMemDataSet>(nullptr, std::move(columns)));
}

// The fields the definitions give, made before the dataset opens, so that
// calculated and lookup fields can stand beside them.
inline void CreateDefinedFields(TDataSet& ds) {
  ds.InitFieldDefs();
  for (int i = 0; i < ds.FieldDefs().Count(); ++i) ds.FieldDefs().Items(i)->CreateField(&ds);
}

// A calculated integer field named name (the dataset's OnCalcFields sets it).
inline TIntegerField* AddCalculatedInteger(TDataSet& ds, const std::string& name) {
  auto* field = MakeComponent<TIntegerField>(&ds);
  field->SetFieldName(name);
  field->SetFieldKind(fkCalculated);
  field->SetDataSet(&ds);
  return field;
}

// A lookup text field named name: lookup's result for the row's key.
inline TStringField* AddLookupText(TDataSet& ds, const std::string& name, int size, TDataSet* lookup,
                                   const std::string& key, const std::string& lookup_key, const std::string& result) {
  auto* field = MakeComponent<TStringField>(&ds);
  field->SetFieldName(name);
  field->SetSize(size);
  field->SetFieldKind(fkLookup);
  field->SetLookupDataSet(lookup);
  field->SetKeyFields(key);
  field->SetLookupKeyFields(lookup_key);
  field->SetLookupResultField(result);
  field->SetDataSet(&ds);
  return field;
}

// A data link that writes down what it hears: C a dataset change, E an
// editing change, F a field's change, R a record's.
class LinkRecorder : public TDataLink {
 public:
  std::string events;
  void DataSetChanged() override { events += "C"; }
  void EditingChanged() override { events += "E"; }
  void RecordChanged(TField* field) override { events += field ? "F" : "R"; }
};

}  // namespace dac::testing
