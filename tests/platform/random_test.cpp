#include "platform/random.h"

#include <gtest/gtest.h>

#include <set>

namespace plat {
namespace {

TEST(LcgRandom, FollowsTheStoredRecurrence) {
  LcgRandom r(0);
  // s1 = 1: bits 32..62 are 0. s2 = 0x015A4E36: still 0. s3 has high bits.
  EXPECT_EQ(r.Next31(), 0u);
  EXPECT_EQ(r.Next31(), 0u);
  const uint64_t s3 = 0x015A4E36ull * 0x015A4E35ull + 1u;
  EXPECT_EQ(r.Next31(), static_cast<uint32_t>(s3 >> 32) & 0x7FFFFFFFu);
  LcgRandom a(12345), b(12345);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(a.Next31(), b.Next31());
}

TEST(RandomSources, DrawsStayIn31BitsAndBelowTheCount) {
  SecureRandom secure;
  LcgRandom lcg(99);
  std::set<uint32_t> seen;
  for (int i = 0; i < 200; ++i) {
    EXPECT_LT(secure.Next31(), 0x80000000u);
    seen.insert(secure.Next31());
    const int32_t pos = RandomBelow(lcg, 7);
    EXPECT_GE(pos, 0);
    EXPECT_LT(pos, 7);
  }
  EXPECT_GT(seen.size(), 190u);
  EXPECT_EQ(RandomBelow(lcg, 0), 0);
}

TEST(RandomSources, ProcessSourceCanBeReplaced) {
  LcgRandom fixed(5);
  SetProcessRandom(&fixed);
  LcgRandom expected(5);
  EXPECT_EQ(ProcessRandom().Next31(), expected.Next31());
  SetProcessRandom(nullptr);
  EXPECT_NE(&ProcessRandom(), &fixed);
}

}  // namespace
}  // namespace plat
