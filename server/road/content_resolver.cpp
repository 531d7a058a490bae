#include "server/road/content_resolver.h"

#include <algorithm>

#include "content/debug_log.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/path_lookup.h"
#include "platform/paths.h"

namespace server {
namespace {

bool EndsWithText(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && plat::SameText(text.substr(text.size() - suffix.size()), suffix);
}

// The part after the last '/' or '\'.
std::string_view LastPart(std::string_view name) {
  const size_t separator = name.find_last_of("/\\");
  return separator == std::string_view::npos ? name : name.substr(separator + 1);
}

// A name no request may use at all.
bool IsRefused(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return true;
  if (TContentResolver::IsLearnerDataName(name)) {
    content::LogMessage("refused learner data: %s", std::string(name).c_str());
    return true;
  }
  return false;
}

}  // namespace

TContentResolver::TContentResolver() = default;
TContentResolver::~TContentResolver() = default;

void TContentResolver::Clear() {
  mode_ = Mode::kNone;
  folder_.clear();
  data_folder_.clear();
  package_.reset();
}

void TContentResolver::SetFolder(const std::string& folder) {
  Clear();
  mode_ = Mode::kFolder;
  folder_ = folder;
}

void TContentResolver::SetPackage(std::unique_ptr<content::TXORFileStream> package) {
  Clear();
  if (!package) return;
  mode_ = Mode::kPacked;
  package_ = std::move(package);
}

bool TContentResolver::IsLearnerDataName(std::string_view name) {
  size_t start = 0;
  for (;;) {
    const size_t end = name.find_first_of("/\\", start);
    const std::string_view part = name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (plat::SameText(part, "Sessions")) return true;
    if (end == std::string_view::npos) {
      return plat::SameText(part, "admin.sysdata") || plat::SameText(part, "TimeStamp.txt") ||
             EndsWithText(part, ".users.csv") || EndsWithText(part, ".groups.csv");
    }
    start = end + 1;
  }
}

std::optional<std::string> TContentResolver::ResolveInFolder(std::string_view name) const {
  if (mode_ != Mode::kFolder) return std::nullopt;
  // Handlers may name a file as content folder + name.
  if (name.starts_with(folder_)) name.remove_prefix(folder_.size());
  if (IsRefused(name)) return std::nullopt;
  const auto root = plat::ResolveUnder(folder_, "");
  auto path = plat::ResolveUnder(folder_, name);
  if (!root || !path) return std::nullopt;
  // A link inside the content may lead to learner data under another name.
  const std::string_view below = std::string_view(*path).substr(std::min(path->size(), root->size()));
  if (IsLearnerDataName(below) || IsInsideDataFolder(*root, *path)) {
    content::LogMessage("refused learner data: %s", path->c_str());
    return std::nullopt;
  }
  return path;
}

bool TContentResolver::IsInsideDataFolder(const std::string& root, const std::string& path) const {
  if (data_folder_.empty()) return false;
  const std::string data = plat::RealPath(data_folder_).value_or("");
  // A data folder that is gone holds nothing to refuse.
  if (data.empty()) return false;
  const std::string inside_root = root + '/';
  if (!data.starts_with(inside_root) || data.size() <= inside_root.size()) return false;
  return path == data || path.starts_with(data + '/');
}

bool TContentResolver::RequestedFileExists(std::string_view name) const {
  switch (mode_) {
    case Mode::kFolder: {
      const auto path = ResolveInFolder(name);
      return path && plat::FileExists(*path);
    }
    case Mode::kPacked:
      return !IsRefused(name) && package_->FileExists(name);
    case Mode::kNone:
      break;
  }
  return false;
}

std::unique_ptr<TContentFile> TContentResolver::Open(std::string_view name) const {
  switch (mode_) {
    case Mode::kFolder: {
      const auto path = ResolveInFolder(name);
      return path ? OpenDiskContentFile(*path) : nullptr;
    }
    case Mode::kPacked:
      if (IsRefused(name)) return nullptr;
      return MakeEntryContentFile(package_->OpenFile(LastPart(name)));
    case Mode::kNone:
      break;
  }
  return nullptr;
}

}  // namespace server
