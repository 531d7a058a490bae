#include "dac/store/runtime/utf8_decode.h"

#include <cstdint>
#include <cstring>

#include "dac/framework/classes/exceptions.h"

namespace dac {

namespace {

constexpr const char* kIncomplete = "Utf8ToWs: Incomplete multibyte char";
constexpr const char* kMalformedOrRange = "Utf8ToWs: Malformed trail byte or out of range char";
constexpr const char* kMalformed = "Utf8ToWs: Malformed trail byte";

void PutUnit(uint8_t* dest, int at, char16_t unit) { std::memcpy(dest + at, &unit, sizeof unit); }

}  // namespace

int Utf8ToWs(void* dest, int dest_offset, int dest_bytes, const void* source, int source_offset, int source_bytes,
             bool add_null) {
  DAC_ASSERT(source != nullptr, "Utf8ToWs: Source is nil");
  DAC_ASSERT(dest != nullptr, "Utf8ToWs: Destination is nil");
  const uint8_t* in = static_cast<const uint8_t*>(source) + source_offset;
  uint8_t* out = static_cast<uint8_t*>(dest) + dest_offset;
  int read = 0;
  int written = 0;
  int last_size = 0;  // bytes of the last character written: 2, or 4 for a surrogate pair
  auto trail = [&](const char* failure) -> uint32_t {
    DAC_ASSERT(read < source_bytes, kIncomplete);
    const uint8_t b = in[read++];
    DAC_ASSERT((b & 0xC0) == 0x80, failure);
    return b & 0x3Fu;
  };
  while (read < source_bytes && dest_bytes - written >= 2) {
    const uint8_t lead = in[read];
    if (lead == 0) break;
    ++read;
    uint32_t code = 0;
    if (lead < 0x80) {
      code = lead;
    } else if (lead < 0xC0 || lead > 0xF4) {
      DAC_ASSERT(false, kMalformedOrRange);
    } else if (lead >= 0xF0) {
      code = (lead & 0x07u) << 18;
      code |= trail(kMalformedOrRange) << 12;
      code |= trail(kMalformed) << 6;
      code |= trail(kMalformed);
      DAC_ASSERT(code >= 0x10000 && code <= 0x10FFFF, kMalformedOrRange);
      if (dest_bytes - written < 4) break;  // both units must fit
      code -= 0x10000;
      PutUnit(out, written, static_cast<char16_t>(0xD800 + (code >> 10)));
      PutUnit(out, written + 2, static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
      written += 4;
      last_size = 4;
      continue;
    } else if (lead & 0x20) {
      code = (lead & 0x0Fu) << 12;
      code |= trail(kMalformedOrRange) << 6;
      code |= trail(kMalformed);
    } else {
      code = (lead & 0x1Fu) << 6;
      code |= trail(kMalformed);
    }
    PutUnit(out, written, static_cast<char16_t>(code));
    written += 2;
    last_size = 2;
  }
  if (add_null && dest_bytes >= 2) {
    // The zero replaces the last character (both units of a pair) when the room is full.
    if (dest_bytes - written < 2) written -= last_size;
    PutUnit(out, written, 0);
    written += 2;
  }
  return written;
}

}  // namespace dac
