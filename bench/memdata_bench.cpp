// The record store (the record set TMemData and the dataset TMemDataSet over
// it) against a plain std::vector of structs, SQLite in memory and ICU, on
// the same generated rows: KEY INT (a permutation), NAME VARCHAR(40),
// AMOUNT DOUBLE, STAMP DATETIME. Every peer does the same work: names are
// compared by the same ICU collation everywhere (SQLite through a
// registered collation), searches stop at the first match, sorts are
// checked by the sequence of values they produce (and, between the stable
// peers, of keys).
//
// Tasks, each in several rounds (the median counts; the peers of a task take
// their rounds in turn), by process CPU time:
//   append       AppendRecord; dataset Append + 4 setters + Post; push_back; INSERT
//   memory       heap bytes per row of each structure
//   open         the dataset opening over the rows, fetched 25 at a time
//   sort_*       IndexFieldNames KEY, STAMP, NAME, "AMOUNT;NAME"; std::stable_sort;
//                ICU sort keys + std::sort; ORDER BY
//   filter       AMOUNT > 500 AND NAME LIKE 'a%' and a walk over what it shows,
//                also after a sort by KEY (list order no longer memory order)
//   walk         First..Eof reading the 4 fields
//   locate_*     Locate of a key in a set sorted by it; of a name (a scan)
//   sorted_*     in a dataset sorted by KEY, per operation: Locate + Edit +
//                Post of AMOUNT, of KEY (the row moves), Append + Post,
//                Insert + Post in the middle, Delete in the middle
//   position     RecNo to random rows
//   cached_*     with cached updates: edits, RevertRecord, apply and commit
//   xml_*        SaveToXML against a plain writer of the same bytes; reading
//                it back; an attribute made of entities (linear or not)
// Operations that cost per row are time-boxed (VARNEL_BENCH_BUDGET seconds
// per round for the store; the peers then do the same operations).
//
// VARNEL_BENCH_ROWS: the row counts (default 10000,100000,1000000);
// VARNEL_BENCH_ROUNDS: rounds (default 5, 3 from 1,000,000 rows); VARNEL_BENCH_OPS:
// operations on single rows per round (default 1,000).
// The run fails (exit status 1) when the peers disagree.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_command_line.h"
#include "bench/memdata_peers.h"
#include "dac/framework/classes/streams.h"
#include "dac/framework/data/field.h"
#include "dac/store/xml/xml_text_reader.h"
#include "platform/date_time.h"
#include "platform/program_usage.h"

