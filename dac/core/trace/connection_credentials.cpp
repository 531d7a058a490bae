#include "dac/core/trace/connection_credentials.h"

#include "dac/framework/classes/component.h"

namespace dac {

IConnectionCredentials* CredentialsOf(const TComponent* component) {
  return dynamic_cast<IConnectionCredentials*>(const_cast<TComponent*>(component));
}

}  // namespace dac
