#include "platform/open_file_limit.h"

#include <sys/resource.h>

#include <fstream>

namespace plat {
namespace {

// The kernel's own ceiling for RLIMIT_NOFILE, which an unlimited hard limit
// cannot exceed.
rlim_t KernelOpenFileCeiling() {
  std::ifstream in("/proc/sys/fs/nr_open");
  unsigned long long ceiling = 0;
  if (in >> ceiling && ceiling > 0) return static_cast<rlim_t>(ceiling);
  return 1024 * 1024;
}

}  // namespace

uint64_t RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  const rlim_t target = limit.rlim_max == RLIM_INFINITY ? KernelOpenFileCeiling() : limit.rlim_max;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < target) {
    const rlimit raised{target, limit.rlim_max};
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return static_cast<uint64_t>(limit.rlim_cur);
}

}  // namespace plat
