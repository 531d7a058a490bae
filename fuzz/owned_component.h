// A component made for one input and freed with it.
#pragma once

#include "dac/framework/classes/component.h"

namespace fuzz {

template <typename T>
class Owned {
 public:
  Owned() : component_(dac::MakeComponent<T>(nullptr)) {}
  ~Owned() { component_->Free(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  T& operator*() const { return *component_; }
  T* operator->() const { return component_; }

 private:
  T* component_;
};

}  // namespace fuzz
