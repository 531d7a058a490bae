// The in-memory record set against SQLite in memory and a plain vector of
// structs, on the same rows from a fixed seed: an int32 key (a permutation),
// a name of 8-24 letters and a double. Tasks, each timed once per peer:
//   insert     every row (the store through AppendRecord with one buffer;
//              SQLite in one transaction with a reused statement)
//   sort_key   the store's IndexFieldNames; SQLite ORDER BY stepping every
//   sort_name  row; std::sort with a byte comparer and with the store's
//              collator
//   locate     kLookups keys: binary search by record number with
//              CompareFieldValue, as the dataset's Locate does; an indexed
//              point query; lower_bound
//   scan       kScans names compared row by row (no index anywhere)
//   filter     key below half and name matching "A*": filter text and one
//              traversal; WHERE with GLOB; a predicate loop
//   position   kLookups random record numbers with and without the
//              record-number cache; LIMIT 1 OFFSET; indexing
// The results of each task must agree between the peers, or the run fails.
// Rows: VARNEL_BENCH_ROWS (1,000,000 by default). For figures worth
// quoting, build with CMAKE_BUILD_TYPE=Release.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/unaligned.h"
#include "platform/locale_compare.h"

namespace {

constexpr int kLookups = 10000;
constexpr int kScans = 100;

struct Row {
  int32_t key;
  std::string name;
  double value;
};

class Store : public dac::TMemData {
 public:
  uint32_t Offset(const char* name) { return FieldByName(name)->GetOffset(); }

 protected:
  void InternalInitFields() override {
    const struct {
      const char* name;
      uint16_t type, size;
    } columns[] = {{"KEY", dac::dtInteger, 4}, {"NAME", dac::dtString, 25}, {"VALUE", dac::dtFloat, 8}};
    for (const auto& column : columns) {
      auto desc = std::make_unique<dac::TFieldDesc>();
      desc->SetName(column.name);
      desc->SetDataType(column.type);
      desc->SetSize(column.size);
      desc->SetLength(static_cast<uint16_t>(column.size - 1));
      desc->SetFieldNo(static_cast<uint16_t>(GetFieldDescs().Count() + 1));
      GetFieldDescs().Add(std::move(desc));
    }
  }
  void InternalOpen() override { InitFields(); }
};

struct Peers {
  int rows = 1000000;
  std::vector<Row> data;      // the generated rows
  std::vector<int32_t> keys;  // looked up
  std::vector<std::string> names;
  std::vector<int> positions;
  std::unique_ptr<Store> store;
  sqlite3* db = nullptr;
  std::vector<Row> vec;
  std::map<std::string, double> seconds;  // "task/peer"
  std::map<std::string, double> answers;  // what each peer found, per task
  bool mismatch = false;
};
Peers g;

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  explicit Statement(const std::string& sql) { Check(g.db, sqlite3_prepare_v2(g.db, sql.c_str(), -1, &stmt, nullptr)); }
  ~Statement() { sqlite3_finalize(stmt); }
  bool Step() {
    const int rc = sqlite3_step(stmt);
    Check(g.db, rc);
    return rc == SQLITE_ROW;
  }
  void Reset() { sqlite3_reset(stmt); }
};

void Exec(const char* sql) { Check(g.db, sqlite3_exec(g.db, sql, nullptr, nullptr, nullptr)); }

void Generate() {
  std::mt19937_64 rng(20240607);
  std::vector<int32_t> permutation(static_cast<size_t>(g.rows));
  for (int i = 0; i < g.rows; ++i) permutation[static_cast<size_t>(i)] = i;
  std::shuffle(permutation.begin(), permutation.end(), rng);
  const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int i = 0; i < g.rows; ++i) {
    std::string name(8 + rng() % 17, ' ');
    for (char& c : name) c = letters[rng() % 52];
    g.data.push_back({permutation[static_cast<size_t>(i)], std::move(name), static_cast<double>(rng() % 100000) / 8});
  }
  for (int i = 0; i < kLookups; ++i) {
    g.keys.push_back(static_cast<int32_t>(rng() % static_cast<uint64_t>(g.rows)));
    g.positions.push_back(1 + static_cast<int>(rng() % static_cast<uint64_t>(g.rows)));
  }
  for (int i = 0; i < kScans; ++i) g.names.push_back(g.data[rng() % g.data.size()].name);
}

