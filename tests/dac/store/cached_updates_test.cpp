// Cached updates of the in-memory record set: scripted cases with apply
// handlers that answer, throw, revert and remove rows, and random scripts
// against a model of (status, values, pending). Each row carries a memo
// that always reads "m" and its value, so every edit, revert, commit and
// cancel also moves blob references (checked by the sanitizer build).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "tests/dac/store/test_mem_data.h"

namespace dac {
namespace {

using testing::Row;

Row RowOf(int32_t id, int32_t v) { return Row{Variant(id), Variant(v), Variant::Null(), Variant("m" + std::to_string(v))}; }

class CachedData : public testing::TTestMemData {
 public:
  CachedData() : TTestMemData({{"ID", dtInteger, 4}, {"V", dtInteger, 4}, {"S", dtInteger, 4}, {"M", dtMemo, 8}}) {}
  static void* RecOf(PItemHeader item) { return Rec(item); }
  std::string CacheOrder() {
    std::string ids;
    for (TCacheItem* c = first_cache_item_; c; c = c->Next) ids += (ids.empty() ? "" : " ") + Id(c->Item);
    return ids;
  }
  std::string Id(PItemHeader item) { return std::to_string(Value(item, 1).AsInt32()); }
};

// Runs scripts of space-separated steps on rows 1, 2, 3 (values 10, 20, 30):
// i insert a row (ids from 4, value 10 * id), eN edit row N (value + 1), dN
// delete, rN revert, mN remove, a apply, c commit, x cancel, s restore,
// t<uUAD> show those statuses, o cached updates off, zN mark row N
// unmodified behind the record set's back, n update without a current row.
// Apply handlers take their answers from `actions`: A applied, B applied
// with S set to 1 in the new buffer, F fail, K skip, S suspended, R retry,
// X throw, v revert and m remove their own row, wN / qN revert / remove row
// N, Z try what is refused inside a handler; after the last, A.
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

  // The handlers' answers start again from the first.
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

  // Rows in list order as id:<status><result><value>[<rollback value][s],
  // then #count (p: updates pending) and the cache list. Checks on the way
  // that every memo matches its value and that the visible rows are
  // numbered 1.. with GetOldRecord giving their values from before the edit.
  std::string State() {
    std::string s;
    for (PItemHeader item = d.GetFirstItem(); item; item = item->Next) {
      s += d.Id(item) + ":" + "uUAD"[item->Status] + "fbkrans"[item->UpdateResult] + Values(item);
      if (item->Rollback) s += "<" + Values(item->Rollback);
      s += " ";
    }
    s += "#" + std::to_string(d.GetRecordCount()) + (d.GetUpdatesPending() ? "p" : "") + " [" + d.CacheOrder() + "]";
    int n = 0;
    for (d.SetToBegin(), d.GetNextRecord(nullptr); !d.GetEOF(); d.GetNextRecord(nullptr)) {
      EXPECT_EQ(d.GetRecordNo(), ++n);
      PItemHeader item = d.GetCurrentItem();
      d.GetOldRecord(old_buf_);
      EXPECT_EQ(Field(old_buf_, 2), d.Value(item->Rollback ? item->Rollback : item, 2).AsInt32());
    }
    EXPECT_EQ(n, d.GetRecordCount());
    return s;
  }

  std::string Cursor() { return d.GetCurrentItem() ? " @" + d.Id(d.GetCurrentItem()) : " @-"; }

  void Seek(int32_t id) {
    for (PItemHeader item = d.GetFirstItem(); item; item = item->Next) {
      if (d.Value(item, 1).AsInt32() != id) continue;
      TRecBookmark mark{d.GetRefreshIteration(), item, item->Serial, -1};
      return d.SetToBookmark(&mark);
    }
    FAIL() << "no row " << id;
  }

 private:
  std::string Values(PItemHeader item) {
    const int32_t v = d.Value(item, 2).AsInt32();
    EXPECT_EQ(d.Value(item, 4).AsString(), "m" + std::to_string(v));
    return std::to_string(v) + (d.Value(item, 3).IsNull() ? "" : "s");
  }
  int32_t Field(void* rec, uint16_t field_no) {
    Variant value;
    d.GetFieldAsVariant(field_no, rec, value);
    return value.AsInt32();
  }

