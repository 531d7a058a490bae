// A process-wide replaceable value (a factory, a backend) that tests swap
// while other threads may read it.
#pragma once

#include <mutex>
#include <utility>

namespace dac {

template <typename T>
class TReplaceableHook {
 public:
  // Installs value and returns the one it replaces.
  T Exchange(T value) {
    std::lock_guard<std::mutex> guard(lock_);
    std::swap(value_, value);
    return value;
  }
  T Get() const {
    std::lock_guard<std::mutex> guard(lock_);
    return value_;
  }

 private:
  mutable std::mutex lock_;
  T value_{};
};

}  // namespace dac
