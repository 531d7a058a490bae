#include "dac/store/runtime/marshal.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

static_assert(std::endian::native == std::endian::little, "the byte routines assume a little-endian host");

namespace {

// Offsets may be negative (headers in front of a block), so the address is formed first.
template <typename T>
T Load(const void* address, ptrdiff_t offset) {
  return LoadAt<T>(static_cast<const uint8_t*>(address) + offset);
}

template <typename T>
void Store(void* address, ptrdiff_t offset, T value) {
  StoreAt(static_cast<uint8_t*>(address) + offset, 0, value);
}

void CheckRange(size_t array_size, int start, int length) {
  if (start < 0 || length < 0 || static_cast<size_t>(start) + static_cast<size_t>(length) > array_size)
    throw ArgumentException("Array range out of bounds");
}

}  // namespace

void* Marshal::AllocHGlobal(size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void* Marshal::ReallocHGlobal(void* address, size_t size) {
  void* p = std::realloc(address, size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void Marshal::FreeHGlobal(void* address) { std::free(address); }

uint8_t Marshal::ReadByte(const void* address, ptrdiff_t offset) { return Load<uint8_t>(address, offset); }
int16_t Marshal::ReadInt16(const void* address, ptrdiff_t offset) { return Load<int16_t>(address, offset); }
int32_t Marshal::ReadInt32(const void* address, ptrdiff_t offset) { return Load<int32_t>(address, offset); }
int64_t Marshal::ReadInt64(const void* address, ptrdiff_t offset) { return Load<int64_t>(address, offset); }
void* Marshal::ReadIntPtr(const void* address, ptrdiff_t offset) { return Load<void*>(address, offset); }

void Marshal::WriteByte(void* address, ptrdiff_t offset, uint8_t value) { Store(address, offset, value); }
void Marshal::WriteInt16(void* address, ptrdiff_t offset, int16_t value) { Store(address, offset, value); }
void Marshal::WriteInt32(void* address, ptrdiff_t offset, int32_t value) { Store(address, offset, value); }
void Marshal::WriteInt64(void* address, double value) { Store(address, 0, value); }
void Marshal::WriteInt64(void* address, ptrdiff_t offset, int64_t value) { Store(address, offset, value); }
void Marshal::WriteIntPtr(void* address, ptrdiff_t offset, void* value) { Store(address, offset, value); }

std::string Marshal::PtrToStringAnsi(const void* address, int length) {
  if (!address) return std::string();
  const char* text = static_cast<const char*>(address);
  return length >= 1 ? std::string(text, static_cast<size_t>(length)) : std::string(text);
}

WideString Marshal::PtrToStringUni(const void* address, int length) {
  if (!address) return WideString();
  const size_t units = length >= 1 ? static_cast<size_t>(length) : WideLengthAt(address);
  WideString out(units, u'\0');
  std::memcpy(out.data(), address, units * 2);
  return out;
}

void Marshal::Copy(const TBytes& source, int start_index, void* dest, int length) {
  CheckRange(source.size(), start_index, length);
  if (length > 0) std::memcpy(dest, source.data() + start_index, static_cast<size_t>(length));
}

void Marshal::Copy(const void* source, TBytes& dest, int start_index, int length) {
  CheckRange(dest.size(), start_index, length);
  if (length > 0) std::memcpy(dest.data() + start_index, source, static_cast<size_t>(length));
}

IUnknown* Marshal::GetIUnknownForObject(TObject* object) {
  IUnknown* unknown = dynamic_cast<IUnknown*>(object);
  if (unknown) unknown->AddRef();
  return unknown;
}

}  // namespace dac
