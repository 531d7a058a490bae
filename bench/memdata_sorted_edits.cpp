// sorted_*: in a dataset sorted by KEY, per operation: Locate + Edit + Post
// of AMOUNT, of KEY (the row moves), Append + Post, Insert + Post in the
// middle and Delete in the middle, against a sorted vector and SQLite.
#include <algorithm>

#include "bench/memdata_fixture.h"
#include "bench/memdata_tasks.h"

namespace bench {
namespace {

struct Edit {
  const char* task;
  // The dataset operation i and the vector's.
  std::function<void(DataSet&, const Fields&, Drawn, size_t)> ds_op;
  std::function<void(std::vector<Row>&, Drawn, size_t)> vector_op;
  std::function<void(Statement&, Drawn, size_t)> sqlite_op;
  const char* sqlite_sql;
};

bool KeyLess(const Row& a, const Row& b) { return a.key < b.key; }

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

double NewAmount(Drawn draws, size_t i) { return static_cast<double>(draws[(i + 1) % draws.size()] % 100000) / 100; }

Edit AmountEdit() {
  return {"sorted_edit (Locate+Edit+Post)",
          [](DataSet& ds, const Fields& f, Drawn draws, size_t i) {
            if (!ds.Locate("KEY", dac::Variant(static_cast<int32_t>(draws[i])), {})) return;
            ds.Edit();
            f.amount->SetAsFloat(NewAmount(draws, i));
            ds.Post();
          },
          [](std::vector<Row>& v, Drawn draws, size_t i) {
            Row probe;
            probe.key = static_cast<int32_t>(draws[i]);
            auto it = std::lower_bound(v.begin(), v.end(), probe, KeyLess);
            it->amount = NewAmount(draws, i);
          },
          [](Statement& st, Drawn draws, size_t i) {
            sqlite3_bind_double(st.Get(), 1, NewAmount(draws, i));
            sqlite3_bind_int(st.Get(), 2, static_cast<int>(draws[i]));
          },
          "UPDATE t SET amount = ? WHERE key = ?"};
}

Edit KeyEdit(int n) {
  const auto moved = [n](Drawn draws, size_t i) {
    return static_cast<int32_t>((draws[i] + static_cast<uint32_t>(n) / 2) % static_cast<uint32_t>(n));
  };
  return {"sorted_edit_key (the row moves)",
          [moved](DataSet& ds, const Fields& f, Drawn draws, size_t i) {
            if (!ds.Locate("KEY", dac::Variant(static_cast<int32_t>(draws[i])), {})) return;
            ds.Edit();
            f.key->SetAsInteger(moved(draws, i));
            ds.Post();
          },
          [moved](std::vector<Row>& v, Drawn draws, size_t i) {
            Row probe;
            probe.key = static_cast<int32_t>(draws[i]);
            auto it = std::lower_bound(v.begin(), v.end(), probe, KeyLess);
            if (it == v.end() || it->key != probe.key) return;
            MoveInVector(v, static_cast<size_t>(it - v.begin()), moved(draws, i));
          },
          [moved](Statement& st, Drawn draws, size_t i) {
            sqlite3_bind_int(st.Get(), 1, moved(draws, i));
            sqlite3_bind_int(st.Get(), 2, static_cast<int>(draws[i]));
          },
          "UPDATE t SET key = ? WHERE rowid = (SELECT rowid FROM t WHERE key = ? LIMIT 1)"};
}

Edit AppendEdit(int n) {
  return {"sorted_append (Append+Post)",
          [n](DataSet& ds, const Fields& f, Drawn draws, size_t i) {
            ds.Append();
            SetRow(f, F(n).rows[draws[i]]);
            ds.Post();
          },
          [n](std::vector<Row>& v, Drawn draws, size_t i) {
            const Row& row = F(n).rows[draws[i]];
            v.insert(std::upper_bound(v.begin(), v.end(), row, KeyLess), row);
          },
          [n](Statement& st, Drawn draws, size_t i) { BindRow(st, F(n).rows[draws[i]]); },
          "INSERT INTO t VALUES (?, ?, ?, ?)"};
}

Edit InsertEdit(int n) {
  return {"sorted_insert (Insert+Post, middle)",
          [n](DataSet& ds, const Fields& f, Drawn draws, size_t i) {
            ds.SetRecNo(static_cast<int>(draws[i] % static_cast<uint32_t>(ds.RecordCount())) + 1);
            ds.Insert();
            SetRow(f, F(n).rows[draws[(i + 1) % draws.size()]]);
            ds.Post();
          },
          [n](std::vector<Row>& v, Drawn draws, size_t i) {
            InsertInVector(v, draws[i] % v.size(), F(n).rows[draws[(i + 1) % draws.size()]]);
          },
          [n](Statement& st, Drawn draws, size_t i) { BindRow(st, F(n).rows[draws[(i + 1) % draws.size()]]); },
          "INSERT INTO t VALUES (?, ?, ?, ?)"};
}

Edit DeleteEdit() {
  return {"sorted_delete (middle)",
          [](DataSet& ds, const Fields&, Drawn draws, size_t i) {
            ds.SetRecNo(static_cast<int>(draws[i] % static_cast<uint32_t>(ds.RecordCount())) + 1);
            ds.Delete();
          },
          [](std::vector<Row>& v, Drawn draws, size_t i) {
            v.erase(v.begin() + static_cast<std::ptrdiff_t>(draws[i] % v.size()));
          },
          [](Statement& st, Drawn draws, size_t i) { sqlite3_bind_int(st.Get(), 1, static_cast<int>(draws[i])); },
          "DELETE FROM t WHERE rowid = (SELECT rowid FROM t WHERE key = ? LIMIT 1)"};
}

// The statement of an edit inside a transaction that is rolled back when the
// round is over, so that SQLite keeps the fixture's rows.
struct RolledBack {
  RolledBack(Sqlite& db, const char* sql) : db(db) {
    db.Exec("BEGIN");
    st.emplace(db, sql);
  }
  ~RolledBack() {
    st.reset();
    db.Exec("ROLLBACK");
  }
  Sqlite& db;
  std::optional<Statement> st;
};

void RegisterEdit(int n, int rounds, const Edit& edit) {
  const RowTask task{edit.task, edit.task};
  // The first edit changes values the keys do not show.
  const bool content = std::string(edit.task).rfind("sorted_edit (", 0) == 0;
  RowTaskPeer(n, rounds, task, "dataset", RowRole::kSubject, 1, [n, edit, content](Drawn draws) {
    std::shared_ptr<DataSet> ds(SortedDataSet(F(n)).release(), FreeComponent());
    auto f = std::make_shared<const Fields>(*ds);
    return RowWork{[ds, f, &draws, op = edit.ds_op](size_t i) { op(*ds, *f, draws, i); },
                   [ds, content] { return DataSetKeys(*ds) ^ (content ? DataSetContent(*ds) : 0); }};
  });
  RowTaskPeer(n, rounds, task, "vector", RowRole::kPeer, 1, [n, edit, content](Drawn draws) {
    auto v = std::make_shared<std::vector<Row>>(F(n).by_key);
    return RowWork{[v, &draws, op = edit.vector_op](size_t i) { op(*v, draws, i); },
                   [v, content] { return VectorKeys(*v) ^ (content ? VectorContent(*v) : 0); }};
  });
  RowTaskPeer(n, rounds, task, "sqlite", RowRole::kPeer, 1, [n, edit](Drawn draws) {
    auto edits = std::make_shared<RolledBack>(SqliteRO(F(n)), edit.sqlite_sql);
    return RowWork{[edits, &draws, op = edit.sqlite_op](size_t i) {
                     op(*edits->st, draws, i);
                     edits->st->Step();
                     edits->st->Reset();
                   },
                   nullptr};
  });
}

}  // namespace

void RegisterSortedEdits(int n, int rounds) {
  for (const Edit& edit : {AmountEdit(), KeyEdit(n), AppendEdit(n), InsertEdit(n), DeleteEdit()}) {
    RegisterEdit(n, rounds, edit);
  }
}

}  // namespace bench
