#include "content/xor_file_stream.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "content/debug_log.h"
#include "content/package_scramble.h"
#include "platform/ascii.h"
#include "platform/file.h"
#include "platform/files.h"
#include "platform/removal.h"

namespace content {
namespace {

constexpr int64_t kMagicSize = 4;
constexpr int64_t kOffsetFieldSize = 8;
constexpr int64_t kEntryOffsetField = 264;
constexpr int64_t kEntrySizeField = 272;

int64_t LoadInt64(const char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return static_cast<int64_t>(v);
}

void StoreInt64(char* p, int64_t value) {
  auto v = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i, v >>= 8) p[i] = static_cast<char>(v & 0xFF);
}

void ReadExactly(const plat::File& file, char* out, int64_t count, int64_t offset) {
  if (file.ReadAt(out, count, offset) != count) throw plat::FileError(file.path(), "file shrank while being read");
}

// A directory record, its name cut at the first NUL (or at the field's end
// when it has none) and its data range fitted to the file, so that no size
// handed out promises bytes that are not there.
TXORFileEntry ParseEntry(const char* record, int64_t file_size) {
  TXORFileEntry entry;
  const void* nul = std::memchr(record, '\0', kPackageNameFieldSize);
  const size_t name_length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - record)
                                 : static_cast<size_t>(kPackageNameFieldSize);
  entry.name.assign(record, name_length);
  const int64_t offset = LoadInt64(record + kEntryOffsetField);
  const int64_t size = LoadInt64(record + kEntrySizeField);
  if (offset < 0 || offset > file_size) {
    entry.offset = std::clamp<int64_t>(offset, 0, file_size);
    entry.size = 0;
  } else {
    entry.offset = offset;
    entry.size = std::clamp<int64_t>(size, 0, file_size - offset);
  }
  return entry;
}

// The SHA-256 digest of the bytes in lower-case hexadecimal.
std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) return "";
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 0x0F];
  }
  return hex;
}

void CheckEntryName(std::string_view name, const std::string& path) {
  if (name.empty()) throw PackageFormatError(path, "an entry needs a name");
  if (static_cast<int64_t>(name.size()) >= kPackageNameFieldSize)
    throw PackageFormatError(path, "entry name longer than 263 bytes: " + std::string(name));
  if (name.find_first_of(std::string_view("\0/\\", 3)) != std::string_view::npos)
    throw PackageFormatError(path, "entry name holds NUL or a folder separator: " + std::string(name));
}

}  // namespace

PackageFormatError::PackageFormatError(const std::string& path, const std::string& reason)
    : std::runtime_error("Not a usable package \"" + path + "\": " + reason), path_(path), reason_(reason) {}

bool IsXORFileStream(const std::string& path) {
  LogMessage("IsXORFileStream");
  LogMessage("Open File %s", path.c_str());
  plat::File file;
  try {
    file = plat::File::OpenToRead(path);
  } catch (const plat::FileError&) {
    // Missing, unreadable or no regular file: no package.
  }
  LogMessage("fileid = %d", file.Id());
  if (!file.IsOpen()) return false;
  char head[kMagicSize];
  try {
    if (file.ReadAt(head, kMagicSize, 0) != kMagicSize) return false;
  } catch (const plat::FileError&) {
    return false;
  }
  uint32_t magic = 0;
  for (int i = 3; i >= 0; --i) magic = (magic << 8) | static_cast<unsigned char>(head[i]);
  LogMessage("Read indent = %d == %d", static_cast<int32_t>(magic), static_cast<int32_t>(kPackageMagic));
  return magic == kPackageMagic;
}

TXORFileStream::TXORFileStream(const std::string& path, Mode mode, std::string_view key) : mode_(mode) {
  if (key.empty()) throw std::invalid_argument("the package key must not be empty");
  if (mode_ == kRead) {
    plat::File file;
    try {
      file = plat::File::OpenToRead(path);
    } catch (const plat::NotRegularFileError&) {
      throw PackageFormatError(path, "not a regular file");
    }
    shared_ = std::make_shared<const TXORPackageShared>(path, key, std::move(file));
    LoadDirectory();
    return;
  }
  shared_ = std::make_shared<const TXORPackageShared>(path, key, plat::File());
  file_ = plat::File::CreateBeside(path);
  temp_path_ = file_.path();
  uncaught_at_creation_ = std::uncaught_exceptions();
  try {
    char magic[kMagicSize];
    for (int i = 0; i < kMagicSize; ++i) magic[i] = static_cast<char>((kPackageMagic >> (8 * i)) & 0xFF);
    file_.WriteAt(magic, kMagicSize, 0);
    write_offset_ = kMagicSize;
  } catch (...) {
    DiscardUnfinished();
    throw;
  }
}

TXORFileStream::~TXORFileStream() {
  if (mode_ == kCreate && !finished_) {
    // A writer abandoned by an exception must not replace a good package with
    // a partial one; otherwise the destructor completes the package.
    if (std::uncaught_exceptions() > uncaught_at_creation_) {
      DiscardUnfinished();
    } else {
      try {
        Finish();
      } catch (...) {
        DiscardUnfinished();
      }
    }
  }
}

