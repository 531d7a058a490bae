// Against the private MariaDB server of scripts/with-mariadb; skipped without it.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "dac/mysql/client/session/mysql_result_set.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "tests/dac/mysql/client/server_test_support.h"
#include "tests/support/test_folder.h"

namespace dac {
namespace {

using testing::ErrorCodeOf;
using testing::Query;
using testing::Row;
using testing::Rows;
using testing::SendQuery;
using testing::Single;

std::unique_ptr<TMySqlSession> Login(const testing::ServerSettings& s, uint32_t flags = 0,
                                     const std::string& database = "") {
  auto session = std::make_unique<TMySqlSession>();
  session->Connect(s.host, s.user, s.password, database.empty() ? s.database : database, s.port, "", flags);
  return session;
}

TEST(ServerLoginTest, LogsInWithAndWithoutDatabaseAndWithEmptyPassword) {
  REQUIRE_TEST_SERVER(s);
  auto with_db = Login(s);
  EXPECT_FALSE(with_db->GetServerVersion().empty());
  EXPECT_NE(with_db->GetThreadId(), 0u);
  EXPECT_TRUE(with_db->Getprotocol41());
  EXPECT_EQ(with_db->GetHostInfo(), s.host + " via TCP/IP");
  EXPECT_EQ(Single(*with_db, "SELECT DATABASE()"), s.database);
  EXPECT_EQ(Single(*with_db, "SELECT CURRENT_USER()"), s.user + "@127.0.0.1");

  TMySqlSession without_db;
  without_db.Connect(s.host, s.user, s.password, "", s.port, "", 0);
  const Rows none = Query(without_db, "SELECT DATABASE()");
  ASSERT_EQ(none.size(), 1u);
  EXPECT_FALSE(none[0][0].has_value());

  TMySqlSession empty_password;
  empty_password.Connect(s.host, s.nopw_user, "", s.database, s.port, "", 0);
  EXPECT_EQ(Single(empty_password, "SELECT CURRENT_USER()"), s.nopw_user + "@127.0.0.1");
}

TEST(ServerLoginTest, WrongPasswordAndUnknownDatabaseGiveTheServersError) {
  REQUIRE_TEST_SERVER(s);
  std::string message;
  TMySqlSession wrong;
  EXPECT_EQ(ErrorCodeOf([&] { wrong.Connect(s.host, s.user, s.password + "x", "", s.port, "", 0); }, &message),
            1045);
  EXPECT_EQ(message.rfind("\r\n#28000Access denied for user 'varnel'", 0), 0u) << message;

  TMySqlSession unknown;
  EXPECT_EQ(ErrorCodeOf([&] { unknown.Connect(s.host, s.user, s.password, "no_such_db", s.port, "", 0); },
                        &message),
            1049);
  EXPECT_NE(message.find("Unknown database 'no_such_db'"), std::string::npos) << message;

  TMySqlSession refused_user;
  EXPECT_EQ(ErrorCodeOf([&] { refused_user.Connect(s.host, s.nopw_user, "secret", "", s.port, "", 0); }), 1045);
}

TEST(ServerLoginTest, UnixSocketProtocolsCarryCompressionAndLocalFilesAndLoseAVanishedServer) {
  REQUIRE_TEST_SERVER(s);
  if (s.socket.empty()) GTEST_SKIP() << "no socket path given";
  plat::testing::TestFolder folder;
  const std::string path = folder.path() + "/rows.tsv";
  std::ofstream(path) << "1\n2\n3\n";
  for (uint8_t protocol : {MYSQL_PROTOCOL_SOCKET, MYSQL_PROTOCOL_PIPE}) {
    SCOPED_TRACE(protocol);
    TMySqlSession session;
    session.SetProtocol(protocol);
    session.Connect("localhost", s.user, s.password, s.database, 0, s.socket, kClientCompress);
    EXPECT_EQ(session.GetHostInfo(), protocol == MYSQL_PROTOCOL_SOCKET ? "Localhost via UNIX socket"
                                                                        : "localhost via pipes");
    EXPECT_EQ(Single(session, "SELECT CURRENT_USER()"), s.user + "@localhost");
    EXPECT_TRUE(session.GetNet().GetCompress());
    Query(session, "CREATE TEMPORARY TABLE l (id INT)");
    Query(session, "LOAD DATA LOCAL INFILE '" + path + "' INTO TABLE l");
    EXPECT_EQ(Single(session, "SELECT SUM(id) FROM l"), "6");
    testing::ExpectLostAfterKill(s, session);
  }

  TMySqlSession missing;
  missing.SetProtocol(MYSQL_PROTOCOL_PIPE);
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { missing.Connect("", s.user, s.password, "", 0, s.socket + ".missing", 0); },
                        &message),
            2002);
  EXPECT_NE(message.find(".missing' (2)"), std::string::npos) << message;
}

