#include "dac/core/pool/connection_parameters.h"

#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TDKConnectionParameters, TPersistent, TMetaClassOf<TDKConnectionParameters>)

bool TDKConnectionParameters::Equals(const TDKConnectionParameters* other) const {
  return other != nullptr && MinPoolSize == other->MinPoolSize && MaxPoolSize == other->MaxPoolSize &&
         plat::SameText(Username, other->Username) && plat::SameText(Server, other->Server) &&
         Password == other->Password && ConnectionLifetime == other->ConnectionLifetime && Validate == other->Validate;
}

void TDKConnectionParameters::AssignTo(TPersistent* dest) const {
  auto* target = dynamic_cast<TDKConnectionParameters*>(dest);
  if (!target) return TPersistent::AssignTo(dest);
  target->MinPoolSize = MinPoolSize;
  target->MaxPoolSize = MaxPoolSize;
  target->Username = Username;
  target->Server = Server;
  target->Password = Password;
  target->ConnectionLifetime = ConnectionLifetime;
  target->Validate = Validate;
}

}  // namespace dac
