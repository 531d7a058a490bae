// The action dispatch: query syntax, the action table, handler failures and logout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "content/debug_log.h"
#include "content/html_text.h"
#include "content/percent_codec.h"
#include "platform/files.h"
#include "server/http/action_table.h"
#include "server/http/reply_sink.h"
#include "server/quiz/page_templates.h"
#include "tests/server/server_test_support.h"

namespace server {
namespace {

const std::string kScript = "<p>script {{LOGO_URL}}</p>";

// The names the content's pages send, with what shows that the request
// reached the handler of its own name: the handler's entry in the debug log,
// or for the page builders, which log nothing, its reply.
const std::vector<std::pair<std::string, std::string>> kActionEvidence = {
    {"login", "TQuizSession::DoLogin\r\n"},
    {"logout", "TQuizSession::Logout\r\n"},
    {"genquestions", "TQuizSession::GenerateQuestions\r\n"},
    {"regenquestions", "TQuizSession::ReGenerateQuestions\r\n"},
    {"getquestion", "TQuizSession::GetQuestion\r\n"},
    {"getfeedbackindex", "TQuizSession::GetFeedbackIndex\r\n"},
    {"putanswer", "TQuizSession::PutAnswer\r\n"},
    {"getoverallperfomance", "TQuizSession::GetOverallPerfomance\r\n"},
    {"getindividualfeedback", "TQuizSession::GetIndividualFeedback\r\n"},
    {"adminlogin", "TQuizSession::AdminLogin\r\n"},
    {"adminchangepass", "TQuizSession::AdminChangePass\r\n"},
    {"admingetgroups", "TQuizSession::AdminGetGroups\r\n"},
    {"adminaddgroup", "TQuizSession::AdminAddGroup\r\n"},
    {"adminchangegroup", "TQuizSession::AdminChangeGroup\r\n"},
    {"adminaddeditgroup", "TQuizSession::AdminAddEditGroup\r\n"},
    {"admingetuser", "TQuizSession::AdminGetUser\r\n"},
    {"admineditgroup", "TQuizSession::AdminEditGroup\r\n"},
    {"admindeletegroup", "TQuizSession::AdminDeleteGroup2\r\n"},
    {"adminaddedituser", "TQuizSession::AdminAddEditUser\r\n"},
    {"admindeleteuser", "TQuizSession::AdminDeleteUser\r\n"},
    {"adminstatsindex", "TQuizSession::AdminStatsIndex\r\n"},
    {"adminstatsmodules", "TQuizSession::AdminStatsModule\r\n"},
    {"adminstatsemployee", "TQuizSession::AdminStatsEmployee\r\n"},
    {"adminstatsgetindexgraph", "TQuizSession::AdminStatsGetIndexGraph\r\n"},
    {"adminstatsgroupcsv", "TQuizSession::AdminStatsGetGroupCSV\r\n"},
    {"adminstatsemployeecsv", "TQuizSession::AdminStatsGetEmployeeCSV\r\n"},
    {"adminstatsmodulescsv", "TQuizSession::AdminStatsGetModulesCSV\r\n"},
    {"adminstatsgetmodulesgraph", "TQuizSession::AdminStatsGetModulesGraph\r\n"},
    {"adminstatsgetemployeegraph", "TQuizSession::AdminStatsGetEmployeeGraph\r\n"},
    {"adminstatsgetemployeegraph2", "TQuizSession::AdminStatsGetEmployeeGraph2\r\n"},
    {"getfile", "TQuizSession::ReturnFile\r\n"},
    {"getscript", "\r\n\r\n" + content::PrepareHtmlText(kScript)},
    {"adminmodules", "TQuizSession::AdminModules\r\n"},
    {"loadstartpagexml", "\r\n\r\n<startpage a=\"1\" />"},
    {"search_text", "\r\n\r\n" + content::PercentEncode(kNoMatchesPage)},
    {"view_result", "Content-Type: text/html\r\nAccept-Ranges: bytes\r\nContent-Length: 0\r\n\r\n"},
    {"print_script", "\r\n\r\n<p>script ?action=getfile&filename=varnel-logo.jpg</p>"},
};

TEST(ActionTable, EveryNameReachesItsOwnHandler) {
  plat::testing::TestFolder folder;
  const std::string content = folder.path() + "/course/";
  PutFile(content + "index.html", "<html>start</html>");
  PutFile(content + "startpage.xml", "<startpage a=\"1\"/>");
  PutFile(content + "script.html", kScript);
  plat::EventLoop loop;
  TQuizSession server(loop, 1);
  ASSERT_TRUE(server.SetPath(content));
  const std::string log = folder.path() + "/debug.log";
  content::SetDebugLogFile(log);
  for (const auto& [action, evidence] : kActionEvidence) {
    plat::WriteFileAtomic(log, "");
    TReplySink sink;
    TNetStream channel(sink);
    server.ProcessRequest(&channel, "action=" + action + "&sessionid=none&subject=1&id=1&filename=script.html");
    EXPECT_NE((plat::ReadWholeFile(log) + sink.Bytes()).find(evidence), std::string::npos) << action;
  }
  content::SetDebugLogFile("");
}

// A server without a socket whose every action is a stub that notes its
// name and the map it got.
class DispatchTest : public ::testing::Test {
 protected:
  DispatchTest() : server_(loop_, 1) {
    for (const auto& [action, evidence] : kActionEvidence) {
      server_.GetActionTable().Register(action,
                                        [this, action = action](TNetStream* channel, content::TRequestMap& map) {
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
  content::TRequestMap map_;
};

TEST_F(DispatchTest, EachActionReachesItsOwnHandler) {
  for (const auto& [action, evidence] : kActionEvidence) {
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
  actions.Register("getquestion", [](TNetStream*, content::TRequestMap& map) -> bool {
    throw std::invalid_argument("'" + map.GetValue("subject") + "' is not a valid integer value");
  });
  actions.Register("getfile", [](TNetStream*, content::TRequestMap&) -> bool { throw 42; });
  actions.Register("getscript", [](TNetStream* channel, content::TRequestMap&) -> bool {
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
}  // namespace server
