#include "dac/store/record/field_desc.h"

#include <algorithm>

#include "dac/framework/classes/exceptions.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TFieldDesc, TObject, ::dac::TMetaClassOf<TFieldDesc>)

TFieldDesc::~TFieldDesc() { FreeShared(object_type_); }

void TFieldDesc::SetObjectType(TObjectType* value) {
  if (value == object_type_) return;
  FreeShared(object_type_);
  object_type_ = value;
  if (value) value->AddRef();
}

void TFieldDesc::Assign(const TFieldDesc& source) {
  name_ = source.name_;
  full_name_ = source.full_name_;
  data_type_ = source.data_type_;
  length_ = source.length_;
  scale_ = source.scale_;
  field_no_ = source.field_no_;
  size_ = source.size_;
  offset_ = source.offset_;
  required_ = source.required_;
}

TFieldDesc* TFieldDescs::Add(std::unique_ptr<TFieldDesc> desc) {
  DAC_ASSERT(desc != nullptr, "Field descriptor is nil");
  items_.push_back(std::move(desc));
  return items_.back().get();
}

int TFieldDescs::IndexOf(const TFieldDesc* desc) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == desc) return static_cast<int>(i);
  }
  return -1;
}

void TFieldDescs::Clear() {
  for (auto& item : items_) item.reset();
  items_.clear();
}

TFieldDesc* TFieldDescs::FindField(std::string_view name) const {
  if (name.find_first_of(".[") != std::string_view::npos) {
    for (const auto& desc : items_) {
      if (plat::SameText(desc->GetFullName(), name)) return desc.get();
    }
    return nullptr;
  }
  for (const auto& desc : items_) {
    if (!desc->HasParent() && plat::SameText(desc->GetName(), name)) return desc.get();
  }
  for (const auto& desc : items_) {
    if (desc->HasParent() && plat::SameText(desc->GetName(), name)) return desc.get();
  }
  return nullptr;
}

TFieldDesc* TFieldDescs::FieldByName(std::string_view name) const {
  TFieldDesc* desc = FindField(name);
  if (!desc) throw Exception("Field " + Excerpt(name) + " not found");
  return desc;
}

namespace {

// Later descriptors (in sorted order) that bear a name just given away are
// renamed with a counter of their own, and so on down the line.
void RenameLaterEqual(std::vector<TFieldDesc*>& sorted, size_t from, const std::string& name) {
  int counter = 1;
  for (size_t j = from + 1; j < sorted.size(); ++j) {
    if (!plat::SameText(sorted[j]->GetName(), name)) continue;
    const std::string renamed = sorted[j]->GetName() + "_" + std::to_string(counter++);
    sorted[j]->SetName(renamed);
    RenameLaterEqual(sorted, j, renamed);
  }
}

}  // namespace

void TFieldDescs::MakeUniqueNames() {
  std::vector<TFieldDesc*> sorted;
  for (const auto& desc : items_) {
    if (!desc->HasParent()) sorted.push_back(desc.get());
  }
  std::stable_sort(sorted.begin(), sorted.end(), [](const TFieldDesc* a, const TFieldDesc* b) {
    const int order = plat::CompareText(a->GetName(), b->GetName());
    return order != 0 ? order < 0 : a->GetFieldNo() < b->GetFieldNo();
  });
  for (TFieldDesc* desc : sorted) desc->SetDuplicate(false);
  for (size_t i = 1; i < sorted.size(); ++i) {
    if (plat::SameText(sorted[i - 1]->GetName(), sorted[i]->GetName())) {
      sorted[i - 1]->SetDuplicate(true);
      sorted[i]->SetDuplicate(true);
    }
  }
  // counter numbers the members of the current group of equal names, whose
  // first member kept the name `base`.
  int counter = 0;
  std::string base;
  for (size_t i = 0; i < sorted.size(); ++i) {
    TFieldDesc* desc = sorted[i];
    if (!desc->GetDuplicate() && !desc->GetName().empty()) {
      counter = 0;
      continue;
    }
    if (counter > 0 && !plat::SameText(base, desc->GetName())) counter = 0;
    if (counter == 0 && !desc->GetName().empty()) {
      base = desc->GetName();
      counter = 1;
      continue;
    }
    if (counter == 0) base.clear();
    const std::string renamed = desc->GetName() + "_" + std::to_string(counter++);
    desc->SetName(renamed);
    RenameLaterEqual(sorted, i, renamed);
  }
}

}  // namespace dac
