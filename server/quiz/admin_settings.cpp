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

std::optional<std::string> AdminPasswordFault(const std::string& data_folder) {
  if (data_folder.empty()) return std::nullopt;
  const std::string path = DataFilePath(data_folder, kSettingsFile);
  if (!plat::PathExists(path)) return std::nullopt;
  std::string fault;
  try {
    const std::string bytes = plat::ReadWholeFile(path);
    if (!plat::IniFile::FromBytes(bytes).ReadString(kSection, kPasswordKey, "").empty()) return std::nullopt;
    if (bytes.find('\0') != std::string::npos) {
      fault = "is damaged (it holds NUL bytes)";
    } else if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r') {
      fault = "is damaged (it was cut short)";
    } else {
      return std::nullopt;
    }
  } catch (const plat::FileError& e) {
    fault = "cannot be read (" + e.reason() + ")";
  }
  return "The administrator's password cannot be known: " + path + " " + fault +
         ". Mend that file, or remove it to log in with the first password again.";
}

void WriteAdminPassword(const std::string& data_folder, std::string_view password) {
  if (data_folder.empty()) throw plat::FileError(std::string(kSettingsFile), "no content is open");
  plat::WriteIniString(DataFilePath(data_folder, kSettingsFile), kSection, kPasswordKey, password,
                       plat::FileAccess::kPrivate);
}

}  // namespace server
