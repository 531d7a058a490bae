#include "server/road/entry_cache.h"

#include "content/debug_log.h"

namespace server {

std::optional<TKeptEntry> TEntryCache::Get(content::TXORFileHandle& handle) {
  const int64_t size = handle.GetSize();
  if (size > kMaxEntrySize) return std::nullopt;
  const std::pair<int64_t, int64_t> key(handle.GetStart(), size);
  if (const auto found = entries_.find(key); found != entries_.end()) return found->second;

  std::string bytes(static_cast<size_t>(size), '\0');
  int64_t done = 0;
  while (done < size) {
    const int64_t got = handle.Read(bytes.data() + done, size - done);
    if (got <= 0) break;
    done += got;
  }
  bytes.resize(static_cast<size_t>(done));
  if (done < size) return TKeptEntry{std::make_shared<const std::string>(std::move(bytes)), nullptr, 0, done};

  if (bytes_ + size > kBudget) Clear();
  std::optional<TKeptEntry> kept;
  if (size > kMaxInMemorySize) kept = Store(bytes);
  if (!kept) kept = TKeptEntry{std::make_shared<const std::string>(std::move(bytes)), nullptr, 0, size};
  entries_.emplace(key, *kept);
  bytes_ += size;
  return kept;
}

std::optional<TKeptEntry> TEntryCache::Store(const std::string& bytes) {
  try {
    if (!file_) {
      file_ = std::make_shared<plat::File>(plat::File::CreateInMemory("package entries"));
      file_size_ = 0;
    }
    const auto size = static_cast<int64_t>(bytes.size());
    file_->WriteAt(bytes.data(), size, file_size_);
    TKeptEntry kept{nullptr, file_, file_size_, size};
    file_size_ += size;
    return kept;
  } catch (const plat::FileError& e) {
    content::LogMessage("cannot keep a package entry in a file: %s", e.what());
    return std::nullopt;
  }
}

void TEntryCache::Clear() {
  entries_.clear();
  bytes_ = 0;
  // Replies under way keep the old file until they are done.
  file_.reset();
  file_size_ = 0;
}

}  // namespace server