TEST(ServerCommandTest, CommandsOutOfSyncWhileAResultIsPending) {
  REQUIRE_TEST_SERVER(s);
  auto session = Login(s);
  SendQuery(*session, "SELECT 1 UNION SELECT 2");
  EXPECT_EQ(session->GetStatus(), msGetResult);
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { session->Ping(); }, &message), 2014);
  EXPECT_EQ(message, "Commands out of sync;  You can't run this command now");
  session->FreeQuery();
  EXPECT_EQ(session->GetStatus(), msReady);
  session->Ping();
  EXPECT_EQ(Single(*session, "SELECT 3"), "3");
}

TEST(ServerCommandTest, FurtherResultsMustBeReadBeforeTheNextCommand) {
  REQUIRE_TEST_SERVER(s);
  for (const char* sql : {"SELECT 1; SELECT 2", "DO 1; DO 2"}) {
    SCOPED_TRACE(sql);
    auto session = Login(s, kClientMultiStatements);
    SendQuery(*session, sql);
    testing::FetchRows(*session, false);
    ASSERT_TRUE(session->MoreResults());
    // Refused before anything goes out, so the connection stays in step.
    EXPECT_EQ(ErrorCodeOf([&] { session->Ping(); }), kCrCommandsOutOfSync);
    session->ReadQueryResult();
    testing::FetchRows(*session, true);
    EXPECT_FALSE(session->MoreResults());
    EXPECT_EQ(Single(*session, "SELECT 3"), "3");
  }
}

TEST(ServerCommandTest, SelectDbPingStatisticsAndOkPackets) {
  REQUIRE_TEST_SERVER(s);
  auto session = Login(s, 0, "information_schema");
  session->SelectDb(s.database);
  EXPECT_EQ(session->GetDatabase(), s.database);
  EXPECT_EQ(Single(*session, "SELECT DATABASE()"), s.database);
  EXPECT_EQ(ErrorCodeOf([&] { session->SelectDb("no_such_db"); }), 1049);
  session->Ping();
  EXPECT_EQ(session->Statistics().rfind("Uptime: ", 0), 0u);

  Query(*session, "CREATE TEMPORARY TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, v INT)");
  Query(*session, "INSERT INTO t (v) VALUES (1), (2), (3)");
  EXPECT_EQ(session->GetAffectedRows(), 3);
  EXPECT_EQ(session->GetInsertId(), 1);
  EXPECT_NE(session->GetInfo().find("Records: 3"), std::string::npos) << session->GetInfo();
  Query(*session, "UPDATE t SET v = v + 1 WHERE id > 1");
  EXPECT_EQ(session->GetAffectedRows(), 2);
  EXPECT_EQ(ErrorCodeOf([&] { Query(*session, "SELEC 1"); }), 1064);
  EXPECT_EQ(Single(*session, "SELECT SUM(v) FROM t"), "8");
}

