#include "platform/window_timers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "tests/platform/loopback_test_util.h"

namespace plat {
namespace {

using plat::testing::RunUntil;
using Clock = std::chrono::steady_clock;

TEST(WindowTimersTest, TicksPeriodicallyUntilKilled) {
  EventLoop loop;
  WindowTimers timers(loop);
  int ticks = 0;
  timers.Set(7, 10, [&] { ++ticks; });
  EXPECT_TRUE(timers.IsSet(7));
  EXPECT_TRUE(RunUntil(loop, [&] { return ticks >= 3; }));
  EXPECT_TRUE(timers.Kill(7));
  EXPECT_FALSE(timers.Kill(7));
  EXPECT_FALSE(timers.IsSet(7));
  const int at_kill = ticks;
  RunUntil(loop, [] { return false; }, 50);
  EXPECT_EQ(ticks, at_kill);
}

TEST(WindowTimersTest, KilledInsideItsOwnTickNeverFiresAgain) {
  EventLoop loop;
  WindowTimers timers(loop);
  int ticks = 0;
  timers.Set(1, 10, [&] {
    ++ticks;
    timers.Kill(1);
  });
  EXPECT_TRUE(RunUntil(loop, [&] { return ticks > 0; }));
  RunUntil(loop, [] { return false; }, 80);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(timers.IsSet(1));
}

TEST(WindowTimersTest, RestartedInsideItsOwnTickUsesTheNewHandler) {
  EventLoop loop;
  WindowTimers timers(loop);
  int old_ticks = 0;
  int new_ticks = 0;
  // The old handler owns state that dies when it is replaced.
  auto owned = std::make_shared<int>(0);
  timers.Set(1, 10, [&, owned] {
    ++old_ticks;
    ++*owned;
    timers.Set(1, 10, [&] { ++new_ticks; });
    ++*owned;  // still alive while the handler runs
  });
  EXPECT_TRUE(RunUntil(loop, [&] { return new_ticks >= 3; }));
  EXPECT_EQ(old_ticks, 1);
  EXPECT_EQ(*owned, 2);
}

TEST(WindowTimersTest, SetDestroyedInsideATickIsSafe) {
  EventLoop loop;
  auto timers = std::make_unique<WindowTimers>(loop);
  int ticks = 0;
  timers->Set(1, 10, [&] {
    ++ticks;
    timers.reset();
  });
  timers->Set(2, 10, [&] { ++ticks; });
  EXPECT_TRUE(RunUntil(loop, [&] { return ticks > 0; }));
  RunUntil(loop, [] { return false; }, 60);
  EXPECT_EQ(ticks, 1);
}

TEST(WindowTimersTest, LateTicksMergeIntoOne) {
  EventLoop loop;
  WindowTimers timers(loop);
  std::vector<Clock::time_point> ticks;
  timers.Set(1, 20, [&] { ticks.push_back(Clock::now()); });
  // Keep the loop busy for many periods.
  loop.Post([] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); });
  EXPECT_TRUE(RunUntil(loop, [&] { return ticks.size() >= 2; }));
  ASSERT_GE(ticks.size(), 2u);
  // One tick for all the missed periods, then the next a period later, not a burst.
  EXPECT_GE(ticks[1] - ticks[0], std::chrono::milliseconds(15));
}

TEST(WindowTimersTest, ThrowingTickReachesTheHookAndKeepsRunning) {
  EventLoop loop;
  int caught = 0;
  loop.SetExceptionHook([&](std::exception_ptr) { ++caught; });
  WindowTimers timers(loop);
  int ticks = 0;
  timers.Set(1, 10, [&] {
    ++ticks;
    throw std::runtime_error("tick failed");
  });
  EXPECT_TRUE(RunUntil(loop, [&] { return ticks >= 3; }));
  EXPECT_EQ(caught, ticks);
}

TEST(WindowTimersTest, TimersAreIndependentAndShortPeriodsAreRaised) {
  EventLoop loop;
  WindowTimers timers(loop);
  int fast = 0;
  int slow = 0;
  const auto start = Clock::now();
  timers.Set(1, 0, [&] { ++fast; });  // raised to the minimum
  timers.Set(2, 40, [&] { ++slow; });
  EXPECT_TRUE(RunUntil(loop, [&] { return slow >= 1 && fast >= 2; }));
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(40));
  // 10 ms periods, not a busy loop: however late the loop ran, never more
  // ticks than periods went by.
  EXPECT_LE(fast, elapsed / std::chrono::milliseconds(WindowTimers::kMinimumIntervalMs));
}

}  // namespace
}  // namespace plat
