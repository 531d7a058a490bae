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