void CheckKnownValues(TMySqlSession& session, bool store) {
  Query(session, "DROP TEMPORARY TABLE IF EXISTS v");
  Query(session,
        "CREATE TEMPORARY TABLE v (id INT, s VARCHAR(20), u BIGINT UNSIGNED, d DATE, dt DATETIME(3), t LONGTEXT)");
  Query(session,
        "INSERT INTO v VALUES (1, '', 18446744073709551615, '2004-02-29', '2004-02-29 13:45:10.250', REPEAT('ab', "
        "50000)), (2, NULL, 0, NULL, NULL, ''), (3, 'x\\0y', NULL, '0000-00-00', '9999-12-31 23:59:59.999', NULL)");
  const Rows rows = Query(session, "SELECT id, s, u, d, dt, t FROM v ORDER BY id", store);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], std::optional<std::string>(""));
  EXPECT_EQ(rows[0][2], std::optional<std::string>("18446744073709551615"));
  EXPECT_EQ(rows[0][3], std::optional<std::string>("2004-02-29"));
  EXPECT_EQ(rows[0][4], std::optional<std::string>("2004-02-29 13:45:10.250"));
  ASSERT_TRUE(rows[0][5].has_value());
  EXPECT_EQ(rows[0][5]->size(), 100000u);
  EXPECT_EQ(rows[0][5]->substr(0, 4), "abab");
  EXPECT_EQ(rows[1][1], std::nullopt);
  EXPECT_EQ(rows[1][2], std::optional<std::string>("0"));
  EXPECT_EQ(rows[1][5], std::optional<std::string>(""));
  EXPECT_EQ(rows[2][1], std::optional<std::string>(std::string("x\0y", 3)));
  EXPECT_EQ(rows[2][2], std::nullopt);
  EXPECT_EQ(rows[2][3], std::optional<std::string>("0000-00-00"));
  EXPECT_EQ(rows[2][5], std::nullopt);
  EXPECT_EQ(session.GetStatus(), msReady);
}

TEST(ServerRowsTest, StoreAndUseModeRowsHoldTheKnownValues) {
  REQUIRE_TEST_SERVER(s);
  auto session = Login(s);
  CheckKnownValues(*session, true);
  CheckKnownValues(*session, false);
}

TEST(ServerRowsTest, ColumnDescriptions) {
  REQUIRE_TEST_SERVER(s);
  auto session = Login(s);
  Query(*session, "CREATE TEMPORARY TABLE c (id INT UNSIGNED NOT NULL PRIMARY KEY, name VARCHAR(30), ts TIMESTAMP NULL)");
  SendQuery(*session, "SELECT id AS ident, name, ts, 1.5 FROM c");
  const TMySqlFieldInfos& f = session->GetFieldsInfo();
  ASSERT_EQ(session->GetFieldCount(), 4);
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0].name, "ident");
  EXPECT_EQ(f[0].org_name, "id");
  EXPECT_EQ(f[0].table, "c");
  EXPECT_EQ(f[0].db, s.database);
  EXPECT_EQ(f[0].type, mftLong);
  EXPECT_TRUE(f[0].IsNotNull());
  EXPECT_TRUE(f[0].IsPrimaryKey());
  EXPECT_TRUE(f[0].IsUnsigned());
  EXPECT_TRUE(f[0].flags & kNumFlag);
  EXPECT_EQ(f[1].type, mftVarString);
  EXPECT_FALSE(f[1].flags & kNumFlag);
  EXPECT_EQ(f[2].type, mftTimestamp);
  EXPECT_EQ(f[3].type, mftNewDecimal);
  EXPECT_EQ(f[3].decimals, 1);
  EXPECT_TRUE(testing::FetchRows(*session, false).empty());
}

TEST(ServerRowsTest, ResultFreedAfterAFewRowsThenANewQuery) {
  REQUIRE_TEST_SERVER(s);
  auto session = Login(s);
  for (bool compress : {false, true}) {
    auto s2 = Login(s, compress ? kClientCompress : 0);
    SendQuery(*s2, "SELECT seq, REPEAT('z', 1000) FROM seq_1_to_5000");
    {
      TMySqlResultSet result(s2.get());
      TMySqlBinds* binds = result.GetBinds();
      for (int i = 0; i < 3; ++i) ASSERT_TRUE(result.Read(binds));
      EXPECT_EQ(result.GetRowCount(), 3);
      result.Clear();
    }
    EXPECT_EQ(s2->GetStatus(), msReady);
    EXPECT_EQ(Single(*s2, "SELECT 42"), "42");
  }
}

