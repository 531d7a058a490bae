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
  // Names from files and folders must not drive the terminal nor break the line.
  for (char* c = line; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) *c = '?';
  }
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
