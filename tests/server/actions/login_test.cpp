// The "login" action over loopback sockets, in folder and packed mode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "content/file_helpers.h"
#include "platform/files.h"
#include "platform/xml_document.h"
#include "server/sessions/session_file.h"
#include "tests/server/server_test_support.h"

namespace server {
namespace {

using plat::testing::ScopedEnv;

const std::string kFailed = "<movie error=\"1\" errortext=\"Invalid login name or password.\" />";
const std::string kUsers =
    "ann;secret;;;Ann Smith\r\n"
    "quoted;pw;;;A \"B\" <C>\r\n"
    "nameless;pw;;;\r\n"
    "twice;pw;;;First\r\n"
    "twice;pw;;;Second\r\n";

struct LoginReply {
  std::string id;
  std::string user_name;
};

enum class Mode { kFolder, kPacked };

class Login : public ServerTest, public ::testing::WithParamInterface<Mode> {
 protected:
  Login()
      : config_home_("XDG_CONFIG_HOME", folder_.path() + "/config"),
        data_home_("XDG_DATA_HOME", folder_.path() + "/data-home") {}

  // Opens the content with these extra files, as a folder or as a package.
  void OpenContent(std::map<std::string, std::string> files) {
    files.emplace("index.html", "<html>start</html>");
    if (GetParam() == Mode::kFolder) {
      for (const auto& [name, bytes] : files) PutFile(content_ + name, bytes);
      ASSERT_TRUE(server_.SetPath(content_));
    } else {
      package_ = folder_.path() + "/cd/course.vrn";
      plat::CreateFolders(folder_.path() + "/cd");
      PutPackage(package_, files);
      ASSERT_TRUE(server_.SetPath(package_));
    }
    ASSERT_TRUE(server_.Open());
  }

  std::string LoginQuery(const std::string& username, const std::string& password) {
    return Get("/?action=login&username=" + username + "&password=" + password);
  }

  // The reply's body, read as the page reads it.
  static LoginReply Parse(const std::string& reply) {
    const size_t body = reply.find("\r\n\r\n");
    EXPECT_NE(body, std::string::npos) << reply;
    if (body == std::string::npos) return {};
    const plat::XmlDocument document = plat::XmlDocument::Parse(reply.substr(body + 4));
    const plat::XmlElement movie = document.DocumentElement();
    EXPECT_EQ(movie.Attribute("error"), "0") << reply;
    return {movie.Attribute("sessionid").value_or(""), movie.Attribute("UserName").value_or("")};
  }

  TQuizSessionParams* Session(const std::string& id) { return server_.GetSessions().FindById(id); }

  ScopedEnv config_home_;
  ScopedEnv data_home_;
  std::string package_;
};

TEST_P(Login, WrongCredentialsGetTheExactFailureElement) {
  OpenContent({{"all.users.csv", kUsers}});
  for (const auto& [user, password] :
       {std::pair{"ann", "wrong"}, {"Ann", "secret"}, {"ann", "SECRET"}, {"", ""}, {"nobody", "secret"}}) {
    EXPECT_EQ(LoginQuery(user, password), FileReply("text/xml", kFailed)) << user;
  }
  EXPECT_EQ(server_.GetSessions().Count(), 0);
}

TEST_P(Login, ASessionCarriesTheUsersName) {
  OpenContent({{"all.users.csv", kUsers}});
  const std::string reply = LoginQuery("ann", "secret");
  const LoginReply login = Parse(reply);
  ASSERT_TRUE(std::regex_match(login.id, std::regex("[0-9]{4,}")));
  EXPECT_EQ(reply,
            FileReply("text/xml", "<movie error=\"0\" sessionid=\"" + login.id + "\" UserName=\"Ann Smith\" />"));
  TQuizSessionParams* session = Session(login.id);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->GetLoginName(), "ann");
  EXPECT_EQ(session->GetName(), "Ann Smith");
  EXPECT_FALSE(session->GetExpires());
  EXPECT_EQ(server_.GetUserNameText(), "Ann Smith");

