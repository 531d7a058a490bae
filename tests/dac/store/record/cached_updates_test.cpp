// Cached updates of the in-memory record set: scripted cases with apply
// handlers that answer, throw, revert and remove rows, and random scripts
// against a model of (status, values, pending). Every row's memo reads "m"
// and its value, so edits, reverts, commits and cancels also move blob
// references (the sanitizer build checks them).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <sstream>

#include "tests/dac/store/test_mem_data.h"

namespace dac {
namespace {

constexpr char kStatus[] = "uUAD";   // isUnmodified .. isDeleted
constexpr char kResult[] = "fbkrans";  // urFail .. urSuspended

// id:<status><result><value>[s][<value before the edit[s]]; s: S is set.
std::string RowText(int32_t id, TItemStatus status, TUpdateRecAction result, int32_t v, bool s, bool rollback,
                    int32_t old_v, bool old_s) {
  return std::to_string(id) + ":" + kStatus[status] + kResult[result] + std::to_string(v) + (s ? "s" : "") +
         (rollback ? "<" + std::to_string(old_v) + (old_s ? "s" : "") : "") + " ";
}

class CachedData : public testing::TTestMemData {
 public:
  CachedData() : TTestMemData({{"ID", dtInteger, 4}, {"V", dtInteger, 4}, {"S", dtInteger, 4}, {"M", dtMemo, 8}}) {}
  std::string CacheOrder() {
    std::string ids;
    for (TCacheItem* c = first_cache_item_; c; c = c->Next) ids += (ids.empty() ? "" : " ") + Id(c->Item);
    return ids;
  }
  std::string Id(PItemHeader item) { return std::to_string(Value(item, 1).AsInt32()); }
};

// Runs steps on rows 1, 2, 3 (values 10, 20, 30): i insert (ids from 4, value
// 10 * id), eN edit (value + 1), dN delete, rN revert, mN remove, a apply, c
// commit, x cancel, s restore, y / Y tentative applies on / off, k confirm
// and l restore the tentative ones, t<uUAD> show those statuses, o cached updates
// off, zN make row N unmodified behind the record set's back, n update with
// no current row. Apply handlers answer from `actions`, then A: A applied, B
// applied with S set in the new buffer, F fail, K skip, S suspended, R retry,
// X throw, v / m revert / remove their row, wN / qN revert / remove row N, Z
// try what is refused inside a handler.
class Runner {
 public:
  CachedData d;
  std::string actions;
  std::string log;

  Runner() {
    for (int32_t id = 1; id <= 3; ++id) d.source.push_back(RowOf(id, 10 * id));
    d.Open();
    d.SetCachedUpdates(true);
    d.AllocRecBuf(new_buf_);
    d.AllocRecBuf(old_buf_);
    d.SetCacheRecBuf(new_buf_, old_buf_);
    d.SetOnApplyRecord([this](TUpdateRecKind kind, TUpdateRecAction& action, bool) { Handle(kind, action); });
  }
  ~Runner() {
    d.Close();
    d.FreeRecBuf(new_buf_);
    d.FreeRecBuf(old_buf_);
  }
  static testing::Row RowOf(int32_t id, int32_t v) {
    return {Variant(id), Variant(v), Variant::Null(), Variant("m" + std::to_string(v))};
  }

  void Run(const std::string& script) {
    next_action_ = 0;
    std::istringstream steps(script);
    for (std::string step; steps >> step;) {
      try {
        Step(step[0], step.substr(1));
      } catch (const EAssertionFailed&) {
        log += "!assert ";
      } catch (const Exception& e) {
        log += "!" + e.Message() + " ";
      }
    }
  }