namespace bench {
namespace {

using dac::TField;

// ---- results ----

enum class Unit { kSeconds, kPerOp, kBytesPerRow, kMBps };

struct Measure {
  double value = 0;  // by the task's unit
  bool has_answer = false;
  uint64_t answer = 0;
};

struct Series {
  Unit unit = Unit::kSeconds;
  std::vector<double> values;
  std::map<int, uint64_t> answers;  // by round
};

std::map<std::string, Series> g_series;  // "rows/task/peer"
std::vector<std::string> g_order;        // keys in registration order
bool g_mismatch = false;

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Budget() {
  const char* text = std::getenv("VARNEL_BENCH_BUDGET");
  return text ? std::max(0.01, std::atof(text)) : 1.0;
}

std::string Key(int rows, const std::string& task, const std::string& peer) {
  return std::to_string(rows) + "/" + task + "/" + peer;
}

// The answer a round gave, against every other peer's answer of that round.
void Record(int rows, const std::string& task, const std::string& peer, int round, const Measure& m) {
  Series& series = g_series[Key(rows, task, peer)];
  series.values.push_back(m.value);
  if (!m.has_answer) return;
  series.answers[round] = m.answer;
  const std::string prefix = std::to_string(rows) + "/" + task + "/";
  for (const auto& [key, other] : g_series) {
    if (key.rfind(prefix, 0) != 0 || key == Key(rows, task, peer)) continue;
    auto it = other.answers.find(round);
    if (it != other.answers.end() && it->second != m.answer) {
      std::fprintf(stderr, "MISMATCH %s: %s and %s disagree in round %d\n", prefix.c_str(), peer.c_str(),
                   key.substr(prefix.size()).c_str(), round);
      g_mismatch = true;
    }
  }
}

// A task's rounds wait for the end of their group (EndGroup): the group's
// tasks then take their rounds in turn, so that a load that changes during
// the run falls on every peer of a row alike.
struct PendingTask {
  int rows;
  int rounds;
  std::string task;
  std::string peer;
  Unit unit;
  std::function<Measure(int round)> run;
};
std::vector<PendingTask> g_pending;

void Task(int rows, int rounds, const std::string& task, const std::string& peer, Unit unit,
          std::function<Measure(int round)> run) {
  const std::string key = Key(rows, task, peer);
  g_series[key].unit = unit;
  g_order.push_back(key);
  g_pending.push_back({rows, rounds, task, peer, unit, std::move(run)});
}

// One benchmark a round: round 0 of every task of the group, then round 1, ...
void EndGroup() {
  int most = 0;
  for (const PendingTask& t : g_pending) most = std::max(most, t.rounds);
  for (int round = 0; round < most; ++round) {
    for (const PendingTask& t : g_pending) {
      if (round >= t.rounds) continue;
      const std::string name = Key(t.rows, t.task, t.peer) + "/round:" + std::to_string(round);
      benchmark::RegisterBenchmark(name.c_str(), [t, round](benchmark::State& state) {
        for (auto _ : state) {
          const Measure m = t.run(round);
          Record(t.rows, t.task, t.peer, round, m);
          // Google Benchmark shows seconds; the other units are in the counters.
          state.SetIterationTime(t.unit == Unit::kSeconds || t.unit == Unit::kPerOp ? m.value : 1e-9);
          if (t.unit == Unit::kBytesPerRow) state.counters["bytes_per_row"] = m.value;
          if (t.unit == Unit::kMBps) state.counters["MB_per_s"] = m.value;
        }
      })
          ->Iterations(1)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
  }
  g_pending.clear();
}

Measure Timed(const std::function<uint64_t()>& work) {
  const double start = CpuSeconds();
  const uint64_t answer = work();
  return {CpuSeconds() - start, true, answer};
}

// ---- the fixture of one row count ----

struct Fixture {
  int n = 0;
  std::vector<Row> rows;
  std::vector<Row> by_key;  // rows sorted by key: row k holds key k
  std::unique_ptr<Store> store;          // appended, list in memory order
  std::unique_ptr<Store> store_by_key;   // appended, then sorted by KEY
  DataSetPtr data_set;                   // fetched
  DataSetPtr data_set_by_key;            // fetched, then sorted by KEY
  std::unique_ptr<Sqlite> sqlite;
  std::map<std::string, int> ops;        // per task and round: how many the store did
  std::string xml;                       // the export of data_set
};
std::map<int, std::unique_ptr<Fixture>> g_fixtures;

Fixture& F(int rows) {
  std::unique_ptr<Fixture>& f = g_fixtures[rows];
  if (!f) {
    f = std::make_unique<Fixture>();
    f->n = rows;
    f->rows = GenerateRows(rows);
    f->by_key = f->rows;
    std::sort(f->by_key.begin(), f->by_key.end(), [](const Row& a, const Row& b) { return a.key < b.key; });
  }
  return *f;
}

Store& StoreRO(Fixture& f) {
  if (!f.store) f.store = StoreOf(f.rows);
  return *f.store;
}
Store& StoreByKey(Fixture& f) {
  if (!f.store_by_key) {
    f.store_by_key = StoreOf(f.rows);
    f.store_by_key->SetIndexFieldNames("KEY");
  }
  return *f.store_by_key;
}
DataSet& DataSetRO(Fixture& f) {
  if (!f.data_set) f.data_set = MakeDataSet(&f.rows);
  return *f.data_set;
}
DataSet& DataSetByKey(Fixture& f) {
  if (!f.data_set_by_key) {
    f.data_set_by_key = MakeDataSet(&f.rows);
    f.data_set_by_key->SetIndexFieldNames("KEY");
  }
  return *f.data_set_by_key;
}
Sqlite& SqliteRO(Fixture& f) {
  if (!f.sqlite) {
    f.sqlite = std::make_unique<Sqlite>();
    f.sqlite->Load(f.rows);
    f.sqlite->Exec("CREATE INDEX t_key ON t(key)");
  }
  return *f.sqlite;
}

int64_t Cents(double amount) { return std::llround(amount * 100); }
int64_t Millis(double stamp) { return std::llround(stamp * plat::kMSecsPerDay); }
// The dataset's DATETIME reads as milliseconds since 0001-01-01.
int64_t MillisOfMSecs(double msecs) { return std::llround(msecs) - int64_t{plat::kDateDelta} * plat::kMSecsPerDay; }

// ---- reading the peers back (untimed) ----

struct Fields {
  TField* key;
  TField* name;
  TField* amount;
  TField* stamp;
  explicit Fields(DataSet& ds)
      : key(ds.FieldByName("KEY")), name(ds.FieldByName("NAME")), amount(ds.FieldByName("AMOUNT")),
        stamp(ds.FieldByName("STAMP")) {}
};

// The record set's rows front to back, each as the four values.
template <typename Visit>
void EachStoreRow(Store& s, Visit visit) {
  void* rec = nullptr;
  s.AllocRecBuf(rec);
  char name[41];
  for (s.SetToBegin(), s.GetNextRecord(rec); !s.GetEOF(); s.GetNextRecord(rec)) {
    int32_t key = 0;
    double amount = 0;
    double msecs = 0;
    bool blank = false;
    s.GetField(1, rec, &key, sizeof key, blank);
    s.GetField(2, rec, name, sizeof name, blank);
    s.GetField(3, rec, &amount, sizeof amount, blank);
    s.GetField(4, rec, &msecs, sizeof msecs, blank);
    visit(key, std::string_view(name), amount, MillisOfMSecs(msecs));
  }
  s.FreeRecBuf(rec);
}

uint64_t StoreContent(Store& s) {
  Checksum sum;
  EachStoreRow(s, [&](int32_t key, std::string_view name, double amount, int64_t millis) {
    sum.Add(static_cast<uint64_t>(key));
    sum.Add(name);
    sum.Add(static_cast<uint64_t>(Cents(amount)));
    sum.Add(static_cast<uint64_t>(millis));
  });
  return sum.Get();
}

uint64_t DataSetContent(DataSet& ds) {
  Checksum sum;
  Fields f(ds);
  for (ds.First(); !ds.GetEOF(); ds.Next()) {
    sum.Add(static_cast<uint64_t>(f.key->AsInteger()));
    sum.Add(f.name->AsString());
    sum.Add(static_cast<uint64_t>(Cents(f.amount->AsFloat())));
    sum.Add(static_cast<uint64_t>(Millis(f.stamp->AsDateTime())));
  }
  return sum.Get();
}

uint64_t VectorContent(const std::vector<Row>& rows) {
  Checksum sum;
  for (const Row& row : rows) {
    sum.Add(static_cast<uint64_t>(row.key));
    sum.Add(row.name);
    sum.Add(static_cast<uint64_t>(Cents(row.amount)));
    sum.Add(static_cast<uint64_t>(Millis(row.stamp)));
  }
  return sum.Get();
}

uint64_t SqliteContent(Sqlite& db, const std::string& order) {
  Checksum sum;
  Statement st(db, "SELECT key, name, amount, stamp FROM t ORDER BY " + order);
  while (st.Step()) {
    sum.Add(static_cast<uint64_t>(sqlite3_column_int(st.Get(), 0)));
    sum.Add(std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(st.Get(), 1)),
                             static_cast<size_t>(sqlite3_column_bytes(st.Get(), 1))));
    sum.Add(static_cast<uint64_t>(Cents(sqlite3_column_double(st.Get(), 2))));
    sum.Add(static_cast<uint64_t>(Millis(sqlite3_column_double(st.Get(), 3))));
  }
  return sum.Get();
}

// The keys of the dataset front to back.
uint64_t DataSetKeys(DataSet& ds) {
  Checksum sum;
  TField* key = ds.FieldByName("KEY");
  for (ds.First(); !ds.GetEOF(); ds.Next()) sum.Add(static_cast<uint64_t>(key->AsInteger()));
  sum.Add(static_cast<uint64_t>(ds.RecordCount()));
  return sum.Get();
}

uint64_t VectorKeys(const std::vector<Row>& rows) {
  Checksum sum;
  for (const Row& row : rows) sum.Add(static_cast<uint64_t>(row.key));
  sum.Add(rows.size());
  return sum.Get();
}

// ---- append and memory ----

void RegisterAppend(int n, int rounds) {
  Task(n, rounds, "append", "store AppendRecord", Unit::kSeconds, [n](int) {
    Fixture& f = F(n);
    std::unique_ptr<Store> s;
    const size_t before = HeapInUse();
    Measure m = Timed([&] {
      s = StoreOf(f.rows);
      return uint64_t{0};
    });
    g_series[Key(n, "memory", "store (appended)")].values.push_back(
        static_cast<double>(HeapInUse() - before) / f.rows.size());
    m.answer = StoreContent(*s);
    return m;
  });
  Task(n, rounds, "append", "dataset Append+Post", Unit::kSeconds, [n](int) {
    Fixture& f = F(n);
    DataSetPtr ds = MakeDataSet(nullptr);
    Fields fields(*ds);
    Measure m = Timed([&] {
      for (const Row& row : f.rows) {
        ds->Append();
        fields.key->SetAsInteger(row.key);
        fields.name->SetAsString(row.name);
        fields.amount->SetAsFloat(row.amount);
        fields.stamp->SetAsDateTime(row.stamp);
        ds->Post();
      }
      return uint64_t{0};
    });
    m.answer = DataSetContent(*ds);
    return m;
  });
  Task(n, rounds, "append", "vector push_back", Unit::kSeconds, [n](int) {
    Fixture& f = F(n);
    std::vector<Row> v;
    const size_t before = HeapInUse();
    Measure m = Timed([&] {
      v.reserve(f.rows.size());
      for (const Row& row : f.rows) v.push_back(row);
      return uint64_t{0};
    });
    g_series[Key(n, "memory", "vector")].values.push_back(static_cast<double>(HeapInUse() - before) /
                                                          f.rows.size());
    m.answer = VectorContent(v);
    return m;
  });
  Task(n, rounds, "append", "sqlite INSERT", Unit::kSeconds, [n](int) {
    Fixture& f = F(n);
    const size_t before = HeapInUse();
    auto db = std::make_unique<Sqlite>();
    Measure m = Timed([&] {
      db->Load(f.rows);
      return uint64_t{0};
    });
    g_series[Key(n, "memory", "sqlite")].values.push_back(static_cast<double>(HeapInUse() - before) /
                                                          f.rows.size());
    m.answer = SqliteContent(*db, "rowid");
    return m;
  });
  Task(n, rounds, "open", "dataset (fetch)", Unit::kSeconds, [n](int) {
    Fixture& f = F(n);
    DataSetPtr ds;
    const size_t before = HeapInUse();
    Measure m = Timed([&] {
      ds = MakeDataSet(&f.rows);
      return uint64_t{0};
    });
    g_series[Key(n, "memory", "store (fetched)")].values.push_back(static_cast<double>(HeapInUse() - before) /
                                                                   f.rows.size());
    m.answer = DataSetContent(*ds);
    return m;
  });
}

// ---- sorting ----

struct SortSpec {
  std::string task;
  std::string index;     // IndexFieldNames
  std::string order_by;  // SQLite
  std::function<bool(const Row&, const Row&)> less;
  // The sorted columns' values of a row into the checksum.
  std::function<void(Checksum&, int32_t key, std::string_view name, double amount, int64_t millis)> values;
};

void AddValues(Checksum& sum, const Row& row, const SortSpec& spec) {
  spec.values(sum, row.key, row.name, row.amount, Millis(row.stamp));
}

void RegisterSort(int n, int rounds, const SortSpec& spec) {
  const std::string stable_task = spec.task + " (stable order)";
  Task(n, rounds, spec.task, "store", Unit::kSeconds, [n, spec, stable_task](int round) {
    std::unique_ptr<Store> s = StoreOf(F(n).rows);
    Measure m = Timed([&] {
      s->SetIndexFieldNames(spec.index);
      return uint64_t{0};
    });
    Checksum values;
    Checksum keys;
    EachStoreRow(*s, [&](int32_t key, std::string_view name, double amount, int64_t millis) {
      spec.values(values, key, name, amount, millis);
      keys.Add(static_cast<uint64_t>(key));
    });
    m.answer = values.Get();
    Record(n, stable_task, "store", round, {0, true, keys.Get()});
    return m;
  });
  Task(n, rounds, spec.task, "vector std::stable_sort", Unit::kSeconds, [n, spec, stable_task](int round) {
    std::vector<Row> v = F(n).rows;
    Measure m = Timed([&] {
      std::stable_sort(v.begin(), v.end(), spec.less);
      return uint64_t{0};
    });
    Checksum values;
    for (const Row& row : v) AddValues(values, row, spec);
    m.answer = values.Get();
    Checksum keys;
    for (const Row& row : v) keys.Add(static_cast<uint64_t>(row.key));
    Record(n, stable_task, "vector", round, {0, true, keys.Get()});
    return m;
  });
  if (spec.task == "sort_name") {
    Task(n, rounds, spec.task, "ICU sort keys + std::sort", Unit::kSeconds, [n, spec](int) {
      const std::vector<Row>& rows = F(n).rows;
      std::vector<std::pair<std::string, uint32_t>> keys(rows.size());
      Measure m = Timed([&] {
        const Collator& collator = TheCollator();
        for (size_t i = 0; i < rows.size(); ++i) {
          collator.SortKey(rows[i].name, keys[i].first);
          keys[i].second = static_cast<uint32_t>(i);
        }
        std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        return uint64_t{0};
      });
      Checksum values;
      for (const auto& key : keys) AddValues(values, rows[key.second], spec);
      m.answer = values.Get();
      return m;
    });
  }
  Task(n, rounds, spec.task, "sqlite ORDER BY", Unit::kSeconds, [n, spec](int) {
    Sqlite& db = SqliteRO(F(n));
    Checksum values;
    return Timed([&] {
      Statement st(db, "SELECT key, name, amount, stamp FROM t ORDER BY " + spec.order_by);
      while (st.Step()) {
        spec.values(values, sqlite3_column_int(st.Get(), 0),
                    std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(st.Get(), 1)),
                                     static_cast<size_t>(sqlite3_column_bytes(st.Get(), 1))),
                    sqlite3_column_double(st.Get(), 2), Millis(sqlite3_column_double(st.Get(), 3)));
      }
      return values.Get();
    });
  });
}

