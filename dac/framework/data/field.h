// TField: one column of a dataset as the application sees it. A field
// exchanges its value with the dataset through GetData/SetData in the
// native form (see dataset_base.h) and converts it for the typed accessors.
// An accessor a class does not offer raises EDatabaseError
// "Field '%s' cannot be accessed as %s".
#pragma once

#include <cstdint>
#include <string>

#include "dac/framework/classes/component.h"
#include "dac/framework/data/dataset_types.h"
#include "dac/framework/data/field_type.h"
#include "dac/framework/values/bytes.h"
#include "dac/framework/values/variant.h"

namespace dac {

class TDataSetBase;
class TFields;
class TObjectField;

class TField : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  explicit TField(TComponent* owner);

  // ---- identity ----
  // The dataset, through the parent field for a child field.
  TDataSetBase* DataSet() const;
  // Joins the dataset's Fields (leaving the old one's); both must be closed.
  virtual void SetDataSet(TDataSetBase* dataset);
  TObjectField* ParentField() const { return parent_; }
  // Joins the object field's child fields instead of the dataset's.
  void SetParentField(TObjectField* parent);
  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(const std::string& name);
  // "parent.child" for a child of an object field.
  std::string FullName() const;
  const std::string& DisplayLabel() const { return display_label_; }
  void SetDisplayLabel(const std::string& label) { display_label_ = label; }
  // DisplayLabel, or the field name when it is empty.
  std::string DisplayName() const;
  int FieldNo() const { return field_no_; }
  void SetFieldNo(int field_no) { field_no_ = field_no; }
  // Where the dataset keeps a calculated field's value in its calculated area.
  int Offset() const { return offset_; }
  void SetOffset(int offset) { offset_ = offset; }
  // Position in its Fields; -1 outside one.
  int Index() const;
  void SetIndex(int index);
  TFieldType DataType() const { return data_type_; }
  // The type a definition gives the field: classes that hold several types
  // (fixed and variable strings, the blob types) take it; others ignore it.
  virtual void SetFieldType(TFieldType /*type*/) {}
  TFieldKind FieldKind() const { return field_kind_; }
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const { return field_kind_ == fkCalculated; }
  bool Lookup() const { return field_kind_ == fkLookup; }
  void SetLookup(bool value) { SetFieldKind(value ? fkLookup : fkData); }

  // ---- sizes ----
  // The size setting: characters, bytes, places; its meaning is the class's.
  int Size() const { return size_; }
  // EDatabaseError "Invalid field size" for a size the class refuses.
  void SetSize(int size);
  // Bytes of the native value.
  virtual int GetDataSize() const { return 0; }
  int DataSize() const { return GetDataSize(); }
  virtual bool IsBlob() const { return false; }

