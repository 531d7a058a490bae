#include "server/sessions/grade_band.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace server {

TGradeBand TGradeBand::FromBytes(std::string_view bytes) {
  if (bytes.size() != kSize) throw std::invalid_argument("a grade band record holds 144 bytes");
  TGradeBand band;
  std::memcpy(band.bytes_.data(), bytes.data(), kSize);
  return band;
}

int32_t TGradeBand::IntAt(size_t offset) const {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes_[offset + i])) << (8 * i);
  return static_cast<int32_t>(value);
}

void TGradeBand::SetIntAt(size_t offset, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (size_t i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

std::string TGradeBand::TextAt(size_t offset, size_t size) const {
  // A stored record may lack the terminator: the text then ends with its field.
  const std::string_view field(bytes_.data() + offset, size);
  return std::string(field.substr(0, field.find('\0')));
}

void TGradeBand::SetTextAt(size_t offset, size_t size, std::string_view text) {
  const size_t length = std::min(text.size(), size - 1);
  std::memcpy(bytes_.data() + offset, text.data(), length);
  bytes_[offset + length] = '\0';
}

}  // namespace server
