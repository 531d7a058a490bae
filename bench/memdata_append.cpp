// append: the rows added one by one to each structure, and the heap bytes
// per row it then holds; open: the dataset fetching the rows.
#include "bench/memdata_fixture.h"
#include "bench/memdata_tasks.h"

namespace bench {
namespace {

void RegisterStoreAppend(int n, int rounds) {
  Task(n, rounds, "append", "store AppendRecord", Unit::kSeconds, [n](int) {
    Fixture& f = F(n);
    std::unique_ptr<Store> s;
    const size_t before = HeapInUse();
    Measure m = Timed([&] {
      s = StoreOf(f.rows);
      return uint64_t{0};
    });
    AddMemory(n, "store (appended)", before, f.rows.size());
    m.answer = StoreContent(*s);
    return m;
  });
}

void RegisterDataSetAppend(int n, int rounds) {
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
}

void RegisterVectorAppend(int n, int rounds) {
  Task(n, rounds, "append", "vector push_back", Unit::kSeconds, [n](int) {
    Fixture& f = F(n);
    std::vector<Row> v;
    const size_t before = HeapInUse();
    Measure m = Timed([&] {
      v.reserve(f.rows.size());
      for (const Row& row : f.rows) v.push_back(row);
      return uint64_t{0};
    });
    AddMemory(n, "vector", before, f.rows.size());
    m.answer = VectorContent(v);
    return m;
  });
}

void RegisterSqliteAppend(int n, int rounds) {
  Task(n, rounds, "append", "sqlite INSERT", Unit::kSeconds, [n](int) {
    Fixture& f = F(n);
    const size_t before = HeapInUse();
    auto db = std::make_unique<Sqlite>();
    Measure m = Timed([&] {
      db->Load(f.rows);
      return uint64_t{0};
    });
    AddMemory(n, "sqlite", before, f.rows.size());
    m.answer = SqliteContent(*db, "rowid");
    return m;
  });
}

void RegisterOpen(int n, int rounds) {
  Task(n, rounds, "open", "dataset (fetch)", Unit::kSeconds, [n](int) {
    Fixture& f = F(n);
    DataSetPtr ds;
    const size_t before = HeapInUse();
    Measure m = Timed([&] {
      ds = MakeDataSet(&f.rows);
      return uint64_t{0};
    });
    AddMemory(n, "store (fetched)", before, f.rows.size());
    m.answer = DataSetContent(*ds);
    return m;
  });
}

}  // namespace

void RegisterAppend(int n, int rounds) {
  RegisterStoreAppend(n, rounds);
  RegisterDataSetAppend(n, rounds);
  RegisterVectorAppend(n, rounds);
  RegisterSqliteAppend(n, rounds);
  RegisterOpen(n, rounds);
}

}  // namespace bench
