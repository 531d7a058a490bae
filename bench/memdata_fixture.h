// What the record store benchmark's tasks share: the rows of one count and
// the structures over them (made on first use), each peer's rows read back
// untimed for the answers, and the body every peer of a task on single rows
// has in common.
#pragma once

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/memdata_peers.h"
#include "bench/memdata_rounds.h"
#include "dac/framework/data/field.h"
#include "platform/date_time.h"

namespace bench {

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

// The fixture of a row count, made on first use.
Fixture& F(int rows);
void FreeFixtures();
// The shared structures, made on first use; the tasks leave them as they found them.
Store& StoreRO(Fixture& f);
Store& StoreByKey(Fixture& f);
DataSet& DataSetRO(Fixture& f);
DataSet& DataSetByKey(Fixture& f);
Sqlite& SqliteRO(Fixture& f);
// A dataset of its own over the rows, sorted by KEY.
DataSetPtr SortedDataSet(Fixture& f);

// VARNEL_BENCH_BUDGET: seconds per round for the store's operations.
double Budget();

inline int64_t Cents(double amount) { return std::llround(amount * 100); }
inline int64_t Millis(double stamp) { return std::llround(stamp * plat::kMSecsPerDay); }
// The dataset's DATETIME reads as milliseconds since 0001-01-01.
inline int64_t MillisOfMSecs(double msecs) {
  return std::llround(msecs) - int64_t{plat::kDateDelta} * plat::kMSecsPerDay;
}

// ---- the peers' rows read back ----

struct Fields {
  dac::TField* key;
  dac::TField* name;
  dac::TField* amount;
  dac::TField* stamp;
  explicit Fields(DataSet& ds)
      : key(ds.FieldByName("KEY")), name(ds.FieldByName("NAME")), amount(ds.FieldByName("AMOUNT")),
        stamp(ds.FieldByName("STAMP")) {}
};

// The record set's rows front to back, each as the four values, read into rec.
template <typename Visit>
void EachStoreRow(Store& s, void* rec, Visit visit) {
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
}

template <typename Visit>
void EachStoreRow(Store& s, Visit visit) {
  void* rec = nullptr;
  s.AllocRecBuf(rec);
  EachStoreRow(s, rec, visit);
  s.FreeRecBuf(rec);
}

// The dataset's rows front to back through its fields.
template <typename Visit>
void EachDataSetRow(DataSet& ds, const Fields& f, Visit visit) {
  for (ds.First(); !ds.GetEOF(); ds.Next()) {
    const int32_t key = f.key->AsInteger();
    const std::string name = f.name->AsString();
    const double amount = f.amount->AsFloat();
    visit(key, name, amount, f.stamp->AsDateTime());
  }
}

template <typename Visit>
void EachDataSetRow(DataSet& ds, Visit visit) {
  EachDataSetRow(ds, Fields(ds), visit);
}

// The statement's rows of key, name, amount and stamp (a date-time).
template <typename Visit>
void EachSqliteRow(Statement& st, Visit visit) {
  while (st.Step()) {
    const int32_t key = sqlite3_column_int(st.Get(), 0);
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st.Get(), 1));
    const std::string_view name(text, static_cast<size_t>(sqlite3_column_bytes(st.Get(), 1)));
    const double amount = sqlite3_column_double(st.Get(), 2);
    visit(key, name, amount, sqlite3_column_double(st.Get(), 3));
  }
}

// Checksums of every value of every row, front to back.
uint64_t StoreContent(Store& s);
uint64_t DataSetContent(DataSet& ds);
uint64_t VectorContent(const std::vector<Row>& rows);
uint64_t SqliteContent(Sqlite& db, const std::string& order);
// Checksums of the keys front to back, and the count.
uint64_t DataSetKeys(DataSet& ds);
uint64_t VectorKeys(const std::vector<Row>& rows);

// ---- tasks on single rows ----

// Random values below n of a round, the same for every peer.
std::vector<uint32_t> Draws(int n, int round, const std::string& task, size_t count);
// Operations per round on single rows (VARNEL_BENCH_OPS, default 1000).
size_t MaxOps();

// A round's draws as the operations on single rows take them.
using Drawn = const std::vector<uint32_t>&;

// A task on single rows: its name in the table, and the name its draws and
// its count of operations go by.
struct RowTask {
  std::string shown;
  std::string draws;
};

// What a peer of a task on single rows does in a round, readied untimed:
// the operation on draw i, and after the operations (untimed) its answer;
// without one the peer gives no answer.
struct RowWork {
  std::function<void(size_t i)> op;
  std::function<uint64_t()> answer;
};

// The subject runs operations until MaxOps or its budget; each other peer
// then runs as many as the subject did in that round. make gets the round's
// MaxOps() + extra_draws draws.
enum class RowRole { kSubject, kPeer };
void RowTaskPeer(int n, int rounds, const RowTask& task, const std::string& peer, RowRole role, size_t extra_draws,
                 std::function<RowWork(Drawn draws)> make);

}  // namespace bench
