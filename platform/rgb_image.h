// A picture as plain 8-bit RGB pixels, the form in which a canvas hands its
// drawing to an image encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/canvas.h"

namespace plat {

struct RgbImage {
  int width = 0;
  int height = 0;
  // Red, green and blue of each pixel, rows from the top, no padding.
  std::vector<uint8_t> pixels;

  Color At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return Color{pixels[i], pixels[i + 1], pixels[i + 2]};
  }
};

}  // namespace plat
