#include "dac/core/trace/sql_monitor.h"

#include "dac/core/server/da_errors.h"
#include "dac/core/trace/connection_credentials.h"
#include "dac/core/trace/sql_monitor_client.h"
#include "dac/core/trace/traced_component.h"
#include "dac/core/trace/tracedesk_client.h"
#include "dac/store/runtime/host_hooks.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomDASQLMonitor, TComponent, TDASQLMonitorClassOf<TCustomDASQLMonitor>)

struct TCustomDASQLMonitor::SQLEventKind {
  const char* title;
  const char* default_caption;
  const char* text_prefix;
  TDATraceFlag flag;
  void (TCustomDASQLMonitor::*send)(const std::string&, const TSQLParams&, const std::string&, TComponent*, TTracePoint,
                                    int32_t&);
};

struct TCustomDASQLMonitor::LogInEventKind {
  const char* prefix;
  TDATraceFlag flag;
  // 0 for connects and disconnects, else the Tracedesk transaction kind.
  int transact_kind;
};

const TCustomDASQLMonitor::SQLEventKind TCustomDASQLMonitor::kExecute{"SQL Execute", "Execute", "", tfQExecute,
                                                                      &TCustomDASQLMonitor::OnExecute};
const TCustomDASQLMonitor::SQLEventKind TCustomDASQLMonitor::kPrepare{"SQL Prepare", "Prepare", "Prepare: ", tfQPrepare,
                                                                      &TCustomDASQLMonitor::OnPrepare};
const TCustomDASQLMonitor::SQLEventKind TCustomDASQLMonitor::kUnprepare{
    "SQL Unprepare", "Unprepare", "Unprepare: ", tfQPrepare, &TCustomDASQLMonitor::OnUnprepare};

const TCustomDASQLMonitor::LogInEventKind TCustomDASQLMonitor::kConnect{"Connect: ", tfConnect, 0};
const TCustomDASQLMonitor::LogInEventKind TCustomDASQLMonitor::kDisconnect{"Disconnect: ", tfConnect, 0};
const TCustomDASQLMonitor::LogInEventKind TCustomDASQLMonitor::kStart{"Start: ", tfTransact, 1};
const TCustomDASQLMonitor::LogInEventKind TCustomDASQLMonitor::kCommit{"Commit: ", tfTransact, 2};
const TCustomDASQLMonitor::LogInEventKind TCustomDASQLMonitor::kRollback{"Rollback: ", tfTransact, 3};

namespace {

std::string Hex8(uint32_t value) { return Format("%.8X", value); }

}  // namespace

TCustomDASQLMonitor::TCustomDASQLMonitor(TComponent* owner) : TComponent(owner) {}

TCustomDASQLMonitor::~TCustomDASQLMonitor() = default;

void TCustomDASQLMonitor::Init() {
  TComponent::Init();
  const bool owner_reading = Owner() && Owner()->ComponentState().Contains(csReading);
  if (ComponentState().Contains(csDesigning) || !owner_reading) SetActive(true);
}

void TCustomDASQLMonitor::Loaded() {
  TComponent::Loaded();
  CheckActive();
}

void TCustomDASQLMonitor::BeforeDestruction() {
  SetActive(false);
  TComponent::BeforeDestruction();
}

void TCustomDASQLMonitor::SetActive(bool value) {
  requested_active_ = value;
  if (ComponentState().Contains(csLoading) || value == active_) return;
  active_ = value;
  if (options_.Contains(moSQLMonitor)) value ? RegisterClient() : UnRegisterClient();
  if (options_.Contains(moTracedesk)) value ? AttachTracedesk() : tracedesk_.reset();
}

void TCustomDASQLMonitor::SetOptions(TMonitorOptions value) {
  options_ = value;
  if (!active_) return;
  options_.Contains(moSQLMonitor) ? RegisterClient() : UnRegisterClient();
  if (!options_.Contains(moTracedesk))
    tracedesk_.reset();
  else if (!tracedesk_)
    AttachTracedesk();
}

void TCustomDASQLMonitor::CheckActive() { SetActive(requested_active_); }

void TCustomDASQLMonitor::AttachTracedesk() {
  tracedesk_ = GetTracedesk();
  if (tracedesk_) tracedesk_->SetCaption(MonitorClass().GetCaption());
}

void TCustomDASQLMonitor::RegisterClient() {
  if (sql_monitor_client_ || MonitorClass().GetMonitor() != this) return;
  std::unique_ptr<ISQLMonitorClient> client = CreateSQLMonitorClient();
  if (!client) return;
  std::string name = ApplicationTitle();
  if (ComponentState().Contains(csDesigning)) name += ": " + MonitorClass().GetCaption();
  client->Register(name, [this](TObject* sender, int32_t data) { SMClientSignal(sender, data); });
  sql_monitor_client_ = std::move(client);
}

void TCustomDASQLMonitor::UnRegisterClient() { sql_monitor_client_.reset(); }

void TCustomDASQLMonitor::AddStatement(const std::string& text) {
  if (sql_monitor_client_) sql_monitor_client_->AddStatement(text);
}

void TCustomDASQLMonitor::SMClientSignal(TObject* /*sender*/, int32_t data) {
  trace_flags_ = TDATraceFlags::FromBits(static_cast<uint32_t>(data) & 0xFFFF);
}

bool TCustomDASQLMonitor::Traces(TDATraceFlag flag) {
  CheckActive();
  return active_ && trace_flags_.Contains(flag);
}