  // ---- settings ----
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) {
    read_only_ = value;
    guarded_ = read_only_ || on_validate_;
  }
  bool Required() const { return required_; }
  // Its list counts the required fields and those with a default.
  void SetRequired(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  const std::string& DefaultExpression() const { return default_expression_; }
  void SetDefaultExpression(const std::string& text);
  TAutoRefreshFlag AutoGenerateValue() const { return auto_generate_value_; }
  void SetAutoGenerateValue(TAutoRefreshFlag value) { auto_generate_value_ = value; }
  const std::string& Origin() const { return origin_; }
  void SetOrigin(const std::string& origin) { origin_ = origin; }
  TProviderFlags ProviderFlags() const { return provider_flags_; }
  void SetProviderFlags(TProviderFlags flags) { provider_flags_ = flags; }

  // ---- lookup settings ----
  TDataSetBase* LookupDataSet() const { return lookup_dataset_; }
  // Held with a free notification: freeing that dataset clears it.
  void SetLookupDataSet(TDataSetBase* dataset);
  const std::string& KeyFields() const { return key_fields_; }
  void SetKeyFields(const std::string& names) { key_fields_ = names; }
  const std::string& LookupKeyFields() const { return lookup_key_fields_; }
  void SetLookupKeyFields(const std::string& names) { lookup_key_fields_ = names; }
  const std::string& LookupResultField() const { return lookup_result_field_; }
  void SetLookupResultField(const std::string& name) { lookup_result_field_ = name; }
  bool LookupCache() const { return lookup_cache_; }
  void SetLookupCache(bool value) { lookup_cache_ = value; }

  // ---- data ----
  // EDatabaseError "Field '%s' has no dataset" without one. While OnValidate
  // runs, the value being validated.
  bool GetData(void* buffer, bool native_format = true);
  // A null buffer makes the field null.
  void SetData(const void* buffer, bool native_format = true);
  // The dataset of a field that is no child field (SetData's usual one).
  // (The field list leaves dataset_ null for a child field.)
  TDataSetBase* OwnDataSet() const { return dataset_; }
  // Runs OnValidate over the native value about to be written (null: none).
  void Validate(const void* buffer);
  // An OnValidate handler is set: a write must hand it the native value.
  bool HasOnValidate() const { return static_cast<bool>(on_validate_); }
  // ReadOnly or HasOnValidate, in one test: a write that needs neither check
  // may take a shorter way.
  bool WriteGuarded() const { return guarded_; }
  bool HasOnChange() const { return static_cast<bool>(on_change_); }
  // Called by the dataset when the field's value changed.
  void Change() {
    if (on_change_) on_change_(this);
  }
  // Moves the input focus to the field's control (a focus-control event).
  void FocusControl();
  virtual void Clear() { SetData(nullptr); }
  bool IsNull() { return GetIsNull(); }
  bool CanModify();

  // ---- typed access ----
  // Each raises the access error in the base unless said otherwise. Reading
  // a null field gives 0, false or "".
  virtual bool GetAsBoolean();
  virtual void SetAsBoolean(bool value);
  virtual int32_t GetAsInteger();
  virtual void SetAsInteger(int32_t value);
  virtual int64_t GetAsLargeInt();
  virtual void SetAsLargeInt(int64_t value);
  virtual double GetAsFloat();
  virtual void SetAsFloat(double value);
  // Through AsFloat in the base.
  virtual Currency GetAsCurrency();
  virtual void SetAsCurrency(Currency value);
  virtual Bcd GetAsBCD();
  virtual void SetAsBCD(const Bcd& value);
  virtual DateTime GetAsDateTime();
  virtual void SetAsDateTime(DateTime value);
  virtual std::string GetAsString();
  // "" clears every field that does not hold text.
  virtual void SetAsString(const std::string& value);
  // Through AsString in the system code page in the base.
  virtual WideString GetAsWideString();
  virtual void SetAsWideString(const WideString& value);
  virtual TBytes GetAsBytes();
  virtual void SetAsBytes(const TBytes& value);
  bool AsBoolean() { return GetAsBoolean(); }
  int32_t AsInteger() { return GetAsInteger(); }
  int64_t AsLargeInt() { return GetAsLargeInt(); }
  double AsFloat() { return GetAsFloat(); }
  Currency AsCurrency() { return GetAsCurrency(); }
  Bcd AsBCD() { return GetAsBCD(); }
  DateTime AsDateTime() { return GetAsDateTime(); }
  std::string AsString() { return GetAsString(); }
  WideString AsWideString() { return GetAsWideString(); }
  TBytes AsBytes() { return GetAsBytes(); }
  // Null for null.
  Variant AsVariant() { return GetIsNull() ? Variant::Null() : GetAsVariant(); }
  // Null or Empty clears the field.
  void SetAsVariant(const Variant& value);
  Variant Value() { return AsVariant(); }
  void SetValue(const Variant& value) { SetAsVariant(value); }
  std::string Text() { return GetAsString(); }
  void SetText(const std::string& text) { SetAsString(text); }
  // The value in the old-value, new-value and current-value states.
  Variant OldValue();
  Variant NewValue();
  void SetNewValue(const Variant& value);
  Variant CurValue();

  void SetOnChange(std::function<void(TField*)> handler) { on_change_ = std::move(handler); }
  void SetOnValidate(std::function<void(TField*)> handler) {
    on_validate_ = std::move(handler);
    guarded_ = read_only_ || on_validate_;
  }

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  // The value of a field that is not null.
  virtual Variant GetAsVariant();
  // A value that is neither Null nor Empty.
  virtual void SetVarValue(const Variant& value);
  virtual bool GetIsNull() { return !GetData(nullptr); }
  // Refuses a size the class does not take; the base takes only 0.
  virtual void CheckTypeSize(int size) const;
  void SetDataType(TFieldType type) { data_type_ = type; }
  // Sets the size without checks (constructors).
  void InitSize(int size) { size_ = size; }
  // The dataset's exact text of the value (TDataSetBase::GetFieldExactText).
  bool ExactText(std::string& text);

  // Bytes through SetAsBytes, anything else through SetAsString.
  void SetBytesOrText(const Variant& value);
  // Clears the field for "" and says so: text setters of non-text fields.
  bool ClearIfEmpty(const std::string& text);
  [[noreturn]] void AccessError(const char* type_name) const;
  // "Value %s of field '%s' is outside the range %s to %s".
  [[noreturn]] void RangeError(const std::string& value, const std::string& min, const std::string& max) const;
  // EDatabaseError naming this field's dataset.
  [[noreturn]] void FieldError(const std::string& text) const;

  void BeforeDestruction() override;
  // EDatabaseError "Field '%s' has no dataset".
  void CheckDataSet() const;
  void CheckInactive() const;

 private:
  friend class TFields;
  TFields* OwnerList() const;

  TDataSetBase* dataset_ = nullptr;
  TObjectField* parent_ = nullptr;
  std::string field_name_;
  std::string display_label_;
  int field_no_ = 0;
  int offset_ = 0;
  TFieldType data_type_ = ftUnknown;
  TFieldKind field_kind_ = fkData;
  int size_ = 0;
  bool read_only_ = false;
  // Kept by SetReadOnly and SetOnValidate, the only writers of either.
  bool guarded_ = false;
  bool required_ = false;
  bool visible_ = true;
  std::string default_expression_;
  TAutoRefreshFlag auto_generate_value_ = arNone;
  std::string origin_;
  TProviderFlags provider_flags_{pfInUpdate, pfInWhere};
  TDataSetBase* lookup_dataset_ = nullptr;
  std::string key_fields_;
  std::string lookup_key_fields_;
  std::string lookup_result_field_;
  bool lookup_cache_ = false;
  const void* validating_buffer_ = nullptr;
  bool validating_ = false;
  std::function<void(TField*)> on_change_;
  std::function<void(TField*)> on_validate_;
};

}  // namespace dac
