#include "dac/framework/data/field_defs.h"

#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/update_pair.h"
#include "dac/framework/data/dataset_base.h"
#include "dac/framework/data/field_classes.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/object_fields.h"
#include "dac/framework/data/string_fields.h"

namespace dac {

DAC_DEFINE_CLASS(TFieldDef, TNamedItem, ::dac::TMetaClassOf<TFieldDef>)
DAC_DEFINE_CLASS(TFieldDefs, TDefCollection, ::dac::TMetaClass)

TFieldDef::TFieldDef() = default;
TFieldDef::~TFieldDef() = default;

void TFieldDef::SetDataType(TFieldType type) {
  data_type_ = type;
  Changed(false);
}

void TFieldDef::SetSize(int size) {
  size_ = size;
  Changed(false);
}

void TFieldDef::SetPrecision(int precision) {
  precision_ = precision;
  Changed(false);
}

void TFieldDef::SetAttributes(TFieldAttributes attributes) {
  attributes_ = attributes;
  Changed(false);
}

void TFieldDef::SetRequired(bool value) {
  TFieldAttributes attributes = attributes_;
  SetAttributes(value ? attributes.Include(faRequired) : attributes.Exclude(faRequired));
}

TFieldDefs& TFieldDef::ChildDefs() {
  if (!child_defs_) child_defs_ = std::make_unique<TFieldDefs>(this);
  return *child_defs_;
}

bool TFieldDef::HasChildDefs() const { return child_defs_ && child_defs_->Count() > 0; }

TFieldDef* TFieldDef::ParentDef() const {
  const auto* defs = dynamic_cast<const TFieldDefs*>(Collection());
  return defs ? defs->ParentDef() : nullptr;
}

std::string TFieldDef::FullName() const {
  const TFieldDef* parent = ParentDef();
  return parent ? parent->FullName() + "." + Name() : Name();
}

TDataSetBase* TFieldDef::DataSet() const {
  const auto* defs = dynamic_cast<const TFieldDefs*>(Collection());
  return defs ? defs->DataSet() : nullptr;
}

const TComponentClass* TFieldDef::FieldClass() const {
  const TDataSetBase* dataset = DataSet();
  return dataset ? dataset->GetFieldClass(data_type_) : DefaultFieldClass(data_type_);
}

TField* TFieldDef::CreateField(TComponent* owner, TObjectField* parent, const std::string& field_name,
                               bool create_children) {
  const TComponentClass* field_class = FieldClass();
  if (!field_class) DatabaseErrorFmt(DataSet(), "Field '%s' is of an unsupported type", Name().c_str());
  auto* field = static_cast<TField*>(field_class->Create(owner));
  try {
    field->SetFieldType(data_type_);
    field->SetSize(size_);
    field->SetFieldName(field_name.empty() ? Name() : field_name);
    field->SetFieldNo(field_no_);
    field->SetRequired(attributes_.Contains(faRequired));
    field->SetReadOnly(attributes_.Contains(faReadonly));
    if (attributes_.Contains(faHiddenCol)) field->SetVisible(false);
    // Wide text has no fixed-length type: its blanks are the record store's to trim.
    if (auto* text = dynamic_cast<TStringField*>(field);
        text && !dynamic_cast<TWideStringField*>(field) && attributes_.Contains(faFixed)) {
      text->SetFixedChar(true);
    }
    if (auto* bcd = dynamic_cast<TBCDField*>(field)) bcd->SetPrecision(precision_);
    if (auto* fmt_bcd = dynamic_cast<TFMTBCDField*>(field)) fmt_bcd->SetPrecision(precision_);
    if (parent) {
      field->SetParentField(parent);
    } else {
      field->SetDataSet(DataSet());
    }
    auto* object = dynamic_cast<TObjectField*>(field);
    if (create_children && object && HasChildDefs()) {
      for (int i = 0; i < child_defs_->Count(); ++i) child_defs_->Items(i)->CreateField(owner, object);
    }
  } catch (...) {
    field->Free();
    throw;
  }
  return field;
}

void TFieldDef::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFieldDef*>(source);
  if (!other) {
    TNamedItem::Assign(source);
    return;
  }
  if (other == this) return;
  SetName(other->Name());
  data_type_ = other->data_type_;
  size_ = other->size_;
  precision_ = other->precision_;
  attributes_ = other->attributes_;
  field_no_ = other->field_no_;
  if (other->HasChildDefs()) {
    ChildDefs().Assign(other->child_defs_.get());
  } else if (child_defs_) {
    child_defs_->Clear();
  }
  Changed(false);
}

TFieldDefs::TFieldDefs(TDataSetBase* dataset) : TDefCollection(TFieldDef::ClassInfo(), dataset, dataset) {}

TFieldDefs::TFieldDefs(TFieldDef* parent) : TDefCollection(TFieldDef::ClassInfo(), parent, nullptr), parent_(parent) {}

TDataSetBase* TFieldDefs::DataSet() const { return parent_ ? parent_->DataSet() : TDefCollection::DataSet(); }

TFieldDef* TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  if (name.empty()) DatabaseError("Field name missing", DataSet());
  CheckName(name);
  TFieldDef* def = nullptr;
  WithinUpdate(*this, [&] {
    const int field_no = Count() + 1;
    def = AddFieldDef();
    def->SetName(name);
    def->SetDataType(type);
    def->SetSize(size);
    def->SetRequired(required);
    def->SetFieldNo(field_no);
  });
  return def;
}

TFieldDef* TFieldDefs::Find(const std::string& name) const {
  TFieldDef* def = FindFullName(name);
  if (!def) DatabaseErrorFmt(DataSet(), "Field %s not found", name.c_str());
  return def;
}

TFieldDef* TFieldDefs::FindFullName(const std::string& name) const {
  if (auto* def = static_cast<TFieldDef*>(FindItem(name))) return def;
  // A name may hold points itself: try every split, the longest parent first.
  for (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0; dot = name.rfind('.', dot - 1)) {
    auto* parent = static_cast<TFieldDef*>(FindItem(name.substr(0, dot)));
    if (parent && parent->HasChildDefs()) {
      if (TFieldDef* child = parent->ChildDefs().FindFullName(name.substr(dot + 1))) return child;
    }
  }
  return nullptr;
}

void TFieldDefs::Update() {
  TDataSetBase* dataset = DataSet();
  if (!dataset) return;
  dataset->FieldDefs().SetUpdated(false);
  dataset->InitFieldDefs();
}

}  // namespace dac
