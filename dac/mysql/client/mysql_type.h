// The MySQL column kinds the provider names in its type mapping.
#pragma once

#include <cstdint>

namespace dac {

enum TMySqlType : uint8_t {
  mtBigInt = 0,
  mtBlob = 1,
  mtChar = 2,
  mtDate = 3,
  mtDateTime = 4,
  mtDouble = 5,
  mtFloat = 6,
  mtInt = 7,
  mtSmallInt = 8,
  mtText = 9,
  mtTime = 10,
  mtTinyInt = 11,
  mtVarChar = 12,
  mtYear = 13,
};

}  // namespace dac
