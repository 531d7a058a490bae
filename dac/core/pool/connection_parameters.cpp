#include "dac/core/pool/connection_parameters.h"

namespace dac {

DAC_DEFINE_CLASS(TDKConnectionParameters, TPersistent, TMetaClassOf<TDKConnectionParameters>)

// Exact comparisons: a server tells user names apart by case, and a pooled
// session must be the very one these settings would open.
bool TDKConnectionParameters::Equals(const TDKConnectionParameters* other) const {
  return other != nullptr && MinPoolSize == other->MinPoolSize && MaxPoolSize == other->MaxPoolSize &&
         Username == other->Username && Server == other->Server && Password == other->Password &&
         ConnectionLifetime == other->ConnectionLifetime && Validate == other->Validate;
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
