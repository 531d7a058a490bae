#include "dac/store/runtime/bit_converter.h"

#include <bit>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

static_assert(std::endian::native == std::endian::little, "the byte routines assume a little-endian host");

namespace {

template <typename T>
TBytes ImageOf(T value) {
  TBytes bytes(sizeof value);
  StoreAt(bytes.data(), 0, value);
  return bytes;
}

template <typename T>
T ReadChecked(const TBytes& bytes, int offset) {
  if (offset < 0 || static_cast<size_t>(offset) + sizeof(T) > bytes.size())
    throw ArgumentException("Offset out of range: " + std::to_string(offset) + " for " + std::to_string(sizeof(T)) +
                            " bytes in an array of " + std::to_string(bytes.size()));
  return LoadAt<T>(bytes.data(), static_cast<size_t>(offset));
}

template <typename T>
T ReadAt(const void* address, ptrdiff_t offset) {
  return LoadAt<T>(static_cast<const uint8_t*>(address) + offset);
}

}  // namespace

TBytes BitConverter::GetBytes(int16_t value) { return ImageOf(value); }
TBytes BitConverter::GetBytes(int32_t value) { return ImageOf(value); }
TBytes BitConverter::GetBytes(int64_t value) { return ImageOf(value); }
TBytes BitConverter::GetBytes(float value) { return ImageOf(value); }
TBytes BitConverter::GetBytes(double value) { return ImageOf(value); }

int16_t BitConverter::ToInt16(const TBytes& bytes, int offset) { return ReadChecked<int16_t>(bytes, offset); }
uint16_t BitConverter::ToUInt16(const TBytes& bytes, int offset) { return ReadChecked<uint16_t>(bytes, offset); }
int32_t BitConverter::ToInt32(const TBytes& bytes, int offset) { return ReadChecked<int32_t>(bytes, offset); }
uint32_t BitConverter::ToUInt32(const TBytes& bytes, int offset) { return ReadChecked<uint32_t>(bytes, offset); }
int64_t BitConverter::ToInt64(const TBytes& bytes, int offset) { return ReadChecked<int64_t>(bytes, offset); }
float BitConverter::ToSingle(const TBytes& bytes, int offset) { return ReadChecked<float>(bytes, offset); }
double BitConverter::ToDouble(const TBytes& bytes, int offset) { return ReadChecked<double>(bytes, offset); }

uint16_t BitConverter::ToUInt16(const void* address, ptrdiff_t offset) { return ReadAt<uint16_t>(address, offset); }
int32_t BitConverter::ToInt32(const void* address, ptrdiff_t offset) { return ReadAt<int32_t>(address, offset); }
int64_t BitConverter::ToInt64(const void* address, ptrdiff_t offset) { return ReadAt<int64_t>(address, offset); }
double BitConverter::ToDouble(const void* address, ptrdiff_t offset) { return ReadAt<double>(address, offset); }

int64_t BitConverter::DoubleToInt64Bits(double value) { return std::bit_cast<int64_t>(value); }
double BitConverter::Int64BitsToDouble(int64_t value) { return std::bit_cast<double>(value); }

}  // namespace dac
