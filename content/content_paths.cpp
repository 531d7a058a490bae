#include "content/content_paths.h"

#include <memory>

#include "content/debug_log.h"
#include "content/user_notice.h"
#include "content/xor_file_stream.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/special_folders.h"

namespace content {
namespace {

// Opens the content as a package when it is one; null otherwise or when its
// directory is unusable.
std::unique_ptr<TXORFileStream> OpenPackage(const std::string& content_path) {
  if (!IsXORFileStream(content_path)) return nullptr;
  try {
    return std::make_unique<TXORFileStream>(content_path, TXORFileStream::kRead, kPackageKey);
  } catch (const std::exception& e) {
    LogMessage("cannot open package: %s", e.what());
    return nullptr;
  }
}

// The folder the content's own files lie in: a folder path as given (ending
// in '/'), the folder of a file.
std::string ContentFolderOf(const std::string& content_path) {
  if (plat::FolderExists(content_path)) return plat::WithTrailingSlash(content_path);
  if (plat::FileExists(content_path)) return plat::FolderPart(content_path);
  return plat::FolderPart(plat::ToForwardSlashes(content_path));
}

constexpr std::string_view kPackageExtension = ".vrn";

bool IsUsableProjectId(const std::string& id) {
  if (id.empty() || id == "." || id == "..") return false;
  for (char c : id)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

}  // namespace

std::string CombineContentPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || !plat::FolderExists(folder)) return name;
  std::string relative = plat::ToForwardSlashes(name);
  if (!relative.empty() && relative.front() == '/') relative.erase(0, 1);
  if (relative.empty()) return name;
  const auto full = plat::ResolveUnder(folder, relative);
  return full ? *full : name;
}

bool GetSpecialFolderPath(std::string& path, int folder_id, bool create) {
  if (folder_id != kAppDataFolderId) return false;
  const auto folder = plat::AppDataFolder(create);
  if (!folder) return false;
  path = *folder;
  return true;
}

bool IsSkipStartPage(const std::string& content_path) {
  static const char kMarker[] = "skipstartpage.sysdata";
  if (const auto package = OpenPackage(content_path)) return package->FileExists(kMarker);
  if (IsXORFileStream(content_path)) return false;
  const std::string folder = ContentFolderOf(content_path);
  if (folder.empty()) return false;
  return plat::ResolveUnder(folder, kMarker).has_value();
}

std::string ReadProjectId(const std::string& content_path) {
  static const char kIdFile[] = "projectid.txt";
  std::string id;
  if (const auto package = OpenPackage(content_path)) {
    if (!package->FileExists(kIdFile)) return "";
    id = package->ReadToString(kIdFile);
  } else {
    if (IsXORFileStream(content_path)) return "";
    const std::string folder = ContentFolderOf(content_path);
    const auto path = folder.empty() ? std::nullopt : plat::ResolveUnder(folder, kIdFile);
    if (!path) return "";
    try {
      id = plat::ReadWholeFile(*path);
    } catch (const plat::FileError& e) {
      LogMessage("cannot read the project id: %s", e.what());
      return "";
    }
  }
  id = id.substr(0, id.find('\0'));
  return IsUsableProjectId(id) ? id : "";
}

std::string GetLastSessionStatePath(const std::string& content_path) {
  const std::string id = ReadProjectId(content_path);
  if (id.empty()) return "";
  const std::string file_name = id + " - lastsession.state";
  std::string app_data;
  if (GetSpecialFolderPath(app_data, kAppDataFolderId, true)) {
    const std::string folder = plat::WithTrailingSlash(app_data) + "Kelmo Player/";
    try {
      plat::CreateFolders(folder);
      return folder + file_name;
    } catch (const plat::FileError& e) {
      LogMessage("cannot create the state folder: %s", e.what());
    }
  }
  return ContentFolderOf(content_path) + file_name;
}

void NoticeFolderInsteadOfPackage(const std::string& file, const std::string& folder) {
  const std::string name = plat::NamePart(file);
  if (name.size() <= kPackageExtension.size()) return;
  if (!plat::SameText(std::string_view(name).substr(name.size() - kPackageExtension.size()), kPackageExtension)) return;
  NoticeToUser("%s is not a content package (damaged or not a package): serving the folder %s instead.", file.c_str(),
               folder.c_str());
}

}  // namespace content
