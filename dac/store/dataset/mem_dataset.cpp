// TMemDataSet: the record set, preparation, field definitions, opening and
// closing.
#include "dac/store/dataset/mem_dataset.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dac/framework/classes/application.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/object_fields.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/marshal.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TMemDataSet, TDataSet, ::dac::TComponentClassOf<TMemDataSet>)

bool SendDataSetChangeEventAfterOpen = true;
bool DoNotRaiseExcetionOnUaFail = false;

TMemDataSet::TMemDataSet(TComponent* owner) : TDataSet(owner) {}

void TMemDataSet::Init() {
  TDataSet::Init();
  CreateIRecordSet();
}

void TMemDataSet::BeforeDestruction() {
  try {
    if (GetActive()) Close();
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  }
  try {
    UnPrepare();
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  }
  DetachBlobStreams(nullptr);
  TDataSet::BeforeDestruction();
  ClearDeferredPost();
  delete record_set_;
  record_set_ = nullptr;
  mem_data_ = nullptr;
  direct_count_ = 0;
}

// ---- record set ----

void TMemDataSet::CreateIRecordSet() {
  auto data = std::make_unique<TMemData>();
  data->Create();
  SetIRecordSet(data.get());
  data.release();
}

void TMemDataSet::SetIRecordSet(TData* value) {
  record_set_ = value;
  mem_data_ = dynamic_cast<TMemData*>(value);
  direct_count_ = 0;  // the slots were made for the rows of the one before
  calc_fields_mapping_.clear();
  if (!value) return;
  value->SetCachedUpdates(cached_updates_);
  value->SetSparseArrays(SparseArrays());
  value->SetOnAppend([this] { DoPerformAppend(); });
  value->SetOnDelete([this] { DoPerformDelete(); });
  value->SetOnUpdate([this] { DoPerformUpdate(); });
  value->SetOnApplyRecord(
      [this](TUpdateRecKind kind, TUpdateRecAction& action, bool last) { DoApplyRecord(kind, action, last); });
  value->SetOnGetCachedFields([this] { DoGetCachedFields(); });
  value->SetOnGetCachedBuffer([this](void* dest, void* source) { DoGetCachedBuffer(dest, source); });
}

void TMemDataSet::DataReopen() { record_set_->Reopen(); }

void TMemDataSet::CheckRecordSet() const { DAC_ASSERT(record_set_, "FIRecordSet must be setted to this time"); }

void TMemDataSet::Prepare() {
  CheckRecordSet();
  if (GetPrepared()) return;
  record_set_->Prepare();
  CreateFieldDefs();
}

void TMemDataSet::UnPrepare() {
  if (GetActive()) Close();
  if (!record_set_) return;
  record_set_->UnPrepare();
  if (!ComponentState().Contains(csDestroying)) FieldDefs().SetUpdated(false);
}

bool TMemDataSet::GetPrepared() const { return record_set_ && record_set_->GetPrepared(); }

void TMemDataSet::SetPrepared(bool value) {
  if (value) {
    Prepare();
  } else {
    UnPrepare();
  }
}

void TMemDataSet::CheckPrepared() const {
  if (!GetPrepared()) DatabaseError("DataSet is not prepared");
}

// ---- settings ----

void TMemDataSet::SetCachedUpdates(bool value) {
  if (value == cached_updates_) return;
  CheckInactive();
  cached_updates_ = value;
  if (record_set_) record_set_->SetCachedUpdates(value);
}

void TMemDataSet::SetSparseArrays(bool value) {
  UnPrepare();
  TDataSet::SetSparseArrays(value);
  if (record_set_) record_set_->SetSparseArrays(value);
}

void TMemDataSet::SetIndexFieldNames(const std::string& names) {
  TMemData* data = MemData();
  if (GetActive()) {
    CheckBrowseMode();
    UpdateCursorPos();
  }
  if (data) data->SetIndexFieldNames(names);
  if (GetActive() && data && !data->GetSortColumns().empty()) Resync({});
  index_field_names_ = names;
}

void TMemDataSet::AssignTo(TPersistent* dest) const {
  auto* target = dynamic_cast<TMemDataSet*>(dest);
  if (!target) {
    TDataSet::AssignTo(dest);
    return;
  }
  target->SetCachedUpdates(cached_updates_);
  target->required_fields_ = required_fields_;
  target->local_update_ = local_update_;
}

