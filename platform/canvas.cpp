#include "platform/canvas.h"

#include <algorithm>
#include <cstdint>

namespace plat {

int FontEmPixels(int size_points) {
  // size * 96 / 72 rounded to the nearest pixel; never below one pixel.
  const int64_t scaled = static_cast<int64_t>(size_points) * 96;
  const int64_t pixels = (scaled + 36) / 72;
  return static_cast<int>(std::clamp<int64_t>(pixels, 1, 4096));
}

}  // namespace plat
