// An in-memory record set for tests: the columns it is given, and an open
// that fetches the rows of `source` in blocks, as a server record set does.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include "dac/store/record/mem_data.h"
#include "tests/dac/store/test_record_set.h"

namespace dac::testing {

using Row = std::vector<Variant>;

// A fresh record of the layout holding the values (field 1 first).
inline void FillRecord(TData& data, void* rec, const Row& values) {
  data.InitRecord(rec);
  data.CreateComplexFields(rec, true);
  for (size_t i = 0; i < values.size(); ++i) data.PutFieldAsVariant(static_cast<uint16_t>(i + 1), rec, values[i]);
}

class TTestMemData : public TColumnsData<TMemData> {
 public:
  std::vector<Row> source;
  int fetch_rows = 7;
  bool fetch_all = true;  // else an open brings the first block only

  explicit TTestMemData(std::vector<Column> described) {
    columns = std::move(described);
    Create();
  }

  void Append(const Row& values) {
    void* rec = nullptr;
    AllocRecBuf(rec);
    FillRecord(*this, rec, values);
    AppendRecord(rec);
    FreeRecBuf(rec);
  }
  Variant Value(PItemHeader item, uint16_t field_no) {
    Variant value;
    GetFieldAsVariant(field_no, Rec(item), value);
    return value;
  }
  // The field over the visible rows, front to back.
  std::vector<Variant> Values(uint16_t field_no) {
    std::vector<Variant> values;
    for (SetToBegin(), GetNextRecord(nullptr); !GetEOF(); GetNextRecord(nullptr)) {
      values.push_back(Value(GetCurrentItem(), field_no));
    }
    return values;
  }

  bool Fetch(bool) override {
    if (fetched_ >= source.size()) return false;
    const int used = static_cast<int>(std::min<size_t>(static_cast<size_t>(fetch_rows), source.size() - fetched_));
    PBlockHeader block = nullptr;
    GetBlockMan().AllocBlock(block, fetch_rows);
    for (int i = 0; i < used; ++i) {
      void* rec = Rec(GetBlockMan().BlockItem(block, i));
      FillRecord(*this, rec, source[fetched_++]);
      ForEachBlob(rec, &TBlob::Commit);  // fetched values have no earlier version
    }
    LinkFetchedItems(block, used);
    return true;
  }

 protected:
  void InternalOpen() override {
    fetched_ = 0;
    InitFields();
    while (Fetch(false) && fetch_all) {
    }
  }

 private:
  size_t fetched_ = 0;
};

}  // namespace dac::testing
