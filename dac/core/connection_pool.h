// TDKConnectionPool: the abstract pool a server connection goes back to. It
// keeps its own copy of the parameters it was made for, its manager and the
// count of connections taken from it. Pools are shared: a connection holds
// its pool, so a pool lives until its last connection is back.
#pragma once

#include <cstdint>
#include <memory>

#include "dac/core/connection_parameters.h"
#include "dac/framework/meta_class.h"

namespace dac {

class TDKConnection;
class TDKConnectionPoolManager;

class TDKConnectionPool : public TObject, public std::enable_shared_from_this<TDKConnectionPool> {
  DAC_DECLARE_CLASS();

 public:
  // Copies the parameters through their own class.
  TDKConnectionPool(TDKConnectionPoolManager* manager, const TDKConnectionParameters& parameters);
  TDKConnectionPool(const TDKConnectionPool&) = delete;
  TDKConnectionPool& operator=(const TDKConnectionPool&) = delete;

  virtual void Validate() {}
  virtual void Clear() {}
  virtual void AsyncClear() {}
  virtual int32_t GetTotalConnectionsCount() const { return taken_connections_count_; }
  // A connected connection whose pool is this one; the caller owns it until
  // it returns it.
  virtual TDKConnection* GetConnection() = 0;
  virtual void Invalidate() {}

  // Takes back a connection with its ownership.
  void PutConnection(TDKConnection* connection);

  const TDKConnectionParameters& ConnectionParameters() const { return *connection_parameters_; }
  TDKConnectionPoolManager* Manager() const { return manager_; }

 protected:
  virtual void InternalPutConnection(TDKConnection* connection) = 0;

  std::unique_ptr<TDKConnectionParameters> connection_parameters_;
  TDKConnectionPoolManager* manager_;
  int32_t taken_connections_count_ = 0;
};

}  // namespace dac
