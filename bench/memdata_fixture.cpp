#include "bench/memdata_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <utility>

namespace bench {
namespace {

std::map<int, std::unique_ptr<Fixture>> g_fixtures;

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

}  // namespace

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

void FreeFixtures() { g_fixtures.clear(); }

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

DataSetPtr SortedDataSet(Fixture& f) {
  DataSetPtr ds = MakeDataSet(&f.rows);
  ds->SetIndexFieldNames("KEY");
  return ds;
}

double Budget() {
  const char* text = std::getenv("VARNEL_BENCH_BUDGET");
  return text ? std::max(0.01, std::atof(text)) : 1.0;
}

// ---- the peers' rows read back ----

namespace {

void AddRow(Checksum& sum, int32_t key, std::string_view name, double amount, int64_t millis) {
  sum.Add(static_cast<uint64_t>(key));
  sum.Add(name);
  sum.Add(static_cast<uint64_t>(Cents(amount)));
  sum.Add(static_cast<uint64_t>(millis));
}

}  // namespace

uint64_t StoreContent(Store& s) {
  Checksum sum;
  EachStoreRow(s, [&](int32_t key, std::string_view name, double amount, int64_t millis) {
    AddRow(sum, key, name, amount, millis);
  });
  return sum.Get();
}

uint64_t DataSetContent(DataSet& ds) {
  Checksum sum;
  EachDataSetRow(ds, [&](int32_t key, const std::string& name, double amount, double stamp) {
    AddRow(sum, key, name, amount, Millis(stamp));
  });
  return sum.Get();
}

uint64_t VectorContent(const std::vector<Row>& rows) {
  Checksum sum;
  for (const Row& row : rows) AddRow(sum, row.key, row.name, row.amount, Millis(row.stamp));
  return sum.Get();
}

uint64_t SqliteContent(Sqlite& db, const std::string& order) {
  Checksum sum;
  Statement st(db, "SELECT key, name, amount, stamp FROM t ORDER BY " + order);
  EachSqliteRow(st, [&](int32_t key, std::string_view name, double amount, double stamp) {
    AddRow(sum, key, name, amount, Millis(stamp));
  });
  return sum.Get();
}

uint64_t DataSetKeys(DataSet& ds) {
  Checksum sum;
  dac::TField* key = ds.FieldByName("KEY");
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

// ---- tasks on single rows ----

std::vector<uint32_t> Draws(int n, int round, const std::string& task, size_t count) {
  std::seed_seq seed(task.begin(), task.end());
  std::mt19937 rng(seed);
  rng.discard(static_cast<unsigned long long>(round) * 7919u);
  std::vector<uint32_t> out(count);
  for (uint32_t& x : out) x = static_cast<uint32_t>(rng() % static_cast<uint32_t>(n));
  return out;
}

size_t MaxOps() {
  static const size_t ops = [] {
    const char* text = std::getenv("VARNEL_BENCH_OPS");
    return text ? static_cast<size_t>(std::max(1, std::atoi(text))) : size_t{1000};
  }();
  return ops;
}

void RowTaskPeer(int n, int rounds, const RowTask& task, const std::string& peer, RowRole role, size_t extra_draws,
                 std::function<RowWork(Drawn draws)> make) {
  Task(n, rounds, task.shown, peer, Unit::kPerOp, [n, task, role, extra_draws, make](int round) {
    const std::vector<uint32_t> draws = Draws(n, round, task.draws, MaxOps() + extra_draws);
    const RowWork work = make(draws);
    Measure m = role == RowRole::kSubject ? PerOpSubject(n, task.draws, round, work.op)
                                          : PerOpPeer(n, task.draws, round, work.op);
    if (work.answer) {
      m.has_answer = true;
      m.answer = work.answer();
    }
    return m;
  });
}

}  // namespace bench
