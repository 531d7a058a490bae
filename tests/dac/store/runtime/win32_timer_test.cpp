#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dac/framework/classes/application.h"
#include "dac/store/runtime/win32_timer.h"
#include "platform/event_loop.h"
#include "platform/window_timers.h"
#include "tests/dac/store/manual_timer_service.h"

namespace dac {
namespace {

struct FakeTimer {
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  TWin32Timer* timer = MakeComponent<TWin32Timer>(nullptr, std::make_unique<FakeService>(clock));
};

// Catches what reaches the application's exception hook while it lives.
struct HookRecorder {
  HookRecorder()
      : previous(SetApplicationExceptionHandler([this](TObject* sender, const std::exception& e) {
          senders.push_back(sender);
          messages.push_back(e.what());
        })) {}
  ~HookRecorder() { SetApplicationExceptionHandler(previous); }
  TExceptionHandler previous;
  std::vector<TObject*> senders;
  std::vector<std::string> messages;
};

std::string StateOf(const FakeClock& clock) {
  return (clock.running ? std::to_string(clock.interval) + " ms" : std::string("stopped")) + " #" +
         std::to_string(clock.starts);
}

TEST(Win32TimerTest, RunsExactlyWhileEnabledIntervalAndHandlerHold) {
  FakeTimer t;
  std::vector<TObject*> senders;
  const TNotifyEvent handler = [&](TObject* sender) { senders.push_back(sender); };
  const std::pair<std::function<void()>, std::string> steps[] = {
      {[] {}, "stopped #0"},  // Interval 1000 and Enabled, but no OnTimer yet
      {[&] { t.timer->SetOnTimer(handler); }, "1000 ms #1"},
      {[&] { t.timer->SetInterval(0); }, "stopped #1"},
      {[&] { t.timer->SetInterval(500); }, "500 ms #2"},
      {[&] { t.timer->SetEnabled(true), t.timer->SetInterval(500); }, "500 ms #2"},  // unchanged: no restart
      {[&] { t.timer->SetOnTimer(handler); }, "500 ms #3"},  // every assignment restarts the period
      {[&] { t.timer->SetEnabled(false); }, "stopped #3"},
      {[&] { t.timer->SetEnabled(true); }, "500 ms #4"},
      {[&] { t.timer->SetOnTimer(nullptr); }, "stopped #4"},
      {[&] { t.timer->SetOnTimer(handler), t.clock->Fire(); }, "500 ms #5"},
  };
  for (const auto& [step, state] : steps) {
    step();
    EXPECT_EQ(StateOf(*t.clock), state);
  }
  EXPECT_EQ(senders, std::vector<TObject*>{t.timer});
  t.timer->Free();
  EXPECT_EQ(StateOf(*t.clock), "stopped #5");
}

TEST(Win32TimerTest, HandlerErrorsAndFreeingInsideATick) {
  HookRecorder hook;
  FakeTimer failing;
  FakeTimer other;
  int ticks = 0;
  int other_ticks = 0;
  failing.timer->SetOnTimer([&](TObject*) {
    if (++ticks == 1) throw EConvertError("tick failed");
  });
  other.timer->SetOnTimer([&](TObject*) { ++other_ticks; });
  failing.clock->Fire();
  failing.clock->Fire();
  other.clock->Fire();
  EXPECT_EQ(ticks, 2);  // still running after the error
  EXPECT_EQ(other_ticks, 1);
  EXPECT_EQ(hook.senders, std::vector<TObject*>{failing.timer});
  EXPECT_EQ(hook.messages, std::vector<std::string>{"tick failed"});
  failing.timer->Free();

  // A handler that replaces itself runs to its end.
  auto log = std::make_shared<std::string>();
  other.timer->SetOnTimer([&, log](TObject*) {
    other.timer->SetOnTimer(nullptr);
    *log += "ran to the end";
  });
  other.clock->Fire();
  EXPECT_EQ(*log, "ran to the end");

  // A handler that frees its timer (here with the timer's owner), then fails.
  TComponent* owner = MakeComponent<TComponent>(nullptr);
  owner->InsertComponent(other.timer);
  other.timer->SetOnTimer([&](TObject*) {
    owner->Free();
    throw EConvertError("after the free");
  });
  other.clock->Fire();
  EXPECT_FALSE(other.clock->running);
  EXPECT_EQ(hook.senders.back(), nullptr);  // never the freed timer
}

TEST(Win32TimerTest, RefusedStartsAndForeignThreads) {
  FakeTimer t;
  t.clock->refuse = true;
  try {
    t.timer->SetOnTimer([](TObject*) {});
    ADD_FAILURE() << "no error";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "Not enough timers available");
  }
  EXPECT_FALSE(t.clock->running);
  std::thread([&] { EXPECT_THROW(t.timer->SetInterval(5), EAssertionFailed); }).join();
  EXPECT_EQ(t.timer->GetInterval(), 1000u);
  t.timer->Free();

  // The real service on a thread without an event loop.
  TWin32Timer* loopless = MakeComponent<TWin32Timer>(nullptr);
  EXPECT_THROW(loopless->SetOnTimer([](TObject*) {}), EOutOfResources);
  loopless->Free();
}

TEST(Win32TimerTest, TicksOnTheCreatingThreadsLoopWithoutABacklog) {
  std::thread::id creator;
  std::vector<std::thread::id> ticks;
  int self_freeing_ticks = 0;
  std::thread worker([&] {
    creator = std::this_thread::get_id();
    plat::EventLoop loop;
    plat::WindowTimers guard(loop);
    guard.Set(1, 30000, [&] { loop.Quit(); });  // a failing test ends, it does not hang
    TWin32Timer* timer = MakeComponent<TWin32Timer>(nullptr);
    TWin32Timer* fence = MakeComponent<TWin32Timer>(nullptr);
    TWin32Timer* self_freeing = MakeComponent<TWin32Timer>(nullptr);
    self_freeing->SetInterval(10);
    self_freeing->SetOnTimer([&](TObject*) {
      ++self_freeing_ticks;
      self_freeing->Free();
    });
    timer->SetInterval(20);
    timer->SetOnTimer([&](TObject*) {
      ticks.push_back(std::this_thread::get_id());
      if (ticks.size() != 2) return;
      // Busy for ten periods; then count the ticks that come before a fence 1.5 periods on.
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      fence->SetInterval(30);
      fence->SetOnTimer([&](TObject*) { loop.Quit(); });
    });
    loop.Run();
    timer->Free();
    fence->Free();
  });
  worker.join();
  ASSERT_GE(ticks.size(), 2u);
  EXPECT_EQ(std::count(ticks.begin(), ticks.end(), creator), static_cast<long>(ticks.size()));
  // The ten missed periods merge into one tick; a backlog would bring about ten.
  EXPECT_LE(ticks.size() - 2, 3u);
  EXPECT_EQ(self_freeing_ticks, 1);
}

}  // namespace
}  // namespace dac
