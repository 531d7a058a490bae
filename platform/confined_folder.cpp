#include "platform/confined_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "platform/path_lookup.h"

namespace plat {
namespace {

// As many links as the system itself follows in one path.
constexpr int kMaxLinks = 40;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

int OpenAt(int folder, const std::string& name, int flags) {
  int fd;
  do {
    fd = ::openat(folder, name.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The components of text, in reverse order (the next one last), without the
// empty and "." ones.
void PushComponents(std::string_view text, bool backslash_separates, std::vector<std::string>& pending) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '/' && !(backslash_separates && text[end] == '\\')) ++end;
    const std::string_view part = text.substr(start, end - start);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  pending.insert(pending.end(), parts.rbegin(), parts.rend());
}

bool IsDrivePrefix(std::string_view part) {
  const char c = part.size() >= 2 ? AsciiUpper(part[0]) : '\0';
  return c >= 'A' && c <= 'Z' && part[1] == ':';
}

// The entry of the folder equal to name under ASCII case folding; of several
// the first in byte order.
std::optional<std::string> FindFolded(int folder, const std::string& name) {
  const int fd = OpenAt(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return std::nullopt;
  }
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view entry_name = entry->d_name;
    if (entry_name == "." || entry_name == "..") continue;
    if (SameText(entry_name, name) && (!best || entry_name < *best)) best = std::string(entry_name);
  }
  ::closedir(dir);
  return best;
}

std::optional<std::string> ReadLinkAt(int folder, const std::string& name) {
  std::string target(4096, '\0');
  const ssize_t length = ::readlinkat(folder, name.c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<size_t>(length) >= target.size()) return std::nullopt;
  target.resize(static_cast<size_t>(length));
  return target;
}

// One step of a walk: what a component of a folder turned out to be.
struct Step {
  enum Kind { kMissing, kRefused, kFolder, kFile, kLink } kind = kMissing;
  int fd = -1;         // kFolder, kFile: owned by the taker
  std::string name;    // kFolder, kFile: the name as it stands on disk
  std::string target;  // kLink
};

// Opens part of folder without following a link: as a folder unless it is
// the last component, else for reading. A name missing as written is tried
// once more as found without regard to case.
Step OpenStep(int folder, const std::string& part, bool last) {
  const int flags = last ? O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC
                         : O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  std::string name = part;
  for (bool folded = false;; folded = true) {
    const int fd = OpenAt(folder, name, flags);
    if (fd >= 0) return Step{last ? Step::kFile : Step::kFolder, fd, std::move(name), {}};
    if (errno == ELOOP || errno == ENOTDIR) {
      // A link, or a file where a folder must stand.
      std::optional<std::string> target = ReadLinkAt(folder, name);
      if (!target) return Step{Step::kRefused, -1, {}, {}};
      return Step{Step::kLink, -1, {}, std::move(*target)};
    }
    if (errno != ENOENT || folded) return Step{Step::kMissing, -1, {}, {}};
    std::optional<std::string> found = FindFolded(folder, part);
    if (!found || *found == name) return Step{Step::kMissing, -1, {}, {}};
    name = std::move(*found);
  }
}

}  // namespace

ConfinedFolder::~ConfinedFolder() {
  if (fd_ >= 0) ::close(fd_);
}

ConfinedFolder::ConfinedFolder(ConfinedFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), real_path_(std::move(other.real_path_)) {}

ConfinedFolder& ConfinedFolder::operator=(ConfinedFolder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    real_path_ = std::move(other.real_path_);
  }
  return *this;
}

ConfinedFolder ConfinedFolder::Open(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) throw FileError(path, "no folder name");
  const std::optional<std::string> real = plat::RealPath(path);
  if (!real) throw FileError(path, std::strerror(errno));
  const int fd = OpenAt(AT_FDCWD, *real, O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw FileError(path, std::strerror(errno));
  return ConfinedFolder(fd, *real == "/" ? std::string() : *real);
}

std::optional<ConfinedFolder::OpenedFile> ConfinedFolder::OpenFile(std::string_view name) const {
  if (fd_ < 0 || name.find('\0') != std::string_view::npos) return std::nullopt;
  std::vector<std::string> pending;
  PushComponents(name, true, pending);
  if (!pending.empty() && IsDrivePrefix(pending.back())) return std::nullopt;
  for (const std::string& part : pending)
    if (part == "..") return std::nullopt;

  std::vector<Descriptor> folders;  // opened below the folder, innermost last
  std::vector<std::string> names;   // their names on disk
  int links = 0;
  while (!pending.empty()) {
    std::string part = std::move(pending.back());
    pending.pop_back();
    if (part == "..") {
      // Only a link's target gets here; it may not climb above the folder.
      if (folders.empty()) return std::nullopt;
      folders.pop_back();
      names.pop_back();
      continue;
    }
    const bool last = pending.empty();
    Step step = OpenStep(folders.empty() ? fd_ : folders.back().get(), part, last);
    switch (step.kind) {
      case Step::kFolder:
        folders.emplace_back(step.fd);
        names.push_back(std::move(step.name));
        break;
      case Step::kFile: {
        Descriptor file(step.fd);
        struct stat st {};
        // A pipe or a device has no end that a read could wait for.
        if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        names.push_back(std::move(step.name));
        std::string real_name;
        for (const std::string& n : names) real_name += (real_name.empty() ? "" : "/") + n;
        OpenedFile opened{File(file.release(), real_path_ + '/' + real_name), st.st_size, std::move(real_name)};
        return opened;
      }
      case Step::kLink:
        if (++links > kMaxLinks) return std::nullopt;
        if (step.target.starts_with('/')) {
          // Absolute: only a target inside the folder's real path stays below it.
          if (!step.target.starts_with(real_path_ + '/')) return std::nullopt;
          folders.clear();
          names.clear();
          step.target.erase(0, real_path_.size());
        }
        PushComponents(step.target, false, pending);
        break;
      case Step::kMissing:
      case Step::kRefused:
        return std::nullopt;
    }
  }
  return std::nullopt;  // the name ends at a folder
}

}  // namespace plat
