#include "dac/core/dataset/update_statement_runner.h"

#include "dac/core/access_utils.h"
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/param_info.h"
#include "dac/core/dataset/sql_generator.h"
#include "dac/core/dataset/update_batch.h"
#include "dac/core/macros.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/core/update_sql.h"
#include "dac/framework/classes/application.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/field.h"
#include "dac/store/blob/blob.h"

namespace dac {

namespace {

constexpr TStatementTypes kWrites{stInsert, stUpdate, stDelete, stBatchUpdate};
constexpr TStatementTypes kRefreshes{stRefresh, stRefreshQuick, stRefreshCheckDeleted};
constexpr TStatementTypes kQuickRefreshes{stRefreshQuick, stRefreshCheckDeleted};

bool Intersects(TStatementTypes a, TStatementTypes b) { return !(a & b).Empty(); }

// The one type of the set; stCustom for none or several.
TStatementType SingleType(TStatementTypes types) {
  TStatementType found = stCustom;
  int count = 0;
  for (int type = stQuery; type <= stBatchUpdate; ++type) {
    if (!types.Contains(static_cast<TStatementType>(type))) continue;
    found = static_cast<TStatementType>(type);
    ++count;
  }
  return count == 1 ? found : stCustom;
}

// "Insert", "Update,Refresh": the type names without their "st".
std::string Description(TStatementTypes types) {
  static const char* const kNames[] = {"Query",      "Insert", "Update", "Delete",       "Lock",
                                       "Refresh",    "Check",  "Custom", "RefreshQuick", "RefreshCheckDeleted",
                                       "BatchUpdate"};
  std::string text;
  for (int type = stQuery; type <= stBatchUpdate; ++type) {
    if (!types.Contains(static_cast<TStatementType>(type))) continue;
    if (!text.empty()) text += ",";
    text += kNames[type];
  }
  return text;
}

// The lists' text ends each line with a line end.
std::string WithoutLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

// ---- the update queries ----

void TUpdateStatementRunner::PrepareQuery(TStatementType statement_type) {
  TComponent*& slot = queries_[static_cast<size_t>(statement_type)];
  query_ = slot;
  TCustomDAConnection* used = data_set_.UsedConnection();
  if (!query_) {
    DAC_ASSERT(used != nullptr, "No connection for the update query");
    slot = query_ = used->CreateDataSet();
    if (auto* data_set = dynamic_cast<TCustomDADataSet*>(query_)) {
      if (TDKRecordSet* record_set = data_set->GetIRecordSet()) record_set->SetComponent(&data_set_);
    }
  }
  auto* data_set = dynamic_cast<TCustomDADataSet*>(query_);
  auto* sql = dynamic_cast<TCustomDASQL*>(query_);
  if (!data_set && !sql) AssertionFailed("FUpdateQuery is " + query_->ClassName(), __FILE__, __LINE__);
  TDBAccessUtils::SetLockDebug(query_, true);
  if (sql) return sql->SetConnection(used);
  data_set->SetConnection(used);
  data_set->Close();
  const TDADataSetOptions& own = data_set_.Options();
  TDADataSetOptions& options = data_set->Options();
  options.SetTrimFixedChar(own.GetTrimFixedChar());
  options.SetTrimVarChar(own.GetTrimVarChar());
  options.SetFullRefresh(own.GetFullRefresh());
  options.SetCompressBlobMode(own.GetCompressBlobMode());
  options.SetFlatBuffers(true);
  if (kRefreshes.Contains(statement_type)) options.SetLongStrings(own.GetLongStrings());
  if (statement_type == stBatchUpdate) {
    data_set->SetParamCheck(false);
    data_set->Params().Clear();
  }
}

void TUpdateStatementRunner::UnprepareQueries() {
  for (TComponent* query : queries_) {
    if (auto* data_set = dynamic_cast<TCustomDADataSet*>(query)) data_set->UnPrepare();
  }
}

void TUpdateStatementRunner::FreeQueries() {
  for (TComponent*& query : queries_) ReportingErrors(&data_set_, [&query] { TComponent::FreeAndNil(query); });
  query_ = nullptr;
}

// ---- the statement ----

void TUpdateStatementRunner::ChooseStatement(const std::string& sql, TStatementTypes statement_types,
                                             TDAParamsInfo*& params_info) {
  params_info = nullptr;
  const TStatementType statement_type = SingleType(statement_types);
  // An update object's own component runs its own statement.
  if (TakeUpdateObjectQuery(statement_type)) return;
  data_set_.CheckUpdateQuery(statement_type);
  DAC_ASSERT(query_ != nullptr, "FUpdateQuery = nil. StatementTypes = " + std::to_string(statement_types.Bits()));
  // Refresh and lock statements never commit.
  TDBAccessUtils::SetAutoCommit(query_, Intersects(statement_types, kWrites) && data_set_.IsAutoCommit());
  if (statement_type == stBatchUpdate) return SetQueryText(data_set_.PrepareBatch(batch_.SQL()));
  std::string text = GivenText(sql, statement_type);
  const bool generated = text.empty();
  if (generated) text = Generate(statement_type, params_info);
  if (data_set_.BatchUpdate() && statement_type != stLock && statement_type != stRefresh) {
    text = Collect(text, generated);
  }
  if (!generated) SetQueryText(text);
}

bool TUpdateStatementRunner::TakeUpdateObjectQuery(TStatementType statement_type) {
  query_ = nullptr;
  TCustomDAUpdateSQL* update_object = data_set_.GetUpdateObject();
  if (!update_object) return false;
  query_ = update_object->GetObjectIndex(statement_type);
  auto* data_set = dynamic_cast<TCustomDADataSet*>(query_);
  const bool generates = data_set && data_set->SQLAutoGenerated();
  if (query_ && !generates && TDBAccessUtils::GetSQL(query_).Text().empty()) {
    DatabaseError(LoadResString(SUpdateObjectEmptySQL), &data_set_);
  }
  return query_ != nullptr;
}

std::string TUpdateStatementRunner::GivenText(const std::string& sql, TStatementType statement_type) {
  std::string text = sql;
  TCustomDAUpdateSQL* update_object = data_set_.GetUpdateObject();
  if (text.empty() && update_object) {
    if (TStrings* list = update_object->GetSQLIndex(statement_type)) text = list->Text();
  }
  if (!text.empty()) return text;
  text = data_set_.GetUpdateStatement(statement_type);
  if (!text.empty() && data_set_.MacroCount() > 0) data_set_.Macros().Expand(text);
  return text;
}

std::string TUpdateStatementRunner::Generate(TStatementType statement_type, TDAParamsInfo*& params_info) {
  const TDADataSetOptions& options = data_set_.Options();
  const bool in_batch = data_set_.BatchUpdate();
  const bool server_detail = data_set_.IsConnectedToMaster() && !options.GetLocalMasterDetail();
  const bool quick = kQuickRefreshes.Contains(statement_type);
  TDAParams* target =
      quick && (!data_set_.GetFilterSQL().empty() || server_detail) ? nullptr : &TDBAccessUtils::GetParams(query_);
  const bool skip_unchanged = !data_set_.ComponentState().Contains(csDesigning) && !options.GetUpdateAllFields();
  TDASQLGenerator& generator = *data_set_.SQLGenerator();
  const std::string text =
      generator.GenerateSQL(statement_type, skip_unchanged, target, in_batch ? batch_.Count() : -1);
  // A refresh that names its parameters (dataset parameters, full
  // refresh) leaves them to the query's own parsing.
  const bool named_refresh = statement_type == stRefresh && (data_set_.ParamCount() > 0 || options.GetFullRefresh());
  const bool registered = target && !quick && !named_refresh;
  const bool write = statement_type == stInsert || statement_type == stUpdate || statement_type == stDelete;
  TDBAccessUtils::SetSQLText(query_, text, registered, write, registered);
  params_info = generator.ParamsInfo();
  return text;
}

std::string TUpdateStatementRunner::Collect(const std::string& text, bool generated) {
  std::string statement = text;
  if (!generated) {
    const std::string prefix = ":" + TDASQLGenerator::IndexedPrefix() + std::to_string(batch_.Count()) + "_";
    statement = data_set_.GetCommand()->ParseSQL(statement, nullptr, prefix);
  }
  batch_.Add(statement);
  return statement;
}

void TUpdateStatementRunner::SetQueryText(const std::string& text) {
  TStrings& query_sql = TDBAccessUtils::GetSQL(query_);
  if (WithoutLineEnd(query_sql.Text()) == WithoutLineEnd(text)) return;
  TDBAccessUtils::GetParams(query_).Clear();
  query_sql.SetText(text);
}

// ---- running ----

void TUpdateStatementRunner::Execute(TStatementTypes statement_types) {
  const bool traced = data_set_.Traced();
  int32_t message_id = 0;
  const TDASQLMonitorClass* monitor = traced ? &data_set_.UsedConnection()->SQLMonitorClass() : nullptr;
  const std::string description = Description(statement_types);
  const auto report = [&](bool before) {
    if (!monitor) return;
    monitor->SQLExecute(&data_set_, TDBAccessUtils::GetSQL(query_).Text(), &TDBAccessUtils::GetParams(query_),
                        description, message_id, before);
  };
  report(true);
  TDBAccessUtils::Execute(query_);
  report(false);
}

bool TUpdateStatementRunner::Perform(const std::string& sql, TStatementTypes statement_types) {
  data_set_.BeginConnection(true);
  TCustomDADataSet* query = nullptr;
  bool performed = false;
  WithCleanup(
      [&] {
        TDAParamsInfo* params_info = nullptr;
        data_set_.CheckUpdateSQL(sql, statement_types, params_info);
        if (TDBAccessUtils::GetSQL(query_).Count() == 0) return;
        query = dynamic_cast<TCustomDADataSet*>(query_);
        Run(statement_types, params_info, query);
        performed = true;
      },
      [&] {
        if (query) query->Close();
        data_set_.EndConnection();
      });
  return performed;
}

void TUpdateStatementRunner::Run(TStatementTypes statement_types, TDAParamsInfo* params_info, TCustomDADataSet* query) {
  TDAParams& query_params = TDBAccessUtils::GetParams(query_);
  if (statement_types == TStatementTypes{stBatchUpdate}) {
    if (TDAParams* collected = batch_.Params()) query_params.Assign(collected);
    ResetParamRefs(query_params);
  } else {
    FillParams(statement_types, params_info);
  }
  const bool collecting = CollectingBatch(statement_types);
  if (!collecting) {
    data_set_.DoBeforeUpdateExecute(&data_set_, statement_types, &query_params);
    if (data_set_.AssignedBeforeUpdateExecute()) CheckParamTypes(query_params);
    data_set_.UpdateExecute(statement_types);
  }
  TakeOutcome(statement_types, params_info, query);
  if (!collecting) data_set_.DoAfterUpdateExecute(&data_set_, statement_types, &query_params);
}

void TUpdateStatementRunner::TakeOutcome(TStatementTypes statement_types, TDAParamsInfo* params_info,
                                         TCustomDADataSet* query) {
  if (query && statement_types == TStatementTypes{stRefreshCheckDeleted}) {
    merge_.DropDeleted(*query);
  } else if (query && Intersects(statement_types, kQuickRefreshes)) {
    merge_.MergeChanged(*query, statement_types);
  } else if (query && Intersects(statement_types, {stRefresh, stCheck}) && query->IsQuery()) {
    merge_.TakeRow(*query, statement_types);
  } else if (!data_set_.BatchUpdate()) {
    CheckRowsAffected(statement_types, params_info);
  }
}

void TUpdateStatementRunner::CheckParamTypes(const TDAParams& params) {
  for (int i = 0; i < params.Count(); ++i) {
    const TDAParam* param = params.Items(i);
    if (param->GetDataType() == ftUnknown)
      DatabaseError(FormatMessage(SUnknownParamDataType, {param->Name()}), &data_set_);
  }
}

void TUpdateStatementRunner::CheckRowsAffected(TStatementTypes statement_types, TDAParamsInfo* params_info) {
  data_set_.SetRowsAffected(TDBAccessUtils::GetRowsAffected(query_));
  const int32_t rows = data_set_.RowsAffected();
  // A server that cannot count (a negative count) is taken at its word.
  if (data_set_.Options().GetStrictUpdate() && (rows == 0 || rows > 1)) {
    DatabaseError(FormatMessage(SUpdateFailed, {rows}), &data_set_);
  }
  if (data_set_.NeedReturnParams() || statement_types.Contains(stRefresh)) ReturnParams(params_info);
}

// ---- parameters ----

bool TUpdateStatementRunner::CollectingBatch(TStatementTypes statement_types) {
  return data_set_.BatchUpdate() && statement_types != TStatementTypes{stBatchUpdate};
}

void TUpdateStatementRunner::FillParams(TStatementTypes statement_types, TDAParamsInfo* params_info) {
  TDAParams& query_params = TDBAccessUtils::GetParams(query_);
  const bool in_batch = CollectingBatch(statement_types);
  TDAParams* target = &query_params;
  int first = 0;
  if (in_batch) {
    first = batch_.AppendParams(query_params, [this] { return data_set_.GetCommand()->CreateParamsObject(); });
    target = batch_.Params();
  }
  const bool inserting = data_set_.GetState() == dsInsert && !data_set_.GetInCacheProcessing();
  for (int i = first; i < target->Count(); ++i) {
    TDAParam* param = target->Items(i);
    bool old = false;
    TField* field = ParamField(param, i - first, statement_types, params_info, in_batch, old);
    if (field) {
      const bool output = param->ParamType() == ptOutput || param->ParamType() == ptResult;
      if (data_set_.UseParamType() && output) {
        param->SetDataType(field->DataType());
        param->Clear();
      } else {
        data_set_.AssignFieldValue(param, field, old && !inserting);
      }
    }
    if (!data_set_.UseParamType()) param->SetParamType(ptInput);
  }
  if (Intersects(statement_types, kQuickRefreshes) && data_set_.GetMasterSource()) data_set_.SetMasterParams(*target);
}

TField* TUpdateStatementRunner::ParamField(TDAParam* param, int index, TStatementTypes statement_types,
                                           TDAParamsInfo* params_info, bool in_batch, bool& old) {
  old = false;
  const bool use_info = params_info && index < params_info->Count() && !Intersects(statement_types, kQuickRefreshes) &&
                        (data_set_.ParamCount() == 0 || !statement_types.Contains(stRefresh));
  if (use_info) {
    old = params_info->Items(index)->GetOld();
    return params_info->Items(index)->GetField();
  }
  std::string name = param->Name();
  if (in_batch) {
    // "P_<index>_" goes.
    const std::string prefix = TDASQLGenerator::IndexedPrefix();
    if (name.compare(0, prefix.size(), prefix) == 0) {
      const size_t end = name.find('_', prefix.size());
      if (end != std::string::npos) name.erase(0, end + 1);
    }
  }
  // A detail's own parameter takes its value from the dataset's parameter.
  const bool detail_param = statement_types.Contains(stRefresh) && data_set_.GetMasterSource() &&
                            data_set_.FindParam(name) && data_set_.GetMasterFields().empty() &&
                            data_set_.GetDetailFields().empty();
  int field_no = -1;
  TField* field = detail_param ? nullptr : data_set_.FieldByParamName(name, old, field_no);
  if (!field) BindUnmatchedParam(param, name, field_no, statement_types);
  return field;
}

void TUpdateStatementRunner::BindUnmatchedParam(TDAParam* param, const std::string& name, int field_no,
                                                TStatementTypes statement_types) {
  DAC_ASSERT(!param->Name().empty(), "An update parameter without a name");
  TFieldDesc* desc = field_no > 0 ? data_set_.GetFieldDesc(field_no) : nullptr;
  if (!desc && data_set_.Data()) desc = data_set_.Data()->FindField(name);
  if (desc && (desc->GetDataType() == dtObject || desc->GetDataType() == dtArray)) {
    return data_set_.AssignFieldValue(param, desc, false);
  }
  TDAParam* own = data_set_.FindParam(name);
  if (own && Intersects(statement_types, kRefreshes)) return param->Assign(own);
  if (!data_set_.AssignedBeforeUpdateExecute()) {
    DatabaseError(FormatMessage(SNoCorrespondParam, {param->Name()}), &data_set_);
  }
}

void TUpdateStatementRunner::ReturnParams(TDAParamsInfo* params_info) {
  TDAParams& params = TDBAccessUtils::GetParams(query_);
  for (int i = 0; i < params.Count(); ++i) {
    TDAParam* param = params.Items(i);
    if (data_set_.UseParamType() && param->ParamType() == ptInput) continue;
    bool old = false;
    TField* field = nullptr;
    if (params_info && i < params_info->Count()) {
      field = params_info->Items(i)->GetField();
      old = params_info->Items(i)->GetOld();
    } else {
      std::string name = param->Name();
      int field_no = -1;
      field = data_set_.FieldByParamName(name, old, field_no);
    }
    if (!field || old || !data_set_.CanRefreshField(field)) continue;
    if (param->IsBlobDataType() && field->IsBlob()) {
      if (TBlob* blob = param->GetAsBlobRef()) data_set_.SetBlob(field, blob);
    } else if (param->GetIsNull()) {
      if (!field->IsNull()) merge_.ForceFieldValue(field, Variant::Null());
    } else if (!(field->Value() == param->Value())) {
      merge_.ForceFieldValue(field, param->Value());
    }
  }
}

}  // namespace dac
