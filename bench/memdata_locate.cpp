// locate_*: Locate of a key in a set sorted by it (a binary search) against
// lower_bound and an index; of a name (a scan that stops at the first match)
// against find with the collator and LIMIT 1. position: RecNo to random rows.
#include <algorithm>

#include "bench/memdata_fixture.h"
#include "bench/memdata_tasks.h"

namespace bench {
namespace {

bool KeyLess(const Row& a, const Row& b) { return a.key < b.key; }

// The peer's operations each add to a sum, which is its answer.
RowWork Summed(std::shared_ptr<uint64_t> sum, std::function<void(size_t i)> op) {
  return {std::move(op), [sum] { return *sum; }};
}

void RegisterLocateKey(int n, int rounds) {
  const RowTask task{"locate_key (sorted)", "locate_key"};
  RowTaskPeer(n, rounds, task, "dataset Locate", RowRole::kSubject, 0, [n](const std::vector<uint32_t>& keys) {
    DataSet& ds = DataSetByKey(F(n));
    dac::TField* amount = ds.FieldByName("AMOUNT");
    auto sum = std::make_shared<uint64_t>(0);
    return Summed(sum, [&ds, &keys, amount, sum](size_t i) {
      if (ds.Locate("KEY", dac::Variant(static_cast<int32_t>(keys[i])), {})) *sum += static_cast<uint64_t>(Cents(amount->AsFloat()));
    });
  });
  RowTaskPeer(n, rounds, task, "vector lower_bound", RowRole::kPeer, 0, [n](const std::vector<uint32_t>& keys) {
    const std::vector<Row>& v = F(n).by_key;
    auto sum = std::make_shared<uint64_t>(0);
    return Summed(sum, [&v, &keys, sum](size_t i) {
      Row probe;
      probe.key = static_cast<int32_t>(keys[i]);
      auto it = std::lower_bound(v.begin(), v.end(), probe, KeyLess);
      if (it != v.end() && it->key == probe.key) *sum += static_cast<uint64_t>(Cents(it->amount));
    });
  });
  RowTaskPeer(n, rounds, task, "sqlite index", RowRole::kPeer, 0, [n](const std::vector<uint32_t>& keys) {
    auto st = std::make_shared<Statement>(SqliteRO(F(n)), "SELECT amount FROM t WHERE key = ? LIMIT 1");
    auto sum = std::make_shared<uint64_t>(0);
    return Summed(sum, [st, &keys, sum](size_t i) {
      sqlite3_bind_int(st->Get(), 1, static_cast<int>(keys[i]));
      if (st->Step()) *sum += static_cast<uint64_t>(Cents(sqlite3_column_double(st->Get(), 0)));
      st->Reset();
    });
  });
}

void RegisterLocateName(int n, int rounds) {
  const RowTask task{"locate_name (scan)", "locate_name"};
  RowTaskPeer(n, rounds, task, "dataset Locate", RowRole::kSubject, 0, [n](const std::vector<uint32_t>& at) {
    DataSet& ds = DataSetRO(F(n));
    dac::TField* key = ds.FieldByName("KEY");
    auto sum = std::make_shared<uint64_t>(0);
    return Summed(sum, [n, &ds, &at, key, sum](size_t i) {
      if (ds.Locate("NAME", dac::Variant(F(n).rows[at[i]].name), {})) *sum += static_cast<uint64_t>(key->AsInteger());
    });
  });
  RowTaskPeer(n, rounds, task, "vector find (collator)", RowRole::kPeer, 0, [n](const std::vector<uint32_t>& at) {
    const std::vector<Row>& v = F(n).rows;
    const Collator& collator = TheCollator();
    auto sum = std::make_shared<uint64_t>(0);
    return Summed(sum, [&v, &at, &collator, sum](size_t i) {
      const std::string& name = v[at[i]].name;
      auto it = std::find_if(v.begin(), v.end(), [&](const Row& row) { return collator.Compare(row.name, name) == 0; });
      if (it != v.end()) *sum += static_cast<uint64_t>(it->key);
    });
  });
  RowTaskPeer(n, rounds, task, "sqlite LIMIT 1", RowRole::kPeer, 0, [n](const std::vector<uint32_t>& at) {
    auto st = std::make_shared<Statement>(SqliteRO(F(n)), "SELECT key FROM t WHERE name = ? COLLATE icu LIMIT 1");
    auto sum = std::make_shared<uint64_t>(0);
    return Summed(sum, [n, st, &at, sum](size_t i) {
      const std::string& name = F(n).rows[at[i]].name;
      sqlite3_bind_text(st->Get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
      if (st->Step()) *sum += static_cast<uint64_t>(sqlite3_column_int(st->Get(), 0));
      st->Reset();
    });
  });
}

void RegisterPosition(int n, int rounds) {
  const RowTask task{"position", "position"};
  RowTaskPeer(n, rounds, task, "dataset RecNo", RowRole::kSubject, 0, [n](const std::vector<uint32_t>& at) {
    DataSet& ds = DataSetByKey(F(n));
    dac::TField* key = ds.FieldByName("KEY");
    auto sum = std::make_shared<uint64_t>(0);
    return Summed(sum, [&ds, &at, key, sum](size_t i) {
      ds.SetRecNo(static_cast<int>(at[i]) + 1);
      *sum += static_cast<uint64_t>(key->AsInteger());
    });
  });
  RowTaskPeer(n, rounds, task, "vector index", RowRole::kPeer, 0, [n](const std::vector<uint32_t>& at) {
    const std::vector<Row>& v = F(n).by_key;
    auto sum = std::make_shared<uint64_t>(0);
    return Summed(sum, [&v, &at, sum](size_t i) { *sum += static_cast<uint64_t>(v[at[i]].key); });
  });
}

}  // namespace

void RegisterLocate(int n, int rounds) {
  RegisterLocateKey(n, rounds);
  RegisterLocateName(n, rounds);
  RegisterPosition(n, rounds);
}

}  // namespace bench
