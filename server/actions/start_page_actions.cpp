// The start page's handlers: "loadstartpagexml" and "logout".
#include "server/http/method_log.h"
#include "server/quiz/start_page.h"
#include "server/quiz_session.h"

namespace server {

bool TQuizSession::LoadStartPageXml(TNetStream* channel, content::TRequestMap& /*map*/) {
  ReturnXML(channel, StartPageXml(ReadContentText("startpage.xml").value_or(""), restore_flag_));
  return true;
}

bool TQuizSession::Logout(TNetStream* channel, content::TRequestMap& /*map*/) {
  TMethodLog log("Logout");
  restore_flag_ = false;
  // Through the content road, so folder mode serves the content's own start
  // page whatever the working folder is.
  return SendFile(channel, "index.html");
}

}  // namespace server
