#include "platform/settings_store.h"

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/special_folders.h"

namespace plat {

namespace {

constexpr std::string_view kSection = "Values";

// The key path as a relative file path, or nullopt when it could leave the folder.
std::optional<std::string> RelativeKeyPath(std::string_view key_path) {
  if (key_path.find('\0') != std::string_view::npos) return std::nullopt;
  std::string relative;
  size_t start = 0;
  while (start <= key_path.size()) {
    size_t end = key_path.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = key_path.size();
    const std::string_view part = key_path.substr(start, end - start);
    if (part == "." || part == "..") return std::nullopt;
    if (!part.empty()) relative += (relative.empty() ? "" : "/") + std::string(part);
    start = end + 1;
  }
  if (relative.empty()) return std::nullopt;
  return relative;
}

}  // namespace

std::optional<std::string> SettingsFileOf(std::string_view key_path) {
  const std::optional<std::string> relative = RelativeKeyPath(key_path);
  const std::optional<std::string> folder = UserConfigFolder();
  if (!relative || !folder) return std::nullopt;
  return *folder + *relative + ".ini";
}

std::optional<std::string> ReadSettingString(std::string_view key_path, std::string_view name) {
  const std::optional<std::string> path = SettingsFileOf(key_path);
  if (!path) return std::nullopt;
  return IniFile::Load(*path).Find(kSection, name);
}

void WriteSettingString(std::string_view key_path, std::string_view name, std::string_view value) {
  if (!RelativeKeyPath(key_path))
    throw SettingsError("Not a valid settings key: \"" + std::string(key_path) + "\"");
  const std::optional<std::string> path = SettingsFileOf(key_path);
  if (!path) throw SettingsError("No folder for settings: neither XDG_CONFIG_HOME nor HOME is set");
  try {
    WriteIniString(*path, kSection, name, value);
  } catch (const IniError& e) {
    throw SettingsError(e.what());
  }
}

bool SettingsKeyExists(std::string_view key_path) {
  const std::optional<std::string> path = SettingsFileOf(key_path);
  if (!path) return false;
  return FileExists(*path) || FolderExists(path->substr(0, path->size() - 4));
}

}  // namespace plat
