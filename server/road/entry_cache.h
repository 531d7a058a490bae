// Package entries kept unscrambled once read, so that the pages and movies a
// course serves again and again cost neither a read nor descrambling. Small
// entries are kept in memory and go out with their header in one send;
// larger ones in a file that lives in memory, sent from there as disk files
// are. Bounded: only entries up to kMaxEntrySize are kept, and when a new one
// would pass kBudget the cache starts afresh. Used on the server's loop only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "content/xor_file_handle.h"
#include "platform/file.h"

namespace server {

// One kept entry: its bytes in memory, or a stretch of the cache's file.
struct TKeptEntry {
  std::shared_ptr<const std::string> bytes;
  std::shared_ptr<const plat::File> file;
  int64_t offset = 0;
  int64_t size = 0;
};

class TEntryCache {
 public:
  static constexpr int64_t kMaxEntrySize = 1 << 20;
  static constexpr int64_t kMaxInMemorySize = 16 << 10;
  static constexpr int64_t kBudget = 64 << 20;

  // The entry the handle is open on (at position 0): kept, or read now
  // through the handle and kept. Nullopt for an entry larger than
  // kMaxEntrySize, the handle untouched then. A package cut short gives the
  // bytes there are in memory, not kept. Throws plat::FileError when the
  // package cannot be read.
  std::optional<TKeptEntry> Get(content::TXORFileHandle& handle);
  void Clear();

 private:
  // Puts bytes into the cache's file; nullopt when it cannot.
  std::optional<TKeptEntry> Store(const std::string& bytes);

  // By the entry's offset and size.
  std::map<std::pair<int64_t, int64_t>, TKeptEntry> entries_;
  int64_t bytes_ = 0;
  std::shared_ptr<plat::File> file_;
  int64_t file_size_ = 0;
};

}  // namespace server
