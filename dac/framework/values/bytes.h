// Byte arrays and wide strings as the library passes them around.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dac {

using TBytes = std::vector<uint8_t>;
using WideString = std::u16string;

}  // namespace dac
