// Copies between byte arrays.
#pragma once

#include "dac/framework/values/bytes.h"

namespace dac {

class Buffer {
 public:
  Buffer() = delete;
  // count bytes; overlapping ranges of one array are allowed. ArgumentException
  // when either range leaves its array.
  static void BlockCopy(const TBytes& source, int source_offset, TBytes& dest, int dest_offset, int count);
};

}  // namespace dac
