// SHA-1 (FIPS 180-1), used by the 4.1 password scramble.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/bytes.h"

namespace dac {

constexpr int SHA1HashSize = 20;

class TSHA1Managed : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // The 20-byte digest of the bytes (or of count bytes from offset; a range
  // outside the array raises ArgumentException).
  TBytes ComputeHash(const TBytes& bytes);
  TBytes ComputeHash(const TBytes& bytes, int offset, int count);
  TBytes ComputeHash(const uint8_t* data, size_t count);

 private:
  // The compression step over one 64-byte block.
  void DoCycle(const uint8_t* block);

  uint32_t state_[5] = {};
};

}  // namespace dac
