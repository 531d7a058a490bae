// Pooled sessions go only to connections that would have opened the very
// same session: the user name and the database as written (the server
// tells them apart by case), the password, the TLS files. A session the
// relay cut on its way is not handed out again. Connection components with
// Pooling on, against the private test server; the accounts and databases
// are made here and dropped at the end.
#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dac/framework/data/field.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/components/my_connection_options.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/provider/my_connection_pool.h"
#include "tests/dac/mysql/my_provider_test_support.h"
#include "tests/dac/mysql/support/relay.h"

namespace dac {
namespace {

using testing::Relay;

// Who the session is, in which database, and which session it is.
struct Identity {
  std::string user;
  std::string database;
  std::string session;
};

struct Login {
  Login(std::string user_, std::string password_, std::string database_, bool tls_ = false, std::string key_ = "",
        std::string cert_ = "", std::string ca_ = "")
      : user(std::move(user_)),
        password(std::move(password_)),
        database(std::move(database_)),
        tls(tls_),
        key(std::move(key_)),
        cert(std::move(cert_)),
        ca(std::move(ca_)) {}
  std::string user;
  std::string password;
  std::string database;
  bool tls;
  std::string key, cert, ca;
};

class MyPoolIdentityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto s = testing::TestServer();
    if (!s) GTEST_SKIP() << "no test server";
    settings = *s;
    admin = testing::OpenConnection(testing::DirectApi(), settings);
    // Two databases whose names differ only in case, each with a table
    // that holds its name; named for the test, as tests run side by side.
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    lower_db = "pool_" + std::to_string(std::hash<std::string>{}(test) % 1000000);
    upper_db = Upper(lower_db);
    for (const std::string& db : {lower_db, upper_db}) {
      admin->ExecStatement("DROP DATABASE IF EXISTS " + db);
      admin->ExecStatement("CREATE DATABASE " + db);
      admin->ExecStatement("CREATE TABLE " + db + ".t (v VARCHAR(20))");
      admin->ExecStatement("INSERT INTO " + db + ".t VALUES ('" + db + "')");
    }
    TMyConnectionPoolManager::Clear();
  }
  void TearDown() override {
    for (TMyConnection* made : made_) made->Free();
    TMyConnectionPoolManager::Clear();
    if (!admin) return;
    if (!upper_user.empty()) DropUpperUser();
    for (const std::string& db : {lower_db, upper_db}) admin->ExecStatement("DROP DATABASE IF EXISTS " + db);
  }
  static std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
  }
  // An account named as the test user but in capitals, which may do nothing.
  void MakeUpperUser() {
    upper_user = Upper(settings.user);
    DropUpperUser();
    admin->ExecStatement("CREATE USER '" + upper_user + "'@'127.0.0.1' IDENTIFIED BY 'upper-pw'");
  }
  void DropUpperUser() { admin->ExecStatement("DROP USER IF EXISTS '" + upper_user + "'@'127.0.0.1'"); }

  TMyConnection* Pooled(const Login& login, int port = 0) {
    auto* c = MakeComponent<TMyConnection>(nullptr);
    made_.push_back(c);
    c->SetLoginPrompt(false);
    c->SetServer(settings.host);
    c->SetPort(port ? port : settings.port);
    c->SetUsername(login.user);
    c->SetPassword(login.password);
    c->SetDatabase(login.database);
    if (login.tls) {
      c->GetOptions().SetProtocol(TMyProtocol::mpSSL);
      c->SSLOptions().SetKey(login.key);
      c->SSLOptions().SetCert(login.cert);
      c->SSLOptions().SetCACert(login.ca);
    }
    c->SetPooling(true);
    return c;
  }
  static std::string One(TMyConnection* c, const std::string& sql) {
    auto* q = MakeComponent<TMyQuery>(nullptr);
    q->SetConnection(c);
    q->SQL().SetText(sql);
    std::string value;
    try {
      q->Open();
      value = q->Fields().Fields(0)->GetAsString();
    } catch (...) {
      q->Free();
      throw;
    }
    q->Free();
    return value;
  }
  static Identity Who(TMyConnection* c) {
    return {One(c, "SELECT CURRENT_USER()"), One(c, "SELECT DATABASE()"), One(c, "SELECT CONNECTION_ID()")};
  }

  testing::ServerSettings settings;
  std::unique_ptr<TMySQLConnection> admin;
  std::string lower_db, upper_db;
  std::string upper_user;

 private:
  std::vector<TMyConnection*> made_;
};

