#include "app/content_locator.h"

#include <optional>
#include <string_view>

#include "content/content_paths.h"
#include "content/xor_file_stream.h"
#include "platform/files.h"
#include "platform/path_lookup.h"
#include "platform/paths.h"

namespace app {
namespace {

constexpr char kSubfolderPackage[] = "Varnel/Varnel.vrn";
constexpr char kNoOpticalMedia[] = "(no CD or DVD is mounted)";

// folder + relative when that names an existing file, each name found
// without regard to case, as content shipped for Windows expects.
std::optional<std::string> FindFile(const std::string& folder, std::string_view relative) {
  std::optional<std::string> found = plat::FindCaseInsensitive(folder, relative);
  if (found && plat::FileExists(*found)) return found;
  return std::nullopt;
}

// Absolute, with "." and ".." resolved by name; no length limit.
std::string FullPathName(const std::string& path) { return plat::AbsolutePath(path); }

class Search {
 public:
  explicit Search(const TContentPlaces& places) : program_folder_(places.program_folder) {}

  TContentLocation Result() && { return std::move(location_); }

  void FirstArgumentMinusOne(const std::vector<std::string>& arguments) {
    std::optional<std::string> found;
    if (arguments.size() < 2) {
      if (program_folder_.empty()) return;
      Searched(program_folder_ + kSubfolderPackage);
      found = FindFile(program_folder_, kSubfolderPackage);
    } else {
      const std::string& second = arguments[1];
      Searched(second);
      if (plat::FileExists(second)) found = second;
      if (!found) {
        Searched(plat::WithTrailingSlash(second) + kContentPackageName);
        found = FindFile(second, kContentPackageName);
      }
      // An absolute path stands for itself: behind the program folder it
      // would name some unrelated place.
      if (!found && !program_folder_.empty() && !second.starts_with('/')) {
        const std::string folder = program_folder_ + second;
        Searched(plat::WithTrailingSlash(folder) + kContentPackageName);
        found = FindFile(folder, kContentPackageName);
      }
    }
    if (found) location_.path = plat::FolderPart(FullPathName(*found));
  }

  void ExistingFolder(const std::string& folder) {
    location_.path = plat::WithTrailingSlash(FullPathName(folder));
  }

  void ExistingFile(const std::string& file) {
    const std::string full = FullPathName(file);
    if (content::IsXORFileStream(full)) {
      location_.path = full;
      return;
    }
    location_.path = plat::FolderPart(full);
    content::NoticeFolderInsteadOfPackage(full, location_.path);
  }

  // The program folder, in folder mode, when it holds the package.
  bool ProgramFolder() {
    if (program_folder_.empty()) return false;
    Searched(program_folder_ + kContentPackageName);
    if (!FindFile(program_folder_, kContentPackageName)) return false;
    location_.path = program_folder_;
    return true;
  }

  // The package of the last mounted disc that holds one.
  void OpticalMedia(const std::string& mounts_file) {
    const std::vector<std::string> mount_points = OpticalMountPoints(mounts_file);
    if (mount_points.empty()) location_.searched.push_back(kNoOpticalMedia);
    for (const std::string& mount_point : mount_points) {
      Searched(plat::WithTrailingSlash(mount_point) + kContentPackageName);
      if (std::optional<std::string> package = FindFile(mount_point, kContentPackageName))
        location_.path = FullPathName(*package);
    }
  }

  // A path looked at, as an absolute path.
  void Searched(const std::string& place) {
    location_.searched.push_back(FullPathName(place));
  }

 private:
  const std::string& program_folder_;
  TContentLocation location_;
};

}  // namespace

TContentLocation LocateContent(const std::vector<std::string>& arguments, const TContentPlaces& places) {
  Search search(places);
  if (arguments.empty()) {
    if (!search.ProgramFolder()) search.OpticalMedia(places.mounts_file);
  } else if (arguments[0] == "-1") {
    search.FirstArgumentMinusOne(arguments);
  } else if (plat::FolderExists(arguments[0])) {
    search.ExistingFolder(arguments[0]);
  } else if (plat::FileExists(arguments[0])) {
    search.ExistingFile(arguments[0]);
  } else {
    search.Searched(arguments[0]);
    search.ProgramFolder();
  }
  return std::move(search).Result();
}

std::string NothingFoundMessage(const TContentLocation& location) {
  std::string message = "No content to open. Places searched:\n";
  for (const std::string& place : location.searched) message += "  " + place + "\n";
  message += "Name a content folder or a .vrn package on the command line.\n";
  return message;
}

}  // namespace app
