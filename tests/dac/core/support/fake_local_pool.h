// A fake provider for the pool tests: connections that count how many were
// made and freed and whose connect and check follow a script shared by every
// thread, a local pool that makes them, and a manager of such pools.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "dac/core/pool/connection_pool_manager.h"
#include "dac/core/pool/local_connection_pool.h"
#include "tests/dac/core/support/fake_provider.h"

namespace dac::test {

// What the pooled fake connections of one test do. Any thread may change it.
struct FakeConnectionScript {
  std::atomic<int> made{0};
  std::atomic<int> freed{0};
  std::atomic<int> checks{0};  // counted as each check begins
  // The next this many connects fail with the server's error.
  std::atomic<int> failing_connects{0};
  // What CheckIsValid answers, how long it takes, and whether it raises.
  std::atomic<bool> valid{true};
  std::atomic<uint32_t> check_ms{0};
  std::atomic<bool> check_raises{false};

  int Live() const { return made - freed; }
};

class PooledFakeConnection : public FakeConnection {
 public:
  explicit PooledFakeConnection(std::shared_ptr<FakeConnectionScript> script);
  ~PooledFakeConnection() override;

  void Connect(const std::string& connect_string) override;
  bool CheckIsValid() override;

 private:
  std::shared_ptr<FakeConnectionScript> script_;
};

class FakeLocalPool : public TDKLocalConnectionPool {
 public:
  FakeLocalPool(TDKConnectionPoolManager* manager, const TDKConnectionParameters& parameters,
                std::shared_ptr<FakeConnectionScript> script);

  void Validate() override;

  std::atomic<int> passes{0};

 protected:
  // A connection to the parameters' server as the parameters' user.
  std::unique_ptr<TDKConnection> CreateNewConnector() override;

 private:
  std::shared_ptr<FakeConnectionScript> script_;
};

class FakePoolManager : public TDKConnectionPoolManager {
 public:
  explicit FakePoolManager(std::shared_ptr<FakeConnectionScript> script) : script_(std::move(script)) {}
  ~FakePoolManager() override { Shutdown(); }

  std::shared_ptr<TDKConnectionPool> CreateDKConnectionPool(const TDKConnectionParameters& parameters) override;

 private:
  std::shared_ptr<FakeConnectionScript> script_;
};

}  // namespace dac::test
