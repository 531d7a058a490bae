#include "dac/store/runtime/win32_timer.h"

#include "dac/framework/classes/application.h"

namespace dac {

DAC_DEFINE_CLASS(TWin32Timer, TComponent, ::dac::TComponentClassOf<TWin32Timer>)

TWin32Timer::TWin32Timer(TComponent* owner) : TWin32Timer(owner, MakeLoopTimerService()) {}

TWin32Timer::TWin32Timer(TComponent* owner, std::unique_ptr<ITimerService> service)
    : TComponent(owner), service_(std::move(service)) {
  DAC_ASSERT(service_, "A timer needs a timer service");
}

// The service stops the timer as it goes.
TWin32Timer::~TWin32Timer() = default;

void TWin32Timer::BeforeDestruction() {
  Stop();
  TComponent::BeforeDestruction();
}

void TWin32Timer::Stop() noexcept {
  enabled_ = false;
  if (service_) service_->Kill();
}

void TWin32Timer::CheckThread() const {
  DAC_ASSERT(std::this_thread::get_id() == thread_, "A timer is set from a thread that did not create it");
}

void TWin32Timer::SetInterval(uint32_t value) {
  CheckThread();
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TWin32Timer::SetEnabled(bool value) {
  CheckThread();
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TWin32Timer::SetOnTimer(TNotifyEvent handler) {
  CheckThread();
  on_timer_ = std::move(handler);
  UpdateTimer();
}

void TWin32Timer::UpdateTimer() {
  service_->Kill();
  if (interval_ == 0 || !enabled_ || !on_timer_) return;
  if (!service_->Start(interval_, MakeTickHandler())) throw EOutOfResources("Not enough timers available");
}

void TWin32Timer::Timer() {
  // A copy: the handler may replace itself.
  const TNotifyEvent handler = on_timer_;
  if (handler) handler(this);
}

ITimerService::TickHandler TWin32Timer::MakeTickHandler() {
  return [this, alive = std::weak_ptr<char>(alive_)] {
    // The handler may free the timer: after it, `this` is touched only while alive.
    try {
      Timer();
    } catch (const std::exception& error) {
      ApplicationHandleException(alive.expired() ? nullptr : this, error);
    } catch (...) {
      ApplicationHandleException(alive.expired() ? nullptr : this, Exception("Unknown error in a timer event"));
    }
  };
}

}  // namespace dac
