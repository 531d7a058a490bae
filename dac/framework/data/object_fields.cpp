#include "dac/framework/data/object_fields.h"

#include "dac/framework/data/dataset_base.h"

namespace dac {

DAC_DEFINE_CLASS(TObjectField, TField, ::dac::TComponentClass)
DAC_DEFINE_CLASS(TADTField, TObjectField, ::dac::TComponentClassOf<TADTField>)
DAC_DEFINE_CLASS(TArrayField, TObjectField, ::dac::TComponentClassOf<TArrayField>)
DAC_DEFINE_CLASS(TReferenceField, TObjectField, ::dac::TComponentClassOf<TReferenceField>)
DAC_DEFINE_CLASS(TDataSetField, TObjectField, ::dac::TComponentClassOf<TDataSetField>)

TObjectField::TObjectField(TComponent* owner, TFieldType type) : TField(owner), fields_(nullptr, this) {
  SetDataType(type);
}

Variant TObjectField::GetAsVariant() {
  std::vector<Variant> values;
  for (int i = 0; i < fields_.Count(); ++i) values.push_back(fields_.Fields(i)->Value());
  return Variant(std::move(values));
}

void TObjectField::SetVarValue(const Variant& value) {
  for (int i = 0; i < fields_.Count(); ++i) fields_.Fields(i)->SetValue(value.ArrayElement(static_cast<size_t>(i)));
}

bool TObjectField::GetIsNull() {
  for (int i = 0; i < fields_.Count(); ++i) {
    if (!fields_.Fields(i)->IsNull()) return false;
  }
  return true;
}

void TObjectField::CheckTypeSize(int size) const {
  if (size < 0) FieldError("Invalid field size");
}

void TObjectField::BeforeDestruction() {
  fields_.Clear();
  TField::BeforeDestruction();
}

void TDataSetField::SetNestedDataSet(TDataSetBase* dataset) {
  if (dataset == nested_) return;
  if (nested_) RemoveFreeNotification(nested_);
  nested_ = dataset;
  if (dataset) FreeNotification(dataset);
}

void TDataSetField::Notification(TComponent* component, TOperation operation) {
  TObjectField::Notification(component, operation);
  if (operation == opRemove && component == nested_) nested_ = nullptr;
}

}  // namespace dac
