// TValidateThread: runs the manager's validation pass once per period until
// it is terminated. A pass longer than the period is followed at once by the
// next. The thread is always joined: termination wakes it, and destruction
// waits for the pass under way to end.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/manual_reset_event.h"

namespace dac {

class TDKConnectionPoolManager;

class TValidateThread {
 public:
  // Starts the thread; its first pass comes one period from now.
  TValidateThread(TDKConnectionPoolManager& manager, uint32_t period_ms);
  // Terminates and joins.
  ~TValidateThread();
  TValidateThread(const TValidateThread&) = delete;
  TValidateThread& operator=(const TValidateThread&) = delete;

  // Asks the thread to end and wakes it; a pass under way stops before its
  // next pool.
  void Terminate();
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

 private:
  void Execute();

  TDKConnectionPoolManager& manager_;
  const uint32_t period_ms_;
  std::atomic<bool> terminated_{false};
  plat::ManualResetEvent wake_{false};
  std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace dac
