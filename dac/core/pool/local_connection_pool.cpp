#include "dac/core/pool/local_connection_pool.h"

#include <algorithm>
#include <mutex>

#include "dac/core/pool/connection_pool_manager.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/framework/classes/exceptions.h"
#include "platform/clock.h"

namespace dac {

DAC_DEFINE_CLASS(TDKLocalConnectionPool, TDKConnectionPool, TMetaClass)

namespace {

// A ring of no slots could never hand out a connection; refused before use.
int32_t CheckedMaxPoolSize(const TDKConnectionParameters& parameters) {
  const int32_t min = parameters.MinPoolSize;
  const int32_t max = parameters.MaxPoolSize;
  if (max < 1 || min < 0 || min > max) {
    throw ArgumentException(
        Format("Invalid pool sizes: MinPoolSize %d, MaxPoolSize %d (MaxPoolSize must be at "
               "least 1, MinPoolSize from 0 to MaxPoolSize)",
               min, max));
  }
  if (parameters.ConnectionLifetime < 0) {
    throw ArgumentException(
        Format("Invalid ConnectionLifetime %d: it must be 0 (no limit) or more", parameters.ConnectionLifetime));
  }
  return max;
}

// A check that raises (a server that is gone, say) counts as failed.
bool PassesCheck(TDKConnection& connection) {
  try {
    return connection.CheckIsValid();
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

TDKLocalConnectionPool::TDKLocalConnectionPool(TDKConnectionPoolManager* manager,
                                               const TDKConnectionParameters& parameters)
    : TDKConnectionPool(manager, parameters),
      max_pool_size_(CheckedMaxPoolSize(parameters)),
      slot_wait_(manager ? manager->GetSlotWait() : TDKConnectionPoolManager::kDefaultSlotWait) {}

// ---- Slots ----

void TDKLocalConnectionPool::ReserveSlot(const plat::Deadline& deadline) {
  // One deadline for the whole call: time lost to other callers counts too.
  for (;;) {
    if (!free_slot_.WaitUntil(deadline)) throw Exception(LoadResString(SMaxConnectionsReached));
    plat::CriticalSectionGuard count(count_lock_);
    if (taken_connections_count_ < max_pool_size_) {
      Reserve();
      return;
    }
    // Another caller had the slot first; wait for the next one.
  }
}

void TDKLocalConnectionPool::Reserve() {
  if (++taken_connections_count_ >= max_pool_size_) free_slot_.Reset();
}

void TDKLocalConnectionPool::ReleaseSlot() {
  plat::CriticalSectionGuard count(count_lock_);
  --taken_connections_count_;
  free_slot_.Set();
}

// ---- Ring ----

std::optional<TDKLocalConnectionPool::IdleConnection> TDKLocalConnectionPool::TakeFromRing(bool reserve) {
  std::unique_lock<plat::CriticalSection> count(count_lock_, std::defer_lock);
  if (reserve) count.lock();
  plat::CriticalSectionGuard ring(ring_lock_);
  if (ring_.empty() || (reserve && taken_connections_count_ >= max_pool_size_)) return std::nullopt;
  IdleConnection idle = std::move(ring_.front());
  ring_.pop_front();
  ++head_;
  if (reserve) Reserve();
  return idle;
}

bool TDKLocalConnectionPool::ReturnToRing(IdleConnection& idle) {
  plat::CriticalSectionGuard count(count_lock_);
  plat::CriticalSectionGuard ring(ring_lock_);
  if (IsDetached() || static_cast<int32_t>(ring_.size()) >= max_pool_size_) return false;
  ring_.push_back(std::move(idle));
  ++tail_;
  --taken_connections_count_;
  free_slot_.Set();
  return true;
}

void TDKLocalConnectionPool::FreeConnection(std::unique_ptr<TDKConnection> connection, bool keep_count) {
  connection.reset();
  if (!keep_count) ReleaseSlot();
}

int32_t TDKLocalConnectionPool::PooledCount() const {
  plat::CriticalSectionGuard ring(ring_lock_);
  return static_cast<int32_t>(ring_.size());
}

int32_t TDKLocalConnectionPool::GetTotalConnectionsCount() const {
  plat::CriticalSectionGuard count(count_lock_);
  plat::CriticalSectionGuard ring(ring_lock_);
  return taken_connections_count_ + static_cast<int32_t>(ring_.size());
}

// ---- Getting and putting ----

TDKConnection* TDKLocalConnectionPool::GetConnection() {
  ReserveSlot(plat::Deadline::After(GetSlotWait()));
  // Whatever fails from here on gives the slot back.
  try {
    std::unique_ptr<TDKConnection> connection = TakeUsable();
    if (!connection) connection = CreateNewConnector();
    DAC_ASSERT(connection != nullptr, "CreateNewConnector gave no connection");
    connection->SetPool(shared_from_this());
    connection->SetPoolVersion(invalidate_version_.load());
    return connection.release();
  } catch (...) {
    ReleaseSlot();
    throw;
  }
}

// An idle connection fit for use, or null; the caller's slot stays reserved.
std::unique_ptr<TDKConnection> TDKLocalConnectionPool::TakeUsable() {
  std::optional<IdleConnection> idle = TakeFromRing(false);
  if (!idle) return nullptr;
  std::unique_ptr<TDKConnection> connection = std::move(idle->connection);
  const int64_t version = connection->GetPoolVersion();
  if (version < clear_version_.load()) {
    FreeConnection(std::move(connection), true);
    return nullptr;
  }
  if (!connection_parameters_->Validate && version >= invalidate_version_.load()) return connection;
  const bool valid = PassesCheck(*connection);
  connection->SetPoolVersion(invalidate_version_.load());
  if (valid) return connection;
  FreeConnection(std::move(connection), true);
  return nullptr;
}

void TDKLocalConnectionPool::InternalPutConnection(TDKConnection* connection) {
  DAC_ASSERT(connection != nullptr && connection->GetPool().get() == this,
             "Connection returned to a pool it does not come from");
  std::unique_ptr<TDKConnection> owned(connection);
  const int64_t version = owned->GetPoolVersion();
  bool keep = !IsDetached() && IsLive(*owned) && owned->GetIsValid() && version >= clear_version_.load();
  if (keep && version < invalidate_version_.load()) keep = PassesCheck(*owned);
  if (keep) {
    IdleConnection idle{std::move(owned), return_counter_.fetch_add(1) + 1};
    // An idle connection does not hold its pool; the caller still does.
    idle.connection->SetPool(nullptr);
    if (ReturnToRing(idle)) return;
    owned = std::move(idle.connection);
  }
  FreeConnection(std::move(owned), false);
}

bool TDKLocalConnectionPool::IsLive(const TDKConnection& connection) const {
  const int32_t lifetime = connection_parameters_->ConnectionLifetime;
  if (lifetime == 0) return true;
  const uint64_t now = plat::ProcessClock().TickCount64();
  const uint64_t connected = connection.GetConnectTime();
  return now < connected || now - connected <= static_cast<uint64_t>(lifetime);
}

// ---- Versions ----

void TDKLocalConnectionPool::Invalidate() {
  plat::CriticalSectionGuard versions(versions_lock_);
  ++invalidate_version_;
}

// Connections carry the invalidate version they were stamped with, so the
// clear version moves past it (after Invalidate calls it lags behind). Clear
// first: a connection stamped in between is closed, never spared.
void TDKLocalConnectionPool::AsyncClear() {
  plat::CriticalSectionGuard versions(versions_lock_);
  clear_version_ = invalidate_version_ + 1;
  invalidate_version_ = clear_version_.load();
}

void TDKLocalConnectionPool::Clear() {
  while (std::optional<IdleConnection> idle = TakeFromRing(true)) FreeConnection(std::move(idle->connection), false);
}

// ---- Validation ----

int64_t TDKLocalConnectionPool::Tail() const {
  plat::CriticalSectionGuard ring(ring_lock_);
  return tail_;
}

// Ring positions are compared modulo the ring's size: on a full ring the
// head already stands at the remembered tail, and a pass leaves it alone.
bool TDKLocalConnectionPool::HeadAt(int64_t tail) const {
  plat::CriticalSectionGuard ring(ring_lock_);
  return head_ % max_pool_size_ == tail % max_pool_size_;
}

bool TDKLocalConnectionPool::KeepOnValidation(const IdleConnection& idle, int64_t oldest, int64_t previous) {
  const int64_t version = idle.connection->GetPoolVersion();
  if (idle.stamp <= oldest || !IsLive(*idle.connection) || version < clear_version_.load()) return false;
  if (idle.stamp > previous && version >= invalidate_version_.load()) return true;
  return PassesCheck(*idle.connection);
}

// A connection survives only if it came back during the last eight passes;
// beyond that, about an eighth of the last pass's surplus over MinPoolSize
// is closed per pass.
void TDKLocalConnectionPool::Validate() {
  plat::CriticalSectionGuard pass(validate_lock_);
  const int64_t oldest = history_[7];
  const int64_t previous = history_[0];
  std::move_backward(history_.begin(), history_.end() - 1, history_.end());
  history_[0] = return_counter_.load();

  const int64_t quota = (surplus_ + 6) / 8;
  surplus_ = PooledCount() - connection_parameters_->MinPoolSize - quota;

  int64_t freed = 0;
  const int64_t tail = Tail();
  while (!HeadAt(tail)) {
    std::optional<IdleConnection> idle = TakeFromRing(true);
    if (!idle) break;
    if (KeepOnValidation(*idle, oldest, previous) && ReturnToRing(*idle)) continue;
    FreeConnection(std::move(idle->connection), false);
    ++freed;
  }
  for (; freed < quota; ++freed) {
    std::optional<IdleConnection> idle = TakeFromRing(true);
    if (!idle) break;
    FreeConnection(std::move(idle->connection), false);
  }
}

}  // namespace dac
