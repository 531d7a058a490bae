// locate_*: Locate of a key in a set sorted by it (a binary search) against
// lower_bound and an index; of a name (a scan that stops at the first match)
// against find with the collator and LIMIT 1. position: RecNo to random rows.
#include <algorithm>

#include "bench/memdata_fixture.h"
#include "bench/memdata_tasks.h"

namespace bench {
namespace {

bool KeyLess(const Row& a, const Row& b) { return a.key < b.key; }

using Op = std::function<void(size_t i)>;

// A peer whose operations add to a sum, which is its answer: make gives the
// operation on draw i, adding to sum.
void SummingPeer(int n, int rounds, const RowTask& task, const std::string& peer, RowRole role,
                 std::function<Op(Drawn draws, uint64_t& sum)> make) {
  RowTaskPeer(n, rounds, task, peer, role, 0, [make](Drawn draws) {
    auto sum = std::make_shared<uint64_t>(0);
    return RowWork{make(draws, *sum), [sum] { return *sum; }};
  });
}

void RegisterLocateKey(int n, int rounds) {
  const RowTask task{"locate_key (sorted)", "locate_key"};
  SummingPeer(n, rounds, task, "dataset Locate", RowRole::kSubject, [n](Drawn keys, uint64_t& sum) -> Op {
    DataSet& ds = DataSetByKey(F(n));
    dac::TField* amount = ds.FieldByName("AMOUNT");
    return [&ds, &keys, amount, &sum](size_t i) {
      if (ds.Locate("KEY", dac::Variant(static_cast<int32_t>(keys[i])), {})) sum += static_cast<uint64_t>(Cents(amount->AsFloat()));
    };
  });
  SummingPeer(n, rounds, task, "vector lower_bound", RowRole::kPeer, [n](Drawn keys, uint64_t& sum) -> Op {
    const std::vector<Row>& v = F(n).by_key;
    return [&v, &keys, &sum](size_t i) {
      Row probe;
      probe.key = static_cast<int32_t>(keys[i]);
      auto it = std::lower_bound(v.begin(), v.end(), probe, KeyLess);
      if (it != v.end() && it->key == probe.key) sum += static_cast<uint64_t>(Cents(it->amount));
    };
  });
  SummingPeer(n, rounds, task, "sqlite index", RowRole::kPeer, [n](Drawn keys, uint64_t& sum) -> Op {
    auto st = std::make_shared<Statement>(SqliteRO(F(n)), "SELECT amount FROM t WHERE key = ? LIMIT 1");
    return [st, &keys, &sum](size_t i) {
      sqlite3_bind_int(st->Get(), 1, static_cast<int>(keys[i]));
      if (st->Step()) sum += static_cast<uint64_t>(Cents(sqlite3_column_double(st->Get(), 0)));
      st->Reset();
    };
  });
}

void RegisterLocateName(int n, int rounds) {
  const RowTask task{"locate_name (scan)", "locate_name"};
  SummingPeer(n, rounds, task, "dataset Locate", RowRole::kSubject, [n](Drawn at, uint64_t& sum) -> Op {
    DataSet& ds = DataSetRO(F(n));
    dac::TField* key = ds.FieldByName("KEY");
    return [n, &ds, &at, key, &sum](size_t i) {
      if (ds.Locate("NAME", dac::Variant(F(n).rows[at[i]].name), {})) sum += static_cast<uint64_t>(key->AsInteger());
    };
  });
  SummingPeer(n, rounds, task, "vector find (collator)", RowRole::kPeer, [n](Drawn at, uint64_t& sum) -> Op {
    const std::vector<Row>& v = F(n).rows;
    const Collator& collator = TheCollator();
    return [&v, &at, &collator, &sum](size_t i) {
      const std::string& name = v[at[i]].name;
      auto it = std::find_if(v.begin(), v.end(), [&](const Row& row) { return collator.Compare(row.name, name) == 0; });
      if (it != v.end()) sum += static_cast<uint64_t>(it->key);
    };
  });
  SummingPeer(n, rounds, task, "sqlite LIMIT 1", RowRole::kPeer, [n](Drawn at, uint64_t& sum) -> Op {
    auto st = std::make_shared<Statement>(SqliteRO(F(n)), "SELECT key FROM t WHERE name = ? COLLATE icu LIMIT 1");
    return [n, st, &at, &sum](size_t i) {
      const std::string& name = F(n).rows[at[i]].name;
      sqlite3_bind_text(st->Get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
      if (st->Step()) sum += static_cast<uint64_t>(sqlite3_column_int(st->Get(), 0));
      st->Reset();
    };
  });
}

void RegisterPosition(int n, int rounds) {
  const RowTask task{"position", "position"};
  SummingPeer(n, rounds, task, "dataset RecNo", RowRole::kSubject, [n](Drawn at, uint64_t& sum) -> Op {
    DataSet& ds = DataSetByKey(F(n));
    dac::TField* key = ds.FieldByName("KEY");
    return [&ds, &at, key, &sum](size_t i) {
      ds.SetRecNo(static_cast<int>(at[i]) + 1);
      sum += static_cast<uint64_t>(key->AsInteger());
    };
  });
  SummingPeer(n, rounds, task, "vector index", RowRole::kPeer, [n](Drawn at, uint64_t& sum) -> Op {
    const std::vector<Row>& v = F(n).by_key;
    return [&v, &at, &sum](size_t i) { sum += static_cast<uint64_t>(v[at[i]].key); };
  });
}

}  // namespace

void RegisterLocate(int n, int rounds) {
  RegisterLocateKey(n, rounds);
  RegisterLocateName(n, rounds);
  RegisterPosition(n, rounds);
}

}  // namespace bench
