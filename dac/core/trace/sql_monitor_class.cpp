// The monitor's class operations: the class procedures the components call,
// parameter rendering and component naming.
#include <cstdint>

#include "dac/core/server/da_errors.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/core/trace/traced_component.h"
#include "dac/framework/data/params.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/runtime/buffer_routines.h"

namespace dac {

TShowDebugFormProc ShowDebugFormProc;

void ShowDebug(TComponent* component, const std::string& sql, TParams* params, const std::string& caption) {
  if (ShowDebugFormProc) ShowDebugFormProc(component, sql, params, caption);
}

uint32_t GetComponentID(const TComponent* component) {
  if (!component) return 0;
  auto id = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(component));
  if (const ITracedComponent* traced = TracedComponentOf(component))
    id ^= Reverse4(GetComponentID(traced->GetTraceParent()));
  return id;
}

std::string GetComponentName(const TComponent* component) {
  if (!component) return "";
  if (!component->Name().empty()) return component->Name();
  return component->ClassName() + Format(" ($%.8X)", GetComponentID(component));
}

namespace {

bool IsStringType(TFieldType type) { return type == ftString || type == ftFixedChar || type == ftWideString; }

TTracePoint PointOf(bool before) { return before ? tpBeforeEvent : tpAfterEvent; }

}  // namespace

TComponent* TDASQLMonitorClass::GetParent(TComponent* component, int /*index*/) const {
  const ITracedComponent* traced = TracedComponentOf(component);
  return traced ? traced->GetTraceParent() : nullptr;
}

int TDASQLMonitorClass::GetParentCount(TComponent* /*component*/) const { return 1; }

std::string TDASQLMonitorClass::GetParamDataType(TParam& param) const {
  const TFieldType type = param.GetDataType();
  std::string text = FieldTypeName(type);
  if (IsStringType(type)) text += "[" + std::to_string(param.GetAsString().size()) + "]";
  return text;
}

std::string TDASQLMonitorClass::GetParamParamType(TParam& param) const {
  switch (param.ParamType()) {
    case ptInput:
      return "IN";
    case ptOutput:
      return "OUT";
    case ptInputOutput:
      return "IN/OUT";
    case ptResult:
      return "RESULT";
    default:
      return "";
  }
}

std::string TDASQLMonitorClass::GetParamValue(TParam& param) const {
  if (param.GetIsNull()) return "<NULL>";
  const TFieldType type = param.GetDataType();
  if (IsStringType(type)) return "'" + param.GetAsString() + "'";
  switch (type) {
    case ftDate:
      return DateToStr(param.AsDateTime());
    case ftDateTime:
      return DateTimeToStr(param.AsDateTime());
    case ftBytes:
    case ftVarBytes:
      return "<BLOB:" + std::to_string(param.AsBytes().size()) + ">";
    case ftBlob:
    case ftMemo:
      return "<BLOB:" + std::to_string(param.GetAsString().size()) + ">";
    case ftCursor:
      return "<CURSOR>";
    default:
      return param.GetAsString();
  }
}

TSQLParam TDASQLMonitorClass::GetParam(TParam& param) const {
  return TSQLParam{param.Name(), GetParamDataType(param), GetParamParamType(param), GetParamValue(param)};
}

std::string TDASQLMonitorClass::ParamLine(const TSQLParam& param) const {
  std::string kinds = param.DataType;
  if (!param.ParamType.empty()) kinds += (kinds.empty() ? "" : ",") + param.ParamType;
  std::string line = ":" + param.Name + "(" + kinds + ")";
  if (!param.Value.empty()) line += "=" + param.Value;
  return line;
}

std::string TDASQLMonitorClass::GetParams(TParams* params, TSQLParams& records) const {
  records.clear();
  std::string text;
  for (int i = 0; params && i < params->Count(); ++i) {
    records.push_back(GetParam(*params->Items(i)));
    text += ParamLine(records.back()) + " \r\n";
  }
  return text;
}

void TDASQLMonitorClass::SQLPrepare(TComponent* component, const std::string& sql, TParams* params, int32_t& message_id,
                                    bool before) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor())
    monitor->InternalSQLPrepare(component, sql, params, PointOf(before), message_id);
  else if (before)
    ShowDebug(component, sql, params, "Prepare");
}

void TDASQLMonitorClass::SQLUnprepare(TComponent* component, const std::string& sql, TParams* params,
                                      int32_t& message_id, bool before) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor())
    monitor->InternalSQLUnprepare(component, sql, params, PointOf(before), message_id);
  else if (before)
    ShowDebug(component, sql, params, "Unprepare");
}

void TDASQLMonitorClass::SQLExecute(TComponent* component, const std::string& sql, TParams* params,
                                    const std::string& caption, int32_t& message_id, bool before) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor())
    monitor->InternalSQLExecute(component, sql, params, caption, PointOf(before), message_id);
  else if (before)
    ShowDebug(component, sql, params, caption.empty() ? "Execute" : caption);
}

void TDASQLMonitorClass::DBConnect(TComponent* connection, int32_t& message_id, bool before) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor()) monitor->InternalDBConnect(connection, PointOf(before), message_id);
}

void TDASQLMonitorClass::DBDisconnect(TComponent* connection, int32_t& message_id, bool before) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor())
    monitor->InternalDBDisconnect(connection, PointOf(before), message_id);
}

void TDASQLMonitorClass::TRStart(TComponent* connection, int32_t& message_id, bool before) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor()) monitor->InternalTRStart(connection, PointOf(before), message_id);
}

void TDASQLMonitorClass::TRCommit(TComponent* connection, int32_t& message_id, bool before) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor()) monitor->InternalTRCommit(connection, PointOf(before), message_id);
}

void TDASQLMonitorClass::TRRollback(TComponent* connection, int32_t& message_id, bool before) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor()) monitor->InternalTRRollback(connection, PointOf(before), message_id);
}

void TDASQLMonitorClass::DBError(const EDAError& error) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor()) monitor->InternalDBError(error);
}

void TDASQLMonitorClass::CustomMessage(TComponent* connection, const std::string& text, int32_t& message_id) const {
  if (TCustomDASQLMonitor* monitor = GetMonitor()) monitor->InternalCustomMessage(connection, text, message_id);
}

}  // namespace dac
