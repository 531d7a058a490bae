// dac-query against the mariadb client on the same statements: the same
// standard output and exit status, text rows and prepared rows alike,
// through the library's own protocol, the client library and an embedded
// server; its own error line and usage errors. Needs the test server of
// scripts/with-mariadb; skipped without it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/dac/mysql/client/fake_server.h"
#include "tests/dac/mysql/client/server_test_support.h"
#include "tests/dac/mysql/support/relay.h"
#include "tests/support/test_folder.h"

extern char** environ;

namespace tools {
namespace {

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
};

class DacQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto settings = dac::testing::TestServer();
    if (!settings) GTEST_SKIP() << "no test server: VARNEL_MYSQL_HOST/PORT are unset (scripts/test provides them)";
    s_ = *settings;
  }

  // A table of every column type and three rows, under a name of the
  // calling test's own: tests run side by side.
  std::string TypesTable(const std::string& name) {
    Mariadb("CREATE OR REPLACE TABLE " + name +
            " (tiny TINYINT, utiny TINYINT UNSIGNED, zf SMALLINT(5) ZEROFILL, "
            "med MEDIUMINT, uint INT UNSIGNED, big BIGINT, ubig BIGINT UNSIGNED, yr YEAR, d DATE, dt DATETIME, "
            "dt3 DATETIME(3), ts TIMESTAMP(6) NULL, t TIME, t2 TIME(2), f FLOAT, f2 FLOAT(7,2), db DOUBLE, "
            "dec3 DECIMAL(10,3), b BIT(10), c CHAR(3), vc VARCHAR(10), bl BLOB, e ENUM('x','y'), st SET('p','q'))");
    Mariadb("INSERT INTO " + name +
            " VALUES (-128, 255, 42, -8388608, 4294967295, -9223372036854775808, "
            "18446744073709551615, 2024, '2024-02-29', '2024-02-29 13:45:10', '2004-02-29 13:45:10.250', "
            "'2020-01-01 00:00:00.000001', '-838:59:59', '36:00:00.5', 3.4028234e38, 12345.67, 1e15, -1234567.891, "
            "b'1010101010', 'ab', 'x\\ty', X'00FF0A5C', 'y', 'p,q'), (0, 0, 0, 0, 0, 0, 0, 0, '0000-00-00', "
            "'0000-00-00 00:00:00', NULL, NULL, '00:00:00', '-00:00:01.25', 123456789, -0.5, 1e14, 0, b'0', '', "
            "'', '', 'x', ''), (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
            "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    return name;
  }

  // Zero-filled floats, a sum the server writes as "-0.00", the first day
  // of year 1 beside the zero date.
  static std::string CornersSql(const std::string& name) {
    return "CREATE OR REPLACE TABLE " + name +
           " (dz DOUBLE(22,5) ZEROFILL, fz FLOAT(12,5) ZEROFILL, d82 DOUBLE(8,2), d DATE, dt DATETIME); "
           "INSERT INTO " + name + " VALUES (3.14152, 3.14152, -1.1, '0001-01-01', '0001-01-01 00:00:00'), "
           "(0, 0, -2.2, '0000-00-00', '0000-00-00 00:00:00'), (NULL, NULL, 3.3, NULL, NULL)";
  }
  static std::vector<std::string> CornersRows(const std::string& name) {
    return {"SELECT * FROM " + name, "SELECT SUM(d82), SUM(dz), SUM(fz) FROM " + name};
  }
  std::string CornersTable(const std::string& name) {
    const Outcome made = Mariadb(CornersSql(name));
    EXPECT_EQ(made.status, 0) << made.err;
    return name;
  }

  std::vector<std::string> ConnectionArgs() const {
    return {"-h", s_.host, "-P", std::to_string(s_.port), "-u", s_.user, "-p" + s_.password, s_.database};
  }

  // The command line with its words quoted for the shell; SQL given goes
  // through a file after -e, so that it reaches the program as it is.
  // Standard output goes to out_to when given.
  Outcome Run(const std::string& program, const std::vector<std::string>& words,
              const std::optional<std::string>& sql = std::nullopt, const std::string& out_to = "") {
    const std::string base = folder_.path() + "/run" + std::to_string(++runs_);
    std::string command = program;
    for (const std::string& word : words) command += " '" + word + "'";
    if (sql) {
      std::ofstream(base + ".sql", std::ios::binary) << *sql;
      command += " -e \"$(cat '" + base + ".sql')\"";
    }
    command += " >'" + (out_to.empty() ? base + ".out" : out_to) + "' 2>'" + base + ".err'";
    const int status = std::system(command.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = Read(base + ".out");
    outcome.err = Read(base + ".err");
    return outcome;
  }

  // port: the test server's when 0.
  Outcome DacQuery(const std::string& sql, std::vector<std::string> extra = {}, int port = 0) {
    std::vector<std::string> words = {"--host", s_.host, "--port", std::to_string(port ? port : s_.port), "--user", s_.user,
                                      "--password", s_.password, "--db", s_.database};
    words.insert(words.end(), extra.begin(), extra.end());
    return Run(DAC_QUERY_PATH, words, sql);
  }

  Outcome Mariadb(const std::string& sql, const std::string& charset = "utf8mb4") {
    std::vector<std::string> words = {"--no-defaults", "-N", "-B", "--default-character-set=" + charset};
    const std::vector<std::string> connection = ConnectionArgs();
    words.insert(words.end(), connection.begin(), connection.end());
    return Run("mariadb", words, sql);
  }

  // The same output and status as the mariadb client.
  void ExpectSameAsMariadb(const std::string& sql, std::vector<std::string> extra = {},
                           const std::string& charset = "utf8mb4") {
    SCOPED_TRACE(sql);
    const Outcome mine = DacQuery(sql, extra);
    const Outcome theirs = Mariadb(sql, charset);
    EXPECT_EQ(mine.out, theirs.out) << mine.err;
    EXPECT_EQ(mine.status, theirs.status) << mine.err << " / " << theirs.err;
  }

  // dac-query started with its standard output to out, as a process of its
  // own that the test can watch while it runs.
  static pid_t Spawn(const std::vector<std::string>& words, const std::string& out) {
    std::vector<std::string> all = {DAC_QUERY_PATH};
    all.insert(all.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : all) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, DAC_QUERY_PATH, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }

  dac::testing::ServerSettings s_;
  plat::testing::TestFolder folder_;
  int runs_ = 0;
};

TEST_F(DacQueryTest, TextRowsEscapesAndSeveralResults) {
  const std::string table = TypesTable("dq_text_types");
  for (const std::string api : {"direct", "client"}) {
    SCOPED_TRACE(api);
    ExpectSameAsMariadb("SELECT 'a\\tb', 'two\\nlines', 'back\\\\slash', CONCAT('nul', CHAR(0), 'x'), 'cr\\rhere', "
                        "NULL, '', 'caf\\xC3\\xA9'",
                        {"--api", api});
    ExpectSameAsMariadb("SELECT 1; DO 1; SELECT 2, 3 UNION SELECT 4, 5; SELECT 1 FROM DUAL WHERE 0; SELECT 'end'",
                        {"--api", api});
    ExpectSameAsMariadb("SELECT * FROM " + table, {"--api", api});
    ExpectSameAsMariadb("SELECT 'caf\xC3\xA9', CHAR_LENGTH('caf\xC3\xA9')", {"--api", api, "--charset", "latin1"},
                        "latin1");
  }
}

TEST_F(DacQueryTest, PreparedRowsPrintAsTheServerPrintsText) {
  const std::string table = TypesTable("dq_prepared_types");
  const std::string corners = CornersTable("dq_prepared_corners");
  const std::string all = "SELECT * FROM " + table;
  for (const std::string api : {"direct", "client"}) {
    SCOPED_TRACE(api);
    const Outcome prepared = DacQuery(all, {"--prepare", "--api", api});
    EXPECT_EQ(prepared.out, Mariadb(all).out) << prepared.err;
    EXPECT_EQ(prepared.status, 0);
  }
  std::vector<std::string> statements = {"SELECT 3.4028234e38, 1e14, 1e15, 0.1e0 + 0.2e0, -1.5e-300, 1e-15, ROUND(2.5e0, 2)",
                                "SELECT CAST(f AS FLOAT), f2 * 1, ROUND(db, 1), NOW() - NOW(), 'x' FROM " + table,
                                "SELECT CAST('-01:30:00' AS TIME), CAST('36:00:00' AS TIME(3)), DATE('2024-02-29')",
                                "SELECT uint, big, NULL, d FROM " + table + " WHERE uint IS NULL"};
  for (const std::string& sql : CornersRows(corners)) statements.push_back(sql);
  for (const std::string& sql : statements) {
    SCOPED_TRACE(sql);
    const std::string theirs = Mariadb(sql).out;
    for (const std::string api : {"direct", "client"}) {
      const Outcome mine = DacQuery(sql, {"--prepare", "--api", api});
      EXPECT_EQ(mine.out, theirs) << api << ": " << mine.err;
      EXPECT_EQ(mine.status, 0);
    }
  }
}

// A prepared procedure call prints every result the call gives, as the
// mariadb client prints the call run as text, and an error in a later
// result ends it as there.
TEST_F(DacQueryTest, PreparedProcedureCallsPrintEveryResult) {
  // One statement each: the mariadb client would split them at their ';'.
  ASSERT_EQ(DacQuery("CREATE OR REPLACE PROCEDURE dq_results() BEGIN SELECT 1, 'a'; SELECT 'none' FROM DUAL WHERE 0; "
                     "SELECT 2, 'b' UNION SELECT 3, 'c'; SELECT NOW() > '2000-01-01'; END")
                .status,
            0);
  ASSERT_EQ(
      DacQuery("CREATE OR REPLACE PROCEDURE dq_failing() BEGIN SELECT 'first'; SELECT * FROM no_such_table; END").status,
      0);
  for (const std::string call : {"CALL dq_results()", "CALL dq_failing()"}) {
    SCOPED_TRACE(call);
    const Outcome theirs = Mariadb(call);
    for (const std::string api : {"direct", "client"}) {
      const Outcome mine = DacQuery(call, {"--prepare", "--api", api});
      EXPECT_EQ(mine.out, theirs.out) << api << ": " << mine.err;
      EXPECT_EQ(mine.status, theirs.status) << api << ": " << mine.err;
      if (theirs.status != 0) {
        EXPECT_EQ(mine.err.rfind("ERROR 1146 (42S02): ", 0), 0u) << mine.err;
      }
    }
  }
}

TEST_F(DacQueryTest, TheFirstErrorStopsWithOneLine) {
  ExpectSameAsMariadb("SELECT 1; SELECT no_such_column; SELECT 3");
  const Outcome failed = DacQuery("SELECT 1; SELECT no_such_column; SELECT 3");
  EXPECT_EQ(failed.err, "ERROR 1054 (42S22): Unknown column 'no_such_column' in 'SELECT'\n");
  // The server's state, whichever API reads it, prepared or not, through the components too.
  const std::string missing = "ERROR 1146 (42S02): Table '" + s_.database + ".no_such_table' doesn't exist\n";
  for (const std::vector<std::string>& api : std::vector<std::vector<std::string>>{
           {"--api", "direct"}, {"--api", "client"}, {"--api", "components"}, {"--api", "components", "--over", "client"}})
    for (const bool prepare : {false, true}) {
      std::vector<std::string> words = api;
      if (prepare) words.push_back("--prepare");
      const Outcome mine = DacQuery("SELECT * FROM no_such_table", words);
      EXPECT_EQ(mine.err, missing) << api.back() << (prepare ? " prepared" : "");
      EXPECT_EQ(mine.status, 1);
    }
  const Outcome bad_prepare = DacQuery("SELEC 1", {"--prepare"});
  EXPECT_EQ(bad_prepare.status, 1);
  EXPECT_EQ(bad_prepare.err.rfind("ERROR 1064 (42000): You have an error in your SQL syntax", 0), 0u);

  const Outcome refused = DacQuery("SELECT 1", {"--port", "1"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err.rfind("ERROR 2003 (HY000): Can't connect to MySQL server on '", 0), 0u) << refused.err;
  if (!s_.other_ca.empty()) {
    // A client error's CR LF becomes a blank: still one line.
    const Outcome untrusted = DacQuery("SELECT 1", {"--protocol", "ssl", "--ca", s_.other_ca});
    EXPECT_EQ(untrusted.status, 1);
    EXPECT_EQ(untrusted.err.rfind("ERROR 2026 (HY000): SSL connection error ", 0), 0u) << untrusted.err;
    EXPECT_EQ(untrusted.err.find_first_of("\r"), std::string::npos);
    EXPECT_EQ(untrusted.err.find('\n'), untrusted.err.size() - 1);
  }
}

TEST_F(DacQueryTest, FilesSocketsAndUsage) {
  const std::string file = folder_.path() + "/script.sql";
  std::ofstream(file, std::ios::binary) << "SELECT 'from a file';\nSELECT 2;\n";
  const Outcome from_file = Run(DAC_QUERY_PATH, {"--host", s_.host, "--port", std::to_string(s_.port), "--user",
                                                 s_.user, "--password", s_.password, "-f", file});
  EXPECT_EQ(from_file.out, "from a file\n2\n") << from_file.err;
  const Outcome socket = DacQuery("SELECT CURRENT_USER()", {"--protocol", "socket", "--socket", s_.socket});
  EXPECT_EQ(socket.out, s_.user + "@localhost\n") << socket.err;
  // --socket is the way in unless a later --port or a host says otherwise,
  // through every API that has a socket, as with the mariadb client.
  const std::vector<std::string> login = {"--user", s_.user, "--password=" + s_.password};
  const std::string port = std::to_string(s_.port);
  for (const std::vector<std::string>& way : std::vector<std::vector<std::string>>{
           {"--socket", s_.socket}, {"--port", port, "--socket", s_.socket}, {"--socket", s_.socket, "--port", port},
           {"--socket", "/nonexistent/socket", "--host", s_.host, "--port", port}}) {
    std::vector<std::string> words = {"--no-defaults", "-N", "-B"};
    words.insert(words.end(), login.begin(), login.end());
    words.insert(words.end(), way.begin(), way.end());
    const Outcome theirs = Run("mariadb", words, "SELECT CURRENT_USER()");
    ASSERT_EQ(theirs.status, 0) << theirs.err;
    words.erase(words.begin(), words.begin() + 3);
    for (const std::string api : {"direct", "client", "components"}) {
      std::vector<std::string> mine = words;
      mine.insert(mine.end(), {"--api", api});
      EXPECT_EQ(Run(DAC_QUERY_PATH, mine, "SELECT CURRENT_USER()").out, theirs.out) << api << " " << way[0];
    }
  }
  // TLS asked for is TLS, however the way in is given; over a socket only
  // through the client library.
  for (const std::string api : {"direct", "client", "components"})
    for (const std::vector<std::string>& tls : std::vector<std::vector<std::string>>{
             {"--ca", s_.ssl_ca}, {"--ca", s_.ssl_ca, "--protocol", "tcp"}, {"--protocol", "ssl", "--port", port}}) {
      std::vector<std::string> words = {"--api", api};
      words.insert(words.end(), tls.begin(), tls.end());
      const Outcome cipher = DacQuery("SHOW STATUS LIKE 'Ssl_cipher'", words);
      EXPECT_NE(cipher.out.find("Ssl_cipher\tTLS"), std::string::npos) << api << " " << tls[1] << cipher.err;
    }
  std::vector<std::string> tls_socket = login;
  tls_socket.insert(tls_socket.end(), {"--socket", s_.socket, "--ca", s_.ssl_ca});
  EXPECT_NE(Run(DAC_QUERY_PATH, tls_socket, "SHOW STATUS LIKE 'Ssl_cipher'").status, 0);
  tls_socket.insert(tls_socket.end(), {"--api", "client"});
  EXPECT_NE(Run(DAC_QUERY_PATH, tls_socket, "SHOW STATUS LIKE 'Ssl_cipher'").out.find("\tTLS"), std::string::npos);
  // Usage errors: what was wrong on one line, a hint on the next, nothing run.
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"--bogus", "-e", "SELECT 1"}, {"-e"}, {"--host"}, {"--protocol", "carrier-pigeon",
        "-e", "SELECT 1"}, {"-e", "SELECT 1", "-f", file}, {}, {"--connect-timeout", "soon", "-e", "SELECT 1"},
        {"--read-timeout=-1", "-e", "SELECT 1"}, {"--connect-timeout="}, {"-x", "-e", "SELECT 1"},
        {"--prepare=yes", "-e", "SELECT 1"}, {"-e", "SELECT 1", "stray"}, {"--e=SELECT 1"}}) {
    const Outcome usage = Run(DAC_QUERY_PATH, words);
    EXPECT_EQ(usage.status, 2) << usage.err;
    EXPECT_EQ(usage.err.rfind("dac-query: ", 0), 0u) << usage.err;
    EXPECT_EQ(usage.err.find('\n'), usage.err.find("\nTry 'dac-query --help' for more information.\n")) << usage.err;
    EXPECT_EQ(usage.out, "");
  }
  EXPECT_NE(Run(DAC_QUERY_PATH, {"--bogus"}).err.find("'--bogus'"), std::string::npos);
  EXPECT_NE(Run(DAC_QUERY_PATH, {"--user"}).err.find("'--user' requires an argument"), std::string::npos);
  // A file that cannot be read is the caller's mistake, named with the reason.
  for (const std::string& unreadable : {folder_.path() + "/missing.sql", folder_.path()}) {
    const Outcome missing = Run(DAC_QUERY_PATH, {"--host", s_.host, "--port", port, "-f", unreadable});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err.rfind("dac-query: cannot read " + unreadable + ": ", 0), 0u) << missing.err;
    EXPECT_EQ(missing.err.find('\n'), missing.err.size() - 1) << missing.err;
  }
  // --help and -h: the usage on standard output, every line fit for a terminal.
  for (const std::string help : {"--help", "-h"}) {
    const Outcome usage = Run(DAC_QUERY_PATH, {"--host", s_.host, help, "--bogus"});
    EXPECT_EQ(usage.status, 0);
    EXPECT_EQ(usage.err, "");
    EXPECT_EQ(usage.out.rfind("Usage: dac-query [OPTION]...", 0), 0u) << usage.out;
    for (const std::string option : {"\n      --api API ", "\n      --socket PATH ", "\n      --server-arg ARGUMENT ",
                                     "\n  -e SQL ", "\n  -f FILE ", "\n  -h, --help "})
      EXPECT_NE(usage.out.find(option), std::string::npos) << option;
    std::istringstream lines(usage.out);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
  }
  // Rows that never reach standard output are no success.
  for (const std::string api : {"direct", "components"}) {
    const Outcome full = Run(DAC_QUERY_PATH, {"--host", s_.host, "--port", port, "--user", s_.user, "--password",
                                              s_.password, "--api", api, "-e", "SELECT 1"}, std::nullopt, "/dev/full");
    EXPECT_EQ(full.status, 1) << api;
    EXPECT_EQ(full.err, "dac-query: cannot write to standard output\n") << api;
  }
}

