// How a timer component reaches the event loop: one periodic timer per
// service object. The default service runs it on the window timers of the
// calling thread's event loop; tests put a hand-driven one in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace dac {

class ITimerService {
 public:
  using TickHandler = std::function<void()>;

  // Stops the timer.
  virtual ~ITimerService() = default;

  // Starts the periodic timer (a running one is replaced); the first tick
  // comes one period from now, late ticks merge into one. False when it
  // cannot run: no event loop on this thread, or the loop refused.
  virtual bool Start(uint32_t interval_ms, TickHandler on_tick) = 0;
  // Stops it; no tick comes afterwards. Safe inside a tick of its own.
  virtual void Kill() noexcept = 0;
};

// The service over the event loop of the thread that calls Start, which must
// outlive the running timer.
std::unique_ptr<ITimerService> MakeLoopTimerService();

}  // namespace dac
