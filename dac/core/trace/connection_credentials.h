// What the SQL monitor and the connect dialog read and set of a connection
// component's log-in. The connection implements this beside its TComponent
// base; they find it by a cross cast.
#pragma once

#include <string>

namespace dac {

class TComponent;

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

// The interface of a component, or null when it has none.
IConnectionCredentials* CredentialsOf(const TComponent* component);

}  // namespace dac
