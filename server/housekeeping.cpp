// Data folder housekeeping when content opens: learner data of other content
// is moved aside for a fresh folder, session folders of users who no longer
// exist are moved aside, and what a save cut short left behind is removed.
// Learner data is never deleted.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "content/content_paths.h"
#include "content/debug_log.h"
#include "content/file_helpers.h"
#include "content/safe_name.h"
#include "content/user_notice.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/path_lookup.h"
#include "platform/removal.h"
#include "server/http/method_log.h"
#include "server/quiz/admin_settings.h"
#include "server/quiz/time_stamp.h"
#include "server/quiz_session.h"
#include "server/road/data_folder.h"

namespace server {
namespace {

constexpr char kTimeStampFile[] = "TimeStamp.txt";
// The package's identity beside its time stamp: a plain copy of the package
// changes the time, never the identity.
constexpr char kIdentityFile[] = "PackageIdentity.txt";
constexpr char kSessionsFolder[] = "Sessions";
constexpr char kUsersFile[] = "all.users.csv";
constexpr char kAdminFile[] = "admin.sysdata";
constexpr std::string_view kEarlierContent = "earlier-content";
constexpr std::string_view kFormerUser = "former-user";

// Whether inner is outer or lies below it; both are real paths.
bool IsSameOrBelow(const std::string& inner, const std::string& outer) {
  if (outer == "/" || inner == outer) return true;
  return inner.starts_with(outer) && inner[outer.size()] == '/';
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// A stored stamp's text without what editors and damage add around it
// (blanks, line ends, NUL bytes); "" when the file is missing or unreadable,
// which counts as no stamp.
std::string ReadStampText(const std::string& path) {
  if (!plat::FileExists(path)) return "";
  std::string text;
  try {
    text = content::ReadFileToString(path);
  } catch (const plat::FileError& e) {
    content::LogMessage("cannot read the time stamp: %s", e.what());
    return "";
  }
  constexpr std::string_view kPadding(" \t\r\n\0", 5);
  const size_t first = text.find_first_not_of(kPadding);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(kPadding) - first + 1);
}

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

// The session folders below sessions that name no user; folders moved aside
// before and links are left alone. Empty when the folder cannot be read.
std::vector<std::string> StaleSessionFolders(const std::string& sessions, const TUserFolderNames& users) {
  std::vector<std::string> stale;
  try {
    for (const plat::FolderEntry& entry : plat::ListFolder(sessions)) {
      if (entry.kind == plat::EntryKind::kFolder && !users.IsFolderOfSomeUser(entry.name) &&
          !IsSetAsideName(entry.name, kFormerUser))
        stale.push_back(entry.name);
    }
  } catch (const plat::FileError&) {
    // No session folders.
  }
  return stale;
}

}  // namespace

bool TQuizSession::MaySetDataFolderAside() const {
  // Without an id the data folder is shared: the package's own folder, or the
  // folder that keeps every content's data.
  if (project_id_.empty() || data_folder_.empty()) return false;
  // A link of the project id's name moves aside alone: what it points at stays.
  if (plat::IsLink(WithoutTrailingSlash(data_folder_))) return true;
  const std::optional<std::string> data = plat::RealPath(data_folder_);
  if (!data) return false;
  if (plat::NamePart(*data) != project_id_) return false;
  const std::optional<std::string> package = plat::RealPath(content_folder_);
  return !package || !IsSameOrBelow(*package, *data);
}

bool TQuizSession::SetDataFolderAside() {
  if (!MaySetDataFolderAside()) {
    content::LogMessage("the data folder %s is not the project's own: left as it is", data_folder_.c_str());
    return false;
  }
  const std::string folder = WithoutTrailingSlash(data_folder_);
  const std::string aside = SetAsideName(folder, kEarlierContent);
  try {
    if (data_lock_.IsLocked()) {
      data_lock_.SetAside(folder, aside);
    } else {
      plat::MoveAside(folder, aside);
    }
  } catch (const plat::FileError& e) {
    content::NoticeToUser("The learner data in %s belongs to other content but could not be moved aside (%s): it is "
                          "used as it is.",
                          data_folder_.c_str(), e.reason().c_str());
    return false;
  }
  content::NoticeToUser("The learner data in %s belongs to other content: it was moved aside to %s/, and this content "
                        "starts with a new data folder.",
                        data_folder_.c_str(), aside.c_str());
  return true;
}

void TQuizSession::CheckTimeStamp() {
  TMethodLog log("CheckTimeStamp");
  const content::TXORFileStream* package = content_.GetPackage();
  int64_t created = 0;
  if (!package || !package->GetFileTime(&created, nullptr, nullptr)) return;
  // No stamp (never written, emptied, zeroed) tells of no other content:
  // the learner data stays and is stamped.
  const std::string stored = ReadStampText(DataFilePath(data_folder_, kTimeStampFile));
  const bool other_content = !stored.empty() && stored != FormatTimeStamp(created) &&
                             ReadStampText(DataFilePath(data_folder_, kIdentityFile)) != package->GetIdentity();
  // A folder that holds nothing but its stamps is not worth setting aside.
  bool holds_learner_data = false;
  try {
    for (const plat::FolderEntry& entry : plat::ListFolder(data_folder_))
      holds_learner_data |= !plat::SameText(entry.name, kTimeStampFile) && !plat::SameText(entry.name, kIdentityFile);
  } catch (const plat::FileError&) {
  }
  // Learner data that could not be moved keeps its stamp, so that the next
  // start tries again.
  if (other_content && holds_learner_data && !SetDataFolderAside()) return;
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
  // The identity first: a stamp without it is taken for other content's,
  // an identity without a stamp is no stamp.
  const std::pair<const char*, std::string> files[] = {{kIdentityFile, package->GetIdentity()},
                                                       {kTimeStampFile, FormatTimeStamp(created)}};
  for (const auto& [name, text] : files) {
    const std::string path = DataFilePath(data_folder_, name);
    try {
      // What is there already costs no write, and none on a read-only medium.
      if (plat::FileExists(path) && content::ReadFileToString(path) == text) continue;
      content::WriteStringToFile(path, text);
    } catch (const plat::FileError& e) {
      // An unwritable data folder was said when the content opened.
      if (e.reason() != unwritable_reason_)
        content::NoticeToUser("Cannot write the time stamp %s: %s.", path.c_str(), e.reason().c_str());
      return;
    }
  }
}

void TQuizSession::RemoveStaleSessionFolders() {
  TMethodLog log("RemoveStaleSessionFolders");
  // No users known (a missing table), or a table not read whole: nobody's
  // folder is known to be stale.
  if (users_.Count() == 0 || users_fault_ || data_folder_.empty()) return;
  const std::string sessions = DataFilePath(data_folder_, kSessionsFolder);
  if (plat::IsLink(sessions)) return;
  for (const std::string& name : StaleSessionFolders(sessions, TUserFolderNames(users_))) {
    const std::string folder = sessions + "/" + name;
    const std::string aside = SetAsideName(folder, kFormerUser);
    try {
      plat::MoveAside(folder, aside);
      content::NoticeToUser("The session folder %s/ belongs to no user in the users table: it was moved aside to %s/.",
                            folder.c_str(), aside.c_str());
    } catch (const plat::FileError& e) {
      content::NoticeToUser("The session folder %s/ belongs to no user in the users table but could not be moved "
                            "aside (%s).",
                            folder.c_str(), e.reason().c_str());
    }
  }
}

void TQuizSession::TidyDataFolder() {
  if (data_folder_.empty()) return;
  int removed = plat::RemoveLeftoverTempFiles(data_folder_, plat::FollowLinks::kYes);
  const std::string sessions = DataFilePath(data_folder_, kSessionsFolder);
  removed += plat::RemoveLeftoverTempFiles(sessions, plat::FollowLinks::kNo);
  try {
    for (const plat::FolderEntry& entry : plat::ListFolder(sessions)) {
      if (entry.kind == plat::EntryKind::kFolder)
        removed += plat::RemoveLeftoverTempFiles(sessions + "/" + entry.name, plat::FollowLinks::kNo);
    }
  } catch (const plat::FileError&) {
    // No session folders.
  }
  // The state files of other content lie beside this one's: only its own leftovers go.
  const std::string state = skip_start_page_ ? content::GetLastSessionStatePath(content_folder_) : "";
  if (!state.empty()) {
    for (const std::string& target : {plat::NamePart(state), plat::NamePart(state) + ".name"})
      removed += plat::RemoveLeftoverTempFiles(plat::FolderPart(state), plat::FollowLinks::kYes, target);
  }
  if (removed > 0) content::LogMessage("removed %d temporary files left by saves cut short", removed);
  for (const char* name : {kUsersFile, kAdminFile}) {
    const std::string path = DataFilePath(data_folder_, name);
    if (plat::FileExists(path) && !plat::MakeFilePrivate(path))
      content::LogMessage("cannot make %s private", path.c_str());
  }
  if (const std::optional<std::string> fault = AdminPasswordFault(data_folder_))
    content::NoticeToUser("%s", fault->c_str());
}

}  // namespace server
