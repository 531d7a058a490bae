// The library's own protocol, through the direct client API as the MySQL
// provider calls it, against the MariaDB client library through its bare C
// API (mariadb_bare.cpp), doing the same work on the same server:
//   text fetch        SELECT * of a table of mixed-type rows, use mode
//   compressed fetch  the same with the compressed protocol
//   binary fetch      the same SELECT prepared, its binary rows fetched
//   connect cycle     connect, log in, one query, close, over and over
//   prepared insert   one prepared INSERT executed once per row
// Every value read is folded into a checksum (and what was inserted is
// checksummed by the server); differing checksums fail the run. A round runs
// both sides of a row once, the side that goes first alternating; the table
// gives, per row, the medians over the rounds of each side's processor time
// (this thread's, user and system) and of the ratio direct / libmariadb in
// processor time and in user-space instructions (when the processor's
// counters can be read).
//
// Needs the test server of scripts/with-mariadb (VARNEL_MYSQL_*). The table
// (VARNEL_BENCH_ROWS rows, 200000 by default, about 60 MB) is created once on
// the server; the connect row makes rows / 500 cycles, the insert row
// inserts rows / 2. VARNEL_BENCH_ROUNDS rounds (5 by default).
// VARNEL_BENCH_SIDE=direct (or libmariadb) runs that side alone, for
// perf or callgrind, and compares nothing.
#include <benchmark/benchmark.h>
#include <linux/perf_event.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_command_line.h"
#include "bench/client_bench_work.h"
#include "bench/mariadb_bare.h"
#include "dac/core/server/param_desc.h"
#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/client/wire/protocol.h"
#include "dac/store/record/data_types.h"
#include "platform/program_usage.h"

namespace bench {
namespace {

struct Settings {
  Target target;
  int rows = 200000;
  int rounds = 5;
  // "direct" or "libmariadb": that side alone, for a profiler; nothing compared.
  std::string only_side;
};

Settings g_settings;
bool g_mismatch = false;

std::string TableName() { return "bench_rows_" + std::to_string(g_settings.rows); }
std::string SelectAll() { return "SELECT * FROM " + TableName(); }
int ConnectCycles() { return std::max(10, g_settings.rows / 500); }
int InsertCount() { return std::max(100, g_settings.rows / 2); }

double Seconds(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// This thread's user-space instructions, when the kernel lets it count them.
class InstructionCounter {
 public:
  InstructionCounter() {
    perf_event_attr attr{};
    attr.size = sizeof attr;
    attr.type = PERF_TYPE_HARDWARE;
    attr.config = PERF_COUNT_HW_INSTRUCTIONS;
    attr.exclude_kernel = 1;
    attr.exclude_hv = 1;
    fd_ = static_cast<int>(syscall(SYS_perf_event_open, &attr, 0, -1, -1, 0));
  }
  ~InstructionCounter() {
    if (fd_ >= 0) close(fd_);
  }
  InstructionCounter(const InstructionCounter&) = delete;
  InstructionCounter& operator=(const InstructionCounter&) = delete;

  bool Available() const { return fd_ >= 0; }
  uint64_t Read() const {
    uint64_t count = 0;
    if (fd_ < 0 || read(fd_, &count, sizeof count) != static_cast<ssize_t>(sizeof count)) return 0;
    return count;
  }

 private:
  int fd_ = -1;
};

InstructionCounter& Instructions() {
  static InstructionCounter counter;
  return counter;
}

struct Measure {
  double cpu = 0, user = 0, wall = 0, instructions = 0;
};

// This thread's processor time in user space.
double UserSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) * 1e-6;
}

class MeasuringWatch : public Stopwatch {
 public:
  void Start() override {
    cpu_ = Seconds(CLOCK_THREAD_CPUTIME_ID);
    user_ = UserSeconds();
    wall_ = Seconds(CLOCK_MONOTONIC);
    instructions_ = Instructions().Read();
  }
  void Stop() override {
    measure_.instructions = static_cast<double>(Instructions().Read() - instructions_);
    measure_.wall = Seconds(CLOCK_MONOTONIC) - wall_;
    measure_.cpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu_;
    measure_.user = UserSeconds() - user_;
  }
  const Measure& Result() const { return measure_; }

