// The process's limit on open descriptors.
#pragma once

#include <cstdint>

namespace plat {

// Raises the soft limit on open files to the hard limit, so that a server with
// many connections does not run out of descriptors early. Returns the soft
// limit in force afterwards.
uint64_t RaiseOpenFileLimit();

}  // namespace plat
