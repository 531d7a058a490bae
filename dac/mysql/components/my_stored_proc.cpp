#include "dac/mysql/components/my_stored_proc.h"

#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/param_desc.h"
#include "dac/core/server/record_set.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/store/dataset/mem_dataset.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomMyStoredProc, TCustomMyDataSet, ::dac::TComponentClassOf<TCustomMyStoredProc>)
DAC_DEFINE_CLASS(TMyStoredProc, TCustomMyStoredProc, ::dac::TComponentClassOf<TMyStoredProc>)

namespace {

TParamType ParamTypeOf(TParamDirection direction) {
  switch (direction) {
    case pdInput: return ptInput;
    case pdOutput: return ptOutput;
    case pdInputOutput: return ptInputOutput;
    case pdResult: return ptResult;
    default: break;
  }
  AssertionFailed("Invalid value in ConvertDKParamTypeToBDE(const Value: TParamDirection): TParamType", __FILE__,
                  __LINE__);
}

// The described parameters into params, in order.
void TakeDescribedParams(const TParamDescs& described, TDAParams& params) {
  for (int i = 0; i < described.Count(); ++i) {
    const TParamDesc& desc = *described.Items(i);
    const TParamType type = ParamTypeOf(desc.GetParamType());
    TDAParam* param = params.FindParam(desc.GetName());
    const bool is_new = param == nullptr;
    if (is_new) param = params.CreateParam(ftUnknown, desc.GetName(), type);
    param->SetParamType(type);
    const TFieldType field_type = GetFieldType(desc.GetDataType());
    if (param->GetDataType() != field_type) param->SetDataType(field_type);
    param->SetName(desc.GetName());
    if (is_new) param->SetValue(desc.GetValue());
    param->SetSize(desc.GetSize());
  }
}

}  // namespace

std::string CreateProcCall(TCustomMyConnection& connection, TDAParams* params, const std::string& name,
                           bool quote_names) {
  const bool was_connected = connection.GetConnected();
  if (!was_connected) connection.Connect();
  std::string sql;
  WithCleanup(
      [&] {
        TParamDescs described;
        sql = connection.IConnection()->CreateProcCall(true, described, name, quote_names);
        if (params) TakeDescribedParams(described, *params);
      },
      [&] {
        if (!was_connected) connection.Disconnect();
      });
  return sql;
}

void TCustomMyStoredProc::SetStoredProcName(const std::string& value) {
  if (value == stored_proc_name_) return;
  SQL().Clear();
  stored_proc_name_ = std::string(plat::TrimBlanks(value));
  if (UsedConnection() && UsedConnection()->GetConnected() && !stored_proc_name_.empty()) PrepareSQL();
}

void TCustomMyStoredProc::PSSetCommandText(const std::string& text) {
  if (!text.empty()) SetStoredProcName(text);
}

void TCustomMyStoredProc::PrepareSQL() {
  if (SQL().Count() > 0) return;
  if (stored_proc_name_.empty()) DatabaseError(LoadResString(SStoredProcNotDefined));
  BeginConnection(true);
  WithCleanup(
      [this] {
        auto* used = dynamic_cast<TCustomMyConnection*>(UsedConnection());
        DAC_ASSERT(used != nullptr, "A MySQL connection expected");
        TDAParams described;
        const std::string sql = CreateProcCall(*used, &described, stored_proc_name_, Options().GetQuoteNames());
        described.AssignValues(Params());
        SQL().SetText(sql);
        Params().Assign(&described);
      },
      [this] { EndConnection(); });
}

void TCustomMyStoredProc::Prepare() {
  PrepareSQL();
  TCustomMyDataSet::Prepare();
}

void TCustomMyStoredProc::BeforeOpenCursor(bool field_info_only) {
  PrepareSQL();
  TCustomMyDataSet::BeforeOpenCursor(field_info_only);
}

void TCustomMyStoredProc::BeforeExecute() {
  if (!GetPrepared()) PrepareSQL();
  TCustomMyDataSet::BeforeExecute();
}

void TCustomMyStoredProc::InternalExecute() {
  TMySQLRecordset* record_set = MyRecordSet();
  if (!record_set) return TCustomMyDataSet::InternalExecute();
  // Every result is read here: the call runs on the connection itself, in
  // its transaction, not on a second one for the rows to come.
  const bool create_connection = record_set->GetCreateConnection();
  record_set->SetProp(prMyCreateConnection, false);
  WithCleanup(
      [&] {
        TCustomMyDataSet::InternalExecute();
        if (record_set->GetCommandType() != ctCursor) return;
        record_set->OpenLastResult();
        // The fields are those of the last result.
        FieldDefs().SetUpdated(false);
      },
      [&] { record_set->SetProp(prMyCreateConnection, create_connection); });
}

void TCustomMyStoredProc::CreateIRecordSet() {
  TCustomMyDataSet::CreateIRecordSet();
  DAC_ASSERT(GetIRecordSet() != nullptr, "The stored procedure has no record set");
  GetIRecordSet()->SetProp(prMyStoredProc, true);
}

void TCustomMyStoredProc::Execute() {
  DAC_ASSERT(GetICommand() != nullptr, "The stored procedure has no command");
  const std::string sql = GetFinalSQL();
  RunTraced(sql, &Params(), "", [this] {
    // The statements of the run are not traced again.
    const bool lock_debug = GetLockDebug();
    SetLockDebug(true);
    WithCleanup(
        [this] {
          TCustomMyDataSet::Execute();
          // Prepared, the call opened on its first result: the later ones are read past.
          if (GetActive() && GetPrepared() && MyRecordSet()) {
            MyRecordSet()->OpenLastResult();
            Resync({});
          }
        },
        [&] { SetLockDebug(lock_debug); });
    Variant rows;
    if (GetICommand()->GetProp(prRowsProcessed, rows)) SetRowsAffected(rows.AsInt32());
  });
}

void TCustomMyStoredProc::AssignTo(TPersistent* dest) const {
  TCustomMyDataSet::AssignTo(dest);
  auto* other = dynamic_cast<TCustomMyStoredProc*>(dest);
  if (!other) return;
  other->SetStoredProcName(stored_proc_name_);
  for (int i = 0; i < Params().Count(); ++i) {
    TDAParam* own = Params().Items(i);
    TDAParam* theirs = other->Params().FindParam(own->Name());
    if (theirs && theirs->GetDataType() == own->GetDataType()) theirs->Assign(own);
  }
}

}  // namespace dac