// ---- field descriptors ----

TFieldDesc* TMemDataSet::GetFieldDesc(TField* field) {
  CheckRecordSet();
  DAC_ASSERT(field, "Field cannot be nil");
  DAC_ASSERT(field->DataSet() == this, "Wrong DataSet");
  TFieldDescs& descs = record_set_->GetFieldDescs();
  if (field->FieldNo() > 0) {
    // Definitions may still describe more columns than the record set has.
    return field->FieldNo() <= descs.Count() ? descs.GetItems(field->FieldNo() - 1) : nullptr;
  }
  if (DefaultFields() && Fields().Count() == descs.Count()) {
    const int index = Fields().IndexOf(field);
    if (index >= 0) return descs.GetItems(index);
  }
  const std::string& name = field->FieldName();
  const bool data_field = field->FieldKind() == fkData;
  for (int i = 0; i < descs.Count(); ++i) {
    TFieldDesc* desc = descs.GetItems(i);
    if (!data_field && desc->GetFieldDescKind() == fdkData) continue;
    if (plat::SameText(desc->GetName(), name)) return desc;
    if (!data_field && plat::SameText(desc->GetFullName(), name)) return desc;
  }
  return nullptr;
}

int TMemDataSet::GetFieldDescNo(TField* field) {
  TFieldDesc* desc = GetFieldDesc(field);
  if (!desc) throw Exception(Format("Field %s not found", field->FieldName().c_str()));
  return desc->GetFieldNo();
}

// ---- field definitions ----

TFieldType TMemDataSet::GetFieldType(uint16_t data_type) { return dac::GetFieldType(data_type); }

TFieldType TMemDataSet::GetFieldType(TFieldDesc* desc) { return GetFieldType(desc->GetDataType()); }

int TMemDataSet::GetFielDefSize(TFieldType type, TFieldDesc* desc) {
  switch (type) {
    case ftString:
    case ftWideString:
    case ftGuid: return std::max<int>(desc->GetLength(), 1);
    case ftBytes:
    case ftVarBytes: return desc->GetLength();
    default: return 0;
  }
}

std::string TMemDataSet::GetObjectFieldDefName(TFieldDef*, int index, TObjectType*) { return std::to_string(index); }

bool TMemDataSet::FieldDefsStale() const {
  TFieldDescs& descs = record_set_->GetFieldDescs();
  if (static_cast<int>(field_def_names_.size()) != descs.Count()) return true;
  for (int i = 0; i < descs.Count(); ++i) {
    if (descs.GetItems(i)->GetName() != field_def_names_[static_cast<size_t>(i)]) return true;
  }
  return false;
}

void TMemDataSet::InternalInitFieldDefs() {
  CheckRecordSet();
  if (record_set_->GetActive()) return;
  record_set_->InitFields();
  CreateFieldDefs();
}

void TMemDataSet::CreateFieldDefs() {
  // Definitions made from other descriptors (a reopen with other columns) are made again.
  if (FieldDefs().Updated() && !FieldDefsStale()) return;
  TFieldDescs& descs = record_set_->GetFieldDescs();
  FieldDefs().BeginUpdate();
  try {
    FieldDefs().Clear();
    for (int i = 0; i < descs.Count(); ++i) {
      TFieldDesc* desc = descs.GetItems(i);
      if (desc->GetFieldDescKind() != fdkData || desc->GetSkipFieldDef()) continue;
      if (desc->HasParent() && !desc->GetParentField()->GetSkipFieldDef()) continue;
      const TFieldType type = GetFieldType(desc);
      if (type == ftUnknown) continue;
      TFieldDef* def = FieldDefs().Add(desc->GetName(), type, GetFielDefSize(type, desc),
                                       desc->GetRequired() && required_fields_);
      def->SetFieldNo(i + 1);
      TFieldAttributes attributes = def->Attributes();
      if (desc->GetReadOnly()) attributes.Include(faReadonly);
      if (desc->GetHidden()) attributes.Include(faHiddenCol);
      if (desc->GetFixed()) attributes.Include(faFixed);
      def->SetAttributes(attributes);
      if (type == ftInteger || type == ftFloat) def->SetPrecision(desc->GetLength());
      if (type == ftBCD || type == ftFMTBcd) {
        def->SetPrecision(desc->GetLength());
        def->SetSize(desc->GetScale());
      }
      if (type == ftADT || type == ftArray) {
        int next_field_no = i + 2;
        CreateChildDefs(def, desc->GetObjectType(), next_field_no);
      }
    }
  } catch (...) {
    FieldDefs().EndUpdate();
    throw;
  }
  FieldDefs().EndUpdate();
  FieldDefs().SetUpdated(true);
  field_def_names_.clear();
  for (int i = 0; i < descs.Count(); ++i) field_def_names_.push_back(descs.GetItems(i)->GetName());
}

