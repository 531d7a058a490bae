// The action dispatch: query syntax, the action table, handler failures and logout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "server/http/action_table.h"
#include "server/http/reply_sink.h"
#include "tests/server/server_test_support.h"

namespace server_test {
namespace {

// The content's pages send exactly these, and the dispatcher compares them in this order.
const std::vector<std::pair<std::string, std::string>> kExpectedTable = {
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
};

// A server without a socket whose every action is a stub that notes its row
// and the map it got.
class DispatchTest : public ::testing::Test {
 protected:
  DispatchTest() : server_(loop_, 1) {
    for (const auto& [action, handler] : kExpectedTable) {
      server_.GetActionTable().Register(action, [this, action = action](TNetStream* channel, TRequestMap& map) {
        called_.push_back(action);
        map_ = map;
        server_.ReturnXML(channel, "<movie/>");
        return true;
      });
    }
  }

  // Dispatches one query; true when a handler answered.
  bool Dispatch(const std::string& query) {
    TReplySink sink;
    TNetStream channel(sink);
    return server_.ProcessRequest(&channel, query);
  }

  plat::EventLoop loop_;
  TQuizSession server_;
  std::vector<std::string> called_;
  TRequestMap map_;
};

TEST(ActionTable, HoldsTheActionsInTheirOrderWithTheirHandlers) {
  ASSERT_EQ(kActionNames.size(), kExpectedTable.size());
  for (size_t i = 0; i < kExpectedTable.size(); ++i) {
    EXPECT_EQ(kActionNames[i].action, kExpectedTable[i].first) << i;
    EXPECT_EQ(kActionNames[i].handler_name, kExpectedTable[i].second) << i;
  }
  TActionTable table;
  EXPECT_THROW(table.Register("Login", [](TNetStream*, TRequestMap&) { return true; }), std::invalid_argument);
  EXPECT_EQ(table.HandlerOf("genquestions"), nullptr);
}

TEST_F(DispatchTest, EachActionReachesItsOwnHandler) {
  for (const auto& [action, handler] : kExpectedTable) {
    called_.clear();
    EXPECT_TRUE(Dispatch("action=" + action + "&sessionid=1")) << action;
    EXPECT_EQ(called_, std::vector<std::string>{action}) << action;
  }
}

TEST_F(DispatchTest, MalformedQueriesReachNoHandler) {
  for (const std::string query :
       {"", "ACTION=login", "action=Login", "x=1&action=login", "action", "action=", "action=logins",
        "action=adminstatsgetemployeegraph3", "=login&action=login", " action=login"}) {
    EXPECT_FALSE(Dispatch(query)) << query;
  }
  EXPECT_TRUE(called_.empty());
}

TEST_F(DispatchTest, TokensAreDecodedAndNamesAreCaseFree) {
  ASSERT_TRUE(Dispatch("action=login&username=a&password=b"));
  EXPECT_EQ(map_.GetValue("USERNAME"), "a");
  EXPECT_EQ(map_.GetValue("password"), "b");
  EXPECT_EQ(map_.GetValue("action"), "login");

  ASSERT_TRUE(Dispatch("action=getquestion&SessionID=1&sUbJeCt=3"));
  EXPECT_EQ(map_.GetValue("sessionid"), "1");
  EXPECT_EQ(map_.GetValue("SUBJECT"), "3");
  EXPECT_EQ(map_.GetValue("missing"), "");

  ASSERT_TRUE(Dispatch("action=search_text&keywords=a%26b%3Dc+d%00e"));
  EXPECT_EQ(map_.GetValue("keywords"), std::string("a&b=c+d\0e", 9));
  ASSERT_TRUE(Dispatch("action=search_text&keywords=a&b"));
  EXPECT_EQ(map_.GetValue("keywords"), "a");

  // The action's own token is decoded before it is compared, and '&' and '='
  // separate alike.
  called_.clear();
  ASSERT_TRUE(Dispatch("%61ction=log%6Fut"));
  ASSERT_TRUE(Dispatch("action&login=username"));
  EXPECT_EQ(called_, (std::vector<std::string>{"logout", "login"}));
}

TEST(ActionDispatch, AnActionWithoutHandlerGetsTheErrorPage) {
  plat::EventLoop loop;
  TQuizSession server(loop, 1);
  server.GetActionTable().Register("adminlogin", nullptr);  // a row not built
  TReplySink sink;
  TNetStream channel(sink);
  EXPECT_FALSE(server.ProcessRequest(&channel, "action=adminlogin&password=x"));
  EXPECT_EQ(sink.Bytes(), "");
}

class DispatchOverSockets : public ServerTest {};

TEST_F(DispatchOverSockets, AFailingHandlerGetsTheErrorPageAndTheServerGoesOn) {
  TActionTable& actions = server_.GetActionTable();
  actions.Register("getquestion", [](TNetStream*, TRequestMap& map) -> bool {
    throw std::invalid_argument("'" + map.GetValue("subject") + "' is not a valid integer value");
  });
  actions.Register("getfile", [](TNetStream*, TRequestMap&) -> bool { throw 42; });
  actions.Register("getscript", [](TNetStream* channel, TRequestMap&) -> bool {
    channel->WriteString("HTTP/1.0 200 OK\r\n");
    throw std::runtime_error("cannot read the script");
  });

  EXPECT_EQ(Get("/?action=getquestion&subject=x"), kInvalidRequestPage);
  EXPECT_EQ(Get("/?action=getfile&name=a"), kInvalidRequestPage);
  // A reply that had begun is cut short, never followed by an error page.
  EXPECT_EQ(Get("/?action=getscript"), "HTTP/1.0 200 OK\r\n");
  EXPECT_EQ(Get("/index.html"), FileReply("text/html", "<html>start</html>"));
  EXPECT_TRUE(SettleConnections());
}

TEST_F(DispatchOverSockets, LogoutServesTheContentsStartPageWhereverTheProcessStands) {
  plat::testing::TestFolder elsewhere;
  PutFile(elsewhere.path() + "/index.html", "<html>not the content</html>");
  ScopedWorkingFolder working(elsewhere.path());

  server_.SetRestoreFlag(true);
  EXPECT_EQ(Get("/?action=logout"), FileReply("text/html", "<html>start</html>"));
  EXPECT_FALSE(server_.GetRestoreFlag());

  const std::string package = folder_.path() + "/course.vrn";
  PutPackage(package, {{"Index.html", "<html>packed start</html>"}});
  ASSERT_TRUE(server_.SetPath(package));
  ASSERT_TRUE(server_.Open());
  server_.SetRestoreFlag(true);
  EXPECT_EQ(Get("/?action=logout&sessionid=5"), FileReply("text/html", "<html>packed start</html>"));
  EXPECT_FALSE(server_.GetRestoreFlag());
}

TEST_F(DispatchOverSockets, LogoutWithoutAStartPageGetsTheErrorPage) {
  ASSERT_EQ(::unlink((content_ + "index.html").c_str()), 0);
  EXPECT_EQ(Get("/?action=logout"), kInvalidRequestPage);
}

}  // namespace
}  // namespace server_test
