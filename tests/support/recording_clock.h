// A process clock that tells the time as the system does but does not
// sleep: it notes each wait of the thread that installed it, so a test sees
// the pauses a component takes without waiting them out.
#pragma once

#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace plat::testing {

class RecordingClock final : public Clock {
 public:
  RecordingClock() : previous_(&ProcessClock()) { SetProcessClock(this); }
  ~RecordingClock() override { SetProcessClock(previous_); }
  RecordingClock(const RecordingClock&) = delete;
  RecordingClock& operator=(const RecordingClock&) = delete;

  LocalTime Now() const override { return system_.Now(); }
  int64_t UtcSeconds() const override { return system_.UtcSeconds(); }
  uint32_t TickCount() const override { return system_.TickCount(); }
  uint64_t TickCount64() const override { return system_.TickCount64(); }
  // Other threads' waits are real.
  void Sleep(uint32_t ms) const override {
    if (std::this_thread::get_id() != owner_) return system_.Sleep(ms);
    std::lock_guard<std::mutex> guard(lock_);
    sleeps_.push_back(ms);
  }

  std::vector<uint32_t> Sleeps() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sleeps_;
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    sleeps_.clear();
  }

 private:
  const Clock* previous_;
  SystemClock system_;
  std::thread::id owner_ = std::this_thread::get_id();
  mutable std::mutex lock_;
  mutable std::vector<uint32_t> sleeps_;
};

}  // namespace plat::testing