void TXORFileStream::LoadDirectory() {
  const std::string& path = shared_->path;
  const plat::File& file = shared_->file;
  const int64_t file_size = file.GetStatus().size;
  if (file_size < kMagicSize + kOffsetFieldSize)
    throw PackageFormatError(path, "only " + std::to_string(file_size) + " bytes long");

  char tail[kOffsetFieldSize];
  ReadExactly(file, tail, kOffsetFieldSize, file_size - kOffsetFieldSize);
  const int64_t directory_offset = LoadInt64(tail);
  if (directory_offset < kMagicSize || directory_offset > file_size - kOffsetFieldSize)
    throw PackageFormatError(path, "directory offset " + std::to_string(directory_offset) + " lies outside the file");

  std::string directory(static_cast<size_t>(file_size - kOffsetFieldSize - directory_offset), '\0');
  ReadExactly(file, directory.data(), static_cast<int64_t>(directory.size()), directory_offset);
  identity_ = std::to_string(file_size) + "-" + Sha256Hex(directory);
  shared_->key.Apply(directory.data(), directory.size(), 0);

  // A remainder shorter than one record is ignored.
  const size_t count = directory.size() / kPackageDirectoryEntrySize;
  entries_.reserve(count);
  index_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    entries_.push_back(ParseEntry(directory.data() + i * kPackageDirectoryEntrySize, file_size));
    index_.emplace(plat::AsciiLowerCase(entries_.back().name), i);  // the first of a name stays
  }
}

void TXORFileStream::DiscardUnfinished() noexcept {
  if (!temp_path_.empty()) plat::RemoveFile(temp_path_);
  temp_path_.clear();
  finished_ = true;
}

const TXORFileEntry* TXORFileStream::Find(std::string_view name) const {
  const auto found = index_.find(plat::AsciiLowerCase(name));
  return found == index_.end() ? nullptr : &entries_[found->second];
}

std::unique_ptr<TXORFileHandle> TXORFileStream::OpenFile(std::string_view name) const {
  const TXORFileEntry* entry = Find(name);
  if (!entry) return nullptr;
  const auto size = static_cast<uint64_t>(entry->size);
  LogMessage("Filename to get: %s %d %d", entry->name.c_str(), static_cast<int32_t>(size & 0xFFFFFFFFu),
             static_cast<int32_t>(size >> 32));
  // On the very file the directory came from.
  return std::make_unique<TXORFileHandle>(shared_, entry->offset, entry->size);
}

void TXORFileStream::CloseFile(std::unique_ptr<TXORFileHandle> handle) const { handle.reset(); }

int64_t TXORFileStream::Read(TXORFileHandle& handle, void* buffer, int64_t count) const {
  return handle.Read(buffer, count);
}

int64_t TXORFileStream::GetOpenFileSize(const TXORFileHandle& handle) const { return handle.GetSize(); }

int64_t TXORFileStream::GetFileSize(std::string_view name) const {
  const TXORFileEntry* entry = Find(name);
  return entry ? entry->size : 0;
}

bool TXORFileStream::FileExists(std::string_view name) const { return Find(name) != nullptr; }

bool TXORFileStream::ReadToStream(std::string_view name, std::string& stream) const {
  std::unique_ptr<TXORFileHandle> handle = OpenFile(name);
  if (!handle) return false;
  std::string bytes(static_cast<size_t>(handle->GetSize()), '\0');
  bytes.resize(static_cast<size_t>(handle->Read(bytes.data(), handle->GetSize())));
  stream = std::move(bytes);
  return true;
}

std::string TXORFileStream::ReadToString(std::string_view name) const {
  std::string text;
  if (!ReadToStream(name, text)) return "";
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

std::string TXORFileStream::ExtractToTempFile(std::string_view name) const {
  std::unique_ptr<TXORFileHandle> handle = OpenFile(name);
  if (!handle) return "";
  plat::File temp = plat::File::CreateTemporary();
  try {
    char block[4096];
    while (const int64_t n = handle->Read(block, sizeof block)) temp.Write(block, n);
    temp.Close();
  } catch (...) {
    plat::RemoveFile(temp.path());
    throw;
  }
  return temp.path();
}

bool TXORFileStream::GetFileTime(int64_t* creation, int64_t* last_access, int64_t* last_write) const {
  if (mode_ != kRead) return false;
  plat::File::Status status;
  try {
    status = shared_->file.GetStatus();
  } catch (const plat::FileError&) {
    return false;
  }
  if (creation) *creation = status.modified;
  if (last_access) *last_access = status.accessed;
  if (last_write) *last_write = status.modified;
  return true;
}

void TXORFileStream::AddFile(std::string_view name, std::string_view data) {
  if (mode_ != kCreate || finished_) throw std::logic_error("entries can only be added to a package being created");
  CheckEntryName(name, shared_->path);
  std::string scrambled(data);
  shared_->key.Apply(scrambled.data(), scrambled.size(), 0);
  file_.WriteAt(scrambled.data(), static_cast<int64_t>(scrambled.size()), write_offset_);
  entries_.push_back(TXORFileEntry{std::string(name), write_offset_, static_cast<int64_t>(data.size())});
  write_offset_ += static_cast<int64_t>(data.size());
}

void TXORFileStream::Finish() {
  if (mode_ != kCreate) throw std::logic_error("only a package being created can be finished");
  if (finished_) return;
  std::string tail(entries_.size() * kPackageDirectoryEntrySize + kOffsetFieldSize, '\0');
  for (size_t i = 0; i < entries_.size(); ++i) {
    char* record = tail.data() + i * kPackageDirectoryEntrySize;
    std::memcpy(record, entries_[i].name.data(), entries_[i].name.size());
    StoreInt64(record + kEntryOffsetField, entries_[i].offset);
    StoreInt64(record + kEntrySizeField, entries_[i].size);
  }
  shared_->key.Apply(tail.data(), entries_.size() * kPackageDirectoryEntrySize, 0);
  StoreInt64(tail.data() + tail.size() - kOffsetFieldSize, write_offset_);

  file_.WriteAt(tail.data(), static_cast<int64_t>(tail.size()), write_offset_);
  file_.Sync();
  plat::RenameFile(temp_path_, shared_->path);
  temp_path_.clear();
  finished_ = true;
}

}  // namespace content
