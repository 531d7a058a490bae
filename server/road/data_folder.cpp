#include "server/road/data_folder.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "content/debug_log.h"
#include "platform/clock.h"
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

TSessionDataFolder SessionDataFolder() {
  TSessionDataFolder result;
  const std::string file = plat::SettingsFileOf(kSessionDataKey).value_or("");
  std::string stored;
  try {
    stored = plat::ReadSettingString(kSessionDataKey, kSessionDataValue).value_or("");
  } catch (const plat::FileError& e) {
    result.problem = "The settings file " + file + " cannot be read (" + e.reason() + ")";
    return result;
  }
  if (stored.empty()) {
    if (!file.empty() && plat::PathExists(file))
      result.problem = "The settings file " + file + " names no data folder (" + std::string(kSessionDataValue) + ")";
    return result;
  }
  const std::string folder = plat::ToForwardSlashes(stored);
  if (folder.find('\0') != std::string::npos) {
    // The system would take the path only up to the NUL: another folder.
    std::string shown = folder;
    std::replace(shown.begin(), shown.end(), '\0', '?');
    result.problem = "The data folder " + shown + " named in the settings (" + std::string(kSessionDataValue) +
                     ") cannot be used (it holds a NUL byte)";
    return result;
  }
  if (!plat::FolderExists(folder)) {
    result.problem = "The data folder " + folder + " named in the settings (" + std::string(kSessionDataValue) +
                     ") " + (plat::PathExists(folder) ? "is not a folder" : "does not exist");
    return result;
  }
  result.folder = plat::WithTrailingSlash(folder);
  return result;
}

namespace {

// "YYYY-MM-DD_HH-MM-SS": digits where the pattern has 'd'.
constexpr std::string_view kTimePattern = "dddd-dd-dd_dd-dd-dd";

bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool MatchesTimePattern(std::string_view text) {
  if (text.size() != kTimePattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if ((kTimePattern[i] == 'd') != digit || (!digit && text[i] != kTimePattern[i])) return false;
  }
  return true;
}

}  // namespace

std::string SetAsideName(const std::string& path, std::string_view what) {
  const plat::LocalTime now = plat::ProcessClock().Now();
  char time[32];
  std::snprintf(time, sizeof time, "%04d-%02d-%02d_%02d-%02d-%02d", now.year, now.month, now.day, now.hour, now.minute,
                now.second);
  const std::string base = path + "." + std::string(what) + "." + time;
  std::string name = base;
  for (int n = 2; plat::PathExists(name); ++n) name = base + "-" + std::to_string(n);
  return name;
}

bool IsSetAsideName(std::string_view name, std::string_view what) {
  const std::string marker = "." + std::string(what) + ".";
  const size_t at = name.rfind(marker);
  if (at == std::string_view::npos || at == 0) return false;
  std::string_view rest = name.substr(at + marker.size());
  if (rest.size() > kTimePattern.size()) {
    if (rest[kTimePattern.size()] != '-' || !IsDigits(rest.substr(kTimePattern.size() + 1))) return false;
    rest = rest.substr(0, kTimePattern.size());
  }
  return MatchesTimePattern(rest);
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
