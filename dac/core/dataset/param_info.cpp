#include "dac/core/dataset/param_info.h"

#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TDAParamInfo, TCollectionItem, ::dac::TMetaClassOf<TDAParamInfo>)
DAC_DEFINE_CLASS(TDAParamsInfo, TCollection, ::dac::TMetaClass)

void TDAParamInfo::AssignTo(TPersistent* dest) const {
  auto* other = dynamic_cast<TDAParamInfo*>(dest);
  if (!other) return TCollectionItem::AssignTo(dest);
  other->field_ = field_;
  other->old_ = old_;
  other->param_index_ = param_index_;
}

TDAParamsInfo::TDAParamsInfo(const TMetaClass& item_class) : TCollection(item_class) {
  DAC_ASSERT(item_class.InheritsFrom(TDAParamInfo::ClassInfo()), "Parameter information class expected");
}

}  // namespace dac
