#include "dac/mysql/client/transport/packet_inflater.h"

#include <immintrin.h>
#include <zlib.h>

#include <algorithm>

namespace dac {

namespace {

constexpr uint32_t kAdlerBase = 65521;
// The most bytes after which the sums must be reduced, lest b overflow 32 bits.
constexpr size_t kAdlerSpan = 5552;

uint32_t Adler32Plain(uint32_t adler, const uint8_t* bytes, size_t count) {
  uint32_t a = adler & 0xFFFF;
  uint32_t b = adler >> 16;
  while (count > 0) {
    size_t span = std::min(count, kAdlerSpan);
    count -= span;
    while (span-- > 0) {
      a += *bytes++;
      b += a;
    }
    a %= kAdlerBase;
    b %= kAdlerBase;
  }
  return (b << 16) | a;
}

__attribute__((target("avx2"))) uint64_t LaneSum(__m256i lanes) {
  const __m128i four = _mm_add_epi32(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
  const __m128i two = _mm_add_epi32(four, _mm_unpackhi_epi64(four, four));
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_cvtsi128_si32(two))) +
         static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(two, 1)));
}

// 32 bytes a step: their sum, each weighted by how many bytes of the step
// it precedes (32 for the first), and the sums of the steps before.
__attribute__((target("avx2"))) uint32_t Adler32Avx2(uint32_t adler, const uint8_t* bytes, size_t count) {
  uint64_t a = adler & 0xFFFF;
  uint64_t b = adler >> 16;
  const __m256i weights = _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                                           14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i zero = _mm256_setzero_si256();
  while (count >= 32) {
    const size_t steps = std::min(count, kAdlerSpan) / 32;
    count -= steps * 32;
    __m256i sums = zero;
    __m256i before = zero;
    __m256i weighted = zero;
    for (size_t i = 0; i < steps; ++i) {
      const __m256i step = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
      bytes += 32;
      before = _mm256_add_epi32(before, sums);
      sums = _mm256_add_epi32(sums, _mm256_sad_epu8(step, zero));
      weighted = _mm256_add_epi32(weighted, _mm256_madd_epi16(_mm256_maddubs_epi16(step, weights), ones));
    }
    b += 32 * steps * a + 32 * LaneSum(before) + LaneSum(weighted);
    a += LaneSum(sums);
    a %= kAdlerBase;
    b %= kAdlerBase;
  }
  return Adler32Plain(static_cast<uint32_t>((b << 16) | a), bytes, count);
}

using Adler32Routine = uint32_t (*)(uint32_t, const uint8_t*, size_t);

Adler32Routine ChosenAdler32() {
  static const Adler32Routine routine = __builtin_cpu_supports("avx2") ? Adler32Avx2 : Adler32Plain;
  return routine;
}

// CMF and FLG: deflate with a window of at most 32 KiB, the check bits
// right, no preset dictionary.
bool IsZlibHeader(uint8_t cmf, uint8_t flg) {
  return (cmf & 0x0F) == Z_DEFLATED && (cmf >> 4) <= 7 && ((cmf << 8) | flg) % 31 == 0 && !(flg & 0x20);
}

}  // namespace

uint32_t Adler32(uint32_t adler, const uint8_t* bytes, size_t count) { return ChosenAdler32()(adler, bytes, count); }

void PacketInflater::End::operator()(z_stream_s* stream) const {
  inflateEnd(stream);
  delete stream;
}

PacketInflater::PacketInflater() = default;
PacketInflater::~PacketInflater() = default;

bool PacketInflater::Inflate(const uint8_t* source, size_t source_length, uint8_t* output, size_t output_length) {
  constexpr size_t kHeader = 2;
  constexpr size_t kCheck = 4;
  if (source_length < kHeader + kCheck || !IsZlibHeader(source[0], source[1])) return false;
  if (source_length > UINT32_MAX || output_length > UINT32_MAX) return false;
  if (!stream_) {
    std::unique_ptr<z_stream_s, End> made(new z_stream_s{});
    // Raw deflate: the header is read above and the check value below.
    if (inflateInit2(made.get(), -MAX_WBITS) != Z_OK) {
      delete made.release();
      return false;
    }
    stream_ = std::move(made);
  } else if (inflateReset(stream_.get()) != Z_OK) {
    return false;
  }
  z_stream_s& z = *stream_;
  z.next_in = const_cast<uint8_t*>(source + kHeader);
  z.avail_in = static_cast<uInt>(source_length - kHeader);
  z.next_out = output;
  z.avail_out = static_cast<uInt>(output_length);
  if (inflate(&z, Z_FINISH) != Z_STREAM_END || z.avail_out != 0 || z.avail_in < kCheck) return false;
  const uint8_t* check = z.next_in;
  const uint32_t expected = (static_cast<uint32_t>(check[0]) << 24) | (static_cast<uint32_t>(check[1]) << 16) |
                            (static_cast<uint32_t>(check[2]) << 8) | check[3];
  return Adler32(1, output, output_length) == expected;
}

}  // namespace dac
