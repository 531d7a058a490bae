#include "content/user_notice.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "content/debug_log.h"

namespace content {

void NoticeToUser(const char* format, ...) {
  char line[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  // Lines from the server thread and the window's must not interleave.
  static std::mutex lock;
  {
    std::lock_guard<std::mutex> guard(lock);
    std::fprintf(stderr, "%s\n", line);
    std::fflush(stderr);
  }
  LogMessage("%s", line);
}

}  // namespace content
