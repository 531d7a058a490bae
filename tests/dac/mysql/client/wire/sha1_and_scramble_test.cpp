#include <gtest/gtest.h>
#include <openssl/sha.h>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/password_scramble.h"
#include "dac/mysql/client/wire/sha1.h"

namespace dac {
namespace {

std::string Hex(const TBytes& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

TEST(Sha1Test, PublishedVectors) {
  TSHA1Managed sha;
  auto hash = [&](const std::string& text) {
    return Hex(sha.ComputeHash(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  };
  EXPECT_EQ(hash(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(hash("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(hash("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(hash(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha1Test, AgreesWithOpenSslAtEveryLengthAroundTheBlockBoundaries) {
  TSHA1Managed sha;
  TBytes data(300);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
  for (int n = 0; n <= 300; ++n) {
    uint8_t expected[20];
    SHA1(data.data(), static_cast<size_t>(n), expected);
    EXPECT_EQ(sha.ComputeHash(data, 0, n), TBytes(expected, expected + 20)) << n;
  }
  EXPECT_EQ(sha.ComputeHash(data, 10, 5), sha.ComputeHash(TBytes(data.begin() + 10, data.begin() + 15)));
  EXPECT_THROW(sha.ComputeHash(data, 299, 2), ArgumentException);
}

TEST(ScrambleTest, OldScrambleIsEightPrintableBytesThatDependOnPasswordAndSalt) {
  const uint8_t salt[8] = {'8', 'b', 'Z', '!', '2', 'q', 'L', '@'};
  const TBytes a = Scramble323("secret", salt, 8);
  ASSERT_EQ(a.size(), 8u);
  for (uint8_t b : a) {
    EXPECT_GE(b, 64);
    EXPECT_LE(b, 95);
  }
  EXPECT_EQ(a, Scramble323("secret", salt, 8));
  EXPECT_NE(a, Scramble323("Secret", salt, 8));
  // Blanks and tabs do not count in the old password hash.
  EXPECT_EQ(a, Scramble323("sec ret\t", salt, 8));
  uint32_t h[2];
  hashPassword(reinterpret_cast<const uint8_t*>(""), 0, h);
  EXPECT_EQ(h[0], 1345345333u);
  EXPECT_EQ(h[1], 0x12345671u);
}

}  // namespace
}  // namespace dac