  // Markup in a name comes back as the same text; an empty name gives the
  // login name; of two equal accounts the later one counts.
  EXPECT_EQ(Parse(LoginQuery("quoted", "pw")).user_name, "A \"B\" <C>");
  EXPECT_EQ(Parse(LoginQuery("nameless", "pw")).user_name, "nameless");
  EXPECT_EQ(Parse(LoginQuery("twice", "pw")).user_name, "Second");
  // Parameters arrive decoded.
  EXPECT_EQ(Parse(LoginQuery("%61nn", "secr%65t")).user_name, "Ann Smith");
}

TEST_P(Login, ASecondLoginContinuesTheEarlierSessionUnderANewId) {
  OpenContent({{"all.users.csv", kUsers}, {"projectid.txt", "knots"}});
  const std::string first_id = Parse(LoginQuery("ann", "secret")).id;
  {
    TSessionsLock lock(server_.GetSessions());
    TSessionQuestions& test = *Session(first_id)->CreateTest(2);
    content::TQuestion& question = *test.GetQuestions().AddNew();
    question.LoadFromIndexRow("Which%20knot%3F;Reef;Granny;;;;5;0;0;0;0");
    question.SetChosenAnswer(2);
    Session(first_id)->SetEmail("ann@example.org");
  }
  const std::string second_id = Parse(LoginQuery("ann", "secret")).id;
  EXPECT_NE(second_id, first_id);
  EXPECT_EQ(server_.GetSessions().Count(), 1);
  EXPECT_EQ(Session(first_id), nullptr);

  const std::string stored = server_.GetDataFolder() + "Sessions/ann/lastsession.session";
  EXPECT_TRUE(IsSessionState(stored));
  if (GetParam() == Mode::kPacked) {
    EXPECT_EQ(server_.GetDataFolder(), folder_.path() + "/cd/knots/");
  }
  TQuizSessionParams* session = Session(second_id);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->GetLoginName(), "ann");
  EXPECT_EQ(session->GetEmail(), "ann@example.org");
  ASSERT_NE(session->GetTest(2), nullptr);
  ASSERT_EQ(session->GetTest(2)->GetQuestions().Count(), 1);
  EXPECT_EQ(session->GetTest(2)->GetQuestions().GetQuestion(0)->GetChosenAnswer(), 2);
}

TEST_P(Login, AStoredSessionThatCannotBeReadGivesAnEmptySession) {
  OpenContent({{"all.users.csv", kUsers}});
  const std::string stored = server_.GetDataFolder() + "Sessions/ann/lastsession.session";
  TQuizSessionParams full(false);
  full.CreateTest(0)->GetQuestions().AddNew();
  const std::string bytes = SessionFileBytes(full);
  for (const std::string& corrupt : {bytes.substr(0, bytes.size() - 3), std::string("7Y(g\xff\xff\xff\xff", 8),
                                     std::string("junk"), std::string()}) {
    content::WriteStringToFile(stored, corrupt);
    ::testing::internal::CaptureStderr();
    const LoginReply login = Parse(LoginQuery("ann", "secret"));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(login.user_name, "Ann Smith");
    ASSERT_NE(Session(login.id), nullptr);
    EXPECT_EQ(Session(login.id)->GetTest(0), nullptr);
    server_.GetSessions().Clear();
    // The damaged file goes aside whole, so that no store writes over it.
    const std::string said = "The stored session " + stored + " is damaged (moved aside to ";
    ASSERT_TRUE(err.starts_with(said + stored + ".damaged.")) << err;
    EXPECT_TRUE(err.ends_with("): the learner starts afresh.\n")) << err;
    const std::string aside = err.substr(said.size(), err.find(')', said.size()) - said.size());
    EXPECT_FALSE(plat::FileExists(stored));
    EXPECT_EQ(plat::ReadWholeFile(aside), corrupt);
    EXPECT_TRUE(std::filesystem::remove(aside));
  }
}

