// Field descriptors: every record set describes its columns with TFieldDesc
// objects held in a TFieldDescs list. A descriptor names the column, gives
// its data type (data_types.h), and its size and offset in the record buffer
// (TData::InitFields). Attributes of structured columns appear as child
// descriptors (ParentField set, Size 0) in the same list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dac/framework/classes/meta_class.h"
#include "dac/store/record/data_types.h"
#include "dac/store/record/object_type.h"

namespace dac {

// A record set's descriptor class may be a subclass, chosen by
// TData::GetFieldDescType and made through its metaclass's Create.
class TFieldDesc : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TFieldDesc() = default;
  ~TFieldDesc() override;
  TFieldDesc(const TFieldDesc&) = delete;
  TFieldDesc& operator=(const TFieldDesc&) = delete;

  // The column name as the record set presents it; made unique by InitFields.
  const std::string& GetName() const { return name_; }
  void SetName(std::string value) { name_ = std::move(value); }
  // The path name: a child of an object has its parent's FullName, "." and
  // the attribute name; an array element its parent's FullName and "[i]".
  const std::string& GetFullName() const { return full_name_; }
  void SetFullName(std::string value) { full_name_ = std::move(value); }
  // The underlying column's name.
  const std::string& GetActualName() const { return actual_name_; }
  void SetActualName(std::string value) { actual_name_ = std::move(value); }
  uint16_t GetDataType() const { return data_type_; }
  void SetDataType(uint16_t value) { data_type_ = value; }
  // A provider's finer type under DataType.
  uint16_t GetSubDataType() const { return sub_data_type_; }
  void SetSubDataType(uint16_t value) { sub_data_type_ = value; }
  // Declared length: characters of a string, bytes of a byte field, precision of a number.
  uint16_t GetLength() const { return length_; }
  void SetLength(uint16_t value) { length_ = value; }
  // Decimals; dtFloat and dtCurrency values from variants are rounded to it.
  uint16_t GetScale() const { return scale_; }
  void SetScale(uint16_t value) { scale_ = value; }
  // 1-based position in the list; also the index of the null indicator.
  uint16_t GetFieldNo() const { return field_no_; }
  void SetFieldNo(uint16_t value) { field_no_ = value; }
  // Zero-based number of the column in the provider's result.
  int32_t GetActualFieldNo() const { return actual_field_no_; }
  void SetActualFieldNo(int32_t value) { actual_field_no_ = value; }
  // Bytes in the record buffer (0 for child descriptors).
  uint16_t GetSize() const { return size_; }
  void SetSize(uint16_t value) { size_ = value; }
  uint32_t GetOffset() const { return offset_; }
  void SetOffset(uint32_t value) { offset_ = value; }
  bool GetRequired() const { return required_; }
  void SetRequired(bool value) { required_ = value; }
  bool GetReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }
  // Part of the table's key.
  bool GetIsKey() const { return is_key_; }
  void SetIsKey(bool value) { is_key_ = value; }
  // A fixed-length character column.
  bool GetFixed() const { return fixed_; }
  void SetFixed(bool value) { fixed_ = value; }
  bool GetHidden() const { return hidden_; }
  void SetHidden(bool value) { hidden_ = value; }
  // Counted: the descriptor holds one reference.
  TObjectType* GetObjectType() const { return object_type_; }
  void SetObjectType(TObjectType* value);
  TFieldDesc* GetParentField() const { return parent_field_; }
  void SetParentField(TFieldDesc* value) { parent_field_ = value; }
  bool HasParent() const { return parent_field_ != nullptr; }
  // The dataset binding makes no field definition for it.
  bool GetSkipFieldDef() const { return skip_field_def_; }
  void SetSkipFieldDef(bool value) { skip_field_def_ = value; }
  // Another top-level descriptor had the same name when names were made unique.
  bool GetDuplicate() const { return duplicate_; }
  void SetDuplicate(bool value) { duplicate_ = value; }
  TFieldDescKind GetFieldDescKind() const { return field_desc_kind_; }
  void SetFieldDescKind(TFieldDescKind value) { field_desc_kind_ = value; }

  // Copies Name, FullName, DataType, Length, Scale, FieldNo, Size, Offset
  // and Required; nothing else.
  virtual void Assign(const TFieldDesc& source);

 private:
  std::string name_;
  std::string full_name_;
  std::string actual_name_;
  uint16_t data_type_ = dtUnknown;
  uint16_t sub_data_type_ = 0;
  uint16_t length_ = 0;
  uint16_t scale_ = 0;
  uint16_t field_no_ = 0;
  int32_t actual_field_no_ = 0;
  uint16_t size_ = 0;
  uint32_t offset_ = 0;
  bool required_ = false;
  bool read_only_ = false;
  bool is_key_ = false;
  bool fixed_ = false;
  bool hidden_ = false;
  TObjectType* object_type_ = nullptr;
  TFieldDesc* parent_field_ = nullptr;
  bool skip_field_def_ = false;
  bool duplicate_ = false;
  TFieldDescKind field_desc_kind_ = fdkData;
};

// Owns its descriptors.
class TFieldDescs {
 public:
  TFieldDescs() = default;
  ~TFieldDescs() { Clear(); }
  TFieldDescs(const TFieldDescs&) = delete;
  TFieldDescs& operator=(const TFieldDescs&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // The descriptor at a 0-based index.
  TFieldDesc* GetItems(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
  // Whether a 1-based field number names a descriptor, and that descriptor unchecked.
  bool HasFieldNo(uint16_t field_no) const { return static_cast<size_t>(field_no) - 1 < items_.size(); }
  TFieldDesc* ByFieldNo(uint16_t field_no) const { return items_[static_cast<size_t>(field_no) - 1].get(); }
  TFieldDesc* Add(std::unique_ptr<TFieldDesc> desc);
  // 0-based index, -1 when not in the list.
  int IndexOf(const TFieldDesc* desc) const;
  void Clear();

  // A name with "." or "[" is a path matched against FullName; any other
  // name is looked for among top-level descriptors first, then children.
  // Letter case is ignored (ASCII). Null when absent.
  TFieldDesc* FindField(std::string_view name) const;
  // Exception "Field %s not found".
  TFieldDesc* FieldByName(std::string_view name) const;

  // Makes the names of the top-level descriptors unique: sorted by name
  // (ties by FieldNo), the second X becomes X_1, the third X_2; nameless
  // columns become _0, _1, ...; a generated name that another descriptor
  // already bears renames that one in turn. Marks the duplicates.
  void MakeUniqueNames();

 private:
  std::vector<std::unique_ptr<TFieldDesc>> items_;
};

}  // namespace dac
