#include "dac/store/runtime/shared_object.h"

#include <limits>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/runtime/buffer_routines.h"

namespace dac {

DAC_DEFINE_CLASS(TSharedObject, TObject, ::dac::TMetaClassOf<TSharedObject>)
DAC_DEFINE_CLASS(TVariantObject, TSharedObject, ::dac::TMetaClassOf<TVariantObject>)

void TSharedObject::AddRef() {
  DAC_ASSERT(ref_count_ < std::numeric_limits<int32_t>::max(), ClassName() + ".AddRef RefCount overflow");
  ++ref_count_;
}

void TSharedObject::Free() {
  DAC_ASSERT(ref_count_ >= 1, ClassName() + ".Free RefCount = " + std::to_string(ref_count_));
  if (ref_count_ == 1) {
    if (has_gc_handle_) FreeGCHandle(this);
    delete this;
    return;
  }
  --ref_count_;
}

void TSharedObject::CheckValid() const {
  if (ref_count_ == 0) throw Exception("Invalid SharedObject");
}

void* TSharedObject::GetGCHandle() {
  has_gc_handle_ = true;
  return AllocGCHandle(this);
}

}  // namespace dac
