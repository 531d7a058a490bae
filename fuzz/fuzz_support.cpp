#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/temp_file.h"

namespace fuzz {
namespace {

class ScratchFolderOwner {
 public:
  ScratchFolderOwner() {
    std::string pattern = plat::TempFolder() + "varnel-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("no scratch folder");
      std::abort();
    }
    path_ = pattern + "/";
  }
  ~ScratchFolderOwner() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolderOwner(const ScratchFolderOwner&) = delete;
  ScratchFolderOwner& operator=(const ScratchFolderOwner&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

const std::string& ScratchFolder() {
  static const ScratchFolderOwner owner;
  return owner.path();
}

std::string PutScratchFile(std::string_view name, std::string_view bytes) {
  const std::string path = ScratchFolder() + std::string(name);
  // A new file each time: the file system flushes a truncated one on close,
  // which would cost milliseconds an input.
  std::filesystem::remove(path);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  Require(out.good(), "the scratch file could not be written");
  return path;
}

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

void ReportUnexpected(const std::string& message) {
  std::fprintf(stderr, "undocumented error: %.*s\n", static_cast<int>(std::min<size_t>(message.size(), 2000)),
               message.c_str());
  std::abort();
}

void RequireShortMessage(const std::string& message) {
  if (message.size() <= kLongestMessage) return;
  std::fprintf(stderr, "message of %zu bytes: %.200s...\n", message.size(), message.c_str());
  std::abort();
}

}  // namespace fuzz