TEST(ServerRowsTest, AnyResultSetOverThePendingResultEndsOrDrainsItAndAStaleOneTouchesNothing) {
  REQUIRE_TEST_SERVER(s);
  auto session = Login(s);
  for (bool read_all : {true, false}) {
    SendQuery(*session, "SELECT seq FROM seq_1_to_100");
    {
      // Made the way a prepared statement makes its own, not from the
      // session's pending result.
      TMySqlResultSet rows(session.get(), session->GetFieldsInfo(), session->GetFieldCount(), nullptr);
      TMySqlBinds* binds = rows.GetBinds();
      int n = 0;
      while ((read_all || n < 3) && rows.Read(binds)) ++n;
      EXPECT_EQ(n, read_all ? 100 : 3);
    }
    EXPECT_EQ(session->GetStatus(), msReady);
    EXPECT_EQ(Single(*session, "SELECT 42"), "42");
  }

  SendQuery(*session, "SELECT 1");
  TMySqlResultSet stale(session.get());
  session->FreeQuery();
  SendQuery(*session, "SELECT 'fresh'");
  TMySqlBinds* binds = stale.GetBinds();
  EXPECT_EQ(ErrorCodeOf([&] { stale.Read(binds); }), kCrCommandsOutOfSync);
  stale.Clear();
  EXPECT_EQ(session->GetStatus(), msGetResult);
  EXPECT_EQ(testing::FetchRows(*session, false), (Rows{Row{std::string("fresh")}}));
}

TEST(ServerRowsTest, SecondResultOfAMultiStatementQueryAfterTheFirstIsFreed) {
  REQUIRE_TEST_SERVER(s);
  for (bool compress : {false, true}) {
    auto session = Login(s, kClientMultiStatements | (compress ? kClientCompress : 0));
    SendQuery(*session, "SELECT seq FROM seq_1_to_1000; SELECT 'second'; DO 1");
    session->FreeQuery();
    ASSERT_TRUE(session->MoreResults());
    session->ReadQueryResult();
    const Rows second = testing::FetchRows(*session, true);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0][0], std::optional<std::string>("second"));
    ASSERT_TRUE(session->MoreResults());
    session->ReadQueryResult();
    EXPECT_EQ(session->GetFieldCount(), 0);
    EXPECT_FALSE(session->MoreResults());
    EXPECT_EQ(Single(*session, "SELECT 7"), "7");
  }
}

TEST(ServerCompressionTest, CompressionIsReallyOnAndResultsAreTheSame) {
  REQUIRE_TEST_SERVER(s);
  auto plain = Login(s);
  auto compressed = Login(s, kClientCompress);
  EXPECT_TRUE(compressed->GetNet().GetCompress());
  EXPECT_FALSE(plain->GetNet().GetCompress());
  const Rows status = Query(*compressed, "SHOW SESSION STATUS LIKE 'Compression'");
  ASSERT_EQ(status.size(), 1u);
  EXPECT_EQ(status[0][1], std::optional<std::string>("ON"));
  const std::string sql =
      "SELECT seq, seq * 1.5, IF(seq % 7 = 0, NULL, REPEAT(CHAR(65 + seq % 26), seq % 300)), "
      "DATE_ADD('2000-01-01', INTERVAL seq DAY) FROM seq_1_to_3000";
  const Rows a = Query(*plain, sql);
  const Rows b = Query(*compressed, sql, true);
  const Rows c = Query(*compressed, sql, false);
  EXPECT_EQ(a.size(), 3000u);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
}

