// The dataset's update statements: choosing the statement (the caller's
// text, the update object's, the dataset's own update SQL, or a generated
// one), the update query that runs it, binding its parameters from the row
// (old values included), running it, checking what it touched and taking
// returned values back into the row. Rows a refresh reads back are taken in
// dataset_refresh.cpp.
#include <cctype>

#include "dac/core/access_utils.h"
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/param_info.h"
#include "dac/core/dataset/sql_generator.h"
#include "dac/core/macros.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/core/update_sql.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/update_pair.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/field.h"
#include "dac/store/blob/blob.h"
#include "platform/ascii.h"

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

bool IsDecimal(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// The lists' text ends each line with a line end.
std::string WithoutLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

bool IsObjectField(const TField* field) { return field->DataType() == ftADT || field->DataType() == ftArray; }

}  // namespace

// ---- the update query ----

void TCustomDADataSet::CheckUpdateQuery(TStatementType statement_type) {
  TComponent*& slot = update_queries_[static_cast<size_t>(statement_type)];
  update_query_ = slot;
  TCustomDAConnection* used = UsedConnection();
  if (!update_query_) {
    DAC_ASSERT(used != nullptr, "No connection for the update query");
    slot = update_query_ = used->CreateDataSet();
    if (auto* data_set = dynamic_cast<TCustomDADataSet*>(update_query_)) {
      if (TDKRecordSet* record_set = data_set->GetIRecordSet()) record_set->SetComponent(this);
    }
  }
  auto* data_set = dynamic_cast<TCustomDADataSet*>(update_query_);
  auto* sql = dynamic_cast<TCustomDASQL*>(update_query_);
  if (!data_set && !sql) AssertionFailed("FUpdateQuery is " + update_query_->ClassName(), __FILE__, __LINE__);
  TDBAccessUtils::SetLockDebug(update_query_, true);
  if (sql) return sql->SetConnection(used);
  data_set->SetConnection(used);
  data_set->Close();
  TDADataSetOptions& options = data_set->Options();
  options.SetTrimFixedChar(options_->GetTrimFixedChar());
  options.SetTrimVarChar(options_->GetTrimVarChar());
  options.SetFullRefresh(options_->GetFullRefresh());
  options.SetCompressBlobMode(options_->GetCompressBlobMode());
  options.SetFlatBuffers(true);
  if (kRefreshes.Contains(statement_type)) options.SetLongStrings(options_->GetLongStrings());
  if (statement_type == stBatchUpdate) {
    data_set->SetParamCheck(false);
    data_set->Params().Clear();
  }
}

// ---- the statement ----

