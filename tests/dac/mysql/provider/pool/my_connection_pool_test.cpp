// MySQL connection pools: the settings that tell pools apart, and pooled
// sessions of the private test server (scripts/with-mariadb) reused, checked,
// closed by validation, refused, and shared by many threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "dac/mysql/client/api/mysql_api_client.h"
#include "dac/mysql/client/transport/io_handler.h"
#include "dac/mysql/provider/my_error.h"
#include "dac/store/runtime/host_hooks.h"
#include "tests/dac/mysql/pool_test_support.h"

namespace dac {
namespace {

using testing::My;
using testing::MyQuery;
using testing::SessionId;

class NoTransport : public TMyIOHandler {
 public:
  TObject* Connect(const std::string&, int, const std::string&, const std::string&, const std::string&) override {
    return nullptr;
  }
};

TEST(MyConnectionParameters, EverySettingThatReachesTheConnectionTellsPoolsApart) {
  TMyConnectionParameters base;
  base.Database = "quiz";
  base.Username = "quizzer";
  base.Server = "db.example";
  base.Charset = "latin1";
  NoTransport transport;
  using Change = std::function<void(TMyConnectionParameters&)>;
  // A change, and whether pools stay shared without TLS and under TLS.
  const std::vector<std::tuple<const char*, Change, bool, bool>> cases = {
      {"database case", [](auto& p) { p.Database = "QUIZ"; }, false, false},
      {"user name case", [](auto& p) { p.Username = "Quizzer"; }, false, false},
      {"server case", [](auto& p) { p.Server = "DB.example"; }, false, false},
      {"TLS cipher", [](auto& p) { p.SSLCipher = "AES"; }, true, false},
      {"TLS CA", [](auto& p) { p.SSLCA = "ca.pem"; }, true, false},
      {"TLS key", [](auto& p) { p.SSLKey = "key.pem"; }, true, false},
      {"TLS certificate", [](auto& p) { p.SSLCert = "cert.pem"; }, true, false},
      {"database", [](auto& p) { p.Database = "quiz2"; }, false, false},
      {"password case", [](auto& p) { p.Password = "X"; }, false, false},
      {"port", [](auto& p) { p.Port = 3307; }, false, false},
      {"transport", [&](auto& p) { p.IOHandler = &transport; }, false, false},
      {"timeout", [](auto& p) { p.ConnectionTimeout = 16; }, false, false},
      {"isolation", [](auto& p) { p.IsolationLevel = TMyIsolationLevel::ilSerializable; }, false, false},
      {"compress", [](auto& p) { p.Compress = true; }, false, false},
      {"unicode", [](auto& p) { p.UseUnicode = true; }, false, false},
      {"charset case", [](auto& p) { p.Charset = "LATIN1"; }, false, false},
      {"protocol", [](auto& p) { p.Protocol = TMyProtocol::mpTCP; }, false, false},
      {"embedded", [](auto& p) { p.Embedded = true; }, false, false},
      {"numeric type", [](auto& p) { p.NumericType = ntBCD; }, false, false},
      {"client library", [](auto& p) { p.Direct = false; }, false, false},
  };
  for (const bool tls : {false, true}) {
    base.Protocol = tls ? TMyProtocol::mpSSL : TMyProtocol::mpDefault;
    for (const auto& [name, change, shared, shared_under_tls] : cases) {
      TMyConnectionParameters changed;
      changed.Assign(&base);
      EXPECT_TRUE(base.Equals(&changed)) << name;
      change(changed);
      EXPECT_EQ(base.Equals(&changed), tls ? shared_under_tls : shared) << name << (tls ? " under TLS" : "");
    }
  }
  TDKConnectionParameters plain;
  plain.Assign(&base);
  EXPECT_TRUE(base.Equals(&plain));
}

class MyConnectionPoolTest : public ::testing::Test {
 protected:
  // A caller waits for a free slot as long as it takes: eight threads on
  // three sessions of a busy server can wait long.
  MyConnectionPoolTest() { manager_.SetSlotWait(static_cast<uint32_t>(plat::testing::kHungTestLimit.count())); }
  TMyConnectionPoolManager manager_;  // no validation thread: passes run by hand
};

TEST_F(MyConnectionPoolTest, EqualParametersReuseTheSessionAndOthersGetOneWithTheirSettings) {
  REQUIRE_TEST_SERVER(s);
  const TMyConnectionParameters p = testing::PoolParameters(s);
  TDKConnection* first = manager_.InternalGetConnection(p);
  first->ReturnToPool();
  TMyConnectionParameters same = p;
  EXPECT_EQ(manager_.InternalGetConnection(same), first);
  first->ReturnToPool();

  TMyConnectionParameters other = p;
  other.Charset = "latin1";
  other.Compress = true;
  other.ConnectionTimeout = 9;
  other.IsolationLevel = TMyIsolationLevel::ilRepeatableRead;
  other.NumericType = ntFmtBCD;
  other.Protocol = TMyProtocol::mpTCP;
  other.Direct = false;
  TDKConnection* made = manager_.InternalGetConnection(other);
  EXPECT_NE(SessionId(made), SessionId(first));
  EXPECT_EQ(MyQuery(made, "SELECT @@character_set_client, DATABASE()"), (testing::Rows{{"latin1", s.database}}));
  EXPECT_EQ(MyQuery(made, "SHOW SESSION STATUS LIKE 'Compression'").at(0)[1], "ON");
  TMySQLConnection& my = My(made);
  EXPECT_EQ(std::tuple(my.GetConnectionTimeout(), my.GetIsolationLevel(), my.GetNumericType(), my.GetProtocol()),
            std::tuple(9, TMyIsolationLevel::ilRepeatableRead, ntFmtBCD, TMyProtocol::mpTCP));
  EXPECT_EQ(&my.GetAPI(), &MyAPIClient());
  made->ReturnToPool();
  EXPECT_EQ(manager_.Pools().size(), 2u);
}

TEST_F(MyConnectionPoolTest, ASessionTheServerEndedIsNotHandedOutAgain) {
  REQUIRE_TEST_SERVER(s);
  testing::SessionWatcher watcher(s);
  // Checked at every take; or, unchecked, after the pool was invalidated.
  for (const bool validate : {true, false}) {
    TMyConnectionParameters p = testing::PoolParameters(s);
    p.Validate = validate;
    TDKConnection* first = manager_.InternalGetConnection(p);
    const uint32_t id = SessionId(first);
    first->ReturnToPool();
    watcher.Kill(id);
    if (!validate) manager_.Pools().back()->Invalidate();
    TDKConnection* next = manager_.InternalGetConnection(p);
    EXPECT_NE(SessionId(next), id);
    EXPECT_TRUE(watcher.Alive(SessionId(next)));
    next->ReturnToPool();
  }
}

TEST_F(MyConnectionPoolTest, ValidationClosesSessionsLeftIdleForEightPassesAndDropsTheEmptyPool) {
  REQUIRE_TEST_SERVER(s);
  testing::SessionWatcher watcher(s);
  TDKConnection* connection = manager_.InternalGetConnection(testing::PoolParameters(s));
  const uint32_t id = SessionId(connection);
  connection->ReturnToPool();
  for (int pass = 0; pass < 8; ++pass) manager_.Validate();
  EXPECT_TRUE(watcher.Alive(id));
  manager_.Validate();
  EXPECT_TRUE(watcher.Ends(id));
  EXPECT_TRUE(manager_.Pools().empty());
}

TEST_F(MyConnectionPoolTest, AFailedConnectKeepsNoSlotAndRaisesTheServersError) {
  REQUIRE_TEST_SERVER(s);
  int waiting = 0;
  StartWaitProc = [&] { ++waiting; };
  StopWaitProc = [&] { --waiting; };
  TMyConnectionParameters p = testing::PoolParameters(s);
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
  StartWaitProc = StopWaitProc = nullptr;
  EXPECT_EQ(waiting, 0);
  EXPECT_EQ(manager_.Pools().at(0)->GetTotalConnectionsCount(), 0);
}

TEST_F(MyConnectionPoolTest, ThreadsNeverShareASessionNorHoldMoreThanTheMaximum) {
  REQUIRE_TEST_SERVER(s);
  TMyConnectionParameters p = testing::PoolParameters(s);
  p.MaxPoolSize = 3;
  p.Validate = true;
  manager_.SetValidatePeriod(5);
  manager_.Init();
  std::mutex lock;
  std::set<TDKConnection*> out;
  size_t most_out = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        TDKConnection* connection = manager_.InternalGetConnection(p);
        {
          std::lock_guard<std::mutex> guard(lock);
          EXPECT_TRUE(out.insert(connection).second) << "handed out twice";
          most_out = std::max(most_out, out.size());
        }
        EXPECT_EQ(MyQuery(connection, "SELECT CONNECTION_ID()").at(0)[0], std::to_string(SessionId(connection)));
        {
          std::lock_guard<std::mutex> guard(lock);
          out.erase(connection);
        }
        connection->ReturnToPool();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_LE(most_out, 3u);
}

}  // namespace
}  // namespace dac