 private:
  double cpu_ = 0, user_ = 0, wall_ = 0;
  uint64_t instructions_ = 0;
  Measure measure_;
};

// ---- the direct API's side ----

dac::TMySQLAPIDirect& Api() { return dac::MyAPIDirect(); }

class DirectConnection {
 public:
  explicit DirectConnection(bool compress, bool with_database = true) {
    Api().CheckMySQLLib();
    con_ = Api().mysql_init(nullptr);
    const Target& t = g_settings.target;
    Api().mysql_real_connect(con_, t.host.c_str(), t.user.c_str(), t.password.c_str(),
                             with_database ? t.database.c_str() : nullptr, static_cast<uint32_t>(t.port), nullptr,
                             compress ? dac::kClientCompress : 0);
    Check("connect");
  }
  ~DirectConnection() { Api().mysql_close(con_); }
  DirectConnection(const DirectConnection&) = delete;
  DirectConnection& operator=(const DirectConnection&) = delete;

  dac::PMySqlCon Handle() const { return con_; }
  void Query(const std::string& sql) {
    Api().mysql_real_query(con_, sql, static_cast<uint32_t>(sql.size()));
    Check(sql);
  }
  // Every value of the pending result folded; its rows.
  int64_t FoldResult(uint64_t& h) {
    // As the provider reads rows of this API: the values where they lie.
    dac::TMySQLAPI& api = Api();
    dac::PMySqlRes result = api.mysql_use_result(con_);
    Check("use_result");
    if (!result) throw std::runtime_error("direct: no result");
    const uint32_t fields = api.mysql_num_fields(result);
    int64_t rows = 0;
    dac::TMySqlRowValues values;
    while (dac::PMySqlRow row = api._mysql_fetch_row(result)) {
      api._mysql_fetch_row_values(result, row, values);
      values.Read([&](const auto& row_values) {
        for (uint32_t i = 0; i < fields; ++i) {
          const char* value = row_values.Data(i);
          h = Fold(h, value ? value : "", value ? row_values.Length(i) : 0, value == nullptr);
        }
      });
      ++rows;
    }
    api.mysql_free_result(result);
    Check("fetch");
    return rows;
  }
  std::string Scalar(const std::string& sql) {
    Query(sql);
    std::string value;
    dac::PMySqlRes result = Api().mysql_use_result(con_);
    while (dac::PMySqlRow row = result ? Api().mysql_fetch_row(result) : nullptr)
      value = Api()._mysql_fetch_value_str(row, 0);
    Api().mysql_free_result(result);
    Check(sql);
    return value;
  }
  void Check(const std::string& what) {
    if (const uint32_t code = Api().mysql_errno(con_))
      throw std::runtime_error("direct " + what + ": " + std::to_string(code) + " " + Api().mysql_error(con_));
  }
  void CheckStatement(dac::PMySqlStmt stmt, const std::string& what) {
    if (const uint32_t code = Api().mysql_stmt_errno(stmt))
      throw std::runtime_error("direct " + what + ": " + std::to_string(code) + " " + Api().mysql_stmt_error(stmt));
  }

