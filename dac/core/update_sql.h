// TCustomDAUpdateSQL: the statements a dataset runs, in place of the ones it
// would generate, to apply a changed record: per statement type either SQL
// text, or another component (a dataset or an SQL command component) that
// does the work. The dataset consults it when it posts or applies cached
// updates.
#pragma once

#include <array>
#include <memory>

#include "dac/core/server/server_types.h"
#include "dac/framework/classes/component.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/dataset_types.h"

namespace dac {

// Modify to stUpdate, insert to stInsert, delete to stDelete; any other
// value is an assertion failure.
TStatementType UpdateKindToStatementType(TUpdateKind kind);
// The inverse for stInsert, stUpdate and stDelete; any other type is an
// assertion failure.
TUpdateKind StatementTypeToUpdateKind(TStatementType statement_type);

class TCustomDAUpdateSQL : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  static constexpr int kStatementTypeCount = stBatchUpdate + 1;

  explicit TCustomDAUpdateSQL(TComponent* owner);
  ~TCustomDAUpdateSQL() override;
  void Init() override;

  // The SQL list of an update kind (never null).
  virtual TStrings* GetSQL(TUpdateKind kind) const;
  void SetSQL(TUpdateKind kind, const TStrings& value);
  // The dataset that uses this object (not owned), or null.
  virtual TComponent* GetDataSet() const { return data_set_; }
  virtual void SetDataSet(TComponent* value) { data_set_ = value; }
  // The classes whose components may stand in for statements.
  virtual const TMetaClass& DataSetClass() const;
  virtual const TMetaClass& SQLClass() const;
  // ExecSQL.
  virtual void Apply(TUpdateKind kind);
  // Runs the kind's SQL through the dataset ("DataSet must be defined" without one).
  void ExecSQL(TUpdateKind kind);

  // The SQL list of a statement type; null for the types without one.
  TStrings* GetSQLIndex(int index) const;
  // Assigns the lines; nothing for a type without a list.
  void SetSQLIndex(int index, const TStrings& value);
  TComponent* GetObjectIndex(int index) const;
  // After CheckUpdateComponent.
  void SetObjectIndex(int index, TComponent* value);

  TStrings* InsertSQL() const { return GetSQLIndex(stInsert); }
  TStrings* ModifySQL() const { return GetSQLIndex(stUpdate); }
  TStrings* DeleteSQL() const { return GetSQLIndex(stDelete); }
  TStrings* RefreshSQL() const { return GetSQLIndex(stRefresh); }
  TComponent* InsertObject() const { return GetObjectIndex(stInsert); }
  void SetInsertObject(TComponent* value) { SetObjectIndex(stInsert, value); }
  TComponent* ModifyObject() const { return GetObjectIndex(stUpdate); }
  void SetModifyObject(TComponent* value) { SetObjectIndex(stUpdate, value); }
  TComponent* DeleteObject() const { return GetObjectIndex(stDelete); }
  void SetDeleteObject(TComponent* value) { SetObjectIndex(stDelete, value); }
  TComponent* RefreshObject() const { return GetObjectIndex(stRefresh); }
  void SetRefreshObject(TComponent* value) { SetObjectIndex(stRefresh, value); }

  // Null passes; a component of neither class, or the dataset itself, is refused.
  void CheckUpdateComponent(TComponent* component) const { CheckUpdateComponent(component, data_set_); }
  void CheckUpdateComponent(TComponent* component, TComponent* data_set) const;

  bool GetDesignCreate() const { return design_create_; }
  void SetDesignCreate(bool value) { design_create_ = value; }
  void Loaded() override;
  // A freed component leaves every slot it filled.
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  // The dataset still using this object lets it go.
  void BeforeDestruction() override;
  // To another update object: the four SQL texts, the dataset, the four
  // objects (checked).
  void AssignTo(TPersistent* dest) const override;

 private:
  TComponent* data_set_ = nullptr;
  std::array<std::unique_ptr<TStringList>, kStatementTypeCount> sql_;
  std::array<TComponent*, kStatementTypeCount> objects_{};
  bool design_create_ = false;
};

}  // namespace dac
