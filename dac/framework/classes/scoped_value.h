// Gives a variable a value for one scope and puts the old value back when the
// scope ends, also when it raises.
#pragma once

#include <utility>

namespace dac {

template <typename T>
class TScopedValue {
 public:
  TScopedValue(T& variable, T value) : variable_(variable), saved_(std::exchange(variable, std::move(value))) {}
  ~TScopedValue() { variable_ = std::move(saved_); }
  TScopedValue(const TScopedValue&) = delete;
  TScopedValue& operator=(const TScopedValue&) = delete;

 private:
  T& variable_;
  T saved_;
};

}  // namespace dac