// Child definitions follow the record set's child descriptors (attribute by
// attribute, element by element, depth first), so they take the same numbers.
void TMemDataSet::CreateChildDefs(TFieldDef* parent, TObjectType* type, int& next_field_no) {
  if (!type) return;
  const bool array = type->GetDataType() == dtArray;
  const int items = !array || SparseArrays() ? 1 : std::min(type->GetSize(), MaxArrayItem);
  for (int a = 0; a < type->GetAttributeCount(); ++a) {
    TAttribute* attribute = type->GetAttributes(a);
    for (int item = 0; item < items; ++item) {
      const TFieldType child_type = GetFieldType(attribute->GetDataType());
      const std::string base = array ? GetObjectFieldDefName(parent, item, type) : attribute->GetName();
      std::string name = base;
      for (int n = 1; FieldDefs().FindFullName(parent->FullName() + "." + name); ++n) {
        name = base + "_" + std::to_string(n);
      }
      TFieldDef* child = parent->ChildDefs().Add(name, child_type, child_type == ftString ? attribute->GetLength() : 0);
      child->SetFieldNo(next_field_no++);
      if (parent->Attributes().Contains(faReadonly)) {
        TFieldAttributes attributes = child->Attributes();
        child->SetAttributes(attributes.Include(faReadonly));
      }
      if (child_type == ftADT || child_type == ftArray) CreateChildDefs(child, attribute->GetObjectType(), next_field_no);
    }
  }
}

void TMemDataSet::SetNumberRange(TFieldDef* def) {
  const bool integer = def->DataType() == ftInteger;
  if (!integer && def->DataType() != ftFloat) return;
  TField* field = FindField(def->Name());
  if (!field) return;
  CheckFieldCompatibility(field, def);
  TFieldDesc* desc = record_set_->FieldByName(def->Name());
  const int length = desc->GetLength();
  if (integer) {
    auto* number = dynamic_cast<TIntegerField*>(field);
    DAC_ASSERT(number, "Assertion failure");
    // Ten digits and more pass the field's limits: the widest range it holds.
    const double limit = std::min(std::pow(10.0, length) - 1, double{std::numeric_limits<int32_t>::max()});
    number->SetMaxValue(static_cast<int32_t>(limit));
    number->SetMinValue(-static_cast<int32_t>(limit));
    return;
  }
  if (length < 1 || length > 15) return;
  auto* number = dynamic_cast<TFloatField*>(field);
  DAC_ASSERT(number, "Assertion failure");
  number->SetPrecision(length);
  const int scale = desc->GetScale();
  const double max = std::pow(10.0, length - scale) - std::pow(10.0, -scale);
  number->SetMaxValue(max);
  number->SetMinValue(-max);
}

void TMemDataSet::CheckFieldCompatibility(TField* field, TFieldDef* def) {
  if (field->DataType() < kFieldTypeCount && def->DataType() < kFieldTypeCount) {
    TDataSet::CheckFieldCompatibility(field, def);
    return;
  }
  if (field->DataType() == def->DataType()) return;
  DatabaseErrorFmt(nullptr, "Type mismatch for field '%s', expecting: %s actual: %s", field->DisplayName().c_str(),
                   FieldTypeName(field->DataType()).c_str(), FieldTypeName(def->DataType()).c_str());
}

// ---- opening and closing ----

void TMemDataSet::OpenCursor(bool info_query) {
  TDataSet::OpenCursor(info_query);
  if (info_query) return;
  TRecordBuffer old = std::exchange(old_rec_buf_, nullptr);
  if (old) FreeRecordBuffer(old);
  old_rec_buf_ = AllocRecordBuffer();
}

