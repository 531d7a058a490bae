// Making an object through a class reference that must name T or a class
// derived from it.
#pragma once

#include <memory>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/meta_class.h"

namespace dac {

// A class of another tree is an assertion failure.
template <typename T>
std::unique_ptr<T> NewInstance(const TMetaClass& cls) {
  DAC_ASSERT(cls.InheritsFrom(T::ClassInfo()), cls.ClassName() + " is not a " + T::ClassInfo().ClassName());
  return std::unique_ptr<T>(static_cast<T*>(cls.Create()));
}

}  // namespace dac
