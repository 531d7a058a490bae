// Data folder housekeeping when a package opens: learner data of another
// build of the package is wiped, and session folders of users who no longer
// exist are removed.
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "content/debug_log.h"
#include "content/file_helpers.h"
#include "content/safe_name.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/path_lookup.h"
#include "platform/removal.h"
#include "server/http/method_log.h"
#include "server/quiz/time_stamp.h"
#include "server/quiz_session.h"
#include "server/road/data_folder.h"

namespace server {
namespace {

constexpr char kTimeStampFile[] = "TimeStamp.txt";
constexpr char kSessionsFolder[] = "Sessions";

// Whether inner is outer or lies below it; both are real paths.
bool IsSameOrBelow(const std::string& inner, const std::string& outer) {
  if (outer == "/" || inner == outer) return true;
  return inner.starts_with(outer) && inner[outer.size()] == '/';
}

// The folder belongs to the user: its name is the login name (folded) or
// the login name's safe form, which is how session folders are named.
// The names of the users' folders: every login name folded, and every safe
// form, gathered once so that a sweep is not users times folders.
class TUserFolderNames {
 public:
  explicit TUserFolderNames(const content::TUsersList& users) {
    for (int i = 0; i < users.Count(); ++i) {
      const std::string& login = users.GetUser(i)->GetLoginName();
      folded_.insert(plat::AsciiLowerCase(login));
      safe_.insert(content::MakeSafeName(login));
    }
  }

  bool IsFolderOfSomeUser(const std::string& folder_name) const {
    return folded_.contains(plat::AsciiLowerCase(folder_name)) || safe_.contains(folder_name);
  }

 private:
  std::unordered_set<std::string> folded_;
  std::unordered_set<std::string> safe_;
};

}  // namespace

bool TQuizSession::MayWipeDataFolder() const {
  // Without an id the data folder is shared: the package's own folder, or the
  // folder that keeps every content's data.
  if (project_id_.empty() || data_folder_.empty()) return false;
  const std::optional<std::string> data = plat::RealPath(data_folder_);
  if (!data) return false;
  if (plat::NamePart(*data) != project_id_) return false;
  const std::optional<std::string> package = plat::RealPath(content_folder_);
  return !package || !IsSameOrBelow(*package, *data);
}

void TQuizSession::WipeDataFolder() {
  if (!MayWipeDataFolder()) {
    content::LogMessage("the data folder %s is not the project's own: left as it is", data_folder_.c_str());
    return;
  }
  content::LogMessage("the package changed: clearing %s", data_folder_.c_str());
  plat::RemoveFolderTree(data_folder_);
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
    const std::string stored = content::ReadFileToString(stamp_path);
    int64_t created = 0;
    const content::TXORFileStream* package = content_.GetPackage();
    if (package && package->GetFileTime(&created, nullptr, nullptr) && stored != FormatTimeStamp(created))
      WipeDataFolder();
  } catch (const plat::FileError& e) {
    // Unknown is not different: learner data is kept.
    content::LogMessage("cannot read the time stamp: %s", e.what());
  }
  WriteTimeStamp();
}

void TQuizSession::WriteTimeStamp() {
  TMethodLog log("WriteTimeStamp");
  // The flag is still the one of the content opened before: SetPath sets it
  // after this step.
  if (skip_start_page_) return;
  const content::TXORFileStream* package = content_.GetPackage();
  int64_t created = 0;
  if (!package || !package->GetFileTime(&created, nullptr, nullptr)) return;
  try {
    content::WriteStringToFile(DataFilePath(data_folder_, kTimeStampFile), FormatTimeStamp(created));
  } catch (const plat::FileError& e) {
    // Content on a read-only medium still opens.
    content::LogMessage("cannot write the time stamp: %s", e.what());
  }
}

void TQuizSession::RemoveStaleSessionFolders() {
  TMethodLog log("RemoveStaleSessionFolders");
  // No users known (a missing or unreadable table): nobody's folder is stale.
  if (users_.Count() == 0 || data_folder_.empty()) return;
  const std::string sessions = DataFilePath(data_folder_, kSessionsFolder);
  if (plat::IsLink(sessions)) return;
  std::vector<std::string> stale;
  const TUserFolderNames users(users_);
  try {
    for (const plat::FolderEntry& entry : plat::ListFolder(sessions)) {
      // Links are left alone: what they point at is not ours to delete.
      if (entry.kind == plat::EntryKind::kFolder && !users.IsFolderOfSomeUser(entry.name))
        stale.push_back(entry.name);
    }
  } catch (const plat::FileError&) {
    return;  // no session folders
  }
  for (const std::string& name : stale) {
    content::LogMessage("removing the session folder of a former user: %s", name.c_str());
    plat::RemoveFolderTree(sessions + "/" + name);
  }
  if (!stale.empty()) plat::RemoveEmptyFolder(sessions);  // only once it is empty
}

}  // namespace server
