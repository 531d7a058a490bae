// The handlers that read or send a file the request names: "getfile" and
// "getscript". The name goes through the content road, and must be a plain
// relative content name first.
#include <string>

#include "content/debug_log.h"
#include "content/html_text.h"
#include "server/quiz_session.h"
#include "server/road/requested_name.h"

namespace server {

std::string TQuizSession::LoadRequestedFile(std::string_view name) {
  if (!IsRequestedContentName(name)) {
    content::LogMessage("refused file name: %s", std::string(name).c_str());
    return "";
  }
  return LoadFileToString(name);
}

bool TQuizSession::GetScript(TNetStream* channel, content::TRequestMap& map) {
  ReturnHTML(channel, content::PrepareHtmlText(LoadRequestedFile(map.GetValue("filename"))), true);
  return true;
}

bool TQuizSession::ReturnFile(TNetStream* channel, content::TRequestMap& map) {
  content::LogMessage("TQuizSession::%s", "ReturnFile");
  const std::string name = map.GetValue("filename");
  content::LogMessage("filename: %s", name.c_str());
  content::LogMessage("Exit - %s", "ReturnFile");
  if (!IsRequestedContentName(name)) {
    content::LogMessage("refused file name: %s", name.c_str());
    return false;
  }
  return SendFile(channel, name);
}

}  // namespace server
