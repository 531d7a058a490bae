// Many threads share a small MySQL pool of the private test server while
// validation passes run (built under ThreadSanitizer too).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/dac/mysql/pool_test_support.h"

namespace dac {
namespace {

TEST(MyConnectionPoolStress, ThreadsNeverShareASessionNorHoldMoreThanTheMaximum) {
  REQUIRE_TEST_SERVER(s);
  TMyConnectionParameters p = testing::PoolParameters(s);
  p.MaxPoolSize = 3;
  p.Validate = true;
  TMyConnectionPoolManager manager;
  manager.SetValidatePeriod(5);
  manager.Init();

  std::mutex lock;
  std::set<TDKConnection*> out;
  size_t most_out = 0;
  std::atomic<int> wrong_sessions{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        TDKConnection* connection = manager.InternalGetConnection(p);
        {
          std::lock_guard<std::mutex> guard(lock);
          EXPECT_TRUE(out.insert(connection).second) << "handed out twice";
          most_out = std::max(most_out, out.size());
        }
        auto& my = dynamic_cast<TMySQLConnection&>(*connection);
        const testing::Rows rows = testing::ApiQuery(my.GetAPI(), my.GetHandle(), "SELECT CONNECTION_ID()");
        if (rows.size() != 1 || rows[0][0] != std::to_string(testing::SessionId(connection))) ++wrong_sessions;
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
  EXPECT_EQ(wrong_sessions, 0);
  EXPECT_LE(manager.Pools().at(0)->GetTotalConnectionsCount(), 3);
}

}  // namespace
}  // namespace dac
