// The in-memory record set against a plain model: random appends, inserts,
// deletes, edits, navigation, filters, sorting, positioning and bookmarks
// (across deletes and reopens), with every observable checked after each step.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "tests/dac/store/test_mem_data.h"

namespace dac {
namespace {

using testing::Row;
using testing::TTestMemData;

struct ModelRow {
  int32_t id;
  int32_t k;
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

  bool Visible(const ModelRow& row) const { return filter == 0 || (filter == 1 ? row.k % 3 != 0 : row.k > 3); }
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

  void RandomStep() {
    int operation = Random(12);
    if (m.rows.size() > 40 && Random(2) == 0) operation = 2;  // a small set, where deletes and inserts meet
    if (m.cur < 0 && (operation == 2 || operation == 3 || operation == 9)) return;  // these need a row
    ModelRow* row = m.cur >= 0 ? &m.rows[static_cast<size_t>(m.cur)] : nullptr;
    switch (operation) {
      case 0:
      case 1: {  // append, or insert in front of the cursor
        const ModelRow added{next_id++, Random(8)};
        Write(operation == 0 ? &TMemData::AppendRecord : &TMemData::InsertRecord, added.id, added.k);
        int at = static_cast<int>(m.rows.size());
        if (operation == 1 && !(m.cur < 0 && m.eof)) at = std::max(m.cur, 0);
        m.rows.insert(m.rows.begin() + at, added);
        return m.Place(at);
      }
      case 2:  // the cursor moves to the next row, or the prior one at the end
        d.DeleteRecord();
        m.rows.erase(m.rows.begin() + m.cur);
        m.cur = std::min(m.cur, static_cast<int>(m.rows.size()) - 1);
        if (m.rows.empty()) m.bof = m.eof = true;
        return;
      case 3:
        row->k = Random(8);
        Write(&TMemData::UpdateRecord, row->id, row->k);
        return m.Place(m.cur);
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
      case 11:
        d.source.clear();
        for (const ModelRow& kept : m.rows) d.source.push_back(Row{Variant(kept.id), Variant(kept.k)});
        d.Reopen();
        d.SetToBegin();
        ++m.generation;
        m.bof = m.eof = true;
        return m.ToEnd(true);
    }
  }

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
