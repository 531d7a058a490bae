// vrn-pack FOLDER OUTPUT.vrn: packs every file below FOLDER into a content
// package. Entries carry file names only, as the player looks them up, so two
// files of the same name (in any case) in different folders are refused.
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "content/xor_file_stream.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/path_lookup.h"
#include "platform/program_usage.h"

namespace tools {
namespace {

struct PackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A file to pack: its path and that path's components below the folder.
struct PackFile {
  std::string path;
  std::vector<std::string> components;
  const std::string& Name() const { return components.back(); }
};

// Adds every regular file below folder (links to files included, links to
// folders not entered) except the output itself.
void CollectBelow(const std::string& folder, const std::vector<std::string>& components,
                  const std::optional<std::string>& output, std::vector<PackFile>& files) {
  std::vector<plat::FolderEntry> entries;
  try {
    entries = plat::ListFolder(folder);
  } catch (const plat::FileError& e) {
    throw PackError("cannot list " + folder + ": " + e.reason());
  }
  for (const plat::FolderEntry& entry : entries) {
    const std::string path = folder + "/" + entry.name;
    std::vector<std::string> below = components;
    below.push_back(entry.name);
    if (entry.kind == plat::EntryKind::kFolder) {
      CollectBelow(path, below, output, files);
    } else if (entry.kind == plat::EntryKind::kFile ||
               (entry.kind == plat::EntryKind::kLink && plat::FileExists(path))) {
      if (output && plat::RealPath(path) == output) continue;  // an earlier output inside the folder
      files.push_back(PackFile{path, std::move(below)});
    }
  }
}

// The files to pack, sorted by their path below the folder, component by
// component, so that packing the same folder twice gives the same bytes.
std::vector<PackFile> CollectFiles(const std::string& folder, const std::string& output) {
  if (!plat::FolderExists(folder)) throw PackError("not a folder: " + folder);
  std::string root = folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::vector<PackFile> files;
  CollectBelow(root, {}, plat::RealPath(output), files);
  std::sort(files.begin(), files.end(),
            [](const PackFile& a, const PackFile& b) { return a.components < b.components; });
  return files;
}

void RefuseDuplicateNames(const std::vector<PackFile>& files) {
  std::map<std::string, std::string> seen;
  for (const PackFile& file : files) {
    auto [it, added] = seen.emplace(plat::AsciiLowerCase(file.Name()), file.path);
    if (!added)
      throw PackError("two files would share the entry name " + file.Name() + ": " + it->second + " and " +
                      file.path);
  }
}

size_t Pack(const std::string& folder, const std::string& output) {
  const std::vector<PackFile> files = CollectFiles(folder, output);
  RefuseDuplicateNames(files);
  content::TXORFileStream package(output, content::TXORFileStream::kCreate, content::kPackageKey);
  for (const PackFile& file : files) package.AddFile(file.Name(), plat::ReadWholeFile(file.path));
  package.Finish();
  return files.size();
}

constexpr char kUsage[] =
    "Usage: vrn-pack [OPTION]... FOLDER OUTPUT.vrn\n"
    "Packs every file below FOLDER into the content package OUTPUT.vrn. Entries\n"
    "carry file names only, as the player looks them up, so two files of the same\n"
    "name (in any case) in different folders are refused.\n"
    "\n"
    "  -h, --help  print this help and exit\n"
    "\n"
    "Exit status: 0 when packed, 1 when FOLDER cannot be packed, 2 for a usage error.\n";

}  // namespace
}  // namespace tools

int main(int argc, char** argv) {
  const plat::TOperands line = plat::ReadOperands({argv + 1, argv + argc}, {"FOLDER", "OUTPUT.vrn"});
  if (const auto status = plat::AnswerHelpOrProblem("vrn-pack", tools::kUsage, line.help, line.problem)) return *status;
  const std::string& folder = line.words[0];
  const std::string& output = line.words[1];
  try {
    const size_t count = tools::Pack(folder, output);
    std::printf("packed %zu files into %s\n", count, output.c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vrn-pack: %s\n", e.what());
    return 1;
  }
}
