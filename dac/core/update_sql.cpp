#include "dac/core/update_sql.h"

#include <algorithm>

#include "dac/core/dataset/dataset_component.h"
#include "dac/core/server/messages.h"
#include "dac/core/sql_component.h"
#include "dac/core/sql_owner.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/update_pair.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomDAUpdateSQL, TComponent, TComponentClassOf<TCustomDAUpdateSQL>)

TStatementType UpdateKindToStatementType(TUpdateKind kind) {
  switch (kind) {
    case TUpdateKind::ukModify: return stUpdate;
    case TUpdateKind::ukInsert: return stInsert;
    case TUpdateKind::ukDelete: return stDelete;
  }
  AssertionFailed("Unknown update kind " + std::to_string(static_cast<int>(kind)), __FILE__, __LINE__);
}

TUpdateKind StatementTypeToUpdateKind(TStatementType statement_type) {
  switch (statement_type) {
    case stInsert: return TUpdateKind::ukInsert;
    case stUpdate: return TUpdateKind::ukModify;
    case stDelete: return TUpdateKind::ukDelete;
    default: break;
  }
  AssertionFailed("Unknown statement type " + std::to_string(static_cast<int>(statement_type)), __FILE__, __LINE__);
}

namespace {

void CheckIndex(int index) {
  DAC_ASSERT(index >= 0 && index < TCustomDAUpdateSQL::kStatementTypeCount,
             "Statement type " + std::to_string(index) + " out of range");
}

}  // namespace

TCustomDAUpdateSQL::TCustomDAUpdateSQL(TComponent* owner) : TComponent(owner) {}

TCustomDAUpdateSQL::~TCustomDAUpdateSQL() = default;

void TCustomDAUpdateSQL::Init() {
  TComponent::Init();
  for (TUpdateKind kind : {TUpdateKind::ukModify, TUpdateKind::ukInsert, TUpdateKind::ukDelete})
    sql_[UpdateKindToStatementType(kind)] = std::make_unique<TStringList>();
  sql_[stRefresh] = std::make_unique<TStringList>();
}

void TCustomDAUpdateSQL::BeforeDestruction() {
  IDASQLOwner* data_set = SQLOwnerOf(data_set_);
  if (data_set && data_set->OwnerUpdateObject() == this) data_set->ClearOwnerUpdateObject();
  TComponent::BeforeDestruction();
}

TStrings* TCustomDAUpdateSQL::GetSQL(TUpdateKind kind) const { return GetSQLIndex(UpdateKindToStatementType(kind)); }

void TCustomDAUpdateSQL::SetSQL(TUpdateKind kind, const TStrings& value) {
  SetSQLIndex(UpdateKindToStatementType(kind), value);
}

TStrings* TCustomDAUpdateSQL::GetSQLIndex(int index) const {
  CheckIndex(index);
  return sql_[static_cast<size_t>(index)].get();
}

void TCustomDAUpdateSQL::SetSQLIndex(int index, const TStrings& value) {
  if (TStrings* lines = GetSQLIndex(index)) lines->Assign(&value);
}

TComponent* TCustomDAUpdateSQL::GetObjectIndex(int index) const {
  CheckIndex(index);
  return objects_[static_cast<size_t>(index)];
}

void TCustomDAUpdateSQL::SetObjectIndex(int index, TComponent* value) {
  CheckIndex(index);
  CheckUpdateComponent(value);
  TComponent*& slot = objects_[static_cast<size_t>(index)];
  TComponent* old = std::exchange(slot, value);
  if (value) FreeNotification(value);
  if (old && old != value && std::find(objects_.begin(), objects_.end(), old) == objects_.end())
    RemoveFreeNotification(old);
}

const TMetaClass& TCustomDAUpdateSQL::DataSetClass() const { return TCustomDADataSet::ClassInfo(); }

const TMetaClass& TCustomDAUpdateSQL::SQLClass() const { return TCustomDASQL::ClassInfo(); }

void TCustomDAUpdateSQL::CheckUpdateComponent(TComponent* component, TComponent* data_set) const {
  if (!component) return;
  const TMetaClass& data_set_class = DataSetClass();
  const TMetaClass& sql_class = SQLClass();
  if (!IsClass(component, sql_class) && !IsClass(component, data_set_class)) {
    throw EDatabaseError(
        FormatMessage(SUpdateComponentInvalidType, {data_set_class.ClassName(), sql_class.ClassName()}));
  }
  if (component == data_set) throw EDatabaseError(LoadResString(SUpdateComponentCircularReferences));
}

void TCustomDAUpdateSQL::ExecSQL(TUpdateKind kind) {
  IDASQLOwner* data_set = SQLOwnerOf(data_set_);
  if (!data_set) DatabaseError(LoadResString(SDataSetNotDefined), this);
  data_set->OwnerPerformSQL(GetSQL(kind)->Text(), TStatementTypes{UpdateKindToStatementType(kind)});
}

void TCustomDAUpdateSQL::Apply(TUpdateKind kind) { ExecSQL(kind); }

void TCustomDAUpdateSQL::Loaded() {
  TComponent::Loaded();
  design_create_ = false;
}

void TCustomDAUpdateSQL::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  std::replace(objects_.begin(), objects_.end(), component, static_cast<TComponent*>(nullptr));
}

void TCustomDAUpdateSQL::AssignTo(TPersistent* dest) const {
  auto* other = dynamic_cast<TCustomDAUpdateSQL*>(dest);
  if (!other) return TComponent::AssignTo(dest);
  for (int type : {stRefresh, stUpdate, stInsert, stDelete}) other->SetSQLIndex(type, *GetSQLIndex(type));
  other->SetDataSet(data_set_);
  for (int type : {stRefresh, stUpdate, stInsert, stDelete}) other->SetObjectIndex(type, GetObjectIndex(type));
}

}  // namespace dac
