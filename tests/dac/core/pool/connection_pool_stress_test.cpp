#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "tests/dac/core/support/fake_local_pool.h"
#include "tests/dac/framework/error_text.h"
#include "tests/support/eventually.h"

namespace dac::test {
namespace {

TDKConnectionParameters Parameters(int32_t max) {
  TDKConnectionParameters parameters;
  parameters.MaxPoolSize = max;
  parameters.Server = "db1";
  return parameters;
}

TEST(ConnectionPoolStress, ManyThreadsNeverHoldMoreThanTheMaximum) {
  auto script = std::make_shared<FakeConnectionScript>();
  {
    FakePoolManager manager(script);
    manager.SetValidatePeriod(2);
    manager.Init();
    std::atomic<int> most_live{0};
    std::atomic<int> running{8};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < 1000; ++i) {
          TDKConnection* connection = manager.InternalGetConnection(Parameters(4));
          int live = script->Live();
          int most = most_live;
          while (live > most && !most_live.compare_exchange_weak(most, live)) {
          }
          connection->ReturnToPool();
        }
        --running;
      });
    }
    // Versions move and passes also run from here while the threads work.
    for (int i = 0; running > 0; ++i) {
      if (i % 3 == 0) manager.InternalAsyncClear();
      manager.Validate();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_LE(most_live, 4);
    EXPECT_GT(script->made, 0);
  }
  EXPECT_EQ(script->Live(), 0);
}

TEST(ConnectionPoolShutdown, WaitsForASlowPassAndFreesWhatComesBackLater) {
  auto script = std::make_shared<FakeConnectionScript>();
  auto manager = std::make_unique<FakePoolManager>(script);
  manager->InternalGetConnection(Parameters(4))->ReturnToPool();
  TDKConnection* out_at_clear = manager->InternalGetConnection(Parameters(4));
  manager->InternalClear();
  out_at_clear->ReturnToPool();
  EXPECT_EQ(script->Live(), 0) << "returned to a cleared pool: freed";

  TDKConnection* out_at_shutdown = manager->InternalGetConnection(Parameters(4));
  manager->InternalGetConnection(Parameters(4))->ReturnToPool();
  manager->Pools()[0]->Invalidate();
  script->check_ms = 200;
  manager->SetValidatePeriod(1);
  manager->Init();
  ASSERT_TRUE(plat::testing::Eventually([&] { return script->checks > 0; }));
  manager.reset();  // while the pass sleeps in the check
  EXPECT_EQ(script->Live(), 1);
  out_at_shutdown->ReturnToPool();
  EXPECT_EQ(script->Live(), 0) << "returned after shutdown: freed";
}

}  // namespace
}  // namespace dac::test
