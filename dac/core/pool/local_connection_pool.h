// TDKLocalConnectionPool: a pool that makes its own connections (through the
// provider's CreateNewConnector), keeps idle ones in a ring and lets at most
// MaxPoolSize out at once. A caller waits up to the slot wait for a free
// slot. Validation passes close connections left idle too long and, little
// by little, the idle ones beyond MinPoolSize.
//
// Locks: the count lock (taken connections and the free-slot event), then
// the ring lock (idle connections); never the other way round. Nothing
// waits, connects or checks a connection under either.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "dac/core/pool/connection_pool.h"
#include "platform/critical_section.h"
#include "platform/manual_reset_event.h"

namespace dac {

class TDKLocalConnectionPool : public TDKConnectionPool {
  DAC_DECLARE_CLASS();

 public:
  // Raises a clear error unless 1 <= MaxPoolSize,
  // 0 <= MinPoolSize <= MaxPoolSize and 0 <= ConnectionLifetime. Takes the
  // slot wait from the manager. Idle connections are freed with the pool.
  TDKLocalConnectionPool(TDKConnectionPoolManager* manager, const TDKConnectionParameters& parameters);

  // One validation pass (see the .cpp); the manager's thread runs it.
  void Validate() override;
  // Frees every idle connection.
  void Clear() override;
  // Every connection now idle or out is closed when next taken or returned.
  void AsyncClear() override;
  int32_t GetTotalConnectionsCount() const override;

 protected:
  // Keeps a returned connection that is live, valid and current; frees the
  // others.
  void InternalPutConnection(TDKConnection* connection) override;

 public:
  // An idle connection, checked where needed, else a new one. Raises
  // "Maximum connections reached in pool" when no slot frees up within the
  // slot wait.
  TDKConnection* GetConnection() override;
  // Every connection is checked before its next use.
  void Invalidate() override;

  // The longest GetConnection waits for a free slot, in milliseconds.
  uint32_t GetSlotWait() const { return slot_wait_.load(std::memory_order_relaxed); }
  void SetSlotWait(uint32_t ms) { slot_wait_.store(ms, std::memory_order_relaxed); }

 protected:
  // A new, connected connection. Raises when it cannot connect.
  virtual std::unique_ptr<TDKConnection> CreateNewConnector() = 0;

 private:
  struct IdleConnection {
    std::unique_ptr<TDKConnection> connection;
    int64_t stamp = 0;  // the return counter when it came back
  };

  void ReserveSlot(const plat::Deadline& deadline);
  void Reserve();
  void ReleaseSlot();
  std::unique_ptr<TDKConnection> TakeUsable();
  // With reserve, only while a slot is free, and the taking counts as one.
  std::optional<IdleConnection> TakeFromRing(bool reserve);
  // Gives back a taken (or reserved) connection's slot and rings it; false
  // when the ring will not have it (pool detached, ring full).
  bool ReturnToRing(IdleConnection& idle);
  void FreeConnection(std::unique_ptr<TDKConnection> connection, bool keep_count);
  bool IsLive(const TDKConnection& connection) const;
  bool KeepOnValidation(const IdleConnection& idle, int64_t oldest, int64_t previous);
  int32_t PooledCount() const;
  int64_t Tail() const;
  bool HeadAt(int64_t tail) const;

  const int32_t max_pool_size_;
  std::atomic<uint32_t> slot_wait_;

  mutable plat::CriticalSection count_lock_;  // taken_connections_count_, free_slot_
  plat::ManualResetEvent free_slot_{true};    // set while a slot is free
  mutable plat::CriticalSection ring_lock_;   // ring_, head_, tail_
  std::deque<IdleConnection> ring_;           // oldest at the front
  int64_t head_ = 0;                          // connections ever taken from the ring
  int64_t tail_ = 0;                          // connections ever put in the ring

  std::atomic<int64_t> return_counter_{0};
  plat::CriticalSection versions_lock_;  // orders the changes of both versions
  std::atomic<int64_t> invalidate_version_{0};
  std::atomic<int64_t> clear_version_{0};

  plat::CriticalSection validate_lock_;  // one pass at a time: history_, surplus_
  std::array<int64_t, 8> history_{};     // return counter at the last passes, newest first
  int64_t surplus_ = 0;
};

}  // namespace dac
