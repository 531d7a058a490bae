// Typed reads and writes at any byte address: record buffers place values
// at arbitrary offsets, so no position in them is cast to a typed pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace dac {

template <typename T>
T LoadAt(const void* base, size_t offset = 0) {
  static_assert(std::is_trivially_copyable_v<T>);
  T value;
  std::memcpy(&value, static_cast<const uint8_t*>(base) + offset, sizeof value);
  return value;
}

template <typename T>
void StoreAt(void* base, size_t offset, T value) {
  static_assert(std::is_trivially_copyable_v<T>);
  std::memcpy(static_cast<uint8_t*>(base) + offset, &value, sizeof value);
}

// UTF-16 units before the first zero unit, looking at no more than max_units.
inline size_t WideLengthAt(const void* text, size_t max_units = SIZE_MAX) {
  size_t n = 0;
  while (n < max_units && LoadAt<char16_t>(text, n * 2) != 0) ++n;
  return n;
}

}  // namespace dac
