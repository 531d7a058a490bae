#include "app/restore_prompt.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "content/content_paths.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "server/sessions/session_file.h"
#include "tests/app/fake_terminal.h"
#include "tests/server/server_test_support.h"
#include "tests/support/test_folder.h"

namespace app {
namespace {

const std::string kMagic = "7Y(g";

class RestorePrompt : public ::testing::Test {
 protected:
  // A skip-start-page package with a stored state whose companion holds name.
  void SetUp() override {
    PutContent(package_, {{"projectid.txt", "course-7"}, {"skipstartpage.sysdata", ""}});
    state_ = content::GetLastSessionStatePath(package_);
    ASSERT_EQ(state_, folder_.path() + "/data/Kelmo Player/course-7 - lastsession.state");
    plat::WriteFileAtomic(state_, kMagic + "stored session");
    plat::WriteFileAtomic(state_ + ".name", "Ann");
  }
  void PutContent(const std::string& package, const std::map<std::string, std::string>& entries) {
    std::map<std::string, std::string> all = entries;
    all["index.html"] = "<html>start</html>";
    server::PutPackage(package, all);
  }
  // Offers the restore for path; what the terminal showed.
  std::string Offer(const std::string& path, FakeTerminal terminal, bool expect_restored) {
    EXPECT_EQ(OfferRestore(path, server_, terminal), expect_restored);
    return terminal.Output();
  }

  plat::testing::TestFolder folder_;
  plat::testing::ScopedEnv data_home_{"XDG_DATA_HOME", folder_.path() + "/data"};
  const std::string package_ = folder_.path() + "/course.vrn";
  std::string state_;
  plat::EventLoop loop_;
  server::TQuizSession server_{loop_, 0};
};

TEST_F(RestorePrompt, OfferedOnlyForAPackageInSkipStartPageModeWithAStoredSession) {
  ASSERT_TRUE(FindRestoreOffer(package_).has_value());
  EXPECT_EQ(FindRestoreOffer(package_)->state_path, state_);

  // The same content as a folder: no offer (start-up opens folders without one).
  const std::string unpacked = folder_.path() + "/unpacked/";
  for (const char* name : {"index.html", "projectid.txt", "skipstartpage.sysdata"})
    plat::WriteFileAtomic(unpacked + name, name == std::string("projectid.txt") ? "course-7" : "");
  EXPECT_FALSE(FindRestoreOffer(unpacked).has_value());

  const std::string no_skip = folder_.path() + "/no-skip.vrn";
  PutContent(no_skip, {{"projectid.txt", "course-7"}});
  EXPECT_FALSE(FindRestoreOffer(no_skip).has_value());

  const std::string no_id = folder_.path() + "/no-id.vrn";
  PutContent(no_id, {{"skipstartpage.sysdata", ""}});
  EXPECT_FALSE(FindRestoreOffer(no_id).has_value());

  plat::WriteFileAtomic(state_, "7Y(");
  EXPECT_FALSE(FindRestoreOffer(package_).has_value());
  plat::WriteFileAtomic(state_, "not a session");
  EXPECT_FALSE(FindRestoreOffer(package_).has_value());
  ASSERT_EQ(::unlink(state_.c_str()), 0);
  EXPECT_FALSE(FindRestoreOffer(package_).has_value());

  FakeTerminal terminal({"y"});
  EXPECT_FALSE(OfferRestore(package_, server_, terminal));
  EXPECT_EQ(terminal.Output(), "");
}

TEST_F(RestorePrompt, TheQuestionNamesTheStoredLearner) {
  EXPECT_EQ(RestoreQuestion("Ann"), "Do you want to restore a previous session for Ann?");
  EXPECT_EQ(Offer(package_, FakeTerminal({"n"}), false), "Do you want to restore a previous session for Ann? [Y/n] ");

  // An empty or missing companion: the offer stands, unnamed.
  const std::string unnamed = "Do you want to restore a previous session for <Not entered before>? [Y/n] ";
  plat::WriteFileAtomic(state_ + ".name", "");
  EXPECT_EQ(Offer(package_, FakeTerminal({"n"}), false), unnamed);
  ASSERT_EQ(::unlink((state_ + ".name").c_str()), 0);
  EXPECT_EQ(Offer(package_, FakeTerminal({"n"}), false), unnamed);
  EXPECT_EQ(FindRestoreOffer(package_)->name, "<Not entered before>");
}

TEST_F(RestorePrompt, YesSetsTheServersRestoreFieldsAndNoLeavesThem) {
  Offer(package_, FakeTerminal({"no"}), false);
  EXPECT_FALSE(server_.GetRestoreFlag());
  EXPECT_EQ(server_.GetRestoredUserName(), "");
  EXPECT_EQ(server_.GetStateFilePath(), "");

  Offer(package_, FakeTerminal({"Yes"}), true);
  EXPECT_TRUE(server_.GetRestoreFlag());
  EXPECT_EQ(server_.GetRestoredUserName(), "Ann");
  EXPECT_EQ(server_.GetStateFilePath(), state_);
}

TEST_F(RestorePrompt, AnswersAndDefaults) {
  struct Case {
    const char* what;
    std::optional<std::deque<std::string>> answers;  // nullopt: no terminal
    bool restored;
    std::string after_question;
  };
  for (const Case& c : std::vector<Case>{
           {"no terminal takes Yes", std::nullopt, true, "\nNo terminal to answer on: taking the answer Yes.\n"},
           {"an empty line is the default", std::deque<std::string>{""}, true, ""},
           {"the end of input takes the default", std::deque<std::string>{}, true,
            "\nNo answer: taking the answer Yes.\n"},
           {"blanks around an answer", std::deque<std::string>{"  N "}, false, ""},
           {"anything else asks again", std::deque<std::string>{"maybe", "y"}, true, "Please answer y or n. [Y/n] "},
       }) {
    SCOPED_TRACE(c.what);
    server_.SetRestoreFlag(false);
    const std::string shown =
        Offer(package_, c.answers ? FakeTerminal(*c.answers) : FakeTerminal(), c.restored);
    EXPECT_EQ(shown, "Do you want to restore a previous session for Ann? [Y/n] " + c.after_question);
    EXPECT_EQ(server_.GetRestoreFlag(), c.restored);
  }
}

TEST_F(RestorePrompt, ANameCannotDriveTheTerminal) {
  const std::string hostile = "\x1b]0;owned\x07" "Ann\x9d\x7f\r\n\xe9";
  plat::WriteFileAtomic(state_ + ".name", hostile);
  EXPECT_EQ(Offer(package_, FakeTerminal({"y"}), true),
            "Do you want to restore a previous session for ?]0;owned?Ann????\xc3\xa9? [Y/n] ");
  // The server gets the name as stored.
  EXPECT_EQ(server_.GetRestoredUserName(), hostile);
}

}  // namespace
}  // namespace app
