#include "tests/dac/core/support/test_connection.h"

namespace dac::test {

namespace {

class RecordingMonitorClass : public TDASQLMonitorClassOf<RecordingMonitor> {
 public:
  using TDASQLMonitorClassOf::TDASQLMonitorClassOf;
  TCustomDASQLMonitor* GetMonitor() const override { return RecordingMonitor::current; }
};

}  // namespace

DAC_DEFINE_CLASS(RecordingMonitor, TCustomDASQLMonitor, RecordingMonitorClass)
DAC_DEFINE_CLASS(TestConnection, TCustomDAConnection, TComponentClassOf<TestConnection>)

RecordingMonitor::RecordingMonitor(TComponent* owner) : TCustomDASQLMonitor(owner) { current = this; }

RecordingMonitor::~RecordingMonitor() {
  if (current == this) current = nullptr;
}

void RecordingMonitor::Record(const char* what, TTracePoint point) {
  calls.push_back(std::string(what) + (point == tpBeforeEvent ? " before" : " after"));
}

void RecordingMonitor::InternalDBConnect(TComponent*, TTracePoint point, int32_t&) { Record("connect", point); }

void RecordingMonitor::InternalDBDisconnect(TComponent*, TTracePoint point, int32_t&) { Record("disconnect", point); }

void RecordingMonitor::InternalTRStart(TComponent*, TTracePoint point, int32_t&) { Record("start", point); }

void RecordingMonitor::InternalTRCommit(TComponent*, TTracePoint point, int32_t&) { Record("commit", point); }

void RecordingMonitor::InternalTRRollback(TComponent*, TTracePoint point, int32_t&) { Record("rollback", point); }

void RecordingMonitor::InternalDBError(const EDAError& error) { calls.push_back("error " + error.Message()); }

TestConnection::TestConnection(TComponent* owner) : TCustomDAConnection(owner) { SetLoginPrompt(false); }

const TDASQLMonitorClass& TestConnection::SQLMonitorClass() const { return SQLMonitorClassOf<RecordingMonitor>(); }

Variant TestConnection::ExecSQL(const std::string& text, const std::vector<Variant>&) {
  Fake()->Run(text, this);
  return Variant::Null();
}

void TestConnection::CreateIConnection() {
  if (GetIConnection()) return;
  if (!GetPooling()) return SetIConnection(std::make_unique<FakeConnection>(server));
  if (!pool) pool = std::make_shared<FakePool>(TDKConnectionParameters(), server);
  SetIConnection(std::unique_ptr<TDKConnection>(pool->GetConnection()));
}

}  // namespace dac::test
