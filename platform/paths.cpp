#include "platform/paths.h"

#include <dirent.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/ascii.h"
#include "platform/files.h"

namespace plat {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The components of a name, without the empty and "." ones.
std::vector<std::string_view> SplitComponents(std::string_view name) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::string_view part = name.substr(start, end - start);
    if (!part.empty() && part != ".") parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

bool HasParentComponent(const std::vector<std::string_view>& parts) {
  for (std::string_view part : parts)
    if (part == "..") return true;
  return false;
}

bool IsDrivePrefix(std::string_view part) {
  const char c = part.size() >= 2 ? AsciiUpper(part[0]) : '\0';
  return c >= 'A' && c <= 'Z' && part[1] == ':';
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// The entry of `folder` (ending in '/', or empty for the working folder) that
// stands for `name`: the exact name first, else the first case-folded match.
std::optional<std::string> FindEntry(const std::string& folder, std::string_view name) {
  if (PathExists(folder + std::string(name))) return std::string(name);
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view entry_name = entry->d_name;
    if (entry_name == "." || entry_name == "..") continue;
    if (SameText(entry_name, name) && (!best || entry_name < *best)) best = std::string(entry_name);
  }
  return best;
}

// Walks every component below `folder`: all but the last must be folders.
std::optional<std::string> FindComponents(std::string folder, const std::vector<std::string_view>& parts,
                                          bool allow_missing_last) {
  for (size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    const std::optional<std::string> found = FindEntry(folder, parts[i]);
    if (!found) {
      if (last && allow_missing_last) return folder + std::string(parts[i]);
      return std::nullopt;
    }
    if (last) return folder + *found;
    folder += *found;
    if (!FolderExists(folder)) return std::nullopt;
    folder += '/';
  }
  return folder;
}

std::optional<std::string> RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  if (!real) return std::nullopt;
  return std::string(real.get());
}

bool IsInside(const std::string& path, const std::string& root_real) {
  if (path == root_real) return true;
  const std::string prefix = WithTrailingSlash(root_real);
  return path.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string ToForwardSlashes(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::optional<std::string> FindCaseInsensitive(const std::string& folder, std::string_view relative) {
  if (folder.find('\0') != std::string::npos || relative.find('\0') != std::string_view::npos)
    return std::nullopt;
  const std::vector<std::string_view> parts = SplitComponents(relative);
  if (HasParentComponent(parts)) return std::nullopt;
  if (parts.empty())
    return PathExists(folder.empty() ? "." : folder) ? std::optional(WithTrailingSlash(folder))
                                                     : std::nullopt;
  return FindComponents(WithTrailingSlash(folder), parts, false);
}

std::optional<std::string> ResolveUnder(const std::string& root, std::string_view name,
                                        MissingLast missing_last) {
  if (root.empty() || root.find('\0') != std::string::npos || name.find('\0') != std::string_view::npos)
    return std::nullopt;
  const std::vector<std::string_view> parts = SplitComponents(name);
  if (HasParentComponent(parts) || (!parts.empty() && IsDrivePrefix(parts.front()))) return std::nullopt;

  const std::optional<std::string> root_real = RealPath(root);
  if (!root_real || !FolderExists(*root_real)) return std::nullopt;
  if (parts.empty()) return root_real;

  const std::optional<std::string> found =
      FindComponents(WithTrailingSlash(*root_real), parts, missing_last == MissingLast::kAllow);
  if (!found) return std::nullopt;

  std::optional<std::string> real = RealPath(*found);
  if (!real) {
    // Only a name that is not there at all may be new; a dangling link is not new.
    if (missing_last != MissingLast::kAllow || PathExists(*found)) return std::nullopt;
    const std::optional<std::string> folder_real = RealPath(FolderPart(*found));
    if (!folder_real) return std::nullopt;
    real = WithTrailingSlash(*folder_real) + NamePart(*found);
  }
  if (!IsInside(*real, *root_real)) return std::nullopt;
  return real;
}

}  // namespace plat
