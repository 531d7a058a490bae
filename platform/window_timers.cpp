#include "platform/window_timers.h"

#include "platform/event_loop.h"

#include <asio/steady_timer.hpp>

#include <algorithm>
#include <chrono>

namespace plat {

struct WindowTimers::Timer {
  explicit Timer(asio::io_context& context) : clock(context) {}

  asio::steady_timer clock;
  std::chrono::milliseconds interval{0};
  // Shared so that a tick keeps its handler alive while the handler replaces it.
  std::shared_ptr<const TickHandler> on_tick;
  // Bumped by every Set, so a wait armed for an older setting knows it is stale.
  uint64_t generation = 0;
  bool killed = false;
};

namespace {

using Clock = std::chrono::steady_clock;

void WaitForTick(EventLoop& loop, const std::shared_ptr<WindowTimers::Timer>& timer);

void Tick(EventLoop& loop, const std::shared_ptr<WindowTimers::Timer>& timer, uint64_t generation) {
  std::shared_ptr<const WindowTimers::TickHandler> on_tick = timer->on_tick;
  loop.Guard([&] { (*on_tick)(); });
  if (timer->killed || timer->generation != generation) return;  // killed or set anew inside the tick
  // Periods missed while the loop was busy merge into the tick just delivered.
  Clock::time_point next = timer->clock.expiry() + timer->interval;
  const Clock::time_point now = Clock::now();
  if (next <= now) next = now + timer->interval;
  timer->clock.expires_at(next);
  WaitForTick(loop, timer);
}

void WaitForTick(EventLoop& loop, const std::shared_ptr<WindowTimers::Timer>& timer) {
  const uint64_t generation = timer->generation;
  timer->clock.async_wait([&loop, timer, generation](const std::error_code& ec) {
    if (ec || timer->killed || timer->generation != generation) return;
    Tick(loop, timer, generation);
  });
}

}  // namespace

WindowTimers::WindowTimers(EventLoop& loop) : loop_(loop) {}

WindowTimers::~WindowTimers() {
  for (auto& [id, timer] : timers_) {
    timer->killed = true;
    timer->clock.cancel();
  }
}

void WindowTimers::Set(TimerId id, uint32_t interval_ms, TickHandler on_tick) {
  if (!on_tick) {
    Kill(id);
    return;
  }
  std::shared_ptr<Timer>& timer = timers_[id];
  if (!timer) timer = std::make_shared<Timer>(loop_.Context());
  timer->clock.cancel();
  ++timer->generation;
  timer->interval = std::chrono::milliseconds(std::max(interval_ms, kMinimumIntervalMs));
  timer->on_tick = std::make_shared<const TickHandler>(std::move(on_tick));
  timer->clock.expires_after(timer->interval);
  WaitForTick(loop_, timer);
}

bool WindowTimers::Kill(TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return false;
  std::shared_ptr<Timer> timer = std::move(it->second);
  timers_.erase(it);
  timer->killed = true;
  timer->clock.cancel();
  return true;
}

bool WindowTimers::IsSet(TimerId id) const { return timers_.count(id) != 0; }

}  // namespace plat