void RegisterSorts(int n, int rounds) {
  const Collator* collator = &TheCollator();
  RegisterSort(n, rounds,
               {"sort_key", "KEY", "key", [](const Row& a, const Row& b) { return a.key < b.key; },
                [](Checksum& s, int32_t key, std::string_view, double, int64_t) { s.Add(static_cast<uint64_t>(key)); }});
  RegisterSort(n, rounds,
               {"sort_date", "STAMP", "stamp", [](const Row& a, const Row& b) { return a.stamp < b.stamp; },
                [](Checksum& s, int32_t, std::string_view, double, int64_t millis) {
                  s.Add(static_cast<uint64_t>(millis));
                }});
  RegisterSort(n, rounds,
               {"sort_name", "NAME", "name COLLATE icu",
                [collator](const Row& a, const Row& b) { return collator->Compare(a.name, b.name) < 0; },
                [](Checksum& s, int32_t, std::string_view name, double, int64_t) { s.Add(name); }});
  RegisterSort(n, rounds,
               {"sort_amount_name", "AMOUNT;NAME", "amount, name COLLATE icu",
                [collator](const Row& a, const Row& b) {
                  if (a.amount != b.amount) return a.amount < b.amount;
                  return collator->Compare(a.name, b.name) < 0;
                },
                [](Checksum& s, int32_t, std::string_view name, double amount, int64_t) {
                  s.Add(static_cast<uint64_t>(Cents(amount)));
                  s.Add(name);
                }});
}

// ---- filter and walk ----

const char* const kFilter = "AMOUNT > 500 AND NAME LIKE 'a%'";

uint64_t Answer(uint64_t count, uint64_t sum) {
  Checksum c;
  c.Add(count);
  c.Add(sum);
  return c.Get();
}

