// Whole files and folders on disk. Paths use '/'.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace plat {

// A file or folder that could not be opened, created, read or written.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& path, const std::string& reason);
  const std::string& path() const { return path_; }
  const std::string& reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

bool PathExists(const std::string& path);
bool FileExists(const std::string& path);    // a regular file (links followed)
bool FolderExists(const std::string& path);  // a directory (links followed)
std::optional<int64_t> FileSizeOf(const std::string& path);

// What tells one version of a regular file from another: which file it is,
// its size and its modification time to the nanosecond. A file rewritten or
// replaced since gives another stamp.
struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modified_ns = 0;
  bool operator==(const FileStamp&) const = default;
};
// Nullopt when the path names no regular file (links followed).
std::optional<FileStamp> FileStampOf(const std::string& path);

// Every byte of the file, NUL bytes included. Throws FileError, also for a
// folder, a pipe or a device.
std::string ReadWholeFile(const std::string& path);

// Creates the folder and every missing parent. Throws FileError.
void CreateFolders(const std::string& folder);
// Why nothing can be created in the existing folder: a file system mounted
// read-only, or permissions that refuse this process; nullopt when writing
// may work (a full disk shows only when something is written).
std::optional<std::string> FolderWriteRefusal(const std::string& folder);

// Who may read a file the player writes. Every file is created with 0666
// less the umask; a private one (it holds passwords) never lets group or
// others in, whatever the umask. A file that replaces another keeps no
// permission the old one lacked.
enum class FileAccess { kShared, kPrivate };

// Creates a new empty file beside `path`, in the same folder so that a rename
// can put it in place: named ".~qz" + path's name + "." + six letters or
// digits, with the permissions of access (see FileAccess), closed on exec.
// Returns its name; its descriptor goes to *fd and is the caller's. Throws FileError.
std::string CreateTempFileBeside(const std::string& path, int* fd, FileAccess access = FileAccess::kShared);
// The name is one that CreateTempFileBeside gives (the name part only); for
// a target's name, only one it gives beside that target.
bool IsTempFileBesideName(std::string_view name, std::string_view target = {});

// Replaces the file's content in one step: the bytes go to a temporary file
// in the same folder, which is flushed and renamed over the target. A failure
// leaves the old file as it was. Missing parent folders are created. Throws FileError.
void WriteFileAtomic(const std::string& path, std::string_view data, FileAccess access = FileAccess::kShared);

// Takes group's and others' permissions off the regular file (a link is left
// alone); true when none are left.
bool MakeFilePrivate(const std::string& path);

// Renames the file or folder to `to` in one step, never replacing anything
// that stands at `to`. Throws FileError naming from.
void MoveAside(const std::string& from, const std::string& to);

// The folder part with its trailing '/' ("" when there is none), and the name part.
std::string FolderPart(std::string_view path);
std::string NamePart(std::string_view path);
// Appends '/' unless the text is empty or already ends with one.
std::string WithTrailingSlash(std::string_view folder);

}  // namespace plat
