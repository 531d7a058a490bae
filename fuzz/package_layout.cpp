#include "fuzz/package_layout.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "content/xor_file_stream.h"

namespace fuzz {
namespace {

constexpr size_t kRecordSize = content::kPackageDirectoryEntrySize;
constexpr size_t kNameSize = content::kPackageNameFieldSize;
constexpr size_t kOffsetFieldSize = 8;

uint64_t LoadUInt64(const char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

struct Range {
  size_t offset = 0;
  size_t size = 0;
};

// Where the trailing offset puts the directory; nullopt when it lies outside.
std::optional<Range> DirectoryRange(std::string_view file) {
  if (file.size() < 4 + kOffsetFieldSize) return std::nullopt;
  const uint64_t offset = LoadUInt64(file.data() + file.size() - kOffsetFieldSize);
  if (offset < 4 || offset > file.size() - kOffsetFieldSize) return std::nullopt;
  return Range{offset, file.size() - kOffsetFieldSize - offset};
}

// The range XORed with the package key from its first character on, as the
// writer scrambles each entry and the directory.
void Scramble(std::string& file, Range range) {
  const std::string_view key = content::kPackageKey;
  for (size_t i = 0; i < range.size; ++i) file[range.offset + i] ^= key[i % key.size()];
}

// Every record's data range that fits in the file, scrambled as a run of its own.
void ScrambleEntries(std::string& file, std::string_view plain_directory) {
  for (size_t at = 0; at + kRecordSize <= plain_directory.size(); at += kRecordSize) {
    const uint64_t offset = LoadUInt64(plain_directory.data() + at + kNameSize);
    const uint64_t size = LoadUInt64(plain_directory.data() + at + kNameSize + 8);
    if (offset <= file.size() && size <= file.size() - offset) Scramble(file, Range{offset, size});
  }
}

}  // namespace

std::string ScramblePackage(std::string plain) {
  const std::optional<Range> directory = DirectoryRange(plain);
  if (!directory) return plain;
  ScrambleEntries(plain, std::string(plain, directory->offset, directory->size));
  Scramble(plain, *directory);
  return plain;
}

std::string UnscramblePackage(std::string package) {
  const std::optional<Range> directory = DirectoryRange(package);
  if (!directory) return package;
  Scramble(package, *directory);
  ScrambleEntries(package, std::string(package, directory->offset, directory->size));
  return package;
}

std::vector<std::string> PlainEntryNames(std::string_view plain) {
  std::vector<std::string> names;
  const std::optional<Range> directory = DirectoryRange(plain);
  if (!directory) return names;
  for (size_t at = 0; at + kRecordSize <= directory->size; at += kRecordSize) {
    const char* record = plain.data() + directory->offset + at;
    names.emplace_back(record, strnlen(record, kNameSize));
  }
  return names;
}

}  // namespace fuzz
