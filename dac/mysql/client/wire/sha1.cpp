#include "dac/mysql/client/wire/sha1.h"

#include <cstring>

#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TSHA1Managed, TObject, TMetaClassOf<TSHA1Managed>)

namespace {

inline uint32_t S(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// The twenty rounds of one stage, with its function and constant, as a loop
// of their own: no round asks which stage it is in.
template <typename Function>
inline void Rounds(int from, int to, const uint32_t* w, uint32_t k, Function f, uint32_t (&v)[5]) {
  uint32_t a = v[0], b = v[1], c = v[2], d = v[3], e = v[4];
  for (int t = from; t < to; ++t) {
    const uint32_t temp = S(a, 5) + f(b, c, d) + e + w[t] + k;
    e = d;
    d = c;
    c = S(b, 30);
    b = a;
    a = temp;
  }
  v[0] = a;
  v[1] = b;
  v[2] = c;
  v[3] = d;
  v[4] = e;
}

}  // namespace

void TSHA1Managed::DoCycle(const uint8_t* block) {
  uint32_t w[80];
  for (int t = 0; t < 16; ++t)
    w[t] = (static_cast<uint32_t>(block[4 * t]) << 24) | (static_cast<uint32_t>(block[4 * t + 1]) << 16) |
           (static_cast<uint32_t>(block[4 * t + 2]) << 8) | static_cast<uint32_t>(block[4 * t + 3]);
  for (int t = 16; t < 80; ++t) w[t] = S(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
  uint32_t v[5] = {state_[0], state_[1], state_[2], state_[3], state_[4]};
  Rounds(0, 20, w, 0x5A827999, [](uint32_t b, uint32_t c, uint32_t d) { return (b & c) | (~b & d); }, v);
  Rounds(20, 40, w, 0x6ED9EBA1, [](uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }, v);
  Rounds(40, 60, w, 0x8F1BBCDC, [](uint32_t b, uint32_t c, uint32_t d) { return (b & c) | (b & d) | (c & d); }, v);
  Rounds(60, 80, w, 0xCA62C1D6, [](uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }, v);
  for (int i = 0; i < 5; ++i) state_[i] += v[i];
}

TBytes TSHA1Managed::ComputeHash(const uint8_t* data, size_t count) {
  state_[0] = 0x67452301;
  state_[1] = 0xEFCDAB89;
  state_[2] = 0x98BADCFE;
  state_[3] = 0x10325476;
  state_[4] = 0xC3D2E1F0;
  size_t done = 0;
  for (; count - done >= 64; done += 64) DoCycle(data + done);
  // Padding: 0x80, zeros, then the bit length big-endian in the last 8 bytes.
  uint8_t tail[128] = {};
  const size_t rest = count - done;
  if (rest > 0) std::memcpy(tail, data + done, rest);
  tail[rest] = 0x80;
  const size_t tail_size = rest < 56 ? 64 : 128;
  const uint64_t bits = static_cast<uint64_t>(count) * 8;
  for (int i = 0; i < 8; ++i) tail[tail_size - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
  DoCycle(tail);
  if (tail_size == 128) DoCycle(tail + 64);
  TBytes digest(SHA1HashSize);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (24 - 8 * j));
  return digest;
}

TBytes TSHA1Managed::ComputeHash(const TBytes& bytes) { return ComputeHash(bytes.data(), bytes.size()); }

TBytes TSHA1Managed::ComputeHash(const TBytes& bytes, int offset, int count) {
  if (offset < 0 || count < 0 || static_cast<size_t>(offset) + static_cast<size_t>(count) > bytes.size())
    throw ArgumentException("Offset and count out of the array's bounds");
  return ComputeHash(bytes.data() + offset, static_cast<size_t>(count));
}

}  // namespace dac
