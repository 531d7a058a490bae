// SELECT * of a table of mixed-type rows in use mode, through this library's
// own protocol ("direct") and through libmariadb ("client"), with and
// without compression. Each round runs both, alternating which goes first,
// and folds every value into a checksum; differing checksums fail the run.
// Prints median wall and CPU times per fetch and the ratio direct / client.
//
// Needs the test server of scripts/with-mariadb (VARNEL_MYSQL_*). The table
// (VARNEL_BENCH_ROWS rows, 300000 by default, about 100 MB) is created once.
#include <benchmark/benchmark.h>
#include <mysql.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dac/mysql/client/mysql_result_set.h"
#include "dac/mysql/client/mysql_session.h"

namespace {

struct Settings {
  std::string host, user, password, database;
  int port = 0;
  int rows = 300000;
};

Settings g_settings;
bool g_checksum_mismatch = false;

double Seconds(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Folds one value (or NULL) into the checksum, 8 bytes at a time.
inline uint64_t Fold(uint64_t h, const char* data, size_t length, bool is_null) {
  constexpr uint64_t kPrime = 0x100000001B3ull;
  h = (h ^ (is_null ? 0xFFFFFFFFFFFFull : length)) * kPrime;
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    h = (h ^ word) * kPrime;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, data + i, length - i);
  return (h ^ tail) * kPrime;
}

std::string TableName() { return "bench_rows_" + std::to_string(g_settings.rows); }

void DirectQuery(dac::TMySqlSession& session, const std::string& sql) {
  session.SimpleCommand(dac::scQuery, reinterpret_cast<const uint8_t*>(sql.data()), true,
                        static_cast<int>(sql.size()));
  session.ReadQueryResult();
  if (session.GetFieldCount() > 0) session.FreeQuery();
}

std::string DirectScalar(dac::TMySqlSession& session, const std::string& sql) {
  session.SimpleCommand(dac::scQuery, reinterpret_cast<const uint8_t*>(sql.data()), true,
                        static_cast<int>(sql.size()));
  session.ReadQueryResult();
  dac::TMySqlResultSet result(&session);
  dac::TMySqlBinds* binds = result.GetBinds();
  std::string value;
  while (result.Read(binds))
    if (!(*binds)[0].is_null)
      value.assign(reinterpret_cast<const char*>(binds->GetBuffer() + (*binds)[0].offset),
                   static_cast<size_t>((*binds)[0].length));
  return value;
}

void Connect(dac::TMySqlSession& session, bool compress) {
  session.Connect(g_settings.host, g_settings.user, g_settings.password, g_settings.database, g_settings.port, "",
                  compress ? dac::kClientCompress : 0);
}

// The table, made once per row count.
void EnsureTable() {
  dac::TMySqlSession session;
  Connect(session, false);
  const std::string table = TableName();
  DirectQuery(session,
              "CREATE TABLE IF NOT EXISTS " + table +
                  " (id INT PRIMARY KEY, grp SMALLINT, big BIGINT, price DECIMAL(12,3), ratio DOUBLE, "
                  "created DATETIME, day DATE, flag TINYINT, code CHAR(8), name VARCHAR(64), body VARCHAR(255))");
  if (DirectScalar(session, "SELECT COUNT(*) FROM " + table) == std::to_string(g_settings.rows)) return;
  DirectQuery(session, "TRUNCATE TABLE " + table);
  DirectQuery(session, "INSERT INTO " + table +
                           " SELECT seq, seq % 1000, seq * 7919 * 104729, seq * 1.375, seq / 7.0, "
                           "'2000-01-01' + INTERVAL seq MINUTE, '1990-01-01' + INTERVAL (seq % 10000) DAY, "
                           "seq % 2, LEFT(MD5(seq), 8), CONCAT('name-', seq, '-', SHA1(seq)), "
                           "IF(seq % 10 = 0, NULL, REPEAT(MD5(seq * 3), 6)) FROM seq_1_to_" +
                           std::to_string(g_settings.rows));
}

uint64_t FetchDirect(bool compress, int64_t& rows) {
  dac::TMySqlSession session;
  Connect(session, compress);
  const std::string sql = "SELECT * FROM " + TableName();
  session.SimpleCommand(dac::scQuery, reinterpret_cast<const uint8_t*>(sql.data()), true,
                        static_cast<int>(sql.size()));
  session.ReadQueryResult();
  dac::TMySqlResultSet result(&session);
  dac::TMySqlBinds* binds = result.GetBinds();
  const int fields = result.GetFieldCount();
  uint64_t h = 0xCBF29CE484222325ull;
  rows = 0;
  while (result.Read(binds)) {
    const char* row = reinterpret_cast<const char*>(binds->GetBuffer());
    for (int i = 0; i < fields; ++i) {
      const dac::TMySqlBind& b = (*binds)[i];
      h = Fold(h, row + b.offset, static_cast<size_t>(b.length), b.is_null);
    }
    ++rows;
  }
  return h;
}

uint64_t FetchClient(bool compress, int64_t& rows) {
  MYSQL* mysql = mysql_init(nullptr);
  if (compress) mysql_options(mysql, MYSQL_OPT_COMPRESS, nullptr);
  uint64_t h = 0xCBF29CE484222325ull;
  rows = 0;
  if (!mysql_real_connect(mysql, g_settings.host.c_str(), g_settings.user.c_str(), g_settings.password.c_str(),
                          g_settings.database.c_str(), static_cast<unsigned>(g_settings.port), nullptr, 0)) {
    std::fprintf(stderr, "libmariadb connect: %s\n", mysql_error(mysql));
    mysql_close(mysql);
    return 0;
  }
  const std::string sql = "SELECT * FROM " + TableName();
  if (mysql_real_query(mysql, sql.data(), sql.size()) == 0) {
    MYSQL_RES* res = mysql_use_result(mysql);
    const unsigned fields = mysql_num_fields(res);
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
      const unsigned long* lengths = mysql_fetch_lengths(res);
      for (unsigned i = 0; i < fields; ++i) h = Fold(h, row[i] ? row[i] : "", lengths[i], row[i] == nullptr);
      ++rows;
    }
    mysql_free_result(res);
  }
  mysql_close(mysql);
  return h;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// One iteration is one round: a direct and a client fetch, in alternating order.
void BM_SelectAllUseMode(benchmark::State& state) {
  const bool compress = state.range(0) != 0;
  std::vector<double> direct_wall, direct_cpu, client_wall, client_cpu;
  int round = 0;
  for (auto _ : state) {
    for (int side = 0; side < 2; ++side) {
      const bool direct = (side == 0) == (round % 2 == 0);
      int64_t rows = 0;
      const double w0 = Seconds(CLOCK_MONOTONIC), c0 = Seconds(CLOCK_THREAD_CPUTIME_ID);
      const uint64_t h = direct ? FetchDirect(compress, rows) : FetchClient(compress, rows);
      const double wall = Seconds(CLOCK_MONOTONIC) - w0, cpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - c0;
      static uint64_t reference = 0;
      static int64_t reference_rows = 0;
      if (round == 0 && side == 0) {
        reference = h;
        reference_rows = rows;
      } else if (h != reference || rows != reference_rows) {
        g_checksum_mismatch = true;
        state.SkipWithError("checksums differ between the direct protocol and libmariadb");
      }
      if (rows != g_settings.rows) {
        g_checksum_mismatch = true;
        state.SkipWithError("row count differs from the table's");
      }
      (direct ? direct_wall : client_wall).push_back(wall);
      (direct ? direct_cpu : client_cpu).push_back(cpu);
    }
    ++round;
  }
  const double dw = Median(direct_wall), dc = Median(direct_cpu), cw = Median(client_wall), cc = Median(client_cpu);
  state.counters["direct_wall_ms"] = dw * 1e3;
  state.counters["client_wall_ms"] = cw * 1e3;
  state.counters["direct_cpu_ms"] = dc * 1e3;
  state.counters["client_cpu_ms"] = cc * 1e3;
  state.counters["wall_ratio"] = cw > 0 ? dw / cw : 0;
  state.counters["cpu_ratio"] = cc > 0 ? dc / cc : 0;
  std::printf("%s: %d rows, %d rounds: direct wall %.1f ms cpu %.1f ms; client wall %.1f ms cpu %.1f ms; "
              "direct/client wall %.3f cpu %.3f\n",
              compress ? "compressed" : "plain", g_settings.rows, round, dw * 1e3, dc * 1e3, cw * 1e3, cc * 1e3,
              cw > 0 ? dw / cw : 0, cc > 0 ? dc / cc : 0);
}

}  // namespace

