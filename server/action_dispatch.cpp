// The action dispatch: a query request names one server operation.
#include "content/debug_log.h"
#include "server/method_log.h"
#include "server/quiz_session.h"

bool TQuizSession::ProcessRequest(TNetStream* /*channel*/, std::string_view query) {
  TMethodLog log("ProcessRequest");
  LogMessage("Request: %s", std::string(query).c_str());
  // No action is known yet: the caller answers with the error page.
  return false;
}
