#include "dac/framework/classes/interfaced_object.h"

namespace dac {

DAC_DEFINE_CLASS(TInterfacedObject, TObject, ::dac::TMetaClass)

int32_t TInterfacedObject::Release() {
  const int32_t left = --ref_count_;
  if (left == 0) delete this;
  return left;
}

}  // namespace dac
