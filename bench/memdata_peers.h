// What the record store benchmark sets side by side: generated rows, the
// record set and the dataset over them, a plain vector of structs, SQLite in
// memory, the ICU collator every peer compares names with, and the clock.
#pragma once

#include <sqlite3.h>
#include <unicode/ucol.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dac/framework/classes/component.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/record/mem_data.h"

namespace bench {

// One row: KEY INT, NAME VARCHAR(40), AMOUNT DOUBLE, STAMP DATETIME.
struct Row {
  int32_t key = 0;
  std::string name;
  double amount = 0;  // whole cents
  double stamp = 0;   // a date-time of whole milliseconds
};

// The rows of a run: keys a permutation of 0..n-1, names of 5 to 40 letters,
// amounts 0.00 to 999.99, stamps in 2000 to 2019. Fixed seed.
std::vector<Row> GenerateRows(int count);

// A checksum of a value sequence; equal sequences give equal sums.
class Checksum {
 public:
  void Add(uint64_t value) { sum_ = (sum_ ^ value) * 0x100000001b3ull + 0x9e3779b97f4a7c15ull; }
  void Add(std::string_view text);
  void AddDouble(double value);
  uint64_t Get() const { return sum_; }

 private:
  uint64_t sum_ = 0xcbf29ce484222325ull;
};

// Process CPU time in seconds: what this process spent, whatever else runs.
double CpuSeconds();
// Heap bytes in use.
size_t HeapInUse();

// The collator of the record store's text comparisons: the root collation,
// punctuation significant, tertiary strength.
class Collator {
 public:
  Collator();
  ~Collator();
  Collator(const Collator&) = delete;
  Collator& operator=(const Collator&) = delete;

  int Compare(std::string_view a, std::string_view b) const;
  // The ICU sort key of the text.
  void SortKey(std::string_view text, std::string& key) const;
  UCollator* Get() const { return collator_; }

 private:
  UCollator* collator_ = nullptr;
};
const Collator& TheCollator();

// The record set: the four columns, filled on open from `source` in blocks
// of 25 rows as a server record set fetches them.
class Store : public dac::TMemData {
 public:
  const std::vector<Row>* source = nullptr;
  static constexpr int kFetchRows = 25;

  // The row's values into a record buffer of this layout.
  void Fill(void* rec, const Row& row);

 protected:
  void InternalInitFields() override;
  void InternalOpen() override;
};

// The dataset over a Store.
class DataSet : public dac::TMemDataSet {
 public:
  DataSet(dac::TComponent* owner, const std::vector<Row>* source) : TMemDataSet(owner), source_(source) {}
  Store& Rows() { return *static_cast<Store*>(Data()); }

 protected:
  void CreateIRecordSet() override;

 private:
  const std::vector<Row>* source_;
};

struct FreeComponent {
  void operator()(dac::TComponent* component) const { component->Free(); }
};
using DataSetPtr = std::unique_ptr<DataSet, FreeComponent>;
DataSetPtr MakeDataSet(const std::vector<Row>* source);

// An empty record set, open.
std::unique_ptr<Store> MakeStore();
// A record set holding the rows, appended one by one.
std::unique_ptr<Store> StoreOf(const std::vector<Row>& rows);

// SQLite in memory, with the ICU collation registered as "icu".
class Sqlite {
 public:
  Sqlite();
  ~Sqlite();
  Sqlite(const Sqlite&) = delete;
  Sqlite& operator=(const Sqlite&) = delete;

  void Exec(const std::string& sql);
  sqlite3* Db() const { return db_; }
  void Check(int rc) const;
  // Table t(key, name, amount, stamp) with the rows, in one transaction.
  void Load(const std::vector<Row>& rows);

 private:
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement(const Sqlite& db, const std::string& sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Step();
  void Reset();
  sqlite3_stmt* Get() const { return stmt_; }

 private:
  const Sqlite& db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// The row's four values as the parameters 1 to 4 (the name not copied).
void BindRow(Statement& st, const Row& row);

}  // namespace bench
