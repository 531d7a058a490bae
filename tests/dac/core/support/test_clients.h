// Stand-ins for the SQL command components and the datasets that work on a
// connection component: their state is plain fields a test sets, and Work
// runs one statement on the fake server the way the components do.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dac/core/connection_client.h"
#include "dac/core/connection_component.h"
#include "dac/framework/component.h"
#include "tests/dac/framework/row_dataset.h"

namespace dac::test {

class TestClient : public IDAConnectionClient {
 public:
  TDAClientKind ClientKind() const override { return kind_; }
  TCustomDAConnection* ClientConnection() const override { return connection_; }
  // Registers with the new connection (hearing its connect events) and
  // unregisters from the old one.
  void SetConnection(TCustomDAConnection* value);
  void BindServerConnection(TDKConnection* connection) override;
  void DetachFromConnection() override { SetConnection(nullptr); }
  bool ClientIsQuery() const override { return is_query; }
  bool ClientPrepared() const override { return prepared; }
  bool ClientExecuting() const override { return executing; }
  bool ClientFetchAll() const override { return fetch_all; }
  bool ClientFetched() const override { return fetched; }
  bool ClientActive() const override { return active; }
  bool ClientCachedUpdates() const override { return cached_updates; }
  // Runs apply_sql.
  void ClientApplyUpdates() override;
  void ClientCommitUpdates() override { ++commits; }

  // One operation of the given cause: pushed, on the connection between
  // InternalConnect and InternalDisconnect, run again after EFailOver.
  void Work(TConnLostCause cause, const std::string& sql);

  bool is_query = false;
  bool prepared = false;
  bool executing = false;
  bool fetch_all = true;
  bool fetched = true;
  bool active = false;
  bool cached_updates = false;
  std::string apply_sql = "UPDATE t";
  int applies = 0;
  int commits = 0;
  int reruns = 0;
  // The server connection the command or record set is bound to.
  TDKConnection* bound = nullptr;
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
  bool has_object_ = false;
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
