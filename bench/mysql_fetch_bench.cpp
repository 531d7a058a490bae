// SELECT * of a table of mixed-type rows in use mode, folding every value
// into a checksum, through each way this library reads rows: its own
// session directly ("session"), and the client API objects over its own
// protocol ("direct"), over the MariaDB client library ("client", both with
// and without compression) and over an embedded server holding the same
// rows in a data folder of its own ("embedded", without compression only).
// Each round runs every line once, rotating which goes first; differing
// checksums fail the run. Prints median wall and CPU times per line and
// their ratios to the client library's.
//
// Needs the test server of scripts/with-mariadb (VARNEL_MYSQL_*); the
// embedded line needs its pristine data folder (VARNEL_MYSQL_PRISTINE_DATA).
// The table (VARNEL_BENCH_ROWS rows, 300000 by default, about 100 MB) is
// created once on the server, and in the embedded server's copy each run.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "dac/framework/classes/string_list.h"
#include "dac/mysql/client/api/mysql_api_client.h"
#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/client/api/mysql_api_embedded.h"
#include "dac/mysql/client/session/mysql_result_set.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/wire/protocol.h"

namespace {

struct Settings {
  std::string host, user, password, database;
  int port = 0;
  int rows = 300000;
  std::string embedded_folder;  // "" without an embedded line
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
  if (length > i) std::memcpy(&tail, data + i, length - i);
  return (h ^ tail) * kPrime;
}

constexpr uint64_t kChecksumStart = 0xCBF29CE484222325ull;

std::string TableName() { return "bench_rows_" + std::to_string(g_settings.rows); }
std::string SelectAll() { return "SELECT * FROM " + TableName(); }

// A connection through an API object: to the test server, or with
// `embedded` to the process's embedded server.
class Connection {
 public:
  Connection(dac::TMySQLAPI& api, bool embedded, bool compress, bool with_database = true) : api_(api) {
    api_.CheckMySQLLib();
    con_ = api_.mysql_init(nullptr);
    const char* database = with_database ? g_settings.database.c_str() : nullptr;
    const uint32_t flags = compress ? dac::kClientCompress : 0;
    if (embedded)
      api_.mysql_real_connect(con_, nullptr, nullptr, nullptr, database, 0, nullptr, flags);
    else
      api_.mysql_real_connect(con_, g_settings.host.c_str(), g_settings.user.c_str(), g_settings.password.c_str(),
                              database, static_cast<uint32_t>(g_settings.port), nullptr, flags);
    Check("connect");
  }
  ~Connection() { api_.mysql_close(con_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Query(const std::string& sql) {
    api_.mysql_real_query(con_, sql, static_cast<uint32_t>(sql.size()));
    Check(sql);
  }
  // The last value of the statement's rows.
  std::string Scalar(const std::string& sql) {
    Query(sql);
    std::string value;
    dac::PMySqlRes result = api_.mysql_use_result(con_);
    while (dac::PMySqlRow row = result ? api_.mysql_fetch_row(result) : nullptr) value = api_._mysql_fetch_value_str(row, 0);
    api_.mysql_free_result(result);
    return value;
  }
  // Every value of the rows folded into the checksum.
  uint64_t FetchAll(const std::string& sql, int64_t& rows) {
    Query(sql);
    dac::PMySqlRes result = api_.mysql_use_result(con_);
    const uint32_t fields = api_.mysql_num_fields(result);
    dac::TMySqlLengths lengths;
    uint64_t h = kChecksumStart;
    rows = 0;
    while (dac::PMySqlRow row = api_.mysql_fetch_row(result)) {
      api_._mysql_fetch_lengths(result, lengths);
      for (uint32_t i = 0; i < fields; ++i) {
        const char* value = api_._mysql_fetch_value_ptr(result, row, i);
        h = Fold(h, value ? value : "", value ? lengths[i] : 0, value == nullptr);
      }
      ++rows;
    }
    api_.mysql_free_result(result);
    Check(sql);
    return h;
  }

 private:
  void Check(const std::string& what) {
    if (const uint32_t code = api_.mysql_errno(con_))
      throw std::runtime_error(what + ": " + std::to_string(code) + " " + api_.mysql_error(con_));
  }

  dac::TMySQLAPI& api_;
  dac::PMySqlCon con_ = nullptr;
};

// The table, made when it does not hold the rows yet.
void EnsureTable(dac::TMySQLAPI& api, bool embedded) {
  {
    Connection setup(api, embedded, false, false);
    setup.Query("CREATE DATABASE IF NOT EXISTS " + g_settings.database);
  }
  Connection c(api, embedded, false);
  const std::string table = TableName();
  c.Query("CREATE TABLE IF NOT EXISTS " + table +
          " (id INT PRIMARY KEY, grp SMALLINT, big BIGINT, price DECIMAL(12,3), ratio DOUBLE, "
          "created DATETIME, day DATE, flag TINYINT, code CHAR(8), name VARCHAR(64), body VARCHAR(255))");
  if (c.Scalar("SELECT COUNT(*) FROM " + table) == std::to_string(g_settings.rows)) return;
  c.Query("TRUNCATE TABLE " + table);
  c.Query("INSERT INTO " + table +
          " SELECT seq, seq % 1000, seq * 7919 * 104729, seq * 1.375, seq / 7.0, "
          "'2000-01-01' + INTERVAL seq MINUTE, '1990-01-01' + INTERVAL (seq % 10000) DAY, "
          "seq % 2, LEFT(MD5(seq), 8), CONCAT('name-', seq, '-', SHA1(seq)), "
          "IF(seq % 10 = 0, NULL, REPEAT(MD5(seq * 3), 6)) FROM seq_1_to_" +
          std::to_string(g_settings.rows));
}

// The session's own loop, below the client API.
uint64_t FetchSession(bool compress, int64_t& rows) {
  dac::TMySqlSession session;
  session.Connect(g_settings.host, g_settings.user, g_settings.password, g_settings.database, g_settings.port, "",
                  compress ? dac::kClientCompress : 0);
  const std::string sql = SelectAll();
  session.SimpleCommand(dac::scQuery, reinterpret_cast<const uint8_t*>(sql.data()), true,
                        static_cast<int>(sql.size()));
  session.ReadQueryResult();
  dac::TMySqlResultSet result(&session);
  dac::TMySqlBinds* binds = result.GetBinds();
  const int fields = result.GetFieldCount();
  uint64_t h = kChecksumStart;
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

struct Line {
  const char* name;
  std::function<uint64_t(bool compress, int64_t& rows)> fetch;
  bool with_compression;
};

std::vector<Line> Lines() {
  auto through = [](dac::TMySQLAPI& api, bool embedded) {
    return [&api, embedded](bool compress, int64_t& rows) {
      return Connection(api, embedded, compress).FetchAll(SelectAll(), rows);
    };
  };
  std::vector<Line> lines = {{"session", FetchSession, true},
                             {"direct", through(dac::MyAPIDirect(), false), true},
                             {"client", through(dac::MyAPIClient(), false), true}};
  if (!g_settings.embedded_folder.empty()) lines.push_back({"embedded", through(dac::MyAPIEmbedded(), true), false});
  return lines;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// One iteration is one round: every line once, starting one further each round.
void BM_SelectAllUseMode(benchmark::State& state) {
  const bool compress = state.range(0) != 0;
  std::vector<Line> lines = Lines();
  std::erase_if(lines, [&](const Line& line) { return compress && !line.with_compression; });
  std::map<std::string, std::vector<double>> wall, cpu;
  uint64_t reference = 0;
  bool have_reference = false;
  size_t round = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < lines.size(); ++i) {
      const Line& line = lines[(i + round) % lines.size()];
      int64_t rows = 0;
      const double w0 = Seconds(CLOCK_MONOTONIC), c0 = Seconds(CLOCK_THREAD_CPUTIME_ID);
      const uint64_t h = line.fetch(compress, rows);
      wall[line.name].push_back(Seconds(CLOCK_MONOTONIC) - w0);
      cpu[line.name].push_back(Seconds(CLOCK_THREAD_CPUTIME_ID) - c0);
      if (!have_reference) {
        reference = h;
        have_reference = true;
      }
      if (h != reference || rows != g_settings.rows) {
        g_checksum_mismatch = true;
        state.SkipWithError((std::string("the rows differ through ") + line.name).c_str());
      }
    }
    ++round;
  }
  const double client_wall = Median(wall["client"]), client_cpu = Median(cpu["client"]);
  std::printf("%s: %d rows, %zu rounds\n", compress ? "compressed" : "plain", g_settings.rows, round);
  for (const Line& line : lines) {
    const double w = Median(wall[line.name]), c = Median(cpu[line.name]);
    state.counters[std::string(line.name) + "_wall_ms"] = w * 1e3;
    state.counters[std::string(line.name) + "_cpu_ms"] = c * 1e3;
    std::printf("  %-8s wall %8.1f ms  cpu %8.1f ms  /client wall %.3f cpu %.3f\n", line.name, w * 1e3, c * 1e3,
                client_wall > 0 ? w / client_wall : 0, client_cpu > 0 ? c / client_cpu : 0);
  }
}

// The embedded server on a copy of the pristine data folder, with the table.
bool StartEmbedded(const std::string& pristine) {
  char pattern[] = "/tmp/varnel-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return false;
  g_settings.embedded_folder = std::string(pattern) + "/data";
  std::filesystem::copy(pristine, g_settings.embedded_folder, std::filesystem::copy_options::recursive);
  dac::TStringList params;
  params.Add("--no-defaults");
  params.Add("--datadir=" + g_settings.embedded_folder);
  dac::MyAPIEmbedded().SetParams(params);
  EnsureTable(dac::MyAPIEmbedded(), true);
  return true;
}

void EndEmbedded() {
  if (g_settings.embedded_folder.empty()) return;
  dac::MyAPIEmbedded().FreeMySQLLib();
  std::filesystem::remove_all(std::filesystem::path(g_settings.embedded_folder).parent_path());
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
  const std::string pristine = env("VARNEL_MYSQL_PRISTINE_DATA", "");
  int status = 0;
  try {
    EnsureTable(dac::MyAPIDirect(), false);
    if (!pristine.empty() && !StartEmbedded(pristine)) throw std::runtime_error("no folder for the embedded server");
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
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot run the benchmark: %s\n", e.what());
    status = 1;
  }
  EndEmbedded();
  if (g_checksum_mismatch) {
    std::fprintf(stderr, "FAILED: the ways of reading rows disagree\n");
    status = 1;
  }
  return status;
}
