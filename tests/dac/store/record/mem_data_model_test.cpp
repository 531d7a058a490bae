// The in-memory record set against a plain model: random appends, inserts,
// deletes, edits, navigation, filters, sorting, positioning and bookmarks
// (across deletes and reopens), with every observable checked after each step;
// and on a large set also locates by value, halving over the sorted rows of a
// range, and cached updates (edits, deletes, reverts, applying and
// committing, cancelling, which statuses show).
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "tests/dac/store/test_mem_data.h"

namespace dac {
namespace {

using testing::Row;
using testing::TTestMemData;

enum ModelStatus { kUnmodified, kUpdated, kAppended, kDeleted };  // as TItemStatus

struct ModelRow {
  int32_t id;
  int32_t k;
  ModelStatus status = kUnmodified;
  int32_t old_k = 0;  // before the first edit, while kUpdated
};

// Rows in list order, the cursor (an index, -1 for none) and its end flags.
struct Model {
  std::vector<ModelRow> rows;
  int cur = -1;
  bool bof = true;
  bool eof = true;
  int filter = 0;  // 0 none, 1 a filter function (k % 3 != 0), 2 the text "K > 3"
  bool sorted = false;
  int generation = 0;
  bool cached = false;
  TItemTypes types{isUnmodified, isUpdated, isAppended};  // shown while cached

  bool Visible(const ModelRow& row) const {
    if (cached && !types.Contains(static_cast<TItemStatus>(row.status))) return false;
    return filter == 0 || (filter == 1 ? row.k % 3 != 0 : row.k > 3);
  }
  static bool Before(const ModelRow& a, const ModelRow& b) { return a.k != b.k ? a.k > b.k : a.id < b.id; }
  std::vector<int32_t> VisibleIds() const {
    std::vector<int32_t> ids;
    for (const ModelRow& row : rows) {
      if (Visible(row)) ids.push_back(row.id);
    }
    return ids;
  }
  int Find(int32_t id) const {
    auto it = std::find_if(rows.begin(), rows.end(), [id](const ModelRow& row) { return row.id == id; });
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
  }
  void Land(int index) {
    cur = index;
    bof = eof = false;
  }
  // Moves rows[index] where the sort order wants it.
  void Place(int index) {
    if (!sorted) return Land(index);
    const ModelRow row = rows[static_cast<size_t>(index)];
    rows.erase(rows.begin() + index);
    Land(static_cast<int>(rows.insert(std::upper_bound(rows.begin(), rows.end(), row, Before), row) - rows.begin()));
  }
  void SetRecordNo(int n) {
    const std::vector<int32_t> ids = VisibleIds();
    if (n >= 1 && n <= static_cast<int>(ids.size())) Land(Find(ids[static_cast<size_t>(n) - 1]));
  }
  // The row leaves; the cursor goes to the row after it, or the one before.
  void Remove(int index) {
    rows.erase(rows.begin() + index);
    if (cur == index) cur = std::min(cur, static_cast<int>(rows.size()) - 1);
    if (cur > index) --cur;
    if (rows.empty()) {
      cur = -1;
      bof = eof = true;
    }
  }
  // What reverting a changed row does to it; false when it went away.
  bool Revert(int index) {
    ModelRow& row = rows[static_cast<size_t>(index)];
    if (row.status == kAppended) {
      Remove(index);
      return false;
    }
    if (row.status == kUpdated) row.k = row.old_k;
    row.status = kUnmodified;
    return true;
  }
  // Values restored in place leave the order as it was: both sides sort again.
  void Resort() {
    if (sorted) std::stable_sort(rows.begin(), rows.end(), Before);
  }
  void ToEnd(bool begin) {
    cur = -1;
    (begin ? bof : eof) = true;
    if (!rows.empty()) (begin ? eof : bof) = false;
  }
  void Step(int direction) {
    bool& leaving = direction > 0 ? bof : eof;
    bool& reaching = direction > 0 ? eof : bof;
    if (cur < 0 && reaching) return;
    if (cur < 0) leaving = false;
    const int n = static_cast<int>(rows.size());
    int i = cur >= 0 ? cur + direction : (direction > 0 ? 0 : n - 1);
    while (i >= 0 && i < n && !Visible(rows[static_cast<size_t>(i)])) i += direction;
    if (i >= 0 && i < n) return Land(i);
    cur = -1;
    reaching = true;
  }
};

class MemDataModel : public ::testing::Test {
 protected:
  TTestMemData d{{{"ID", dtInteger, 4}, {"K", dtInteger, 4}}};
  Model m;
  std::mt19937 rng{20240607};
  std::mt19937 range_rng{47};
  int32_t next_id = 1;
  struct Mark {
    TRecBookmark bookmark;
    int32_t id;
    int generation;
  };
  std::optional<Mark> mark;

