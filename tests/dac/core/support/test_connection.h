// A connection component over the fake provider, and a monitor that records
// what a connection reports to it. The connection shows no login dialog
// unless a test sets LoginPrompt; the errors whose codes are in fatal_codes
// mean a lost connection.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dac/core/connection_component.h"
#include "dac/core/da_errors.h"
#include "dac/core/sql_monitor.h"
#include "tests/dac/core/support/fake_pool.h"
#include "tests/dac/core/support/fake_provider.h"

namespace dac::test {

class RecordingMonitor : public TCustomDASQLMonitor {
  DAC_DECLARE_CLASS();

 public:
  // The latest made becomes the class's monitor.
  explicit RecordingMonitor(TComponent* owner);
  static inline RecordingMonitor* current = nullptr;

  // "connect before", "connect after", and so for "disconnect", "start",
  // "commit", "rollback"; "error <message>".
  std::vector<std::string> calls;

  void InternalDBConnect(TComponent* connection, TTracePoint point, int32_t& message_id) override;
  void InternalDBDisconnect(TComponent* connection, TTracePoint point, int32_t& message_id) override;
  void InternalTRStart(TComponent* connection, TTracePoint point, int32_t& message_id) override;
  void InternalTRCommit(TComponent* connection, TTracePoint point, int32_t& message_id) override;
  void InternalTRRollback(TComponent* connection, TTracePoint point, int32_t& message_id) override;
  void InternalDBError(const EDAError& error) override;

 protected:
  ~RecordingMonitor() override;

 private:
  void Record(const char* what, TTracePoint point);
};

class TestConnection : public TCustomDAConnection {
  DAC_DECLARE_CLASS();

 public:
  explicit TestConnection(TComponent* owner);

  // The server connection, a fake one (or null).
  FakeConnection* Fake() const { return dynamic_cast<FakeConnection*>(GetIConnection()); }

  const TMetaClass& GetIConnectionClass() const override { return FakeConnection::ClassInfo(); }
  const TMetaClass& GetICommandClass() const override { return FakeCommand::ClassInfo(); }
  const TDASQLMonitorClass& SQLMonitorClass() const override;
  bool IsFatalError(const EDAError& error) const override { return fatal_codes.contains(error.ErrorCode()); }
  void ResetOnFatalError() override { ++resets; }
  void RestoreAfterFailOver() override { ++restores; }
  // Runs the text on the fake server; Null.
  Variant ExecSQL(const std::string& text, const std::vector<Variant>& params) override;

  std::shared_ptr<FakeServer> server = std::make_shared<FakeServer>();
  // Where pooled server connections come from; made at the first.
  std::shared_ptr<FakePool> pool;
  std::set<int32_t> fatal_codes{FakeServer::kLostConnection};
  int resets = 0;
  int restores = 0;

 protected:
  // A fake connection to server, or one from the pool while pooling.
  void CreateIConnection() override;
};

}  // namespace dac::test
