// TDKConnectionPool: the abstract pool a server connection goes back to. It
// keeps its own copy of the parameters it was made for, its manager and the
// count of connections taken from it. Pools are shared: a connection holds
// its pool, so a pool lives until its last connection is back.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "dac/core/pool/connection_parameters.h"
#include "dac/framework/classes/meta_class.h"
#include "platform/critical_section.h"

namespace dac {

class TDKConnection;
class TDKConnectionPoolManager;

class TDKConnectionPool : public TObject, public std::enable_shared_from_this<TDKConnectionPool> {
  DAC_DECLARE_CLASS();

 public:
  // Copies the parameters through their own class. The manager may be null.
  TDKConnectionPool(TDKConnectionPoolManager* manager, const TDKConnectionParameters& parameters);
  TDKConnectionPool(const TDKConnectionPool&) = delete;
  TDKConnectionPool& operator=(const TDKConnectionPool&) = delete;

  virtual void Validate() {}
  virtual void Clear() {}
  virtual void AsyncClear() {}
  virtual int32_t GetTotalConnectionsCount() const { return taken_connections_count_; }

 protected:
  virtual void InternalPutConnection(TDKConnection* connection) = 0;

 public:
  // A connected connection whose pool is this one; the caller owns it until
  // it returns it.
  virtual TDKConnection* GetConnection() = 0;
  virtual void Invalidate() {}

  // Takes back a connection with its ownership: the manager looks at it
  // first, then the pool keeps or frees it.
  void PutConnection(TDKConnection* connection);

  // The manager lets the pool go (it was cleared or stopped): from now on the
  // pool forgets the manager, and connections come back only to be freed.
  // Waits for returns that are still with the manager.
  void Detach();
  bool IsDetached() const { return detached_.load(std::memory_order_acquire); }

  const TDKConnectionParameters& ConnectionParameters() const { return *connection_parameters_; }

 protected:
  std::unique_ptr<TDKConnectionParameters> connection_parameters_;
  int32_t taken_connections_count_ = 0;

 private:
  // Guards manager_ while a return is with the manager.
  plat::CriticalSection manager_lock_;
  TDKConnectionPoolManager* manager_;
  std::atomic<bool> detached_{false};
};

}  // namespace dac
