#include "dac/core/server/param_desc.h"

#include "dac/framework/classes/exceptions.h"
#include "dac/store/runtime/shared_object.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TParamDesc, TObject, TMetaClassOf<TParamDesc>)

void TParamDesc::SetValue(const Variant& value) {
  value_ = value;
  is_null_ = value.IsEmptyOrNull();
}

TSharedObject* TParamDesc::GetObject() const {
  if (value_.IsEmptyOrNull()) return nullptr;
  DAC_ASSERT(value_.Type() == varByRef, "Parameter value is not an object");
  return dynamic_cast<TSharedObject*>(value_.AsObject());
}

void TParamDesc::SetObject(TSharedObject* value) { value_ = Variant::FromObject(value); }

void TParamDesc::SetNull(bool value) {
  is_null_ = value;
  value_ = Variant::Null();
}

TParamDesc* TParamDescs::Items(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return items_[static_cast<size_t>(index)].get();
}

TParamDesc* TParamDescs::Add(std::unique_ptr<TParamDesc> param) {
  DAC_ASSERT(param != nullptr, "A parameter list holds no null descriptor");
  items_.push_back(std::move(param));
  return items_.back().get();
}

void TParamDescs::Delete(int index) {
  Items(index);
  items_.erase(items_.begin() + index);
}

TParamDesc* TParamDescs::FindParam(std::string_view name) const {
  for (const auto& param : items_)
    if (plat::SameText(param->GetName(), name)) return param.get();
  return nullptr;
}

TParamDesc* TParamDescs::ParamByName(std::string_view name) const {
  TParamDesc* param = FindParam(name);
  DAC_ASSERT(param != nullptr, "Parameter " + std::string(name) + " not found");
  return param;
}

}  // namespace dac
