// The package's scrambling: bytes combined by XOR with a repeating key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace content {

// XORs n bytes in place with key, the first byte taking the key character at
// (phase mod key length) and each following byte the next one, wrapping after
// the last. Applying it twice with the same phase restores the bytes, and a
// run scrambled in pieces matches the run scrambled at once when each piece's
// phase is its offset in the run. key must not be empty; phase must not be negative.
void ScrambleRun(char* data, size_t n, std::string_view key, int64_t phase);

}  // namespace content
