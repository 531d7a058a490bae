// The content package: one file holding every content file, scrambled.
//
// Layout (integers little-endian): the magic (4 bytes, plain), then the
// entries' data, each entry scrambled as a run of its own, then the directory
// (288-byte records: name[264] NUL-terminated, offset int64, size int64,
// 8 unused bytes), scrambled as one run, then the directory's offset (int64,
// plain) in the last 8 bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "content/xor_file_handle.h"
#include "platform/file.h"

namespace content {

inline constexpr uint32_t kPackageMagic = 0x67248944;
// The key every package of the system is scrambled with.
inline constexpr std::string_view kPackageKey =
    "qowieurhtnbvmslkdj482p7xcvz  ggg plkmoiuj wert 90871P33QEkkkRTHW MM20761Bzzqre;x;c''t=+=+7319 ";

inline constexpr int64_t kPackageDirectoryEntrySize = 288;
inline constexpr int64_t kPackageNameFieldSize = 264;

// A package whose layout cannot be read (too short, directory offset out of
// range), or an entry the writer cannot store.
class PackageFormatError : public std::runtime_error {
 public:
  PackageFormatError(const std::string& path, const std::string& reason);
  const std::string& path() const { return path_; }
  // What is wrong with it, without the path.
  const std::string& reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

// True when the file opens and its first 4 bytes hold the package magic.
bool IsXORFileStream(const std::string& path);

// One directory record as the reader serves it: the offset and size are
// already fitted to the file, so every size reported can be read.
struct TXORFileEntry {
  std::string name;
  int64_t offset = 0;
  int64_t size = 0;
};

// Reads a package (read mode) or writes one (create mode).
//
// Read mode loads the directory once and indexes it; entries are then found by
// name without regard to ASCII case, the first match in directory order
// winning. The reader takes no lock: every handle reads at its own offsets and
// keeps the package's file and key alive, so handles may outlive the reader.
//
// Create mode writes into a temporary file beside path; Finish (or the
// destructor) appends the directory and renames the file over path.
class TXORFileStream {
 public:
  enum Mode { kCreate = 0, kRead = 1 };

  // Read mode: throws plat::FileError when the file cannot be opened or read,
  // PackageFormatError when it is no package. Create mode: throws
  // plat::FileError when the temporary file cannot be created. Both throw
  // std::invalid_argument for an empty key.
  TXORFileStream(const std::string& path, Mode mode, std::string_view key);
  // Create mode: finishes the package unless Finish ran or an exception is
  // unwinding through the writer's owner, in which case nothing replaces path.
  ~TXORFileStream();
  TXORFileStream(const TXORFileStream&) = delete;
  TXORFileStream& operator=(const TXORFileStream&) = delete;

  // A new handle at position 0 on the first entry named so; null when none is.
  std::unique_ptr<TXORFileHandle> OpenFile(std::string_view name) const;
  void CloseFile(std::unique_ptr<TXORFileHandle> handle) const;
  // The handle's own Read; a handle can also be read directly.
  int64_t Read(TXORFileHandle& handle, void* buffer, int64_t count) const;
  int64_t GetOpenFileSize(const TXORFileHandle& handle) const;

  // The named entry's size; 0 when absent.
  int64_t GetFileSize(std::string_view name) const;
  bool FileExists(std::string_view name) const;
  // stream becomes the entry's bytes; false (stream untouched) when absent.
  bool ReadToStream(std::string_view name, std::string& stream) const;
  // The entry's text up to its first NUL byte; "" when absent.
  std::string ReadToString(std::string_view name) const;
  // Copies the entry into a new "~qz" temporary file and returns its path,
  // which the caller deletes; "" when absent. Throws plat::FileError.
  std::string ExtractToTempFile(std::string_view name) const;
  // The package file's times in UTC seconds; the creation time is the
  // modification time. Any pointer may be null. False in create mode.
  bool GetFileTime(int64_t* creation, int64_t* last_access, int64_t* last_write) const;

  // Create mode: appends one entry. name is a file name without folder, 1 to
  // 263 bytes, no NUL, '/' or '\'. Throws PackageFormatError for a bad name,
  // plat::FileError when writing fails, std::logic_error in read mode or after Finish.
  void AddFile(std::string_view name, std::string_view data);
  // Create mode: writes the directory and its offset, flushes and renames the
  // file over path. Throws plat::FileError; the old file at path then stays.
  void Finish();

  const std::string& GetPath() const { return shared_->path; }
  // Read mode: what tells this package from another build of it more
  // steadily than its time, which a plain copy changes: the file's size and
  // a digest of its directory (every entry's name, place and size), as text.
  // A copy of the same package gives the same text. "" in create mode.
  const std::string& GetIdentity() const { return identity_; }

 private:
  void LoadDirectory();
  void DiscardUnfinished() noexcept;
  const TXORFileEntry* Find(std::string_view name) const;

  std::vector<TXORFileEntry> entries_;
  std::string identity_;
  // Read mode: each name, ASCII lower-cased, to its first entry.
  std::unordered_map<std::string, size_t> index_;
  // Create mode: the file being written.
  plat::File file_;
  Mode mode_;
  std::shared_ptr<const TXORPackageShared> shared_;
  // Create mode only.
  std::string temp_path_;
  int64_t write_offset_ = 0;
  bool finished_ = false;
  int uncaught_at_creation_ = 0;
};

}  // namespace content
