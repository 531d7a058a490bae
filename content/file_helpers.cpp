#include "content/file_helpers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/files.h"

std::string ReadFileToString(const std::string& path) { return plat::ReadWholeFile(path); }

void WriteStringToFile(const std::string& path, std::string_view text) { plat::WriteFileAtomic(path, text); }

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsProtectedFolder(const std::string& folder) {
  if (folder.empty() || folder == "/") return true;
  const char* home = std::getenv("HOME");
  if (!home || !*home) return false;
  char* real_home = ::realpath(home, nullptr);
  char* real_folder = ::realpath(folder.c_str(), nullptr);
  bool protect = false;
  if (real_home && real_folder) {
    // The home folder itself, or any folder that holds it.
    const std::string h = real_home, f = real_folder;
    protect = h == f || (h.size() > f.size() && h.compare(0, f.size(), f) == 0 && h[f.size()] == '/');
  }
  std::free(real_home);
  std::free(real_folder);
  return protect;
}

// Empties the folder open at dir_fd (which it closes), entry by entry,
// removing links as links.
void DeleteContents(int dir_fd) {
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
      if (child >= 0) DeleteContents(child);
      ::unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(dir_fd, name.c_str(), 0);
    }
  }
  ::closedir(dir);
}

}  // namespace

void DeleteFolderTree(const std::string& folder) {
  const std::string path = WithoutTrailingSlashes(folder);
  if (IsProtectedFolder(path)) return;
  // O_NOFOLLOW: a folder argument that is a link is left alone.
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  DeleteContents(fd);
  ::rmdir(path.c_str());
}
