#include "dac/framework/data/field.h"

#include <cstring>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/dataset_base.h"
#include "dac/framework/data/object_fields.h"
#include "platform/code_page.h"

namespace dac {

DAC_DEFINE_CLASS(TField, TComponent, ::dac::TComponentClassOf<TField>)

TField::TField(TComponent* owner) : TComponent(owner) {}

TDataSetBase* TField::DataSet() const { return parent_ ? parent_->DataSet() : dataset_; }

TFields* TField::OwnerList() const {
  if (parent_) return &parent_->Fields();
  return dataset_ ? &dataset_->Fields() : nullptr;
}

void TField::SetDataSet(TDataSetBase* dataset) {
  if (dataset == dataset_ && !parent_) return;
  CheckInactive();
  if (dataset) {
    dataset->CheckInactive();
    dataset->Fields().CheckFieldName(field_name_);
  }
  if (TFields* list = OwnerList()) list->Remove(this);
  if (dataset) dataset->Fields().Add(this);
}

void TField::SetParentField(TObjectField* parent) {
  if (parent == parent_) return;
  CheckInactive();
  if (parent) parent->Fields().CheckFieldName(field_name_);
  if (TFields* list = OwnerList()) list->Remove(this);
  if (parent) parent->Fields().Add(this);
}

void TField::SetFieldName(const std::string& name) {
  if (name == field_name_) return;
  CheckInactive();
  if (TFields* list = OwnerList()) list->CheckFieldName(name, this);
  field_name_ = name;
}

void TField::SetRequired(bool value) {
  if (value == required_) return;
  if (TFields* list = OwnerList()) list->required_count_ += value ? 1 : -1;
  required_ = value;
}

void TField::SetDefaultExpression(const std::string& text) {
  const bool had = !default_expression_.empty();
  if (TFields* list = OwnerList(); list && had != !text.empty()) list->default_count_ += had ? -1 : 1;
  default_expression_ = text;
}

std::string TField::FullName() const { return parent_ ? parent_->FullName() + "." + field_name_ : field_name_; }

std::string TField::DisplayName() const { return display_label_.empty() ? field_name_ : display_label_; }

int TField::Index() const {
  const TFields* list = OwnerList();
  return list ? list->IndexOf(this) : -1;
}

void TField::SetIndex(int index) {
  if (TFields* list = OwnerList()) list->SetFieldIndex(this, index);
}

void TField::SetFieldKind(TFieldKind kind) {
  if (kind == field_kind_) return;
  CheckInactive();
  field_kind_ = kind;
}

void TField::SetSize(int size) {
  if (size == size_) return;
  CheckInactive();
  CheckTypeSize(size);
  size_ = size;
}

void TField::CheckTypeSize(int size) const {
  if (size != 0) FieldError("Invalid field size");
}

void TField::SetLookupDataSet(TDataSetBase* dataset) {
  if (dataset == lookup_dataset_) return;
  if (lookup_dataset_) RemoveFreeNotification(lookup_dataset_);
  lookup_dataset_ = dataset;
  if (dataset) FreeNotification(dataset);
}

void TField::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == lookup_dataset_) lookup_dataset_ = nullptr;
}

void TField::BeforeDestruction() {
  if (TFields* list = OwnerList()) list->Remove(this);
}

namespace {

// The value being validated, in place of the record's.
[[gnu::noinline]] bool ReadValidating(TField& field, const void* validating_buffer, void* buffer, bool native_format) {
  if (!validating_buffer) return false;
  if (buffer) {
    if (native_format) {
      std::memcpy(buffer, validating_buffer, static_cast<size_t>(field.DataSize()));
    } else {
      field.DataSet()->DataConvert(&field, validating_buffer, buffer, false);
    }
  }
  return true;
}

}  // namespace

bool TField::GetData(void* buffer, bool native_format) {
  // Every value of a walk comes through here: each way is one call, so the
  // usual one saves no registers.
  TDataSetBase* dataset = parent_ ? DataSet() : dataset_;
  if (!dataset) {
    CheckDataSet();
    return false;
  }
  if (validating_) return ReadValidating(*this, validating_buffer_, buffer, native_format);
  return dataset->GetFieldData(this, buffer, native_format);
}

void TField::SetData(const void* buffer, bool native_format) {
  // Every setter comes through here: the usual way is one tail call.
  TDataSetBase* dataset = parent_ ? DataSet() : dataset_;
  if (dataset) return dataset->SetFieldData(this, buffer, native_format);
  CheckDataSet();
}