TEST(ServerLargePacketTest, ValueOver16MBAndQueriesOfExactMultiplesOfTheMaximumPiece) {
  REQUIRE_TEST_SERVER(s);
  for (bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    auto session = Login(s, compress ? kClientCompress : 0);
    const Rows big = Query(*session, "SELECT REPEAT('q', 17000000), 'after'");
    ASSERT_EQ(big.size(), 1u);
    ASSERT_TRUE(big[0][0].has_value());
    EXPECT_EQ(big[0][0]->size(), 17000000u);
    EXPECT_EQ(big[0][0]->find_first_not_of('q'), std::string::npos);
    EXPECT_EQ(big[0][1], std::optional<std::string>("after"));

    // The command byte plus the text make a payload of exactly 0xFFFFFF
    // bytes, then of exactly twice that.
    for (int pieces : {1, 2}) {
      const std::string head = "SELECT LENGTH('";
      const std::string tail = "')";
      const size_t filler = static_cast<size_t>(MaxPacketLength) * pieces - 1 - head.size() - tail.size();
      const std::string sql = head + std::string(filler, 'w') + tail;
      ASSERT_EQ(1 + sql.size(), static_cast<size_t>(MaxPacketLength) * pieces);
      EXPECT_EQ(Single(*session, sql), std::to_string(filler));
    }
    EXPECT_EQ(Single(*session, "SELECT 'still in step'"), "still in step");
  }
}

class ServerLoadDataTest : public ::testing::Test {
 protected:
  std::string WriteFile(const std::string& name, const std::string& content) {
    const std::string path = folder_.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  plat::testing::TestFolder folder_;
};

TEST_F(ServerLoadDataTest, MultiChunkAndEmptyFilesLoad) {
  REQUIRE_TEST_SERVER(s);
  std::string content;
  for (int i = 0; i < 20000; ++i) content += std::to_string(i) + "\tname " + std::to_string(i) + "\n";
  ASSERT_GT(content.size(), 8192u * 10);
  const std::string path = WriteFile("rows's.tsv", content);
  const std::string empty = WriteFile("empty.tsv", "");
  for (bool compress : {false, true}) {
    auto session = Login(s, compress ? kClientCompress : 0);
    Query(*session, "CREATE TEMPORARY TABLE l (id INT, name VARCHAR(40))");
    std::string quoted = path;
    quoted.replace(quoted.find('\''), 1, "\\'");
    Query(*session, "LOAD DATA LOCAL INFILE '" + quoted + "' INTO TABLE l");
    EXPECT_EQ(session->GetAffectedRows(), 20000);
    EXPECT_EQ(Single(*session, "SELECT COUNT(*), SUM(id) FROM l"), "20000");
    EXPECT_EQ(Single(*session, "SELECT name FROM l WHERE id = 19999"), "name 19999");
    Query(*session, "/* empty */ LOAD DATA LOW_PRIORITY LOCAL INFILE \"" + empty + "\" INTO TABLE l");
    EXPECT_EQ(session->GetAffectedRows(), 0);
    EXPECT_EQ(Single(*session, "SELECT COUNT(*) FROM l"), "20000");
  }
}

TEST_F(ServerLoadDataTest, MissingFileOrFilesSwitchedOffGiveAClearErrorAndTheSessionStaysUsable) {
  REQUIRE_TEST_SERVER(s);
  auto session = Login(s);
  Query(*session, "CREATE TEMPORARY TABLE l (id INT)");
  std::string message;
  const std::string missing = folder_.path() + "/missing.tsv";
  EXPECT_EQ(ErrorCodeOf([&] { Query(*session, "LOAD DATA LOCAL INFILE '" + missing + "' INTO TABLE l"); }, &message),
            2000);
  EXPECT_NE(message.find("cannot open the file"), std::string::npos) << message;
  EXPECT_NE(message.find(missing), std::string::npos) << message;
  EXPECT_EQ(session->GetStatus(), msReady);
  session->Ping();

  EXPECT_EQ(ErrorCodeOf([&] { Query(*session, "LOAD DATA LOCAL INFILE '" + folder_.path() + "' INTO TABLE l"); },
                        &message),
            2000);
  EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;

  const std::string path = WriteFile("one.tsv", "1\n2\n");
  session->SetLocalInfile(false);
  EXPECT_EQ(ErrorCodeOf([&] { Query(*session, "LOAD DATA LOCAL INFILE '" + path + "' INTO TABLE l"); }, &message),
            2000);
  EXPECT_NE(message.find("switched off"), std::string::npos) << message;
  session->SetLocalInfile(true);
  Query(*session, "LOAD DATA LOCAL INFILE '" + path + "' INTO TABLE l");
  EXPECT_EQ(Single(*session, "SELECT SUM(id) FROM l"), "3");
}

}  // namespace
}  // namespace dac
