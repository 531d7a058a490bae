// MySQL connection pools: which parameters tell pools apart, and pooled
// connections of the private test server (scripts/with-mariadb) made,
// reused, checked, refused and closed.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dac/mysql/client/mysql_api_client.h"
#include "dac/mysql/client/mysql_api_direct.h"
#include "dac/mysql/client/io_handler.h"
#include "dac/mysql/my_error.h"
#include "dac/store/host_hooks.h"
#include "platform/ascii.h"
#include "tests/dac/mysql/pool_test_support.h"

namespace dac {
namespace {

using testing::PoolParameters;
using testing::SessionId;
using testing::SessionWatcher;

class NoTransport : public TMyIOHandler {
 public:
  TObject* Connect(const std::string&, int, const std::string&, const std::string&, const std::string&) override {
    return nullptr;
  }
};

TEST(MyConnectionParameters, TellPoolsApartByEverySettingThatReachesTheConnection) {
  TMyConnectionParameters base;
  base.Server = "db1";
  base.Username = "ann";
  base.Password = "secret";
  base.Database = "quiz";
  base.Charset = "latin1";
  NoTransport transport;
  struct Case {
    const char* change;
    std::function<void(TMyConnectionParameters&)> apply;
    bool shared;
  };
  const Case cases[] = {
      {"database in other case", [](auto& p) { p.Database = "QUIZ"; }, true},
      {"user and server in other case", [](auto& p) { p.Username = "ANN", p.Server = "DB1"; }, true},
      {"TLS settings without TLS", [](auto& p) { p.SSLCA = "ca.pem", p.SSLCipher = "x", p.SSLKey = "k", p.SSLCert = "c"; }, true},
      {"database", [](auto& p) { p.Database = "quiz2"; }, false},
      {"password in other case", [](auto& p) { p.Password = "SECRET"; }, false},
      {"port", [](auto& p) { p.Port = 3307; }, false},
      {"transport", [&](auto& p) { p.IOHandler = &transport; }, false},
      {"connection timeout", [](auto& p) { p.ConnectionTimeout = 16; }, false},
      {"isolation level", [](auto& p) { p.IsolationLevel = TMyIsolationLevel::ilSerializable; }, false},
      {"compress", [](auto& p) { p.Compress = true; }, false},
      {"unicode", [](auto& p) { p.UseUnicode = true; }, false},
      {"charset in other case", [](auto& p) { p.Charset = "LATIN1"; }, false},
      {"protocol", [](auto& p) { p.Protocol = TMyProtocol::mpTCP; }, false},
      {"embedded", [](auto& p) { p.Embedded = true; }, false},
      {"numeric type", [](auto& p) { p.NumericType = ntBCD; }, false},
      {"client library", [](auto& p) { p.Direct = false; }, false},
      {"pool size", [](auto& p) { p.MaxPoolSize = 5; }, false},
  };
  for (const Case& c : cases) {
    TMyConnectionParameters changed;
    changed.Assign(&base);
    c.apply(changed);
    EXPECT_EQ(base.Equals(&changed), c.shared) << c.change;
    EXPECT_EQ(changed.Equals(&base), c.shared) << c.change;
  }

  // Under TLS each of the four settings counts, with case.
  TMyConnectionParameters tls;
  tls.Assign(&base);
  tls.Protocol = TMyProtocol::mpSSL;
  tls.SSLCipher = "AES";
  tls.SSLCA = "ca.pem";
  tls.SSLKey = "key.pem";
  tls.SSLCert = "cert.pem";
  const std::vector<std::function<void(TMyConnectionParameters&)>> tls_changes = {
      [](auto& p) { p.SSLCipher = "aes"; }, [](auto& p) { p.SSLCA = "CA.pem"; },
      [](auto& p) { p.SSLKey = "other.pem"; }, [](auto& p) { p.SSLCert = "other.pem"; }};
  for (size_t i = 0; i < tls_changes.size(); ++i) {
    TMyConnectionParameters changed;
    changed.Assign(&tls);  // a copy holds all sixteen settings
    EXPECT_TRUE(tls.Equals(&changed));
    tls_changes[i](changed);
    EXPECT_FALSE(tls.Equals(&changed)) << i;
  }

  // Plain parameters compare by what they hold; null never matches.
  TDKConnectionParameters plain;
  plain.Assign(&base);
  EXPECT_TRUE(base.Equals(&plain));
  EXPECT_FALSE(base.Equals(nullptr));
}

class MyConnectionPoolTest : public ::testing::Test {
 protected:
  MyConnectionPoolTest() { manager_.SetSlotWait(2000); }
  TMyConnectionPoolManager manager_;  // no validation thread: passes run by hand
};

TEST_F(MyConnectionPoolTest, EqualParametersReuseASessionAndEachDifferentOneGetsItsOwn) {
  REQUIRE_TEST_SERVER(s);
  const TMyConnectionParameters p = PoolParameters(s);
  TDKConnection* first = manager_.InternalGetConnection(p);
  const uint32_t id = SessionId(first);
  first->ReturnToPool();
  TMyConnectionParameters upper = p;
  upper.Database = plat::AsciiUpperCase(p.Database);
  TDKConnection* again = manager_.InternalGetConnection(upper);
  EXPECT_EQ(again, first);
  EXPECT_EQ(SessionId(again), id);
  again->ReturnToPool();

  // Each setting reaches its own connection, made on a session of its own.
  struct Case {
    const char* change;
    std::function<void(TMyConnectionParameters&)> apply;
    std::function<bool(TMySQLConnection&)> applied;
  };
  const Case cases[] = {
      {"charset", [](auto& p) { p.Charset = "latin1"; },
       [](auto& c) { return testing::ApiQuery(c.GetAPI(), c.GetHandle(), "SELECT @@character_set_client")[0][0] == "latin1"; }},
      {"compress", [](auto& p) { p.Compress = true; },
       [](auto& c) { return testing::ApiQuery(c.GetAPI(), c.GetHandle(), "SHOW SESSION STATUS LIKE 'Compression'")[0][1] == "ON"; }},
      {"unicode", [](auto& p) { p.UseUnicode = true; }, [](auto& c) { return c.GetUseUnicode(); }},
      {"timeout", [](auto& p) { p.ConnectionTimeout = 9; }, [](auto& c) { return c.GetConnectionTimeout() == 9; }},
      {"isolation", [](auto& p) { p.IsolationLevel = TMyIsolationLevel::ilRepeatableRead; },
       [](auto& c) { return c.GetIsolationLevel() == TMyIsolationLevel::ilRepeatableRead; }},
      {"numeric type", [](auto& p) { p.NumericType = ntFmtBCD; }, [](auto& c) { return c.GetNumericType() == ntFmtBCD; }},
      {"protocol", [](auto& p) { p.Protocol = TMyProtocol::mpTCP; }, [](auto& c) { return c.GetProtocol() == TMyProtocol::mpTCP; }},
      {"client library", [](auto& p) { p.Direct = false; }, [](auto& c) { return &c.GetAPI() == &MyAPIClient(); }},
  };
  std::set<uint32_t> sessions = {id};
  for (const Case& c : cases) {
    TMyConnectionParameters changed = p;
    c.apply(changed);
    TDKConnection* connection = manager_.InternalGetConnection(changed);
    auto& my = dynamic_cast<TMySQLConnection&>(*connection);
    EXPECT_EQ(my.GetDatabase(), s.database) << c.change;
    EXPECT_TRUE(c.applied(my)) << c.change;
    EXPECT_TRUE(sessions.insert(SessionId(connection)).second) << c.change;
    connection->ReturnToPool();
  }
  EXPECT_EQ(manager_.Pools().size(), 1 + std::size(cases));
  EXPECT_EQ(&dynamic_cast<TMySQLConnection&>(*first).GetAPI(), &MyAPIDirect());
}

TEST_F(MyConnectionPoolTest, ASessionTheServerEndedIsNotHandedOutAgain) {
  REQUIRE_TEST_SERVER(s);
  SessionWatcher watcher(s);
  // Checked at every take; or, unchecked, after the pool was invalidated.
  for (const bool validate : {true, false}) {
    TMyConnectionParameters p = PoolParameters(s);
    p.Validate = validate;
    TDKConnection* first = manager_.InternalGetConnection(p);
    const uint32_t id = SessionId(first);
    first->ReturnToPool();
    watcher.Kill(id);
    if (!validate) manager_.Pools().back()->Invalidate();

    TDKConnection* next = manager_.InternalGetConnection(p);
    EXPECT_NE(SessionId(next), id) << validate;
    EXPECT_TRUE(watcher.Alive(SessionId(next))) << validate;
    next->ReturnToPool();
    EXPECT_EQ(manager_.Pools().back()->GetTotalConnectionsCount(), 1) << validate;
  }
}

TEST_F(MyConnectionPoolTest, ValidationClosesSessionsLeftIdleAndDropsTheEmptyPool) {
  REQUIRE_TEST_SERVER(s);
  SessionWatcher watcher(s);
  const TMyConnectionParameters p = PoolParameters(s);
  TDKConnection* busy = manager_.InternalGetConnection(p);
  TDKConnection* idle = manager_.InternalGetConnection(p);
  const uint32_t busy_id = SessionId(busy), idle_id = SessionId(idle);
  idle->ReturnToPool();
  // A session survives while it came back within the last eight passes.
  for (int pass = 0; pass < 8; ++pass) manager_.Validate();
  EXPECT_TRUE(watcher.Alive(idle_id));
  manager_.Validate();
  EXPECT_TRUE(watcher.Ends(idle_id));
  EXPECT_EQ(manager_.Pools().size(), 1u) << "one connection is still out";

  busy->ReturnToPool();
  for (int pass = 0; pass < 9; ++pass) manager_.Validate();
  EXPECT_TRUE(watcher.Ends(busy_id));
  EXPECT_TRUE(manager_.Pools().empty());
}

TEST_F(MyConnectionPoolTest, AFailedConnectKeepsNoSlotAndRaisesTheServersError) {
  REQUIRE_TEST_SERVER(s);
  int waits = 0, stops = 0;
  StartWaitProc = [&] { ++waits; };
  StopWaitProc = [&] { ++stops; };
  TMyConnectionParameters p = PoolParameters(s);
  p.Password = "wrong";
  p.MaxPoolSize = 1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      manager_.InternalGetConnection(p);
      ADD_FAILURE() << "connected with a wrong password";
    } catch (const EMyError& e) {
      EXPECT_EQ(e.ErrorCode(), 1045);
    }
  }
  StartWaitProc = nullptr;
  StopWaitProc = nullptr;
  EXPECT_EQ(waits, 2);
  EXPECT_EQ(stops, 2);
  ASSERT_EQ(manager_.Pools().size(), 1u);
  EXPECT_EQ(manager_.Pools()[0]->GetTotalConnectionsCount(), 0);
}

