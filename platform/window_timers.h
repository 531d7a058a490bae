// Window timers: periodic timers known by an id, as a window held them. A
// timer that falls behind delivers one tick, not one per missed period, and
// then keeps its period from that tick. Setting or killing a timer from inside
// its own tick (or dropping the whole set there) is safe.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace plat {

class EventLoop;

class WindowTimers {
 public:
  using TimerId = uint32_t;
  using TickHandler = std::function<void()>;

  // Periods below this are raised to it, as window timers did.
  static constexpr uint32_t kMinimumIntervalMs = 10;

  // The loop must outlive the set.
  explicit WindowTimers(EventLoop& loop);
  // Kills every timer of the set.
  ~WindowTimers();

  WindowTimers(const WindowTimers&) = delete;
  WindowTimers& operator=(const WindowTimers&) = delete;

  // Starts timer `id`, or restarts it with the new period and handler when it
  // runs already; its first tick comes one period from now. A handler that
  // throws reaches the loop's exception hook and the timer keeps running.
  // An empty handler kills the timer.
  void Set(TimerId id, uint32_t interval_ms, TickHandler on_tick);
  // Stops timer `id`; no tick of it runs afterwards. False when it was not set.
  bool Kill(TimerId id);
  bool IsSet(TimerId id) const;

  struct Timer;  // opaque

 private:
  EventLoop& loop_;
  std::map<TimerId, std::shared_ptr<Timer>> timers_;
};

}  // namespace plat
