#include "dac/core/connection_client.h"

#include <utility>

#include "dac/core/connection_component.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/meta_class.h"

namespace dac {

void TClientRegistration::MoveTo(TCustomDAConnection* connection) {
  if (connection_) std::exchange(connection_, nullptr)->UnRegisterClient(client_);
  if (!connection) return;
  connection->RegisterClient(client_, on_change_);
  connection_ = connection;
}

void TakeClientConnection(TCustomDAConnection* connection, const TComponent* client, bool count_user,
                          const std::function<void()>& bind) {
  if (!connection) DatabaseError(LoadResString(SConnectionNotDefined), client);
  if (count_user) {
    connection->InternalConnect();
  } else if (!connection->GetConnected()) {
    connection->Connect();
  }
  try {
    bind();
  } catch (...) {
    if (count_user) connection->InternalDisconnect();
    throw;
  }
}

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