void RegisterFilter(int n, int rounds, bool after_sort) {
  const std::string task = after_sort ? "filter after sort" : "filter";
  Task(n, rounds, task, "store", Unit::kSeconds, [n, after_sort](int) {
    Store& s = after_sort ? StoreByKey(F(n)) : StoreRO(F(n));
    void* rec = nullptr;
    s.AllocRecBuf(rec);
    Measure m = Timed([&] {
      s.SetFilterText(kFilter);
      uint64_t count = 0;
      uint64_t sum = 0;
      for (s.SetToBegin(), s.GetNextRecord(rec); !s.GetEOF(); s.GetNextRecord(rec)) {
        int32_t key = 0;
        bool blank = false;
        s.GetField(1, rec, &key, sizeof key, blank);
        ++count;
        sum += static_cast<uint64_t>(key);
      }
      return Answer(count, sum);
    });
    s.SetFilterText("");
    s.FreeRecBuf(rec);
    return m;
  });
  Task(n, rounds, task, "dataset Filtered", Unit::kSeconds, [n, after_sort](int) {
    DataSet& ds = after_sort ? DataSetByKey(F(n)) : DataSetRO(F(n));
    TField* key = ds.FieldByName("KEY");
    Measure m = Timed([&] {
      ds.SetFilterText(kFilter);
      ds.SetFiltered(true);
      uint64_t count = 0;
      uint64_t sum = 0;
      for (ds.First(); !ds.GetEOF(); ds.Next()) {
        ++count;
        sum += static_cast<uint64_t>(key->AsInteger());
      }
      return Answer(count, sum);
    });
    ds.SetFiltered(false);
    ds.SetFilterText("");
    return m;
  });
  Task(n, rounds, task, "vector scan", Unit::kSeconds, [n, after_sort](int) {
    const std::vector<Row>& rows = after_sort ? F(n).by_key : F(n).rows;
    return Timed([&] {
      uint64_t count = 0;
      uint64_t sum = 0;
      for (const Row& row : rows) {
        if (row.amount > 500 && !row.name.empty() && row.name[0] == 'a') {
          ++count;
          sum += static_cast<uint64_t>(row.key);
        }
      }
      return Answer(count, sum);
    });
  });
  Task(n, rounds, task, "sqlite WHERE", Unit::kSeconds, [n](int) {
    Sqlite& db = SqliteRO(F(n));
    return Timed([&] {
      Statement st(db, "SELECT key FROM t WHERE amount > 500 AND name LIKE 'a%'");
      uint64_t count = 0;
      uint64_t sum = 0;
      while (st.Step()) {
        ++count;
        sum += static_cast<uint64_t>(sqlite3_column_int(st.Get(), 0));
      }
      return Answer(count, sum);
    });
  });
}

void RegisterWalk(int n, int rounds) {
  Task(n, rounds, "walk", "store", Unit::kSeconds, [n](int) {
    Store& s = StoreRO(F(n));
    void* rec = nullptr;
    s.AllocRecBuf(rec);
    Measure m = Timed([&] {
      uint64_t sum = 0;
      char name[41];
      for (s.SetToBegin(), s.GetNextRecord(rec); !s.GetEOF(); s.GetNextRecord(rec)) {
        int32_t key = 0;
        double amount = 0;
        double msecs = 0;
        bool blank = false;
        s.GetField(1, rec, &key, sizeof key, blank);
        s.GetField(2, rec, name, sizeof name, blank);
        s.GetField(3, rec, &amount, sizeof amount, blank);
        s.GetField(4, rec, &msecs, sizeof msecs, blank);
        sum += static_cast<uint64_t>(key) + std::strlen(name) + static_cast<uint64_t>(Cents(amount)) +
               static_cast<uint64_t>(MillisOfMSecs(msecs));
      }
      return sum;
    });
    s.FreeRecBuf(rec);
    return m;
  });
  Task(n, rounds, "walk", "dataset fields", Unit::kSeconds, [n](int) {
    DataSet& ds = DataSetRO(F(n));
    Fields f(ds);
    return Timed([&] {
      uint64_t sum = 0;
      for (ds.First(); !ds.GetEOF(); ds.Next()) {
        sum += static_cast<uint64_t>(f.key->AsInteger()) + f.name->AsString().size() +
               static_cast<uint64_t>(Cents(f.amount->AsFloat())) + static_cast<uint64_t>(Millis(f.stamp->AsDateTime()));
      }
      return sum;
    });
  });
  Task(n, rounds, "walk", "vector", Unit::kSeconds, [n](int) {
    const std::vector<Row>& rows = F(n).rows;
    return Timed([&] {
      uint64_t sum = 0;
      for (const Row& row : rows) {
        sum += static_cast<uint64_t>(row.key) + row.name.size() + static_cast<uint64_t>(Cents(row.amount)) +
               static_cast<uint64_t>(Millis(row.stamp));
      }
      return sum;
    });
  });
  Task(n, rounds, "walk", "sqlite SELECT", Unit::kSeconds, [n](int) {
    Sqlite& db = SqliteRO(F(n));
    return Timed([&] {
      Statement st(db, "SELECT key, name, amount, stamp FROM t");
      uint64_t sum = 0;
      while (st.Step()) {
        sum += static_cast<uint64_t>(sqlite3_column_int(st.Get(), 0)) +
               static_cast<uint64_t>(sqlite3_column_bytes(st.Get(), 1)) +
               static_cast<uint64_t>(Cents(sqlite3_column_double(st.Get(), 2))) +
               static_cast<uint64_t>(Millis(sqlite3_column_double(st.Get(), 3)));
      }
      return sum;
    });
  });
}

// ---- operations on single rows ----

// Random values of a round, the same for every peer.
std::vector<uint32_t> Draws(int n, int round, const std::string& task, size_t count) {
  std::seed_seq seed(task.begin(), task.end());
  std::mt19937 rng(seed);
  rng.discard(static_cast<unsigned long long>(round) * 7919u);
  std::vector<uint32_t> out(count);
  for (uint32_t& x : out) x = static_cast<uint32_t>(rng() % static_cast<uint32_t>(n));
  return out;
}

// Operations per round on single rows (VARNEL_BENCH_OPS, default 1000).
size_t MaxOps() {
  static const size_t ops = [] {
    const char* text = std::getenv("VARNEL_BENCH_OPS");
    return text ? static_cast<size_t>(std::max(1, std::atoi(text))) : size_t{1000};
  }();
  return ops;
}

// Runs op(i) for i = 0.. until MaxOps() or the budget is spent; remembers the count.
Measure PerOpSubject(int n, const std::string& task, int round, const std::function<void(size_t)>& op) {
  const double budget = Budget();
  const double start = CpuSeconds();
  size_t done = 0;
  while (done < MaxOps() && (done == 0 || CpuSeconds() - start < budget)) op(done++);
  const double seconds = CpuSeconds() - start;
  F(n).ops[task + "#" + std::to_string(round)] = static_cast<int>(done);
  return {seconds / static_cast<double>(done), false, 0};
}

// The peer does as many operations as the subject did in this round.
Measure PerOpPeer(int n, const std::string& task, int round, const std::function<void(size_t)>& op) {
  const size_t count = static_cast<size_t>(F(n).ops[task + "#" + std::to_string(round)]);
  const double start = CpuSeconds();
  for (size_t i = 0; i < count; ++i) op(i);
  return {(CpuSeconds() - start) / static_cast<double>(std::max<size_t>(count, 1)), false, 0};
}

DataSetPtr SortedDataSet(Fixture& f) {
  DataSetPtr ds = MakeDataSet(&f.rows);
  ds->SetIndexFieldNames("KEY");
  return ds;
}

bool KeyLess(const Row& a, const Row& b) { return a.key < b.key; }

