// Waiting for the effect of what a test did: the condition is asked again
// and again until it holds. The limit is there only to end a test whose code
// hangs, so it is long enough for the busiest machine; no result depends on it.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace plat::testing {

inline constexpr std::chrono::milliseconds kHungTestLimit = std::chrono::minutes(2);

// True once done() holds; false when the limit passed first.
inline bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = kHungTestLimit,
                       std::chrono::milliseconds pause = std::chrono::milliseconds(1)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
  }
  return true;
}

}  // namespace plat::testing
