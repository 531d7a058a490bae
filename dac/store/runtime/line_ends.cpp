#include "dac/store/runtime/line_ends.h"

#include <cstdint>

#include "dac/store/runtime/unaligned.h"

namespace dac {

namespace {

template <typename Char>
int AddCR(const void* source, void* dest, int dest_len, int count) {
  int written = 0;
  Char previous = 0;
  for (int i = 0; i < count; ++i) {
    const Char c = LoadAt<Char>(source, static_cast<size_t>(i) * sizeof(Char));
    if (c == 0) break;
    const bool add_cr = c == '\n' && previous != '\r';
    const int needed = add_cr ? 2 : 1;
    if (dest && written + needed > dest_len) break;
    if (dest && add_cr) StoreAt<Char>(dest, static_cast<size_t>(written) * sizeof(Char), '\r');
    written += needed - 1;
    if (dest) StoreAt<Char>(dest, static_cast<size_t>(written) * sizeof(Char), c);
    ++written;
    previous = c;
  }
  if (dest) StoreAt<Char>(dest, static_cast<size_t>(written) * sizeof(Char), 0);
  return written;
}

template <typename Char>
int RemoveCR(const void* source, void* dest, int dest_len, int count) {
  int written = 0;
  for (int i = 0; i < count && written < dest_len; ++i) {
    const Char c = LoadAt<Char>(source, static_cast<size_t>(i) * sizeof(Char));
    if (c == '\r' && i + 1 < count && LoadAt<Char>(source, static_cast<size_t>(i + 1) * sizeof(Char)) == '\n') {
      continue;  // the line feed of the pair follows
    }
    StoreAt<Char>(dest, static_cast<size_t>(written++) * sizeof(Char), c);
  }
  StoreAt<Char>(dest, static_cast<size_t>(written) * sizeof(Char), 0);
  return written;
}

}  // namespace

int AddCRString(const void* source, void* dest, int dest_len, int count) {
  return AddCR<char>(source, dest, dest_len, count);
}
int AddCRUnicode(const void* source, void* dest, int dest_len, int count) {
  return AddCR<char16_t>(source, dest, dest_len, count);
}
int AddCRStringLength(const void* source, int count) { return AddCR<char>(source, nullptr, 0, count); }
int AddCRUnicodeLength(const void* source, int count) { return AddCR<char16_t>(source, nullptr, 0, count); }

int RemoveCRString(const void* source, void* dest, int dest_len, int count) {
  return RemoveCR<char>(source, dest, dest_len, count);
}
int RemoveCRUnicode(const void* source, void* dest, int dest_len, int count) {
  return RemoveCR<char16_t>(source, dest, dest_len, count);
}

}  // namespace dac