  int Random(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
  int32_t CurrentId() { return d.Value(d.GetCurrentItem(), 1).AsInt32(); }
  void Write(void (TMemData::*operation)(void*), int32_t id, int32_t k) {
    void* rec = nullptr;
    d.AllocRecBuf(rec);
    testing::FillRecord(d, rec, Row{Variant(id), Variant(k)});
    (d.*operation)(rec);
    d.FreeRecBuf(rec);
  }

  // The large set's operations: those of the small one and locates and cached updates.
  bool large = false;

  void RandomStep() {
    int operation = Random(large ? 19 : 12);
    // A small set, where deletes and inserts meet; the large one keeps its size.
    if (!large && m.rows.size() > 40 && Random(2) == 0) operation = 2;
    if (large && m.rows.size() > 3200 && operation <= 1) operation = 2;
    if (m.cur < 0 && (operation == 2 || operation == 3 || operation == 9 || operation == 13)) return;  // these need a row
    ModelRow* row = m.cur >= 0 ? &m.rows[static_cast<size_t>(m.cur)] : nullptr;
    if (operation <= 3) return RandomWrite(operation, row);
    if (operation <= 10) return RandomMove(operation, row);
    if (operation <= 13) return RandomReopenOrCache(operation, row);
    if (operation <= 16) return RandomApplyOrCancel(operation);
    return Locate(Random(9));  // operations 17 and 18
  }

  // Writes a row: appends, inserts, deletes or edits one (operations 0 to 3).
  void RandomWrite(int operation, ModelRow* row) {
    switch (operation) {
      case 0:
      case 1: {  // append, or insert in front of the cursor
        const ModelRow added{next_id++, Random(8), m.cached ? kAppended : kUnmodified};
        Write(operation == 0 ? &TMemData::AppendRecord : &TMemData::InsertRecord, added.id, added.k);
        int at = static_cast<int>(m.rows.size());
        if (operation == 1 && !(m.cur < 0 && m.eof)) at = std::max(m.cur, 0);
        m.rows.insert(m.rows.begin() + at, added);
        return m.Place(at);
      }
      case 2:  // the cursor moves to the next row, or the prior one at the end
        d.DeleteRecord();
        if (!m.cached || row->status == kAppended) {
          m.rows.erase(m.rows.begin() + m.cur);
          m.cur = std::min(m.cur, static_cast<int>(m.rows.size()) - 1);
          if (m.rows.empty()) m.bof = m.eof = true;
          return;
        }
        // Cached: the row stays, deleted, with its values from before any edit.
        if (row->status == kUpdated) row->k = row->old_k;
        row->status = kDeleted;
        if (!m.sorted) return;
        {
          const int32_t id = row->id;
          d.SortItems();
          m.Resort();
          m.cur = m.Find(id);
        }
        return;
      case 3:
        if (row->status == kDeleted) return;  // "Cannot edit a deleted record"
        if (m.cached && row->status == kUnmodified) {
          row->status = kUpdated;
          row->old_k = row->k;
        }
        row->k = Random(8);
        Write(&TMemData::UpdateRecord, row->id, row->k);
        return m.Place(m.cur);
    }
  }

  // Moves the cursor, filters, sorts, or uses a bookmark (operations 4 to 10).
  void RandomMove(int operation, ModelRow* row) {
    switch (operation) {
      case 4: {
        const int direction = Random(2) == 0 ? 1 : -1;
        direction > 0 ? d.GetNextRecord(nullptr) : d.GetPriorRecord(nullptr);
        return m.Step(direction);
      }
      case 5: {
        m.filter = Random(3);
        const uint32_t k_at = d.FieldByName("K")->GetOffset();
        d.SetFilterFunc(m.filter == 1 ? TFilterFunc([k_at](void* rec) { return LoadAt<int32_t>(rec, k_at) % 3 != 0; })
                                      : nullptr);
        d.SetFilterText(m.filter == 2 ? "K > 3" : "");
        d.FilterUpdated();
        m.eof = m.VisibleIds().empty();
        return;
      }
      case 6:
        m.sorted = Random(2) == 0;
        d.SetIndexFieldNames(m.sorted ? "K DESC;ID" : "");
        if (m.sorted) std::stable_sort(m.rows.begin(), m.rows.end(), Model::Before);
        if (m.cur >= 0) m.cur = m.Find(CurrentId());
        return;
      case 7:
      case 8: {
        if (Random(2) == 0) d.PrepareRecNoCache();
        const int n = Random(d.GetRecordCount() + 3) - 1;
        d.SetRecordNo(n);
        return m.SetRecordNo(n);
      }
      case 9:
        mark = Mark{{}, row->id, m.generation};
        return d.GetBookmark(&mark->bookmark);
      case 10:
        if (!mark) return;
        d.SetToBookmark(&mark->bookmark);
        if (m.Find(mark->id) >= 0 && mark->generation == m.generation) return m.Land(m.Find(mark->id));
        return m.SetRecordNo(mark->bookmark.Order);
    }
  }

  // Reopens, turns cached updates on or off, or reverts a row (operations 11 to 13).
  void RandomReopenOrCache(int operation, ModelRow* row) {
    switch (operation) {
      case 11:
        d.source.clear();
        for (ModelRow& kept : m.rows) {
          d.source.push_back(Row{Variant(kept.id), Variant(kept.k)});
          kept.status = kUnmodified;  // fetched anew, every row is as the source has it
        }
        d.Reopen();
        d.SetToBegin();
        ++m.generation;
        m.bof = m.eof = true;
        return m.ToEnd(true);
      case 12:  // cached updates on or off (off cancels them)
        d.SetToBegin();
        m.ToEnd(true);
        if (m.cached) {
          d.SetCachedUpdates(false);
          CancelInModel();
          m.cached = false;
          // Rows the item types hid are checked again.
          if (!m.types.Contains(isUnmodified)) m.eof = m.VisibleIds().empty();
        } else {
          d.SetCachedUpdates(true);
          m.cached = true;
          const TItemTypes shown{isUnmodified, isUpdated, isAppended};
          const bool changed = !(m.types == shown);
          m.types = shown;
          if (changed) m.eof = m.VisibleIds().empty();
        }
        return;
      case 13: {
        if (!m.cached) return;
        const int32_t id = row->id;
        d.RevertRecord();
        if (m.Revert(m.cur) && m.sorted) {
          d.SortItems();
          m.Resort();
          m.cur = m.Find(id);
        }
        return;
      }
    }
  }

  // Applies or cancels the cached updates, or picks the statuses shown (operations 14 to 16).
  void RandomApplyOrCancel(int operation) {
    switch (operation) {
      case 14:  // apply (every row applied) and commit
        if (!m.cached) return;
        d.SetToBegin();
        m.ToEnd(true);
        d.ApplyUpdates();
        d.CommitUpdates();
        m.rows.erase(std::remove_if(m.rows.begin(), m.rows.end(), [](const ModelRow& r) { return r.status == kDeleted; }),
                     m.rows.end());
        for (ModelRow& r : m.rows) r.status = kUnmodified;
        if (m.rows.empty()) m.bof = m.eof = true;
        return;
      case 15:
        if (!m.cached) return;
        d.SetToBegin();
        m.ToEnd(true);
        d.CancelUpdates();
        return CancelInModel();
      case 16: {  // which statuses show
        if (!m.cached) return;
        TItemTypes types;
        for (TItemStatus status : {isUnmodified, isUpdated, isAppended, isDeleted}) {
          if (Random(3) != 0) types.Include(status);
        }
        d.SetFilterItemTypes(types);
        const bool changed = !(types == m.types);
        m.types = types;
        if (changed) m.eof = m.VisibleIds().empty();
        return;
      }
    }
  }

  void CancelInModel() {
    for (int i = static_cast<int>(m.rows.size()) - 1; i >= 0; --i) m.Revert(i);
    m.Resort();
    if (m.sorted) d.SortItems();
  }

  // The first visible row whose K is the value, found as the dataset's
  // Locate finds it: by binary search over record numbers when the rows are
  // sorted by K (descending), else by a scan; the cursor stays on it.
  void Locate(int32_t k) {
    const std::vector<int32_t> ids = m.VisibleIds();
    if (m.sorted && !ids.empty()) PartitionRecords(ids, k);
    int expected = 0;
    for (size_t i = 0; i < ids.size() && expected == 0; ++i) {
      if (m.rows[static_cast<size_t>(m.Find(ids[i]))].k == k) expected = static_cast<int>(i) + 1;
    }
    if (Random(2) == 0) d.PrepareRecNoCache();
    TFieldDesc* field = d.FieldByName("K");
    const auto order = [&](int n) {
      d.SetRecordNo(n);
      // <0: the value comes before the row (the rows run from the greatest K down).
      return -d.CompareFieldValue(&k, dtInteger, field, TBlockManager::GetRecordPtr(d.GetCurrentItem()), {});
    };
    const int count = d.GetRecordCount();
    int found = 0;
    if (m.sorted && count > 0) {
      int first = 1;
      int last = count;
      int result = order(first);
      if (result == 0) {
        found = first;
      } else if (result > 0) {
        result = order(last);
        if (result == 0) found = last;
        while (result < 0 && found == 0 && last - first >= 2) {
          const int mid = first + (last - first) / 2;
          const int at_mid = order(mid);
          if (at_mid == 0) found = mid;
          (at_mid < 0 ? last : first) = mid;
        }
      }
      while (found > 1 && order(found - 1) == 0) --found;
    } else {
      for (int n = 1; n <= count && found == 0; ++n) {
        if (order(n) == 0) found = n;
      }
    }
    ASSERT_EQ(found, expected) << "K " << k;
    if (found > 0) {
      d.SetRecordNo(found);
      ASSERT_EQ(CurrentId(), ids[static_cast<size_t>(found) - 1]);
      m.SetRecordNo(found);
    } else {
      d.SetToBegin();
      m.ToEnd(true);
    }
  }

  // The rows of a random range that come before the value (a greater K, as
  // the rows run from the greatest K down) are found by halving, the cursor
  // staying where it is.
  void PartitionRecords(const std::vector<int32_t>& ids, int32_t k) {
    // Drawn apart, so that the steps' own draws stay as they were.
    const int count = static_cast<int>(ids.size());
    const int first = 1 + static_cast<int>(range_rng() % static_cast<unsigned>(count));
    const int last = first + static_cast<int>(range_rng() % static_cast<unsigned>(count - first + 1));
    int expected = first;
    for (int n = first; n <= last; ++n) {
      if (m.rows[static_cast<size_t>(m.Find(ids[static_cast<size_t>(n) - 1]))].k > k) expected = n + 1;
    }
    const PItemHeader cursor = d.GetCurrentItem();
    const uint32_t k_at = d.FieldByName("K")->GetOffset();
    const int point = d.PartitionRecords(first, last, [k, k_at](PItemHeader item) {
      return LoadAt<int32_t>(TBlockManager::GetRecordPtr(item), k_at) > k;
    });
    ASSERT_EQ(point, expected) << "K " << k << " in " << first << ".." << last;
    ASSERT_EQ(d.GetCurrentItem(), cursor);
  }

  // The large set is walked whole every walk_every steps; every step checks the rest.
  int walk_every = 1;
  int checks = 0;

  void Check() {
    const std::vector<int32_t> ids = m.VisibleIds();
    const int count = static_cast<int>(ids.size());
    ASSERT_EQ(d.GetRecordCount(), count);
    ASSERT_EQ(d.GetBOF(), m.cur < 0 && m.bof);
    ASSERT_EQ(d.GetEOF(), m.cur < 0 && m.eof);
    ASSERT_EQ(d.GetCurrentItem() != nullptr, m.cur >= 0);
    if (m.cur >= 0) {
      const ModelRow& row = m.rows[static_cast<size_t>(m.cur)];
      ASSERT_EQ(CurrentId(), row.id);
      if (m.Visible(row)) {
        ASSERT_EQ(d.GetRecordNo(), std::find(ids.begin(), ids.end(), row.id) - ids.begin() + 1);
      }
    }
    for (const bool forward : {true, false}) {
      if (checks++ % walk_every != 0) break;
      std::vector<int32_t> seen;
      forward ? d.SetToBegin() : d.SetToEnd();
      for (;;) {
        forward ? d.GetNextRecord(nullptr) : d.GetPriorRecord(nullptr);
        if (forward ? d.GetEOF() : d.GetBOF()) break;
        seen.push_back(CurrentId());
        const int expected = forward ? static_cast<int>(seen.size()) : count + 1 - static_cast<int>(seen.size());
        ASSERT_EQ(d.GetRecordNo(), expected);
      }
      if (!forward) std::reverse(seen.begin(), seen.end());
      ASSERT_EQ(seen, ids);
    }
    for (int probe = 0; probe < 3 && count > 0; ++probe) {
      const int n = 1 + Random(count);
      d.SetRecordNo(n);
      ASSERT_EQ(CurrentId(), ids[static_cast<size_t>(n) - 1]);
      ASSERT_EQ(d.GetRecordNo(), n);
    }
  }

  // Leaves the cursor on a known row, or at either end.
  void Normalize() {
    const int count = d.GetRecordCount();
    const int choice = Random(4);
    if (choice < 2 || count == 0) {
      choice == 1 ? d.SetToEnd() : d.SetToBegin();
      return m.ToEnd(choice != 1);
    }
    const int n = 1 + Random(count);
    d.SetRecordNo(n);
    m.SetRecordNo(n);
  }
};

TEST_F(MemDataModel, LargeSetWithLocatesAndCachedUpdatesMatchesTheModel) {
  large = true;
  walk_every = 40;
  d.SetOnApplyRecord([](TUpdateRecKind, TUpdateRecAction& action, bool) { action = urApplied; });
  // Enough rows for several chunks of the order, which inserts split and deletes join.
  for (int i = 0; i < 3000; ++i) {
    const ModelRow added{next_id++, Random(8)};
    d.source.push_back(Row{Variant(added.id), Variant(added.k)});
    m.rows.push_back(added);
  }
  d.Open();
  m.ToEnd(true);
  for (int step = 0; step < 4000; ++step) {
    RandomStep();
    SCOPED_TRACE(step);
    if (HasFatalFailure()) return;
    Check();
    if (HasFatalFailure()) return;
    Normalize();
  }
}

TEST_F(MemDataModel, RandomOperationsMatchTheModel) {
  d.Open();
  for (int step = 0; step < 4000; ++step) {
    RandomStep();
    SCOPED_TRACE(step);
    Check();
    if (HasFatalFailure()) return;
    Normalize();
  }
}

}  // namespace
}  // namespace dac
