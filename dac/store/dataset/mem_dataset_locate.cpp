// TMemDataSet: Locate, LocateEx and Lookup. Keys that lead the record set's
// sort order are found by binary search; the rest by a scan, which also
// decides every search with partial or nearest matching.
#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "dac/framework/data/fields.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/marshal.h"

namespace dac {

namespace {

struct FreeKeyBuffer {
  void operator()(void* buffer) const { Marshal::FreeHGlobal(buffer); }
};

// One key of a search: its descriptor, its value in native form (none for
// null) and where it sits in the caller's list of values.
struct SearchKey {
  TFieldDesc* desc = nullptr;
  size_t value_index = 0;
  bool descending = false;
  std::unique_ptr<void, FreeKeyBuffer> value;
  int value_type = 0;
};

TLocateExOptions ToLocateEx(TLocateOptions options) {
  TLocateExOptions result;
  if (options.Contains(loCaseInsensitive)) result.Include(lxCaseInsensitive);
  if (options.Contains(loPartialKey)) result.Include(lxPartialKey);
  return result;
}

// Element index of a value array, or the value itself for the first key.
Variant KeyValue(const Variant& values, size_t index) {
  if (values.Type() == varVariantArray) return index < values.ArrayCount() ? values.ArrayElement(index) : Variant::Null();
  return index == 0 ? values : Variant::Null();
}

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

// The search over the record set's rows, one row at a time in the work buffer.
class RowSearch {
 public:
  RowSearch(TMemData& data, TRecordBuffer work, std::vector<SearchKey>& keys, TLocateExOptions options,
            std::function<void(TRecordBuffer)> calculate)
      : data_(data), work_(work), keys_(keys), options_(options), calculate_(std::move(calculate)) {}

  // Row n (1-based, visible rows) into the work buffer.
  void Read(int n) {
    data_.SetRecordNo(n);
    data_.GetRecord(work_);
    if (calculate_) calculate_(work_);
  }

  // The first `count` keys against the row (the work buffer's or the
  // stored one), in sort order: <0 when the keys come before it, >0 after it.
  int CompareSorted(size_t count, void* row) {
    for (size_t k = 0; k < count; ++k) {
      const SearchKey& key = keys_[k];
      const bool row_null = data_.GetNull(key.desc->GetFieldNo(), row);
      int result = 0;
      if (!key.value) {
        result = row_null ? 0 : -1;
      } else if (row_null) {
        result = 1;
      } else {
        result = Sign(data_.CompareFieldValue(key.value.get(), key.value_type, key.desc, row, options_));
      }
      if (key.descending) result = -result;
      if (result != 0) return result;
    }
    return 0;
  }
  // Stored values are compared where they lie; calculated ones in the work buffer.
  int CompareSortedAt(int n, size_t count) {
    if (!calculate_ && StoredKeys(count)) {
      data_.SetRecordNo(n);
      if (PItemHeader item = data_.GetCurrentItem()) return CompareSorted(count, TBlockManager::GetRecordPtr(item));
    }
    Read(n);
    return CompareSorted(count, work_);
  }
  // The keys can be compared with the stored rows as they lie (no calculated values).
  bool Direct(size_t count) const { return !calculate_ && StoredKeys(count); }
  // The first row of first..last where the first `count` keys compare equal
  // (the last one going up), or 0: the edge of the equal rows is found by
  // halving over the order's items, the rows before it (after it going up)
  // being those the keys come after (come after or equal).
  int EqualEdge(int first, int last, size_t count, bool up) {
    const int point = data_.PartitionRecords(first, last, [this, count, up](PItemHeader item) {
      const int result = CompareSorted(count, TBlockManager::GetRecordPtr(item));
      return up ? result >= 0 : result > 0;
    });
    const int edge = up ? point - 1 : point;
    if (edge < first || edge > last) return 0;
    return CompareSortedAt(edge, count) == 0 ? edge : 0;
  }
  bool StoredKeys(size_t count) const {
    for (size_t k = 0; k < count; ++k) {
      if (keys_[k].desc->GetFieldDescKind() != fdkData) return false;
    }
    return true;
  }

  // Every key against the row: equal, or (lxNearest) the row's value greater.
  bool Matches() {
    for (const SearchKey& key : keys_) {
      const bool row_null = data_.GetNull(key.desc->GetFieldNo(), work_);
      if (!key.value || row_null) {
        if (key.value || !row_null) return false;
        continue;
      }
      const int result = data_.CompareFieldValue(key.value.get(), key.value_type, key.desc, work_, options_);
      if (result != 0 && !(options_.Contains(lxNearest) && result < 0)) return false;
    }
    return true;
  }

