// Stand-ins for the SQL command components and the datasets that work on a
// connection component: their state is plain fields a test sets, and Work
// runs one statement on the fake server the way the components do.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dac/core/connection_client.h"
#include "dac/core/connection_component.h"
#include "tests/dac/framework/row_dataset.h"

namespace dac::test {

class TestClient : public IDAConnectionClient {
 public:
  // Registers with the new connection (hearing its connect events).
  void SetConnection(TCustomDAConnection* value);
  // One operation of the given cause: pushed, on the connection between
  // InternalConnect and InternalDisconnect, run again after EFailOver.
  void Work(TConnLostCause cause, const std::string& sql);

  TDAClientKind ClientKind() const override { return kind_; }
  TCustomDAConnection* ClientConnection() const override { return connection_; }
  void BindServerConnection(TDKConnection* connection) override { bound = connection; }
  void DetachFromConnection() override { SetConnection(nullptr); }
  bool ClientIsQuery() const override { return is_query; }
  bool ClientPrepared() const override { return prepared; }
  bool ClientExecuting() const override { return executing; }
  bool ClientFetchAll() const override { return fetch_all; }
  bool ClientFetched() const override { return fetched; }
  bool ClientActive() const override { return active; }
  bool ClientCachedUpdates() const override { return cached_updates; }
  // Runs "UPDATE t".
  void ClientApplyUpdates() override;
  void ClientCommitUpdates() override { ++commits; }
  void ClientTransactionEnded(bool committed) override { transactions_ended.push_back(committed); }

  bool is_query = false, prepared = false, executing = false, fetch_all = true, fetched = true;
  bool active = false, cached_updates = false;
  int applies = 0, commits = 0, reruns = 0;
  TDKConnection* bound = nullptr;
  // How each transaction of the connection ended: true for a commit.
  std::vector<bool> transactions_ended;
  // The connect events heard, in order; then the test's own handler.
  std::vector<bool> connect_events;
  std::function<void(bool connecting)> on_connect_change;

 protected:
  TestClient(TComponent& self, TDAClientKind kind) : self_(self), kind_(kind) {}
  ~TestClient() = default;

 private:
  TComponent& self_;
  TDAClientKind kind_;
  TCustomDAConnection* connection_ = nullptr;
};

class TestSQL : public TComponent, public TestClient {
  DAC_DECLARE_CLASS();

 public:
  explicit TestSQL(TComponent* owner) : TComponent(owner), TestClient(*this, dckSQL) {}

 protected:
  void BeforeDestruction() override;
};

class TestDataSet : public RowDataSet, public TestClient {
  DAC_DECLARE_CLASS();

 public:
  explicit TestDataSet(TComponent* owner) : RowDataSet(owner), TestClient(*this, dckDataSet) {}

 protected:
  void BeforeDestruction() override;
};

}  // namespace dac::test
