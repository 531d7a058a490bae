// A dataset over a test record set with the columns it is given, counting
// the changes that would reach a server.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dac/framework/data/field.h"
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

}  // namespace dac::testing
