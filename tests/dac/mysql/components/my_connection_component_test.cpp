// The MySQL connection component against the private test server
// (scripts/with-mariadb), through the built-in protocol and the client
// library: its options and TLS files, pooling, direct SQL, the lists and
// the server's information.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dac/core/pool/connection_parameters.h"
#include "dac/framework/classes/database_error.h"
#include "dac/mysql/client/transport/io_handler.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/components/my_connection_lists.h"
#include "dac/mysql/components/my_design_lists.h"
#include "dac/mysql/provider/my_error.h"
#include "tests/dac/mysql/client/api_test_support.h"

namespace dac {
namespace {

using testing::Rows;
using testing::ServerSettings;

std::vector<std::string> Lines(const TStrings& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

bool Holds(const TStrings& list, const std::string& item) { return list.IndexOf(item) >= 0; }

std::string DatabaseErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDatabaseError& e) {
    return e.Message();
  }
  return "no error";
}

// Direct: the built-in protocol, else the client library.
class MyConnectionComponentTest : public ::testing::TestWithParam<bool> {
 protected:
  void TearDown() override {
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) (*it)->Free();
  }

  // A closed connection with the test server's settings.
  TMyConnection* Make(const ServerSettings& s) {
    auto* c = Own(MakeComponent<TMyConnection>(nullptr));
    c->SetLoginPrompt(false);
    c->GetOptions().SetDirect(GetParam());
    c->SetServer(s.host);
    c->SetPort(s.port);
    c->SetUsername(s.user);
    c->SetPassword(s.password);
    c->SetDatabase(s.database);
    return c;
  }
  template <typename T>
  T* Own(T* component) {
    owned_.push_back(component);
    return component;
  }
  static Rows Query(TMyConnection& c, const std::string& sql) {
    return testing::ApiQuery(c.IConnection()->GetAPI(), c.IConnection()->GetHandle(), sql);
  }
  static std::string Value(TMyConnection& c, const std::string& sql) {
    const Rows rows = Query(c, sql);
    return rows.size() == 1 && !rows[0].empty() && rows[0][0] ? *rows[0][0] : "<none>";
  }

 private:
  std::vector<TComponent*> owned_;
};

