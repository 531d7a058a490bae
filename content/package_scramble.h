// The package's scrambling: bytes combined by XOR with a repeating key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace content {

// A key laid out as one long repeated pattern, so that a run is combined with
// it a vector at a time instead of a byte and a key index at a time.
class TScrambleKey {
 public:
  // key must not be empty.
  explicit TScrambleKey(std::string_view key);

  // XORs n bytes in place, the first byte taking the key character at
  // (phase mod key length) and each following byte the next one, wrapping
  // after the last. Applying it twice with the same phase restores the
  // bytes, and a run scrambled in pieces matches the run scrambled at once
  // when each piece's phase is its offset in the run. phase must not be negative.
  void Apply(char* data, size_t n, int64_t phase) const;

 private:
  size_t length_;
  // The key repeated; a whole number of keys longer than one span of Apply.
  std::string pattern_;
};

}  // namespace content
