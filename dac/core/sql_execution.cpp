// The SQL command component at work: the parameters handed to the command
// and read back, prepare, execute with the failover repeat, the command's
// report, and waiting for a command another thread runs.
#include <algorithm>
#include <cmath>

#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/server/command.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/da_errors.h"
#include "dac/core/sql_component.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/record/data_types.h"
#include "dac/store/runtime/host_hooks.h"
#include "platform/clock.h"

namespace dac {

namespace {

constexpr uint32_t kExecutingPollMs = 5;

// The parameter whose value a parameter sends: itself, or the first
// parameter of its name when only that one holds an object (a blob named
// twice in the SQL is set through the first).
TDAParam& ValueHolder(TDAParam& param) {
  auto* first = dynamic_cast<TDAParam*>(param.ParamRef());
  if (first && first != &param && !param.IsObjectDataType() && first->IsObjectDataType()) return *first;
  return param;
}

void WriteDescValue(TDAParam& param, TParamDesc& desc) {
  if (param.IsObjectDataType()) {
    desc.SetNull(param.IsNull());
    desc.SetObject(param.GetParamObject());
    return;
  }
  Variant value = param.GetAsVariant();
  if (param.GetDataType() == ftDate && !value.IsEmptyOrNull()) {
    value = Variant::FromDateTime(std::trunc(value.AsDateTime()));
  }
  const uint16_t type = desc.GetDataType();
  if (value.IsString() && (type == dtBlob || type == dtBytes || type == dtVarBytes)) {
    const std::string bytes = value.AsString();
    value = Variant(TBytes(bytes.begin(), bytes.end()));
  }
  desc.SetValue(value);
}

}  // namespace

// ---- parameters to and from the command ----

void TCustomDASQL::CreateParams() {
  TDAParams& params = *params_;
  const bool need_update = params.GetNeedUpdate();
  params.SetNeedUpdate(false);
  try {
    params.Clear();
    for (int i = 0; i < icommand_->GetParamCount(); ++i) {
      const TParamDesc& desc = *icommand_->GetParam(i);
      auto* param = static_cast<TDAParam*>(params.Add());
      param->SetName(desc.GetName());
      param->SetDataType(GetFieldType(desc.GetDataType()));
      param->SetParamType(static_cast<TParamType>(desc.GetParamType()));
    }
  } catch (...) {
    params.SetNeedUpdate(need_update);
    throw;
  }
  params.SetNeedUpdate(need_update);
}

void TCustomDASQL::WriteParams(bool write_value) {
  if (!icommand_) return;
  TDKCommand& command = *icommand_;
  const int count = params_->Count();
  for (int i = 0; i < count; ++i) {
    TDAParam& param = *params_->Items(i);
    TDAParam& holder = ValueHolder(param);
    TParamDesc& desc = i < command.GetParamCount() ? *command.GetParam(i) : *command.AddParam();
    desc.SetName(param.Name());
    desc.SetDataType(GetDataType(holder.GetDataType()));
    desc.SetParamType(static_cast<TParamDirection>(param.ParamType()));
    if (write_value) WriteDescValue(holder, desc);
  }
  while (command.GetParamCount() > count) command.DeleteParam(command.GetParamCount() - 1);
}

void TCustomDASQL::ReadParams() {
  if (!icommand_) return;
  const int count = std::min(params_->Count(), icommand_->GetParamCount());
  for (int i = 0; i < count; ++i) {
    TDAParam& param = *params_->Items(i);
    if (param.IsObjectDataType() || param.ParamType() == ptInput) continue;
    param.SetAsVariant(icommand_->GetParam(i)->GetValue());
  }
}

// ---- prepare ----

bool TCustomDASQL::Traced() const {
  return !lock_debug_ && (debug_ || UsedConnection()->SQLMonitorClass().HasMonitor());
}

bool TCustomDASQL::GetPrepared() const { return icommand_ && icommand_->GetPrepared(); }

void TCustomDASQL::SetPrepared(bool value) {
  if (value) {
    Prepare();
  } else {
    UnPrepare();
  }
}

void TCustomDASQL::InternalPrepare() { icommand_->Prepare(); }

void TCustomDASQL::InternalUnPrepare() { icommand_->Unprepare(); }

// The connection stays in use while prepared.
void TCustomDASQL::Prepare() {
  if (GetPrepared()) return;
  BeginConnection(true);
  try {
    const TDASQLMonitorClass& monitor = UsedConnection()->SQLMonitorClass();
    const bool traced = Traced();
    int32_t message_id = 0;
    if (traced) monitor.SQLPrepare(this, GetFinalSQL(), params_.get(), message_id, true);
    InternalPrepare();
    if (traced) monitor.SQLPrepare(this, GetFinalSQL(), params_.get(), message_id, false);
  } catch (...) {
    if (!GetPrepared()) EndConnection();
    throw;
  }
}

void TCustomDASQL::UnPrepare() {
  if (!GetPrepared()) return;
  try {
    InternalUnPrepare();
  } catch (...) {
    if (!GetPrepared()) EndConnection();
    throw;
  }
  EndConnection();
}

// ---- execute ----

bool TCustomDASQL::Executing() const {
  Variant executing;
  return icommand_ && icommand_->GetProp(prExecuting, executing) && executing.AsBoolean();
}

int32_t TCustomDASQL::RowsAffected() const {
  Variant rows;
  return icommand_ && icommand_->GetProp(prRowsProcessed, rows) ? rows.AsInt32() : 0;
}

// The command's report gives the connection back; so does every path on
// which the command did not report.
void TCustomDASQL::Execute(int iters) {
  if (Executing()) return;
  BeginConnection(true);
  reported_ = false;
  try {
    const TDASQLMonitorClass& monitor = UsedConnection()->SQLMonitorClass();
    const bool traced = Traced();
    int32_t message_id = 0;
    if (traced) monitor.SQLExecute(this, GetFinalSQL(), params_.get(), "", message_id, true);
    StartWait();
    WriteParams(true);
    InternalExecute(iters);
    if (traced) monitor.SQLExecute(this, GetFinalSQL(), params_.get(), "", message_id, false);
  } catch (...) {
    if (!reported_) EndConnection();
    throw;
  }
  if (!reported_) EndConnection();
}

void TCustomDASQL::InternalExecute(int iters) {
  DAC_ASSERT(icommand_ != nullptr, Name() + " has no command");
  TCustomDAConnection* used = UsedConnection();
  TOperationScope operation(used, clExecute, true);
  for (;;) {
    try {
      icommand_->Execute(iters);
      return;
    } catch (const EFailOver& failover) {
      if (failover.ConnLostCause() != clExecute) throw;
      used->RestoreAfterFailOver();
    }
  }
}

void TCustomDASQL::DoAfterExecute(bool result) {
  reported_ = true;
  try {
    if (result) ReadParams();
    if (TCustomDAConnection* used = UsedConnection()) used->MaintainImplicitTransaction(auto_commit_);
  } catch (...) {
    EndConnection();
    throw;
  }
  EndConnection();
  if (after_execute_) after_execute_(this, result);
}

bool TCustomDASQL::WaitExecuting(int timeout_seconds) const {
  const plat::Clock& clock = plat::ProcessClock();
  const uint64_t start = clock.TickCount64();
  const uint64_t limit = static_cast<uint64_t>(std::max(timeout_seconds, 0)) * 1000;
  while (Executing()) {
    if (limit > 0 && clock.TickCount64() - start >= limit) break;
    plat::Sleep(kExecutingPollMs);
  }
  return !Executing();
}

}  // namespace dac