TEST_P(Login, SkipStartPageTakesAnyoneAndKeepsTheStateFile) {
  OpenContent({{"SkipStartPage.sysdata", ""}, {"projectid.txt", "knots"}});
  const std::string state = folder_.path() + "/data-home/Kelmo Player/knots - lastsession.state";
  const LoginReply first = Parse(LoginQuery("Zoe", "anything"));
  EXPECT_EQ(first.user_name, "Zoe");
  EXPECT_EQ(server_.GetSkipStartPageLoginName(), "Zoe");
  EXPECT_TRUE(std::regex_match(server_.GetUserNameText(), std::regex("Anon[0-9]+")));
  ASSERT_NE(Session(first.id), nullptr);
  EXPECT_EQ(Session(first.id)->GetLoginName(), "skipped");
  EXPECT_EQ(Session(first.id)->GetEmail(), "skipped");
  EXPECT_TRUE(IsSessionState(state));
  EXPECT_EQ(plat::ReadWholeFile(state + ".name"), "Zoe");

  // The next skip-mode login replaces the first session and starts afresh.
  Session(first.id)->CreateTest(0);
  const LoginReply second = Parse(LoginQuery("Max", ""));
  EXPECT_EQ(second.user_name, "Max");
  EXPECT_EQ(server_.GetSessions().Count(), 1);
  EXPECT_EQ(Session(second.id)->GetTest(0), nullptr);
  EXPECT_EQ(plat::ReadWholeFile(state + ".name"), "Max");
}

TEST_P(Login, RestoringTakesTheStateFileAndTheRestoredName) {
  OpenContent({{"SkipStartPage.sysdata", ""}, {"projectid.txt", "knots"}});
  const std::string state = folder_.path() + "/saved.state";
  TQuizSessionParams saved(false);
  saved.SetName("Zoe");
  saved.CreateTest(4)->SetUsageCount(3);
  WriteSessionFile(state, saved);
  server_.SetRestoreFlag(true);
  server_.SetRestoredUserName("Zoe");
  server_.SetStateFilePath(state);

  const LoginReply restored = Parse(LoginQuery("ignored", ""));
  EXPECT_EQ(restored.user_name, "Zoe");
  EXPECT_EQ(server_.GetSkipStartPageLoginName(), "Zoe");
  TQuizSessionParams* session = Session(restored.id);
  ASSERT_NE(session, nullptr);
  ASSERT_NE(session->GetTest(4), nullptr);
  EXPECT_EQ(session->GetTest(4)->GetUsageCount(), 3);
  // Like every skip-mode session, so the next login replaces it.
  EXPECT_EQ(session->GetLoginName(), "skipped");
  Parse(LoginQuery("again", ""));
  EXPECT_EQ(server_.GetSessions().Count(), 1);
}

class SampleCourse : public ServerTest {};

TEST_F(SampleCourse, ItsLearnerCanLogIn) {
  const char* source = std::getenv("VARNEL_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  // A copy: learner data must never land in the sources.
  const std::string copy = folder_.path() + "/knots";
  std::filesystem::copy(std::string(source) + "/samples/knots", copy, std::filesystem::copy_options::recursive);
  ASSERT_TRUE(server_.SetPath(copy));
  ASSERT_TRUE(server_.Open());
  const std::string reply = Get("/?action=login&username=sam&password=bowline");
  EXPECT_NE(reply.find("UserName=\"Sam Rigger\" />"), std::string::npos) << reply;
  EXPECT_EQ(Get("/?action=login&username=sam&password=reef"), FileReply("text/xml", kFailed));
  // The users table is never served.
  EXPECT_EQ(Get("/all.users.csv"), kInvalidRequestPage);
}

INSTANTIATE_TEST_SUITE_P(BothModes, Login, ::testing::Values(Mode::kFolder, Mode::kPacked),
                         [](const auto& info) { return info.param == Mode::kFolder ? "Folder" : "Packed"; });

}  // namespace
}  // namespace server
