// Little-endian conversions between values and byte arrays. Offsets into an
// array are checked: a value that would leave the array raises ArgumentException.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dac/framework/values/bytes.h"

namespace dac {

class BitConverter {
 public:
  BitConverter() = delete;

  static TBytes GetBytes(int16_t value);
  static TBytes GetBytes(int32_t value);
  static TBytes GetBytes(int64_t value);
  static TBytes GetBytes(float value);
  static TBytes GetBytes(double value);

  static int16_t ToInt16(const TBytes& bytes, int offset);
  static uint16_t ToUInt16(const TBytes& bytes, int offset);
  static int32_t ToInt32(const TBytes& bytes, int offset);
  static uint32_t ToUInt32(const TBytes& bytes, int offset);
  static int64_t ToInt64(const TBytes& bytes, int offset);
  static float ToSingle(const TBytes& bytes, int offset);
  static double ToDouble(const TBytes& bytes, int offset);

  // From a plain address; the caller answers for the range.
  static uint16_t ToUInt16(const void* address, ptrdiff_t offset);
  static int32_t ToInt32(const void* address, ptrdiff_t offset);
  static int64_t ToInt64(const void* address, ptrdiff_t offset);
  static double ToDouble(const void* address, ptrdiff_t offset);

  static int64_t DoubleToInt64Bits(double value);
  static double Int64BitsToDouble(int64_t value);
};

}  // namespace dac
