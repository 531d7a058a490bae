#include "dac/mysql/client/wire/password_scramble.h"

#include <cmath>

#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/sha1.h"

namespace dac {

void hashPassword(const uint8_t* password, size_t length, uint32_t result[2]) {
  uint32_t nr = 1345345333u, add = 7, nr2 = 0x12345671u;
  for (size_t i = 0; i < length; ++i) {
    const uint8_t c = password[i];
    if (c == ' ' || c == '\t') continue;
    const uint32_t tmp = c;
    nr ^= (((nr & 63) + add) * tmp) + (nr << 8);
    nr2 += (nr2 << 8) ^ nr;
    add += tmp;
  }
  result[0] = nr & 0x7FFFFFFFu;
  result[1] = nr2 & 0x7FFFFFFFu;
}

void randominit(TrandStruct& rand, uint32_t seed1, uint32_t seed2) {
  rand.max_value = 0x3FFFFFFFu;
  rand.max_value_dbl = static_cast<double>(rand.max_value);
  rand.seed1 = seed1 % rand.max_value;
  rand.seed2 = seed2 % rand.max_value;
}

double MyRandom(TrandStruct& rand) {
  rand.seed1 = static_cast<uint32_t>((static_cast<uint64_t>(rand.seed1) * 3 + rand.seed2) % rand.max_value);
  rand.seed2 = static_cast<uint32_t>((static_cast<uint64_t>(rand.seed1) + rand.seed2 + 33) % rand.max_value);
  return static_cast<double>(rand.seed1) / rand.max_value_dbl;
}

TBytes Scramble323(const std::string& password, const uint8_t* salt, size_t salt_length) {
  const size_t n = salt_length < 8 ? salt_length : 8;
  uint32_t hash_pass[2], hash_message[2];
  hashPassword(reinterpret_cast<const uint8_t*>(password.data()), password.size(), hash_pass);
  hashPassword(salt, n, hash_message);
  TrandStruct rand;
  randominit(rand, hash_pass[0] ^ hash_message[0], hash_pass[1] ^ hash_message[1]);
  TBytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(std::floor(MyRandom(rand) * 31) + 64);
  const uint8_t extra = static_cast<uint8_t>(std::floor(MyRandom(rand) * 31));
  for (uint8_t& b : out) b ^= extra;
  return out;
}

TBytes Scramble41(const std::string& password, const uint8_t* salt20) {
  TSHA1Managed sha;
  const TBytes stage1 = sha.ComputeHash(reinterpret_cast<const uint8_t*>(password.data()), password.size());
  const TBytes stage2 = sha.ComputeHash(stage1);
  TBytes joined(salt20, salt20 + SHA1HashSize);
  joined.insert(joined.end(), stage2.begin(), stage2.end());
  TBytes out = sha.ComputeHash(joined);
  MyCrypt(out.data(), stage1.data(), SHA1HashSize);
  return out;
}

TBytes PasswordHashStage1(const std::string& password) {
  TBytes kept;
  for (char c : password)
    if (c != ' ' && c != '\t') kept.push_back(static_cast<uint8_t>(c));
  return TSHA1Managed().ComputeHash(kept);
}

TBytes PasswordHashStage2(const TBytes& stage1, const uint8_t* salt4) {
  TBytes joined(salt4, salt4 + 4);
  joined.insert(joined.end(), stage1.begin(), stage1.end());
  return TSHA1Managed().ComputeHash(joined);
}

TBytes PasswordCrypt(const uint8_t* from, const uint8_t* key, size_t length) {
  TBytes out(from, from + length);
  MyCrypt(out.data(), key, length);
  return out;
}

void MyCrypt(uint8_t* to, const uint8_t* key, size_t length) {
  for (size_t i = 0; i < length; ++i) to[i] ^= key[i];
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

TBytes PreRelease41Answer(const std::string& password, const uint8_t* reply24) {
  TBytes stage1;
  if (password.size() >= 41 && password[0] == '*') {
    stage1.resize(SHA1HashSize);
    for (int i = 0; i < SHA1HashSize; ++i) {
      const int hi = HexDigit(password[1 + 2 * i]), lo = HexDigit(password[2 + 2 * i]);
      if (hi < 0 || lo < 0) throw EMySqlException(kCrServerHandshakeErr);
      stage1[static_cast<size_t>(i)] = static_cast<uint8_t>(hi * 16 + lo);
    }
  } else {
    stage1 = PasswordHashStage1(password);
  }
  const TBytes stage2 = PasswordHashStage2(stage1, reply24);
  TBytes answer = PasswordCrypt(reply24 + 4, stage2.data(), SHA1HashSize);
  MyCrypt(answer.data(), stage1.data(), SHA1HashSize);
  return answer;
}

}  // namespace dac
