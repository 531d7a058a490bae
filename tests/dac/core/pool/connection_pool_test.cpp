#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "tests/dac/core/support/fake_local_pool.h"
#include "tests/dac/framework/error_text.h"
#include "tests/support/eventually.h"

namespace dac::test {
namespace {

TDKConnectionParameters Parameters(int32_t max, int32_t min = 0, int32_t lifetime = 0) {
  TDKConnectionParameters parameters;
  parameters.MaxPoolSize = max;
  parameters.MinPoolSize = min;
  parameters.ConnectionLifetime = lifetime;
  parameters.Server = "db1";
  return parameters;
}

struct Pool {
  std::shared_ptr<FakeConnectionScript> script = std::make_shared<FakeConnectionScript>();
  std::shared_ptr<FakeLocalPool> pool;

  explicit Pool(const TDKConnectionParameters& parameters)
      : pool(std::make_shared<FakeLocalPool>(nullptr, parameters, script)) {
    pool->SetSlotWait(50);
  }
  // Takes count connections and returns them all, so count lie idle.
  void FillIdle(int count) {
    std::vector<TDKConnection*> out;
    for (int i = 0; i < count; ++i) out.push_back(pool->GetConnection());
    for (TDKConnection* connection : out) connection->ReturnToPool();
  }
};

TEST(ConnectionPool, RefusesImpossibleSizes) {
  struct Case {
    int32_t max, min, lifetime;
    const char* error;
  };
  const Case cases[] = {
      {0, 0, 0,
       "Invalid pool sizes: MinPoolSize 0, MaxPoolSize 0 (MaxPoolSize must be at least 1, MinPoolSize from "
       "0 to MaxPoolSize)"},
      {3, 4, 0, "Invalid pool sizes: MinPoolSize 4, MaxPoolSize 3"},
      {3, -1, 0, "Invalid pool sizes: MinPoolSize -1, MaxPoolSize 3"},
      {3, 0, -1, "Invalid ConnectionLifetime -1: it must be 0 (no limit) or more"},
      {1, 1, 0, "no error"},
  };
  for (const Case& c : cases) {
    const std::string error = ErrorOf([&] { Pool made(Parameters(c.max, c.min, c.lifetime)); });
    EXPECT_EQ(error.substr(0, std::string(c.error).size()), c.error) << c.max << " " << c.min;
  }
}

TEST(ConnectionPool, ExhaustionAndFailedConnectsKeepNoSlot) {
  Pool one(Parameters(1));
  TDKConnection* first = one.pool->GetConnection();
  EXPECT_EQ(ErrorOf([&] { one.pool->GetConnection(); }), "Maximum connections reached in pool");

  // A connection returned while another caller waits goes to that caller.
  one.pool->SetSlotWait(60000);
  TDKConnection* second = nullptr;
  std::thread waiter([&] { second = one.pool->GetConnection(); });
  first->ReturnToPool();
  waiter.join();
  EXPECT_EQ(second, first);
  EXPECT_EQ(one.script->made, 1);
  second->ReturnToPool();

  // More failed connects than slots, then a good one.
  Pool two(Parameters(2));
  two.script->failing_connects = 3;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ErrorOf([&] { two.pool->GetConnection(); }), "Can't connect to the server");
  EXPECT_EQ(two.pool->GetTotalConnectionsCount(), 0);
  TDKConnection* good = two.pool->GetConnection();
  EXPECT_EQ(two.pool->GetTotalConnectionsCount(), 1);
  EXPECT_EQ(two.script->Live(), 1);
  good->ReturnToPool();
}

TEST(ConnectionPool, AWaiterOnAFullPoolDoesNotHoldUpAnotherPool) {
  auto script = std::make_shared<FakeConnectionScript>();
  FakePoolManager manager(script);
  manager.SetSlotWait(60000);
  TDKConnectionParameters full = Parameters(1);
  TDKConnectionParameters other = Parameters(1);
  other.Server = "db2";
  TDKConnection* held = manager.InternalGetConnection(full);
  std::atomic<bool> waiter_done{false};
  std::thread waiter([&] {
    manager.InternalGetConnection(full)->ReturnToPool();
    waiter_done = true;
  });
  // Give the waiter time to start waiting; were it late, the test would pass, never fail, in vain.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  manager.InternalGetConnection(other)->ReturnToPool();
  EXPECT_FALSE(waiter_done);
  held->ReturnToPool();
  waiter.join();
  EXPECT_TRUE(waiter_done);
  EXPECT_EQ(manager.Pools().size(), 2u);
}

TEST(ConnectionPool, LifetimeCountsFromTheConnectOnTheFakeClock) {
  plat::ManualClock clock;
  plat::ScopedProcessClock scoped(clock);
  struct Case {
    int32_t lifetime;
    uint64_t age;
    bool kept;
  };
  const Case cases[] = {{0, 5'000'000'000, true}, {1000, 1000, true}, {1000, 1001, false}};
  for (const Case& c : cases) {
    clock.SetTickCount64(7'000'000'000);
    Pool made(Parameters(2, 0, c.lifetime));
    TDKConnection* connection = made.pool->GetConnection();
    clock.SetTickCount64(7'000'000'000 + c.age);
    connection->ReturnToPool();
    EXPECT_EQ(made.pool->GetTotalConnectionsCount(), c.kept ? 1 : 0) << c.lifetime << " " << c.age;
    EXPECT_EQ(made.script->Live(), c.kept ? 1 : 0);
  }
}

TEST(ConnectionPool, InvalidateChecksBeforeUseAndAsyncClearCloses) {
  Pool made(Parameters(3));
  auto& script = *made.script;
  made.FillIdle(1);
  made.pool->GetConnection()->ReturnToPool();
  EXPECT_EQ(script.checks, 0) << "with Validate off an idle connection is used as it is";

  made.pool->Invalidate();
  TDKConnection* connection = made.pool->GetConnection();
  EXPECT_EQ(script.checks, 1);
  connection->ReturnToPool();
  made.pool->GetConnection()->ReturnToPool();
  EXPECT_EQ(script.checks, 1) << "checked once per Invalidate";

  // A failed or raising check frees the connection and a new one is made.
  script.valid = false;
  made.pool->Invalidate();
  made.pool->GetConnection()->ReturnToPool();
  script.valid = true;
  script.check_raises = true;
  made.pool->Invalidate();
  made.pool->GetConnection()->ReturnToPool();
  script.check_raises = false;
  EXPECT_EQ(script.checks, 3);
  EXPECT_EQ(script.made, 3);
  EXPECT_EQ(script.Live(), 1);

  // One idle and one out: both are closed, the idle one when taken.
  TDKConnection* out = made.pool->GetConnection();
  made.pool->GetConnection()->ReturnToPool();
  made.pool->AsyncClear();
  out->ReturnToPool();
  EXPECT_EQ(script.Live(), 1);
  EXPECT_EQ(made.pool->GetTotalConnectionsCount(), 1);
  connection = made.pool->GetConnection();
  EXPECT_EQ(script.Live(), 1);
  EXPECT_EQ(script.made, 5);
  connection->ReturnToPool();

  made.pool->Clear();
  EXPECT_EQ(made.pool->GetTotalConnectionsCount(), 0);
  EXPECT_EQ(script.Live(), 0);

  TDKConnectionParameters validating = Parameters(3);
  validating.Validate = true;
  Pool checked(validating);
  checked.FillIdle(1);
  for (int i = 0; i < 3; ++i) checked.pool->GetConnection()->ReturnToPool();
  EXPECT_EQ(checked.script->checks, 3) << "with Validate on every taking checks";
}

TEST(ConnectionPoolValidation, QuotaClosesAnEighthOfTheSurplusAndStaleConnectionsGo) {
  Pool made(Parameters(100));
  made.FillIdle(16);
  std::vector<int> idle;
  for (int pass = 0; pass < 9; ++pass) {
    made.pool->Validate();
    idle.push_back(made.pool->GetTotalConnectionsCount());
  }
  EXPECT_EQ(idle, (std::vector<int>{16, 14, 12, 10, 8, 7, 6, 5, 0}));
  EXPECT_EQ(made.script->Live(), 0);

  // Kept by MinPoolSize, a connection not returned for eight passes closes at the ninth.
  Pool kept(Parameters(4, 1));
  kept.FillIdle(1);
  for (int pass = 0; pass < 8; ++pass) kept.pool->Validate();
  EXPECT_EQ(kept.script->Live(), 1);
  kept.pool->Validate();
  EXPECT_EQ(kept.script->Live(), 0);
}

TEST(ConnectionPoolValidation, APassLeavesAnExactlyFullRingUnchecked) {
  struct Case {
    int32_t max;
    int checks;
  };
  for (const Case& c : {Case{2, 0}, Case{3, 2}}) {
    Pool made(Parameters(c.max));
    made.FillIdle(2);
    made.pool->Invalidate();
    made.pool->Validate();
    EXPECT_EQ(made.script->checks, c.checks) << c.max;
    EXPECT_EQ(made.script->Live(), 2);
  }
}

TEST(ConnectionPoolManager, PassesDropEmptyPoolsNobodyHoldsAndSurviveRaisingChecks) {
  auto script = std::make_shared<FakeConnectionScript>();
  FakePoolManager manager(script);
  TDKConnection* connection = manager.InternalGetConnection(Parameters(2));
  connection->SetIsValid(false);
  connection->ReturnToPool();
  std::vector<std::shared_ptr<TDKConnectionPool>> found = manager.Pools();
  manager.Validate();
  EXPECT_EQ(manager.Pools().size(), 1u) << "a pool a caller holds stays";
  found.clear();
  manager.Validate();
  EXPECT_TRUE(manager.Pools().empty());

  // A check that raises inside a pass neither ends the thread nor the pass.
  manager.InternalGetConnection(Parameters(2))->ReturnToPool();
  found = manager.Pools();
  auto* pool = dynamic_cast<FakeLocalPool*>(found[0].get());
  script->check_raises = true;
  pool->Invalidate();
  manager.SetValidatePeriod(1);
  manager.Init();
  EXPECT_TRUE(plat::testing::Eventually([&] { return pool->passes >= 3; }));
  EXPECT_EQ(script->checks, 1);
  EXPECT_EQ(script->Live(), 0);
}

}  // namespace
}  // namespace dac::test