TEST_P(MyConnectionComponentTest, ConnectsWithTheTransportAndTlsFilesItIsGiven) {
  REQUIRE_TEST_SERVER(s);
  struct Case {
    std::string name;
    TMyProtocol protocol;
    bool tls_files;  // CA, client certificate and key
    std::string host_info_start;
    bool encrypted;
  };
  const std::vector<Case> cases = {
      {"tcp", TMyProtocol::mpTCP, false, s.host, false},
      {"default", TMyProtocol::mpDefault, false, s.host, false},
      {"socket", TMyProtocol::mpSocket, false, "Localhost via UNIX socket", false},
      {"tls", TMyProtocol::mpSSL, true, s.host, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TMyConnection* c = Make(s);
    c->GetOptions().SetProtocol(k.protocol);
    if (k.protocol == TMyProtocol::mpSocket) c->SetServer(s.socket);
    if (k.tls_files) {
      c->SSLOptions().SetCACert(s.ssl_ca);
      c->SSLOptions().SetCert(s.client_cert);
      c->SSLOptions().SetKey(s.client_key);
    }
    c->Connect();
    ASSERT_TRUE(c->GetConnected());
    const TMySQLConnection& server = *c->IConnection();
    EXPECT_EQ(server.GetAPI().mysql_get_host_info(server.GetHandle()).rfind(k.host_info_start, 0), 0u)
        << server.GetAPI().mysql_get_host_info(server.GetHandle());
    const Rows cipher = Query(*c, "SHOW SESSION STATUS LIKE 'Ssl_cipher'");
    ASSERT_EQ(cipher.size(), 1u);
    EXPECT_EQ(cipher[0][1] && !cipher[0][1]->empty(), k.encrypted);
    EXPECT_EQ(Value(*c, "SELECT DATABASE()"), s.database);
    EXPECT_GT(c->GetThreadId(), 0);
    EXPECT_EQ(c->GetServerVersion(), server.GetServerVersion());
    c->Ping();
    c->Disconnect();
  }
}

// A transport that opens nothing, counting the connects asked of it.
class NothingOpens : public TMyIOHandler {
 public:
  TObject* Connect(const std::string&, int, const std::string&, const std::string&, const std::string&) override {
    ++connects;
    return nullptr;
  }
  int connects = 0;
};

TEST_P(MyConnectionComponentTest, OnlyTheBuiltInProtocolTakesACallersTransport) {
  REQUIRE_TEST_SERVER(s);
  NothingOpens transport;
  TMyConnection* c = Make(s);
  c->SetIOHandler(&transport);
  if (GetParam()) {
    // The handler is the way to the server: one that opens nothing fails the connect.
    EXPECT_THROW(c->Connect(), EDatabaseError);
    EXPECT_EQ(transport.connects, 1);
    EXPECT_FALSE(c->GetConnected());
  } else {
    // The client library cannot take one: it opens its own transport.
    c->Connect();
    EXPECT_EQ(transport.connects, 0);
    EXPECT_EQ(Value(*c, "SELECT 6 * 7"), "42");
  }
  c->SetIOHandler(nullptr);
}

TEST_P(MyConnectionComponentTest, TlsFilesTheServerRefusesFailTheConnect) {
  REQUIRE_TEST_SERVER(s);
  TMyConnection* c = Make(s);
  c->GetOptions().SetProtocol(TMyProtocol::mpSSL);
  c->SSLOptions().SetCACert(s.other_ca);
  EXPECT_THROW(c->Connect(), EMyError);
  EXPECT_FALSE(c->GetConnected());
}

TEST_P(MyConnectionComponentTest, SettingsReachTheSessionAndOptionsNeedAClosedConnection) {
  REQUIRE_TEST_SERVER(s);
  TMyConnection* c = Make(s);
  c->GetOptions().SetCharset("latin1");
  c->SetIsolationLevel(TMyIsolationLevel::ilSerializable);
  c->Connect();
  EXPECT_EQ(Value(*c, "SELECT @@character_set_client"), "latin1");

  const std::string refused = "Cannot perform this operation on an open connection";
  EXPECT_EQ(DatabaseErrorOf([&] { c->GetOptions().SetCharset("utf8"); }), refused);
  EXPECT_EQ(DatabaseErrorOf([&] { c->GetOptions().SetCompress(true); }), refused);
  EXPECT_EQ(DatabaseErrorOf([&] { c->GetOptions().SetDirect(!GetParam()); }), refused);
  EXPECT_EQ(DatabaseErrorOf([&] { c->SSLOptions().SetKey("key.pem"); }), refused);
  EXPECT_EQ(c->GetOptions().GetCharset(), "latin1");
  EXPECT_TRUE(c->GetConnected());

  // The database changes on the open session; the port closes it.
  c->SetDatabase("mysql");
  EXPECT_TRUE(c->GetConnected());
  EXPECT_EQ(Value(*c, "SELECT DATABASE()"), "mysql");
  c->SetPort(s.port + 1);
  EXPECT_FALSE(c->GetConnected());
  c->SetPort(s.port);

  // Compressed, on a closed connection.
  c->GetOptions().SetCompress(true);
  c->Connect();
  EXPECT_EQ(Query(*c, "SHOW SESSION STATUS LIKE 'Compression'")[0][1].value_or(""), "ON");
}

TEST_P(MyConnectionComponentTest, PooledConnectionsComeBackToTheNextConnect) {
  REQUIRE_TEST_SERVER(s);
  TMyConnection* first = Make(s);
  first->SetPooling(true);
  first->Connect();
  const int32_t thread = first->GetThreadId();
  EXPECT_NE(first->IConnection()->GetPool(), nullptr);
  first->Disconnect();

  TMyConnection* second = Make(s);
  second->SetPooling(true);
  second->Connect();
  EXPECT_EQ(second->GetThreadId(), thread);

  // Other settings make another pool.
  TMyConnection* other = Make(s);
  other->SetPooling(true);
  other->SetDatabase("mysql");
  other->Connect();
  EXPECT_NE(other->GetThreadId(), thread);
}

TEST_P(MyConnectionComponentTest, ExecSqlRunsTextsAndFillsMissingValuesWithNull) {
  REQUIRE_TEST_SERVER(s);
  TMyConnection* c = Make(s);
  c->Connect();
  c->ExecSQL("CREATE TEMPORARY TABLE conn_exec (id INT AUTO_INCREMENT PRIMARY KEY, a INT, b VARCHAR(10), "
             "c INT)",
             {});
  EXPECT_TRUE(c->ExecSQL("INSERT INTO conn_exec (a, b, c) VALUES (:a, :b, :c)", {Variant(int32_t{7}), Variant("x")})
                  .IsNull());
  c->ExecSQL("INSERT INTO conn_exec (a, b, c) VALUES (:a, :b, :c)",
             {Variant(int32_t{8}), Variant("it's"), Variant(int32_t{9})});
  // The text runs as it is: a colon is no parameter, and rows are read away.
  c->ExecSQL("INSERT INTO conn_exec (a, b) VALUES (1, ':b'); SELECT * FROM conn_exec", {});
  EXPECT_EQ(Value(*c, "SELECT GROUP_CONCAT(CONCAT_WS('/', a, b, IFNULL(c, 'null')) ORDER BY id) FROM conn_exec"),
            "7/x/null,8/it's/9,1/:b/null");
  EXPECT_EQ(c->GetExecuteInfo(), "");
  c->ExecSQL("INSERT INTO conn_exec (a) VALUES (1), (2)", {});
  EXPECT_EQ(c->GetExecuteInfo(), "Records: 2  Duplicates: 0  Warnings: 0");

  try {
    c->ExecSQL("INSERT INTO conn_exec (id) VALUES (1)", {});
    ADD_FAILURE() << "a duplicate key passed";
  } catch (const EMyError& e) {
    EXPECT_EQ(e.ErrorCode(), 1062);
    EXPECT_TRUE(c->IsKeyViolation(e));
    EXPECT_FALSE(c->IsFatalError(e));
  }
  // The connection stays usable after an error.
  EXPECT_EQ(Value(*c, "SELECT COUNT(*) FROM conn_exec"), "5");
}

// A server error carries the server's SQLSTATE, whichever API read it. A
// statement too large for the server ends the session on the server's
// side: the component knows it at once, and comes back on a new session
// outside a transaction, or closes within one.
TEST_P(MyConnectionComponentTest, ServerErrorsCarryTheirStateAndASessionTheServerClosedIsLostAtOnce) {
  REQUIRE_TEST_SERVER(s);
  TMyConnection* c = Make(s);
  c->Connect();
  const auto failure = [&](const std::string& sql) {
    try {
      c->ExecSQL(sql, {});
    } catch (const EMyError& e) {
      return std::to_string(e.ErrorCode()) + " " + e.SqlState();
    }
    return std::string("no error");
  };
  EXPECT_EQ(failure("SELECT * FROM nope"), "1146 42S02");
  const std::string first = Value(*c, "SELECT CONNECTION_ID()");
  const std::string too_large = "SELECT LENGTH('" + std::string(64u << 20, 'x') + "')";
  EXPECT_EQ(failure(too_large), "1153 08S01");
  ASSERT_TRUE(c->GetConnected());
  const std::string second = Value(*c, "SELECT CONNECTION_ID()");
  EXPECT_NE(second, first);
  c->StartTransaction();
  EXPECT_EQ(failure(too_large), "1153 08S01");
  EXPECT_FALSE(c->GetConnected());
  EXPECT_FALSE(c->GetInTransaction());
  c->Connect();
  EXPECT_EQ(Value(*c, "SELECT 6 * 7"), "42");
}

TEST_P(MyConnectionComponentTest, FatalErrorsAreTheLostConnectionCodes) {
  TMyConnection* c = Own(MakeComponent<TMyConnection>(nullptr));
  for (int32_t code : {2003, 2013, 2006, 1053, 1062, 1146, 2002, 1153, 1158, 1927, 2027}) {
    SCOPED_TRACE(code);
    const EMyError error(code, "text");
    EXPECT_EQ(c->IsFatalError(error), code != 1062 && code != 1146 && code != 2002 && code != 2027);
    EXPECT_EQ(c->IsKeyViolation(error), code == 1062);
  }
  EXPECT_EQ(c->GetClientVersion(), "4.1.3 Direct");
  c->GetOptions().SetDirect(false);
  const std::string library = c->GetClientVersion();
  EXPECT_FALSE(library.empty());
  EXPECT_NE(library, "4.1.3 Direct");
  EXPECT_FALSE(c->GetConnected());
}

TEST_P(MyConnectionComponentTest, ListsTablesIndexesRoutinesAndCharsets) {
  REQUIRE_TEST_SERVER(s);
  TMyConnection* c = Make(s);
  c->Connect();
  // Each API's run has its own table and routine: the runs go side by side.
  const std::string api = GetParam() ? "direct" : "client";
  const std::string table = "conn list " + api;
  const std::string proc = "conn_list_proc_" + api;
  c->ExecSQL("DROP TABLE IF EXISTS `" + table + "`", {});
  c->ExecSQL("CREATE TABLE `" + table + "` (id INT PRIMARY KEY, a INT, b INT, KEY two (a, b))", {});
  c->ExecSQL("DROP PROCEDURE IF EXISTS " + proc, {});
  c->ExecSQL("CREATE PROCEDURE " + proc + "() SELECT 1", {});

  TStringList list;
  list.Add("stale");
  c->GetTableNames(list);
  EXPECT_TRUE(Holds(list, table));
  EXPECT_FALSE(Holds(list, "stale"));
  c->GetIndexNames(list, table);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"PRIMARY", "two", "two"}));
  GetIndexNames(c, list, table);
  EXPECT_EQ(list.Count(), 3);
  // A name that would end the quoting is one name.
  EXPECT_THROW(c->GetIndexNames(list, table + "` ; DROP TABLE `" + table), EMyError);
  c->GetStoredProcNames(list);
  EXPECT_TRUE(Holds(list, proc));
  c->GetCharsetNames(list);
  EXPECT_TRUE(Holds(list, "latin1"));
  EXPECT_TRUE(Holds(list, "utf8mb4"));
  c->GetDatabaseNames(list);
  EXPECT_TRUE(Holds(list, s.database));
  EXPECT_TRUE(c->GetConnected());
  EXPECT_EQ(Value(*c, "SELECT COUNT(*) FROM `" + table + "`"), "0");

  c->ExecSQL("DROP PROCEDURE " + proc, {});
  c->ExecSQL("DROP TABLE `" + table + "`", {});
}

