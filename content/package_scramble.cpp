#include "content/package_scramble.h"

#include <cstring>
#include <stdexcept>

namespace content {
namespace {

// Bytes combined with the pattern per step of Apply's loop: about a page,
// rounded to whole keys so the key phase is the same at every step.
constexpr size_t kSpanBytes = 4096;

using Vector = unsigned char __attribute__((vector_size(16)));

Vector Load(const char* p) {
  Vector v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// data[i] ^= pattern[i] for n bytes, a vector at a time where it can.
void XorBytes(char* data, const char* pattern, size_t n) {
  size_t i = 0;
  for (; i + 2 * sizeof(Vector) <= n; i += 2 * sizeof(Vector)) {
    const Vector a = Load(data + i) ^ Load(pattern + i);
    const Vector b = Load(data + i + sizeof(Vector)) ^ Load(pattern + i + sizeof(Vector));
    std::memcpy(data + i, &a, sizeof a);
    std::memcpy(data + i + sizeof(Vector), &b, sizeof b);
  }
  for (; i < n; ++i) data[i] = static_cast<char>(data[i] ^ pattern[i]);
}

}  // namespace

TScrambleKey::TScrambleKey(std::string_view key) : length_(key.size()) {
  if (key.empty()) throw std::invalid_argument("the package key must not be empty");
  const size_t keys = (kSpanBytes + length_ - 1) / length_ + 1;
  pattern_.reserve(keys * length_);
  for (size_t i = 0; i < keys; ++i) pattern_ += key;
}

void TScrambleKey::Apply(char* data, size_t n, int64_t phase) const {
  const size_t start = static_cast<size_t>(phase % static_cast<int64_t>(length_));
  // A span of whole keys leaves the phase where it was.
  const size_t span = pattern_.size() - length_;
  while (n > 0) {
    const size_t count = n < span ? n : span;
    XorBytes(data, pattern_.data() + start, count);
    data += count;
    n -= count;
  }
}

}  // namespace content
