// Structured fields: an object field holds child fields (its Fields), whose
// full names are "parent.child". Child fields are freed with their parent.
#pragma once

#include <string>

#include "dac/framework/data/field.h"
#include "dac/framework/data/fields.h"

namespace dac {

class TObjectField : public TField {
  DAC_DECLARE_CLASS();

 public:
  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  int FieldCount() const { return fields_.Count(); }
  const std::string& ObjectType() const { return object_type_; }
  void SetObjectType(const std::string& name) { object_type_ = name; }

 protected:
  TObjectField(TComponent* owner, TFieldType type);
  // A Variant array of the children's values.
  Variant GetAsVariant() override;
  // An array gives each child its element.
  void SetVarValue(const Variant& value) override;
  // Null when every child is null.
  bool GetIsNull() override;
  void CheckTypeSize(int size) const override;
  void BeforeDestruction() override;

 private:
  TFields fields_;
  std::string object_type_;
};

class TADTField : public TObjectField {
  DAC_DECLARE_CLASS();

 public:
  explicit TADTField(TComponent* owner) : TObjectField(owner, ftADT) {}
};

// Size is the element count.
class TArrayField : public TObjectField {
  DAC_DECLARE_CLASS();

 public:
  explicit TArrayField(TComponent* owner) : TObjectField(owner, ftArray) {}
};

class TReferenceField : public TObjectField {
  DAC_DECLARE_CLASS();

 public:
  explicit TReferenceField(TComponent* owner) : TObjectField(owner, ftReference) {}
  const std::string& ReferenceTableName() const { return table_name_; }
  void SetReferenceTableName(const std::string& name) { table_name_ = name; }

 private:
  std::string table_name_;
};

class TDataSetField : public TObjectField {
  DAC_DECLARE_CLASS();

 public:
  explicit TDataSetField(TComponent* owner) : TObjectField(owner, ftDataSet) {}
  // Held with a free notification: freeing that dataset clears it.
  TDataSetBase* NestedDataSet() const { return nested_; }
  void SetNestedDataSet(TDataSetBase* dataset);
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TDataSetBase* nested_ = nullptr;
};

}  // namespace dac
