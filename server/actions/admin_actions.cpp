// The administrator's rows of the action table.
#include <string_view>

#include "server/quiz_session.h"

void TQuizSession::RegisterAdminActions() {
  static constexpr MemberAction kRows[] = {
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
  RegisterMembers(kRows);
}
