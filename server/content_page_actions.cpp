// The content pages' rows of the action table.
#include <string_view>
#include <utility>

#include "server/quiz_session.h"

void TQuizSession::RegisterContentPageActions() {
  using Handler = bool (TQuizSession::*)(TNetStream*, TRequestMap&);
  static constexpr std::pair<std::string_view, Handler> kHandlers[] = {
      {"getfile", &TQuizSession::ReturnFile},
      {"getscript", &TQuizSession::GetScript},
      {"loadstartpagexml", &TQuizSession::LoadStartPageXml},
      {"search_text", &TQuizSession::SearchText},
      {"view_result", &TQuizSession::ViewResult},
      {"print_script", &TQuizSession::PrintScript},
  };
  for (const auto& [action, handler] : kHandlers) {
    actions_.Register(
        action, [this, handler](TNetStream* channel, TRequestMap& map) { return (this->*handler)(channel, map); });
  }
}
