#include "dac/framework/data/fields.h"

#include <algorithm>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/dataset_base.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/object_fields.h"
#include "platform/ascii.h"

namespace dac {

namespace {

TField* FindByFullName(const TFields& fields, const std::string& name) {
  for (int i = 0; i < fields.Count(); ++i) {
    TField* field = fields.Fields(i);
    if (plat::SameText(field->FullName(), name)) return field;
    if (auto* object = dynamic_cast<TObjectField*>(field)) {
      if (TField* child = FindByFullName(object->Fields(), name)) return child;
    }
  }
  return nullptr;
}

std::string Trim(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

}  // namespace

TDataSetBase* TFields::DataSet() const { return parent_ ? parent_->DataSet() : dataset_; }

int TFields::IndexOf(const TField* field) const {
  const auto it = std::find(fields_.begin(), fields_.end(), field);
  return it == fields_.end() ? -1 : static_cast<int>(it - fields_.begin());
}

TField* TFields::FindField(const std::string& name) const {
  for (TField* field : fields_) {
    if (plat::SameText(field->FieldName(), name)) return field;
  }
  return FindByFullName(*this, name);
}

TField* TFields::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (!field) DatabaseErrorFmt(DataSet(), "Field %s not found", name.c_str());
  return field;
}

TField* TFields::FieldByNumber(int field_no) const {
  for (TField* field : fields_) {
    if (field->FieldNo() == field_no) return field;
  }
  return nullptr;
}

std::vector<TField*> TFields::GetFieldList(const std::string& names) const {
  std::vector<TField*> list;
  for (size_t pos = 1; pos <= names.size();) list.push_back(FieldByName(ExtractFieldName(names, pos)));
  return list;
}

Variant TFields::GetValues(const std::string& names) const {
  return GetListValues(names, [this](const std::string& name) { return FieldByName(name); });
}

void TFields::SetValues(const std::string& names, const Variant& values) const {
  SetListValues(names, values, [this](const std::string& name) { return FieldByName(name); });
}

void TFields::CheckFieldName(const std::string& name, const TField* except) const {
  if (name.empty()) DatabaseError("Field name missing", DataSet());
  const TField* other = FindField(name);
  if (other && other != except) DatabaseErrorFmt(DataSet(), "Duplicate field name '%s'", name.c_str());
}

void TFields::Tally(const TField* field, int sign) {
  if (field->Required()) required_count_ += sign;
  if (!field->DefaultExpression().empty()) default_count_ += sign;
}

void TFields::Add(TField* field) {
  fields_.push_back(field);
  Tally(field, 1);
  field->dataset_ = parent_ ? nullptr : dataset_;
  field->parent_ = parent_;
  Changed();
}

void TFields::Remove(TField* field) {
  const auto it = std::find(fields_.begin(), fields_.end(), field);
  if (it == fields_.end()) return;
  fields_.erase(it);
  Tally(field, -1);
  field->dataset_ = nullptr;
  field->parent_ = nullptr;
  Changed();
}

void TFields::SetFieldIndex(TField* field, int index) {
  const int current = IndexOf(field);
  if (current < 0) return;
  index = std::clamp(index, 0, Count() - 1);
  if (index == current) return;
  fields_.erase(fields_.begin() + current);
  fields_.insert(fields_.begin() + index, field);
  Changed();
}

void TFields::Clear() {
  while (!fields_.empty()) {
    TField* field = fields_.back();
    field->Free();
    // A field already inside its own Free stays listed: let it go here.
    if (!fields_.empty() && fields_.back() == field) Remove(field);
  }
}

void TFields::Detach() {
  for (TField* field : fields_) {
    field->dataset_ = nullptr;
    field->parent_ = nullptr;
  }
  fields_.clear();
  required_count_ = 0;
  default_count_ = 0;
}

void TFields::Changed() {
  TDataSetBase* dataset = DataSet();
  if (dataset && !dataset->ComponentState().Contains(csDestroying)) dataset->DataEvent(deFieldListChange, 0);
}

std::string ExtractFieldName(const std::string& names, size_t& pos) {
  if (pos < 1) pos = 1;
  size_t i = pos;
  while (i <= names.size() && names[i - 1] != ';') ++i;
  std::string name = pos <= names.size() ? Trim(names.substr(pos - 1, i - pos)) : std::string();
  if (i <= names.size()) ++i;
  pos = i;
  return name;
}

}  // namespace dac