  // The rows, #count (p: updates pending), the cache list. On the way: every
  // memo matches its value, and the visible rows are numbered 1.. with
  // GetOldRecord giving the values from before the edit.
  std::string State() {
    std::string s;
    for (PItemHeader item = d.GetFirstItem(); item; item = d.NextItem(item)) {
      PItemHeader rollback = d.GetRollbackItem(item);
      PItemHeader old = rollback ? rollback : item;
      s += RowText(Field(item, 1), item->Status, item->UpdateResult, Field(item, 2), !d.Value(item, 3).IsNull(),
                   rollback, Field(old, 2), !d.Value(old, 3).IsNull());
    }
    s += "#" + std::to_string(d.GetRecordCount()) + (d.GetUpdatesPending() ? "p" : "") + " [" + d.CacheOrder() + "]";
    int n = 0;
    for (d.SetToBegin(), d.GetNextRecord(nullptr); !d.GetEOF(); d.GetNextRecord(nullptr)) {
      EXPECT_EQ(d.GetRecordNo(), ++n);
      d.GetOldRecord(old_buf_);
      Variant old_v;
      d.GetFieldAsVariant(2, old_buf_, old_v);
      PItemHeader item = d.GetCurrentItem();
      EXPECT_EQ(old_v.AsInt32(), Field(d.GetRollbackItem(item) ? d.GetRollbackItem(item) : item, 2));
    }
    EXPECT_EQ(n, d.GetRecordCount());
    return s;
  }
  std::string Cursor() { return d.GetCurrentItem() ? " @" + d.Id(d.GetCurrentItem()) : " @-"; }

 private:
  int32_t Field(PItemHeader item, uint16_t field_no) {
    if (field_no == 2) {
      EXPECT_EQ(d.Value(item, 4).AsString(), "m" + d.Value(item, 2).AsString());
    }
    return d.Value(item, field_no).AsInt32();
  }
  void Seek(int32_t id) {
    PItemHeader item = d.GetFirstItem();
    while (item && d.Value(item, 1).AsInt32() != id) item = d.NextItem(item);
    ASSERT_NE(item, nullptr) << id;
    TRecBookmark mark{.RefreshIteration = d.GetRefreshIteration(), .Item = item, .ItemSerial = item->Serial()};
    d.SetToBookmark(&mark);
  }
  // The dataset's way: the stored record's values, edited, then posted.
  void Edit(int32_t id) {
    Seek(id);
    void* rec = nullptr;
    d.AllocRecBuf(rec);
    d.GetRecord(rec);
    d.EditRecord(rec);
    const int32_t v = d.Value(d.GetCurrentItem(), 2).AsInt32() + 1;
    d.PutFieldAsVariant(2, rec, Variant(v));
    d.PutFieldAsVariant(4, rec, Variant("m" + std::to_string(v)));
    try {
      d.PostRecord(rec);
    } catch (...) {
      d.CancelRecord(rec);
      d.FreeRecBuf(rec);
      throw;
    }
    d.FreeRecBuf(rec);
  }
  void Step(char op, const std::string& arg) {
    const int32_t id = op == 't' || arg.empty() ? 0 : std::stoi(arg);
    TItemTypes types;
    switch (op) {
      case 'i': d.Append(RowOf(next_id_, 10 * next_id_)), ++next_id_; break;
      case 'e': Edit(id); break;
      case 'd': Seek(id), d.DeleteRecord(); break;
      case 'r': Seek(id), d.RevertRecord(); break;
      case 'm': Seek(id), d.RemoveRecord(); break;
      case 'a': d.ApplyUpdates(); break;
      case 'c': d.CommitUpdates(); break;
      case 'x': d.CancelUpdates(); break;
      case 's': d.RestoreUpdates(); break;
      case 'y': d.SetTentativeApply(true); break;
      case 'Y': d.SetTentativeApply(false); break;
      case 'k': d.ConfirmTentativeUpdates(); break;
      case 'l': d.RestoreTentativeUpdates(); break;
      case 'o': d.SetCachedUpdates(false); break;
      case 'z': Seek(id), d.GetCurrentItem()->Status = isUnmodified; break;
      case 'n': d.SetToBegin(), d.UpdateRecord(new_buf_); break;
      case 't':
        for (char c : arg) types.Include(static_cast<TItemStatus>(std::string(kStatus).find(c)));
        d.SetFilterItemTypes(types);
        break;
    }
  }
  void Handle(TUpdateRecKind kind, TUpdateRecAction& action) {
    log += std::string(1, "uid"[kind]) + d.Id(d.GetCurrentItem()) + " ";
    const char answer = next_action_ < actions.size() ? actions[next_action_++] : 'A';
    if (answer == 'B' && kind != ukDelete) d.PutFieldAsVariant(3, new_buf_, Variant(int32_t{1}));
    if (answer == 'X') throw Exception("boom");
    if (answer == 'v') d.RevertRecord();
    if (answer == 'm') d.RemoveRecord();
    if (answer == 'w' || answer == 'q') {
      Seek(actions[next_action_++] - '0');
      answer == 'w' ? d.RevertRecord() : d.RemoveRecord();
    }
    for (auto refused : {&TMemData::ApplyUpdates, &TMemData::CommitUpdates, &TMemData::CancelUpdates, &TMemData::Close}) {
      if (answer != 'Z') break;
      EXPECT_THROW((d.*refused)(), Exception);
    }
    const size_t at = std::string("FKSR").find(answer);
    if (std::string("vmX").find(answer) == std::string::npos) {
      action = at == std::string::npos ? urApplied : std::array{urFail, urSkip, urSuspended, urRetry}[at];
    }
  }

