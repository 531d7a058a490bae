// sort_*: IndexFieldNames KEY, STAMP, NAME and "AMOUNT;NAME" against
// std::stable_sort, ICU sort keys with std::sort (names) and ORDER BY; the
// sorted columns' values checked, and between the stable peers the keys.
#include <algorithm>
#include <utility>

#include "bench/memdata_fixture.h"
#include "bench/memdata_tasks.h"

namespace bench {
namespace {

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

std::string StableTask(const SortSpec& spec) { return spec.task + " (stable order)"; }

void RegisterStoreSort(int n, int rounds, const SortSpec& spec) {
  Task(n, rounds, spec.task, "store", Unit::kSeconds, [n, spec](int round) {
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
    Record(n, StableTask(spec), "store", round, {0, true, keys.Get()});
    return m;
  });
}

void RegisterVectorSort(int n, int rounds, const SortSpec& spec) {
  Task(n, rounds, spec.task, "vector std::stable_sort", Unit::kSeconds, [n, spec](int round) {
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
    Record(n, StableTask(spec), "vector", round, {0, true, keys.Get()});
    return m;
  });
}

void RegisterSortKeys(int n, int rounds, const SortSpec& spec) {
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

void RegisterSqliteSort(int n, int rounds, const SortSpec& spec) {
  Task(n, rounds, spec.task, "sqlite ORDER BY", Unit::kSeconds, [n, spec](int) {
    Sqlite& db = SqliteRO(F(n));
    Checksum values;
    return Timed([&] {
      Statement st(db, "SELECT key, name, amount, stamp FROM t ORDER BY " + spec.order_by);
      EachSqliteRow(st, [&](int32_t key, std::string_view name, double amount, double stamp) {
        spec.values(values, key, name, amount, Millis(stamp));
      });
      return values.Get();
    });
  });
}

void RegisterSort(int n, int rounds, const SortSpec& spec) {
  RegisterStoreSort(n, rounds, spec);
  RegisterVectorSort(n, rounds, spec);
  if (spec.task == "sort_name") RegisterSortKeys(n, rounds, spec);
  RegisterSqliteSort(n, rounds, spec);
}

}  // namespace

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

}  // namespace bench
