#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "dac/framework/application.h"
#include "dac/store/win32_timer.h"
#include "platform/event_loop.h"
#include "platform/window_timers.h"

namespace dac {
namespace {

// A timer service driven by hand: the test sees every start and fires ticks itself.
struct FakeClock {
  bool running = false;
  uint32_t interval = 0;
  int starts = 0;
  bool refuse = false;
  ITimerService::TickHandler on_tick;

  void Fire() {
    ASSERT_TRUE(running);
    ITimerService::TickHandler tick = on_tick;  // the tick may free the timer and with it the service
    tick();
  }
};

class FakeService : public ITimerService {
 public:
  explicit FakeService(std::shared_ptr<FakeClock> clock) : clock_(std::move(clock)) {}
  ~FakeService() override { Kill(); }
  bool Start(uint32_t interval_ms, TickHandler on_tick) override {
    if (clock_->refuse) return false;
    *clock_ = FakeClock{true, interval_ms, clock_->starts + 1, false, std::move(on_tick)};
    return true;
  }
  void Kill() noexcept override { clock_->running = false; }

 private:
  std::shared_ptr<FakeClock> clock_;
};

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

TEST(Win32TimerTest, RunsExactlyWhileEnabledIntervalAndHandlerHold) {
  FakeTimer t;
  FakeClock& clock = *t.clock;
  EXPECT_EQ(t.timer->GetInterval(), 1000u);
  EXPECT_TRUE(t.timer->GetEnabled());
  EXPECT_FALSE(clock.running);  // no OnTimer yet
  std::vector<TObject*> senders;
  t.timer->SetOnTimer([&](TObject* sender) { senders.push_back(sender); });
  EXPECT_TRUE(clock.running);
  EXPECT_EQ(clock.interval, 1000u);
  clock.Fire();
  EXPECT_EQ(senders, std::vector<TObject*>{t.timer});

  t.timer->SetInterval(0);
  EXPECT_FALSE(clock.running);
  EXPECT_TRUE(t.timer->GetEnabled());
  t.timer->SetInterval(500);
  EXPECT_TRUE(clock.running);
  EXPECT_EQ(clock.interval, 500u);
  const int starts = clock.starts;
  t.timer->SetEnabled(true);  // unchanged values restart nothing
  t.timer->SetInterval(500);
  EXPECT_EQ(clock.starts, starts);
  t.timer->SetOnTimer(t.timer->GetOnTimer());  // every assignment restarts the period
  EXPECT_EQ(clock.starts, starts + 1);
  t.timer->SetEnabled(false);
  EXPECT_FALSE(clock.running);
  t.timer->SetEnabled(true);
  EXPECT_EQ(clock.starts, starts + 2);
  t.timer->SetOnTimer(nullptr);
  EXPECT_FALSE(clock.running);

  t.timer->SetOnTimer([](TObject*) {});
  t.timer->Free();
  EXPECT_FALSE(clock.running);
}

TEST(Win32TimerTest, TwoTimersTickApart) {
  FakeTimer a;
  FakeTimer b;
  int a_ticks = 0;
  int b_ticks = 0;
  a.timer->SetOnTimer([&](TObject*) { ++a_ticks; });
  b.timer->SetOnTimer([&](TObject*) { ++b_ticks; });
  a.clock->Fire();
  a.clock->Fire();
  b.clock->Fire();
  b.timer->Free();
  a.clock->Fire();
  EXPECT_EQ(a_ticks, 3);
  EXPECT_EQ(b_ticks, 1);
  a.timer->Free();
}

TEST(Win32TimerTest, FailuresOfHandlerStartAndThread) {
  HookRecorder hook;
  FakeTimer t;
  int ticks = 0;
  t.timer->SetOnTimer([&](TObject*) {
    if (++ticks == 1) throw EConvertError("tick failed");
  });
  t.clock->Fire();
  t.clock->Fire();
  EXPECT_EQ(ticks, 2);  // still running after the error
  EXPECT_EQ(hook.senders, std::vector<TObject*>{t.timer});
  EXPECT_EQ(hook.messages, std::vector<std::string>{"tick failed"});

  t.clock->refuse = true;
  t.timer->SetEnabled(false);
  try {
    t.timer->SetEnabled(true);
    ADD_FAILURE() << "no error";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "Not enough timers available");
  }
  EXPECT_FALSE(t.clock->running);

  bool asserted = false;
  std::thread([&] {
    try {
      t.timer->SetInterval(5);
    } catch (const EAssertionFailed&) {
      asserted = true;
    }
  }).join();
  EXPECT_TRUE(asserted);
  EXPECT_EQ(t.timer->GetInterval(), 1000u);
  t.timer->Free();

  // The real service on a thread without an event loop.
  TWin32Timer* loopless = MakeComponent<TWin32Timer>(nullptr);
  EXPECT_THROW(loopless->SetOnTimer([](TObject*) {}), EOutOfResources);
  loopless->Free();
}

TEST(Win32TimerTest, FreedInsideItsOwnTick) {
  HookRecorder hook;
  TComponent* owner = MakeComponent<TComponent>(nullptr);
  auto clock = std::make_shared<FakeClock>();
  TWin32Timer* timer = MakeComponent<TWin32Timer>(owner, std::make_unique<FakeService>(clock));
  timer->SetOnTimer([&](TObject*) {
    owner->Free();  // frees the timer with its owner
    throw EConvertError("after the free");
  });
  clock->Fire();
  EXPECT_FALSE(clock->running);
  EXPECT_EQ(hook.senders, std::vector<TObject*>{nullptr});  // never the freed timer
}

TEST(Win32TimerTest, TicksOnTheCreatingThreadsLoopWithoutABacklog) {
  std::thread::id creator;
  std::vector<std::thread::id> ticks;
  int self_freeing_ticks = 0;
  std::thread worker([&] {
    creator = std::this_thread::get_id();
    plat::EventLoop loop;
    plat::WindowTimers guard(loop);
    guard.Set(1, 5000, [&] { loop.Quit(); });  // a failing test ends, it does not hang
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
