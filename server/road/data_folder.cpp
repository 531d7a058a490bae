#include "server/road/data_folder.h"

#include <optional>

#include "content/debug_log.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/settings_store.h"

namespace server {

std::string ReadSessionDataPath() {
  try {
    return plat::ReadSettingString(kSessionDataKey, kSessionDataValue).value_or("");
  } catch (const std::exception& e) {
    content::LogMessage("cannot read the session data path: %s", e.what());
    return "";
  }
}

std::string SessionDataFolder() {
  const std::string folder = plat::ToForwardSlashes(ReadSessionDataPath());
  if (folder.empty() || !plat::FolderExists(folder)) return "";
  return plat::WithTrailingSlash(folder);
}

std::string DataFilePath(const std::string& folder, std::string_view relative) {
  std::string path = plat::WithTrailingSlash(folder);
  const std::string name = plat::ToForwardSlashes(relative);
  bool on_disk = true;
  size_t start = 0;
  while (start < name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (!part.empty()) {
      std::optional<std::string> found;
      if (on_disk) found = plat::FindCaseInsensitive(path, part);
      on_disk = found.has_value();
      path = found ? *found : path + part;
      if (end < name.size()) path += '/';
    }
    start = end + 1;
  }
  return path;
}

}  // namespace server