void TCustomDADataSet::CheckUpdateSQL(const std::string& sql, TStatementTypes statement_types,
                                      TDAParamsInfo*& params_info) {
  params_info = nullptr;
  const TStatementType statement_type = SingleType(statement_types);
  update_query_ = nullptr;
  if (update_object_) {
    update_query_ = update_object_->GetObjectIndex(statement_type);
    auto* data_set = dynamic_cast<TCustomDADataSet*>(update_query_);
    const bool generates = data_set && data_set->SQLAutoGenerated();
    if (update_query_ && !generates && TDBAccessUtils::GetSQL(update_query_).Text().empty()) {
      DatabaseError(LoadResString(SUpdateObjectEmptySQL), this);
    }
  }
  // An update object's own component runs its own statement.
  if (update_query_) return;
  CheckUpdateQuery(statement_type);
  DAC_ASSERT(update_query_ != nullptr,
             "FUpdateQuery = nil. StatementTypes = " + std::to_string(statement_types.Bits()));
  // Refresh and lock statements never commit.
  TDBAccessUtils::SetAutoCommit(update_query_, Intersects(statement_types, kWrites) && IsAutoCommit());

  std::string text;
  bool generated = false;
  if (statement_type == stBatchUpdate) {
    text = PrepareBatch(batch_sql_);
  } else {
    text = sql;
    if (text.empty() && update_object_) {
      if (TStrings* list = update_object_->GetSQLIndex(statement_type)) text = list->Text();
    }
    if (text.empty()) {
      text = GetUpdateStatement(statement_type);
      if (!text.empty() && MacroCount() > 0) Macros().Expand(text);
    }
    if (text.empty()) {
      generated = true;
      const bool in_batch = BatchUpdate();
      const bool server_detail =
          GetMasterSource() && !master_fields_.empty() && !detail_fields_.empty() && !options_->GetLocalMasterDetail();
      const bool quick = kQuickRefreshes.Contains(statement_type);
      TDAParams* target =
          quick && (!filter_sql_.empty() || server_detail) ? nullptr : &TDBAccessUtils::GetParams(update_query_);
      const bool skip_unchanged = !ComponentState().Contains(csDesigning) && !options_->GetUpdateAllFields();
      text = sql_generator_->GenerateSQL(statement_type, skip_unchanged, target, in_batch ? batch_count_ : -1);
      // A refresh that names its parameters (dataset parameters, full
      // refresh) leaves them to the query's own parsing.
      const bool named_refresh = statement_type == stRefresh && (ParamCount() > 0 || options_->GetFullRefresh());
      const bool registered = target && !quick && !named_refresh;
      const bool write = statement_type == stInsert || statement_type == stUpdate || statement_type == stDelete;
      TDBAccessUtils::SetSQLText(update_query_, text, registered, write, registered);
      params_info = sql_generator_->ParamsInfo();
    }
    if (BatchUpdate() && statement_type != stLock && statement_type != stRefresh) {
      if (!generated) {
        const std::string prefix = ":" + TDASQLGenerator::IndexedPrefix() + std::to_string(batch_count_) + "_";
        text = command_->ParseSQL(text, nullptr, prefix);
      }
      if (!text.empty()) {
        if (!batch_sql_.empty()) batch_sql_ += "\r\n";
        batch_sql_ += text + ";";
        ++batch_count_;
      }
    }
  }
  if (generated) return;
  TStrings& query_sql = TDBAccessUtils::GetSQL(update_query_);
  if (WithoutLineEnd(query_sql.Text()) == WithoutLineEnd(text)) return;
  TDBAccessUtils::GetParams(update_query_).Clear();
  query_sql.SetText(text);
}

void TCustomDADataSet::UpdateExecute(TStatementTypes statement_types) {
  const bool traced = Traced();
  int32_t message_id = 0;
  const TDASQLMonitorClass* monitor = traced ? &UsedConnection()->SQLMonitorClass() : nullptr;
  const std::string description = Description(statement_types);
  const auto report = [&](bool before) {
    if (!monitor) return;
    monitor->SQLExecute(this, TDBAccessUtils::GetSQL(update_query_).Text(), &TDBAccessUtils::GetParams(update_query_),
                        description, message_id, before);
  };
  report(true);
  TDBAccessUtils::Execute(update_query_);
  report(false);
}

// ---- parameters ----

TField* TCustomDADataSet::FieldByParamName(std::string& param_name, bool& old, int& index) {
  old = param_name.size() >= 4 && plat::SameText(param_name.substr(0, 4), "OLD_");
  TField* field = nullptr;
  if (old) {
    field = FindField(param_name);
    if (field) {
      old = false;
    } else {
      param_name.erase(0, 4);
    }
  }
  if (!field) {
    index = IsDecimal(param_name) ? std::stoi(param_name) : -1;
    if (index >= 0) {
      for (int i = 0; i < Fields().Count() && !field; ++i) {
        if (Fields().Fields(i)->FieldNo() == index) field = Fields().Fields(i);
      }
    }
  }
  return field ? field : FindField(param_name);
}

void TCustomDADataSet::AssignFieldValue(TDAParam* param, TField* field, bool old) {
  if (IsObjectField(field)) {
    param->SetDataType(field->DataType());
    param->SetParamObject(GetFieldObject(field));
    return;
  }
  param->AssignFieldValue(field, old ? field->OldValue() : field->Value());
}

