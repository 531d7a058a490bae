#include "platform/files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/file.h"

namespace plat {

namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

constexpr std::string_view kTempPrefix = ".~qz";
constexpr std::string_view kTempSuffixLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kTempSuffixSize = 6;
constexpr int kTempNameAttempts = 100;

// Fills the last kTempSuffixSize characters of name with random letters and digits.
void DrawTempSuffix(std::string& name) {
  unsigned char random[kTempSuffixSize] = {};
  if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    // Without the system's source any spread will do: a taken name is only tried again.
    static std::atomic<unsigned> counter{0};
    for (unsigned char& byte : random) byte = static_cast<unsigned char>(++counter * 97u + ::getpid());
  }
  for (size_t i = 0; i < kTempSuffixSize; ++i)
    name[name.size() - kTempSuffixSize + i] = kTempSuffixLetters[random[i] % kTempSuffixLetters.size()];
}

// Creates a file of a new name; the kernel applies the umask to mode, as it
// does for every file the player creates. -1 with errno on failure.
int CreateUniqueFile(std::string& name, mode_t mode) {
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    DrawTempSuffix(name);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// A replacement keeps no permission that the file it replaces lacks.
void NarrowToReplacedMode(int fd, const std::string& replaced) {
  struct stat old {};
  struct stat created {};
  if (::stat(replaced.c_str(), &old) != 0 || !S_ISREG(old.st_mode) || ::fstat(fd, &created) != 0) return;
  const mode_t narrowed = created.st_mode & old.st_mode & 07777;
  if (narrowed != (created.st_mode & 07777)) ::fchmod(fd, narrowed);
}

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

std::optional<std::string> FolderWriteRefusal(const std::string& folder) {
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return std::nullopt;
  return ErrnoText(errno);
}

std::string CreateTempFileBeside(const std::string& path, int* fd, FileAccess access) {
  if (NamePart(path).empty()) throw FileError(path, "no file name");
  const std::string folder = FolderPart(path);
  std::string temp = (folder.empty() ? std::string("./") : folder) + std::string(kTempPrefix) + NamePart(path) + "." +
                     std::string(kTempSuffixSize, 'X');
  *fd = CreateUniqueFile(temp, access == FileAccess::kPrivate ? 0600 : 0666);
  if (*fd < 0) throw FileError(path, ErrnoText(errno));
  NarrowToReplacedMode(*fd, path);
  return temp;
}

bool IsTempFileBesideName(std::string_view name, std::string_view target) {
  // The prefix, at least one character of the target's name, the dot, the suffix.
  if (name.size() < kTempPrefix.size() + 2 + kTempSuffixSize || !name.starts_with(kTempPrefix)) return false;
  if (name[name.size() - kTempSuffixSize - 1] != '.') return false;
  const std::string_view suffix = name.substr(name.size() - kTempSuffixSize);
  if (suffix.find_first_not_of(kTempSuffixLetters) != std::string_view::npos) return false;
  const size_t target_size = name.size() - kTempPrefix.size() - kTempSuffixSize - 1;
  return target.empty() || name.substr(kTempPrefix.size(), target_size) == target;
}

void WriteFileAtomic(const std::string& path, std::string_view data, FileAccess access) {
  if (NamePart(path).empty()) throw FileError(path, "no file name");
  CreateFolders(FolderPart(path));
  AtomicFile file(path, access);
  file.Write(data);
  file.Commit();
}

bool MakeFilePrivate(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if ((st.st_mode & 077) == 0) return true;
  return ::chmod(path.c_str(), st.st_mode & 07700) == 0;
}

void MoveAside(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno != EINVAL && errno != ENOSYS) throw FileError(from, ErrnoText(errno));
  // A file system that cannot refuse to replace: look first.
  if (PathExists(to)) throw FileError(from, ErrnoText(EEXIST));
  if (::rename(from.c_str(), to.c_str()) != 0) throw FileError(from, ErrnoText(errno));
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