  // The dataset's way: the stored record's values, edited, then posted.
  void Edit(int32_t id) {
    Seek(id);
    void* rec = nullptr;
    d.AllocRecBuf(rec);
    d.GetBlockMan().GetRecord(d.GetCurrentItem(), rec);
    d.EditRecord(rec);
    const int32_t v = Field(rec, 2) + 1;
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
      case 'o': d.SetCachedUpdates(false); break;
      case 'z': Seek(id), d.GetCurrentItem()->Status = isUnmodified; break;
      case 'n': d.SetToBegin(), d.UpdateRecord(new_buf_); break;
      case 't': {
        TItemTypes types;
        for (char c : arg) types.Include(static_cast<TItemStatus>(std::string("uUAD").find(c)));
        d.SetFilterItemTypes(types);
        break;
      }
      default: FAIL() << "unknown step " << op;
    }
  }

  void Handle(TUpdateRecKind kind, TUpdateRecAction& action) {
    log += std::string(1, "uid"[kind]) + d.Id(d.GetCurrentItem()) + " ";
    const char answer = next_action_ < actions.size() ? actions[next_action_++] : 'A';
    switch (answer) {
      case 'B':
        if (kind != ukDelete) d.PutFieldAsVariant(3, new_buf_, Variant(int32_t{1}));
        [[fallthrough]];
      case 'A': action = urApplied; break;
      case 'F': action = urFail; break;
      case 'K': action = urSkip; break;
      case 'S': action = urSuspended; break;
      case 'R': action = urRetry; break;
      case 'X': throw Exception("boom");
      case 'v': d.RevertRecord(); break;
      case 'm': d.RemoveRecord(); break;
      case 'w':
      case 'q':
        Seek(actions[next_action_++] - '0');
        answer == 'w' ? d.RevertRecord() : d.RemoveRecord();
        action = urApplied;
        break;
      case 'Z':
        for (void (TMemData::*refused)() : {&TMemData::ApplyUpdates, &TMemData::CommitUpdates,
                                            &TMemData::CancelUpdates, &TMemData::Close}) {
          try {
            (d.*refused)();
            log += "? ";
          } catch (const Exception&) {
          }
        }
        action = urApplied;
        break;
    }
  }

  void* new_buf_ = nullptr;
  void* old_buf_ = nullptr;
  int32_t next_id_ = 4;
  size_t next_action_ = 0;
};

struct Case {
  const char* script;
  const char* actions;
  const char* state;  // State and Cursor
  const char* log;
};

TEST(CachedUpdates, ScriptedCases) {
  const Case cases[] = {
      // Edit, then delete: one cache item, the values from before the edit, no rollback.
      {"e1 d1", "", "1:Dn10 2:un20 3:un30 #2p [1] @1", ""},
      {"i e4", "", "1:un10 2:un20 3:un30 4:An41 #4p [4] @4", ""},
      {"i d4", "", "1:un10 2:un20 3:un30 #3 [] @3", ""},
      {"i a e4", "", "1:un10 2:un20 3:un30 4:Un41<40 #4p [4] @4", "i4 "},
      {"e1 a a s a", "", "1:Ua11<10 2:un20 3:un30 #3 [1] @1", "u1 u1 "},
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script + std::string(" / ") + c.actions);
    Runner r;
    r.actions = c.actions;
    r.Run(c.script);
    const std::string cursor = r.Cursor();
    EXPECT_EQ(r.State() + cursor, c.state);
    EXPECT_EQ(r.log, c.log);
  }
}

// The same steps on a plain model of the rows.
struct ModelRow {
  int32_t id;
  int32_t v;
  bool s = false;
  TItemStatus status = isUnmodified;
  TUpdateRecAction result = urNone;
  bool rollback = false;
  int32_t old_v = 0;
  bool old_s = false;
};

class Model {
 public:
  std::vector<ModelRow> rows{{1, 10}, {2, 20}, {3, 30}};
  std::vector<int32_t> cache;
  std::string types = "uUA";

  ModelRow* Find(int32_t id) {
    auto it = std::find_if(rows.begin(), rows.end(), [id](const ModelRow& r) { return r.id == id; });
    return it == rows.end() ? nullptr : &*it;
  }
  bool Pending() {
    return std::any_of(cache.begin(), cache.end(), [this](int32_t id) { return Find(id)->result != urApplied; });
  }
  void Cache(int32_t id) { cache.push_back(id); }
  void Uncache(int32_t id) { cache.erase(std::find(cache.begin(), cache.end(), id)); }
  void Erase(int32_t id) { rows.erase(rows.begin() + (Find(id) - rows.data())); }
  void Restore(ModelRow& r) {
    if (r.rollback) r.v = r.old_v, r.s = r.old_s, r.rollback = false;
  }

