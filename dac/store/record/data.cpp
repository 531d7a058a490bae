#include "dac/store/record/data.h"

#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/record/db_object.h"
#include "dac/store/record/filter_code.h"
#include "dac/store/record/filter_expression.h"
#include "dac/store/runtime/marshal.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

// Abstract: its metaclass has no default form.
DAC_DEFINE_CLASS(TData, TObject, ::dac::TMetaClass)

namespace {

// The least Size a slot of the type needs, so that every typed access stays inside it.
uint32_t MinSlotSize(const TFieldDesc& desc) {
  const TDataTypeTraits& traits = DataTypeTraits(desc.GetDataType());
  return traits.slot_size + (traits.slot_adds_length ? desc.GetLength() : 0u);
}

}  // namespace

TData::TData() = default;

TData::~TData() = default;

std::string TData::GetArrayFieldName(TObjectType*, int index) { return "[" + std::to_string(index) + "]"; }

int TData::GetIndicatorSize() { return GetFieldCount(); }

bool TData::NeedConvertEOL() { return false; }

const TMetaClass& TData::GetFieldDescType() { return TFieldDesc::ClassInfo(); }

void TData::InternalInitFields() {}

void TData::ClearFields() {
  FreeFilterExpression();
  field_descs_.Clear();
  blob_fields_known_for_ = -1;
}

bool TData::IsBlobFieldType(uint16_t type) { return IsBlobDataType(type); }

bool TData::IsComplexFieldType(uint16_t type) {
  return type == dtVariant || IsHeapDataType(type) || IsBlobFieldType(type);
}

bool TData::HasFields(std::initializer_list<uint16_t> types) const {
  for (int i = 0; i < field_descs_.Count(); ++i) {
    for (uint16_t type : types) {
      if (field_descs_.GetItems(i)->GetDataType() == type) return true;
    }
  }
  return false;
}

bool TData::HasBlobFields() {
  // Known from the layout; otherwise (descriptors added since) looked up.
  if (blob_fields_known_for_ == field_descs_.Count()) return has_blob_fields_;
  for (int i = 0; i < field_descs_.Count(); ++i) {
    if (IsBlobFieldType(field_descs_.GetItems(i)->GetDataType())) return true;
  }
  return false;
}

void TData::CheckHasComplexFields() {
  has_complex_fields_ = false;
  has_blob_fields_ = false;
  for (int i = 0; i < field_descs_.Count(); ++i) {
    const uint16_t type = field_descs_.GetItems(i)->GetDataType();
    has_complex_fields_ = has_complex_fields_ || IsComplexFieldType(type);
    has_blob_fields_ = has_blob_fields_ || IsBlobFieldType(type);
  }
  blob_fields_known_for_ = field_descs_.Count();
}

void TData::FieldNumberOutOfRange() { AssertionFailed("Field number out of range", __FILE__, __LINE__); }

// ---- Layout ----

void TData::InitFields() {
  if (auto_init_fields_) {
    ClearFields();
    InternalInitFields();
    if (on_get_cached_fields_) on_get_cached_fields_();
    field_descs_.MakeUniqueNames();
  }
  LayOut();
  CheckHasComplexFields();
  filter_code_.reset();  // it read the old layout
}

void TData::LayOut() {
  DAC_ASSERT(field_descs_.Count() <= UINT16_MAX, "Too many fields");
  int64_t data_size = 0;
  for (int i = 0; i < field_descs_.Count(); ++i) {
    TFieldDesc* desc = field_descs_.GetItems(i);
    DAC_ASSERT(desc->GetFieldNo() == i + 1, "Field number out of order for " + desc->GetName());
    if (desc->HasParent()) continue;
    DAC_ASSERT(desc->GetSize() >= MinSlotSize(*desc), "Field size too small for " + desc->GetName());
  }
  for (int i = 0; i < field_descs_.Count(); ++i) {
    TFieldDesc* desc = field_descs_.GetItems(i);
    if (desc->GetFieldDescKind() == fdkCalculated) continue;
    int64_t offset = data_size;
    if (desc->GetDataType() == dtWideString && offset % 2 != 0) ++offset;
    desc->SetOffset(static_cast<uint32_t>(offset));
    data_size = offset + desc->GetSize();
  }
  int64_t record_size = data_size + GetIndicatorSize();
  if (record_size % 2 == 0) ++record_size;

  int64_t calc_size = 0;
  for (int i = 0; i < field_descs_.Count(); ++i) {
    TFieldDesc* desc = field_descs_.GetItems(i);
    if (desc->GetFieldDescKind() != fdkCalculated) continue;
    int64_t offset = record_size + calc_size;
    if (desc->GetDataType() == dtWideString && offset % 2 != 0) ++offset;
    desc->SetOffset(static_cast<uint32_t>(offset));
    calc_size = offset + desc->GetSize() - record_size;
  }
  int64_t calc_record_size = calc_size;
  if (calc_record_size > 0 && calc_record_size % 2 == 0) ++calc_record_size;
  DAC_ASSERT(record_size + calc_record_size < INT32_MAX, "Record too large");

  data_size_ = static_cast<int32_t>(data_size);
  record_size_ = static_cast<int32_t>(record_size);
  calc_data_size_ = static_cast<int32_t>(calc_size);
  calc_record_size_ = static_cast<int32_t>(calc_record_size);
}

