// A file written under a temporary name beside its target and renamed into
// place only when it is complete, so the target holds the old or the whole
// new content, never half of it.
#pragma once

#include <string>
#include <string_view>

#include "platform/file.h"

namespace plat {

class AtomicFile {
 public:
  // Creates the temporary file beside path, with the permissions of access;
  // the folder must exist. Throws FileError.
  explicit AtomicFile(std::string path, FileAccess access = FileAccess::kShared);
  // Removes the temporary file unless Commit succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Appends to the temporary file. Throws FileError; after Commit, always.
  void Write(std::string_view data);
  // Flushes the temporary file to disk and renames it over the target.
  // Throws FileError naming the target, which stays as it was.
  void Commit();
  const std::string& path() const { return path_; }

 private:
  void Discard() noexcept;

  std::string path_;
  File temp_;
};

}  // namespace plat