 private:
  dac::PMySqlCon con_ = nullptr;
};

Outcome DirectTextFetch(bool compress, Stopwatch& watch) {
  DirectConnection c(compress);
  Outcome out{kChecksumStart, 0};
  watch.Start();
  c.Query(SelectAll());
  out.count = c.FoldResult(out.checksum);
  watch.Stop();
  return out;
}

size_t BinaryNumberSize(uint8_t type) {
  switch (type) {
    case dac::mftTiny: return 1;
    case dac::mftShort: case dac::mftYear: return 2;
    case dac::mftLong: case dac::mftInt24: case dac::mftFloat: return 4;
    case dac::mftLongLong: case dac::mftDouble: return 8;
    default: return 0;
  }
}

bool IsTime(uint8_t type) {
  return type == dac::mftDate || type == dac::mftDateTime || type == dac::mftTimestamp || type == dac::mftTime;
}

// A date or date-time as the binary protocol carries it: 0, 4, 7 or 11 bytes.
uint64_t FoldWireTime(uint64_t h, const uint8_t* v, size_t length) {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  unsigned long micro = 0;
  if (length >= 4) {
    year = v[0] | (v[1] << 8);
    month = v[2];
    day = v[3];
  }
  if (length >= 7) {
    hour = v[4];
    minute = v[5];
    second = v[6];
  }
  if (length >= 11) micro = v[7] | (v[8] << 8) | (v[9] << 16) | (static_cast<unsigned long>(v[10]) << 24);
  return FoldTime(h, year, month, day, hour, minute, second, micro);
}

// A binary row's values folded, each read as its column's type lays it out.
template <typename Values>
uint64_t FoldBinaryRow(uint64_t h, const Values& values, const std::vector<uint8_t>& types) {
  const uint32_t count = static_cast<uint32_t>(types.size());
  for (uint32_t i = 0; i < count; ++i) {
    const char* value = values.Data(i);
    const uint8_t type = types[i];
    if (!value)
      h = Fold(h, "", 0, true);
    else if (const size_t size = BinaryNumberSize(type))
      h = Fold(h, value, size, false);
    else if (IsTime(type))
      h = FoldWireTime(h, reinterpret_cast<const uint8_t*>(value), values.Length(i));
    else
      h = Fold(h, value, values.Length(i), false);
  }
  return h;
}

Outcome DirectBinaryFetch(Stopwatch& watch) {
  DirectConnection c(false);
  dac::TMySQLAPI& api = Api();
  Outcome out{kChecksumStart, 0};
  watch.Start();
  dac::PMySqlStmt stmt = api.mysql_stmt_init(c.Handle());
  const std::string sql = SelectAll();
  api.mysql_stmt_prepare(stmt, sql, static_cast<uint32_t>(sql.size()));
  c.CheckStatement(stmt, "prepare");
  std::vector<uint8_t> types;
  if (dac::PMySqlRes metadata = api.mysql_stmt_result_metadata(stmt)) {
    for (uint32_t i = 0; i < api.mysql_num_fields(metadata); ++i)
      types.push_back(api._mysql_fetch_field_direct(metadata, i, false).type);
    api.mysql_free_result(metadata);
  }
  const dac::TParamDescs no_params;
  api._mysql_stmt_execute(stmt, no_params, false);
  c.CheckStatement(stmt, "execute");
  dac::TMYSQL_BINDS binds(types.size());
  api._mysql_stmt_bind_result(stmt, binds);
  dac::PMySqlRow row = nullptr;
  int32_t fetched;
  uint64_t& h = out.checksum;
  dac::TMySqlRowValues values;
  while ((fetched = api._mysql_stmt_fetch(stmt, row)) == 0) {
    api._mysql_fetch_row_values(nullptr, row, values);
    values.Read([&](const auto& row_values) { h = FoldBinaryRow(h, row_values, types); });
    ++out.count;
  }
  if (fetched != dac::kMySqlNoData) c.CheckStatement(stmt, "fetch");
  api.mysql_stmt_close(stmt);
  watch.Stop();
  return out;
}

Outcome DirectConnectCycles(Stopwatch& watch) {
  Outcome out{kChecksumStart, 0};
  watch.Start();
  for (int i = 0; i < ConnectCycles(); ++i) {
    DirectConnection c(false);
    c.Query(kCycleQuery);
    c.FoldResult(out.checksum);
    ++out.count;
  }
  watch.Stop();
  return out;
}

Outcome DirectPreparedInsert(const std::string& table, Stopwatch& watch) {
  DirectConnection c(false);
  dac::TMySQLAPI& api = Api();
  c.Query("SET SESSION max_heap_table_size = 1073741824");
  c.Query(InsertTableDefinition(table));
  dac::TParamDescs params;
  for (uint16_t type : {dac::dtInteger, dac::dtSmallint, dac::dtLargeint, dac::dtFloat, dac::dtDateTime,
                        dac::dtString}) {
    auto param = std::make_unique<dac::TParamDesc>();
    param->SetDataType(type);
    param->SetParamType(dac::pdInput);
    params.Add(std::move(param));
  }
  constexpr double kFirstDay = 36526;  // 2000-01-01 in days after 1899-12-30
  char name[64];
  watch.Start();
  dac::PMySqlStmt stmt = api.mysql_stmt_init(c.Handle());
  const std::string sql = InsertStatement(table);
  api.mysql_stmt_prepare(stmt, sql, static_cast<uint32_t>(sql.size()));
  c.CheckStatement(stmt, "prepare");
  for (int64_t i = 0; i < InsertCount(); ++i) {
    params.Items(0)->SetValue(InsertId(i));
    params.Items(1)->SetValue(InsertGroup(i));
    params.Items(2)->SetValue(InsertBig(i));
    params.Items(3)->SetValue(InsertRatio(i));
    params.Items(4)->SetValue(
        dac::Variant::FromDateTime(kFirstDay + static_cast<double>(InsertMinutes(i)) / (24.0 * 60.0)));
    params.Items(5)->SetValue(std::string(name, InsertName(i, name)));
    if (api._mysql_stmt_execute(stmt, params, false) != 0) c.CheckStatement(stmt, "execute");
  }
  api.mysql_stmt_close(stmt);
  watch.Stop();
  Outcome out;
  c.Query(InsertChecksumQuery(table));
  out.checksum = kChecksumStart;
  c.FoldResult(out.checksum);
  out.count = std::stoll(c.Scalar("SELECT COUNT(*) FROM " + table));
  return out;
}

// ---- the rows ----

struct Side {
  const char* name;
  std::function<Outcome(Stopwatch&)> run;
};

struct Row {
  std::string name;
  Side direct, bare;
  int64_t expected_count;
  std::vector<double> direct_cpu = {}, bare_cpu = {}, direct_user = {}, bare_user = {}, cpu_ratio = {},
                      instruction_ratio = {};
};

std::vector<Row>& Rows() {
  static std::vector<Row> rows;
  return rows;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void RunRow(benchmark::State& state, Row* row) {
  size_t round = 0;
  for (auto _ : state) {
    Measure direct, bare;
    uint64_t sums[2] = {};
    int64_t counts[2] = {};
    for (int k = 0; k < 2; ++k) {
      const bool direct_side = (k + round) % 2 == 0;
      const Side& side = direct_side ? row->direct : row->bare;
      if (!g_settings.only_side.empty() && g_settings.only_side != side.name) continue;
      MeasuringWatch watch;
      const Outcome outcome = side.run(watch);
      (direct_side ? direct : bare) = watch.Result();
      sums[direct_side ? 0 : 1] = outcome.checksum;
      counts[direct_side ? 0 : 1] = outcome.count;
    }
    if (!g_settings.only_side.empty()) {
      ++round;
      continue;
    }
    if (sums[0] != sums[1] || counts[0] != row->expected_count || counts[1] != row->expected_count) {
      g_mismatch = true;
      state.SkipWithError((row->name + ": the two sides disagree").c_str());
      break;
    }
    row->direct_cpu.push_back(direct.cpu);
    row->bare_cpu.push_back(bare.cpu);
    row->direct_user.push_back(direct.user);
    row->bare_user.push_back(bare.user);
    row->cpu_ratio.push_back(bare.cpu > 0 ? direct.cpu / bare.cpu : 0);
    if (bare.instructions > 0) row->instruction_ratio.push_back(direct.instructions / bare.instructions);
    ++round;
  }
  state.counters["direct_cpu_ms"] = Median(row->direct_cpu) * 1e3;
  state.counters["libmariadb_cpu_ms"] = Median(row->bare_cpu) * 1e3;
  state.counters["cpu_ratio"] = Median(row->cpu_ratio);
}

void PrintTable() {
  std::printf("\n%d rows, %d rounds; medians of this thread's processor time, ratio direct / libmariadb\n",
              g_settings.rows, g_settings.rounds);
  std::printf("| %-30s | %16s | %17s | %9s | %12s |\n", "row", "direct ms (user)", "libmariadb (user)",
              "cpu ratio", "instructions");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(32, '-').c_str(), std::string(18, '-').c_str(),
              std::string(19, '-').c_str(), std::string(11, '-').c_str(), std::string(14, '-').c_str());
  for (const Row& row : Rows()) {
    if (row.cpu_ratio.empty()) continue;
    const std::string instructions =
        row.instruction_ratio.empty() ? "n/a" : std::to_string(Median(row.instruction_ratio)).substr(0, 5);
    const auto ms = [](const std::vector<double>& cpu, const std::vector<double>& user) {
      char text[32];
      std::snprintf(text, sizeof text, "%.1f (%.1f)", Median(cpu) * 1e3, Median(user) * 1e3);
      return std::string(text);
    };
    std::printf("| %-30s | %16s | %17s | %9.3f | %12s |\n", row.name.c_str(),
                ms(row.direct_cpu, row.direct_user).c_str(), ms(row.bare_cpu, row.bare_user).c_str(),
                Median(row.cpu_ratio), instructions.c_str());
  }
}

// The table of mixed-type rows, made when it does not hold them yet.
void EnsureTable() {
  {
    DirectConnection setup(false, false);
    setup.Query("CREATE DATABASE IF NOT EXISTS " + g_settings.target.database);
  }
  DirectConnection c(false);
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

void RegisterRows() {
  const Target& t = g_settings.target;
  const int64_t rows = g_settings.rows;
  std::vector<Row>& all = Rows();
  all.push_back({"text fetch", {"direct", [](Stopwatch& w) { return DirectTextFetch(false, w); }},
                 {"libmariadb", [&t](Stopwatch& w) { return BareTextFetch(t, SelectAll(), false, w); }}, rows});
  all.push_back({"compressed fetch", {"direct", [](Stopwatch& w) { return DirectTextFetch(true, w); }},
                 {"libmariadb", [&t](Stopwatch& w) { return BareTextFetch(t, SelectAll(), true, w); }}, rows});
  all.push_back({"binary fetch", {"direct", [](Stopwatch& w) { return DirectBinaryFetch(w); }},
                 {"libmariadb", [&t](Stopwatch& w) { return BareBinaryFetch(t, SelectAll(), w); }}, rows});
  all.push_back({"connect, log in, query, close",
                 {"direct", [](Stopwatch& w) { return DirectConnectCycles(w); }},
                 {"libmariadb", [&t](Stopwatch& w) { return BareConnectCycles(t, ConnectCycles(), w); }},
                 ConnectCycles()});
  all.push_back({"prepared insert", {"direct", [](Stopwatch& w) { return DirectPreparedInsert("bench_insert_direct", w); }},
                 {"libmariadb",
                  [&t](Stopwatch& w) { return BarePreparedInsert(t, "bench_insert_bare", InsertCount(), w); }},
                 InsertCount()});
  for (Row& row : all)
    benchmark::RegisterBenchmark(row.name.c_str(), RunRow, &row)
        ->Iterations(g_settings.rounds)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void PrintHelp() {
  std::fputs(
      "Usage: dac_mysql_client_bench [OPTION]...\n"
      "Sets the library's own protocol against the MariaDB client library on the same\n"
      "server and work; fails when their checksums differ. Without VARNEL_MYSQL_HOST\n"
      "and VARNEL_MYSQL_PORT it measures nothing (run it under scripts/with-mariadb).\n"
      "\n"
      "  -h, --help  print this help and exit\n"
      "\n"
      "Settings from the environment:\n"
      "  VARNEL_MYSQL_HOST, _PORT     the server (both needed)\n"
      "  VARNEL_MYSQL_USER, _PASSWORD its account\n"
      "  VARNEL_MYSQL_BENCH_DATABASE  the database of its table (varnel_bench)\n"
      "  VARNEL_BENCH_ROWS=N          table rows (200000): N/500 connects, N/2 inserts\n"
      "  VARNEL_BENCH_ROUNDS=N        rounds of each row (5)\n"
      "  VARNEL_BENCH_SIDE=SIDE       direct or libmariadb alone, for a profiler\n",
      stdout);
  PrintBenchmarkOptions();
}

// The settings of the environment, with the server's; false without a server.
bool ReadSettings() {
  const char* host = std::getenv("VARNEL_MYSQL_HOST");
  const char* port = std::getenv("VARNEL_MYSQL_PORT");
  if (!host || !port) return false;
  auto env = [](const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return std::string(v && *v ? v : fallback);
  };
  g_settings.target.host = host;
  g_settings.target.port = std::atoi(port);
  g_settings.target.user = env("VARNEL_MYSQL_USER", "");
  g_settings.target.password = env("VARNEL_MYSQL_PASSWORD", "");
  g_settings.target.database = env("VARNEL_MYSQL_BENCH_DATABASE", "varnel_bench");
  g_settings.rows = std::max(1, std::atoi(env("VARNEL_BENCH_ROWS", "200000").c_str()));
  g_settings.rounds = std::max(1, std::atoi(env("VARNEL_BENCH_ROUNDS", "5").c_str()));
  g_settings.only_side = env("VARNEL_BENCH_SIDE", "");
  return true;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  // The rows are registered once the settings are known, after the command line.
  if (!bench::InitializeBenchmarks(&argc, argv, "dac_mysql_client_bench", bench::PrintHelp))
    return plat::kUsageErrorStatus;
  if (!bench::ReadSettings()) {
    std::printf("no test server (run under scripts/with-mariadb): nothing measured\n");
    return 0;
  }
  int status = 0;
  try {
    bench::EnsureTable();
    bench::RegisterRows();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench::PrintTable();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot run the benchmark: %s\n", e.what());
    status = 1;
  }
  if (bench::g_mismatch) {
    std::fprintf(stderr, "FAILED: the direct API and libmariadb disagree\n");
    status = 1;
  }
  return status;
}
