// The "login" action: a learner becomes a session.

#include <string>

#include "content/content_paths.h"
#include "content/user_notice.h"
#include "platform/ascii.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/random.h"
#include "platform/removal.h"
#include "server/actions/login_reply.h"
#include "server/http/method_log.h"
#include "server/quiz_session.h"
#include "server/road/data_folder.h"
#include "server/sessions/session_file.h"

namespace server {
namespace {

// Moves a damaged session file aside; what the notice adds about it.
std::string SetDamagedSessionAside(const std::string& path) {
  const std::string aside = SetAsideName(path, "damaged");
  try {
    plat::MoveAside(path, aside);
    return " (moved aside to " + aside + ")";
  } catch (const plat::FileError& e) {
    return " (it could not be moved aside: " + e.reason() + ")";
  }
}

// Skip-start-page logins all share this login name, so each replaces the last.
constexpr char kSkippedLogin[] = "skipped";

std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// "Anon", the date as M/D/YYYY and the time as H:MM:SS without their
// separators, and a number below 32768.
std::string AnonymousUserName() {
  const plat::LocalTime now = plat::ProcessClock().Now();
  return "Anon" + std::to_string(now.month) + std::to_string(now.day) + std::to_string(now.year) +
         std::to_string(now.hour) + TwoDigits(now.minute) + TwoDigits(now.second) +
         std::to_string(plat::RandomBelow(plat::ProcessRandom(), 32768));
}

void RemoveFileIfAny(const std::string& path) {
  if (!path.empty()) plat::RemoveFile(path);
}

}  // namespace

bool TQuizSession::DoLogin(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("DoLogin");
  std::string name = map.GetValue("name");
  std::string email = map.GetValue("email");
  std::string number = map.GetValue("number");
  std::string username = map.GetValue("username");
  const std::string password = map.GetValue("password");

  if (skip_start_page_) {
    if (restore_flag_) username = restored_user_name_;
    skip_start_page_login_name_ = username;
    name = username;
    email = number = username = kSkippedLogin;
    user_name_ = AnonymousUserName();
  } else {
    const content::TUser* match = nullptr;
    for (int i = 0; i < users_.Count(); ++i) {
      const content::TUser* user = users_.GetUser(i);
      if (user->GetLoginName() == username && user->GetPassword() == password) match = user;
    }
    if (match == nullptr) {
      ReturnXML(channel, kLoginFailedReply);
      return true;
    }
    name = match->GetFullName();
    user_name_ = name;
  }

  std::string reply;
  {
    TSessionsLock lock(sessions_);
    ReplaceEarlierSessions(username);
    // Learner sessions never expire: only the administrator's lapses.
    TQuizSessionParams& session = *sessions_.AddNew(false);
    FillNewSession(session, name, email, number, username);
    const std::string& display = session.GetName().empty() ? session.GetLoginName() : session.GetName();
    reply = "<movie error=\"0\" sessionid=\"" + session.GetId() + "\" UserName=\"" + plat::XmlAttrEscape(display) +
            "\" />";
  }
  ReturnXML(channel, reply);
  return true;
}

void TQuizSession::ReplaceEarlierSessions(const std::string& login_name) {
  for (int i = 0; i < sessions_.Count();) {
    const TQuizSessionParams& earlier = *sessions_.At(i);
    if (earlier.GetLoginName() != login_name) {
      ++i;
      continue;
    }
    try {
      if (skip_start_page_) {
        StoreSession(content::GetLastSessionStatePath(content_folder_), earlier);
      } else {
        StoreCurrentSession(earlier);
      }
    } catch (const plat::FileError& e) {
      SayNotStored("A learner's earlier session could not be stored", e);
    }
    sessions_.Delete(i);
  }
}

void TQuizSession::FillNewSession(TQuizSessionParams& session, const std::string& name, const std::string& email,
                                  const std::string& number, const std::string& login_name) {
  if (skip_start_page_ && restore_flag_) {
    if (!LoadStoredSession(state_file_path_, session)) {
      session.SetName(name);
      session.SetEmail(email);
      session.SetNumber(number);
    }
    session.SetLoginName(kSkippedLogin);
    return;
  }
  const std::string state_path = skip_start_page_ ? content::GetLastSessionStatePath(content_folder_) : "";
  if (skip_start_page_) {
    RemoveFileIfAny(state_path);
    RemoveFileIfAny(state_path.empty() ? "" : state_path + ".name");
  }
  if (!data_folder_.empty() && LoadStoredSession(StoredSessionPath(login_name), session, TDamagedSession::kSetAside)) {
    session.SetLoginName(login_name);
    session.SetName(name);
    return;
  }
  session.SetName(name);
  session.SetEmail(email);
  session.SetNumber(number);
  session.SetLoginName(login_name);
  if (skip_start_page_) TryStoreSession(state_path, session);
}

bool TQuizSession::LoadStoredSession(const std::string& path, TQuizSessionParams& session, TDamagedSession damaged) {
  if (path.empty() || !plat::FileExists(path)) return false;
  std::string what;
  try {
    if (LoadSessionFile(path, session)) return true;
    what = "is damaged";
    // The next store would write over what is left of it.
    if (damaged == TDamagedSession::kSetAside) what += SetDamagedSessionAside(path);
  } catch (const plat::FileError& e) {
    what = "cannot be read (" + e.reason() + ")";
  }
  content::NoticeToUser("The stored session %s %s: the learner starts afresh.", path.c_str(), what.c_str());
  return false;
}

std::optional<std::string> TQuizSession::TryStoreSession(const std::string& path, const TQuizSessionParams& session) {
  try {
    StoreSession(path, session);
  } catch (const plat::FileError& e) {
    content::NoticeToUser("A learner's session could not be stored: %s", e.what());
    return e.reason();
  }
  return std::nullopt;
}

}  // namespace server
