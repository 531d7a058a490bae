#include "dac/framework/data/custom_connection.h"

#include <algorithm>

#include "dac/framework/data/dataset.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomConnection, TComponent, TComponentClass)

TCustomConnection::TCustomConnection(TComponent* owner) : TComponent(owner) {}

void TCustomConnection::SetConnected(bool value) {
  if (value == GetConnected()) return;
  if (value) {
    Fire(before_connect_);
    DoConnect();
    SendConnectEvent(true);
    Fire(after_connect_);
  } else {
    Fire(before_disconnect_);
    DoDisconnect();
    Fire(after_disconnect_);
  }
}

void TCustomConnection::RegisterClient(TObject* client, TConnectChangeEvent event) {
  const auto found =
      std::find_if(clients_.begin(), clients_.end(), [&](const Client& entry) { return entry.object == client; });
  if (found != clients_.end()) {
    found->event = std::move(event);
    return;
  }
  clients_.push_back({client, std::move(event)});
  if (auto* data_set = dynamic_cast<TDataSet*>(client)) data_sets_.push_back(data_set);
}

void TCustomConnection::UnRegisterClient(TObject* client) {
  std::erase_if(clients_, [&](const Client& entry) { return entry.object == client; });
  std::erase(data_sets_, dynamic_cast<TDataSet*>(client));
}

TDataSet* TCustomConnection::DataSets(int index) const {
  if (index < 0 || index >= DataSetCount()) ListIndexError(index);
  return data_sets_[static_cast<size_t>(index)];
}

void TCustomConnection::SendConnectEvent(bool connecting) {
  const std::vector<Client> snapshot = clients_;
  for (const Client& client : snapshot) {
    const bool still_registered = std::any_of(clients_.begin(), clients_.end(),
                                              [&](const Client& entry) { return entry.object == client.object; });
    if (still_registered && client.event) client.event(this, connecting);
  }
}

void TCustomConnection::BeforeDestruction() {
  TComponent::BeforeDestruction();
  SetConnected(false);
}

}  // namespace dac
