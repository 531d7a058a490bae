// The administrator's rows of the action table.
#include <string_view>
#include <utility>

#include "server/quiz_session.h"

void TQuizSession::RegisterAdminActions() {
  using Handler = bool (TQuizSession::*)(TNetStream*, TRequestMap&);
  static constexpr std::pair<std::string_view, Handler> kHandlers[] = {
      {"adminlogin", &TQuizSession::AdminLogin},
      {"adminchangepass", &TQuizSession::AdminChangePass},
      {"adminmodules", &TQuizSession::AdminModules},
      {"admingetgroups", &TQuizSession::AdminGetGroups},
      {"adminaddgroup", &TQuizSession::AdminAddGroup},
      {"adminchangegroup", &TQuizSession::AdminChangeGroup},
      {"admindeletegroup", &TQuizSession::AdminDeleteGroup2},
      {"adminaddeditgroup", &TQuizSession::AdminAddEditGroup},
      {"admineditgroup", &TQuizSession::AdminEditGroup},
      {"admingetuser", &TQuizSession::AdminGetUser},
      {"adminaddedituser", &TQuizSession::AdminAddEditUser},
      {"admindeleteuser", &TQuizSession::AdminDeleteUser},
  };
  for (const auto& [action, handler] : kHandlers) {
    actions_.Register(
        action, [this, handler](TNetStream* channel, TRequestMap& map) { return (this->*handler)(channel, map); });
  }
}
