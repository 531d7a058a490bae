// The dataset opens, fetches in blocks or all at once, executes statements,
// refreshes and finds its row again, runs an operation again after a
// restored connection, finds rows by key, and edits its SQL text (WHERE,
// ORDER BY, the filter and the master/detail condition) with the provider's
// lexer. It writes edits back through update queries that run generated
// statements, its own update SQL or an update object's, re-reads rows,
// applies cached updates (in batches), and follows a master dataset through
// parameters or in memory.
//
// This file holds the dataset's write-back side, what the others share: the
// updating table and its key fields, field descriptors and objects by number
// and name, the small steps a provider overrides, and the filed parameters
// and macros.
// Statements are chosen and run by the update statement runner
// (dataset_perform_sql.cpp has the dataset's steps that hand them to it),
// the rows a refresh reads back are merged by the row merge, one record is
// refreshed in dataset_refresh.cpp, edits and posts are in
// dataset_editing.cpp, cached updates and batches in
// dataset_cached_updates.cpp, master and detail in dataset_master_detail.cpp.
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_internals.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/filer.h"
#include "dac/store/runtime/shared_object.h"

namespace dac {

// ---- updating table and key fields ----

// Normalized; while open it must name a table of the statement ("Wrong
// UpdatingTable value - table %s is unknown"); empty: the first.
void TCustomDADataSet::SetUpdatingTable(const std::string& value) {
  const std::string normalized = TableInfoClass().NormalizeName(value, false);
  const std::string old = d_->updating_table;
  d_->updating_table = normalized;
  if (d_->updating_table != old) ClearCachedKeyAndDataFields();
  TDKRecordSet* record_set = GetIRecordSet();
  if (!record_set || !record_set->GetActive()) return;
  const TDKTablesInfo& tables = record_set->GetTablesInfo();
  int index = -1;
  if (tables.Count() > 0 && !normalized.empty()) {
    index = tables.IndexByName(normalized);
    if (index < 0) index = tables.IndexByAlias(normalized);
    if (index < 0 && d_->updating_table != old) {
      d_->updating_table = old;
      DatabaseError(FormatMessage(SBadUpdatingTable, {value}));
    }
    if (index < 0) return SetUpdatingTable("");
  } else if (tables.Count() > 0) {
    index = 0;
  }
  d_->updating_table_idx = index;
  DetectIdentityField();
  if (!GetReadOnly() && Options().GetSetFieldsReadOnly() && ReadOnlyFieldsEnabled()) {
    TCustomDADataSetInternals::SetFieldsReadOnly(*this);
  }
  if (tables.Count() > 0) TCustomDADataSetInternals::CachePSKeyFields(*this, true);
}

// Only the updating table's data fields stay writable.
void TCustomDADataSetInternals::SetFieldsReadOnly(TCustomDADataSet& data_set) {
  TKeyAndDataFields fields;
  data_set.GetKeyAndDataFields(fields, false);
  for (int i = 0; i < data_set.Fields().Count(); ++i) {
    TField* field = data_set.Fields().Fields(i);
    if (field->FieldKind() != fkData) continue;
    field->SetReadOnly(true);
    TFieldDesc* desc = data_set.TMemDataSet::GetFieldDesc(field);
    TFieldDesc* root = desc;
    while (root && root->GetParentField()) root = root->GetParentField();
    for (TDKFieldDesc* data_desc : fields.DataFieldDescs) {
      if (data_desc == desc || data_desc == root) field->SetReadOnly(false);
    }
  }
}

void TCustomDADataSetInternals::InitUpdatingTable(TCustomDADataSet& data_set) {
  std::string name = data_set.d_->updating_table;
  TDKRecordSet* record_set = data_set.GetIRecordSet();
  if (!name.empty() && record_set) {
    name = data_set.TableInfoClass().NormalizeName(name, false);
    const TDKTablesInfo& tables = record_set->GetTablesInfo();
    if (tables.IndexByName(name) < 0 && tables.IndexByAlias(name) < 0) name.clear();
  }
  data_set.SetUpdatingTable(name);
}

void TCustomDADataSetInternals::ForgetUpdatingTable(TCustomDADataSet& data_set) {
  if (TDKRecordSet* record_set = data_set.GetIRecordSet()) record_set->GetTablesInfo().Clear();
  data_set.d_->updating_table_idx = -1;
}

// Finds the auto-increment field; none here.
void TCustomDADataSet::DetectIdentityField() { SetIdentityField(nullptr); }

// The key and data field descriptors of the updating table; every key
// field with all_key_fields. The provider chooses (this class raises).
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

bool TCustomDADataSet::NeedReturnParams() { return Options().GetReturnParams(); }

bool TCustomDADataSet::NeedDetailRefresh(TDAParam* param, TSharedObject* object) {
  param->SetParamObject(object);
  return false;
}

void TCustomDADataSet::DoBeforeUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params) {
  if (AssignedBeforeUpdateExecute()) d_->before_update_execute(sender, statement_types, params);
}

void TCustomDADataSet::DoAfterUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params) {
  if (AssignedAfterUpdateExecute()) d_->after_update_execute(sender, statement_types, params);
}

// ---- objects and column sizes ----

// The shared object (blob) the current record holds for the field; none
// without a current record; "Field is not BLOB" for other fields.
TSharedObject* TCustomDADataSet::GetFieldObject(TFieldDesc* field_desc) {
  TRecordBuffer buffer = nullptr;
  if (!GetActiveRecBuf(buffer)) return nullptr;
  const uint16_t type = field_desc->GetDataType();
  if (Data()->IsBlobFieldType(type)) return Data()->GetObject(field_desc->GetFieldNo(), buffer);
  // Structured columns keep their object in the same kind of slot.
  if (type == dtObject || type == dtArray) return TSharedObject::At(buffer + field_desc->GetOffset());
  DatabaseError(LoadResString(SNeedBlobType), this);
}

TSharedObject* TCustomDADataSet::GetFieldObject(TField* field) {
  TFieldDesc* desc = TMemDataSet::GetFieldDesc(field);
  if (!desc) DatabaseError(FormatMessage(SFieldNotFound, {field->FieldName()}), this);
  return GetFieldObject(desc);
}

TSharedObject* TCustomDADataSet::GetFieldObject(const std::string& field_name) {
  TFieldDesc* desc = Data() ? Data()->FieldByName(field_name) : nullptr;
  if (!desc) DatabaseError(FormatMessage(SFieldNotFound, {field_name}), this);
  return GetFieldObject(desc);
}

int TCustomDADataSet::GetFieldPrecision(const std::string& field_name) {
  TFieldDesc* desc = GetFieldDesc(field_name);
  return desc && (desc->GetDataType() == dtInteger || desc->GetDataType() == dtFloat) ? desc->GetLength() : 0;
}

int TCustomDADataSet::GetFieldScale(const std::string& field_name) {
  TFieldDesc* desc = GetFieldDesc(field_name);
  return desc && (desc->GetDataType() == dtInteger || desc->GetDataType() == dtFloat) ? desc->GetScale() : 0;
}

// ---- filing ----

// Files the parameters and macros of the command component.
void TCustomDADataSet::DefineProperties(TFiler& filer) {
  TMemDataSet::DefineProperties(filer);
  const auto* ancestor = dynamic_cast<const TCustomDADataSet*>(filer.Ancestor());
  DefineParamsAndMacros(filer, Params(), Macros(), ancestor ? &ancestor->Params() : nullptr,
                        ancestor ? &ancestor->Macros() : nullptr);
}

}  // namespace dac
