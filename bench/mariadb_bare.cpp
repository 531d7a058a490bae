// Plain C calls of the MariaDB client library, written as its own
// documentation shows them: no wrapper of this project in between.
#include "bench/mariadb_bare.h"

#include <mariadb/mysql.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace bench {

namespace {

[[noreturn]] void Fail(MYSQL* mysql, const std::string& what) {
  throw std::runtime_error("libmariadb " + what + ": " + std::to_string(mysql_errno(mysql)) + " " +
                           mysql_error(mysql));
}

[[noreturn]] void FailStatement(MYSQL_STMT* stmt, const std::string& what) {
  throw std::runtime_error("libmariadb " + what + ": " + std::to_string(mysql_stmt_errno(stmt)) + " " +
                           mysql_stmt_error(stmt));
}

struct Closer {
  void operator()(MYSQL* mysql) const { mysql_close(mysql); }
  void operator()(MYSQL_STMT* stmt) const { mysql_stmt_close(stmt); }
};
using Connection = std::unique_ptr<MYSQL, Closer>;
using Statement = std::unique_ptr<MYSQL_STMT, Closer>;

Connection Connect(const Target& t, bool compress) {
  Connection mysql(mysql_init(nullptr));
  if (!mysql) throw std::runtime_error("libmariadb: mysql_init failed");
  if (!mysql_real_connect(mysql.get(), t.host.c_str(), t.user.c_str(), t.password.c_str(), t.database.c_str(),
                          static_cast<unsigned>(t.port), nullptr, compress ? CLIENT_COMPRESS : 0))
    Fail(mysql.get(), "connect");
  return mysql;
}

void Query(MYSQL* mysql, const std::string& sql) {
  if (mysql_real_query(mysql, sql.data(), sql.size()) != 0) Fail(mysql, sql);
}

// Folds every value of the pending result; its rows.
int64_t FoldResult(MYSQL* mysql, uint64_t& h) {
  MYSQL_RES* result = mysql_use_result(mysql);
  if (!result) Fail(mysql, "use_result");
  const unsigned fields = mysql_num_fields(result);
  int64_t rows = 0;
  while (MYSQL_ROW row = mysql_fetch_row(result)) {
    const unsigned long* lengths = mysql_fetch_lengths(result);
    for (unsigned i = 0; i < fields; ++i) h = Fold(h, row[i] ? row[i] : "", row[i] ? lengths[i] : 0, !row[i]);
    ++rows;
  }
  const bool failed = mysql_errno(mysql) != 0;
  mysql_free_result(result);
  if (failed) Fail(mysql, "fetch");
  return rows;
}

// Where a bound column's value lands, by the column's type.
struct Column {
  enum_field_types type;
  size_t size = 0;  // fixed-size numbers; 0 for the rest
  std::vector<char> text;
  MYSQL_TIME time{};
  unsigned long length = 0;
  my_bool is_null = 0;
  my_bool error = 0;
  char number[8] = {};
};

size_t NumberSize(enum_field_types type) {
  switch (type) {
    case MYSQL_TYPE_TINY: return 1;
    case MYSQL_TYPE_SHORT: case MYSQL_TYPE_YEAR: return 2;
    case MYSQL_TYPE_LONG: case MYSQL_TYPE_INT24: case MYSQL_TYPE_FLOAT: return 4;
    case MYSQL_TYPE_LONGLONG: case MYSQL_TYPE_DOUBLE: return 8;
    default: return 0;
  }
}

bool IsTime(enum_field_types type) {
  return type == MYSQL_TYPE_DATE || type == MYSQL_TYPE_DATETIME || type == MYSQL_TYPE_TIMESTAMP ||
         type == MYSQL_TYPE_TIME;
}

// Days after 2000-01-01 as a calendar date.
void CivilFromDays(int64_t days, unsigned& year, unsigned& month, unsigned& day) {
  const int64_t z = days + 730425;  // days from 0000-03-01 to 2000-01-01
  const int64_t era = z / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<unsigned>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

uint64_t ServerChecksum(MYSQL* mysql, const std::string& table, int64_t& rows) {
  Query(mysql, InsertChecksumQuery(table));
  uint64_t h = kChecksumStart;
  FoldResult(mysql, h);
  rows = 0;
  Query(mysql, "SELECT COUNT(*) FROM " + table);
  MYSQL_RES* result = mysql_store_result(mysql);
  if (!result) Fail(mysql, "store_result");
  if (MYSQL_ROW row = mysql_fetch_row(result)) rows = std::stoll(row[0]);
  mysql_free_result(result);
  return h;
}

}  // namespace

Outcome BareTextFetch(const Target& target, const std::string& sql, bool compress, Stopwatch& watch) {
  Connection mysql = Connect(target, compress);
  Outcome out{kChecksumStart, 0};
  watch.Start();
  Query(mysql.get(), sql);
  out.count = FoldResult(mysql.get(), out.checksum);
  watch.Stop();
  return out;
}

Outcome BareBinaryFetch(const Target& target, const std::string& sql, Stopwatch& watch) {
  Connection mysql = Connect(target, false);
  Outcome out{kChecksumStart, 0};
  watch.Start();
  Statement stmt(mysql_stmt_init(mysql.get()));
  if (!stmt) Fail(mysql.get(), "stmt_init");
  if (mysql_stmt_prepare(stmt.get(), sql.data(), sql.size()) != 0) FailStatement(stmt.get(), "prepare");
  MYSQL_RES* metadata = mysql_stmt_result_metadata(stmt.get());
  if (!metadata) FailStatement(stmt.get(), "result_metadata");
  const unsigned count = mysql_num_fields(metadata);
  const MYSQL_FIELD* fields = mysql_fetch_fields(metadata);
  std::vector<Column> columns(count);
  std::vector<MYSQL_BIND> binds(count);
  for (unsigned i = 0; i < count; ++i) {
    Column& c = columns[i];
    MYSQL_BIND& b = binds[i];
    c.type = fields[i].type;
    c.size = NumberSize(c.type);
    b.buffer_type = c.type;
    b.is_unsigned = (fields[i].flags & UNSIGNED_FLAG) != 0;
    if (c.size > 0) {
      b.buffer = c.number;
      b.buffer_length = c.size;
    } else if (IsTime(c.type)) {
      b.buffer = &c.time;
      b.buffer_length = sizeof c.time;
    } else {
      b.buffer_type = MYSQL_TYPE_STRING;
      c.text.resize(fields[i].length + 1);
      b.buffer = c.text.data();
      b.buffer_length = c.text.size();
    }
    b.length = &c.length;
    b.is_null = &c.is_null;
    b.error = &c.error;
  }
  mysql_free_result(metadata);
  if (mysql_stmt_execute(stmt.get()) != 0) FailStatement(stmt.get(), "execute");
  if (mysql_stmt_bind_result(stmt.get(), binds.data()) != 0) FailStatement(stmt.get(), "bind_result");
  int fetched;
  uint64_t& h = out.checksum;
  while ((fetched = mysql_stmt_fetch(stmt.get())) == 0) {
    for (const Column& c : columns) {
      if (c.is_null)
        h = Fold(h, "", 0, true);
      else if (c.size > 0)
        h = Fold(h, c.number, c.size, false);
      else if (IsTime(c.type))
        h = FoldTime(h, c.time.year, c.time.month, c.time.day, c.time.hour, c.time.minute, c.time.second,
                     c.time.second_part);
      else
        h = Fold(h, c.text.data(), c.length, false);
    }
    ++out.count;
  }
  if (fetched != MYSQL_NO_DATA) FailStatement(stmt.get(), "fetch (" + std::to_string(fetched) + ")");
  stmt.reset();
  watch.Stop();
  return out;
}

Outcome BareConnectCycles(const Target& target, int count, Stopwatch& watch) {
  Outcome out{kChecksumStart, 0};
  watch.Start();
  for (int i = 0; i < count; ++i) {
    Connection mysql = Connect(target, false);
    Query(mysql.get(), kCycleQuery);
    FoldResult(mysql.get(), out.checksum);
    ++out.count;
  }
  watch.Stop();
  return out;
}

Outcome BarePreparedInsert(const Target& target, const std::string& table, int count, Stopwatch& watch) {
  Connection mysql = Connect(target, false);
  Query(mysql.get(), "SET SESSION max_heap_table_size = 1073741824");
  Query(mysql.get(), InsertTableDefinition(table));
  int32_t id = 0;
  int16_t group = 0;
  int64_t big = 0;
  double ratio = 0;
  MYSQL_TIME created{};
  created.time_type = MYSQL_TIMESTAMP_DATETIME;
  char name[64];
  unsigned long name_length = 0;
  MYSQL_BIND binds[6] = {};
  const auto bind = [&binds](int i, enum_field_types type, void* buffer, unsigned long size) {
    binds[i].buffer_type = type;
    binds[i].buffer = buffer;
    binds[i].buffer_length = size;
  };
  bind(0, MYSQL_TYPE_LONG, &id, sizeof id);
  bind(1, MYSQL_TYPE_SHORT, &group, sizeof group);
  bind(2, MYSQL_TYPE_LONGLONG, &big, sizeof big);
  bind(3, MYSQL_TYPE_DOUBLE, &ratio, sizeof ratio);
  bind(4, MYSQL_TYPE_DATETIME, &created, sizeof created);
  bind(5, MYSQL_TYPE_VAR_STRING, name, sizeof name);
  binds[5].length = &name_length;

  watch.Start();
  Statement stmt(mysql_stmt_init(mysql.get()));
  if (!stmt) Fail(mysql.get(), "stmt_init");
  const std::string sql = InsertStatement(table);
  if (mysql_stmt_prepare(stmt.get(), sql.data(), sql.size()) != 0) FailStatement(stmt.get(), "prepare");
  if (mysql_stmt_bind_param(stmt.get(), binds) != 0) FailStatement(stmt.get(), "bind_param");
  for (int64_t i = 0; i < count; ++i) {
    id = InsertId(i);
    group = InsertGroup(i);
    big = InsertBig(i);
    ratio = InsertRatio(i);
    const int64_t minutes = InsertMinutes(i);
    CivilFromDays(minutes / 1440, created.year, created.month, created.day);
    created.hour = static_cast<unsigned>(minutes % 1440 / 60);
    created.minute = static_cast<unsigned>(minutes % 60);
    name_length = InsertName(i, name);
    if (mysql_stmt_execute(stmt.get()) != 0) FailStatement(stmt.get(), "execute");
  }
  stmt.reset();
  watch.Stop();
  Outcome out;
  out.checksum = ServerChecksum(mysql.get(), table, out.count);
  return out;
}

}  // namespace bench