TEST_P(MyConnectionComponentTest, ListsOnAClosedConnectionLeaveItClosed) {
  REQUIRE_TEST_SERVER(s);
  TMyConnection* c = Make(s);
  TStringList list;
  c->SetDatabase("");
  c->GetTableNames(list);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(c->IConnection(), nullptr);  // the server was not asked

  c->SetDatabase("no_such_database_here");
  c->GetDatabaseNames(list);
  EXPECT_TRUE(Holds(list, s.database));
  EXPECT_FALSE(c->GetConnected());
  EXPECT_EQ(c->GetDatabase(), "no_such_database_here");
  c->GetStoredProcNames(list);
  EXPECT_FALSE(c->GetConnected());
  EXPECT_EQ(c->GetDatabase(), "no_such_database_here");
  EXPECT_THROW(c->Connect(), EMyError);
  GetDatabasesList(nullptr, list);  // nothing without a connection
}

INSTANTIATE_TEST_SUITE_P(Api, MyConnectionComponentTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "direct" : "client"; });

TEST(StoredProcNamesSQLTest, EachServerVersionReadsItsOwnCatalogue) {
  const std::string routines =
      "SELECT ROUTINE_NAME FROM information_schema.routines WHERE LOWER(routine_schema) = ";
  struct Case {
    std::string version;
    std::string database;
    std::string sql;
  };
  const std::vector<Case> cases = {
      {"4.1.22", "shop", ""},
      {"5.0.0-alpha", "shop", "SELECT name FROM mysql.proc ORDER BY name"},
      {"5.0.3-beta", "Shop", "SELECT name FROM mysql.proc WHERE LOWER(db) = 'shop' ORDER BY name"},
      {"5.0.3", "", "SELECT name FROM mysql.proc WHERE LOWER(db) = 'mysql' ORDER BY name"},
      {"5.0.4", "shop", routines + "'shop' ORDER BY ROUTINE_NAME"},
      {"10.11.6-MariaDB", "", routines + "'mysql' ORDER BY ROUTINE_NAME"},
      {"5.1.0", "my-db", routines + "'my-db' ORDER BY ROUTINE_NAME"},
      {"5.1.0", "x' OR '1'='1", routines + "'x'' or ''1''=''1' ORDER BY ROUTINE_NAME"},
      {"5.1.0", "x\\", routines + "'x\\\\' ORDER BY ROUTINE_NAME"},
  };
  for (const Case& k : cases) EXPECT_EQ(StoredProcNamesSQL(k.version, k.database, {}), k.sql) << k.version;
  TMySQLEscaping no_backslash_escapes;
  no_backslash_escapes.no_backslash_escapes = true;
  EXPECT_EQ(StoredProcNamesSQL("5.1.0", "x\\'", no_backslash_escapes), routines + "_latin1 X'785C27' ORDER BY ROUTINE_NAME");
}

TEST(TableNamesTest, ListsBecomeTextAndBack) {
  TStringList list;
  TableNamesToList("  a, `b c`;d ,, ;e  ", list);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"a", "`b c`", "d", "e"}));
  EXPECT_EQ(TableNamesFromList(list), "a, `b c`, d, e");
  TableNamesToList("", list);
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace dac
