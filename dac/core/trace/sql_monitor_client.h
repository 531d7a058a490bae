// The development environment's SQL monitor, one of the trace monitor's
// outputs: a client registers under a name with a signal through which the
// monitor sets its trace flags, adds statements, and is released by
// destroying it. The platform has no such monitor: unless a factory is
// installed, no client is made and the output stays detached.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dac {

class TObject;

class ISQLMonitorClient {
 public:
  // The monitor calls the signal with its sender and new trace flags in data.
  using TSignal = std::function<void(TObject* sender, int32_t data)>;

  virtual ~ISQLMonitorClient() = default;
  virtual void Register(const std::string& name, TSignal signal) = 0;
  virtual void AddStatement(const std::string& text) = 0;
};

using TSQLMonitorClientFactory = std::function<std::unique_ptr<ISQLMonitorClient>()>;

// Installs a factory and returns the previous one; an empty one restores the
// platform's.
TSQLMonitorClientFactory SetSQLMonitorClientFactory(TSQLMonitorClientFactory factory);
// A new client, or null when there is no monitor.
std::unique_ptr<ISQLMonitorClient> CreateSQLMonitorClient();

}  // namespace dac