  void* new_buf_ = nullptr;
  void* old_buf_ = nullptr;
  int32_t next_id_ = 4;
  size_t next_action_ = 0;
};

TEST(CachedUpdates, ScriptedCases) {
  const struct {
    const char* script;
    const char* actions;
    const char* state;  // State and Cursor
    const char* log;
  } cases[] = {
      // Edit, then delete: one cache item, the values from before the edit, no rollback.
      {"e1 d1", "", "1:Dn10 2:un20 3:un30 #2p [1] @1", ""},
      {"i e4", "", "1:un10 2:un20 3:un30 4:An41 #4p [4] @4", ""},
      {"i d4", "", "1:un10 2:un20 3:un30 #3 [] @3", ""},
      {"i a e4", "", "1:un10 2:un20 3:un30 4:Un41<40 #4p [4] @4", "i4 "},
      {"e1 a a s a", "", "1:Ua11<10 2:un20 3:un30 #3 [1] @1", "u1 u1 "},
      // Rows applied in a transaction that rolls back are pending again, and
      // only they; a commit keeps them applied.
      {"e1 a y e2 i a l", "", "1:Ua11<10 2:Un21<20 3:un30 4:An40 #4p [1 2 4] @4", "u1 u2 i4 "},
      {"y e1 e2 a k l", "", "1:Ua11<10 2:Ua21<20 3:un30 #3 [1 2] @2", "u1 u2 "},
      {"y e1 e2 a l", "AF", "1:Un11<10 2:Uf21<20 3:un30 #3p [1 2] @2", "u1 u2 "},
      {"y e1 a l Y a l", "", "1:Ua11<10 2:un20 3:un30 #3 [1] @1", "u1 u1 "},
      // Suspended rows are decided with the next row; retry applies the batch again.
      {"e1 e2 e3 a", "SSA", "1:Ua11<10 2:Ua21<20 3:Ua31<30 #3 [1 2 3] @3", "u1 u2 u3 "},
      {"e1 e2 e3 a", "SSRSSA", "1:Ua11<10 2:Ua21<20 3:Ua31<30 #3 [1 2 3] @3", "u1 u2 u3 u1 u2 u3 "},
      {"e1 a", "RA", "1:Ua11<10 2:un20 3:un30 #3 [1] @1", "u1 u1 "},
      {"e1 e2 e3 a", "SSK", "1:Uk11<10 2:Uk21<20 3:Uk31<30 #3p [1 2 3] @3", "u1 u2 u3 "},
      // An exception stops the walk with the cursor on its row.
      {"e1 e2 e3 a", "AX", "1:Ua11<10 2:Uf21<20 3:Un31<30 #3p [1 2 3] @2", "u1 u2 !boom "},
      // Commit keeps the failed rows in order; an applied row passed over in a batch stays applied.
      {"e1 e2 e3 c", "FAF", "1:Uf11<10 2:un21 3:Uf31<30 #3p [1 3] @3", "u1 u2 u3 "},
      {"e1 e2 e3 a a", "FAFSF", "1:Uf11<10 2:Ua21<20 3:Uf31<30 #3p [1 2 3] @3", "u1 u2 u3 u1 u3 "},
      {"i e1 a c", "BB", "1:un11s 2:un20 3:un30 4:un40s #4 [] @1", "i4 u1 "},
      // An applied insert that is deleted is deleted on the server too.
      {"i a d4 a c", "", "1:un10 2:un20 3:un30 #3 [] @3", "i4 d4 "},
      {"d2 tuUAD e2", "", "1:un10 2:Dn20 3:un30 #3p [2] @2", "!Cannot edit a deleted record "},
      {"tuUAD d2 d2", "", "1:un10 2:Dn20 3:un30 #3p [2] @2", ""},
      {"tuD d2 e1", "", "1:Un11<10 2:Dn20 3:un30 #2p [2 1] @1", ""},
      {"d2 r2 e1 o", "", "1:un10 2:un20 3:un30 #3 [] @1", ""},
      {"e1 d2 i x", "", "1:un10 2:un20 3:un30 #3 [] @3", ""},
      {"e1 m1 i m4", "", "2:un20 3:un30 #2 [] @3", ""},
      // Handlers that revert or remove their own row or another one.
      {"e1 e2 a", "vA", "1:un10 2:Ua21<20 3:un30 #3 [2] @2", "u1 u2 "},
      {"e1 i e2 a", "mmA", "2:Ua21<20 3:un30 #2 [2] @2", "u1 i4 u2 "},
      {"e1 e2 a", "q2", "1:Ua11<10 3:un30 #2 [1] @3", "u1 "},
      {"e1 e2 a", "Aw1", "1:un10 2:Ua21<20 3:un30 #3 [2] @2", "u1 u2 "},
      {"e1 a", "Z", "1:Ua11<10 2:un20 3:un30 #3 [1] @1", "u1 "},
      // Assertions: an unmodified row in the cache list, an update without a current row.
      {"e1 z1 a", "", "1:un11<10 2:un20 3:un30 #3p [1] @1", "!assert "},
      {"n", "", "1:un10 2:un20 3:un30 #3 [] @-", "!assert "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script + std::string(" / ") + c.actions);
    Runner r;
    r.actions = c.actions;
    r.Run(c.script);
    const std::string cursor = r.Cursor();
    EXPECT_EQ(r.State() + cursor, c.state);
    EXPECT_EQ(r.log, c.log);
  }
}

// The same steps on plain rows.
struct Model {
  struct Row {
    int32_t id, v;
    TItemStatus status = isUnmodified;
    TUpdateRecAction result = urNone;
    bool s = false, rollback = false, old_s = false;
    int32_t old_v = 0;
  };
  std::vector<Row> rows{{1, 10}, {2, 20}, {3, 30}};
  std::vector<int32_t> cache;
  std::string types = "uUA";

