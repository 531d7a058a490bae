// A manual-reset event: once set it stays set, releasing every waiter, until
// it is reset. Any thread may set, reset or wait.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/deadline.h"

namespace plat {

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool set) : set_(set) {}
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // Waits until the event is set or the deadline passes; true when set.
  bool WaitUntil(const Deadline& deadline);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool set_;
};

}  // namespace plat
