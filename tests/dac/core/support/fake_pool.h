// A fake connection pool: hands out fake connections to one fake server and
// keeps the ones returned to it (reusing them first), counting both ways.
// Make it with std::make_shared: its connections hold it.
#pragma once

#include <memory>
#include <vector>

#include "dac/core/pool/connection_pool.h"
#include "tests/dac/core/support/fake_provider.h"

namespace dac::test {

class FakePool : public TDKConnectionPool {
 public:
  FakePool(const TDKConnectionParameters& parameters, std::shared_ptr<FakeServer> server);

  // A kept connection, else a new one; connected, with this pool.
  TDKConnection* GetConnection() override;
  int32_t GetTotalConnectionsCount() const override;

  int gets = 0;
  int puts = 0;
  // Connections returned and not taken again.
  std::vector<std::unique_ptr<TDKConnection>> kept;

 protected:
  // Keeps a valid connection; frees an invalid one.
  void InternalPutConnection(TDKConnection* connection) override;

 private:
  std::shared_ptr<FakeServer> server_;
};

}  // namespace dac::test