void TCustomDADataSet::AssignFieldValue(TDAParam* param, TFieldDesc* field_desc, bool) {
  const uint16_t type = field_desc->GetDataType();
  if (type != dtObject && type != dtArray) {
    AssertionFailed("This overload should be used only for object fields", __FILE__, __LINE__);
  }
  param->SetDataType(GetFieldType(type));
  param->SetParamObject(GetFieldObject(field_desc));
}

bool TCustomDADataSet::CollectingBatch(TStatementTypes statement_types) {
  return BatchUpdate() && statement_types != TStatementTypes{stBatchUpdate};
}

TField* TCustomDADataSet::ParamField(TDAParam* param, int index, TStatementTypes statement_types,
                                     TDAParamsInfo* params_info, bool in_batch, bool& old) {
  old = false;
  const bool use_info = params_info && index < params_info->Count() && !Intersects(statement_types, kQuickRefreshes) &&
                        (ParamCount() == 0 || !statement_types.Contains(stRefresh));
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
  const bool detail_param = statement_types.Contains(stRefresh) && GetMasterSource() && FindParam(name) &&
                            master_fields_.empty() && detail_fields_.empty();
  int field_no = -1;
  TField* field = detail_param ? nullptr : FieldByParamName(name, old, field_no);
  if (!field) BindUnmatchedParam(param, name, field_no, statement_types);
  return field;
}

void TCustomDADataSet::BindUnmatchedParam(TDAParam* param, const std::string& name, int field_no,
                                          TStatementTypes statement_types) {
  DAC_ASSERT(!param->Name().empty(), "An update parameter without a name");
  TFieldDesc* desc = field_no > 0 ? GetFieldDesc(field_no) : nullptr;
  if (!desc && Data()) desc = Data()->FindField(name);
  if (desc && (desc->GetDataType() == dtObject || desc->GetDataType() == dtArray)) {
    return AssignFieldValue(param, desc, false);
  }
  TDAParam* own = FindParam(name);
  if (own && Intersects(statement_types, kRefreshes)) return param->Assign(own);
  if (!AssignedBeforeUpdateExecute()) DatabaseError(FormatMessage(SNoCorrespondParam, {param->Name()}), this);
}

void TCustomDADataSet::FillUpdateParams(TStatementTypes statement_types, TDAParamsInfo* params_info) {
  TDAParams& query_params = TDBAccessUtils::GetParams(update_query_);
  const bool in_batch = CollectingBatch(statement_types);
  TDAParams* target = &query_params;
  int first = 0;
  if (in_batch) {
    if (!batch_params_) batch_params_ = command_->CreateParamsObject();
    first = batch_params_->Count();
    WithinUpdate(*batch_params_, [&] {
      for (int i = 0; i < query_params.Count(); ++i) {
        TDAParam* from = query_params.Items(i);
        auto* copy = static_cast<TDAParam*>(batch_params_->Add());
        copy->SetDataType(from->GetDataType());
        copy->SetName(from->Name());
        copy->SetParamType(from->ParamType());
      }
    });
    ResetParamRefs(*batch_params_);
    target = batch_params_.get();
  }
  const bool inserting = GetState() == dsInsert && !GetInCacheProcessing();
  for (int i = first; i < target->Count(); ++i) {
    TDAParam* param = target->Items(i);
    bool old = false;
    TField* field = ParamField(param, i - first, statement_types, params_info, in_batch, old);
    if (field) {
      const bool output = param->ParamType() == ptOutput || param->ParamType() == ptResult;
      if (UseParamType() && output) {
        param->SetDataType(field->DataType());
        param->Clear();
      } else {
        AssignFieldValue(param, field, old && !inserting);
      }
    }
    if (!UseParamType()) param->SetParamType(ptInput);
  }
  if (Intersects(statement_types, kQuickRefreshes) && GetMasterSource()) SetMasterParams(*target);
}

