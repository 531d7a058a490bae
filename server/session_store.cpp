// Where sessions go: the learner's last session in the data folder, the state
// file of skip-start-page mode, and the sweep of expired sessions.
#include "content/content_paths.h"
#include "content/debug_log.h"
#include "content/file_helpers.h"
#include "content/safe_name.h"
#include "content/user_notice.h"
#include "platform/files.h"
#include "server/http/method_log.h"
#include "server/quiz_session.h"
#include "server/road/data_folder.h"
#include "server/sessions/session_file.h"

namespace server {

void TQuizSession::OnSweepTimer() {
  TSessionsLock lock(sessions_);
  sessions_.RemoveExpired();
}

void TQuizSession::StoreSession(const std::string& path, const TQuizSessionParams& session) {
  TMethodLog log("StoreSession");
  if (path.empty()) return;
  content::LogMessage("Create a file");
  content::LogMessage("Write to a file");
  WriteSessionFile(path, session);
  content::WriteStringToFile(path + ".name", session.GetName());
  content::LogMessage("Store session");
}

std::string TQuizSession::StoredSessionPath(const std::string& login_name) const {
  return DataFilePath(data_folder_, "Sessions/" + content::MakeSafeName(login_name) + "/lastsession.session");
}

void TQuizSession::StoreCurrentSession(const TQuizSessionParams& session) {
  TMethodLog log("StoreCurrentSession");
  if (data_folder_.empty()) return;
  WriteSessionFile(StoredSessionPath(session.GetLoginName()), session);
}

std::optional<std::string> TQuizSession::StoreLearnerSession(const TQuizSessionParams& session) {
  if (skip_start_page_) return TryStoreSession(content::GetLastSessionStatePath(content_folder_), session);
  try {
    StoreCurrentSession(session);
  } catch (const plat::FileError& e) {
    SayNotStored("A learner's session could not be stored", e);
    return e.reason();
  }
  return std::nullopt;
}

}  // namespace server
