// The data-access layer's exceptions: EDAError, the base of every server
// error a provider raises, and EFailOver, which asks a caller to run its
// operation again after the lost connection was restored.
#pragma once

#include <cstdint>
#include <string>

#include "dac/framework/classes/database_error.h"
#include "dac/store/record/record_set_types.h"

namespace dac {

class TComponent;

class EDAError : public EDatabaseError {
 public:
  EDAError(int32_t error_code, std::string message) : EDatabaseError(std::move(message)), error_code_(error_code) {}

  // The server's or client library's error number.
  int32_t ErrorCode() const { return error_code_; }
  // The component during whose work the error arose; null until whoever
  // raises or forwards the error names it.
  TComponent* Component() const { return component_; }
  void SetComponent(TComponent* component) { component_ = component; }

 private:
  int32_t error_code_;
  TComponent* component_ = nullptr;
};

class EFailOver : public Exception {
 public:
  explicit EFailOver(TConnLostCause cause) : cause_(cause) {}
  TConnLostCause ConnLostCause() const { return cause_; }

 private:
  TConnLostCause cause_;
};

}  // namespace dac
