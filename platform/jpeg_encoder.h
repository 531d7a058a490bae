// Compresses a picture into a baseline JPEG image.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/rgb_image.h"

namespace plat {

// The picture could not be compressed; what() says why.
class JpegError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The bytes of a JPEG file (JFIF) of the picture at the given quality
// (1..100); every other encoder setting keeps the library default.
// Throws JpegError for an empty, oversized or inconsistent picture, or a
// quality out of range.
std::string EncodeJpeg(const RgbImage& image, int quality = 100);

}  // namespace plat
