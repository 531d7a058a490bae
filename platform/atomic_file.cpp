#include "platform/atomic_file.h"

#include "platform/removal.h"

namespace plat {

AtomicFile::AtomicFile(std::string path, FileAccess access)
    : path_(std::move(path)), temp_(File::CreateBeside(path_, access)) {}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() noexcept {
  if (temp_.path().empty()) return;
  const std::string temp = temp_.path();
  temp_ = File();
  RemoveFile(temp);
}

void AtomicFile::Write(std::string_view data) {
  if (!temp_.IsOpen()) throw FileError(path_, "the file is closed");
  try {
    temp_.Write(data);
  } catch (const FileError& e) {
    throw FileError(path_, e.reason());
  }
}

void AtomicFile::Commit() {
  if (!temp_.IsOpen()) throw FileError(path_, "the file is closed");
  try {
    temp_.Sync();
    temp_.Close();
    RenameFile(temp_.path(), path_);
  } catch (const FileError& e) {
    Discard();
    // The reason, under the name the caller gave.
    throw FileError(path_, e.reason());
  }
  temp_ = File();
}

}  // namespace plat
