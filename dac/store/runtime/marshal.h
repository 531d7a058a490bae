// Raw memory: heap blocks, little-endian reads and writes at an address plus
// an offset, strings from addresses, copies between byte arrays and memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "dac/framework/classes/interfaced_object.h"
#include "dac/framework/values/bytes.h"

namespace dac {

class Marshal {
 public:
  Marshal() = delete;

  // Out of memory is std::bad_alloc.
  static void* AllocHGlobal(size_t size);
  static void* ReallocHGlobal(void* address, size_t size);
  static void FreeHGlobal(void* address);
  static void FreeCoTaskMem(void*) {}

  static uint8_t ReadByte(const void* address, ptrdiff_t offset = 0);
  static int16_t ReadInt16(const void* address, ptrdiff_t offset = 0);
  static int32_t ReadInt32(const void* address, ptrdiff_t offset = 0);
  static int64_t ReadInt64(const void* address, ptrdiff_t offset = 0);
  static void* ReadIntPtr(const void* address, ptrdiff_t offset = 0);

  static void WriteByte(void* address, uint8_t value) { WriteByte(address, 0, value); }
  static void WriteByte(void* address, ptrdiff_t offset, uint8_t value);
  static void WriteInt16(void* address, int16_t value) { WriteInt16(address, 0, value); }
  static void WriteInt16(void* address, ptrdiff_t offset, int16_t value);
  static void WriteInt32(void* address, int32_t value) { WriteInt32(address, 0, value); }
  static void WriteInt32(void* address, ptrdiff_t offset, int32_t value);
  static void WriteInt64(void* address, int64_t value) { WriteInt64(address, 0, value); }
  // The double's 8 bytes.
  static void WriteInt64(void* address, double value);
  static void WriteInt64(void* address, ptrdiff_t offset, int64_t value);
  static void WriteIntPtr(void* address, void* value) { WriteIntPtr(address, 0, value); }
  static void WriteIntPtr(void* address, ptrdiff_t offset, void* value);

  // length >= 1: exactly length bytes (or 16-bit characters); else the
  // zero-terminated text. A null address gives an empty string.
  static std::string PtrToStringAnsi(const void* address, int length = 0);
  static WideString PtrToStringUni(const void* address, int length = 0);
  // The string's own characters, no copy: the string must outlive the use.
  static const char* StringToHGlobalAnsi(const std::string& text) { return text.c_str(); }
  static const char16_t* StringToHGlobalUni(const WideString& text) { return text.c_str(); }

  // length bytes from the array at start_index to the address, and back.
  // ArgumentException when the range leaves the array.
  static void Copy(const TBytes& source, int start_index, void* dest, int length);
  static void Copy(const void* source, TBytes& dest, int start_index, int length);

  // The object's interface with one reference added for the caller; null
  // for a null object or one without the interface.
  static IUnknown* GetIUnknownForObject(TObject* object);
  static int32_t AddRef(IUnknown* unknown) { return unknown->AddRef(); }
  static int32_t Release(IUnknown* unknown) { return unknown->Release(); }
};

}  // namespace dac
