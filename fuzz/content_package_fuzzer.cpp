// A content package (see package_layout.h: the input keeps the directory and
// entries plain, the target scrambles them as the writer does): its directory
// read as opening reads it, the small entries the player parses when it opens
// a package, and every entry the directory names read through the content
// road, whose reported size must be exactly what can be read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "content/content_paths.h"
#include "content/groups.h"
#include "content/text_lines.h"
#include "content/users.h"
#include "content/xor_file_stream.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/package_layout.h"
#include "server/quiz/grade_table.h"
#include "server/road/content_file.h"
#include "server/road/content_resolver.h"

namespace fuzz {
namespace {

// What the player reads from a package as it opens it.
void ReadOpeningEntries(const std::string& path, const content::TXORFileStream& package) {
  content::ReadProjectId(path);
  content::IsSkipStartPage(path);
  content::TUsersList users;
  users.LoadFromPackage("all", package);
  content::TGroupsList groups;
  groups.LoadFromPackage("all", package);
  package.ReadToString("projecttitle.txt");
  content::SplitLines(package.ReadToString("subjects.sysdata"));
  server::TGradeTable grades;
  grades.LoadFromText(package.ReadToString("grades.sysdata"));
}

// Reads the entry through the road in blocks of an odd size.
void ReadEntry(const server::TContentResolver& road, const std::string& name) {
  const std::unique_ptr<server::TContentFile> file = road.Open(name);
  if (!file) return;
  std::string bytes;
  char block[4093];
  for (int64_t got; (got = file->Read(block, sizeof block)) > 0;) bytes.append(block, static_cast<size_t>(got));
  Require(static_cast<int64_t>(bytes.size()) == file->Size(), "an entry's size is not what can be read");
  // The road opens a name's last part; the package reader takes it whole.
  if (name.find_first_of("/\\") != std::string::npos) return;
  const content::TXORFileStream& package = *road.GetPackage();
  std::string whole;
  Require(package.ReadToStream(name, whole) && whole == bytes, "an entry read whole differs from its blocks");
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string plain(fuzz::AsText(data, size));
  const std::string path = fuzz::PutScratchFile("content.vrn", fuzz::ScramblePackage(plain));
  server::TContentResolver road;
  try {
    road.SetPackage(
        std::make_unique<content::TXORFileStream>(path, content::TXORFileStream::kRead, content::kPackageKey));
  } catch (const content::PackageFormatError&) {
    return 0;
  }
  fuzz::ReadOpeningEntries(path, *road.GetPackage());
  // The player reads one entry a request: reading every entry of a large
  // directory, each of which may span the whole file, would cost the square
  // of the input here and tell nothing more.
  std::vector<std::string> names = fuzz::PlainEntryNames(plain);
  names.resize(std::min<size_t>(names.size(), 16));
  for (const std::string& name : names) {
    if (road.RequestedFileExists(name)) fuzz::ReadEntry(road, name);
  }
  return 0;
}
