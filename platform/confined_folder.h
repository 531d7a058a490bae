// A folder held open, below which names are opened without ever leaving it.
//
// The folder is resolved once; every name is then walked component by
// component from the held descriptor, each step opened without following a
// link. A link met on the way is read and walked on in its place, as long as
// it stays below the folder; one that leads out is refused. What is read is
// the descriptor the walk opened, so a name cannot be swapped for a link
// between the check and the read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace plat {

class ConfinedFolder {
 public:
  // A regular file opened below the folder.
  struct OpenedFile {
    File file;
    int64_t size = 0;
    // Its place below the folder as it stands on disk: links resolved, names
    // in their own case, '/' between them.
    std::string real_name;
  };

  ConfinedFolder() = default;
  ~ConfinedFolder();
  ConfinedFolder(ConfinedFolder&& other) noexcept;
  ConfinedFolder& operator=(ConfinedFolder&& other) noexcept;
  ConfinedFolder(const ConfinedFolder&) = delete;
  ConfinedFolder& operator=(const ConfinedFolder&) = delete;

  // Holds the folder at path open. Throws FileError when it cannot be opened
  // or is no folder.
  static ConfinedFolder Open(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }
  // The folder's real path (absolute, links resolved, no trailing '/').
  const std::string& RealPath() const { return real_path_; }

  // Opens the regular file that name reaches below the folder. '/' and '\'
  // separate components; empty and "." ones are skipped, so a leading
  // separator still names something below the folder. A component not found
  // as written is looked for without regard to ASCII case (of several, the
  // first in byte order). Nullopt when the name holds NUL or a ".."
  // component, begins with a drive prefix ("C:"), is missing, leads out of
  // the folder through a link, or reaches no regular file (a FIFO or device
  // is refused without waiting on it).
  std::optional<OpenedFile> OpenFile(std::string_view name) const;

 private:
  ConfinedFolder(int fd, std::string real_path) : fd_(fd), real_path_(std::move(real_path)) {}

  int fd_ = -1;
  std::string real_path_;
};

}  // namespace plat
