// The dataset's write-back side: the updating table, field descriptors by
// number and name, and the update operations. Those that run update
// statements, bind their parameters and follow a master are not available
// yet: they raise NotSupportedException naming themselves.
#include "dac/core/connection.h"
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset_component.h"
#include "dac/core/dataset_options.h"
#include "dac/core/messages.h"
#include "dac/core/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/framework/database_error.h"
#include "dac/framework/field.h"

namespace dac {

void TCustomDADataSet::NotBuilt(const char* operation) const {
  throw NotSupportedException(ClassName() + "." + operation + " is not available");
}

// ---- updating table and key fields ----

void TCustomDADataSet::SetUpdatingTable(const std::string& value) {
  const std::string normalized = TableInfoClass().NormalizeName(value, false);
  const std::string old = updating_table_;
  updating_table_ = normalized;
  if (updating_table_ != old) ClearCachedKeyAndDataFields();
  if (!irecord_set_ || !irecord_set_->GetActive()) return;
  const TDKTablesInfo& tables = irecord_set_->GetTablesInfo();
  int index = -1;
  if (tables.Count() > 0 && !normalized.empty()) {
    index = tables.IndexByName(normalized);
    if (index < 0) index = tables.IndexByAlias(normalized);
    if (index < 0 && updating_table_ != old) {
      updating_table_ = old;
      DatabaseError(FormatMessage(SBadUpdatingTable, {value}));
    }
    if (index < 0) return SetUpdatingTable("");
  } else if (tables.Count() > 0) {
    index = 0;
  }
  updating_table_idx_ = index;
  DetectIdentityField();
  if (!read_only_ && options_->GetSetFieldsReadOnly() && ReadOnlyFieldsEnabled()) {
    TKeyAndDataFields fields;
    GetKeyAndDataFields(fields, false);
    for (int i = 0; i < Fields().Count(); ++i) {
      TField* field = Fields().Fields(i);
      if (field->FieldKind() != fkData) continue;
      field->SetReadOnly(true);
      TFieldDesc* desc = TMemDataSet::GetFieldDesc(field);
      TFieldDesc* root = desc;
      while (root && root->GetParentField()) root = root->GetParentField();
      for (TDKFieldDesc* data_desc : fields.DataFieldDescs) {
        if (data_desc == desc || data_desc == root) field->SetReadOnly(false);
      }
    }
  }
  if (tables.Count() > 0) ps_key_fields_ = PSGetKeyFields();
}

void TCustomDADataSet::DetectIdentityField() { identity_field_ = nullptr; }

void TCustomDADataSet::GetKeyAndDataFields(TKeyAndDataFields&, bool) { throw Exception("Abstract Error"); }

void TCustomDADataSet::ClearCachedKeyAndDataFields() {
  for (TKeyAndDataFields& fields : cached_key_and_data_fields_) {
    fields.KeyFieldDescs.clear();
    fields.DataFieldDescs.clear();
  }
}

// ---- descriptors ----

TField* TCustomDADataSet::GetField(TFieldDesc* field_desc) {
  DAC_ASSERT(field_desc != nullptr, "No field descriptor");
  for (int i = 0; i < Fields().Count(); ++i) {
    if (Fields().Fields(i)->FieldNo() == field_desc->GetFieldNo()) return Fields().Fields(i);
  }
  return nullptr;
}

TFieldDesc* TCustomDADataSet::GetFieldDesc(int field_no) {
  if (!Data() || field_no < 1 || field_no > Data()->GetFieldCount()) return nullptr;
  return Data()->GetFieldDescs().GetItems(field_no - 1);
}

TFieldDesc* TCustomDADataSet::GetFieldDesc(const std::string& field_name) {
  return Data() ? Data()->FindField(field_name) : nullptr;
}

uint16_t TCustomDADataSet::GetDataType(const std::string& field_name) {
  TFieldDesc* desc = GetFieldDesc(field_name);
  return desc ? desc->GetDataType() : dtUnknown;
}

// ---- small steps of the write-back side ----

bool TCustomDADataSet::IsPreconnected() {
  return (GetState() == dsEdit && IsNeedEditPreconnect()) || (GetState() == dsInsert && IsNeedInsertPreconnect());
}

bool TCustomDADataSet::NeedReturnParams() { return options_->GetReturnParams(); }

bool TCustomDADataSet::NeedDetailRefresh(TDAParam* param, TSharedObject* object) {
  param->SetParamObject(object);
  return false;
}

void TCustomDADataSet::DoBeforeUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params) {
  if (AssignedBeforeUpdateExecute()) before_update_execute_(sender, statement_types, params);
}

void TCustomDADataSet::DoAfterUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params) {
  if (AssignedAfterUpdateExecute()) after_update_execute_(sender, statement_types, params);
}

// ---- not available yet ----

void TCustomDADataSet::InternalRefreshRecord() { NotBuilt("InternalRefreshRecord"); }

void TCustomDADataSet::CheckUpdateQuery(TStatementType) { NotBuilt("CheckUpdateQuery"); }

void TCustomDADataSet::UpdateExecute(TStatementTypes) { NotBuilt("UpdateExecute"); }

void TCustomDADataSet::CheckUpdateSQL(const std::string&, TStatementTypes, TDAParamsInfo*&) {
  NotBuilt("CheckUpdateSQL");
}

TField* TCustomDADataSet::FieldByParamName(std::string&, bool&, int&) { NotBuilt("FieldByParamName"); }

bool TCustomDADataSet::PerformSQL(const std::string&, TStatementTypes) { NotBuilt("PerformSQL"); }

void TCustomDADataSet::AssignFieldValue(TDAParam*, TField*, bool) { NotBuilt("AssignFieldValue"); }

void TCustomDADataSet::AssignFieldValue(TDAParam*, TFieldDesc*, bool) { NotBuilt("AssignFieldValue"); }

void TCustomDADataSet::RefreshParams() { NotBuilt("RefreshParams"); }

void TCustomDADataSet::RefreshDetail(TObject*) { NotBuilt("RefreshDetail"); }

bool TCustomDADataSet::SetMasterParams(TDAParams&) { NotBuilt("SetMasterParams"); }

bool TCustomDADataSet::LocalDetailFilter(void*) { NotBuilt("LocalDetailFilter"); }

}  // namespace dac