  void Edit(int32_t id) {
    ModelRow& r = *Find(id);
    if (r.status == isDeleted) return;
    if (r.status == isUnmodified) Cache(id);
    if (r.status != isAppended || r.result == urApplied) {
      if (!r.rollback) r.rollback = true, r.old_v = r.v, r.old_s = r.s;
      r.status = isUpdated;
    }
    r.result = urNone;
    ++r.v;
  }
  void Delete(int32_t id) {
    ModelRow& r = *Find(id);
    if (r.status == isAppended && r.result != urApplied) return Uncache(id), Erase(id);
    if (r.status == isUnmodified) Cache(id);
    if (r.status != isDeleted) Restore(r), r.status = isDeleted, r.result = urNone;
  }
  void Revert(int32_t id) {
    if (std::find(cache.begin(), cache.end(), id) == cache.end()) return;
    Uncache(id);
    ModelRow& r = *Find(id);
    if (r.status == isAppended) return Erase(id);
    Restore(r);
    r.status = isUnmodified;
    r.result = urNone;
  }
  void Apply(const std::string& actions) {
    size_t next = 0;
    int batch = -1;
    for (size_t i = 0; i < cache.size();) {
      ModelRow& r = *Find(cache[i]);
      if (r.result == urApplied) {
        ++i;
        continue;
      }
      const char answer = next < actions.size() ? actions[next++] : 'A';
      if (answer == 'v' || answer == 'm') {
        const int32_t id = r.id;
        Revert(id);
        if (answer == 'm' && Find(id)) Erase(id);
        continue;
      }
      if (answer == 'B' && r.status != isDeleted) r.s = true;
      const TUpdateRecAction result = answer == 'F' ? urFail : answer == 'K' ? urSkip : answer == 'S' ? urSuspended : urApplied;
      for (int j = batch; result != urSuspended && j >= 0 && j < static_cast<int>(i); ++j) {
        if (Find(cache[static_cast<size_t>(j)])->result != urApplied) Find(cache[static_cast<size_t>(j)])->result = result;
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
      ModelRow& r = *Find(id);
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
    std::string s;
    int count = 0;
    for (const ModelRow& r : rows) {
      s += std::to_string(r.id) + ":" + "uUAD"[r.status] + "fbkrans"[r.result] + std::to_string(r.v) + (r.s ? "s" : "");
      if (r.rollback) s += "<" + std::to_string(r.old_v) + (r.old_s ? "s" : "");
      s += " ";
      count += types.find("uUAD"[r.status]) != std::string::npos;
    }
    std::string order;
    for (int32_t id : cache) order += (order.empty() ? "" : " ") + std::to_string(id);
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
      // Rows are edited the dataset's way, which needs them visible.
      std::vector<int32_t> all, visible;
      for (const ModelRow& row : m.rows) {
        all.push_back(row.id);
        if (m.types.find("uUAD"[row.status]) != std::string::npos) visible.push_back(row.id);
      }
      std::string actions;
      for (size_t i = 0; i < 2 * m.cache.size() + 2; ++i) actions += "AAABFKSvm"[random(9)];
      const char op = "ieeedraacxst"[random(12)];
      const std::vector<int32_t>& targets = op == 'e' ? visible : all;
      if (std::string("edr").find(op) != std::string::npos && targets.empty()) continue;
      const int32_t id = targets.empty() ? 0 : targets[random(targets.size())];
      std::string script(1, op);
      if (id && std::string("edr").find(op) != std::string::npos) script += std::to_string(id);
      if (op == 't') {
        for (char c : std::string("uUAD")) script += random(2) ? std::string(1, c) : "";
      }
      r.actions = actions;
      r.log.clear();
      r.Run(script);
      SCOPED_TRACE(std::to_string(run) + "/" + std::to_string(step) + ": " + script + " " + actions);
      switch (op) {
        case 'i':
          m.rows.push_back({next_id, 10 * next_id, false, isAppended});
          m.Cache(next_id++);
          break;
        case 'e': m.Edit(id); break;
        case 'd': m.Delete(id); break;
        case 'r': m.Revert(id); break;
        case 'a': m.Apply(actions); break;
        case 'c': m.Commit(actions); break;
        case 'x':
          while (!m.cache.empty()) m.Revert(m.cache.front());
          break;
        case 's':
          for (int32_t cached : m.cache) m.Find(cached)->result = urNone;
          break;
        case 't': m.types = script.substr(1); break;
      }
      ASSERT_EQ(r.State(), m.State());
    }
  }
}

}  // namespace
}  // namespace dac
