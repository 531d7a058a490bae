#include "dac/core/pool/connection_pool_manager.h"

#include <algorithm>

#include "dac/core/pool/validate_thread.h"
#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TDKConnectionPoolManager, TObject, TMetaClass)

TDKConnectionPoolManager::TDKConnectionPoolManager() = default;

TDKConnectionPoolManager::~TDKConnectionPoolManager() = default;

void TDKConnectionPoolManager::Init() {
  plat::CriticalSectionGuard guard(thread_lock_);
  DAC_ASSERT(!validate_thread_ && !stopped_, "Pool manager started twice or after shutdown");
  validate_thread_ = std::make_unique<TValidateThread>(*this, validate_period_);
}

void TDKConnectionPoolManager::Shutdown() {
  {
    plat::CriticalSectionGuard list(list_lock_);
    stopped_ = true;
  }
  {
    // Joined before anything is cleared: a pass may still be checking a
    // connection.
    plat::CriticalSectionGuard guard(thread_lock_);
    validate_thread_.reset();
  }
  InternalClear();
}

TDKConnection* TDKConnectionPoolManager::InternalGetConnection(const TDKConnectionParameters& parameters) {
  return GetConnectionPool(parameters)->GetConnection();
}

std::shared_ptr<TDKConnectionPool> TDKConnectionPoolManager::GetConnectionPool(
    const TDKConnectionParameters& parameters) {
  plat::CriticalSectionGuard list(list_lock_);
  if (stopped_) throw Exception("The connection pool manager is shut down");
  for (const std::shared_ptr<TDKConnectionPool>& pool : pools_) {
    if (pool->ConnectionParameters().Equals(&parameters)) return pool;
  }
  std::shared_ptr<TDKConnectionPool> pool = CreateDKConnectionPool(parameters);
  pools_.push_back(pool);
  return pool;
}

std::vector<std::shared_ptr<TDKConnectionPool>> TDKConnectionPoolManager::Pools() const {
  plat::CriticalSectionGuard list(list_lock_);
  return pools_;
}

void TDKConnectionPoolManager::InternalClear() {
  std::vector<std::shared_ptr<TDKConnectionPool>> pools;
  {
    plat::CriticalSectionGuard list(list_lock_);
    pools.swap(pools_);
  }
  for (const std::shared_ptr<TDKConnectionPool>& pool : pools) {
    pool->Detach();
    pool->Clear();
  }
}

void TDKConnectionPoolManager::InternalAsyncClear() {
  plat::CriticalSectionGuard list(list_lock_);
  for (const std::shared_ptr<TDKConnectionPool>& pool : pools_) pool->AsyncClear();
}

void TDKConnectionPoolManager::Validate() {
  const std::vector<std::shared_ptr<TDKConnectionPool>> pools = Pools();
  for (auto pool = pools.rbegin(); pool != pools.rend() && !stopped_; ++pool) {
    try {
      (*pool)->Validate();
    } catch (const std::exception&) {
      // A pass that fails for one pool must not end validation for all.
    }
    RemoveIfUnused(*pool);
  }
}

// Under the list lock nobody can find the pool anew: with no connection in
// it and no owner but the list and the pass, nothing can reach it again.
void TDKConnectionPoolManager::RemoveIfUnused(const std::shared_ptr<TDKConnectionPool>& pool) {
  constexpr long kListAndPass = 2;
  plat::CriticalSectionGuard list(list_lock_);
  if (pool.use_count() != kListAndPass || pool->GetTotalConnectionsCount() != 0) return;
  pools_.erase(std::remove(pools_.begin(), pools_.end(), pool), pools_.end());
}

}  // namespace dac
