// The quiz session's request vocabulary: every "?action=" name the content's
// pages send, with the member that answers it. The spellings are the pages'
// own and must stay as they are ("getoverallperfomance" included).
#include <string_view>

#include "server/quiz_session.h"

namespace server {
namespace {

struct TQuizAction {
  std::string_view action;
  bool (TQuizSession::*handler)(TNetStream*, content::TRequestMap&);
};

constexpr TQuizAction kQuizActions[] = {
    {"login", &TQuizSession::DoLogin},
    {"logout", &TQuizSession::Logout},
    {"genquestions", &TQuizSession::GenerateQuestions},
    {"regenquestions", &TQuizSession::ReGenerateQuestions},
    {"getquestion", &TQuizSession::GetQuestion},
    {"getfeedbackindex", &TQuizSession::GetFeedbackIndex},
    {"putanswer", &TQuizSession::PutAnswer},
    {"getoverallperfomance", &TQuizSession::GetOverallPerfomance},
    {"getindividualfeedback", &TQuizSession::GetIndividualFeedback},
    {"adminlogin", &TQuizSession::AdminLogin},
    {"adminchangepass", &TQuizSession::AdminChangePass},
    {"admingetgroups", &TQuizSession::AdminGetGroups},
    {"adminaddgroup", &TQuizSession::AdminAddGroup},
    {"adminchangegroup", &TQuizSession::AdminChangeGroup},
    {"adminaddeditgroup", &TQuizSession::AdminAddEditGroup},
    {"admingetuser", &TQuizSession::AdminGetUser},
    {"admineditgroup", &TQuizSession::AdminEditGroup},
    {"admindeletegroup", &TQuizSession::AdminDeleteGroup2},
    {"adminaddedituser", &TQuizSession::AdminAddEditUser},
    {"admindeleteuser", &TQuizSession::AdminDeleteUser},
    {"adminstatsindex", &TQuizSession::AdminStatsIndex},
    {"adminstatsmodules", &TQuizSession::AdminStatsModule},
    {"adminstatsemployee", &TQuizSession::AdminStatsEmployee},
    {"adminstatsgetindexgraph", &TQuizSession::AdminStatsGetIndexGraph},
    {"adminstatsgroupcsv", &TQuizSession::AdminStatsGetGroupCSV},
    {"adminstatsemployeecsv", &TQuizSession::AdminStatsGetEmployeeCSV},
    {"adminstatsmodulescsv", &TQuizSession::AdminStatsGetModulesCSV},
    {"adminstatsgetmodulesgraph", &TQuizSession::AdminStatsGetModulesGraph},
    {"adminstatsgetemployeegraph", &TQuizSession::AdminStatsGetEmployeeGraph},
    {"adminstatsgetemployeegraph2", &TQuizSession::AdminStatsGetEmployeeGraph2},
    {"getfile", &TQuizSession::ReturnFile},
    {"getscript", &TQuizSession::GetScript},
    {"adminmodules", &TQuizSession::AdminModules},
    {"loadstartpagexml", &TQuizSession::LoadStartPageXml},
    {"search_text", &TQuizSession::SearchText},
    {"view_result", &TQuizSession::ViewResult},
    {"print_script", &TQuizSession::PrintScript},
};

}  // namespace

void TQuizSession::RegisterActions() {
  for (const TQuizAction& row : kQuizActions) {
    actions_.Register(row.action, [this, handler = row.handler](TNetStream* channel, content::TRequestMap& map) {
      return (this->*handler)(channel, map);
    });
  }
}

}  // namespace server
