// The password answers of the login: the pre-4.1 scramble, the 4.1 scramble
// and the building blocks of both.
#pragma once

#include <cstdint>
#include <string>

#include "dac/framework/values/bytes.h"

namespace dac {

// The pre-4.1 random generator.
struct TrandStruct {
  uint32_t seed1 = 0;
  uint32_t seed2 = 0;
  uint32_t max_value = 0;
  double max_value_dbl = 0;
};

// The pre-4.1 password hash: two 31-bit words; blanks and tabs are skipped.
void hashPassword(const uint8_t* password, size_t length, uint32_t result[2]);
void randominit(TrandStruct& rand, uint32_t seed1, uint32_t seed2);
double MyRandom(TrandStruct& rand);

// The pre-4.1 answer: 8 bytes from the password and the first 8 salt bytes
// (fewer when the salt is shorter).
TBytes Scramble323(const std::string& password, const uint8_t* salt, size_t salt_length);
// The 4.1 answer: SHA1(password) XOR SHA1(salt + SHA1(SHA1(password))), 20 bytes.
TBytes Scramble41(const std::string& password, const uint8_t* salt20);

// The 4.1.0 pre-release building blocks: SHA1 of the password (blanks and
// tabs skipped); SHA1 of 4 salt bytes followed by a stage-1 digest; and the
// byte-wise XOR of two 20-byte blocks.
TBytes PasswordHashStage1(const std::string& password);
TBytes PasswordHashStage2(const TBytes& stage1, const uint8_t* salt4);
TBytes PasswordCrypt(const uint8_t* from, const uint8_t* key, size_t length);
// XOR of length bytes of to with key, in place.
void MyCrypt(uint8_t* to, const uint8_t* key, size_t length);
// The 20-byte answer to the server's 24 bytes (4 salt bytes and 20
// encrypted ones). A password of "*" and 40 hex digits is taken as the
// stored stage-1 digest itself; bad digits there raise 2012.
TBytes PreRelease41Answer(const std::string& password, const uint8_t* reply24);

}  // namespace dac
