// A moment on the steady clock that a wait must not pass. Waits that are
// bounded as a whole (lock time included) take one deadline at their start.
#pragma once

#include <chrono>
#include <cstdint>

namespace plat {

class Deadline {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // The given milliseconds from now.
  static Deadline After(uint32_t ms);

  bool Passed() const;
  TimePoint When() const { return when_; }

 private:
  explicit Deadline(TimePoint when) : when_(when) {}

  TimePoint when_;
};

}  // namespace plat
