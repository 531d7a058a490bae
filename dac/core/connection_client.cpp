#include "dac/core/connection_client.h"

#include "dac/framework/exceptions.h"
#include "dac/framework/meta_class.h"

namespace dac {

IDAConnectionClient* ConnectionClientOf(const TObject* object) {
  return dynamic_cast<IDAConnectionClient*>(const_cast<TObject*>(object));
}

IDAConnectionClient& DataSetClientOf(const TObject* data_set) {
  IDAConnectionClient* client = ConnectionClientOf(data_set);
  DAC_ASSERT(client != nullptr && client->ClientKind() == dckDataSet,
             data_set->ClassName() + " is not a data-access dataset");
  return *client;
}

}  // namespace dac
