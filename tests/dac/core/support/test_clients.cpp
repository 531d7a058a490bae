#include "tests/dac/core/support/test_clients.h"

#include "dac/core/server/da_errors.h"
#include "dac/framework/classes/scoped_value.h"
#include "tests/dac/core/support/fake_provider.h"

namespace dac::test {

DAC_DEFINE_CLASS(TestSQL, TComponent, TComponentClassOf<TestSQL>)
DAC_DEFINE_CLASS(TestDataSet, TDataSet, TComponentClassOf<TestDataSet>)

void TestClient::SetConnection(TCustomDAConnection* value) {
  if (connection_) connection_->UnRegisterClient(&self_);
  connection_ = value;
  if (!connection_) return;
  connection_->RegisterClient(&self_, [this](TObject*, bool connecting) {
    connect_events.push_back(connecting);
    if (on_connect_change) on_connect_change(connecting);
  });
}

void TestClient::ClientApplyUpdates() {
  ++applies;
  dynamic_cast<FakeConnection&>(*connection_->GetIConnection()).Run("UPDATE t", &self_);
}

void TestClient::Work(TConnLostCause cause, const std::string& sql) {
  TOperationScope operation(connection_, cause);
  TScopedValue<bool> running(executing, true);
  connection_->InternalConnect();
  try {
    for (;; ++reruns, connection_->RestoreAfterFailOver()) {
      try {
        dynamic_cast<FakeConnection&>(*connection_->GetIConnection()).Run(sql, &self_);
        break;
      } catch (const EFailOver&) {
      }
    }
  } catch (...) {
    connection_->InternalDisconnect();
    throw;
  }
  connection_->InternalDisconnect();
}

void TestSQL::BeforeDestruction() {
  SetConnection(nullptr);
  TComponent::BeforeDestruction();
}

void TestDataSet::BeforeDestruction() {
  SetConnection(nullptr);
  RowDataSet::BeforeDestruction();
}

}  // namespace dac::test
