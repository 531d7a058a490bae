#include "dac/store/runtime/buffer_routines.h"

#include <algorithm>
#include <cstring>

#include "dac/framework/classes/exceptions.h"

namespace dac {

void CopyBuffer(const void* source, void* dest, size_t count) {
  if (count) std::memmove(dest, source, count);
}

void CopyBufferAnsi(const std::string& text, void* dest, size_t count) {
  if (count > text.size()) throw ArgumentException("CopyBufferAnsi: count beyond the string");
  if (count) std::memcpy(dest, text.data(), count);
}

void CopyBufferUni(const WideString& text, void* dest, size_t count) {
  if (count > text.size() * 2) throw ArgumentException("CopyBufferUni: count beyond the string");
  if (count) std::memcpy(dest, text.data(), count);
}

void FillChar(void* dest, size_t count, uint8_t value) {
  if (count) std::memset(dest, value, count);
}

void FillStr(std::string& text, size_t count, char c) { text.assign(count, c); }

void ArrayCopy(const TBytes& source, int source_index, TBytes& dest, int dest_index, int count) {
  auto in_range = [](size_t size, int index, int n) {
    return index >= 0 && n >= 0 && static_cast<size_t>(index) + static_cast<size_t>(n) <= size;
  };
  if (!in_range(source.size(), source_index, count) || !in_range(dest.size(), dest_index, count))
    throw ArgumentException("ArrayCopy range out of bounds");
  if (count) std::memmove(dest.data() + dest_index, source.data() + source_index, static_cast<size_t>(count));
}

void StrCopyW(char16_t* dest, const char16_t* source) {
  const size_t n = StrLenW(source);
  std::memmove(dest, source, (n + 1) * sizeof(char16_t));
}

void StrLCopyW(char16_t* dest, const char16_t* source, size_t max_length) {
  size_t i = 0;
  for (; i < max_length && source[i] != 0; ++i) dest[i] = source[i];
  dest[i] = 0;
}

size_t StrLenW(const char16_t* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

void StrTrim(char* text, int length) {
  size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == 0)) text[--n] = 0;
}

void StrTrimW(char16_t* text, int length) {
  size_t n = length < 0 ? StrLenW(text) : static_cast<size_t>(length);
  while (n > 0 && (text[n - 1] == u' ' || text[n - 1] == 0)) text[--n] = 0;
}

bool CompareGuid(const void* a, const void* b) { return std::memcmp(a, b, 16) == 0; }

uint32_t Reverse4(uint32_t value) { return __builtin_bswap32(value); }

void Reverse8(void* address) {
  uint8_t* bytes = static_cast<uint8_t*>(address);
  std::reverse(bytes, bytes + 8);
}

}  // namespace dac
