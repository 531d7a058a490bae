#include "dac/core/pool/validate_thread.h"

#include "dac/core/pool/connection_pool_manager.h"

namespace dac {

TValidateThread::TValidateThread(TDKConnectionPoolManager& manager, uint32_t period_ms)
    : manager_(manager), period_ms_(period_ms), thread_([this] { Execute(); }) {}

TValidateThread::~TValidateThread() {
  Terminate();
  thread_.join();
}

void TValidateThread::Terminate() {
  terminated_.store(true, std::memory_order_release);
  wake_.Set();
}

void TValidateThread::Execute() {
  // Periods are counted from the start of each pass.
  plat::Deadline next_pass = plat::Deadline::After(period_ms_);
  while (!Terminated()) {
    if (wake_.WaitUntil(next_pass)) return;
    next_pass = plat::Deadline::After(period_ms_);
    manager_.Validate();
  }
}

}  // namespace dac
