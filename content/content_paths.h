// Where the content's files and the learner's last-session state live.
#pragma once

#include <string>

namespace content {

// The full path of folder + name when that names an existing file or folder
// below folder; otherwise the name unchanged (also for an empty or missing
// folder, and for a name that would leave the folder).
std::string CombineContentPath(const std::string& folder, const std::string& name);

// The shell folder with the given id; only the per-user application-data
// folder (kAppDataFolderId) is known. True and the path (with a trailing '/')
// on success.
constexpr int kAppDataFolderId = 26;
bool GetSpecialFolderPath(std::string& path, int folder_id, bool create);

// Whether the content (a package, a file in the content folder, or a folder
// path ending in '/') holds "skipstartpage.sysdata".
bool IsSkipStartPage(const std::string& content_path);

// Content given as a file that is no package is served as the file's folder.
// When the file's name has the package extension (a package damaged or cut
// short, or something else under its name), says so on standard error,
// naming the folder served instead.
void NoticeFolderInsteadOfPackage(const std::string& file, const std::string& folder);

// The content's project id from "projectid.txt", up to its first NUL; "" when
// there is none or when it could not name a file safely.
std::string ReadProjectId(const std::string& content_path);

// The per-user file that keeps the last skip-start-page session of this
// content: "<app data>/Kelmo Player/<id> - lastsession.state", or beside the
// content when there is no application-data folder; "" without a project id.
std::string GetLastSessionStatePath(const std::string& content_path);

}  // namespace content
