// What the SQL monitor and the connect dialog read of the components that
// report to them. A component implements these beside its TComponent base;
// the monitor and the dialog find them by a cross cast.
#pragma once

#include <cstdint>
#include <string>

namespace dac {

class TComponent;

// An SQL command component or a dataset: the statements it runs are traced.
class ITracedComponent {
 public:
  // The connection component the statements run on, or null.
  virtual TComponent* GetTraceParent() const = 0;
  // The component asks to be shown in the debug output.
  virtual bool GetTraceDebug() const = 0;
  // Rows the last statement touched.
  virtual int32_t GetTraceRowsAffected() const = 0;

 protected:
  ~ITracedComponent() = default;
};

// The log-in of a connection component.
class IConnectionCredentials {
 public:
  virtual std::string GetUsername() const = 0;
  virtual void SetUsername(const std::string& value) = 0;
  virtual std::string GetPassword() const = 0;
  virtual void SetPassword(const std::string& value) = 0;
  virtual std::string GetServer() const = 0;
  virtual void SetServer(const std::string& value) = 0;

 protected:
  ~IConnectionCredentials() = default;
};

// The interfaces of a component, or null when it has none.
ITracedComponent* TracedComponentOf(const TComponent* component);
IConnectionCredentials* CredentialsOf(const TComponent* component);

}  // namespace dac
