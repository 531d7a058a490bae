// Selecting the content: folder or package, the data folder, and the small
// files that come with the content.
#include <memory>
#include <optional>
#include <utility>

#include "content/content_paths.h"
#include "content/debug_log.h"
#include "content/table_file.h"
#include "content/text_lines.h"
#include "content/user_notice.h"
#include "platform/files.h"
#include "platform/path_lookup.h"
#include "platform/paths.h"
#include "server/http/method_log.h"
#include "server/quiz_session.h"
#include "server/road/data_folder.h"

namespace server {
namespace {

constexpr char kUsersFile[] = "all.users.csv";
constexpr char kGroupsFile[] = "all.groups.csv";
constexpr char kTablesBase[] = "all";

std::string AbsoluteFolder(const std::string& folder) { return plat::WithTrailingSlash(plat::AbsolutePath(folder)); }

// The absolute folder that holds the file, with a trailing '/'.
std::string FolderOfFile(const std::string& file) { return plat::FolderPart(plat::AbsolutePath(file)); }

// The table file's path and text when folder holds it (under any letter
// case). Throws plat::FileError when it exists but cannot be read.
std::optional<std::pair<std::string, std::string>> ReadTableIn(const std::string& folder, const char* name) {
  if (folder.empty()) return std::nullopt;
  const std::optional<std::string> path = plat::FindCaseInsensitive(folder, name);
  if (!path) return std::nullopt;
  // A folder in its place is a table that cannot be read, never a missing one.
  std::optional<std::string> text = content::ReadTableFile(*path);
  if (!text) return std::nullopt;
  return std::pair(*path, std::move(*text));
}

// Loads one table: the data folder's file first, else the content folder's
// (folder mode) or the package's entry. A table that cannot be read stays
// empty; one read only in part holds that part. Either gives the fault.
template <typename Table>
std::optional<TTableFault> LoadTable(Table& table, const char* file_name, const std::string& data_folder,
                                     const std::string& content_folder, const content::TXORFileStream* package) {
  table.Clear();
  try {
    auto file = ReadTableIn(data_folder, file_name);
    if (!file && !package) file = ReadTableIn(content_folder, file_name);
    if (file) {
      table.LoadFromText(file->second);
      if (std::optional<std::string> fault = Table::TextFault(file->second)) return TTableFault{file->first, *fault};
    } else if (package) {
      table.LoadFromPackage(kTablesBase, *package);
    }
  } catch (const plat::FileError& e) {
    table.Clear();
    return TTableFault{e.path(), e.reason()};
  } catch (const std::exception& e) {
    table.Clear();
    return TTableFault{file_name, e.what()};
  }
  return std::nullopt;
}

std::string HeldElsewhereText(const std::string& data_folder) {
  return "The data folder " + data_folder +
         " is in use by another player: close that player, then start this one again.";
}

// What a package that did not open says: in words first, the detail after.
std::string PackageErrorText(const std::exception& error) {
  if (const auto* format = dynamic_cast<const content::PackageFormatError*>(&error))
    return "the package is damaged or incomplete (" + format->reason() + ")";
  if (const auto* file = dynamic_cast<const plat::FileError*>(&error))
    return "the package cannot be read (" + file->reason() + ")";
  return error.what();
}

}  // namespace

bool TQuizSession::SetPath(const std::string& path) {
  TMethodLog log("SetPath");
  content_.Clear();
  Close();
  content_error_.clear();
  data_folder_held_elsewhere_ = false;
  unwritable_reason_.clear();

  if (content::IsXORFileStream(path)) return OpenPackage(path);

  std::string folder = path;
  if (plat::FileExists(folder)) {
    folder = plat::FolderPart(path);
    if (folder.empty()) folder = "./";
    content::NoticeFolderInsteadOfPackage(path, AbsoluteFolder(folder));
  }
  if (!plat::FolderExists(folder)) {
    // Neither package, file nor folder: the previous folder, if any, stays.
    if (!content_folder_.empty() && plat::FolderExists(content_folder_)) {
      content_.SetFolder(content_folder_);
      content_.SetDataFolder(data_folder_);
    }
    content_error_ = "no such file or folder: " + path;
    content::LogMessage("%s", content_error_.c_str());
    return false;
  }
  return OpenFolder(AbsoluteFolder(folder));
}

bool TQuizSession::OpenFolder(const std::string& folder) {
  content_folder_ = folder;
  content_.SetFolder(content_folder_);
  project_id_.clear();
  const TSessionDataFolder shared_data = SessionDataFolder();
  data_folder_ = shared_data.folder.empty() ? content_folder_ : shared_data.folder;
  if (!TakeDataFolder(shared_data.problem)) return false;
  content_.SetDataFolder(data_folder_);
  LoadTables();
  skip_start_page_ = content::IsSkipStartPage(content_folder_);
  TidyDataFolder();
  return true;
}

bool TQuizSession::OpenPackage(const std::string& path) {
  content_folder_.clear();
  try {
    content_.SetPackage(
        std::make_unique<content::TXORFileStream>(path, content::TXORFileStream::kRead, content::kPackageKey));
  } catch (const std::exception& e) {
    content_error_ = PackageErrorText(e);
    content::LogMessage("cannot open the package: %s", e.what());
    return false;
  }
  const content::TXORFileStream& package = *content_.GetPackage();
  content_folder_ = path;

  const TSessionDataFolder shared_data = SessionDataFolder();
  data_folder_ = shared_data.folder.empty() ? FolderOfFile(path) : shared_data.folder;
  // The id names a folder: one that could lead elsewhere counts as none.
  project_id_ = content::ReadProjectId(path);
  if (project_id_.empty() && package.FileExists("projectid.txt"))
    content::LogMessage("the project id cannot name a folder; learner data stays in %s", data_folder_.c_str());
  if (!project_id_.empty()) data_folder_ += project_id_ + "/";
  if (!TakeDataFolder(shared_data.problem)) return false;

  CheckTimeStamp();
  LoadTables();
  skip_start_page_ = package.FileExists("SkipStartPage.sysdata");
  TidyDataFolder();
  RemoveStaleSessionFolders();
  LoadPackageSettings(package);
  return true;
}

bool TQuizSession::TakeDataFolder(const std::string& setting_problem) {
  if (!setting_problem.empty())
    content::NoticeToUser("%s: learner data is kept in %s instead.", setting_problem.c_str(), data_folder_.c_str());
  std::optional<std::string> unwritable;
  plat::FolderLock::Outcome outcome = data_lock_.Acquire(data_folder_, 0);
  if (outcome == plat::FolderLock::Outcome::kMissing) {
    try {
      plat::CreateFolders(data_folder_);
      outcome = data_lock_.Acquire(data_folder_, 0);
    } catch (const plat::FileError& e) {
      // A read-only medium, or a file in its place: nothing can be written there, by anyone.
      unwritable = e.reason();
    }
  }
  if (outcome == plat::FolderLock::Outcome::kBusy) {
    content_error_ = HeldElsewhereText(data_folder_);
    data_folder_held_elsewhere_ = true;
    content::LogMessage("%s", content_error_.c_str());
    data_folder_.clear();
    content_.Clear();
    return false;
  }
  if (outcome != plat::FolderLock::Outcome::kLocked)
    content::LogMessage("the data folder %s is not held: error %d", data_folder_.c_str(), data_lock_.ErrorCode());
  if (!unwritable) unwritable = plat::FolderWriteRefusal(data_folder_);
  unwritable_reason_ = unwritable.value_or("");
  if (unwritable) {
    content::NoticeToUser("The data folder %s cannot be written (%s): the content is served, but no result, session "
                          "or change made here is stored.",
                          data_folder_.c_str(), unwritable->c_str());
  }
  return true;
}

void TQuizSession::SayNotStored(std::string_view what, const plat::FileError& error) const {
  // Said once already, when the content opened.
  if (!unwritable_reason_.empty() && error.reason() == unwritable_reason_) {
    content::LogMessage("%.*s: %s", static_cast<int>(what.size()), what.data(), error.what());
    return;
  }
  content::NoticeToUser("%.*s: %s", static_cast<int>(what.size()), what.data(), error.what());
}

void TQuizSession::LoadTables() {
  const content::TXORFileStream* package = content_.GetPackage();
  users_fault_ = LoadTable(users_, kUsersFile, data_folder_, content_folder_, package);
  groups_fault_ = LoadTable(groups_, kGroupsFile, data_folder_, content_folder_, package);
  ReportTableFaults();
}

void TQuizSession::LoadPackageSettings(const content::TXORFileStream& package) {
  project_title_.clear();
  subject_titles_.clear();
  grades_.Clear();
  try {
    project_title_ = package.ReadToString("projecttitle.txt");
    subject_titles_ = content::SplitLines(package.ReadToString("subjects.sysdata"));
    grades_.LoadFromText(package.ReadToString("grades.sysdata"));
  } catch (const std::exception& e) {
    content::LogMessage("cannot read the content's settings: %s", e.what());
  }
}

}  // namespace server
