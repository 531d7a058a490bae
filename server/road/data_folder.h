// The data folder: where learner records live (the users and groups tables,
// "Sessions/", "TimeStamp.txt", "admin.sysdata"). Folder mode: the content
// folder; packed mode: the package's folder plus the project id. A folder set
// in the settings store ("SessionDataPath") takes the place of either base.
#pragma once

#include <string>
#include <string_view>

namespace server {

inline constexpr std::string_view kSessionDataKey = "Software\\Ostrand Consultants\\Corvik";
inline constexpr std::string_view kSessionDataValue = "SessionDataPath";

// The stored "SessionDataPath" as it stands; "" when it is absent or cannot be read.
std::string ReadSessionDataPath();

struct TSessionDataFolder {
  // The stored folder with '/' separators and a trailing '/' when it names
  // an existing folder; "" otherwise.
  std::string folder;
  // Why the settings give no folder although they are there: the settings
  // file cannot be read or names none, or its folder does not exist. ""
  // when the folder is used or no settings file was ever written.
  std::string problem;
};
TSessionDataFolder SessionDataFolder();

// Learner data is never deleted: what the player no longer uses is moved
// aside under a free name in the same folder, path + "." + what + "." + the
// local time ("2026-12-10_13-26-50"), with "-2", "-3" ... when that is taken.
// path has no trailing '/'.
std::string SetAsideName(const std::string& path, std::string_view what);
// The name (without folder) is one that SetAsideName gave for what.
bool IsSetAsideName(std::string_view name, std::string_view what);

// folder + relative, each component that exists taken as it stands on disk
// (exact name first, else without regard to case) and the rest as given, so
// "skipstartpage.sysdata" finds "SkipStartPage.sysdata" and a new file lands
// in the folders that already hold its kind. '/' and '\' separate.
std::string DataFilePath(const std::string& folder, std::string_view relative);

}  // namespace server
