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
#include "dac/core/server/da_errors.h"
#include "dac/core/trace/sql_monitor.h"
#include "tests/dac/core/support/fake_pool.h"
#include "tests/dac/core/support/fake_provider.h"

namespace dac::test {

class RecordingMonitor : public TCustomDASQLMonitor {
  DAC_DECLARE_CLASS();

 public:
  // The latest made becomes the class's monitor.
  explicit RecordingMonitor(TComponent* owner) : TCustomDASQLMonitor(owner) { current = this; }
  static inline RecordingMonitor* current = nullptr;

  // "connect before", "connect after", and so for "disconnect", "start",
  // "commit", "rollback" and "execute".
  std::vector<std::string> calls;

  void InternalDBConnect(TComponent*, TTracePoint point, int32_t&) override { Record("connect", point); }
  void InternalDBDisconnect(TComponent*, TTracePoint point, int32_t&) override { Record("disconnect", point); }
  void InternalTRStart(TComponent*, TTracePoint point, int32_t&) override { Record("start", point); }
  void InternalTRCommit(TComponent*, TTracePoint point, int32_t&) override { Record("commit", point); }
  void InternalTRRollback(TComponent*, TTracePoint point, int32_t&) override { Record("rollback", point); }
  void InternalSQLExecute(TComponent*, const std::string&, TParams*, const std::string&, TTracePoint point,
                          int32_t&) override {
    Record("execute", point);
  }

 protected:
  ~RecordingMonitor() override {
    if (current == this) current = nullptr;
  }

 private:
  void Record(const char* what, TTracePoint point) {
    calls.push_back(std::string(what) + (point == tpBeforeEvent ? " before" : " after"));
  }
};

class TestConnection : public TCustomDAConnection {
  DAC_DECLARE_CLASS();

 public:
  explicit TestConnection(TComponent* owner);

  // The server connection, a fake one (or null).
  FakeConnection* Fake() const { return dynamic_cast<FakeConnection*>(GetIConnection()); }

  const TMetaClass& GetIConnectionClass() const override { return FakeConnection::ClassInfo(); }
  const TMetaClass& GetICommandClass() const override { return FakeCommand::ClassInfo(); }
  const TMetaClass& GetIRecordSetClass() const override;
  // A TestDADataSet on this connection.
  TComponent* CreateDataSet() override;
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
