#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/file.h"

namespace plat {

namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

}  // namespace

FileError::FileError(const std::string& path, const std::string& reason)
    : std::runtime_error("Cannot access file \"" + path + "\": " + reason), path_(path), reason_(reason) {}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<int64_t> FileSizeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<int64_t>(st.st_size);
}

std::optional<FileStamp> FileStampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                   static_cast<int64_t>(st.st_size),
                   static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string ReadWholeFile(const std::string& path) {
  File file = File::OpenToRead(path);
  std::string out;
  char block[65536];
  while (const int64_t n = file.Read(block, sizeof block)) out.append(block, static_cast<size_t>(n));
  return out;
}

void CreateFolders(const std::string& folder) {
  if (folder.empty()) return;
  std::string partial;
  size_t pos = 0;
  while (pos <= folder.size()) {
    size_t next = folder.find('/', pos);
    if (next == std::string::npos) next = folder.size();
    partial = folder.substr(0, next);
    pos = next + 1;
    if (partial.empty() || FolderExists(partial)) continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) throw FileError(partial, ErrnoText(errno));
    if (!FolderExists(partial)) throw FileError(partial, "not a folder");
  }
}

std::string CreateTempFileBeside(const std::string& path, int* fd) {
  if (NamePart(path).empty()) throw FileError(path, "no file name");
  const std::string folder = FolderPart(path);
  std::string temp = (folder.empty() ? std::string("./") : folder) + ".~qz" + NamePart(path) + ".XXXXXX";
  *fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (*fd < 0) throw FileError(path, ErrnoText(errno));
  // Keep the permissions of the file being replaced, else the usual 0644.
  struct stat old {};
  ::fchmod(*fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  return temp;
}

void WriteFileAtomic(const std::string& path, std::string_view data) {
  if (NamePart(path).empty()) throw FileError(path, "no file name");
  CreateFolders(FolderPart(path));
  AtomicFile file(path);
  file.Write(data);
  file.Commit();
}

std::string FolderPart(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string NamePart(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string WithTrailingSlash(std::string_view folder) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/') out += '/';
  return out;
}

}  // namespace plat
