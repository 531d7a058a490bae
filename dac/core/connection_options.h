// The option objects of a connection component: how it connects
// (TDAConnectionOptions, extended by providers) and the limits of the pool
// its server connections come from (TPoolingOptions).
#pragma once

#include <cstdint>

#include "dac/framework/classes/persistent.h"

namespace dac {

class TCustomDAConnection;

class TDAConnectionOptions : public TPersistent {
  DAC_DECLARE_CLASS();

 public:
  explicit TDAConnectionOptions(TCustomDAConnection* owner) : owner_(owner) {}

  TPersistent* GetOwner() const override;
  TCustomDAConnection* Owner() const { return owner_; }

  // When false, a connection loaded from a form while designing stays closed.
  bool GetKeepDesignConnected() const { return keep_design_connected_; }
  void SetKeepDesignConnected(bool value) { keep_design_connected_ = value; }
  // Connect on demand, disconnect when the last user is done. A new value
  // closes the connection first and goes down to the server connection.
  bool GetDisconnectedMode() const { return disconnected_mode_; }
  void SetDisconnectedMode(bool value);
  // Keeps the operation stack and asks OnConnectionLost.
  bool GetLocalFailover() const { return local_failover_; }
  void SetLocalFailover(bool value) { local_failover_ = value; }

 protected:
  // Copies the three switches (the disconnected mode through its setter).
  void AssignTo(TPersistent* dest) const override;

 private:
  TCustomDAConnection* owner_;
  bool keep_design_connected_ = true;
  bool disconnected_mode_ = false;
  bool local_failover_ = false;
};

class TPoolingOptions : public TPersistent {
  DAC_DECLARE_CLASS();

 public:
  explicit TPoolingOptions(TCustomDAConnection* owner) : owner_(owner) {}

  TPersistent* GetOwner() const override;

  int32_t GetMaxPoolSize() const { return max_pool_size_; }
  void SetMaxPoolSize(int32_t value) { max_pool_size_ = value; }
  int32_t GetMinPoolSize() const { return min_pool_size_; }
  void SetMinPoolSize(int32_t value) { min_pool_size_ = value; }
  // Milliseconds; 0 for no limit.
  int32_t GetConnectionLifetime() const { return connection_lifetime_; }
  void SetConnectionLifetime(int32_t value) { connection_lifetime_ = value; }
  bool GetValidate() const { return validate_; }
  void SetValidate(bool value) { validate_ = value; }

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  TCustomDAConnection* owner_;
  int32_t max_pool_size_ = 100;
  int32_t min_pool_size_ = 0;
  int32_t connection_lifetime_ = 0;
  bool validate_ = false;
};

}  // namespace dac
