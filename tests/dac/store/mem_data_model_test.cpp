// The in-memory record set against a plain model: random appends, inserts,
// deletes, edits, navigation, filters, sorting, positioning and bookmarks,
// with every observable checked after each step.
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

// Mirrors the record set: rows in list order, the cursor and its flags.
struct Model {
  std::vector<ModelRow> rows;
  int cur = -1;  // index into rows, -1 for none
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
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].id == id) return static_cast<int>(i);
    }
    return -1;
  }
  void Land(int index) {
    cur = index;
    bof = eof = false;
  }
  // Puts rows[index] where the sort order wants it; the index it ends at.
  int Place(int index) {
    if (!sorted) return index;
    const ModelRow row = rows[static_cast<size_t>(index)];
    rows.erase(rows.begin() + index);
    auto at = std::upper_bound(rows.begin(), rows.end(), row, Before);
    return static_cast<int>(rows.insert(at, row) - rows.begin());
  }
  void SetRecordNo(int n) {
    const std::vector<int32_t> ids = VisibleIds();
    if (n >= 1 && n <= static_cast<int>(ids.size())) Land(Find(ids[static_cast<size_t>(n) - 1]));
  }
  void Step(int direction) {
    const int n = static_cast<int>(rows.size());
    int i = 0;
    if (direction > 0) {
      if (cur < 0 && eof) return;
      if (cur < 0 && bof) bof = false;
      i = cur < 0 ? 0 : cur + 1;
    } else {
      if (cur < 0 && bof) return;
      if (cur < 0 && eof) eof = false;
      i = cur < 0 ? n - 1 : cur - 1;
    }
    while (i >= 0 && i < n && !Visible(rows[static_cast<size_t>(i)])) i += direction;
    if (i >= 0 && i < n) return Land(i);
    cur = -1;
    (direction > 0 ? eof : bof) = true;
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

  void ApplyFilter(int mode) {
    m.filter = mode;
    const uint32_t k_offset = d.FieldByName("K")->GetOffset();
    d.SetFilterFunc(mode == 1 ? TFilterFunc([k_offset](void* rec) { return LoadAt<int32_t>(rec, k_offset) % 3 != 0; })
                              : nullptr);
    d.SetFilterText(mode == 2 ? "K > 3" : "");
    d.FilterUpdated();
    m.eof = m.VisibleIds().empty();
  }

  void RandomStep() {
    const bool on_row = m.cur >= 0;
    int operation = Random(13);
    if (m.rows.size() > 40 && Random(2) == 0) operation = 2;  // a small set, where deletes and inserts meet
    switch (operation) {
      case 0:
      case 1: {
        const int32_t id = next_id++;
        const int32_t k = Random(8);
        const bool append = Random(2) == 0;
        Write(append ? &TMemData::AppendRecord : &TMemData::InsertRecord, id, k);
        int at = static_cast<int>(m.rows.size());
        if (!append && !(m.cur < 0 && m.eof)) at = m.cur >= 0 ? m.cur : 0;
        m.rows.insert(m.rows.begin() + at, ModelRow{id, k});
        m.Land(m.Place(at));
        break;
      }
      case 2:
        if (!on_row) break;
        d.DeleteRecord();
        m.rows.erase(m.rows.begin() + m.cur);
        if (m.rows.empty()) {
          m.cur = -1;
          m.bof = m.eof = true;
        } else if (m.cur == static_cast<int>(m.rows.size())) {
          --m.cur;
        }
        break;
      case 3: {
        if (!on_row) break;
        const int32_t k = Random(8);
        Write(&TMemData::UpdateRecord, m.rows[static_cast<size_t>(m.cur)].id, k);
        m.rows[static_cast<size_t>(m.cur)].k = k;
        m.cur = m.Place(m.cur);
        break;
      }
      case 4:
      case 5: {
        const int direction = Random(2) == 0 ? 1 : -1;
        direction > 0 ? d.GetNextRecord(nullptr) : d.GetPriorRecord(nullptr);
        m.Step(direction);
        break;
      }
      case 6: ApplyFilter(Random(3)); break;
      case 7:
        m.sorted = Random(2) == 0;
        d.SetIndexFieldNames(m.sorted ? "K DESC;ID" : "");
        if (m.sorted) std::stable_sort(m.rows.begin(), m.rows.end(), Model::Before);
        if (m.cur >= 0) m.cur = m.Find(CurrentId());
        break;
      case 8:
      case 9: {
        if (Random(2) == 0) d.PrepareRecNoCache();
        const int n = Random(d.GetRecordCount() + 3) - 1;
        d.SetRecordNo(n);
        m.SetRecordNo(n);
        break;
      }
      case 10:
        if (!on_row) break;
        mark = Mark{{}, m.rows[static_cast<size_t>(m.cur)].id, m.generation};
        d.GetBookmark(&mark->bookmark);
        break;
      case 11: {
        if (!mark) break;
        d.SetToBookmark(&mark->bookmark);
        const int at = m.Find(mark->id);
        if (at >= 0 && mark->generation == m.generation) {
          m.Land(at);
        } else {
          m.SetRecordNo(mark->bookmark.Order);
        }
        break;
      }
      case 12:
        d.source.clear();
        for (const ModelRow& row : m.rows) d.source.push_back(Row{Variant(row.id), Variant(row.k)});
        d.Reopen();
        d.SetToBegin();
        ++m.generation;
        m.cur = -1;
        m.bof = true;
        m.eof = m.rows.empty();
        break;
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
    std::vector<int32_t> forward;
    for (d.SetToBegin(), d.GetNextRecord(nullptr); !d.GetEOF(); d.GetNextRecord(nullptr)) {
      forward.push_back(CurrentId());
      ASSERT_EQ(d.GetRecordNo(), static_cast<int>(forward.size()));
    }
    ASSERT_EQ(forward, ids);
    std::vector<int32_t> backward;
    for (d.SetToEnd(), d.GetPriorRecord(nullptr); !d.GetBOF(); d.GetPriorRecord(nullptr)) {
      backward.push_back(CurrentId());
      ASSERT_EQ(d.GetRecordNo(), count - static_cast<int>(backward.size()) + 1);
    }
    std::reverse(backward.begin(), backward.end());
    ASSERT_EQ(backward, ids);
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
    if (choice == 0 || count == 0) {
      d.SetToBegin();
      m.cur = -1;
      m.bof = true;
      if (!m.rows.empty()) m.eof = false;
    } else if (choice == 1) {
      d.SetToEnd();
      m.cur = -1;
      m.eof = true;
      if (!m.rows.empty()) m.bof = false;
    } else {
      const int n = 1 + Random(count);
      d.SetRecordNo(n);
      m.SetRecordNo(n);
    }
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