int main(int argc, char** argv) {
  const char* host = std::getenv("VARNEL_MYSQL_HOST");
  const char* port = std::getenv("VARNEL_MYSQL_PORT");
  if (!host || !port) {
    std::printf("no test server (run under scripts/with-mariadb): nothing measured\n");
    return 0;
  }
  auto env = [](const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return std::string(v && *v ? v : fallback);
  };
  g_settings.host = host;
  g_settings.port = std::atoi(port);
  g_settings.user = env("VARNEL_MYSQL_USER", "");
  g_settings.password = env("VARNEL_MYSQL_PASSWORD", "");
  g_settings.database = env("VARNEL_MYSQL_BENCH_DATABASE", "varnel_bench");
  g_settings.rows = std::max(1, std::atoi(env("VARNEL_BENCH_ROWS", "300000").c_str()));
  const int rounds = std::max(1, std::atoi(env("VARNEL_BENCH_ROUNDS", "7").c_str()));
  try {
    EnsureTable();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot prepare the benchmark table: %s\n", e.what());
    return 1;
  }
  benchmark::RegisterBenchmark("SelectAllUseMode", BM_SelectAllUseMode)
      ->ArgName("compress")
      ->Arg(0)
      ->Arg(1)
      ->Iterations(rounds)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_checksum_mismatch) {
    std::fprintf(stderr, "FAILED: the direct protocol and libmariadb disagree\n");
    return 1;
  }
  return 0;
}
