// walk: every row front to back with its four values read.
#include "bench/memdata_fixture.h"
#include "bench/memdata_tasks.h"

namespace bench {
namespace {

void RegisterStoreWalk(int n, int rounds) {
  Task(n, rounds, "walk", "store", Unit::kSeconds, [n](int) {
    Store& s = StoreRO(F(n));
    void* rec = nullptr;
    s.AllocRecBuf(rec);
    Measure m = Timed([&] {
      uint64_t sum = 0;
      EachStoreRow(s, rec, [&](int32_t key, std::string_view name, double amount, int64_t millis) {
        sum += static_cast<uint64_t>(key) + name.size() + static_cast<uint64_t>(Cents(amount)) +
               static_cast<uint64_t>(millis);
      });
      return sum;
    });
    s.FreeRecBuf(rec);
    return m;
  });
}

void RegisterDataSetWalk(int n, int rounds) {
  Task(n, rounds, "walk", "dataset fields", Unit::kSeconds, [n](int) {
    DataSet& ds = DataSetRO(F(n));
    const Fields f(ds);
    return Timed([&] {
      uint64_t sum = 0;
      EachDataSetRow(ds, f, [&](int32_t key, const std::string& name, double amount, double stamp) {
        sum += static_cast<uint64_t>(key) + name.size() + static_cast<uint64_t>(Cents(amount)) +
               static_cast<uint64_t>(Millis(stamp));
      });
      return sum;
    });
  });
}

void RegisterVectorWalk(int n, int rounds) {
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
}

void RegisterSqliteWalk(int n, int rounds) {
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

}  // namespace

void RegisterWalk(int n, int rounds) {
  RegisterStoreWalk(n, rounds);
  RegisterDataSetWalk(n, rounds);
  RegisterVectorWalk(n, rounds);
  RegisterSqliteWalk(n, rounds);
}

}  // namespace bench