void TCustomDADataSet::ReturnParams(TDAParamsInfo* params_info) {
  TDAParams& params = TDBAccessUtils::GetParams(update_query_);
  for (int i = 0; i < params.Count(); ++i) {
    TDAParam* param = params.Items(i);
    if (UseParamType() && param->ParamType() == ptInput) continue;
    bool old = false;
    TField* field = nullptr;
    if (params_info && i < params_info->Count()) {
      field = params_info->Items(i)->GetField();
      old = params_info->Items(i)->GetOld();
    } else {
      std::string name = param->Name();
      int field_no = -1;
      field = FieldByParamName(name, old, field_no);
    }
    if (!field || old || !CanRefreshField(field)) continue;
    if (param->IsBlobDataType() && field->IsBlob()) {
      if (TBlob* blob = param->GetAsBlobRef()) SetBlob(field, blob);
    } else if (param->GetIsNull()) {
      if (!field->IsNull()) ForceFieldValue(field, Variant::Null());
    } else if (!(field->Value() == param->Value())) {
      ForceFieldValue(field, param->Value());
    }
  }
}

// ---- running ----

void TCustomDADataSet::CheckRowsAffected(TStatementTypes statement_types, TDAParamsInfo* params_info) {
  rows_affected_ = TDBAccessUtils::GetRowsAffected(update_query_);
  // A server that cannot count (a negative count) is taken at its word.
  if (options_->GetStrictUpdate() && (rows_affected_ == 0 || rows_affected_ > 1)) {
    DatabaseError(FormatMessage(SUpdateFailed, {rows_affected_}), this);
  }
  if (NeedReturnParams() || statement_types.Contains(stRefresh)) ReturnParams(params_info);
}

bool TCustomDADataSet::PerformSQL(const std::string& sql, TStatementTypes statement_types) {
  BeginConnection(true);
  TCustomDADataSet* query = nullptr;
  bool performed = false;
  WithCleanup(
      [&] {
        TDAParamsInfo* params_info = nullptr;
        CheckUpdateSQL(sql, statement_types, params_info);
        if (TDBAccessUtils::GetSQL(update_query_).Count() == 0) return;
        query = dynamic_cast<TCustomDADataSet*>(update_query_);
        RunUpdateStatement(statement_types, params_info, query);
        performed = true;
      },
      [&] {
        if (query) query->Close();
        EndConnection();
      });
  return performed;
}

void TCustomDADataSet::RunUpdateStatement(TStatementTypes statement_types, TDAParamsInfo* params_info,
                                          TCustomDADataSet* query) {
  TDAParams& query_params = TDBAccessUtils::GetParams(update_query_);
  if (statement_types == TStatementTypes{stBatchUpdate}) {
    if (batch_params_) query_params.Assign(batch_params_.get());
    ResetParamRefs(query_params);
  } else {
    FillUpdateParams(statement_types, params_info);
  }
  const bool collecting = CollectingBatch(statement_types);
  if (!collecting) {
    DoBeforeUpdateExecute(this, statement_types, &query_params);
    if (AssignedBeforeUpdateExecute()) {
      for (int i = 0; i < query_params.Count(); ++i) {
        TDAParam* param = query_params.Items(i);
        if (param->GetDataType() == ftUnknown)
          DatabaseError(FormatMessage(SUnknownParamDataType, {param->Name()}), this);
      }
    }
    UpdateExecute(statement_types);
  }
  if (query && statement_types == TStatementTypes{stRefreshCheckDeleted}) {
    DropDeletedRows(*query);
  } else if (query && Intersects(statement_types, kQuickRefreshes)) {
    MergeChangedRows(*query, statement_types);
  } else if (query && Intersects(statement_types, {stRefresh, stCheck}) && query->IsQuery()) {
    TakeRefreshedRow(*query, statement_types);
  } else if (!BatchUpdate()) {
    CheckRowsAffected(statement_types, params_info);
  }
  if (!collecting) DoAfterUpdateExecute(this, statement_types, &query_params);
}

}  // namespace dac
