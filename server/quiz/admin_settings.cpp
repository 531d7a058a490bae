#include "server/quiz/admin_settings.h"

#include "platform/files.h"
#include "platform/ini_file.h"
#include "server/road/data_folder.h"

namespace server {
namespace {

constexpr std::string_view kSettingsFile = "admin.sysdata";
constexpr std::string_view kSection = "system";
constexpr std::string_view kPasswordKey = "password";

}  // namespace

std::string ReadAdminPassword(const std::string& data_folder) {
  if (data_folder.empty()) return "";
  return plat::IniFile::Load(DataFilePath(data_folder, kSettingsFile)).ReadString(kSection, kPasswordKey, "");
}

std::string EffectiveAdminPassword(const std::string& data_folder) {
  std::string stored = ReadAdminPassword(data_folder);
  return stored.empty() ? std::string(kAdminLoginName) : stored;
}

void WriteAdminPassword(const std::string& data_folder, std::string_view password) {
  if (data_folder.empty()) throw plat::FileError(std::string(kSettingsFile), "no content is open");
  plat::WriteIniString(DataFilePath(data_folder, kSettingsFile), kSection, kPasswordKey, password,
                       plat::FileAccess::kPrivate);
}

}  // namespace server
