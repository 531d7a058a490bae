// Stand-ins for the connection and the SQL components that report to the
// SQL monitor and the connect dialog.
#pragma once

#include <string>

#include "dac/core/trace/connection_credentials.h"
#include "dac/core/trace/traced_component.h"
#include "dac/framework/classes/component.h"

namespace dac::test {

class TracedConnection : public TComponent, public IConnectionCredentials {
  DAC_DECLARE_CLASS();

 public:
  using TComponent::TComponent;
  std::string GetUsername() const override { return username; }
  void SetUsername(const std::string& value) override { username = value; }
  std::string GetPassword() const override { return password; }
  void SetPassword(const std::string& value) override { password = value; }
  std::string GetServer() const override { return server; }
  void SetServer(const std::string& value) override { server = value; }

  std::string username;
  std::string password;
  std::string server;
};

class TracedQuery : public TComponent, public ITracedComponent {
  DAC_DECLARE_CLASS();

 public:
  using TComponent::TComponent;
  TComponent* GetTraceParent() const override { return connection; }
  bool GetTraceDebug() const override { return debug; }
  int32_t GetTraceRowsAffected() const override { return rows_affected; }

  TComponent* connection = nullptr;
  bool debug = false;
  int32_t rows_affected = 0;
};

}  // namespace dac::test
