// TMySQLConnection against the private test server (scripts/with-mariadb),
// through the built-in protocol and through the client library.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dac/framework/classes/database_error.h"
#include "dac/mysql/client/api/mysql_api_client.h"
#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_error.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/store/record/data_types.h"
#include "platform/date_time.h"
#include "tests/dac/mysql/client/api_test_support.h"

namespace dac {
namespace {

using testing::ApiUnderTest;
using testing::Rows;

class MySQLConnectionTest : public ::testing::TestWithParam<ApiUnderTest> {
 protected:
  // A connection of the API under test with the server's settings, not yet open.
  std::unique_ptr<TMySQLConnection> Make(const testing::ServerSettings& s) {
    auto connection = std::make_unique<TMySQLConnection>();
    connection->SetAPI(GetParam().api());
    connection->SetServer(s.host);
    connection->SetPort(s.port);
    connection->SetUsername(s.user);
    connection->SetPassword(s.password);
    connection->SetDatabase(s.database);
    return connection;
  }

  static Rows Query(TMySQLConnection& c, const std::string& sql) {
    return testing::ApiQuery(c.GetAPI(), c.GetHandle(), sql);
  }
  static std::string Value(TMySQLConnection& c, const std::string& sql) {
    const Rows rows = Query(c, sql);
    return rows.size() == 1 && !rows[0].empty() && rows[0][0] ? *rows[0][0] : "<none>";
  }
};

// The error a statement raises, as "code: text".
std::string ErrorOf(const std::function<void()>& action, int32_t* line = nullptr) {
  try {
    action();
  } catch (const EMyError& e) {
    if (line) *line = e.LineNumber();
    return std::to_string(e.ErrorCode()) + ": " + e.Message();
  }
  return "no error";
}

TEST_P(MySQLConnectionTest, ConnectsOverTcpAndTheUnixSocket) {
  REQUIRE_TEST_SERVER(s);
  auto tcp = Make(s);
  tcp->Connect("");
  ASSERT_TRUE(tcp->GetConnected());
  EXPECT_GE(tcp->GetServerPrimaryVer(), 5);
  EXPECT_TRUE(tcp->GetIsServer41());
  EXPECT_TRUE(tcp->GetIsClient41());
  EXPECT_EQ(Value(*tcp, "SELECT DATABASE()"), s.database);
  EXPECT_TRUE(tcp->CheckIsValid());
  tcp->Connect("");  // connected already: nothing happens
  tcp->Disconnect();
  EXPECT_FALSE(tcp->GetConnected());
  EXPECT_EQ(tcp->GetHandle(), nullptr);
  EXPECT_FALSE(tcp->CheckIsValid());

  auto socket = Make(s);
  socket->SetProtocol(TMyProtocol::mpSocket);
  socket->SetServer(s.socket);
  socket->Connect("");
  EXPECT_EQ(Value(*socket, "SELECT @@socket"), s.socket);
  EXPECT_TRUE(socket->CheckIsValid());
}

TEST_P(MySQLConnectionTest, ServerErrorsBecomeEMyErrorWithTheServersCodeAndText) {
  REQUIRE_TEST_SERVER(s);
  auto bad = Make(s);
  bad->SetPassword("wrong");
  EXPECT_EQ(ErrorOf([&] { bad->Connect(""); }).substr(0, 6), "1045: ");
  EXPECT_FALSE(bad->GetConnected());
  EXPECT_EQ(bad->GetHandle(), nullptr);

  auto c = Make(s);
  c->Connect("");
  int32_t line = -1;
  const std::string error = ErrorOf([&] { c->ExecStatement("SELECT 1\nFROM\nWHERE"); }, &line);
  EXPECT_EQ(error.substr(0, 6), "1064: ") << error;
  EXPECT_EQ(line, 3);
  EXPECT_EQ(ErrorOf([&] { c->SetDatabase("no_such_database"); }).substr(0, 6), "1049: ");
  const std::string missing = ErrorOf([&] { c->ExecStatement("SELECT * FROM no_such_table"); });
  EXPECT_EQ(missing.substr(0, 6), "1146: ");
  EXPECT_TRUE(missing.ends_with("Table '" + s.database + ".no_such_table' doesn't exist")) << missing;
  // The session still works after errors, and rows of a statement are read away.
  c->ExecStatement("SELECT 1; SELECT 2");
  EXPECT_EQ(Value(*c, "SELECT 3"), "3");
}

TEST_P(MySQLConnectionTest, TheErrorHookDecidesAndASwapConnectionNeverReconnects) {
  REQUIRE_TEST_SERVER(s);
  auto c = Make(s);
  c->Connect("");
  int calls = 0;
  int32_t attempt_seen = -1;
  c->SetOnError([&](Exception& error, bool& fail, bool& reconnect, bool&, int32_t attempt, TConnLostCause&) {
    ++calls;
    attempt_seen = attempt;
    EXPECT_EQ(dynamic_cast<EMyError&>(error).ErrorCode(), 1146);
    EXPECT_FALSE(reconnect);
    reconnect = true;  // ignored on a swap connection
    fail = false;
  });
  c->SetIsSwapConnection(true);
  EXPECT_THROW(c->ExecStatement("SELECT * FROM no_such_table"), EAbort);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(attempt_seen, 0);
  EXPECT_TRUE(c->GetConnected());
  EXPECT_EQ(Value(*c, "SELECT 4"), "4");
}

TEST_P(MySQLConnectionTest, TransactionsRunAtTheSessionsIsolationLevel) {
  REQUIRE_TEST_SERVER(s);
  // Each API's run has its own table: the runs may go at the same time.
  const std::string table = "my_conn_tx_" + GetParam().name;
  auto writer = Make(s);
  writer->Connect("");
  writer->ExecStatement("CREATE TABLE " + table + " (id INT) ENGINE=InnoDB");
  auto reader = Make(s);
  reader->SetIsolationLevel(TMyIsolationLevel::ilReadUnCommitted);
  reader->Connect("");

  writer->StartTransaction();
  EXPECT_TRUE(writer->GetInTransaction());
  writer->ExecStatement("INSERT INTO " + table + " VALUES (1)");
  reader->StartTransaction();
  EXPECT_EQ(Value(*reader, "SELECT COUNT(*) FROM " + table), "1");  // a dirty read
  reader->Commit();
  writer->Rollback();
  EXPECT_FALSE(writer->GetInTransaction());
  EXPECT_EQ(Value(*writer, "SELECT COUNT(*) FROM " + table), "0");

  // A new level waits for the next session, and every transaction of a
  // session runs at the session's level.
  reader->SetProp(prMyIsolationLevel, Variant(static_cast<int32_t>(TMyIsolationLevel::ilSerializable)));
  writer->StartTransaction();
  writer->ExecStatement("INSERT INTO " + table + " VALUES (2)");
  reader->StartTransaction();
  EXPECT_EQ(Value(*reader, "SELECT COUNT(*) FROM " + table), "1");
  reader->Rollback();
  reader->Disconnect();
  reader->Connect("");
  reader->ExecStatement("SET SESSION innodb_lock_wait_timeout = 1");
  reader->StartTransaction();
  // Serializable: the read waits for the writer's lock, and gives up.
  EXPECT_EQ(ErrorOf([&] { reader->ExecStatement("SELECT COUNT(*) FROM " + table); }).substr(0, 6), "1205: ");
  reader->Rollback();
  writer->Commit();
  EXPECT_EQ(Value(*writer, "SELECT COUNT(*) FROM " + table), "1");
  writer->ExecStatement("DROP TABLE " + table);
}

TEST_P(MySQLConnectionTest, CharacterSetsFollowUseUnicodeAndCharset) {
  REQUIRE_TEST_SERVER(s);
  auto c = Make(s);
  c->SetCharset("latin1");
  c->Connect("");
  EXPECT_EQ(Value(*c, "SELECT @@character_set_client"), "latin1");
  c->SetProp(prMyUseUnicode, Variant(true));  // applied at once
  // Unicode is all of it: utf8mb4, unless Charset names the three-byte utf8.
  EXPECT_EQ(Value(*c, "SELECT @@character_set_client"), "utf8mb4");
  EXPECT_TRUE(c->GetUnicodeMB4());
  auto three = Make(s);
  three->SetCharset("utf8");
  three->SetProp(prMyUseUnicode, Variant(true));
  three->Connect("");
  EXPECT_EQ(Value(*three, "SELECT @@character_set_client"), "utf8mb3");
  EXPECT_FALSE(three->GetUnicodeMB4());
  // Text goes out as UTF-8 from the system code page.
  c->ExecStatement("SET @e = '\xe9'");
  EXPECT_EQ(Value(*c, "SELECT HEX(@e)"), "C3A9");

  // Only a character set's name is taken, refused before anything is sent.
  for (const std::string charset : {"latin1; CREATE TABLE my_conn_injected (i INT)", "`latin1`", "latin1 COLLATE x",
                                    "latin1\n", "caf\xe9"}) {
    auto hostile = Make(s);
    hostile->SetCharset(charset);
    std::string refusal;
    try {
      hostile->Connect("");
    } catch (const EDatabaseError& e) {
      refusal = e.Message();
    }
    EXPECT_NE(refusal.find("Invalid character set name"), std::string::npos) << charset << ": " << refusal;
    EXPECT_FALSE(hostile->GetConnected());
    EXPECT_EQ(hostile->GetHandle(), nullptr);
  }
  EXPECT_EQ(Value(*c, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_NAME = 'my_conn_injected'"), "0");
  // A name of the right form that is no character set is the server's error.
  auto unknown = Make(s);
  unknown->SetCharset("nosuchset");
  EXPECT_EQ(ErrorOf([&] { unknown->Connect(""); }).substr(0, 6), "1115: ");
}

TEST_P(MySQLConnectionTest, PropertyCodesReachTheSettings) {
  REQUIRE_TEST_SERVER(s);
  auto c = Make(s);
  c->SetProp(prMyConnectionTimeout, Variant(int32_t{7}));
  c->SetProp(prMyPort, Variant(int32_t{s.port}));
  c->SetProp(prMyCompress, Variant(true));
  c->SetProp(prMyEmbParams, Variant(" \r\n--datadir=/x\r\n--skip-grant-tables\r\n\t"));
  c->SetProp(prMySSLKey, Variant("C:\\certs\\key.pem"));
  c->SetProp(prMyNumericType, Variant(int32_t{ntBCD}));
  c->SetProp(prMyAPI, Variant::FromObject(&GetParam().api()));
  c->Connect("");
  EXPECT_EQ(Value(*c, "SHOW SESSION STATUS LIKE 'Compression'"), "Compression");
  EXPECT_EQ(Query(*c, "SHOW SESSION STATUS LIKE 'Compression'")[0][1], "ON");

  Variant value;
  const std::vector<std::pair<int, Variant>> expected = {
      {prMyDatabase, Variant(s.database)},     {prMyConnectionTimeout, Variant(int32_t{7})},
      {prMyPort, Variant(int32_t{s.port})},    {prMyCompress, Variant(true)},
      {prMyUseUnicode, Variant(false)},        {prMyIsolationLevel, Variant(int32_t{0})},
  };
  for (const auto& [code, want] : expected) {
    ASSERT_TRUE(c->GetProp(code, value));
    EXPECT_EQ(VarToStr(value), VarToStr(want)) << code;
  }
  EXPECT_EQ(c->GetEmbParams().Text(), "--datadir=/x\r\n--skip-grant-tables\r\n");
  EXPECT_EQ(c->GetNumericType(), ntBCD);
  EXPECT_FALSE(c->GetClientVer().empty());

  c->ExecStatement("CREATE TEMPORARY TABLE my_conn_ids (id INT AUTO_INCREMENT PRIMARY KEY)");
  c->ExecStatement("INSERT INTO my_conn_ids VALUES (41)");
  c->ExecStatement("INSERT INTO my_conn_ids VALUES (NULL)");
  ASSERT_TRUE(c->GetProp(prMyLastInsertId, value));
  EXPECT_EQ(value.AsInt64(), 42);

  // A copy takes the settings, the TLS files too: a second session reaches
  // the server the way the first does.
  TMySQLConnection copy;
  copy.Assign(*c);
  EXPECT_EQ(copy.GetDatabase(), s.database);
  EXPECT_EQ(copy.GetConnectionTimeout(), 7);
  EXPECT_TRUE(copy.GetCompress());
  EXPECT_EQ(&copy.GetAPI(), &GetParam().api());
  EXPECT_EQ(copy.GetSSLKey(), c->GetSSLKey());
  EXPECT_EQ(copy.GetSSLCert(), c->GetSSLCert());
  EXPECT_EQ(copy.GetSSLCA(), c->GetSSLCA());
  copy.Connect("");
  EXPECT_EQ(Value(copy, "SELECT 5"), "5");
}

TEST_P(MySQLConnectionTest, EmptyServerNameMeansLocalhostAndTlsPathsUseSlashes) {
  REQUIRE_TEST_SERVER(s);
  auto c = Make(s);
  c->SetServer("");
  c->SetProtocol(TMyProtocol::mpTCP);
  c->Connect("");
  EXPECT_EQ(Value(*c, "SELECT 1"), "1");

  auto tls = Make(s);
  tls->SetProtocol(TMyProtocol::mpSSL);
  tls->SetProp(prMySSLCA, Variant(s.ssl_ca));
  tls->SetProp(prMySSLCert, Variant("\\no\\such\\cert.pem"));
  EXPECT_THROW(tls->Connect(""), EMyError);
  EXPECT_EQ(tls->GetSSLCert(), "/no/such/cert.pem");
  EXPECT_FALSE(tls->GetConnected());
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

TEST_P(MySQLConnectionTest, LiteralsReachTheServerAsTheValuesTheyWrite) {
  REQUIRE_TEST_SERVER(s);
  auto c = Make(s);
  c->Connect("");
  std::string every_byte;
  for (int b = 0; b < 256; ++b) every_byte += static_cast<char>(b);
  const TBytes bytes(every_byte.begin(), every_byte.end());
  for (const Variant& value : {Variant(every_byte), Variant(bytes)}) {
    const std::string literal = ValueToSQL(dtString, value, false, false, false, c->GetServerPrimaryVer(), c->GetEscaping());
    EXPECT_EQ(Value(*c, "SELECT HEX(_binary " + literal + ")"), Hex(every_byte));
  }

  double date_time = 0;
  ASSERT_TRUE(plat::TryEncodeDateTime(1999, 12, 31, 23, 59, 58, 0, date_time));
  struct Case {
    uint16_t type;
    Variant value;
    std::string select;  // %s: the literal
    std::string expected;
  };
  const std::vector<Case> cases = {
      {dtTime, Variant::FromDateTime(-90.0 / 1440), "CAST(%s AS TIME)", "-01:30:00"},
      {dtTime, Variant::FromDateTime(2.5), "CAST(%s AS TIME)", "60:00:00"},
      {dtDateTime, Variant::FromDateTime(date_time), "CAST(%s AS DATETIME)", "1999-12-31 23:59:58"},
      {dtDate, Variant::FromDateTime(date_time), "CAST(%s AS DATE)", "1999-12-31"},
      {dtBoolean, Variant(true), "%s + 0", "1"},
      {dtFloat, Variant(-0.125), "%s", "-0.125"},
      {dtBCD, Variant(Currency::FromRaw(12345678)), "%s", "1234.5678"},
      {dtLargeint, Variant(int64_t{-9223372036854775807LL}), "%s", "-9223372036854775807"},
      {dtString, Variant("\\'\"\x1a"), "HEX(%s)", "5C27221A"},
      {dtWideString, Variant(WideString(u"\u20ac")), "HEX(CONVERT(%s USING utf8mb4))", "E282AC"},
  };
  c->SetProp(prMyUseUnicode, Variant(true));
  for (const Case& k : cases) {
    const std::string literal = ValueToSQL(k.type, k.value, false, true, false, c->GetServerPrimaryVer(), c->GetEscaping());
    std::string select = k.select;
    select.replace(select.find("%s"), 2, literal);
    EXPECT_EQ(Value(*c, "SELECT " + select), k.expected) << literal;
  }
}

TEST_P(MySQLConnectionTest, QuotedNamesStayOneIdentifier) {
  REQUIRE_TEST_SERVER(s);
  auto c = Make(s);
  c->Connect("");
  const std::string run = GetParam().name;  // the runs of the APIs may go at the same time
  const std::string victim = "my_conn_victim_" + run;
  c->ExecStatement("CREATE TABLE " + victim + " (i INT)");
  const std::vector<std::string> names = {"my table", "a`b", "x`; DROP TABLE " + victim + "; --x", "1abc", "t$1", "a``b"};
  for (const std::string& part : names) {
    const std::string name = part + run;
    c->ExecStatement("CREATE TABLE " + BracketIfNeed(name) + " (i INT)");
    EXPECT_EQ(Value(*c, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                        "TABLE_NAME = " + QuoteEscapedString(name, static_cast<int>(name.size()))),
              "1")
        << name;
    c->ExecStatement("DROP TABLE " + GenerateTableName(s.database, name, ""));
  }
  c->ExecStatement("DROP TABLE " + victim);
}

INSTANTIATE_TEST_SUITE_P(Api, MySQLConnectionTest, ::testing::Values(testing::DirectApi(), testing::ClientApi(false)),
                         testing::ApiName);

}  // namespace
}  // namespace dac