void RegisterLocate(int n, int rounds) {
  // A key in a set sorted by it: binary search.
  Task(n, rounds, "locate_key (sorted)", "dataset Locate", Unit::kPerOp, [n](int round) {
    DataSet& ds = DataSetByKey(F(n));
    const std::vector<uint32_t> keys = Draws(n, round, "locate_key", MaxOps());
    TField* amount = ds.FieldByName("AMOUNT");
    uint64_t sum = 0;
    Measure m = PerOpSubject(n, "locate_key", round, [&](size_t i) {
      if (ds.Locate("KEY", dac::Variant(static_cast<int32_t>(keys[i])), {})) sum += static_cast<uint64_t>(Cents(amount->AsFloat()));
    });
    m.has_answer = true;
    m.answer = sum;
    return m;
  });
  Task(n, rounds, "locate_key (sorted)", "vector lower_bound", Unit::kPerOp, [n](int round) {
    const std::vector<Row>& v = F(n).by_key;
    const std::vector<uint32_t> keys = Draws(n, round, "locate_key", MaxOps());
    uint64_t sum = 0;
    Measure m = PerOpPeer(n, "locate_key", round, [&](size_t i) {
      Row probe;
      probe.key = static_cast<int32_t>(keys[i]);
      auto it = std::lower_bound(v.begin(), v.end(), probe, KeyLess);
      if (it != v.end() && it->key == probe.key) sum += static_cast<uint64_t>(Cents(it->amount));
    });
    m.has_answer = true;
    m.answer = sum;
    return m;
  });
  Task(n, rounds, "locate_key (sorted)", "sqlite index", Unit::kPerOp, [n](int round) {
    Sqlite& db = SqliteRO(F(n));
    const std::vector<uint32_t> keys = Draws(n, round, "locate_key", MaxOps());
    Statement st(db, "SELECT amount FROM t WHERE key = ? LIMIT 1");
    uint64_t sum = 0;
    Measure m = PerOpPeer(n, "locate_key", round, [&](size_t i) {
      sqlite3_bind_int(st.Get(), 1, static_cast<int>(keys[i]));
      if (st.Step()) sum += static_cast<uint64_t>(Cents(sqlite3_column_double(st.Get(), 0)));
      st.Reset();
    });
    m.has_answer = true;
    m.answer = sum;
    return m;
  });

  // A name in the unsorted set: a scan that stops at the first match.
  Task(n, rounds, "locate_name (scan)", "dataset Locate", Unit::kPerOp, [n](int round) {
    DataSet& ds = DataSetRO(F(n));
    const std::vector<uint32_t> at = Draws(n, round, "locate_name", MaxOps());
    TField* key = ds.FieldByName("KEY");
    uint64_t sum = 0;
    Measure m = PerOpSubject(n, "locate_name", round, [&](size_t i) {
      if (ds.Locate("NAME", dac::Variant(F(n).rows[at[i]].name), {})) sum += static_cast<uint64_t>(key->AsInteger());
    });
    m.has_answer = true;
    m.answer = sum;
    return m;
  });
  Task(n, rounds, "locate_name (scan)", "vector find (collator)", Unit::kPerOp, [n](int round) {
    const std::vector<Row>& v = F(n).rows;
    const std::vector<uint32_t> at = Draws(n, round, "locate_name", MaxOps());
    const Collator& collator = TheCollator();
    uint64_t sum = 0;
    Measure m = PerOpPeer(n, "locate_name", round, [&](size_t i) {
      const std::string& name = v[at[i]].name;
      auto it = std::find_if(v.begin(), v.end(), [&](const Row& row) { return collator.Compare(row.name, name) == 0; });
      if (it != v.end()) sum += static_cast<uint64_t>(it->key);
    });
    m.has_answer = true;
    m.answer = sum;
    return m;
  });
  Task(n, rounds, "locate_name (scan)", "sqlite LIMIT 1", Unit::kPerOp, [n](int round) {
    Sqlite& db = SqliteRO(F(n));
    const std::vector<uint32_t> at = Draws(n, round, "locate_name", MaxOps());
    Statement st(db, "SELECT key FROM t WHERE name = ? COLLATE icu LIMIT 1");
    uint64_t sum = 0;
    Measure m = PerOpPeer(n, "locate_name", round, [&](size_t i) {
      const std::string& name = F(n).rows[at[i]].name;
      sqlite3_bind_text(st.Get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
      if (st.Step()) sum += static_cast<uint64_t>(sqlite3_column_int(st.Get(), 0));
      st.Reset();
    });
    m.has_answer = true;
    m.answer = sum;
    return m;
  });

  Task(n, rounds, "position", "dataset RecNo", Unit::kPerOp, [n](int round) {
    DataSet& ds = DataSetByKey(F(n));
    const std::vector<uint32_t> at = Draws(n, round, "position", MaxOps());
    TField* key = ds.FieldByName("KEY");
    uint64_t sum = 0;
    Measure m = PerOpSubject(n, "position", round, [&](size_t i) {
      ds.SetRecNo(static_cast<int>(at[i]) + 1);
      sum += static_cast<uint64_t>(key->AsInteger());
    });
    m.has_answer = true;
    m.answer = sum;
    return m;
  });
  Task(n, rounds, "position", "vector index", Unit::kPerOp, [n](int round) {
    const std::vector<Row>& v = F(n).by_key;
    const std::vector<uint32_t> at = Draws(n, round, "position", MaxOps());
    uint64_t sum = 0;
    Measure m = PerOpPeer(n, "position", round, [&](size_t i) { sum += static_cast<uint64_t>(v[at[i]].key); });
    m.has_answer = true;
    m.answer = sum;
    return m;
  });
}

// Where the record set puts a row whose key changed from `old_key` (it moves
// past the rows it sorts after, or before): before equal keys going forward,
// after them going back.
void MoveInVector(std::vector<Row>& v, size_t at, int32_t new_key) {
  Row row = v[at];
  const int32_t old_key = row.key;
  row.key = new_key;
  v.erase(v.begin() + static_cast<std::ptrdiff_t>(at));
  auto begin = v.begin() + static_cast<std::ptrdiff_t>(at);
  if (new_key > old_key) {
    v.insert(std::lower_bound(begin, v.end(), row, KeyLess), row);
  } else if (new_key < old_key) {
    v.insert(std::upper_bound(v.begin(), begin, row, KeyLess), row);
  } else {
    v.insert(begin, row);
  }
}

// Where the record set puts a row inserted in front of v[at]: moved on past
// the rows it sorts after (before equal keys), or back past those it sorts
// before (after equal keys).
void InsertInVector(std::vector<Row>& v, size_t at, const Row& row) {
  auto here = v.begin() + static_cast<std::ptrdiff_t>(at);
  if (here != v.end() && row.key > here->key) {
    v.insert(std::lower_bound(here, v.end(), row, KeyLess), row);
  } else if (here != v.end() && row.key < here->key) {
    v.insert(std::upper_bound(v.begin(), here, row, KeyLess), row);
  } else {
    v.insert(here, row);
  }
}

void SetRow(const Fields& f, const Row& row) {
  f.key->SetAsInteger(row.key);
  f.name->SetAsString(row.name);
  f.amount->SetAsFloat(row.amount);
  f.stamp->SetAsDateTime(row.stamp);
}

void RegisterSortedEdits(int n, int rounds) {
  struct Edit {
    const char* task;
    // The dataset operation i and the vector's.
    std::function<void(DataSet&, const Fields&, const std::vector<uint32_t>&, size_t)> ds_op;
    std::function<void(std::vector<Row>&, const std::vector<uint32_t>&, size_t)> vector_op;
    std::function<void(Statement&, const std::vector<uint32_t>&, size_t)> sqlite_op;
    const char* sqlite_sql;
  };
  const std::vector<Edit> edits = {
      {"sorted_edit (Locate+Edit+Post)",
       [](DataSet& ds, const Fields& f, const std::vector<uint32_t>& draws, size_t i) {
         if (!ds.Locate("KEY", dac::Variant(static_cast<int32_t>(draws[i])), {})) return;
         ds.Edit();
         f.amount->SetAsFloat(static_cast<double>(draws[(i + 1) % draws.size()] % 100000) / 100);
         ds.Post();
       },
       [](std::vector<Row>& v, const std::vector<uint32_t>& draws, size_t i) {
         Row probe;
         probe.key = static_cast<int32_t>(draws[i]);
         auto it = std::lower_bound(v.begin(), v.end(), probe, KeyLess);
         it->amount = static_cast<double>(draws[(i + 1) % draws.size()] % 100000) / 100;
       },
       [](Statement& st, const std::vector<uint32_t>& draws, size_t i) {
         sqlite3_bind_double(st.Get(), 1, static_cast<double>(draws[(i + 1) % draws.size()] % 100000) / 100);
         sqlite3_bind_int(st.Get(), 2, static_cast<int>(draws[i]));
       },
       "UPDATE t SET amount = ? WHERE key = ?"},
      {"sorted_edit_key (the row moves)",
       [n](DataSet& ds, const Fields& f, const std::vector<uint32_t>& draws, size_t i) {
         if (!ds.Locate("KEY", dac::Variant(static_cast<int32_t>(draws[i])), {})) return;
         ds.Edit();
         f.key->SetAsInteger(static_cast<int32_t>((draws[i] + static_cast<uint32_t>(n) / 2) % static_cast<uint32_t>(n)));
         ds.Post();
       },
       [n](std::vector<Row>& v, const std::vector<uint32_t>& draws, size_t i) {
         Row probe;
         probe.key = static_cast<int32_t>(draws[i]);
         auto it = std::lower_bound(v.begin(), v.end(), probe, KeyLess);
         if (it == v.end() || it->key != probe.key) return;
         MoveInVector(v, static_cast<size_t>(it - v.begin()),
                      static_cast<int32_t>((draws[i] + static_cast<uint32_t>(n) / 2) % static_cast<uint32_t>(n)));
       },
       [n](Statement& st, const std::vector<uint32_t>& draws, size_t i) {
         sqlite3_bind_int(st.Get(), 1, static_cast<int>((draws[i] + static_cast<uint32_t>(n) / 2) % static_cast<uint32_t>(n)));
         sqlite3_bind_int(st.Get(), 2, static_cast<int>(draws[i]));
       },
       "UPDATE t SET key = ? WHERE rowid = (SELECT rowid FROM t WHERE key = ? LIMIT 1)"},
      {"sorted_append (Append+Post)",
       [n](DataSet& ds, const Fields& f, const std::vector<uint32_t>& draws, size_t i) {
         ds.Append();
         SetRow(f, F(n).rows[draws[i]]);
         ds.Post();
       },
       [n](std::vector<Row>& v, const std::vector<uint32_t>& draws, size_t i) {
         const Row& row = F(n).rows[draws[i]];
         v.insert(std::upper_bound(v.begin(), v.end(), row, KeyLess), row);
       },
       [n](Statement& st, const std::vector<uint32_t>& draws, size_t i) {
         const Row& row = F(n).rows[draws[i]];
         sqlite3_bind_int(st.Get(), 1, row.key);
         sqlite3_bind_text(st.Get(), 2, row.name.data(), static_cast<int>(row.name.size()), SQLITE_STATIC);
         sqlite3_bind_double(st.Get(), 3, row.amount);
         sqlite3_bind_double(st.Get(), 4, row.stamp);
       },
       "INSERT INTO t VALUES (?, ?, ?, ?)"},
      {"sorted_insert (Insert+Post, middle)",
       [n](DataSet& ds, const Fields& f, const std::vector<uint32_t>& draws, size_t i) {
         ds.SetRecNo(static_cast<int>(draws[i] % static_cast<uint32_t>(ds.RecordCount())) + 1);
         ds.Insert();
         SetRow(f, F(n).rows[draws[(i + 1) % draws.size()]]);
         ds.Post();
       },
       [n](std::vector<Row>& v, const std::vector<uint32_t>& draws, size_t i) {
         InsertInVector(v, draws[i] % v.size(), F(n).rows[draws[(i + 1) % draws.size()]]);
       },
       [n](Statement& st, const std::vector<uint32_t>& draws, size_t i) {
         const Row& row = F(n).rows[draws[(i + 1) % draws.size()]];
         sqlite3_bind_int(st.Get(), 1, row.key);
         sqlite3_bind_text(st.Get(), 2, row.name.data(), static_cast<int>(row.name.size()), SQLITE_STATIC);
         sqlite3_bind_double(st.Get(), 3, row.amount);
         sqlite3_bind_double(st.Get(), 4, row.stamp);
       },
       "INSERT INTO t VALUES (?, ?, ?, ?)"},
      {"sorted_delete (middle)",
       [](DataSet& ds, const Fields&, const std::vector<uint32_t>& draws, size_t i) {
         ds.SetRecNo(static_cast<int>(draws[i] % static_cast<uint32_t>(ds.RecordCount())) + 1);
         ds.Delete();
       },
       [](std::vector<Row>& v, const std::vector<uint32_t>& draws, size_t i) {
         v.erase(v.begin() + static_cast<std::ptrdiff_t>(draws[i] % v.size()));
       },
       [](Statement& st, const std::vector<uint32_t>& draws, size_t i) {
         sqlite3_bind_int(st.Get(), 1, static_cast<int>(draws[i]));
       },
       "DELETE FROM t WHERE rowid = (SELECT rowid FROM t WHERE key = ? LIMIT 1)"},
  };
  for (const Edit& edit : edits) {
    const std::string task = edit.task;
    Task(n, rounds, task, "dataset", Unit::kPerOp, [n, edit, task](int round) {
      DataSetPtr ds = SortedDataSet(F(n));
      Fields f(*ds);
      const std::vector<uint32_t> draws = Draws(n, round, task, MaxOps() + 1);
      Measure m = PerOpSubject(n, task, round, [&](size_t i) { edit.ds_op(*ds, f, draws, i); });
      m.has_answer = true;
      m.answer = DataSetKeys(*ds) ^ (std::string(edit.task).rfind("sorted_edit (", 0) == 0 ? DataSetContent(*ds) : 0);
      return m;
    });
    Task(n, rounds, task, "vector", Unit::kPerOp, [n, edit, task](int round) {
      std::vector<Row> v = F(n).by_key;
      const std::vector<uint32_t> draws = Draws(n, round, task, MaxOps() + 1);
      Measure m = PerOpPeer(n, task, round, [&](size_t i) { edit.vector_op(v, draws, i); });
      m.has_answer = true;
      m.answer = VectorKeys(v) ^ (std::string(edit.task).rfind("sorted_edit (", 0) == 0 ? VectorContent(v) : 0);
      return m;
    });
    Task(n, rounds, task, "sqlite", Unit::kPerOp, [n, edit, task](int round) {
      Sqlite& db = SqliteRO(F(n));
      const std::vector<uint32_t> draws = Draws(n, round, task, MaxOps() + 1);
      db.Exec("BEGIN");
      Measure m;
      {
        Statement st(db, edit.sqlite_sql);
        m = PerOpPeer(n, task, round, [&](size_t i) {
          edit.sqlite_op(st, draws, i);
          st.Step();
          st.Reset();
        });
      }
      db.Exec("ROLLBACK");
      return m;
    });
  }
}

// ---- cached updates ----

void RegisterCachedUpdates(int n, int rounds) {
  // A tenth of the rows edited (at most 20,000), then 1,000 of them reverted.
  const size_t edits = std::min<size_t>(static_cast<size_t>(n) / 10, 20000);
  Task(n, rounds, "cached_edit", "dataset", Unit::kPerOp, [n, edits](int round) {
    DataSetPtr ds(dac::MakeComponent<DataSet>(nullptr, &F(n).rows));
    ds->SetCachedUpdates(true);
    ds->Open();
    Fields f(*ds);
    const std::vector<uint32_t> draws = Draws(n, round, "cached", edits);
    Measure m = Timed([&] {
      for (uint32_t at : draws) {
        ds->SetRecNo(static_cast<int>(at) + 1);
        ds->Edit();
        f.amount->SetAsFloat(f.amount->AsFloat() + 1);
        ds->Post();
      }
      return uint64_t{0};
    });
    m.value /= static_cast<double>(edits);
    m.has_answer = false;

    const size_t reverts = std::min<size_t>(edits, MaxOps());
    const double start = CpuSeconds();
    for (size_t i = 0; i < reverts; ++i) {
      ds->SetRecNo(static_cast<int>(draws[edits - 1 - i]) + 1);
      ds->RevertRecord();
    }
    Record(n, "cached_revert", "dataset RevertRecord", round,
           {(CpuSeconds() - start) / static_cast<double>(reverts), false, 0});
    const double apply_start = CpuSeconds();
    ds->ApplyUpdates();
    ds->CommitUpdates();
    Record(n, "cached_apply", "dataset ApplyUpdates+CommitUpdates", round,
           {(CpuSeconds() - apply_start) / static_cast<double>(edits - reverts + 1), false, 0});
    // Every row that was not reverted holds its amount plus 1 per edit.
    uint64_t cents = 0;
    for (ds->First(); !ds->GetEOF(); ds->Next()) cents += static_cast<uint64_t>(Cents(f.amount->AsFloat()));
    std::vector<int> times(static_cast<size_t>(n), 0);
    for (uint32_t at : draws) ++times[at];
    std::vector<bool> reverted(static_cast<size_t>(n), false);
    for (size_t i = 0; i < reverts; ++i) reverted[draws[edits - 1 - i]] = true;
    uint64_t expected = 0;
    for (size_t i = 0; i < F(n).rows.size(); ++i) {
      expected += static_cast<uint64_t>(Cents(F(n).rows[i].amount)) + (reverted[i] ? 0 : 100u * static_cast<uint64_t>(times[i]));
    }
    if (cents != expected) {
      std::fprintf(stderr, "MISMATCH %d/cached updates: the amounts after revert and commit are wrong\n", n);
      g_mismatch = true;
    }
    return m;
  });
  g_series[Key(n, "cached_revert", "dataset RevertRecord")].unit = Unit::kPerOp;
  g_series[Key(n, "cached_apply", "dataset ApplyUpdates+CommitUpdates")].unit = Unit::kPerOp;
  g_order.push_back(Key(n, "cached_revert", "dataset RevertRecord"));
  g_order.push_back(Key(n, "cached_apply", "dataset ApplyUpdates+CommitUpdates"));
}

// ---- XML ----

void PutDigits(std::string& out, int value, int width) {
  char text[8];
  for (int i = width - 1; i >= 0; --i, value /= 10) text[i] = static_cast<char>('0' + value % 10);
  out.append(text, static_cast<size_t>(width));
}

// The export of the four columns as the rowset format has it, written plainly
// (the amounts, whole cents below 1,000, read the same in their shortest form).
std::string PlainXml(const std::vector<Row>& rows) {
  std::string out;
  out.reserve(rows.size() * 110 + 2000);
  out +=
      "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
      "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\r\n"
      "  <s:Schema id='RowsetSchema'>\r\n"
      "    <s:ElementType name='row' content='eltOnly' rs:updatable='true'>\r\n";
  const char* const columns[][2] = {
      {"KEY' rs:number='1", "dt:type='int' dt:maxLength='4' rs:precision='10'"},
      {"NAME' rs:number='2", "dt:type='string' dt:maxLength='40' rs:dbtype='str'"},
      {"AMOUNT' rs:number='3", "dt:type='float' dt:maxLength='8' rs:precision='15'"},
      {"STAMP' rs:number='4",
       "dt:type='datetime' rs:dbtype='variantdate' dt:maxLength='8' rs:scale='0' rs:precision='0'"}};
  for (const auto& column : columns) {
    out += "      <s:AttributeType name='";
    out += column[0];
    out += "' rs:nullable='true' rs:writeunknown='true'>\r\n        <s:datatype ";
    out += column[1];
    out += " />\r\n      </s:AttributeType>\r\n";
  }
  out += "      <s:extends type='rs:rowbase' />\r\n    </s:ElementType>\r\n  </s:Schema>\r\n  <rs:data>";
  char number[32];
  for (const Row& row : rows) {
    out += "\r\n    <z:row KEY='";
    out.append(number, static_cast<size_t>(std::to_chars(number, number + sizeof number, row.key).ptr - number));
    out += "' NAME='";
    out += row.name;
    out += "' AMOUNT='";
    out.append(number, static_cast<size_t>(std::to_chars(number, number + sizeof number, row.amount).ptr - number));
    out += "' STAMP='";
    const plat::CalendarDate date = plat::DecodeDate(row.stamp);
    const plat::TimeOfDay time = plat::DecodeTime(row.stamp);
    PutDigits(out, date.year, 4);
    out += '-';
    PutDigits(out, date.month, 2);
    out += '-';
    PutDigits(out, date.day, 2);
    out += 'T';
    PutDigits(out, time.hour, 2);
    out += ':';
    PutDigits(out, time.minute, 2);
    out += ':';
    PutDigits(out, time.second, 2);
    out += "' />";
  }
  out += "\r\n  </rs:data>\r\n</xml>";
  return out;
}

uint64_t BytesSum(const void* data, size_t size) {
  Checksum sum;
  sum.Add(std::string_view(static_cast<const char*>(data), size));
  return sum.Get();
}

void RegisterXml(int n, int rounds) {
  Task(n, rounds, "xml_export", "dataset SaveToXML", Unit::kMBps, [n](int) {
    DataSet& ds = DataSetRO(F(n));
    dac::TMemoryStream stream;
    const Measure m = Timed([&] {
      ds.SaveToXML(stream);
      return uint64_t{0};
    });
    const size_t size = static_cast<size_t>(stream.GetSize());
    F(n).xml.assign(static_cast<const char*>(stream.Memory()), size);
    return Measure{static_cast<double>(size) / 1e6 / m.value, true, BytesSum(stream.Memory(), size)};
  });
  Task(n, rounds, "xml_export", "plain writer", Unit::kMBps, [n](int) {
    std::string out;
    const Measure m = Timed([&] {
      out = PlainXml(F(n).rows);
      return uint64_t{0};
    });
    return Measure{static_cast<double>(out.size()) / 1e6 / m.value, true, BytesSum(out.data(), out.size())};
  });
  Task(n, rounds, "xml_read", "XmlTextReader", Unit::kMBps, [n](int) {
    const std::string& xml = F(n).xml.empty() ? (F(n).xml = PlainXml(F(n).rows)) : F(n).xml;
    dac::TMemoryStream stream;
    stream.WriteBuffer(xml.data(), static_cast<int64_t>(xml.size()));
    uint64_t rows = 0;
    const Measure m = Timed([&] {
      dac::XmlTextReader reader(stream);
      while (reader.Read()) {
        if (reader.GetName() == "z:row") rows += static_cast<uint64_t>(reader.GetAttributeCount() == 4);
      }
      return rows;
    });
    if (rows != static_cast<uint64_t>(n)) {
      std::fprintf(stderr, "MISMATCH %d/xml_read: %llu rows read back\n", n, static_cast<unsigned long long>(rows));
      g_mismatch = true;
    }
    return Measure{static_cast<double>(xml.size()) / 1e6 / m.value, false, 0};
  });
  Task(n, rounds, "xml_entities", "XmlTextReader", Unit::kMBps, [n](int) {
    std::string xml = "<a v='";
    for (int i = 0; i < n; ++i) xml += i % 2 ? "&#x26;" : "&#x3c;";
    xml += "' />";
    size_t decoded = 0;
    const Measure m = Timed([&] {
      dac::XmlTextReader reader(xml);
      while (reader.Read()) {
        if (reader.GetAttributeCount() == 1) decoded = reader.Items(0).size();
      }
      return uint64_t{0};
    });
    if (decoded != static_cast<size_t>(n)) {
      std::fprintf(stderr, "MISMATCH %d/xml_entities: %zu characters decoded\n", n, decoded);
      g_mismatch = true;
    }
    return Measure{static_cast<double>(xml.size()) / 1e6 / m.value, false, 0};
  });
}

// ---- the table ----

std::string CpuName() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown CPU";
}

