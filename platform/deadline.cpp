#include "platform/deadline.h"

namespace plat {

Deadline Deadline::After(uint32_t ms) {
  return Deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

bool Deadline::Passed() const { return std::chrono::steady_clock::now() >= when_; }

}  // namespace plat
