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
// ReadSessionDataPath with '/' separators and a trailing '/' when it names
// an existing folder; "" otherwise.
std::string SessionDataFolder();

// folder + relative, each component that exists taken as it stands on disk
// (exact name first, else without regard to case) and the rest as given, so
// "skipstartpage.sysdata" finds "SkipStartPage.sysdata" and a new file lands
// in the folders that already hold its kind. '/' and '\' separate.
std::string DataFilePath(const std::string& folder, std::string_view relative);

}  // namespace server
