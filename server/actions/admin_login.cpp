// The administrator's login, password and module list.
#include <optional>
#include <string>

#include "content/percent_codec.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "server/actions/admin_checks.h"
#include "server/actions/login_reply.h"
#include "server/http/method_log.h"
#include "server/quiz/admin_settings.h"
#include "server/quiz_session.h"

namespace server {
namespace {

constexpr std::string_view kWrongCurrentPassword = "<movie errortext=\"The current password is invalid.\" />";
constexpr std::string_view kPasswordChanged = "<movie errortext=\"The password has been changed.\" />";

}  // namespace

bool TQuizSession::IsAdminOK(std::string_view session_id) { return admin_session_.Check(session_id); }

bool TQuizSession::CheckAdminSession(TNetStream* channel, const content::TRequestMap& map) {
  if (IsAdminOK(map.GetValue("sessionid"))) return true;
  ReturnXML(channel, kAdminNotLoggedIn);
  return false;
}

bool TQuizSession::AdminLogin(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminLogin");
  // A stored password that cannot be known lets nobody in, with the first one neither.
  if (const std::optional<std::string> fault = AdminPasswordFault(data_folder_)) {
    ReturnXML(channel, "<movie error=\"1\" errortext=\"" + plat::XmlAttrEscape(*fault) + "\" />");
    return true;
  }
  const std::string password = EffectiveAdminPassword(data_folder_);
  if (map.GetValue("username") != kAdminLoginName || map.GetValue("password") != password) {
    ReturnXML(channel, kLoginFailedReply);
    return true;
  }
  std::string id;
  {
    TSessionsLock lock(sessions_);
    id = admin_session_.Begin(password);
  }
  ReturnXML(channel, "<movie error=\"0\" sessionid=\"" + id + "\" />");
  return true;
}

bool TQuizSession::AdminChangePass(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminChangePass");
  if (!CheckAdminSession(channel, map)) return true;
  // The session keeps the password it was opened with: a second change in
  // the same session needs that one again.
  if (map.GetValue("currentpassword") != admin_session_.GetPassword()) {
    ReturnXML(channel, kWrongCurrentPassword);
    return true;
  }
  // A password that would add lines to the settings file is refused there,
  // the file unchanged.
  try {
    WriteAdminPassword(data_folder_, map.GetValue("newpassword"));
  } catch (const plat::IniError&) {
    Refused(channel, "A password cannot hold a line break.");
    return true;
  } catch (const plat::FileError& e) {
    SayNotStored("The administrator's password could not be stored, so it was not changed", e);
    Refused(channel, "The password could not be stored: " + e.reason() + ".");
    return true;
  }
  ReturnXML(channel, kPasswordChanged);
  return true;
}

bool TQuizSession::AdminModules(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminModules");
  if (!CheckAdminSession(channel, map)) return true;
  std::string list;
  for (size_t i = 0; i < subject_titles_.size(); ++i) {
    const std::string& title = subject_titles_[i];
    // Line i is the title of subject i + 1.
    if (title.empty() || !HasSubjectQuestions(static_cast<int>(i) + 1)) continue;
    list += title + '\r' + std::to_string(i) + '\r';
  }
  ReturnXML(channel, "<movie  Modules=\"" + content::PercentEncode(list) + "\"/>");
  return true;
}

}  // namespace server