TEST_F(MyPoolIdentityTest, APooledSessionGoesOnlyToTheSettingsThatOpenedIt) {
  const testing::ServerSettings& s = settings;
  MakeUpperUser();
  const Login plain{s.user, s.password, lower_db};
  const Login x509{s.x509_user, s.password, s.database, true, s.client_key, s.client_cert, s.ssl_ca};
  enum Outcome { kShared, kOwnSession, kRefused };
  struct Case {
    const char* name;
    Login first;
    Login second;
    Outcome outcome;
    std::string user;      // CURRENT_USER() of the second, without the host
    std::string database;  // and its DATABASE()
  };
  const Case cases[] = {
      {"the same settings share", plain, plain, kShared, s.user, lower_db},
      {"a database differing in case", plain, {s.user, s.password, upper_db}, kOwnSession, s.user, upper_db},
      {"a user differing in case", plain, {upper_user, "upper-pw", lower_db}, kRefused, "", ""},
      {"a user differing in case, no database", {s.user, s.password, ""}, {upper_user, "upper-pw", ""}, kOwnSession,
       upper_user, ""},
      {"a wrong password", plain, {s.user, "wrong", lower_db}, kRefused, "", ""},
      {"the password in another case", plain, {s.user, Upper(s.password), lower_db}, kRefused, "", ""},
      {"TLS with the client certificate shares", x509, x509, kShared, s.x509_user, s.database},
      {"TLS without the client certificate",
       x509,
       {s.x509_user, s.password, s.database, true, "", "", s.ssl_ca},
       kRefused,
       "",
       ""},
      {"TLS trusting another authority",
       x509,
       {s.x509_user, s.password, s.database, true, s.client_key, s.client_cert, s.other_ca},
       kRefused,
       "",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMyConnectionPoolManager::Clear();
    TMyConnection* first = Pooled(c.first);
    first->Connect();
    const Identity before = Who(first);
    first->Disconnect();
    TMyConnection* second = Pooled(c.second);
    bool refused = false;
    try {
      second->Connect();
    } catch (const std::exception&) {
      refused = true;
    }
    EXPECT_EQ(refused, c.outcome == kRefused);
    if (refused) continue;
    const Identity after = Who(second);
    EXPECT_EQ(after.session == before.session, c.outcome == kShared);
    EXPECT_EQ(after.user.substr(0, after.user.find('@')), c.user);
    EXPECT_EQ(after.database, c.database);
    // The table of that very database.
    if (c.database == lower_db || c.database == upper_db) {
      EXPECT_EQ(One(second, "SELECT v FROM t"), c.database);
    }
    second->Disconnect();
  }

  // The account in capitals has no rights: a pooled session of the test
  // user would have read the table.
  TMyConnectionPoolManager::Clear();
  TMyConnection* full = Pooled({s.user, s.password, ""});
  full->Connect();
  EXPECT_EQ(One(full, "SELECT v FROM " + lower_db + ".t"), lower_db);
  full->Disconnect();
  TMyConnection* none = Pooled({upper_user, "upper-pw", ""});
  none->Connect();
  EXPECT_THROW(One(none, "SELECT v FROM " + lower_db + ".t"), std::exception);
}

TEST_F(MyPoolIdentityTest, AConnectionMovedToAnotherDatabaseGivesItsSessionNotBackToThePool) {
  TMyConnection* moved = Pooled({settings.user, settings.password, lower_db});
  moved->Connect();
  const Identity before = Who(moved);
  moved->SetDatabase(upper_db);
  EXPECT_EQ(Who(moved).database, upper_db);
  moved->Disconnect();
  TMyConnection* next = Pooled({settings.user, settings.password, lower_db});
  next->Connect();
  const Identity after = Who(next);
  EXPECT_NE(after.session, before.session);
  EXPECT_EQ(after.database, lower_db);
}

TEST_F(MyPoolIdentityTest, ASessionCutOnItsWayIsNotHandedOutAgain) {
  Relay relay(settings.host, settings.port);
  const Login login{settings.user, settings.password, lower_db};
  TMyConnection* first = Pooled(login, relay.Port());
  first->Connect();
  const Identity before = Who(first);
  relay.CutOn("cut here", Relay::Cut::kAfter);
  EXPECT_THROW(One(first, "SELECT 'cut here'"), std::exception);
  EXPECT_EQ(relay.Cuts(), 1);
  first->Disconnect();
  // Several components at once, each with a live session of its own.
  std::vector<TMyConnection*> next;
  std::vector<std::string> sessions;
  for (int i = 0; i < 3; ++i) {
    next.push_back(Pooled(login, relay.Port()));
    next.back()->Connect();
    sessions.push_back(Who(next.back()).session);
    EXPECT_NE(sessions.back(), before.session);
    EXPECT_EQ(One(next.back(), "SELECT v FROM t"), lower_db);
  }
  EXPECT_NE(sessions[0], sessions[1]);
  EXPECT_NE(sessions[1], sessions[2]);
}

}  // namespace
}  // namespace dac
