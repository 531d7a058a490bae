#include "content/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/clock.h"

namespace {

struct DebugLogState {
  std::mutex lock;
  std::string path;
  bool configured = false;
};

DebugLogState& State() {
  static DebugLogState state;
  return state;
}

// Under the lock: the log file, read from the environment on first use.
const std::string& LogPathLocked(DebugLogState& state) {
  if (!state.configured) {
    const char* env = std::getenv("VARNEL_DEBUG_LOG");
    state.path = env ? env : "";
    state.configured = true;
  }
  return state.path;
}

}  // namespace

void SetDebugLogFile(const std::string& path) {
  DebugLogState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.path = path;
  state.configured = true;
}

void LogMessage(const char* format, ...) {
  DebugLogState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  const std::string& path = LogPathLocked(state);
  if (path.empty()) return;

  char message[16384];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);

  const plat::LocalTime now = plat::ProcessClock().Now();
  FILE* file = std::fopen(path.c_str(), "a+b");
  if (!file) return;
  std::fprintf(file, "%d:%d:%d.%d %s\r\n", now.hour, now.minute, now.second, now.hundredths, message);
  std::fclose(file);
}
