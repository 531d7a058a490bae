// Builds package bytes field by field, without the project's writer, so tests
// can state exactly what lies on disk, malformed packages included.
#pragma once

#include "tests/support/test_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "content/xor_file_stream.h"

namespace content {

namespace package_test {

inline const std::string kMagic("\x44\x89\x24\x67", 4);

// XOR with the key from the run's first byte on.
inline std::string Scrambled(std::string bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ kPackageKey[i % kPackageKey.size()]);
  return bytes;
}

inline std::string Int64Le(int64_t value) {
  std::string out(8, '\0');
  auto v = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i, v >>= 8) out[i] = static_cast<char>(v & 0xFF);
  return out;
}

// One plain 288-byte directory record; name fills the 264-byte field from its
// start and is NUL-padded (a 264-byte name leaves no NUL).
inline std::string Record(std::string_view name, int64_t offset, int64_t size) {
  std::string out(name);
  out.resize(264, '\0');
  out += Int64Le(offset) + Int64Le(size) + std::string(8, '\0');
  return out;
}

// A package holding data (plain, placed right after the magic, scrambled as
// one run) and the given plain directory bytes; the directory offset is the
// true one unless given.
inline std::string Package(std::string_view data, std::string_view directory,
                           std::optional<int64_t> directory_offset = std::nullopt) {
  const int64_t offset = directory_offset.value_or(static_cast<int64_t>(4 + data.size()));
  return kMagic + Scrambled(std::string(data)) + Scrambled(std::string(directory)) + Int64Le(offset);
}

class TempFolder : public ::testing::Test {
 protected:

  std::string Write(const std::string& name, std::string_view bytes) {
    const std::string path = root_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::string ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t CountFiles() const {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(root_)) n += e.is_regular_file() ? 1 : 0;
    return n;
  }

  plat::testing::TestFolder folder_;
  const std::string root_ = folder_.path();
};

}  // namespace package_test

}  // namespace content
