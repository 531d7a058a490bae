#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

namespace plat {

LocalTime SystemClock::Now() const {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  localtime_r(&ts.tv_sec, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.hundredths = static_cast<int>(ts.tv_nsec / 10000000);
  t.day_of_week = parts.tm_wday;
  return t;
}

int64_t SystemClock::UtcSeconds() const {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return ts.tv_sec;
}

uint32_t SystemClock::TickCount() const { return static_cast<uint32_t>(TickCount64()); }

uint64_t SystemClock::TickCount64() const {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void SystemClock::Sleep(uint32_t ms) const { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void ManualClock::Sleep(uint32_t ms) const {
  ticks_ += ms;
  ticks64_ += ms;
  std::this_thread::yield();
}

namespace {
const SystemClock kSystemClock;
std::atomic<const Clock*> g_clock{&kSystemClock};
}  // namespace

const Clock& ProcessClock() { return *g_clock.load(std::memory_order_acquire); }

void SetProcessClock(const Clock* clock) {
  g_clock.store(clock ? clock : &kSystemClock, std::memory_order_release);
}

void Sleep(uint32_t ms) { ProcessClock().Sleep(ms); }

}  // namespace plat
