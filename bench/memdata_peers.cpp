#include "bench/memdata_peers.h"

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>

#include "dac/store/runtime/date_routines.h"
#include "dac/store/runtime/unaligned.h"
#include "platform/date_time.h"

namespace bench {

std::vector<Row> GenerateRows(int count) {
  std::mt19937_64 rng(20240607);
  std::vector<int32_t> keys(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) keys[static_cast<size_t>(i)] = i;
  std::shuffle(keys.begin(), keys.end(), rng);
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::vector<Row> rows(static_cast<size_t>(count));
  for (size_t i = 0; i < rows.size(); ++i) {
    Row& row = rows[i];
    row.key = keys[i];
    row.name.assign(5 + rng() % 36, ' ');
    for (char& c : row.name) c = kLetters[rng() % 52];
    row.amount = static_cast<double>(rng() % 100000) / 100;
    plat::TimeStamp stamp;
    stamp.date = plat::kDateDelta + 36526 + static_cast<int32_t>(rng() % 7300);
    stamp.time = static_cast<int32_t>(rng() % plat::kMSecsPerDay);
    row.stamp = dac::TimeStampToDateTime(stamp);
  }
  return rows;
}

void Checksum::Add(std::string_view text) {
  for (unsigned char c : text) sum_ = (sum_ ^ c) * 0x100000001b3ull;
  Add(text.size());
}

void Checksum::AddDouble(double value) {
  uint64_t bits = 0;
  value += 0.0;  // -0 and 0 alike
  std::memcpy(&bits, &value, sizeof bits);
  Add(bits);
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// ---- the collator ----

namespace {

// Names are ASCII: one UTF-16 unit per byte.
size_t ToUtf16(std::string_view text, UChar* out, size_t room) {
  const size_t n = std::min(text.size(), room);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(text[i]);
  return n;
}

}  // namespace

Collator::Collator() {
  UErrorCode status = U_ZERO_ERROR;
  collator_ = ucol_open("", &status);
  ucol_setAttribute(collator_, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
  ucol_setAttribute(collator_, UCOL_STRENGTH, UCOL_TERTIARY, &status);
  if (U_FAILURE(status)) throw std::runtime_error("cannot open the collator");
}

Collator::~Collator() { ucol_close(collator_); }

int Collator::Compare(std::string_view a, std::string_view b) const {
  UChar x[64];
  UChar y[64];
  const auto nx = static_cast<int32_t>(ToUtf16(a, x, 64));
  const auto ny = static_cast<int32_t>(ToUtf16(b, y, 64));
  const UCollationResult r = ucol_strcoll(collator_, x, nx, y, ny);
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

void Collator::SortKey(std::string_view text, std::string& key) const {
  UChar units[64];
  const auto n = static_cast<int32_t>(ToUtf16(text, units, 64));
  key.resize(std::max<size_t>(key.capacity(), 64));
  int32_t size = ucol_getSortKey(collator_, units, n, reinterpret_cast<uint8_t*>(key.data()),
                                 static_cast<int32_t>(key.size()));
  if (size > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<size_t>(size));
    size = ucol_getSortKey(collator_, units, n, reinterpret_cast<uint8_t*>(key.data()), size);
  }
  key.resize(static_cast<size_t>(size));
}

const Collator& TheCollator() {
  static const Collator collator;
  return collator;
}

// ---- the record set and the dataset ----

void Store::InternalInitFields() {
  const struct {
    const char* name;
    uint16_t type, size, length;
  } columns[] = {{"KEY", dac::dtInteger, 4, 0},
                 {"NAME", dac::dtString, 41, 40},
                 {"AMOUNT", dac::dtFloat, 8, 15},
                 {"STAMP", dac::dtDateTime, 8, 0}};
  for (const auto& column : columns) {
    auto desc = std::make_unique<dac::TFieldDesc>();
    desc->SetName(column.name);
    desc->SetDataType(column.type);
    desc->SetSize(column.size);
    desc->SetLength(column.length);
    desc->SetFieldNo(static_cast<uint16_t>(GetFieldDescs().Count() + 1));
    GetFieldDescs().Add(std::move(desc));
  }
}

void Store::Fill(void* rec, const Row& row) {
  const double msecs = plat::TimeStampToMSecs(plat::DateTimeToTimeStamp(row.stamp));
  PutField(1, rec, &row.key);
  PutField(2, rec, row.name.c_str());
  PutField(3, rec, &row.amount);
  PutField(4, rec, &msecs);
}

void Store::InternalOpen() {
  InitFields();
  if (!source) return;
  for (size_t at = 0; at < source->size();) {
    const int used = static_cast<int>(std::min<size_t>(kFetchRows, source->size() - at));
    dac::PBlockHeader block = nullptr;
    GetBlockMan().AllocBlock(block, kFetchRows);
    for (int i = 0; i < used; ++i) {
      void* rec = dac::TBlockManager::GetRecordPtr(GetBlockMan().BlockItem(block, i));
      InitRecord(rec);
      Fill(rec, (*source)[at++]);
    }
    LinkFetchedItems(block, used);
  }
}

void DataSet::CreateIRecordSet() {
  auto rows = std::make_unique<Store>();
  rows->Create();
  rows->source = source_;
  SetIRecordSet(rows.release());
}

DataSetPtr MakeDataSet(const std::vector<Row>* source) {
  DataSetPtr data_set(dac::MakeComponent<DataSet>(nullptr, source));
  data_set->Open();
  return data_set;
}

std::unique_ptr<Store> MakeStore() {
  auto store = std::make_unique<Store>();
  store->Create();
  store->Open();
  return store;
}

std::unique_ptr<Store> StoreOf(const std::vector<Row>& rows) {
  std::unique_ptr<Store> store = MakeStore();
  void* rec = nullptr;
  store->AllocRecBuf(rec);
  store->InitRecord(rec);
  for (const Row& row : rows) {
    store->Fill(rec, row);
    store->AppendRecord(rec);
  }
  store->FreeRecBuf(rec);
  return store;
}

// ---- SQLite ----

namespace {

int IcuCollation(void*, int na, const void* a, int nb, const void* b) {
  return TheCollator().Compare(std::string_view(static_cast<const char*>(a), static_cast<size_t>(na)),
                               std::string_view(static_cast<const char*>(b), static_cast<size_t>(nb)));
}

}  // namespace

Sqlite::Sqlite() {
  if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw std::runtime_error("cannot open SQLite");
  Exec("PRAGMA journal_mode = OFF");
  Exec("PRAGMA synchronous = OFF");
  Exec("PRAGMA case_sensitive_like = ON");
  Check(sqlite3_create_collation(db_, "icu", SQLITE_UTF8, nullptr, IcuCollation));
}

Sqlite::~Sqlite() { sqlite3_close(db_); }

void Sqlite::Check(int rc) const {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db_));
  std::exit(2);
}

void Sqlite::Exec(const std::string& sql) { Check(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr)); }

void Sqlite::Load(const std::vector<Row>& rows) {
  Exec("CREATE TABLE t(key INTEGER, name TEXT, amount REAL, stamp REAL)");
  Exec("BEGIN");
  Statement insert(*this, "INSERT INTO t VALUES (?, ?, ?, ?)");
  for (const Row& row : rows) {
    BindRow(insert, row);
    insert.Step();
    insert.Reset();
  }
  Exec("COMMIT");
}

void BindRow(Statement& st, const Row& row) {
  sqlite3_bind_int(st.Get(), 1, row.key);
  sqlite3_bind_text(st.Get(), 2, row.name.data(), static_cast<int>(row.name.size()), SQLITE_STATIC);
  sqlite3_bind_double(st.Get(), 3, row.amount);
  sqlite3_bind_double(st.Get(), 4, row.stamp);
}

Statement::Statement(const Sqlite& db, const std::string& sql) : db_(db) {
  db_.Check(sqlite3_prepare_v2(db_.Db(), sql.c_str(), -1, &stmt_, nullptr));
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  db_.Check(rc);
  return rc == SQLITE_ROW;
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

}  // namespace bench
