// The action dispatch: a query request names one server operation.
#include <exception>
#include <string>

#include "content/debug_log.h"
#include "content/percent_codec.h"
#include "content/request_map.h"
#include "content/text_lists.h"
#include "server/http/method_log.h"
#include "server/quiz_session.h"

namespace server {

bool TQuizSession::ProcessRequest(TNetStream* channel, std::string_view query) {
  TMethodLog log("ProcessRequest");
  content::LogMessage("Request: %s", std::string(query).c_str());
  // '&' and '=' both separate, before decoding: a value holding either must
  // arrive percent-encoded.
  content::TStringList tokens;
  content::SplitString(tokens, query, "&=");
  for (std::string& token : tokens) token = content::PercentDecode(token);
  if (tokens.empty() || tokens[0] != "action" || tokens.size() < 2) return false;

  const std::string& action = tokens[1];
  const TActionHandler* handler = actions_.HandlerOf(action);
  if (handler == nullptr) return false;
  content::TRequestMap map(tokens);
  // Handlers convert numbers, read files and parse documents: whatever one
  // raises ends this request, never the server.
  try {
    return (*handler)(channel, map);
  } catch (const std::exception& e) {
    content::LogMessage("action %s failed: %s", action.c_str(), e.what());
  } catch (...) {
    content::LogMessage("action %s failed: %s", action.c_str(), "unknown exception");
  }
  if (channel == nullptr || channel->BytesWritten() == 0) return false;
  // A reply had begun: an error page cannot follow it, so it ends here.
  channel->Close();
  return true;
}

}  // namespace server
