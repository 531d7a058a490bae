// The player on a data folder that fills up or turns read-only under it: a
// change is stored or not made, a result that cannot be recorded is said, and
// the next start finds the files as they were.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "content/percent_codec.h"
#include "platform/files.h"
#include "tests/app/player_process.h"
#include "tests/server/learner_test_support.h"
#include "tests/support/small_disk.h"
#include "tests/support/test_folder.h"

namespace app {
namespace {

const std::string kUsers = "ann;pw1;;;Ann Lee\r\n";
const std::string kGroups = "1;Deck\r\n";

// The body of an HTTP reply.
std::string Body(const std::string& reply) {
  const size_t start = reply.find("\r\n\r\n");
  return start == std::string::npos ? reply : reply.substr(start + 4);
}

// The value of the reply's sessionid attribute; "" without one.
std::string SessionIdOf(const std::string& reply) {
  const size_t start = reply.find("sessionid=\"");
  if (start == std::string::npos) return "";
  return reply.substr(start + 11, reply.find('"', start + 11) - start - 11);
}

// A folder-mode course on a small disk of its own, which is its data folder.
class UnwritableData : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!disk_.ok()) GTEST_SKIP() << "no tmpfs can be mounted here";
    course_ = disk_.path() + "/course/";
    const std::string index =
        server::IndexOf({server::Question("One", {"A", "B"}, {1, 0}), server::Question("Two", {"A", "B"}, {1, 0})});
    for (const auto& [name, bytes] :
         std::map<std::string, std::string>{{"index.html", "<html>start</html>"},
                                            {"all.users.csv", kUsers},
                                            {"all.groups.csv", kGroups},
                                            {"project.ini", "[Subject_1]\nMaxQuestions=2\n"},
                                            {"PresentationsIndex_questions_1.csv", index}})
      plat::WriteFileAtomic(course_ + name, bytes);
    plat::CreateFolders(home_);
  }

  std::map<std::string, std::string> Env() const {
    return {{"XDG_DATA_HOME", home_ + "data"},
            {"XDG_CONFIG_HOME", home_ + "config"},
            {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""}};
  }
  std::string Ask(const std::string& query) { return Body(Get(port_, "/?action=" + query)); }
  std::string AskAsAdmin(const std::string& query) { return Ask(query + "&sessionid=" + admin_); }
  // Starts the player and logs in the administrator and ann, who draws a test.
  void Start(Player& player) {
    port_ = PortOfUrl(player.FirstLine());
    ASSERT_NE(port_, 0);
    admin_ = SessionIdOf(Ask("adminlogin&username=qorbe&password=qorbe"));
    ann_ = SessionIdOf(Ask("login&username=ann&password=pw1"));
    ASSERT_NE(Ask("genquestions&subject=1&sessionid=" + ann_).find("generated=\"1\""), std::string::npos);
  }
  std::string PutAnswer() { return Ask("putanswer&subject=1&qindex=1&answer=1&sessionid=" + ann_); }
  std::string File(const std::string& name) const {
    const std::string path = course_ + name;
    return plat::FileExists(path) ? plat::ReadWholeFile(path) : "<missing>";
  }

  plat::testing::SmallDisk disk_{512};
  plat::testing::TestFolder folder_;
  const std::string home_ = folder_.path() + "/home/";
  std::string course_;
  uint16_t port_ = 0;
  std::string admin_;
  std::string ann_;
};

TEST_F(UnwritableData, ChangesAreStoredOrNotMadeAndEveryFailureIsSaid) {
  const std::string answers_path = "Sessions/ann/answers.xml";
  std::string answers;
  {
    Player player({"--serve", course_}, Env());
    Start(player);
    ASSERT_EQ(PutAnswer(), "<movie generated=\"1\"/>");
    answers = File(answers_path);

    disk_.Fill();
    const std::string full = "No space left on device";
    EXPECT_EQ(AskAsAdmin("adminaddedituser&username=-1&loginname=dan&password=pw&fullname=Dan&usergroups=0"),
              "<movie errortext=\"The change could not be stored: " + full + ".\" />");
    EXPECT_EQ(AskAsAdmin("adminaddgroup&groupname=Quay"),
              "<movie errortext=\"The change could not be stored: " + full + ".\" />");
    EXPECT_NE(Ask("login&username=dan&password=pw").find("error=\"1\""), std::string::npos);
    EXPECT_NE(
        AskAsAdmin("admingetgroups&groupname=-1").find("Groups=\"" + content::PercentEncode("Deck\r0\r0\r") + "\""),
        std::string::npos);
    EXPECT_NE(PutAnswer().find("errortext=\"Your answer was taken, but your result could not be recorded: " + full),
              std::string::npos);

    disk_.Unfill();
    ASSERT_TRUE(disk_.SetReadOnly(true));
    const std::string read_only = "Read-only file system";
    EXPECT_EQ(AskAsAdmin("admindeleteuser&username=0"),
              "<movie errortext=\"The change could not be stored: " + read_only + ".\" />");
    EXPECT_EQ(AskAsAdmin("adminchangepass&currentpassword=qorbe&newpassword=new"),
              "<movie errortext=\"The password could not be stored: " + read_only + ".\" />");
    EXPECT_NE(PutAnswer().find("could not be recorded: " + read_only), std::string::npos);
    EXPECT_NE(AskAsAdmin("admingetgroups&groupname=-1").find(content::PercentEncode("Ann Lee")), std::string::npos);
    // A second login stores the first one's session before it ends it.
    EXPECT_NE(Ask("login&username=ann&password=pw1").find("error=\"0\""), std::string::npos);

    player.Signal(SIGTERM);
    EXPECT_EQ(player.Wait(), 0);
    const std::string err = player.Stderr();
    for (const std::string& line : std::vector<std::string>{
             "The users table could not be stored, so the change was not made: ",
             "The groups table could not be stored, so the change was not made: ",
             "A test result could not be recorded: Cannot access file \"" + course_ + answers_path + "\": ",
             "A learner's session could not be stored: ",
             "A learner's earlier session could not be stored: Cannot access file \"" + course_ +
                 "Sessions/ann/lastsession.session\": " + read_only,
             "The administrator's password could not be stored, so it was not changed: "})
      EXPECT_NE(err.find(line), std::string::npos) << line << "\n" << err;
    EXPECT_NE(err.find(full), std::string::npos) << err;
    EXPECT_NE(err.find(read_only), std::string::npos) << err;
  }

  // The next start finds every file as it was, and changes are stored again.
  ASSERT_TRUE(disk_.SetReadOnly(false));
  EXPECT_EQ(File("all.users.csv"), kUsers);
  EXPECT_EQ(File("all.groups.csv"), kGroups);
  EXPECT_EQ(File(answers_path), answers);
  Player player({"--serve", course_}, Env());
  Start(player);
  EXPECT_NE(Ask("login&username=dan&password=pw").find("error=\"1\""), std::string::npos);
  EXPECT_EQ(AskAsAdmin("adminaddedituser&username=-1&loginname=dan&password=pw&fullname=Dan&usergroups=0"),
            "<movie />");
  EXPECT_NE(Ask("login&username=dan&password=pw").find("error=\"0\""), std::string::npos);
  EXPECT_EQ(File("all.users.csv"), kUsers + "dan;pw;;%31%0D%0A;Dan\r\n");
  EXPECT_EQ(PutAnswer(), "<movie generated=\"1\"/>");
  player.Signal(SIGTERM);
  EXPECT_EQ(player.Wait(), 0);
}

}  // namespace
}  // namespace app