  // A row between first and last (inclusive) where the first `count` keys
  // compare equal, or 0.
  int BinarySearch(int first, int last, size_t count) {
    int result = CompareSortedAt(first, count);
    if (result == 0) return first;
    if (result < 0) return 0;
    result = CompareSortedAt(last, count);
    if (result == 0) return last;
    if (result > 0) return 0;
    while (last - first >= 2) {
      const int mid = first + (last - first) / 2;
      result = CompareSortedAt(mid, count);
      if (result == 0) return mid;
      if (result < 0) {
        last = mid;
      } else {
        first = mid;
      }
    }
    return 0;
  }

  // From a row where the first `count` keys are equal, the first such row
  // (the last going up) that stays between first and last.
  int EdgeOfEqual(int found, int first, int last, size_t count, bool up) {
    if (up) {
      while (found < last && CompareSortedAt(found + 1, count) == 0) ++found;
    } else {
      while (found > first && CompareSortedAt(found - 1, count) == 0) --found;
    }
    return found;
  }

  // The first matching row from `from` toward `to`, or 0.
  int Scan(int from, int to) {
    const int step = from <= to ? 1 : -1;
    for (int n = from;; n += step) {
      Read(n);
      if (Matches()) return n;
      if (n == to) return 0;
    }
  }

 private:
  TMemData& data_;
  TRecordBuffer work_;
  std::vector<SearchKey>& keys_;
  TLocateExOptions options_;
  std::function<void(TRecordBuffer)> calculate_;
};

// The keys that lead the sort order, in its order, moved first; their count.
// Partial, nearest and differently cased searches use no order.
size_t LeadSortedKeys(std::vector<SearchKey>& search, TMemData& data, TLocateExOptions options) {
  size_t sorted = 0;
  if (options.Contains(lxPartialKey) || options.Contains(lxPartialCompare) || options.Contains(lxNearest)) return 0;
  for (const TSortColumn& column : data.GetSortColumns()) {
    if (column.CaseSensitive == options.Contains(lxCaseInsensitive)) break;
    auto it = std::find_if(search.begin() + static_cast<std::ptrdiff_t>(sorted), search.end(),
                           [&](const SearchKey& key) { return key.desc == column.FieldDesc; });
    if (it == search.end()) break;
    it->descending = column.DescendingOrder;
    std::iter_swap(search.begin() + static_cast<std::ptrdiff_t>(sorted), it);
    ++sorted;
  }
  return sorted;
}

// The first matching row of first..last (last..first when up); 0 for none.
// Sorted leading keys are found by halving, the others by a scan from there.
int FindRow(RowSearch& rows, int first, int last, size_t sorted, size_t keys, bool up) {
  if (sorted == 0) return up ? rows.Scan(last, first) : rows.Scan(first, last);
  int edge = 0;
  if (rows.Direct(sorted)) {
    edge = rows.EqualEdge(first, last, sorted, up);
  } else {
    const int hit = rows.BinarySearch(first, last, sorted);
    edge = hit > 0 ? rows.EdgeOfEqual(hit, first, last, sorted, up) : 0;
  }
  if (edge <= 0) return 0;
  if (sorted == keys) return edge;
  return up ? rows.Scan(edge, first) : rows.Scan(edge, last);
}

// Going forward, the rows not read yet count too: they are read a block at
// a time (as moving past the last row reads them) until one matches.
int FindInRowsToCome(RowSearch& rows, TMemData& data, int first, size_t sorted, size_t keys,
                     const std::function<bool()>& fetch_more) {
  int read = data.GetRecordCount();
  while (fetch_more()) {
    const int count = data.GetRecordCount();
    if (count <= read) continue;
    data.PrepareRecNoCache();
    // In a sort order new rows may sort among the old: the whole range again.
    const int from = sorted > 0 ? first : std::max(first, read + 1);
    read = count;
    if (from > count) continue;
    if (const int found = FindRow(rows, from, count, sorted, keys, false)) return found;
  }
  return 0;
}

}  // namespace

// ---- the searches ----

bool TMemDataSet::ScrollToFound(bool found, TResyncMode mode) {
  if (found) {
    Resync(mode);
    DoAfterScroll();
  }
  return found;
}

bool TMemDataSet::Locate(const std::string& key_fields, const Variant& key_values, TLocateOptions options) {
  DoBeforeScroll();
  return ScrollToFound(LocateRecord(key_fields, key_values, ToLocateEx(options), false), {rmExact, rmCenter});
}

bool TMemDataSet::Locate(const std::vector<TField*>& key_fields, const Variant& key_values, TLocateOptions options) {
  DoBeforeScroll();
  return ScrollToFound(LocateRecord(key_fields, key_values, ToLocateEx(options), false), {rmExact, rmCenter});
}

bool TMemDataSet::LocateEx(const std::string& key_fields, const Variant& key_values, TLocateExOptions options) {
  DoBeforeScroll();
  return ScrollToFound(LocateRecord(key_fields, key_values, options, false), {});
}

bool TMemDataSet::LocateEx(const std::vector<TField*>& key_fields, const Variant& key_values,
                           TLocateExOptions options) {
  DoBeforeScroll();
  return ScrollToFound(LocateRecord(key_fields, key_values, options, false), {});
}

Variant TMemDataSet::Lookup(const std::string& key_fields, const Variant& key_values,
                            const std::string& result_fields) {
  if (!LocateRecord(key_fields, key_values, {}, true)) return Variant::Null();
  TRecordBuffer work = TempBuffer();
  if (!cache_calc_fields_) CalculateFields(work);
  // The found record stays in the temporary buffer; the fields read it there.
  TTempState reading(*this, dsFilter);
  const TRecordBuffer saved = std::exchange(filter_buffer_, work);
  try {
    Variant result = GetFieldValues(result_fields);
    filter_buffer_ = saved;
    return result;
  } catch (...) {
    filter_buffer_ = saved;
    throw;
  }
}

// Values belong to the names' places, also when a name is unknown and skipped.
bool TMemDataSet::LocateRecord(const std::string& key_fields, const Variant& key_values, TLocateExOptions options,
                               bool save_position) {
  std::vector<TFieldDesc*> keys;
  for (size_t pos = 1; pos <= key_fields.size();) keys.push_back(record_set_->FindField(ExtractFieldName(key_fields, pos)));
  return InternalLocateRecord(std::move(keys), key_values, options, save_position);
}

bool TMemDataSet::LocateRecord(const std::vector<TField*>& key_fields, const Variant& key_values,
                               TLocateExOptions options, bool save_position) {
  std::vector<TFieldDesc*> keys;
  for (TField* field : key_fields) keys.push_back(field ? GetFieldDesc(field) : nullptr);
  return InternalLocateRecord(std::move(keys), key_values, options, save_position);
}

// keys: by the values' places; null entries (unknown names) are skipped.
bool TMemDataSet::InternalLocateRecord(std::vector<TFieldDesc*> keys, const Variant& key_values,
                                       TLocateExOptions options, bool save_position) {
  std::vector<SearchKey> search;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (!keys[i]) continue;
    search.emplace_back();
    search.back().desc = keys[i];
    search.back().value_index = i;
  }
  if (search.empty()) return false;
  CheckBrowseMode();
  CursorPosChanged();
  UpdateCursorPos();
  TMemData* data = MemData();
  DAC_ASSERT(data, "Assertion failure");
  TRecordBuffer work = TempBuffer();
  FreeRefComplexFields(work, true);
  DetachBlobStreams(work);