// Registers one timed run of `work`, which returns what it found (or
// `check` does, untimed, afterwards); `prepare` runs untimed before it.
void Task(const std::string& task, const std::string& peer, std::function<double()> work,
          std::function<void()> prepare = nullptr, std::function<double()> check = nullptr) {
  benchmark::RegisterBenchmark((task + "/" + peer).c_str(), [=](benchmark::State& state) {
    for (auto _ : state) {
      if (prepare) prepare();
      const auto start = std::chrono::steady_clock::now();
      double answer = work();
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      state.SetIterationTime(elapsed);
      g.seconds[task + "/" + peer] = elapsed;
      if (check) answer = check();
      auto [it, first] = g.answers.emplace(task, answer);
      if (!first && it->second != answer) {
        g.mismatch = true;
        state.SkipWithError("the peers disagree on this task's result");
      }
    }
  })->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

// ---- The store ----

// KEY is the first column, at offset 0.
int32_t StoreKey() { return dac::LoadAt<int32_t>(dac::TBlockManager::GetRecordPtr(g.store->GetCurrentItem())); }

double StoreSort(const char* index) {
  g.store->SetIndexFieldNames(index);
  return 0;
}

// Rows in key order: how many hold their own position as key.
double StoreKeysInPlace() {
  double in_place = 0;
  int position = 0;
  for (g.store->SetToBegin(), g.store->GetNextRecord(nullptr); !g.store->GetEOF(); g.store->GetNextRecord(nullptr)) {
    in_place += StoreKey() == position++ ? 1 : 0;
  }
  return in_place;
}

double StoreLocate() {
  Store& s = *g.store;
  dac::TFieldDesc* key_field = s.FieldByName("KEY");
  const uint32_t value_offset = s.Offset("VALUE");
  s.PrepareRecNoCache();
  double sum = 0;
  for (int32_t key : g.keys) {
    int low = 1;
    int high = s.GetRecordCount();
    while (low <= high) {
      const int mid = (low + high) / 2;
      s.SetRecordNo(mid);
      void* rec = dac::TBlockManager::GetRecordPtr(s.GetCurrentItem());
      const int order = s.CompareFieldValue(&key, dac::dtInteger, key_field, rec, {});
      if (order == 0) {
        sum += dac::LoadAt<double>(rec, value_offset);
        break;
      }
      (order < 0 ? high : low) = order < 0 ? mid - 1 : mid + 1;
    }
  }
  return sum;
}

double StoreScan() {
  Store& s = *g.store;
  dac::TFieldDesc* name_field = s.FieldByName("NAME");
  double found = 0;
  for (const std::string& name : g.names) {
    for (s.SetToBegin(), s.GetNextRecord(nullptr); !s.GetEOF(); s.GetNextRecord(nullptr)) {
      void* rec = dac::TBlockManager::GetRecordPtr(s.GetCurrentItem());
      if (s.CompareFieldValue(name.c_str(), dac::dtString, name_field, rec, {}) == 0) {
        found += StoreKey();
        break;
      }
    }
  }
  return found;
}

double StoreFilter() {
  Store& s = *g.store;
  s.SetFilterText("KEY < " + std::to_string(g.rows / 2) + " AND NAME LIKE 'A*'");
  double count = 0;
  for (s.SetToBegin(), s.GetNextRecord(nullptr); !s.GetEOF(); s.GetNextRecord(nullptr)) ++count;
  return count;
}

double StorePosition(bool cache) {
  if (cache) g.store->PrepareRecNoCache();
  double sum = 0;
  for (int n : g.positions) {
    g.store->SetRecordNo(n);
    sum += StoreKey();
  }
  return sum;
}

// ---- SQLite ----

double SqliteSteps(const std::string& sql, const std::vector<int32_t>* ints = nullptr,
                   const std::vector<std::string>* texts = nullptr) {
  Statement st(sql);
  double result = 0;
  const size_t runs = ints ? ints->size() : (texts ? texts->size() : 1);
  for (size_t i = 0; i < runs; ++i) {
    if (ints) sqlite3_bind_int(st.stmt, 1, (*ints)[i]);
    if (texts) sqlite3_bind_text(st.stmt, 1, (*texts)[i].c_str(), -1, SQLITE_STATIC);
    while (st.Step()) result += sqlite3_column_double(st.stmt, 0);
    st.Reset();
  }
  return result;
}

double SqliteInsert() {
  Exec("CREATE TABLE t(key INTEGER, name TEXT, value REAL)");
  Exec("BEGIN");
  Statement st("INSERT INTO t VALUES (?, ?, ?)");
  for (const Row& row : g.data) {
    sqlite3_bind_int(st.stmt, 1, row.key);
    sqlite3_bind_text(st.stmt, 2, row.name.c_str(), static_cast<int>(row.name.size()), SQLITE_STATIC);
    sqlite3_bind_double(st.stmt, 3, row.value);
    st.Step();
    st.Reset();
  }
  Exec("COMMIT");
  return 0;
}

double SqliteKeysInPlace() {
  Statement st("SELECT key, name, value FROM t ORDER BY key");
  double in_place = 0;
  for (int position = 0; st.Step(); ++position) in_place += sqlite3_column_int(st.stmt, 0) == position ? 1 : 0;
  return in_place;
}

// ---- The vector ----

bool ByteLess(const Row& a, const Row& b) { return a.name < b.name; }
bool CollatorLess(const Row& a, const Row& b) { return plat::LocaleCompareAnsi(a.name, b.name, false) < 0; }
bool KeyLess(const Row& a, const Row& b) { return a.key < b.key; }

void RegisterTasks() {
  const std::string half = std::to_string(g.rows / 2);
  Task("insert", "store", [] {
    g.store = std::make_unique<Store>();
    Store& s = *g.store;
    s.Create();
    s.Open();
    void* rec = nullptr;
    s.AllocRecBuf(rec);
    s.InitRecord(rec);
    for (const Row& row : g.data) {
      s.PutField(1, rec, &row.key);
      s.PutField(2, rec, row.name.c_str());
      s.PutField(3, rec, &row.value);
      s.AppendRecord(rec);
    }
    s.FreeRecBuf(rec);
    return static_cast<double>(s.GetRecordCount());
  });
  Task("insert", "sqlite", [] { return SqliteInsert() + g.rows; });
  Task("insert", "vector", [] {
    for (const Row& row : g.data) g.vec.push_back(row);
    return static_cast<double>(g.vec.size());
  });

  auto sorted_copy = std::make_shared<std::vector<Row>>();
  auto copy = [sorted_copy] { *sorted_copy = g.vec; };
  Task("sort_key", "store", [] { return StoreSort("KEY"); }, nullptr, StoreKeysInPlace);
  Task("sort_key", "sqlite", SqliteKeysInPlace);
  Task(
      "sort_key", "vector",
      [sorted_copy] {
        std::sort(sorted_copy->begin(), sorted_copy->end(), KeyLess);
        return 0.0;
      },
      copy,
      [sorted_copy] {
        double in_place = 0;
        for (size_t i = 0; i < sorted_copy->size(); ++i) in_place += (*sorted_copy)[i].key == static_cast<int32_t>(i);
        return in_place;
      });
  Task("sort_name", "store", [] { return StoreSort("NAME"); });
  Task("sort_name", "sqlite", [] { return 0 * SqliteSteps("SELECT key, name, value FROM t ORDER BY name"); });
  // Byte order and collation order differ: nothing to compare but the time.
  for (const bool collator : {false, true}) {
    Task("sort_name", collator ? "vector_collator" : "vector", [sorted_copy, collator] {
      std::sort(sorted_copy->begin(), sorted_copy->end(), collator ? CollatorLess : ByteLess);
      return 0.0;
    }, copy);
  }

  Task("locate", "store", StoreLocate, [] { g.store->SetIndexFieldNames("KEY"); });
  Task("locate", "sqlite", [] { return SqliteSteps("SELECT value FROM t WHERE key = ?", &g.keys); },
       [] { Exec("CREATE INDEX IF NOT EXISTS t_key ON t(key)"); });
  Task("locate", "vector", [] {
    double sum = 0;
    for (int32_t key : g.keys) {
      auto it = std::lower_bound(g.vec.begin(), g.vec.end(), Row{key, {}, 0}, KeyLess);
      if (it != g.vec.end() && it->key == key) sum += it->value;
    }
    return sum;
  }, [] { std::sort(g.vec.begin(), g.vec.end(), KeyLess); });
  Task("scan", "store", StoreScan);
  Task("scan", "sqlite", [] { return SqliteSteps("SELECT key FROM t WHERE name = ?", nullptr, &g.names); });
  Task("scan", "vector", [] {
    double found = 0;
    for (const std::string& name : g.names) {
      auto it = std::find_if(g.vec.begin(), g.vec.end(), [&](const Row& row) { return row.name == name; });
      if (it != g.vec.end()) found += it->key;
    }
    return found;
  });

  Task("filter", "store", StoreFilter);
  Task("filter", "sqlite", [half] {
    return SqliteSteps("SELECT 1 FROM t WHERE key < " + half + " AND name GLOB 'A*'");
  });
  Task("filter", "vector", [] {
    double count = 0;
    for (const Row& row : g.vec) count += row.key < g.rows / 2 && row.name[0] == 'A' ? 1 : 0;
    return count;
  });

  std::vector<int32_t> offsets(g.positions.begin(), g.positions.end());
  for (int32_t& offset : offsets) --offset;
  Task("position", "store", [] { return StorePosition(false); }, [] { g.store->SetFilterText(""); });
  Task("position", "store_cache", [] { return StorePosition(true); });
  Task("position", "sqlite",
       [offsets] { return SqliteSteps("SELECT key FROM t ORDER BY key LIMIT 1 OFFSET ?", &offsets); });
  Task("position", "vector", [] {
    double sum = 0;
    for (int n : g.positions) sum += g.vec[static_cast<size_t>(n) - 1].key;
    return sum;
  });
}

std::string CpuName() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown CPU";
}

