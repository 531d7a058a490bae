// Byte and zero-terminated string routines shared by the record store, the
// dataset and the data-access layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dac/framework/values/bytes.h"

namespace dac {

// count bytes; the ranges may overlap.
void CopyBuffer(const void* source, void* dest, size_t count);
// count bytes of the string's characters; ArgumentException when count exceeds its length.
void CopyBufferAnsi(const std::string& text, void* dest, size_t count);
void CopyBufferUni(const WideString& text, void* dest, size_t count);
void FillChar(void* dest, size_t count, uint8_t value);
// text becomes count copies of c.
void FillStr(std::string& text, size_t count, char c);
// count bytes between two arrays; ArgumentException when a range leaves its array.
void ArrayCopy(const TBytes& source, int source_index, TBytes& dest, int dest_index, int count);

// Zero-terminated 16-bit strings.
void StrCopyW(char16_t* dest, const char16_t* source);
// At most max_length characters, stopping at the terminator; always terminated.
void StrLCopyW(char16_t* dest, const char16_t* source, size_t max_length);
size_t StrLenW(const char16_t* text);
// From the end backwards, blanks and zero characters become zero until
// another character or the start; length -1 means the string's own length.
void StrTrim(char* text, int length);
void StrTrimW(char16_t* text, int length);

// The two 16-byte GUIDs are byte for byte equal.
bool CompareGuid(const void* a, const void* b);
uint32_t Reverse4(uint32_t value);
// Reverses the 8 bytes at address in place.
void Reverse8(void* address);

// Handle and ordinal shims: on this platform a handle is the address itself
// and a value lives where it is, so they hand back their argument.
inline void* AllocGCHandle(void* object, bool /*pinned*/ = false) { return object; }
inline void* GetGCHandleTarget(void* handle) { return handle; }
inline void* GetAddrOfPinnedObject(void* handle) { return handle; }
inline void FreeGCHandle(void* /*handle*/) {}
inline void FreeString(const void* /*address*/) {}
inline void FreeOrdinal(const void* /*address*/) {}
// Sets the string's length and returns its first character's address.
inline char* AllocString(std::string& text, size_t length) {
  text.resize(length);
  return text.data();
}
template <typename T>
T* AllocOrdinal(T& value) {
  return &value;
}
template <typename T>
T* OrdinalToPtr(T& value) {
  return &value;
}
template <typename T>
void PtrToOrdinal(const void* /*address*/, T& /*value*/) {}

}  // namespace dac