TEST(MyConnectionPoolManager, TheProcessManagerIsMadeOnFirstUseAndClearClosesItsIdleSessions) {
  REQUIRE_TEST_SERVER(s);
  TMyConnectionPoolManager::Clear();  // before any: nothing to do
  SessionWatcher watcher(s);
  const TMyConnectionParameters p = PoolParameters(s);
  TDKConnection* first = TMyConnectionPoolManager::GetConnection(p);
  TDKConnection* out = TMyConnectionPoolManager::GetConnection(p);
  const uint32_t idle_id = SessionId(first), out_id = SessionId(out);
  first->ReturnToPool();
  EXPECT_EQ(TMyConnectionPoolManager::GetConnection(p), first);
  first->ReturnToPool();

  TMyConnectionPoolManager::Clear();
  EXPECT_TRUE(watcher.Ends(idle_id));
  EXPECT_TRUE(watcher.Alive(out_id));
  out->ReturnToPool();  // to a cleared pool: closed
  EXPECT_TRUE(watcher.Ends(out_id));
  TDKConnection* fresh = TMyConnectionPoolManager::GetConnection(p);
  EXPECT_TRUE(watcher.Alive(SessionId(fresh)));
  fresh->ReturnToPool();
  TMyConnectionPoolManager::Clear();
}

}  // namespace
}  // namespace dac