std::string Shown(Unit unit, double value) {
  char text[64];
  switch (unit) {
    case Unit::kSeconds:
      std::snprintf(text, sizeof text, value >= 1 ? "%.2f s" : "%.1f ms", value >= 1 ? value : value * 1e3);
      break;
    case Unit::kPerOp:
      if (value >= 1e-3) {
        std::snprintf(text, sizeof text, "%.1f ms/op", value * 1e3);
      } else {
        std::snprintf(text, sizeof text, "%.2f us/op", value * 1e6);
      }
      break;
    case Unit::kBytesPerRow: std::snprintf(text, sizeof text, "%.1f B/row", value); break;
    case Unit::kMBps: std::snprintf(text, sizeof text, "%.1f MB/s", value); break;
  }
  return text;
}

void PrintTable() {
  std::printf("\n%s; medians of the rounds, process CPU time\n", CpuName().c_str());
  std::string last_task;
  for (const std::string& key : g_order) {
    const Series& series = g_series[key];
    if (series.values.empty()) continue;
    const size_t first = key.find('/');
    const size_t second = key.find('/', first + 1);
    const std::string rows_task = key.substr(0, second);
    const std::string task = key.substr(first + 1, second - first - 1);
    if (rows_task != last_task) {
      std::printf("%s rows, %s\n", key.substr(0, first).c_str(), task.c_str());
      last_task = rows_task;
    }
    std::printf("    %-38s %16s\n", key.substr(second + 1).c_str(), Shown(series.unit, Median(series.values)).c_str());
  }
}

