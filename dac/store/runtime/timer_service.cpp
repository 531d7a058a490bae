#include "dac/store/runtime/timer_service.h"

#include <exception>

#include "platform/event_loop.h"
#include "platform/window_timers.h"

namespace dac {

namespace {

class LoopTimerService final : public ITimerService {
 public:
  bool Start(uint32_t interval_ms, TickHandler on_tick) override {
    Kill();
    plat::EventLoop* loop = plat::EventLoop::Current();
    if (!loop) return false;
    try {
      // A set of the timer's own, so the timer id only has to be unique within it.
      timers_ = std::make_unique<plat::WindowTimers>(*loop);
      timers_->Set(kTimerId, interval_ms, std::move(on_tick));
      return true;
    } catch (const std::exception&) {
      timers_.reset();
      return false;
    }
  }

  // Dropping the set kills its timer; the set allows that inside its own tick.
  void Kill() noexcept override { timers_.reset(); }

 private:
  static constexpr plat::WindowTimers::TimerId kTimerId = 1;
  std::unique_ptr<plat::WindowTimers> timers_;
};

}  // namespace

std::unique_ptr<ITimerService> MakeLoopTimerService() { return std::make_unique<LoopTimerService>(); }

}  // namespace dac
