#include "platform/path_lookup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace plat {

namespace {

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

std::optional<std::string> WorkingFolder() {
  const std::unique_ptr<char, FreeDeleter> cwd(::getcwd(nullptr, 0));
  if (!cwd) return std::nullopt;
  return std::string(cwd.get());
}

// The components of a path, split at '/', with "." dropped and ".." taking
// back the component before it (above the root nothing is taken back).
std::vector<std::string> NormalComponents(const std::string& path, bool absolute) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == ".." && !parts.empty() && parts.back() != "..") {
      parts.pop_back();
    } else if (part != ".." || !absolute) {
      parts.push_back(part);
    }
  }
  return parts;
}

// The path ends in a folder: in '/', "." or "..".
bool EndsInFolder(const std::string& path) {
  return path.ends_with('/') || path == "." || path == ".." || path.ends_with("/.") || path.ends_with("/..");
}

}  // namespace

std::optional<std::string> RealPath(const std::string& path) {
  const std::unique_ptr<char, FreeDeleter> real(::realpath(path.c_str(), nullptr));
  if (!real) return std::nullopt;
  return std::string(real.get());
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::string whole = path;
  if (!path.starts_with('/')) {
    if (const std::optional<std::string> cwd = WorkingFolder()) {
      whole = *cwd;
      whole += '/';
      whole += path;
    }
  }
  const bool absolute = whole.starts_with('/');
  const std::vector<std::string> parts = NormalComponents(whole, absolute);
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += '/';
    out += parts[i];
  }
  // A last ".." that stays names a folder without a trailing '/'.
  if (!parts.empty() && parts.back() != ".." && EndsInFolder(path)) out += '/';
  return out.empty() ? std::string(".") : out;
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string ProgramFile() {
  std::string target(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
  if (length <= 0 || static_cast<size_t>(length) >= target.size() || target[0] != '/') return "";
  target.resize(static_cast<size_t>(length));
  return target;
}

}  // namespace plat