// Through TMyConnection and TMyQuery every value prints as the client
// prints it: over the library's protocol and the client library, as text
// and prepared rows, the odd corners of every type included.
TEST_F(DacQueryTest, ComponentsPrintWhatTheClientPrints) {
  const std::string types = TypesTable("dq_components_types");
  const std::string corners = CornersTable("dq_components_corners");
  const Outcome made = Mariadb("CREATE OR REPLACE TABLE dq_components_odd (d65 DECIMAL(65,30), bu BIGINT UNSIGNED, b64 BIT(64), "
          "b1 BIT(1), t1 TINYINT(1), zf INT(6) ZEROFILL, dt DATE, dt6 DATETIME(6), tm6 TIME(6), c4 CHAR(4), "
          "vc VARCHAR(10), bn BINARY(4), vb VARBINARY(10), tx TEXT, js JSON, g GEOMETRY, f FLOAT, db DOUBLE) "
          "CHARACTER SET utf8mb4");
  ASSERT_EQ(made.status, 0) << made.err;
  const Outcome filled = Mariadb("SET sql_mode = 'ALLOW_INVALID_DATES'; INSERT INTO dq_components_odd VALUES "
          "('-12345678901234567890123456789012345.123456789012345678901234567891', 18446744073709551615, "
          "b'1111111111111111111111111111111111111111111111111111111111111111', b'1', 5, 7, '2024-00-15', "
          "'2024-02-29 13:45:10.123456', '-838:59:59.999999', '\xC3\xA9\xF0\x9F\x98\x80', 'a\\0b', "
          "x'00112233', x'610062', 'caf\xC3\xA9 \xF0\x9F\x98\x80', '{\"a\": 1}', ST_GeomFromText('POINT(1 2)'), "
          "-1.17549435e-38, 0.1e0 + 0.2e0), "
          "(0, 0, b'0', b'0', 0, 0, '0000-00-00', '2024-02-30 00:00:00.5', '00:00:00', '', '', x'00000000', '', '', "
          "'[]', NULL, 0, -0e0), (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
          "NULL, NULL, NULL, NULL)");
  ASSERT_EQ(filled.status, 0) << filled.err;
  std::vector<std::string> statements = {
      "SELECT * FROM " + types,
      "SELECT * FROM dq_components_odd",
      "SELECT 1; DO 1; SELECT 2, 3 UNION SELECT 4, 5; SELECT 1 FROM DUAL WHERE 0; SELECT 'end' AS `a:b`",
      "SELECT 3.4028234e38, 1e14, 1e15, 0.1e0 + 0.2e0, -1.5e-300, ROUND(2.5e0, 2), CAST('-01:30:00' AS TIME), "
      "CAST('36:00:00' AS TIME(3)), NULL, '', CONCAT('nul', CHAR(0), 'x'), 7 & 3, @v := 'set'",
  };
  for (const std::string& sql : CornersRows(corners)) statements.push_back(sql);
  for (const std::string& sql : statements) {
    SCOPED_TRACE(sql);
    const std::string theirs = Mariadb(sql).out;
    ASSERT_FALSE(theirs.empty());
    for (const std::vector<std::string>& extra : std::vector<std::vector<std::string>>{
             {"--api", "components"},
             {"--api", "components", "--prepare"},
             {"--api", "components", "--over", "client"},
             {"--api", "components", "--over", "client", "--prepare"}}) {
      const Outcome mine = DacQuery(sql, extra);
      EXPECT_EQ(mine.out, theirs) << extra.back() << ": " << mine.err;
      EXPECT_EQ(mine.status, 0);
    }
  }
  // The first error stops the run with the line the other modes write.
  const Outcome failed = DacQuery("SELECT 1; SELECT no_such_column; SELECT 3", {"--api", "components"});
  EXPECT_EQ(failed.out, "1\n");
  EXPECT_EQ(failed.err, "ERROR 1054 (42S22): Unknown column 'no_such_column' in 'SELECT'\n");
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(DacQuery("SELECT 1", {"--api", "components", "--protocol", "pipe"}).status, 2);
  EXPECT_EQ(DacQuery("SELECT 1", {"--api", "components", "--protocol", "socket", "--ca", s_.ssl_ca}).status, 2);
  EXPECT_EQ(DacQuery("SELECT 1", {"--over", "client"}).status, 2);
  EXPECT_EQ(DacQuery("SELECT 1", {"--api", "components", "--read-timeout", "5"}).status, 2);
  EXPECT_EQ(DacQuery("SELECT 'in time'", {"--api", "components", "--connect-timeout", "20"}).out, "in time\n");
}