void TField::Validate(const void* buffer) {
  if (!on_validate_) return;
  validating_buffer_ = buffer;
  validating_ = true;
  try {
    on_validate_(this);
  } catch (...) {
    validating_ = false;
    validating_buffer_ = nullptr;
    throw;
  }
  validating_ = false;
  validating_buffer_ = nullptr;
}

void TField::FocusControl() {
  TDataSetBase* dataset = DataSet();
  if (dataset && dataset->GetActive()) dataset->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(this));
}

bool TField::CanModify() {
  TDataSetBase* dataset = DataSet();
  if (read_only_ || !dataset) return false;
  return (field_kind_ == fkData || field_kind_ == fkInternalCalc) && dataset->GetCanModify();
}

void TField::SetAsVariant(const Variant& value) {
  if (value.IsEmptyOrNull()) {
    Clear();
  } else {
    SetVarValue(value);
  }
}

bool TField::ExactText(std::string& text) { return DataSet() && DataSet()->GetFieldExactText(this, text); }

Variant TField::OldValue() {
  CheckDataSet();
  return DataSet()->GetStateFieldValue(dsOldValue, this);
}

Variant TField::NewValue() {
  CheckDataSet();
  return DataSet()->GetStateFieldValue(dsNewValue, this);
}

void TField::SetNewValue(const Variant& value) {
  CheckDataSet();
  DataSet()->SetStateFieldValue(dsNewValue, this, value);
}

Variant TField::CurValue() {
  CheckDataSet();
  return DataSet()->GetStateFieldValue(dsCurValue, this);
}

bool TField::GetAsBoolean() { AccessError("Boolean"); }
void TField::SetAsBoolean(bool) { AccessError("Boolean"); }
int32_t TField::GetAsInteger() { AccessError("Integer"); }
void TField::SetAsInteger(int32_t) { AccessError("Integer"); }
int64_t TField::GetAsLargeInt() { AccessError("LargeInt"); }
void TField::SetAsLargeInt(int64_t) { AccessError("LargeInt"); }
double TField::GetAsFloat() { AccessError("Float"); }
void TField::SetAsFloat(double) { AccessError("Float"); }
Currency TField::GetAsCurrency() { return DoubleToCurrency(GetAsFloat()); }
void TField::SetAsCurrency(Currency value) { SetAsFloat(CurrencyToDouble(value)); }
Bcd TField::GetAsBCD() { AccessError("BCD"); }
void TField::SetAsBCD(const Bcd&) { AccessError("BCD"); }
DateTime TField::GetAsDateTime() { AccessError("DateTime"); }
void TField::SetAsDateTime(DateTime) { AccessError("DateTime"); }
std::string TField::GetAsString() { AccessError("String"); }
void TField::SetAsString(const std::string&) { AccessError("String"); }
WideString TField::GetAsWideString() { return plat::AnsiToUtf16(GetAsString()); }
void TField::SetAsWideString(const WideString& value) { SetAsString(plat::Utf16ToAnsi(value)); }
TBytes TField::GetAsBytes() { AccessError("Bytes"); }
void TField::SetAsBytes(const TBytes&) { AccessError("Bytes"); }
Variant TField::GetAsVariant() { AccessError("Variant"); }
void TField::SetVarValue(const Variant&) { AccessError("Variant"); }

void TField::SetBytesOrText(const Variant& value) {
  if (value.IsBytes()) {
    SetAsBytes(value.AsBytes());
  } else {
    SetAsString(value.AsString());
  }
}

bool TField::ClearIfEmpty(const std::string& text) {
  if (!text.empty()) return false;
  Clear();
  return true;
}

void TField::AccessError(const char* type_name) const {
  DatabaseErrorFmt(nullptr, "Field '%s' cannot be accessed as %s", DisplayName().c_str(), type_name);
}

void TField::RangeError(const std::string& value, const std::string& min, const std::string& max) const {
  DatabaseErrorFmt(nullptr, "Value %s of field '%s' is outside the range %s to %s", value.c_str(),
                   DisplayName().c_str(), min.c_str(), max.c_str());
}

void TField::FieldError(const std::string& text) const { DatabaseError(text, DataSet()); }

void TField::CheckDataSet() const {
  if (!DataSet()) DatabaseErrorFmt(nullptr, "Field '%s' has no dataset", DisplayName().c_str());
}

void TField::CheckInactive() const {
  if (TDataSetBase* dataset = DataSet()) dataset->CheckInactive();
}

}  // namespace dac
