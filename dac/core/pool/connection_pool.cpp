#include "dac/core/pool/connection_pool.h"

#include "dac/core/pool/connection_pool_manager.h"
#include "dac/core/server/new_instance.h"

namespace dac {

DAC_DEFINE_CLASS(TDKConnectionPool, TObject, TMetaClass)

TDKConnectionPool::TDKConnectionPool(TDKConnectionPoolManager* manager, const TDKConnectionParameters& parameters)
    : connection_parameters_(NewInstance<TDKConnectionParameters>(parameters.ClassType())), manager_(manager) {
  connection_parameters_->Assign(&parameters);
}

void TDKConnectionPool::PutConnection(TDKConnection* connection) {
  // Letting the connection go may drop the pool's last other owner.
  const std::shared_ptr<TDKConnectionPool> self = shared_from_this();
  {
    plat::CriticalSectionGuard guard(manager_lock_);
    if (manager_) connection = manager_->InternalCheckConnection(connection);
  }
  InternalPutConnection(connection);
}

void TDKConnectionPool::Detach() {
  plat::CriticalSectionGuard guard(manager_lock_);
  manager_ = nullptr;
  detached_.store(true, std::memory_order_release);
}

}  // namespace dac
