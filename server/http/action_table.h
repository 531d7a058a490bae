// The server's request vocabulary: every "?action=" name, in the order the
// dispatcher compares them, with the handler registered for it.
//
// The rows are fixed; handlers are registered by name as they are built. A
// row with no handler yet answers like an action that does not exist.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string_view>

#include "content/request_map.h"
#include "server/http/net_stream.h"

// A request handler: replies through the channel and returns true, or
// returns false for the "Invalid request" page.
using TActionHandler = std::function<bool(TNetStream* channel, TRequestMap& map)>;

struct TActionName {
  std::string_view action;        // as the query spells it, compared exactly
  std::string_view handler_name;  // the server operation that answers it
};

// The names the content's pages send. Spellings are the pages' own and must
// stay as they are ("getoverallperfomance" included).
inline constexpr std::array<TActionName, 37> kActionNames = {{
    {"login", "DoLogin"},
    {"logout", "Logout"},
    {"genquestions", "GenerateQuestions"},
    {"regenquestions", "ReGenerateQuestions"},
    {"getquestion", "GetQuestion"},
    {"getfeedbackindex", "GetFeedbackIndex"},
    {"putanswer", "PutAnswer"},
    {"getoverallperfomance", "GetOverallPerfomance"},
    {"getindividualfeedback", "GetIndividualFeedback"},
    {"adminlogin", "AdminLogin"},
    {"adminchangepass", "AdminChangePass"},
    {"admingetgroups", "AdminGetGroups"},
    {"adminaddgroup", "AdminAddGroup"},
    {"adminchangegroup", "AdminChangeGroup"},
    {"adminaddeditgroup", "AdminAddEditGroup"},
    {"admingetuser", "AdminGetUser"},
    {"admineditgroup", "AdminEditGroup"},
    {"admindeletegroup", "AdminDeleteGroup2"},
    {"adminaddedituser", "AdminAddEditUser"},
    {"admindeleteuser", "AdminDeleteUser"},
    {"adminstatsindex", "AdminStatsIndex"},
    {"adminstatsmodules", "AdminStatsModule"},
    {"adminstatsemployee", "AdminStatsEmployee"},
    {"adminstatsgetindexgraph", "AdminStatsGetIndexGraph"},
    {"adminstatsgroupcsv", "AdminStatsGetGroupCSV"},
    {"adminstatsemployeecsv", "AdminStatsGetEmployeeCSV"},
    {"adminstatsmodulescsv", "AdminStatsGetModulesCSV"},
    {"adminstatsgetmodulesgraph", "AdminStatsGetModulesGraph"},
    {"adminstatsgetemployeegraph", "AdminStatsGetEmployeeGraph"},
    {"adminstatsgetemployeegraph2", "AdminStatsGetEmployeeGraph2"},
    {"getfile", "ReturnFile"},
    {"getscript", "GetScript"},
    {"adminmodules", "AdminModules"},
    {"loadstartpagexml", "LoadStartPageXml"},
    {"search_text", "SearchText"},
    {"view_result", "ViewResult"},
    {"print_script", "PrintScript"},
}};

class TActionTable {
 public:
  static constexpr size_t kCount = kActionNames.size();

  // Sets (or replaces) the handler of the named action. Throws
  // std::invalid_argument for a name that is not in the table, so a
  // misspelt registration fails at start-up rather than on a request.
  void Register(std::string_view action, TActionHandler handler);

  // The row of the first name equal to action (exact, case-sensitive), or -1.
  static int IndexOf(std::string_view action);
  // The handler registered for that action; null when the action is unknown
  // or its handler is not built.
  const TActionHandler* HandlerOf(std::string_view action) const;

 private:
  std::array<TActionHandler, kCount> handlers_;
};