// Through the components a script is cut into statements as the mariadb
// client cuts it, DELIMITER lines included, and every result of each
// statement prints: the same output and status as the client's.
TEST_F(DacQueryTest, ComponentsCutScriptsAsTheClientDoes) {
  const std::vector<std::string> scripts = {
      "DELIMITER //\n"
      "CREATE OR REPLACE PROCEDURE dq_cut() BEGIN\n"
      "  SELECT 'a;b', \"c;d//\", `x;` FROM (SELECT 1 AS `x;`) t; -- a comment; with //\n"
      "  SELECT 2 /* ; // */ UNION SELECT 3; # another ;\n"
      "  SELECT 'none' FROM DUAL WHERE 0;\n"
      "END //\n"
      "DELIMITER ;\n"
      "CALL dq_cut();\n"
      "SELECT ROUTINE_NAME FROM information_schema.ROUTINES WHERE ROUTINE_NAME = 'dq_cut';",
      "SELECT 'it''s;', 'back\\';slash', \"q\\\";\";SELECT 1--1;\nSELECT 2 -- ;\n;;; SELECT 3 --\t;\n, 4;",
      "delimiter $$\nSELECT 1 $$ SELECT 2$$\n  DeLiMiTeR   ;   trailing words\nSELECT 3;\n",
      "DELIMITER go\nSELECT 'go' go SELECT 1 GO\n",
      "DELIMITER #\nSELECT 1 # SELECT 2 #\nDELIMITER '; ;'\nSELECT 3; ;\n",
      "SELECT 1 /*! , 2 */; SELECT /*+ ; */ 3; SELECT 4 /* left open;",
      "/* a DELIMITER line may follow comments\n*/ -- and this\nDELIMITER //\nSELECT 1; DO 2; SELECT 3, 4//\n",
      "SELECT 1;\r\nDELIMITER //\r\nSELECT 2//\r\n",
      "SELECT 1;\nSELECT 2 DELIMITER //\nSELECT 3//",
      // Every statement on the one session: variables and temporary tables carry over.
      "SET @a = 5; CREATE TEMPORARY TABLE dq_cut_tmp (i INT); INSERT INTO dq_cut_tmp VALUES (@a), (6);"
      "SELECT i FROM dq_cut_tmp ORDER BY i; SELECT @a, COUNT(*) FROM dq_cut_tmp",
      // Text beyond ASCII in the statements reaches the server as its bytes, and is stored as such.
      "CREATE TEMPORARY TABLE dq_cut_text (v VARCHAR(10)) CHARACTER SET utf8mb4;"
      "INSERT INTO dq_cut_text VALUES ('caf\xC3\xA9 \xF0\x9F\x98\x80'); SELECT HEX(v), v, CHAR_LENGTH(v) FROM dq_cut_text;"
      "SELECT '\xC3\xA9', HEX(_binary'\xC3\xA9'), CAST('\xF0\x9F\x98\x80' AS BINARY)",
      "SELECT 'first'; SELECT * FROM no_such_table; SELECT 'never'",
  };
  for (const std::string& script : scripts) {
    SCOPED_TRACE(script);
    const Outcome theirs = Mariadb(script);
    for (const std::string over : {"direct", "client"}) {
      const Outcome mine = DacQuery(script, {"--api", "components", "--over", over});
      EXPECT_EQ(mine.out, theirs.out) << over << ": " << mine.err;
      EXPECT_EQ(mine.status, theirs.status) << over << ": " << mine.err;
    }
  }
  // A DELIMITER line without a delimiter: the client's own error, and none
  // of the script runs (the client would run on with the old delimiter).
  for (const auto& [script, error] : std::vector<std::pair<std::string, std::string>>{
           {"CREATE TABLE dq_cut_never (i INT);\n  delimiter  \nSELECT 1;",
            "ERROR at line 2: DELIMITER must be followed by a 'delimiter' character or string\n"},
           {"CREATE TABLE dq_cut_never (i INT);\nDELIMITER;\n",
            "ERROR at line 2: DELIMITER must be followed by a 'delimiter' character or string\n"},
           {"CREATE TABLE dq_cut_never (i INT);\n\nDELIMITER \\\\\n",
            "ERROR at line 3: DELIMITER cannot contain a backslash character\n"}}) {
    const Outcome bad = DacQuery(script, {"--api", "components"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, error);
    EXPECT_EQ(bad.out, "");
  }
  EXPECT_EQ(Mariadb("SHOW TABLES LIKE 'dq_cut_never'").out, "");
}

// A password given on the command line leaves the process list once
// dac-query has read it, and still logs in. Each run waits on a lock this
// test holds, so its command line is read while it runs.
TEST_F(DacQueryTest, ThePasswordLeavesTheProcessList) {
  dac::TMySqlSession holder;
  holder.Connect(s_.host, s_.user, s_.password, s_.database, s_.port, "", 0);
  int run = 0;
  for (const bool inline_value : {false, true})
    for (const std::string api : {"direct", "components"}) {
      SCOPED_TRACE(api + (inline_value ? " --password=" : " --password"));
      const std::string lock = "dq_pw_" + std::to_string(::getpid()) + "_" + std::to_string(++run);
      ASSERT_EQ(dac::testing::Single(holder, "SELECT GET_LOCK('" + lock + "', 0)"), "1");
      std::vector<std::string> words = {"--api", api, "--host", s_.host, "--port", std::to_string(s_.port),
                                        "--user", s_.user, "-e", "SELECT GET_LOCK('" + lock + "', 600)"};
      if (inline_value)
        words.push_back("--password=" + s_.password);
      else
        words.insert(words.end(), {"--password", s_.password});
      const std::string out = folder_.path() + "/" + lock + ".out";
      const pid_t pid = Spawn(words, out);
      ASSERT_GT(pid, 0);
      const std::string waiting = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE STATE = 'User lock' "
                                  "AND INFO LIKE '%" + lock + "%'";
      int status = 0;
      while (dac::testing::Single(holder, waiting) == "0" && ::waitpid(pid, &status, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const std::string command_line = Read("/proc/" + std::to_string(pid) + "/cmdline");
      EXPECT_NE(command_line.find(s_.user), std::string::npos) << "the run ended before it was seen";
      EXPECT_EQ(command_line.find(s_.password), std::string::npos);
      dac::testing::Single(holder, "SELECT RELEASE_LOCK('" + lock + "')");
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      EXPECT_EQ(Read(out), "1\n");
    }
}

// Through a man in the middle that takes the TLS offer out of the greeting,
// every API and the components over each refuse with 2026 before any
// statement: the relay sees none in clear, and a second session sees that
// the server ran none. Only the client library without a CA cannot be kept
// from logging in first. Answers cut or altered on the way are errors with
// their code, never rows cut short.
TEST_F(DacQueryTest, AManInTheMiddleAndBrokenAnswersAreErrorsThroughEveryApi) {
  using dac::testing::Relay;
  ASSERT_EQ(Mariadb("CREATE OR REPLACE TABLE dq_mitm (n INT)").status, 0);
  const std::vector<std::vector<std::string>> apis = {
      {"--api", "direct"}, {"--api", "client"}, {"--api", "components"}, {"--api", "components", "--over", "client"}};
  struct TlsCase {
    const char* name;
    std::vector<std::string> words;
    bool with_ca;
  };
  const TlsCase tls_cases[] = {{"ssl protocol and CA", {"--protocol", "ssl", "--ca", s_.ssl_ca}, true},
                               {"CA alone", {"--ca", s_.ssl_ca}, true},
                               {"ssl protocol alone", {"--protocol", "ssl"}, false}};
  for (const std::vector<std::string>& api : apis) {
    const bool client_library = api.back() == "client";
    for (const TlsCase& c : tls_cases) {
      SCOPED_TRACE(api.back() + ", " + c.name);
      Relay relay(s_.host, s_.port);
      relay.SetStripTls(true);
      std::vector<std::string> words = api;
      words.insert(words.end(), c.words.begin(), c.words.end());
      const Outcome mine = DacQuery("INSERT INTO dq_mitm VALUES (1); SELECT 'leaked'", words, relay.Port());
      EXPECT_EQ(mine.status, 1);
      EXPECT_EQ(mine.out, "");
      if (client_library && c.with_ca) {
        EXPECT_EQ(mine.err.rfind("ERROR 2026 (HY000): ", 0), 0u) << mine.err;
      } else {
        EXPECT_EQ(mine.err, "ERROR 2026 (HY000): SSL connection error The server does not offer TLS\n");
      }
      EXPECT_EQ(relay.Statements(), std::vector<std::string>{});
      EXPECT_EQ(relay.PlainLogins(), client_library && !c.with_ca ? 1 : 0);
    }
  }
  EXPECT_EQ(Mariadb("SELECT COUNT(*) FROM dq_mitm").out, "0\n");

  const std::string rows = "SELECT seq, REPEAT('x', 50) FROM seq_1_to_20000";
  struct Broken {
    const char* name;
    std::function<void(Relay&)> arm;
    bool prepare;
    std::string error;  // how the error line begins
  };
  const Broken broken[] = {
      {"prepared rows cut", [](Relay& r) { r.CutOn("seq_1_to_20000", Relay::Cut::kInExecuteReply, 1, 3000); }, true,
       "ERROR 2013 (HY000): Lost connection to "},
      {"text rows cut", [](Relay& r) { r.CutOn("seq_1_to_20000", Relay::Cut::kInReply, 1, 3000); }, false,
       "ERROR 2013 (HY000): Lost connection to "},
      {"column count malformed", [](Relay& r) { r.AlterReply("seq_1_to_20000", 4, 0xFC); }, false,
       "ERROR 2027 (HY000): "},
  };
  for (const std::vector<std::string>& api : apis)
    for (const Broken& b : broken) {
      SCOPED_TRACE(api.back() + ", " + b.name);
      Relay relay(s_.host, s_.port);
      b.arm(relay);
      std::vector<std::string> words = api;
      if (b.prepare) words.push_back("--prepare");
      const Outcome mine = DacQuery(rows, words, relay.Port());
      EXPECT_EQ(mine.status, 1);
      EXPECT_EQ(mine.err.rfind(b.error, 0), 0u) << mine.err;
      EXPECT_EQ(mine.err.find('\n'), mine.err.size() - 1) << mine.err;
    }
}

// A statement that outlasts the read time-out is a lost connection; one
// that ends within it runs as ever.
TEST_F(DacQueryTest, TheReadTimeOutEndsTheWaitForAnAnswer) {
  for (const std::string api : {"direct", "client"}) {
    SCOPED_TRACE(api);
    const Outcome stalled = DacQuery("SELECT SLEEP(30)", {"--api", api, "--read-timeout", "1"});
    EXPECT_EQ(stalled.status, 1) << stalled.out;
    EXPECT_EQ(stalled.err.rfind("ERROR 2013 (HY000): ", 0), 0u) << stalled.err;
    const Outcome quick = DacQuery("SELECT 'in time'", {"--api", api, "--read-timeout=20", "--connect-timeout", "20"});
    EXPECT_EQ(quick.out, "in time\n") << quick.err;
  }
}

// An embedded server of dac-query's own, on a copy of the pristine data folder.
TEST_F(DacQueryTest, EmbeddedServerRowsAsTheServerPrintsThem) {
  const char* pristine = std::getenv("VARNEL_MYSQL_PRISTINE_DATA");
  if (!pristine) GTEST_SKIP() << "VARNEL_MYSQL_PRISTINE_DATA is unset (scripts/test provides it)";
  const std::string data = folder_.path() + "/data";
  std::filesystem::copy(pristine, data, std::filesystem::copy_options::recursive);
  const std::string sql =
      "SELECT 1+1, CAST('-01:30:00' AS TIME), CAST('36:00:00' AS TIME(3)), DATE('2024-02-29'), "
      "CAST('2004-02-29 13:45:10.25' AS DATETIME(2)), 3.4028234e38, CAST(4294967295 AS UNSIGNED), 'caf\xC3\xA9', "
      "ST_GeomFromText('POINT(1 2)')";
  const std::string theirs = Mariadb(sql).out;
  const std::vector<std::string> embedded = {"--api", "embedded", "--server-arg", "--no-defaults",
                                             "--server-arg=# dropped", "--server-arg", "--datadir=" + data};
  for (const bool prepare : {false, true}) {
    std::vector<std::string> words = embedded;
    if (prepare) words.push_back("--prepare");
    const Outcome mine = Run(DAC_QUERY_PATH, words, sql);
    EXPECT_EQ(mine.out, theirs) << mine.err;
    EXPECT_EQ(mine.status, 0);
  }
  // A prepared procedure call, its results read to the end and the statement
  // closed before the server ends: every result, and a clean exit.
  const Outcome made = Run(DAC_QUERY_PATH, embedded,
                           "CREATE DATABASE dq; CREATE PROCEDURE dq.two() BEGIN SELECT 1, 'a'; "
                           "SELECT 2, 'b' UNION SELECT 3, 'c'; END");
  ASSERT_EQ(made.status, 0) << made.err;
  std::vector<std::string> prepared = embedded;
  prepared.push_back("--prepare");
  const Outcome call = Run(DAC_QUERY_PATH, prepared, "CALL dq.two()");
  EXPECT_EQ(call.out, "1\ta\n2\tb\n3\tc\n") << call.err;
  EXPECT_EQ(call.status, 0) << call.err;
  // Zero-filled floats and -0.00 as the test server prints them.
  ASSERT_EQ(Run(DAC_QUERY_PATH, embedded, CornersSql("dq.corners")).status, 0);
  const std::vector<std::string> on_test_server = CornersRows(CornersTable("dq_embedded_corners"));
  const std::vector<std::string> embedded_rows = CornersRows("dq.corners");
  for (size_t i = 0; i < embedded_rows.size(); ++i) {
    const Outcome corners = Run(DAC_QUERY_PATH, prepared, embedded_rows[i]);
    EXPECT_EQ(corners.out, Mariadb(on_test_server[i]).out) << corners.err;
  }
  // TLS to a server elsewhere, whose offer a man in the middle took out:
  // refused, no statement run.
  dac::testing::Relay relay(s_.host, s_.port);
  relay.SetStripTls(true);
  std::vector<std::string> remote = embedded;
  remote.insert(remote.end(), {"--host", s_.host, "--port", std::to_string(relay.Port()), "--user", s_.user,
                               "--password", s_.password, "--protocol", "ssl"});
  const Outcome refused = Run(DAC_QUERY_PATH, remote, "SELECT 'leaked'");
  EXPECT_EQ(refused.out, "");
  // (LeakSanitizer may add its summary of suppressions after the line.)
  EXPECT_EQ(refused.err.rfind("ERROR 2026 (HY000): SSL connection error The server does not offer TLS\n", 0), 0u)
      << refused.err;
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(relay.Statements(), std::vector<std::string>{});
}

// A server that accepts and never greets: the connect time-out, spelled
// as the mariadb client spells it, ends the wait with a lost connection.
// The stand-in waits far longer than the time-out for the client to hang
// up, and only then greets and answers as a server would: a run that did
// not time out would end well, long after.
TEST(StalledServerTest, TheConnectTimeOutEndsTheWaitForAGreeting) {
  const uint8_t salt[20] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9',
                            'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'};
  plat::testing::TestFolder folder;
  for (const std::string api : {"direct", "client"}) {
    SCOPED_TRACE(api);
    dac::testing::FakeServer server([&](dac::testing::PeerSocket& peer) {
      uint8_t byte;
      if (!peer.ReadExactly(&byte, 1, 60000)) return;  // the client hung up
      peer.Send(dac::testing::Greeting(0xF7FF & ~0x0820, salt), 0);
      while (auto packet = peer.ReadPacket()) peer.Send(dac::testing::OkPacket(), packet->sequence + 1);
    });
    const std::string base = folder.path() + "/" + api;
    const std::string command = std::string(DAC_QUERY_PATH) + " --api " + api +
                                " --host 127.0.0.1 --port " + std::to_string(server.Port()) +
                                " --user u --password pw --connect-timeout=1 -e 'SELECT 1' >'" + base +
                                ".out' 2>'" + base + ".err'";
    const int raw = std::system(command.c_str());
    std::ifstream in(base + ".err");
    std::string err;
    std::getline(in, err);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw << " " << err;
    EXPECT_EQ(err.rfind("ERROR 2013 (HY000): ", 0), 0u) << err;
  }
}

}  // namespace
}  // namespace tools
