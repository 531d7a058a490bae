// A fake distributed-transaction coordinator: while it lives, the
// coordinator's library loads as this object, whose dispenser and
// transactions count their calls and answer scripted result codes.
#pragma once

#include <cstdint>
#include <vector>

#include "dac/core/server/transaction_coordinator.h"

namespace dac::test {

struct FakeCoordinatorCalls {
  int load = 0;
  int get_manager = 0;
  int begin = 0;
  int commit = 0;
  int abort = 0;
};

class FakeCoordinator {
 public:
  // Installs itself as the library (unloading whatever was loaded).
  FakeCoordinator();
  // Unloads it and restores the previous loader.
  ~FakeCoordinator();
  FakeCoordinator(const FakeCoordinator&) = delete;
  FakeCoordinator& operator=(const FakeCoordinator&) = delete;

  FakeCoordinatorCalls calls;
  // The isolation level of every begun transaction.
  std::vector<int32_t> isolation_levels;
  // The library lacks its entry point.
  bool missing_entry_point = false;
  HResult manager_result = 0;
  HResult begin_result = 0;
  HResult commit_result = 0;
  HResult abort_result = 0;

 private:
  TCoordinatorLibraryLoader previous_;
};

}  // namespace dac::test
