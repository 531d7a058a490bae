// vrn-pack FOLDER OUTPUT.vrn: packs every file below FOLDER into a content
// package. Entries carry file names only, as the player looks them up, so two
// files of the same name (in any case) in different folders are refused.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "content/xor_file_stream.h"
#include "platform/ascii.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

struct PackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The files to pack, sorted by their path below the folder so that packing the
// same folder twice gives the same bytes.
std::vector<fs::path> CollectFiles(const fs::path& folder, const fs::path& output) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw PackError("not a folder: " + folder.string());
  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::error_code same_ec;
    if (fs::equivalent(it->path(), output, same_ec)) continue;  // an earlier output inside the folder
    files.push_back(it->path());
  }
  if (ec) throw PackError("cannot list " + folder.string() + ": " + ec.message());
  std::sort(files.begin(), files.end());
  return files;
}

void RefuseDuplicateNames(const std::vector<fs::path>& files) {
  std::map<std::string, fs::path> seen;
  for (const fs::path& file : files) {
    auto [it, added] = seen.emplace(plat::AsciiLowerCase(file.filename().string()), file);
    if (!added)
      throw PackError("two files would share the entry name " + file.filename().string() + ": " +
                      it->second.string() + " and " + file.string());
  }
}

size_t Pack(const fs::path& folder, const std::string& output) {
  const std::vector<fs::path> files = CollectFiles(folder, output);
  RefuseDuplicateNames(files);
  TXORFileStream package(output, TXORFileStream::kCreate, kPackageKey);
  for (const fs::path& file : files) package.AddFile(file.filename().string(), plat::ReadWholeFile(file.string()));
  package.Finish();
  return files.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vrn-pack FOLDER OUTPUT.vrn\n");
    return 2;
  }
  try {
    const size_t count = Pack(argv[1], argv[2]);
    std::printf("packed %zu files into %s\n", count, argv[2]);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vrn-pack: %s\n", e.what());
    return 1;
  }
}
