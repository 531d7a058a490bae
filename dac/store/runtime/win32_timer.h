// A non-visual timer component: OnTimer fires every Interval milliseconds on
// the event loop of the thread that created the timer. The data-access
// datasets use it for delayed detail refresh and for automatic refresh.
//
// It runs exactly while Enabled, a non-zero Interval and an assigned OnTimer
// hold together. Changing Enabled or Interval, and every SetOnTimer, stops it
// and starts a whole new period when all three still hold; setting a value it
// already has does nothing. An exception from OnTimer goes to the
// application's exception hook with the timer as sender, and the timer runs
// on. A timer may be freed inside its own OnTimer.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>

#include "dac/framework/classes/component.h"
#include "dac/store/runtime/timer_service.h"

namespace dac {

class TWin32Timer : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  // Interval 1000, Enabled, no OnTimer: nothing runs yet.
  explicit TWin32Timer(TComponent* owner);
  // With the given way to the event loop in place of the calling thread's loop.
  TWin32Timer(TComponent* owner, std::unique_ptr<ITimerService> service);

  // The setters belong to the creating thread (EAssertionFailed elsewhere).
  // A start that fails raises EOutOfResources "Not enough timers available"
  // and leaves the timer stopped, the new value kept.
  uint32_t GetInterval() const { return interval_; }
  void SetInterval(uint32_t value);
  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool value);
  const TNotifyEvent& GetOnTimer() const { return on_timer_; }
  void SetOnTimer(TNotifyEvent handler);

 protected:
  ~TWin32Timer() override;
  void BeforeDestruction() override;
  // One tick: OnTimer(this) when assigned.
  virtual void Timer();

 private:
  void CheckThread() const;
  void UpdateTimer();
  void Stop() noexcept;
  ITimerService::TickHandler MakeTickHandler();

  uint32_t interval_ = 1000;
  bool enabled_ = true;
  TNotifyEvent on_timer_;
  std::unique_ptr<ITimerService> service_;
  std::thread::id thread_ = std::this_thread::get_id();
  // Expires with the timer, so that a tick whose handler freed it knows.
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace dac
