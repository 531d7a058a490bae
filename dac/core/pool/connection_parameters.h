// The parameters that tell one connection pool from another: the pool sizes,
// who connects to which server, how long a connection may live and whether
// pooled connections are checked before reuse. A provider derives its own
// (with its server's settings) and a pool clones them through the class.
#pragma once

#include <cstdint>
#include <string>

#include "dac/framework/classes/persistent.h"

namespace dac {

class TDKConnectionParameters : public TPersistent {
  DAC_DECLARE_CLASS();

 public:
  TDKConnectionParameters() = default;

  // Same sizes, lifetime and Validate, and the same user name, server and
  // password, case included; false for null.
  virtual bool Equals(const TDKConnectionParameters* other) const;

  int32_t MinPoolSize = 0;
  int32_t MaxPoolSize = 100;
  std::string Username;
  std::string Server;
  std::string Password;
  int32_t ConnectionLifetime = 0;  // milliseconds; 0: no limit
  bool Validate = false;

 protected:
  // Copies the seven values into another parameters object.
  void AssignTo(TPersistent* dest) const override;
};

}  // namespace dac
