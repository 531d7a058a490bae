// The content pages' rows of the action table.
#include <string_view>

#include "server/quiz_session.h"

void TQuizSession::RegisterContentPageActions() {
  static constexpr MemberAction kRows[] = {
      {"getfile", &TQuizSession::ReturnFile},
      {"getscript", &TQuizSession::GetScript},
      {"loadstartpagexml", &TQuizSession::LoadStartPageXml},
      {"search_text", &TQuizSession::SearchText},
      {"view_result", &TQuizSession::ViewResult},
      {"print_script", &TQuizSession::PrintScript},
  };
  RegisterMembers(kRows);
}
