// A server over a content folder, answering administrator requests in memory
// under a clock the test moves.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "content/percent_codec.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "server/http/reply_sink.h"
#include "tests/server/server_test_support.h"

namespace server {

// What Ask gives for a request answered with the error page.
inline const std::string kErrorPage = "<error page>";
inline const std::string kNotLoggedIn = "<movie errortext=\"You are not logged in.\" />";

// The reply that refuses a request for the reason given.
inline std::string Refusal(const std::string& reason) { return "<movie errortext=\"" + reason + "\" />"; }

class AdminTest : public ::testing::Test {
 protected:
  AdminTest()
      : config_home_("XDG_CONFIG_HOME", folder_.path() + "/config"),
        data_home_("XDG_DATA_HOME", folder_.path() + "/data-home"),
        content_(folder_.path() + "/course/") {
    clock_.SetTickCount(1000);
    PutFile(content_ + "index.html", "<html>start</html>");
  }

  // Opens the content folder with these files in it.
  void OpenFolder(const std::map<std::string, std::string>& files = {}) {
    for (const auto& [name, bytes] : files) PutFile(content_ + name, bytes);
    ASSERT_TRUE(server_.SetPath(content_));
  }

  // The body of the XML reply, or kErrorPage when the dispatcher was left to
  // answer "Invalid request".
  std::string Ask(const std::string& query) {
    TReplySink sink;
    TNetStream channel(sink);
    if (!server_.ProcessRequest(&channel, query)) return kErrorPage;
    const size_t body = sink.Bytes().find("\r\n\r\n");
    EXPECT_NE(body, std::string::npos) << sink.Bytes();
    return body == std::string::npos ? sink.Bytes() : sink.Bytes().substr(body + 4);
  }

  // Logs in and keeps the session id for AskAsAdmin.
  std::string LogIn(const std::string& password = "qorbe") {
    const std::string reply = Ask("action=adminlogin&username=qorbe&password=" + password);
    const std::string prefix = "<movie error=\"0\" sessionid=\"";
    EXPECT_EQ(reply.rfind(prefix, 0), 0u) << reply;
    if (reply.rfind(prefix, 0) != 0) return "";
    session_id_ = reply.substr(prefix.size(), reply.find('"', prefix.size()) - prefix.size());
    return session_id_;
  }

  std::string AskAsAdmin(const std::string& action, const std::string& parameters = "") {
    return Ask("action=" + action + "&sessionid=" + session_id_ + parameters);
  }

  std::string DataFile(const std::string& name) const {
    const std::string path = server_.GetDataFolder() + name;
    return plat::FileExists(path) ? plat::ReadWholeFile(path) : "<missing>";
  }

  plat::testing::TestFolder folder_;
  plat::testing::ScopedEnv config_home_;
  plat::testing::ScopedEnv data_home_;
  plat::ManualClock clock_;
  plat::ScopedProcessClock clock_scope_{clock_};
  std::string content_;
  plat::EventLoop loop_;
  TQuizSession server_{loop_, 1};
  std::string session_id_;
};

}  // namespace server
