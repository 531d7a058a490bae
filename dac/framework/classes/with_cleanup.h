// Work followed by its cleanup on every way out; when the work fails, its
// error is the one that goes on and a failing cleanup's own is dropped.
#pragma once

namespace dac {

template <typename Work, typename Cleanup>
void WithCleanup(Work work, Cleanup cleanup) {
  try {
    work();
  } catch (...) {
    try {
      cleanup();
    } catch (...) {
    }
    throw;
  }
  cleanup();
}

}  // namespace dac