void PrintRatios() {
  std::printf("\n%s, %d rows (%d lookups, %d scans)\n", CpuName().c_str(), g.rows, kLookups, kScans);
  std::printf("%-10s %-16s %10s %12s %12s\n", "task", "store", "ms", "/ vector", "/ sqlite");
  const char* tasks[] = {"insert", "sort_key", "sort_name", "locate", "scan", "filter", "position"};
  for (const char* task : tasks) {
    const std::string t = task;
    for (const char* store : {"store", "store_cache"}) {
      if (!g.seconds.count(t + "/" + store)) continue;
      const double s = g.seconds[t + "/" + store];
      std::printf("%-10s %-16s %10.1f %12.2f %12.2f\n", task, store, s * 1e3, s / g.seconds[t + "/vector"],
                  s / g.seconds[t + "/sqlite"]);
    }
    if (g.seconds.count(t + "/vector_collator")) {
      std::printf("%-10s %-16s %10.1f %12.2f\n", task, "(vector_collator)", g.seconds[t + "/vector_collator"] * 1e3,
                  g.seconds[t + "/store"] / g.seconds[t + "/vector_collator"]);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* rows = std::getenv("VARNEL_BENCH_ROWS")) g.rows = std::max(2, std::atoi(rows));
  benchmark::Initialize(&argc, argv);
  Generate();
  Check(nullptr, sqlite3_open(":memory:", &g.db));
  Exec("PRAGMA journal_mode = OFF");
  Exec("PRAGMA synchronous = OFF");
  RegisterTasks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  g.store.reset();
  sqlite3_close(g.db);
  if (g.mismatch) std::printf("RESULTS DIFFER BETWEEN THE PEERS\n");
  return g.mismatch ? 1 : 0;
}
