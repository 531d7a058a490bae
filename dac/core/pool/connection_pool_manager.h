// TDKConnectionPoolManager: keeps one pool per distinct set of connection
// parameters and validates them all from a thread of its own, dropping the
// pools that were left empty. A provider derives from it and makes its own
// pools in CreateDKConnectionPool.
//
// Life in two steps: construct, then Init starts the validation thread;
// Shutdown stops it and lets every pool go. The most derived destructor
// calls Shutdown.
//
// One short-held lock guards the list of pools. Nobody waits for a slot,
// connects or checks a connection under it: waiting stays with each pool.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "dac/core/pool/connection_pool.h"
#include "dac/framework/classes/meta_class.h"
#include "platform/critical_section.h"

namespace dac {

class TDKConnection;
class TValidateThread;

class TDKConnectionPoolManager : public TObject {
  DAC_DECLARE_CLASS();

 public:
  static constexpr uint32_t kDefaultSlotWait = 30000;
  static constexpr uint32_t kDefaultValidatePeriod = 30000;

  TDKConnectionPoolManager();
  // Shutdown must have run: the most derived destructor calls it.
  ~TDKConnectionPoolManager() override;
  TDKConnectionPoolManager(const TDKConnectionPoolManager&) = delete;
  TDKConnectionPoolManager& operator=(const TDKConnectionPoolManager&) = delete;

  // A new pool for the parameters, made with this manager.
  virtual std::shared_ptr<TDKConnectionPool> CreateDKConnectionPool(const TDKConnectionParameters& parameters) = 0;
  // A connection from the pool of these parameters (made on first use).
  virtual TDKConnection* InternalGetConnection(const TDKConnectionParameters& parameters);
  // Looks at every connection on its way back to its pool; the base returns
  // it unchanged.
  virtual TDKConnection* InternalCheckConnection(TDKConnection* connection) { return connection; }

  // Starts the validation thread. Once, after construction.
  void Init();
  // Stops the validation thread (waking it and waiting for a pass under
  // way), then clears. Further requests are refused. Calling it again does
  // nothing.
  void Shutdown();

  // Lets every pool go: idle connections are freed now, connections out when
  // they come back. Pools with connections out live until the last is back.
  void InternalClear();
  // Every connection now idle or out is closed when next taken or returned.
  void InternalAsyncClear();
  // One validation pass over the pools, newest first; a pool left with no
  // connection, and held by no caller, leaves the list. A pool whose pass
  // raises is passed over.
  void Validate();

  // The pools as they stand, oldest first.
  std::vector<std::shared_ptr<TDKConnectionPool>> Pools() const;

  // Settings, read when a pool is made and when the thread starts.
  uint32_t GetSlotWait() const { return slot_wait_; }
  void SetSlotWait(uint32_t ms) { slot_wait_ = ms; }
  uint32_t GetValidatePeriod() const { return validate_period_; }
  void SetValidatePeriod(uint32_t ms) { validate_period_ = ms; }

 private:
  std::shared_ptr<TDKConnectionPool> GetConnectionPool(const TDKConnectionParameters& parameters);
  void RemoveIfUnused(const std::shared_ptr<TDKConnectionPool>& pool);

  std::atomic<uint32_t> slot_wait_{kDefaultSlotWait};
  std::atomic<uint32_t> validate_period_{kDefaultValidatePeriod};
  std::atomic<bool> stopped_{false};

  mutable plat::CriticalSection list_lock_;  // pools_
  std::vector<std::shared_ptr<TDKConnectionPool>> pools_;

  plat::CriticalSection thread_lock_;                 // validate_thread_
  std::unique_ptr<TValidateThread> validate_thread_;  // last: joined before the rest goes
};

}  // namespace dac