  Row& Find(int32_t id) { return *std::find_if(rows.begin(), rows.end(), [id](const Row& r) { return r.id == id; }); }
  bool Visible(const Row& r) const { return types.find(kStatus[r.status]) != std::string::npos; }
  bool Cached(int32_t id) const { return std::find(cache.begin(), cache.end(), id) != cache.end(); }
  bool Pending() {
    return std::any_of(cache.begin(), cache.end(), [this](int32_t id) { return Find(id).result != urApplied; });
  }
  void Erase(int32_t id) { rows.erase(rows.begin() + (&Find(id) - rows.data())); }
  void Uncache(int32_t id) { cache.erase(std::find(cache.begin(), cache.end(), id)); }
  static void Restore(Row& r) {
    if (r.rollback) r.v = r.old_v, r.s = r.old_s, r.rollback = false;
  }

  void Edit(Row& r) {
    if (r.status == isDeleted) return;
    if (r.status == isUnmodified) cache.push_back(r.id);
    if (r.status != isAppended || r.result == urApplied) {
      if (!r.rollback) r.rollback = true, r.old_v = r.v, r.old_s = r.s;
      r.status = isUpdated;
    }
    r.result = urNone;
    ++r.v;
  }
  void Delete(Row& r) {
    if (r.status == isAppended && r.result != urApplied) return Uncache(r.id), Erase(r.id);
    if (r.status == isUnmodified) cache.push_back(r.id);
    if (r.status != isDeleted) Restore(r), r.status = isDeleted, r.result = urNone;
  }
  void Revert(int32_t id) {
    if (!Cached(id)) return;
    Uncache(id);
    Row& r = Find(id);
    if (r.status == isAppended) return Erase(id);
    Restore(r);
    r.status = isUnmodified, r.result = urNone;
  }
  void Apply(const std::string& actions) {
    size_t next = 0;
    int batch = -1;
    for (size_t i = 0; i < cache.size();) {
      Row& r = Find(cache[i]);
      if (r.result == urApplied) {
        ++i;
        continue;
      }
      const char answer = next < actions.size() ? actions[next++] : 'A';
      if (answer == 'v' || answer == 'm') {
        const int32_t id = r.id;
        Revert(id);
        if (answer == 'm' && std::any_of(rows.begin(), rows.end(), [id](const Row& row) { return row.id == id; })) Erase(id);
        continue;
      }
      if (answer == 'B' && r.status != isDeleted) r.s = true;
      const TUpdateRecAction result = answer == 'F' ? urFail : answer == 'K' ? urSkip : answer == 'S' ? urSuspended : urApplied;
      for (size_t j = batch < 0 || result == urSuspended ? i : static_cast<size_t>(batch); j < i; ++j) {
        if (Find(cache[j]).result != urApplied) Find(cache[j]).result = result;
      }
      r.result = result;
      batch = result != urSuspended ? -1 : batch >= 0 ? batch : static_cast<int>(i);
      ++i;
    }
  }
  void Commit(const std::string& actions) {
    if (Pending()) Apply(actions);
    std::vector<int32_t> kept;
    for (int32_t id : cache) {
      Row& r = Find(id);
      if (r.result != urApplied) {
        kept.push_back(id);
      } else if (r.status == isDeleted) {
        Erase(id);
      } else {
        r.status = isUnmodified, r.result = urNone, r.rollback = false;
      }
    }
    cache = kept;
  }
  std::string State() {
    std::string s, order;
    for (const Row& r : rows) s += RowText(r.id, r.status, r.result, r.v, r.s, r.rollback, r.old_v, r.old_s);
    for (int32_t id : cache) order += (order.empty() ? "" : " ") + std::to_string(id);
    const auto count = std::count_if(rows.begin(), rows.end(), [this](const Row& r) { return Visible(r); });
    return s + "#" + std::to_string(count) + (Pending() ? "p" : "") + " [" + order + "]";
  }
};

TEST(CachedUpdates, RandomScriptsMatchTheModel) {
  std::mt19937 rng(2024);
  auto random = [&rng](size_t n) { return rng() % n; };
  for (int run = 0; run < 20; ++run) {
    Runner r;
    Model m;
    int32_t next_id = 4;
    for (int step = 0; step < 150; ++step) {
      const char op = "ieeedraacxst"[random(12)];
      // Rows are edited the dataset's way, which needs them visible.
      std::vector<int32_t> targets;
      for (const Model::Row& row : m.rows) {
        if (op != 'e' || m.Visible(row)) targets.push_back(row.id);
      }
      const bool on_row = std::string("edr").find(op) != std::string::npos;
      if (on_row && targets.empty()) continue;
      const int32_t id = on_row ? targets[random(targets.size())] : 0;
      std::string script(1, op), actions;
      if (on_row) script += std::to_string(id);
      for (char c : std::string(op == 't' ? kStatus : "")) script += random(2) ? std::string(1, c) : "";
      for (size_t i = 0; i < 2 * m.cache.size() + 2; ++i) actions += "AAABFKSvm"[random(9)];
      r.actions = actions;
      r.Run(script);
      SCOPED_TRACE(std::to_string(run) + "/" + std::to_string(step) + ": " + script + " " + actions);
      switch (op) {
        case 'i': m.rows.push_back({next_id, 10 * next_id, isAppended}), m.cache.push_back(next_id++); break;
        case 'e': m.Edit(m.Find(id)); break;
        case 'd': m.Delete(m.Find(id)); break;
        case 'r': m.Revert(id); break;
        case 'a': m.Apply(actions); break;
        case 'c': m.Commit(actions); break;
        case 'x': while (!m.cache.empty()) m.Revert(m.cache.front()); break;
        case 's': for (int32_t cached : m.cache) m.Find(cached).result = urNone; break;
        case 't': m.types = script.substr(1); break;
      }
      ASSERT_EQ(r.State(), m.State());
    }
  }
}

}  // namespace
}  // namespace dac