  const size_t sorted = LeadSortedKeys(search, *data, options);
  bool calculated = false;
  for (size_t k = 0; k < search.size(); ++k) {
    SearchKey& key = search[k];
    void* value = nullptr;
    CopyFieldValue(KeyValue(key_values, key.value_index), value, key.value_type, key.desc, k < sorted);
    key.value.reset(value);
    calculated = calculated || key.desc->GetFieldDescKind() == fdkCalculated;
  }

  // The rows searched: all, those after the current one (lxNext), or those
  // before it, searched backward (lxUp).
  const int count = data->GetRecordCount();
  const int current = data->GetRecordNo();
  const bool up = options.Contains(lxUp);
  const int first = !up && options.Contains(lxNext) ? current + 1 : 1;
  const int last = up ? current - 1 : count;
  TRecBookmark saved;
  data->GetBookmark(&saved);
  data->PrepareRecNoCache();

  RowSearch rows(*data, work, search, options,
                 calculated ? std::function<void(TRecordBuffer)>([this](TRecordBuffer b) { CalculateFields(b); })
                            : nullptr);
  // Rows outside 1..count do not exist: nothing is read then.
  const bool in_range = first >= 1 && first <= last && last <= count;
  int found = in_range ? FindRow(rows, first, last, sorted, search.size(), up) : 0;
  if (found == 0 && !up)
    found = FindInRowsToCome(rows, *data, first, sorted, search.size(), [this] { return FetchMoreRows(); });
  // The found row stays in the work buffer (Lookup reads it there).
  if (found > 0) rows.Read(found);
  if ((save_position || found == 0) && count > 0) data->SetToBookmark(&saved);
  return found > 0;
}

}  // namespace dac
