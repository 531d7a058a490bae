#include "platform/random.h"

#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace plat {

uint32_t LcgRandom::Next31() {
  state_ = state_ * 0x015A4E35ull + 1u;
  return static_cast<uint32_t>(state_ >> 32) & 0x7FFFFFFFu;
}

uint32_t SecureRandom::Next31() {
  uint32_t value = 0;
  unsigned char* out = reinterpret_cast<unsigned char*>(&value);
  size_t got = 0;
  while (got < sizeof value) {
    const ssize_t n = getrandom(out + got, sizeof value - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("secure random source failed: ") + std::strerror(errno));
    }
    got += static_cast<size_t>(n);
  }
  return value & 0x7FFFFFFFu;
}

int32_t RandomBelow(RandomSource& source, int32_t count) {
  if (count <= 0) return 0;
  return static_cast<int32_t>(source.Next31() % static_cast<uint32_t>(count));
}

namespace {
LcgRandom g_lcg;
SecureRandom g_secure;
std::atomic<RandomSource*> g_random{&g_lcg};
std::atomic<RandomSource*> g_secure_random{&g_secure};
}  // namespace

RandomSource& ProcessRandom() { return *g_random.load(std::memory_order_acquire); }
RandomSource& ProcessSecureRandom() { return *g_secure_random.load(std::memory_order_acquire); }

void SeedProcessRandom(uint64_t seed) { g_lcg.Seed(seed); }

void SetProcessRandom(RandomSource* source) {
  g_random.store(source ? source : &g_lcg, std::memory_order_release);
}

void SetProcessSecureRandom(RandomSource* source) {
  g_secure_random.store(source ? source : &g_secure, std::memory_order_release);
}

}  // namespace plat