void TMemDataSet::InternalOpen() {
  CheckRecordSet();
  record_set_->Open();
  // The layout first: calculating fields below reads record info.
  rec_info_ofs_ = record_set_->GetRecordSize() + (cache_calc_fields_ ? 0 : record_set_->GetCalcRecordSize());
  bookmark_ofs_ = rec_info_ofs_ + 7;
  rec_buf_size_ = bookmark_ofs_ + static_cast<int32_t>(sizeof(TRecBookmark));
  CreateFieldDefs();
  if (DefaultFields()) {
    CreateFields();
  } else {
    for (int i = 0; i < FieldDefs().Count(); ++i) {
      TFieldDef* def = FieldDefs().Items(i);
      if (def->DataType() != ftString) continue;
      TField* field = FindField(def->Name());
      if (!field || field->FieldKind() != fkData) continue;
      CheckFieldCompatibility(field, def);
      field->SetSize(def->Size());
    }
  }
  if (number_range_) {
    for (int i = 0; i < FieldDefs().Count(); ++i) SetNumberRange(FieldDefs().Items(i));
  }
  BindFields(true);
  TFieldDescs& descs = record_set_->GetFieldDescs();
  TMemData* data = MemData();
  if (data && descs.Count() > 0 && descs.GetItems(descs.Count() - 1)->GetFieldDescKind() == fdkCached) {
    data->UpdateCachedBuffer(nullptr, nullptr);
  }
  if (ObjectView()) CopyObjectTypeNames(Fields());
  SortRecordSet();
  SetBookmarkSize(static_cast<int>(sizeof(TRecBookmark)));
  in_cache_processing_ = false;
  in_inserting_ = in_editing_ = false;
  if (Filtered()) {
    ActivateFilters();
    record_set_->FilterUpdated();
  }
}

void TMemDataSet::CopyObjectTypeNames(TFields& fields) {
  for (int i = 0; i < fields.Count(); ++i) {
    auto* object = dynamic_cast<TObjectField*>(fields.Fields(i));
    if (!object) continue;
    TFieldDesc* desc = GetFieldDesc(object);
    if (desc && desc->GetObjectType()) object->SetObjectType(desc->GetObjectType()->GetName());
    // With sparse arrays an array of objects holds one object field: its fields carry on.
    TFields* children = &object->Fields();
    if (SparseArrays() && object->DataType() == ftArray && children->Count() > 0) {
      if (auto* first = dynamic_cast<TObjectField*>(children->Fields(0))) children = &first->Fields();
    }
    CopyObjectTypeNames(*children);
  }
}

void TMemDataSet::SortRecordSet() {
  TMemData* data = MemData();
  if (data && !data->GetSortColumns().empty()) data->SortItems();
}

void TMemDataSet::CloseCursor() {
  TRecordBuffer active = ActiveBuffer();
  if (active && record_set_ && record_set_->GetHasComplexFields() && (in_inserting_ || in_editing_)) {
    if (in_inserting_) {
      FreeRefComplexFields(active, true);
    } else {
      record_set_->FreeComplexFields(active, false);
    }
  }
  in_inserting_ = in_editing_ = false;
  ClearDeferredPost();
  DetachBlobStreams(nullptr);
  if (old_rec_buf_) FreeRecordBuffer(old_rec_buf_);
  TDataSet::CloseCursor();
}

void TMemDataSet::InternalClose() {
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  calc_fields_mapping_.clear();
  // An open that failed before a record set was bound closes too.
  if (record_set_) record_set_->Close();
}

bool TMemDataSet::IsCursorOpen() const { return record_set_ && record_set_->GetActive(); }

void TMemDataSet::InternalRefresh() {
  FreeRefBuffers();
  DetachBlobStreams(nullptr);
  DataReopen();
  SortRecordSet();
}

void TMemDataSet::DoAfterOpen() {
  TDataSet::DoAfterOpen();
  if (SendDataSetChangeEventAfterOpen) DataEvent(deDataSetChange, 0);
  for (TDataSet* nested : NestedDataSets()) {
    if (nested->GetActive()) nested->DataEvent(deParentScroll, 0);
  }
}

}  // namespace dac
