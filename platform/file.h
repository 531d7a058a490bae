// One open file, closed when the object goes. Every read and write goes on
// after an interrupting signal and throws FileError, naming the file, when it
// fails; the descriptor is closed on exec.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace plat {

// A path that names a folder, FIFO, device or socket where a regular file
// must stand.
class NotRegularFileError : public FileError {
 public:
  using FileError::FileError;
};

// Whether opening follows a link that stands at the path's last component.
enum class FollowLinks { kYes, kNo };

// How File::Open opens a file for writing.
enum class OpenFor {
  kWrite,      // an existing file, write only
  kReadWrite,  // an existing file
  kCreate,     // read and write, created when missing, emptied when present
  kAppend,     // write only, always at the end, created when missing
};

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens a file to read its data, the one way every data file is opened:
  // regular files only (a folder, FIFO, device or socket is refused, and a
  // FIFO never holds the open waiting for a writer), and with
  // FollowLinks::kNo a link at the last component is refused too. Throws
  // NotRegularFileError ("is a folder", "not a regular file") or FileError.
  static File OpenToRead(const std::string& path, FollowLinks links = FollowLinks::kYes);
  // Opens (or creates, mode 0666 less the umask) a file for writing.
  // Throws FileError.
  static File Open(const std::string& path, OpenFor mode);
  // A new empty file beside path, in the same folder so that a rename can
  // put it in place, as CreateTempFileBeside makes it; path() names it.
  // Throws FileError.
  static File CreateBeside(const std::string& path, FileAccess access = FileAccess::kShared);
  // A new temporary file in TempFolder(), mode 0600, named "~qz" and a
  // unique suffix; path() names it. Throws FileError.
  static File CreateTemporary();
  // A new empty file that lives in memory only and is gone with its last
  // descriptor; path() is the name given, for messages. Throws FileError.
  static File CreateInMemory(const std::string& name);

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  // The system's number for the open file, for the debug log; -1 when closed.
  int Id() const { return fd_; }

  // Up to count bytes from the current position; fewer only at the end.
  int64_t Read(void* buffer, int64_t count);
  // Up to count bytes from offset, the position unchanged; fewer only at the end.
  int64_t ReadAt(void* buffer, int64_t count, int64_t offset) const;
  // Writes every byte at the current position, or at offset.
  void Write(const void* data, int64_t count);
  void Write(std::string_view data) { Write(data.data(), static_cast<int64_t>(data.size())); }
  void WriteAt(const void* data, int64_t count, int64_t offset);

  enum class From { kStart, kCurrent, kEnd };
  // Moves the position; gives the new one.
  int64_t Seek(int64_t offset, From from);
  // Cuts or extends the file to size bytes.
  void Truncate(int64_t size);
  // Writes the file's data through to the disk.
  void Sync();

  struct Status {
    bool regular = false;
    int64_t size = 0;
    int64_t modified = 0;  // UTC seconds; it also stands for the creation time
    int64_t accessed = 0;  // UTC seconds
  };
  Status GetStatus() const;

  // Closes now; a failure to close (a write the disk refused late) throws.
  void Close();

 private:
  friend class ConfinedFolder;
  File(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  int fd_ = -1;
  std::string path_;
};

// Appends the text to the file, created when missing. Throws FileError.
void AppendToFile(const std::string& path, std::string_view text);
// Renames from over to in one step. Throws FileError naming to.
void RenameFile(const std::string& from, const std::string& to);

}  // namespace plat
