// The administrator's credentials: the fixed login name, and the password in
// the data folder's "admin.sysdata" (INI section "system", key "password",
// plain text). While that value is missing or empty the password is the login
// name itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace server {

inline constexpr std::string_view kAdminLoginName = "qorbe";

// The stored password as it stands: "" when the file, section or key is
// missing, or when there is no data folder. Throws plat::FileError when the
// file exists but cannot be read.
std::string ReadAdminPassword(const std::string& data_folder);
// The password that logs in: the stored one, or kAdminLoginName while that is empty.
std::string EffectiveAdminPassword(const std::string& data_folder);
// Why the stored password cannot be known although its file is there, so
// that neither it nor kAdminLoginName may log in: the file cannot be read
// (a folder in its place), or it gives no password and is damaged (a NUL
// byte, a last line without its end). Nullopt when the file is missing,
// gives a password, or plainly holds none. Otherwise the fault in words,
// naming the file and what to do.
std::optional<std::string> AdminPasswordFault(const std::string& data_folder);
// Stores the password, every other line of the file kept, in a file that
// only its owner may read; creates the file and its folder when missing. Throws plat::FileError (also without a data
// folder) or plat::IniError (a CR, LF or NUL, which would add lines); the
// file then stays as it was.
void WriteAdminPassword(const std::string& data_folder, std::string_view password);

}  // namespace server
