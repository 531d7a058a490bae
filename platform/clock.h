// The process clock: local wall time, UTC seconds and the tick count.
// One clock serves the whole process; tests install their own.
#pragma once

#include <atomic>
#include <cstdint>

namespace plat {

struct LocalTime {
  int year = 0;
  int month = 0;       // 1..12
  int day = 0;         // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int hundredths = 0;  // 0..99
  int day_of_week = 0; // 0 = Sunday
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
  virtual int64_t UtcSeconds() const = 0;
  // Milliseconds from CLOCK_MONOTONIC, wrapping at 2^32 like the Windows tick count.
  virtual uint32_t TickCount() const = 0;
  // The same milliseconds without the wrap, for ages that must never overflow.
  virtual uint64_t TickCount64() const = 0;
  // Waits the milliseconds out on this clock: the system clock sleeps, a
  // stand-in moves its ticks on. Waits pause here, never on the system.
  virtual void Sleep(uint32_t ms) const = 0;
};

class SystemClock final : public Clock {
 public:
  LocalTime Now() const override;
  int64_t UtcSeconds() const override;
  uint32_t TickCount() const override;
  uint64_t TickCount64() const override;
  void Sleep(uint32_t ms) const override;
};

// A clock that stands still until the test moves it.
class ManualClock final : public Clock {
 public:
  LocalTime Now() const override { return now_; }
  int64_t UtcSeconds() const override { return utc_seconds_; }
  uint32_t TickCount() const override { return ticks_; }
  uint64_t TickCount64() const override { return ticks64_; }
  // Moves both tick counts on instead of sleeping and lets other threads run,
  // so a wait with a limit ends without real time passing. Thread-safe.
  void Sleep(uint32_t ms) const override;

  void SetNow(const LocalTime& now) { now_ = now; }
  void SetUtcSeconds(int64_t seconds) { utc_seconds_ = seconds; }
  void SetTickCount(uint32_t ticks) { ticks_ = ticks; }
  void SetTickCount64(uint64_t ticks) { ticks64_ = ticks; }
  // Moves both tick counts.
  void AdvanceTicks(uint32_t ms) {
    ticks_ += ms;
    ticks64_ += ms;
  }

 private:
  LocalTime now_{2000, 1, 1, 0, 0, 0, 0, 6};
  int64_t utc_seconds_ = 946684800;
  mutable std::atomic<uint32_t> ticks_{0};
  mutable std::atomic<uint64_t> ticks64_{0};
};

// The clock every part of the process reads.
const Clock& ProcessClock();
// Replaces the process clock; nullptr restores the system clock. The caller keeps ownership.
void SetProcessClock(const Clock* clock);
// Sleeps on the process clock: the one pause code outside this folder takes.
void Sleep(uint32_t ms);

// Installs a clock for one scope (tests).
class ScopedProcessClock {
 public:
  explicit ScopedProcessClock(const Clock& clock) { SetProcessClock(&clock); }
  ~ScopedProcessClock() { SetProcessClock(nullptr); }
  ScopedProcessClock(const ScopedProcessClock&) = delete;
  ScopedProcessClock& operator=(const ScopedProcessClock&) = delete;
};

}  // namespace plat
