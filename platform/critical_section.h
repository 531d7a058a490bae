// Windows critical sections are recursive; so is ours.
#pragma once

#include <mutex>

namespace plat {

using CriticalSection = std::recursive_mutex;
using CriticalSectionGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace plat