void TData::InitObjectFields(TObjectType* type, TFieldDesc* parent) {
  if (!type) return;
  int elements = 1;
  if (type->GetDataType() == dtArray && !sparse_arrays_) elements = std::min(type->GetSize(), MaxArrayItem);
  const TMetaClass& desc_class = GetFieldDescType();
  DAC_ASSERT(desc_class.InheritsFrom(TFieldDesc::ClassInfo()), "Field descriptor class is no TFieldDesc");
  for (int a = 0; a < type->GetAttributeCount(); ++a) {
    TAttribute* attribute = type->GetAttributes(a);
    for (int e = 0; e < elements; ++e) {
      std::unique_ptr<TFieldDesc> desc(static_cast<TFieldDesc*>(desc_class.Create()));
      if (type->GetDataType() == dtArray) {
        desc->SetName(GetArrayFieldName(type, e));
        desc->SetFullName(parent->GetFullName() + desc->GetName());
      } else {
        desc->SetName(attribute->GetName());
        desc->SetFullName(parent->GetFullName() + "." + attribute->GetName());
      }
      desc->SetDataType(attribute->GetDataType());
      desc->SetLength(attribute->GetLength());
      desc->SetFixed(attribute->GetFixed());
      desc->SetObjectType(attribute->GetObjectType());
      desc->SetSize(0);
      desc->SetFieldNo(static_cast<uint16_t>(field_descs_.Count() + 1));
      desc->SetReadOnly(parent->GetReadOnly());
      desc->SetParentField(parent);
      TFieldDesc* added = field_descs_.Add(std::move(desc));
      if (added->GetDataType() == dtObject || added->GetDataType() == dtArray) {
        InitObjectFields(added->GetObjectType(), added);
      }
    }
  }
}

// ---- Record buffers ----

void TData::AllocRecBuf(void*& rec_buf) { rec_buf = Marshal::AllocHGlobal(static_cast<size_t>(record_size_)); }

void TData::FreeRecBuf(void* rec_buf) { Marshal::FreeHGlobal(rec_buf); }

void TData::InitRecord(void* rec_buf) {
  // Always zero-filled, so that copies and comparisons never meet stale bytes.
  std::memset(rec_buf, 0, static_cast<size_t>(record_size_));
  // Every field null: the indicators of all descriptors (children too) are
  // the bytes behind the data area; no blob is held yet that could be cleared.
  const int64_t count = field_descs_.Count();
  DAC_ASSERT(data_size_ + count <= record_size_, "Null indicator outside the record");
  std::memset(static_cast<uint8_t*>(rec_buf) + data_size_, 1, static_cast<size_t>(count));
}

// ---- Nulls ----

void TData::WriteIndicator(TFieldDesc* field, void* rec_buf, bool null) {
  const int64_t at = static_cast<int64_t>(data_size_) + field->GetFieldNo() - 1;
  DAC_ASSERT(at < record_size_, "Null indicator outside the record");
  StoreAt<uint8_t>(rec_buf, static_cast<size_t>(at), null ? 1 : 0);
}

bool TData::GetNull(uint16_t field_no, void* rec_buf) {
  TFieldDesc* field = CheckedField(field_no);
  if (field->HasParent()) [[unlikely]] return ChildNull(field, rec_buf);
  return IndicatorNull(field_no, rec_buf);
}

// Apart, so that GetNull of a top-level field needs no frame.
[[gnu::noinline]] bool TData::ChildNull(TFieldDesc* field, void* rec_buf) {
  bool is_blank = true;
  GetChildField(field, rec_buf, nullptr, 0, is_blank);
  return is_blank;
}

void TData::SetNull(uint16_t field_no, void* rec_buf, bool value) {
  TFieldDesc* field = CheckedField(field_no);
  if (field->HasParent()) {
    if (value) PutChildField(field, rec_buf, nullptr);
    return;
  }
  WriteIndicator(field, rec_buf, value);
  if (value && IsBlobFieldType(field->GetDataType()) && field->GetFieldDescKind() != fdkCalculated) {
    auto* blob = TSharedObject::At<TBlob>(Slot(rec_buf, field));
    if (blob) blob->Clear();
  }
}

// ---- Child fields ----

void TData::GetChildFieldInfo(TFieldDesc* field, TFieldDesc*& root, std::string& path) {
  path = field->GetName();
  TFieldDesc* desc = field;
  while (desc->GetParentField() && desc->GetParentField()->HasParent()) {
    TFieldDesc* parent = desc->GetParentField();
    path = parent->GetName() + (parent->GetDataType() == dtArray ? "" : ".") + path;
    desc = parent;
  }
  root = desc->GetParentField() ? desc->GetParentField() : desc;
}

TDBObject* TData::RootObject(TFieldDesc* root, void* rec_buf) const {
  if (root->GetFieldDescKind() == fdkCalculated) return nullptr;
  return TSharedObject::At<TDBObject>(Slot(rec_buf, root));
}

void TData::GetChildField(TFieldDesc* field, void* rec_buf, void* dest, size_t dest_size, bool& is_blank) {
  TFieldDesc* root = nullptr;
  std::string path;
  GetChildFieldInfo(field, root, path);
  TDBObject* object = RootObject(root, rec_buf);
  if (!object) {
    is_blank = true;
    return;
  }
  is_blank = false;
  object->GetAttributeValue(path, dest, dest ? dest_size : 0, is_blank);
}

void TData::PutChildField(TFieldDesc* field, void* rec_buf, const void* source) {
  TFieldDesc* root = nullptr;
  std::string path;
  GetChildFieldInfo(field, root, path);
  if (TDBObject* object = RootObject(root, rec_buf)) object->SetAttributeValue(path, source);
}

}  // namespace dac