std::vector<int> RowCounts() {
  const char* text = std::getenv("VARNEL_BENCH_ROWS");
  std::vector<int> counts;
  std::stringstream list(text ? text : "10000,100000,1000000");
  for (std::string item; std::getline(list, item, ',');) {
    if (!item.empty()) counts.push_back(std::max(10, std::atoi(item.c_str())));
  }
  return counts;
}

void RegisterAll() {
  const char* rounds_text = std::getenv("VARNEL_BENCH_ROUNDS");
  for (int n : RowCounts()) {
    const int rounds = rounds_text ? std::max(1, std::atoi(rounds_text)) : (n >= 1000000 ? 3 : 5);
    RegisterAppend(n, rounds);
    EndGroup();
    for (const char* peer : {"store (appended)", "store (fetched)", "vector", "sqlite"}) {
      g_series[Key(n, "memory", peer)].unit = Unit::kBytesPerRow;
      g_order.push_back(Key(n, "memory", peer));
    }
    RegisterSorts(n, rounds);
    EndGroup();
    RegisterFilter(n, rounds, false);
    EndGroup();
    RegisterFilter(n, rounds, true);
    EndGroup();
    RegisterWalk(n, rounds);
    EndGroup();
    RegisterLocate(n, rounds);
    EndGroup();
    RegisterSortedEdits(n, rounds);
    EndGroup();
    RegisterCachedUpdates(n, rounds);
    EndGroup();
    RegisterXml(n, rounds);
    EndGroup();
  }
}

void PrintHelp() {
  std::fputs(
      "Usage: dac_memdata_bench [OPTION]...\n"
      "Sets the record store against a std::vector of structs, SQLite in memory and\n"
      "ICU on the same generated rows; fails when their answers differ.\n"
      "\n"
      "  -h, --help  print this help and exit\n"
      "\n"
      "Settings from the environment:\n"
      "  VARNEL_BENCH_ROWS=N[,N]...   row counts, in turn (10000,100000,1000000)\n"
      "  VARNEL_BENCH_ROUNDS=N        rounds of each task (5; 3 from 1000000 rows)\n"
      "  VARNEL_BENCH_OPS=N           single-row operations in a round at most (1000)\n"
      "  VARNEL_BENCH_BUDGET=SECONDS  processor time a round of them may take (1)\n",
      stdout);
  PrintBenchmarkOptions();
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  if (!bench::InitializeBenchmarks(&argc, argv, "dac_memdata_bench", bench::PrintHelp)) return plat::kUsageErrorStatus;
  bench::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench::PrintTable();
  bench::g_fixtures.clear();
  if (bench::g_mismatch) std::printf("RESULTS DIFFER BETWEEN THE PEERS\n");
  return bench::g_mismatch ? 1 : 0;
}
