#include "server/road/content_resolver.h"

#include <algorithm>

#include "content/debug_log.h"
#include "platform/ascii.h"
#include "platform/path_lookup.h"

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
  root_ = plat::ConfinedFolder();
  data_folder_.clear();
  data_below_.reset();
  package_.reset();
  entries_.Clear();
}

void TContentResolver::SetFolder(const std::string& folder) {
  Clear();
  mode_ = Mode::kFolder;
  folder_ = folder;
  try {
    root_ = plat::ConfinedFolder::Open(folder);
  } catch (const plat::FileError& e) {
    content::LogMessage("cannot open the content folder: %s", e.what());
  }
}

void TContentResolver::SetDataFolder(const std::string& folder) {
  data_folder_ = folder;
  data_below_.reset();
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
             plat::SameText(part, "PackageIdentity.txt") || EndsWithText(part, ".users.csv") ||
             EndsWithText(part, ".groups.csv");
    }
    start = end + 1;
  }
}

std::unique_ptr<TContentFile> TContentResolver::OpenInFolder(std::string_view name) const {
  // Handlers may name a file as content folder + name.
  if (name.starts_with(folder_)) name.remove_prefix(folder_.size());
  if (IsRefused(name)) return nullptr;
  std::optional<plat::ConfinedFolder::OpenedFile> opened = root_.OpenFile(name);
  if (!opened) return nullptr;
  // A link inside the content may lead to learner data under another name.
  if (IsLearnerDataName(opened->real_name) || IsInsideDataFolder(opened->real_name)) {
    content::LogMessage("refused learner data: %s", opened->real_name.c_str());
    return nullptr;
  }
  return MakeDiskContentFile(std::move(opened->file), opened->size);
}

bool TContentResolver::IsInsideDataFolder(const std::string& real_name) const {
  if (data_folder_.empty()) return false;
  if (!data_below_) {
    // A data folder that is not there yet holds nothing to refuse.
    const std::optional<std::string> data = plat::RealPath(data_folder_);
    if (!data) return false;
    const std::string inside_root = root_.RealPath() + '/';
    data_below_ = data->starts_with(inside_root) ? data->substr(inside_root.size()) : std::string();
  }
  const std::string& below = *data_below_;
  if (below.empty()) return false;
  return real_name.starts_with(below) && (real_name.size() == below.size() || real_name[below.size()] == '/');
}

std::unique_ptr<TContentFile> TContentResolver::OpenRequested(std::string_view name) const {
  if (mode_ != Mode::kPacked) return Open(name);
  // Entries have no folders: a file request names one whole.
  if (IsRefused(name)) return nullptr;
  return OpenEntry(name);
}

std::unique_ptr<TContentFile> TContentResolver::OpenEntry(std::string_view entry_name) const {
  std::unique_ptr<content::TXORFileHandle> handle = package_->OpenFile(entry_name);
  if (!handle) return nullptr;
  try {
    if (std::optional<TKeptEntry> kept = entries_.Get(*handle)) {
      if (kept->file) return MakeFileContentFile(std::move(kept->file), kept->offset, kept->size);
      return MakeMemoryContentFile(std::move(kept->bytes), handle->GetSize());
    }
  } catch (const plat::FileError& e) {
    // Read as it streams, where the failure ends the reply as it always did.
    content::LogMessage("cannot keep %s: %s", std::string(entry_name).c_str(), e.what());
    handle = package_->OpenFile(entry_name);
  }
  return MakeEntryContentFile(std::move(handle));
}

std::unique_ptr<TContentFile> TContentResolver::Open(std::string_view name) const {
  switch (mode_) {
    case Mode::kFolder:
      return OpenInFolder(name);
    case Mode::kPacked:
      if (IsRefused(name)) return nullptr;
      return OpenEntry(LastPart(name));
    case Mode::kNone:
      break;
  }
  return nullptr;
}

}  // namespace server
