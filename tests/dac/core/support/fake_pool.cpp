#include "tests/dac/core/support/fake_pool.h"

namespace dac::test {

FakePool::FakePool(const TDKConnectionParameters& parameters, std::shared_ptr<FakeServer> server)
    : TDKConnectionPool(nullptr, parameters), server_(std::move(server)) {}

TDKConnection* FakePool::GetConnection() {
  ++gets;
  std::unique_ptr<TDKConnection> connection;
  if (kept.empty()) {
    connection = std::make_unique<FakeConnection>(server_);
    connection->SetUsername(ConnectionParameters().Username);
    connection->SetPassword(ConnectionParameters().Password);
    connection->SetServer(ConnectionParameters().Server);
    connection->Connect("");
  } else {
    connection = std::move(kept.back());
    kept.pop_back();
  }
  connection->SetPool(shared_from_this());
  ++taken_connections_count_;
  return connection.release();
}

int32_t FakePool::GetTotalConnectionsCount() const {
  return taken_connections_count_ + static_cast<int32_t>(kept.size());
}

void FakePool::InternalPutConnection(TDKConnection* connection) {
  std::unique_ptr<TDKConnection> owned(connection);
  ++puts;
  --taken_connections_count_;
  // An idle connection does not hold its pool.
  owned->SetPool(nullptr);
  if (owned->GetIsValid()) kept.push_back(std::move(owned));
}

}  // namespace dac::test
