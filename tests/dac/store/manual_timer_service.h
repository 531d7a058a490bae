// A timer service driven by hand: the test sees every start and fires ticks itself.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>

#include "dac/store/runtime/timer_service.h"

namespace dac {

struct FakeClock {
  bool running = false;
  uint32_t interval = 0;
  int starts = 0;
  bool refuse = false;
  ITimerService::TickHandler on_tick;

  // A stopped timer has no tick to give: the test fails with the exception.
  void Fire() {
    if (!running) throw std::logic_error("A tick of a stopped timer");
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

}  // namespace dac
