#include "tests/dac/core/support/fake_local_pool.h"

#include <chrono>
#include <thread>

namespace dac::test {

namespace {

// Takes one from a count that is above zero; false when it is not.
bool TakeOne(std::atomic<int>& count) {
  int left = count.load();
  while (left > 0 && !count.compare_exchange_weak(left, left - 1)) {
  }
  return left > 0;
}

}  // namespace

PooledFakeConnection::PooledFakeConnection(std::shared_ptr<FakeConnectionScript> script) : script_(std::move(script)) {
  ++script_->made;
}

PooledFakeConnection::~PooledFakeConnection() { ++script_->freed; }

void PooledFakeConnection::Connect(const std::string& connect_string) {
  if (TakeOne(script_->failing_connects))
    RaiseError(FakeServer::kCannotConnect, "Can't connect to the server", nullptr);
  FakeConnection::Connect(connect_string);
}

bool PooledFakeConnection::CheckIsValid() {
  ++script_->checks;
  std::this_thread::sleep_for(std::chrono::milliseconds(script_->check_ms));
  if (script_->check_raises) RaiseError(FakeServer::kLostConnection, "Lost connection to the server", nullptr);
  is_valid_ = script_->valid;
  return is_valid_;
}

FakeLocalPool::FakeLocalPool(TDKConnectionPoolManager* manager, const TDKConnectionParameters& parameters,
                             std::shared_ptr<FakeConnectionScript> script)
    : TDKLocalConnectionPool(manager, parameters), script_(std::move(script)) {}

void FakeLocalPool::Validate() {
  ++passes;
  TDKLocalConnectionPool::Validate();
}

std::unique_ptr<TDKConnection> FakeLocalPool::CreateNewConnector() {
  auto connection = std::make_unique<PooledFakeConnection>(script_);
  connection->SetUsername(ConnectionParameters().Username);
  connection->SetPassword(ConnectionParameters().Password);
  connection->SetServer(ConnectionParameters().Server);
  connection->Connect("");
  return connection;
}

std::shared_ptr<TDKConnectionPool> FakePoolManager::CreateDKConnectionPool(const TDKConnectionParameters& parameters) {
  return std::make_shared<FakeLocalPool>(this, parameters, script_);
}

}  // namespace dac::test
