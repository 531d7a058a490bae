// The monitor's Tracedesk senders: each fills the message record and calls
// the object, when the monitor holds one.
#include "dac/core/trace/sql_monitor.h"
#include "dac/core/trace/traced_component.h"

namespace dac {

TMonitorMessage TCustomDASQLMonitor::MessageOf(TEventType type, TComponent* component, TComponent* parent,
                                               const std::string& description, TTracePoint point,
                                               int32_t message_id) const {
  TMonitorMessage message;
  message.MessageID = point == tpBeforeEvent ? 0 : message_id;
  message.EventType = type;
  message.TracePoint = point;
  message.ComponentID = GetComponentID(component);
  message.ParentID = GetComponentID(parent);
  message.ComponentName = GetComponentName(component);
  message.ParentName = GetComponentName(parent);
  message.Description = description;
  return message;
}

void TCustomDASQLMonitor::SendEvent(TMonitorMessage message, const std::optional<std::string>& extra,
                                    int32_t& message_id) {
  tracedesk_->Event(message, extra);
  if (message.TracePoint == tpBeforeEvent) message_id = message.MessageID;
}

void TCustomDASQLMonitor::OnConnect(const std::string& username, const std::string& server, const std::string& message,
                                    TComponent* component, TTracePoint point, int32_t& message_id) {
  if (!tracedesk_) return;
  TComponent* parent = MonitorClass().GetParent(component, 0);
  SendEvent(MessageOf(etConnect, component, parent, message, point, message_id),
            "Username=" + username + "\r\nServer=" + server, message_id);
}

void TCustomDASQLMonitor::OnDisconnect(const std::string& /*username*/, const std::string& /*server*/,
                                       const std::string& message, TComponent* component, TTracePoint point,
                                       int32_t& message_id) {
  if (!tracedesk_) return;
  TComponent* parent = MonitorClass().GetParent(component, 0);
  SendEvent(MessageOf(etDisconnect, component, parent, message, point, message_id), std::nullopt, message_id);
}

void TCustomDASQLMonitor::OnTransact(const std::string& message, TComponent* component, int kind, TTracePoint point,
                                     int32_t& message_id) {
  if (!tracedesk_) return;
  const TEventType type = kind == 2 ? etCommit : kind == 3 ? etRollback : etMisc;
  const int32_t given_id = message_id;
  for (int i = 0; i < MonitorClass().GetParentCount(component); ++i) {
    TComponent* parent = MonitorClass().GetParent(component, i);
    SendEvent(MessageOf(type, component, parent, message, point, given_id), std::nullopt, message_id);
  }
}

void TCustomDASQLMonitor::OnError(const std::string& message) {
  if (!tracedesk_) return;
  TMonitorMessage record;
  record.EventType = etError;
  record.TracePoint = tpAfterEvent;
  int32_t unused = 0;
  SendEvent(record, message, unused);
}

void TCustomDASQLMonitor::OnCustomMessage(const std::string& text, TComponent* component, TTracePoint point,
                                          int32_t& message_id) {
  if (!tracedesk_) return;
  TComponent* parent = MonitorClass().GetParent(component, 0);
  SendEvent(MessageOf(etConnect, component, parent, text, point, message_id), std::nullopt, message_id);
}

void TCustomDASQLMonitor::OnExecute(const std::string& sql, const TSQLParams& params, const std::string& message,
                                    TComponent* component, TTracePoint point, int32_t& message_id) {
  PrepareExecuteMessage(sql, params, message, component, point, message_id);
}

void TCustomDASQLMonitor::OnPrepare(const std::string& sql, const TSQLParams& params, const std::string& message,
                                    TComponent* component, TTracePoint point, int32_t& message_id) {
  PrepareExecuteMessage(sql, params, message, component, point, message_id);
}

void TCustomDASQLMonitor::OnUnprepare(const std::string& sql, const TSQLParams& params, const std::string& message,
                                      TComponent* component, TTracePoint point, int32_t& message_id) {
  PrepareExecuteMessage(sql, params, message, component, point, message_id);
}

void TCustomDASQLMonitor::PrepareExecuteMessage(const std::string& sql, const TSQLParams& params,
                                                const std::string& message, TComponent* component, TTracePoint point,
                                                int32_t& message_id) {
  if (!tracedesk_) return;
  TComponent* parent = MonitorClass().GetParent(component, 0);
  TMonitorMessage record = MessageOf(etExecute, component, parent, message, point, message_id);
  const ITracedComponent* traced = TracedComponentOf(component);
  tracedesk_->SQLEvent(record, sql, params, traced ? traced->GetTraceRowsAffected() : 0);
  if (point == tpBeforeEvent) message_id = record.MessageID;
}

}  // namespace dac
