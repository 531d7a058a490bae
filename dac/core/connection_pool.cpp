#include "dac/core/connection_pool.h"

#include "dac/core/new_instance.h"

namespace dac {

DAC_DEFINE_CLASS(TDKConnectionPool, TObject, TMetaClass)

TDKConnectionPool::TDKConnectionPool(TDKConnectionPoolManager* manager, const TDKConnectionParameters& parameters)
    : connection_parameters_(NewInstance<TDKConnectionParameters>(parameters.ClassType())), manager_(manager) {
  connection_parameters_->Assign(&parameters);
}

void TDKConnectionPool::PutConnection(TDKConnection* connection) { InternalPutConnection(connection); }

}  // namespace dac