void TCustomDASQLMonitor::Notify(const std::string& text, TDATraceFlag flag) {
  if (on_sql_) on_sql_(this, text, flag);
}

bool TCustomDASQLMonitor::ShowsDialog(TComponent* component) const {
  if (!options_.Contains(moCustom) && !ComponentState().Contains(csDesigning)) return true;
  const ITracedComponent* traced = TracedComponentOf(component);
  return traced && traced->GetTraceDebug();
}

std::string TCustomDASQLMonitor::GetCompHandle(TComponent* component) const {
  if (!options_.Contains(moHandled)) return "";
  std::string handle = " [" + (component ? component->Name() : "") + "$" + Hex8(GetComponentID(component));
  if (TComponent* parent = MonitorClass().GetParent(component, 0))
    handle += "; " + parent->Name() + "$" + Hex8(GetComponentID(parent));
  return handle + "] ";
}

void TCustomDASQLMonitor::TraceSQL(const SQLEventKind& kind, TComponent* component, const std::string& sql,
                                   TParams* params, const std::string& caption, TTracePoint point,
                                   int32_t& message_id) {
  if (!Traces(kind.flag)) return;
  if (options_.Contains(moDialog) && point == tpBeforeEvent && ShowsDialog(component))
    ShowDebug(component, sql, params, caption.empty() ? kind.default_caption : caption);
  TSQLParams records;
  const std::string param_text(plat::TrimBlanks(MonitorClass().GetParams(params, records)));
  const std::string handle = GetCompHandle(component);
  if (options_.Contains(moSQLMonitor) && point != tpAfterEvent) {
    const std::string title = caption.empty() ? kind.title : std::string(kind.title) + " [" + caption + "]";
    AddStatement(title + handle + ": " + sql);
    if (!param_text.empty() && trace_flags_.Contains(tfParams)) AddStatement(param_text);
  }
  (this->*kind.send)(sql, records, kind.title + handle + ": " + sql + "\r\n" + param_text, component, point,
                     message_id);
  if (point != tpAfterEvent)
    Notify(kind.text_prefix + sql + (param_text.empty() ? "" : "\r\n" + param_text), kind.flag);
}

void TCustomDASQLMonitor::InternalSQLExecute(TComponent* component, const std::string& sql, TParams* params,
                                             const std::string& caption, TTracePoint point, int32_t& message_id) {
  TraceSQL(kExecute, component, sql, params, caption, point, message_id);
}

void TCustomDASQLMonitor::InternalSQLPrepare(TComponent* component, const std::string& sql, TParams* params,
                                             TTracePoint point, int32_t& message_id) {
  TraceSQL(kPrepare, component, sql, params, "", point, message_id);
}

void TCustomDASQLMonitor::InternalSQLUnprepare(TComponent* component, const std::string& sql, TParams* params,
                                               TTracePoint point, int32_t& message_id) {
  TraceSQL(kUnprepare, component, sql, params, "", point, message_id);
}

void TCustomDASQLMonitor::TraceLogIn(const LogInEventKind& kind, TComponent* connection, TTracePoint point,
                                     int32_t& message_id) {
  if (!Traces(kind.flag)) return;
  const IConnectionCredentials* credentials = CredentialsOf(connection);
  const std::string username = credentials ? credentials->GetUsername() : "";
  const std::string server = credentials ? credentials->GetServer() : "";
  const std::string message = kind.prefix + username + "@" + server + GetCompHandle(connection);
  if (options_.Contains(moSQLMonitor) && point != tpAfterEvent) AddStatement(message);
  if (kind.transact_kind != 0)
    OnTransact(message, connection, kind.transact_kind, point, message_id);
  else if (&kind == &kConnect)
    OnConnect(username, server, message, connection, point, message_id);
  else
    OnDisconnect(username, server, message, connection, point, message_id);
  if (point != tpAfterEvent) Notify(message, kind.flag);
}

void TCustomDASQLMonitor::InternalDBConnect(TComponent* connection, TTracePoint point, int32_t& message_id) {
  TraceLogIn(kConnect, connection, point, message_id);
}

void TCustomDASQLMonitor::InternalDBDisconnect(TComponent* connection, TTracePoint point, int32_t& message_id) {
  TraceLogIn(kDisconnect, connection, point, message_id);
}

void TCustomDASQLMonitor::InternalTRStart(TComponent* connection, TTracePoint point, int32_t& message_id) {
  TraceLogIn(kStart, connection, point, message_id);
}

void TCustomDASQLMonitor::InternalTRCommit(TComponent* connection, TTracePoint point, int32_t& message_id) {
  TraceLogIn(kCommit, connection, point, message_id);
}

void TCustomDASQLMonitor::InternalTRRollback(TComponent* connection, TTracePoint point, int32_t& message_id) {
  TraceLogIn(kRollback, connection, point, message_id);
}

void TCustomDASQLMonitor::InternalDBError(const EDAError& error) {
  if (!Traces(tfError)) return;
  const std::string message = "Error: " + error.Message();
  if (options_.Contains(moSQLMonitor)) AddStatement(message);
  OnError(error.Message());
  Notify(message, tfError);
}

void TCustomDASQLMonitor::InternalCustomMessage(TComponent* connection, const std::string& text, int32_t& message_id) {
  if (!Traces(tfMisc)) return;
  if (options_.Contains(moSQLMonitor)) AddStatement(text);
  OnCustomMessage(text, connection, tpBeforeEvent, message_id);
  OnCustomMessage(text, connection, tpAfterEvent, message_id);
  Notify(text, tfMisc);
}

}  // namespace dac
