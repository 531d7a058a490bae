// Random sources: the process's seedable pseudo-random generator and the
// operating system's secure source. Both are replaceable for tests.
#pragma once

#include <cstdint>

namespace plat {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // A non-negative 31-bit integer.
  virtual uint32_t Next31() = 0;
};

// The linear congruential generator the player has always used: the 64-bit
// state s becomes s * 0x015A4E35 + 1, the draw is bits 32..62 of the new state.
// Stored sessions and tests depend on the exact sequence.
class LcgRandom final : public RandomSource {
 public:
  explicit LcgRandom(uint64_t seed = 0) : state_(seed) {}
  void Seed(uint64_t seed) { state_ = seed; }
  uint64_t State() const { return state_; }
  uint32_t Next31() override;

 private:
  uint64_t state_;
};

// Draws from getrandom(); for anything that acts as a credential.
class SecureRandom final : public RandomSource {
 public:
  uint32_t Next31() override;
};

// A position below count, as a draw modulo count; 0 when count <= 0.
int32_t RandomBelow(RandomSource& source, int32_t count);

// The process's pseudo-random generator (an LcgRandom unless replaced).
RandomSource& ProcessRandom();
// Seeds the process generator when it is the built-in one.
void SeedProcessRandom(uint64_t seed);
// The process's secure source (a SecureRandom unless replaced).
RandomSource& ProcessSecureRandom();

// Replace either source; nullptr restores the built-in one. The caller keeps ownership.
void SetProcessRandom(RandomSource* source);
void SetProcessSecureRandom(RandomSource* source);

}  // namespace plat
