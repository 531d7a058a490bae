// Data folder housekeeping when a package opens: learner data of another
// build of the package is wiped, and session folders of users who no longer
// exist are removed.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "content/debug_log.h"
#include "content/file_helpers.h"
#include "content/safe_name.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "server/http/method_log.h"
#include "server/quiz/time_stamp.h"
#include "server/quiz_session.h"
#include "server/road/data_folder.h"

namespace {

constexpr char kTimeStampFile[] = "TimeStamp.txt";
constexpr char kSessionsFolder[] = "Sessions";

std::optional<std::filesystem::path> RealPathOf(const std::string& path) {
  std::error_code error;
  std::filesystem::path real = std::filesystem::canonical(path, error);
  if (error) return std::nullopt;
  return real;
}

// Whether inner is outer or lies below it.
bool IsSameOrBelow(const std::filesystem::path& inner, const std::filesystem::path& outer) {
  auto in = inner.begin();
  for (auto out = outer.begin(); out != outer.end(); ++out, ++in)
    if (in == inner.end() || *in != *out) return false;
  return true;
}

// The folder belongs to the user: its name is the login name (folded) or
// the login name's safe form, which is how session folders are named.
bool IsFolderOfSomeUser(const std::string& folder_name, const TUsersList& users) {
  for (int i = 0; i < users.Count(); ++i) {
    const std::string& login = users.GetUser(i)->GetLoginName();
    if (plat::SameText(folder_name, login) || folder_name == MakeSafeName(login)) return true;
  }
  return false;
}

}  // namespace

bool TQuizSession::MayWipeDataFolder() const {
  // Without an id the data folder is shared: the package's own folder, or the
  // folder that keeps every content's data.
  if (project_id_.empty() || data_folder_.empty()) return false;
  const std::optional<std::filesystem::path> data = RealPathOf(data_folder_);
  if (!data) return false;
  if (data->filename() != project_id_) return false;
  const std::optional<std::filesystem::path> package = RealPathOf(content_folder_);
  return !package || !IsSameOrBelow(*package, *data);
}

void TQuizSession::WipeDataFolder() {
  if (!MayWipeDataFolder()) {
    LogMessage("the data folder %s is not the project's own: left as it is", data_folder_.c_str());
    return;
  }
  LogMessage("the package changed: clearing %s", data_folder_.c_str());
  DeleteFolderTree(data_folder_);
}

void TQuizSession::CheckTimeStamp() {
  TMethodLog log("CheckTimeStamp");
  const std::string stamp_path = DataFilePath(data_folder_, kTimeStampFile);
  if (!plat::FileExists(stamp_path)) {
    WipeDataFolder();
    WriteTimeStamp();
    return;
  }
  try {
    const std::string stored = ReadFileToString(stamp_path);
    int64_t created = 0;
    const TXORFileStream* package = content_.GetPackage();
    if (package && package->GetFileTime(&created, nullptr, nullptr) && stored != FormatTimeStamp(created))
      WipeDataFolder();
  } catch (const plat::FileError& e) {
    // Unknown is not different: learner data is kept.
    LogMessage("cannot read the time stamp: %s", e.what());
  }
  WriteTimeStamp();
}

void TQuizSession::WriteTimeStamp() {
  TMethodLog log("WriteTimeStamp");
  // The flag is still the one of the content opened before: SetPath sets it
  // after this step.
  if (skip_start_page_) return;
  const TXORFileStream* package = content_.GetPackage();
  int64_t created = 0;
  if (!package || !package->GetFileTime(&created, nullptr, nullptr)) return;
  try {
    WriteStringToFile(DataFilePath(data_folder_, kTimeStampFile), FormatTimeStamp(created));
  } catch (const plat::FileError& e) {
    // Content on a read-only medium still opens.
    LogMessage("cannot write the time stamp: %s", e.what());
  }
}

void TQuizSession::RemoveStaleSessionFolders() {
  TMethodLog log("RemoveStaleSessionFolders");
  // No users known (a missing or unreadable table): nobody's folder is stale.
  if (users_.Count() == 0 || data_folder_.empty()) return;
  const std::string sessions = DataFilePath(data_folder_, kSessionsFolder);
  std::error_code link_error;
  if (std::filesystem::is_symlink(sessions, link_error)) return;
  std::vector<std::filesystem::path> stale;
  std::error_code error;
  for (std::filesystem::directory_iterator entries(sessions, error), end; !error && entries != end;
       entries.increment(error)) {
    std::error_code status_error;
    // Links are left alone: what they point at is not ours to delete.
    if (entries->is_symlink(status_error) || !entries->is_directory(status_error)) continue;
    if (!IsFolderOfSomeUser(entries->path().filename().string(), users_)) stale.push_back(entries->path());
  }
  for (const std::filesystem::path& folder : stale) {
    LogMessage("removing the session folder of a former user: %s", folder.filename().c_str());
    DeleteFolderTree(folder.string());
  }
  if (!stale.empty()) {
    std::error_code ignored;
    std::filesystem::remove(sessions, ignored);  // only once it is empty
  }
}
