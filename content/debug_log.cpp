#include "content/debug_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/file.h"

namespace content {
namespace {

struct DebugLogState {
  std::mutex lock;
  std::string path;
  bool configured = false;
  // Known to be off: every request logs several lines, and a log that is
  // off must cost no lock.
  std::atomic<bool> off = false;
};

DebugLogState& State() {
  static DebugLogState state;
  return state;
}

// Under the lock: the log file, read from the environment on first use.
const std::string& LogPathLocked(DebugLogState& state) {
  if (!state.configured) {
    state.path = plat::EnvironmentValue("VARNEL_DEBUG_LOG").value_or("");
    state.configured = true;
    state.off = state.path.empty();
  }
  return state.path;
}

}  // namespace

void SetDebugLogFile(const std::string& path) {
  DebugLogState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.path = path;
  state.configured = true;
  state.off = path.empty();
}

void LogMessage(const char* format, ...) {
  DebugLogState& state = State();
  if (state.off.load(std::memory_order_relaxed)) return;
  std::lock_guard<std::mutex> guard(state.lock);
  const std::string& path = LogPathLocked(state);
  if (path.empty()) return;

  char message[16384];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);

  const plat::LocalTime now = plat::ProcessClock().Now();
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%d:%d:%d.%d ", now.hour, now.minute, now.second, now.hundredths);
  try {
    plat::AppendToFile(path, std::string(stamp) + message + "\r\n");
  } catch (const plat::FileError&) {
    // A log that cannot be written loses the line, nothing more.
  }
}

}  // namespace content
