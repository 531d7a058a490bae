#include "dac/store/record/object_type.h"

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/data_types.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TAttribute, TObject, ::dac::TMetaClass)
DAC_DEFINE_CLASS(TObjectType, TSharedObject, ::dac::TMetaClassOf<TObjectType>)

int32_t MaxArrayItem = 100;

TAttribute::TAttribute(TObjectType* owner) : owner_(owner) {}

TAttribute::~TAttribute() { ReleaseObjectType(); }

void TAttribute::ReleaseObjectType() {
  if (holds_type_reference_) object_type_->Free();
  object_type_ = nullptr;
  holds_type_reference_ = false;
}

void TAttribute::SetObjectType(TObjectType* value) {
  if (value == object_type_) return;
  ReleaseObjectType();
  object_type_ = value;
  if (value && !(owner_ && value->GetName() == owner_->GetName())) {
    value->AddRef();
    holds_type_reference_ = true;
  }
}

TObjectType::TObjectType() = default;

TObjectType::~TObjectType() { ClearAttributes(); }

TAttribute* TObjectType::AddAttribute(std::unique_ptr<TAttribute> attribute) {
  DAC_ASSERT(attribute && attribute->GetOwner() == this, "Attribute of another object type");
  attributes_.push_back(std::move(attribute));
  return attributes_.back().get();
}

void TObjectType::ClearAttributes() {
  // An attribute may hold the last reference on another type; free them one by one.
  while (!attributes_.empty()) {
    std::unique_ptr<TAttribute> last = std::move(attributes_.back());
    attributes_.pop_back();
  }
}

TAttribute* TObjectType::FindAttribute(const std::string& name) const {
  const std::string path = plat::AsciiUpperCase(name);
  const TObjectType* current = this;
  size_t at = 0;
  for (;;) {
    while (at < path.size() && static_cast<unsigned char>(path[at]) < 33) ++at;
    std::string step;
    bool by_point = false;
    if (at < path.size() && path[at] == '[') {
      const size_t close = path.find(']', at);
      if (close == std::string::npos) return nullptr;
      step = "ELEMENT";
      at = close + 1;
      if (at < path.size() && path[at] == '.') {
        ++at;
        by_point = true;
      }
    } else {
      const size_t end = path.find_first_of(".[", at);
      if (end == std::string::npos) {
        step = path.substr(at);
        at = path.size();
      } else {
        step = path.substr(at, end - at);
        at = end;
        if (path[end] == '.') {
          ++at;
          by_point = true;
        }
      }
    }
    if (!current) return nullptr;
    TAttribute* found = nullptr;
    for (int i = 0; i < current->GetAttributeCount() && !found; ++i) {
      TAttribute* attribute = current->GetAttributes(i);
      if (plat::AsciiUpperCase(attribute->GetName()) == step) found = attribute;
    }
    if (!found) return nullptr;
    if (by_point && !IsStructuredDataType(found->GetDataType())) return nullptr;
    current = found->GetObjectType();
    if (by_point) continue;
    const bool index_follows = at < path.size() && path[at] == '[';
    if (!index_follows) return found;
  }
}

TAttribute* TObjectType::AttributeByName(const std::string& name) const {
  TAttribute* attribute = FindAttribute(name);
  if (!attribute) throw Exception(Format("Attribute %s not found", name.c_str()));
  return attribute;
}

}  // namespace dac
