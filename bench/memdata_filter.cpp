// filter: AMOUNT > 500 AND NAME LIKE 'a%' and a walk over the rows it
// shows; after a sort by KEY the list order is no longer memory order.
#include "bench/memdata_fixture.h"
#include "bench/memdata_tasks.h"

namespace bench {
namespace {

const char* const kFilter = "AMOUNT > 500 AND NAME LIKE 'a%'";

uint64_t Answer(uint64_t count, uint64_t sum) {
  Checksum c;
  c.Add(count);
  c.Add(sum);
  return c.Get();
}

void RegisterStoreFilter(int n, int rounds, const std::string& task, bool after_sort) {
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
}

void RegisterDataSetFilter(int n, int rounds, const std::string& task, bool after_sort) {
  Task(n, rounds, task, "dataset Filtered", Unit::kSeconds, [n, after_sort](int) {
    DataSet& ds = after_sort ? DataSetByKey(F(n)) : DataSetRO(F(n));
    dac::TField* key = ds.FieldByName("KEY");
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
}

void RegisterVectorFilter(int n, int rounds, const std::string& task, bool after_sort) {
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
}

void RegisterSqliteFilter(int n, int rounds, const std::string& task) {
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

}  // namespace

void RegisterFilter(int n, int rounds, bool after_sort) {
  const std::string task = after_sort ? "filter after sort" : "filter";
  RegisterStoreFilter(n, rounds, task, after_sort);
  RegisterDataSetFilter(n, rounds, task, after_sort);
  RegisterVectorFilter(n, rounds, task, after_sort);
  RegisterSqliteFilter(n, rounds, task);
}

}  // namespace bench
