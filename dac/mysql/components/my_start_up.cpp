#include "dac/mysql/components/my_start_up.h"

#include <atomic>
#include <cstdint>

#include "dac/mysql/client/transport/zlib_routines.h"
#include "dac/mysql/provider/my_connection_pool.h"
#include "dac/store/blob/compression_hooks.h"

namespace dac {

namespace {

// 0 before the first start-up; each start-up takes one, each shutdown gives
// one back.
std::atomic<int32_t> start_up_count{0};

// Idle connections are closed now, those still out when they come back.
void ClearPools() noexcept {
  try {
    TMyConnectionPoolManager::Clear();
  } catch (...) {
    // Start-up and shutdown must not fail over a connection that would not close.
  }
}

}  // namespace

void MySQLStartUp() noexcept {
  if (start_up_count.fetch_sub(1) != 0) return;
  CompressProc = MySqlCompress;
  UncompressProc = MySqlUncompress;
  ClearPools();
}

// A shutdown without a start-up to match gives nothing back, so it cannot
// keep the next start-up from working.
void MySQLShutdown() noexcept {
  int32_t count = start_up_count.load();
  while (count < 0 && !start_up_count.compare_exchange_weak(count, count + 1)) {
  }
  if (count == -1) ClearPools();
}

}  // namespace dac
