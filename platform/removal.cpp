#include "platform/removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/path_lookup.h"

namespace plat {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsProtectedFolder(const std::string& folder) {
  if (folder.empty() || folder == "/") return true;
  const std::optional<std::string> home = EnvironmentValue("HOME");
  if (!home || home->empty()) return false;
  const std::optional<std::string> real_home = RealPath(*home);
  const std::optional<std::string> real_folder = RealPath(folder);
  if (!real_home || !real_folder) return false;
  // The home folder itself, or any folder that holds it.
  const std::string& h = *real_home;
  const std::string& f = *real_folder;
  return h == f || (h.size() > f.size() && h.compare(0, f.size(), f) == 0 && h[f.size()] == '/');
}

// Empties the folder open at dir_fd (which it closes), entry by entry,
// removing links as links.
void RemoveContents(int dir_fd) {
  DIR* dir = ::fdopendir(dir_fd);
  if (!dir) {
    ::close(dir_fd);
    return;
  }
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      const int child = ::openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child >= 0) RemoveContents(child);
      ::unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(dir_fd, name.c_str(), 0);
    }
  }
  ::closedir(dir);
}

}  // namespace

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RemoveEmptyFolder(const std::string& folder) { return ::rmdir(folder.c_str()) == 0; }

void RemoveFolderTree(const std::string& folder) {
  const std::string path = WithoutTrailingSlashes(folder);
  if (IsProtectedFolder(path)) return;
  // O_NOFOLLOW: a folder argument that is a link is left alone.
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  RemoveContents(fd);
  ::rmdir(path.c_str());
}

int RemoveLeftoverTempFiles(const std::string& folder, FollowLinks links, std::string_view target) {
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (links == FollowLinks::kNo ? O_NOFOLLOW : 0);
  const int fd = ::open(WithoutTrailingSlashes(folder).c_str(), flags);
  if (fd < 0) return 0;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return 0;
  }
  int removed = 0;
  while (dirent* entry = ::readdir(dir)) {
    if (!IsTempFileBesideName(entry->d_name, target)) continue;
    struct stat st {};
    if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlinkat(fd, entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace plat
