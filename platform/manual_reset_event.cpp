#include "platform/manual_reset_event.h"

namespace plat {

void ManualResetEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  changed_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool ManualResetEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

bool ManualResetEvent::WaitUntil(const Deadline& deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_until(lock, deadline.When(), [this] { return set_; });
}

}  // namespace plat
