// The administrator's login, session lifetime, password and module list.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "server/quiz/admin_settings.h"
#include "tests/server/admin_test_support.h"

namespace server {
namespace {

const std::string kLoginFailed = "<movie error=\"1\" errortext=\"Invalid login name or password.\" />";
const std::string kChanged = "<movie errortext=\"The password has been changed.\" />";
const std::string kWrongCurrent = "<movie errortext=\"The current password is invalid.\" />";

class AdminSession : public AdminTest {
 protected:
  void SetUp() override { OpenFolder(); }

  std::string ChangePassword(const std::string& current, const std::string& next) {
    return AskAsAdmin("adminchangepass", "&currentpassword=" + current + "&newpassword=" + next);
  }
};

TEST_F(AdminSession, TheBuiltInPasswordHoldsUntilItIsChanged) {
  for (const char* query : {"username=qorbe&password=Qorbe", "username=QORBE&password=qorbe", "username=qorbe",
                            "username=admin&password=qorbe"})
    EXPECT_EQ(Ask(std::string("action=adminlogin&") + query), kLoginFailed) << query;
  EXPECT_FALSE(server_.GetAdminSession().Exists());

  LogIn();
  EXPECT_EQ(ChangePassword("wrong", "new pw"), kWrongCurrent);
  EXPECT_EQ(DataFile("admin.sysdata"), "<missing>");
  EXPECT_EQ(ChangePassword("qorbe", "new pw"), kChanged);
  EXPECT_EQ(DataFile("admin.sysdata"), "[system]\r\npassword=new pw\r\n");
  // The session keeps the password it was opened with.
  EXPECT_EQ(ChangePassword("new pw", "third"), kWrongCurrent);
  EXPECT_EQ(ChangePassword("qorbe", "third"), kChanged);

  EXPECT_EQ(Ask("action=adminlogin&username=qorbe&password=qorbe"), kLoginFailed);
  EXPECT_EQ(Ask("action=adminlogin&username=qorbe&password=new%20pw"), kLoginFailed);
  LogIn("third");
  EXPECT_EQ(ChangePassword("third", ""), kChanged);
  // An empty stored password is the built-in one again.
  LogIn("qorbe");
}

TEST_F(AdminSession, ANewPasswordThatWouldAddLinesIsRefused) {
  PutFile(content_ + "admin.sysdata", "; keep me\n[system]\npassword=old\n[other]\nkey=1\n");
  LogIn("old");
  for (const char* injected : {"x%0D%0A%5Bevil%5D", "x%0Apassword=y", "x%0Dy", "x%00y"}) {
    EXPECT_EQ(ChangePassword("old", injected), "<movie errortext=\"A password cannot hold a line break.\" />")
        << injected;
    EXPECT_EQ(DataFile("admin.sysdata"), "; keep me\n[system]\npassword=old\n[other]\nkey=1\n");
  }
  // Blanks and quotes come back as they were given; other lines stay.
  EXPECT_EQ(ChangePassword("old", "%20%22quoted%22%20"), kChanged);
  EXPECT_EQ(ReadAdminPassword(server_.GetDataFolder()), " \"quoted\" ");
  EXPECT_EQ(DataFile("admin.sysdata"), "; keep me\n[system]\npassword=\" \"quoted\" \"\n[other]\nkey=1\n");
}

// A password file that is there but cannot give its password lets nobody
// in, the built-in password neither; it is said when the content opens and
// left as it is. One that plainly holds no password is the built-in one.
TEST_F(AdminSession, AStoredPasswordThatCannotBeKnownLetsNobodyIn) {
  const std::string path = content_ + "admin.sysdata";
  const std::string what_to_do = ". Mend that file, or remove it to log in with the first password again.";
  struct Damage {
    std::string bytes;  // "": a folder in its place
    std::string fault;
  };
  for (const Damage& damage :
       {Damage{std::string(27, '\0'), "is damaged (it holds NUL bytes)"},
        Damage{std::string("[sys\0tem]\r\npassword=old\r\n", 26), "is damaged (it holds NUL bytes)"},
        Damage{"[system]\r\npass", "is damaged (it was cut short)"}, Damage{"", "cannot be read (is a folder)"}}) {
    if (damage.bytes.empty()) {
      ASSERT_EQ(::unlink(path.c_str()), 0);
      plat::CreateFolders(path);
    } else {
      PutFile(path, damage.bytes);
    }
    ::testing::internal::CaptureStderr();
    OpenFolder();
    const std::string said = "The administrator's password cannot be known: " + path + " " + damage.fault + what_to_do;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), said + "\n");
    for (const char* password : {"qorbe", "old", ""}) {
      EXPECT_EQ(Ask(std::string("action=adminlogin&username=qorbe&password=") + password),
                "<movie error=\"1\" errortext=\"" + said + "\" />")
          << damage.fault;
    }
    EXPECT_FALSE(server_.GetAdminSession().Exists());
    if (damage.bytes.empty()) {
      EXPECT_TRUE(plat::FolderExists(path));
      ASSERT_EQ(::rmdir(path.c_str()), 0);
    } else {
      EXPECT_EQ(DataFile("admin.sysdata"), damage.bytes);
    }
  }
  PutFile(path, "; no password here\r\n");
  OpenFolder();
  LogIn("qorbe");
}

TEST_F(AdminSession, ASecondLoginEndsTheFirst) {
  const std::string first = LogIn();
  EXPECT_NE(AskAsAdmin("admingetgroups"), kNotLoggedIn);
  const std::string second = LogIn();
  EXPECT_NE(first, second);
  EXPECT_EQ(Ask("action=admingetgroups&sessionid=" + first), kNotLoggedIn);
  EXPECT_NE(Ask("action=admingetgroups&sessionid=" + second), kNotLoggedIn);
  // A failed login leaves the session alone.
  EXPECT_EQ(Ask("action=adminlogin&username=qorbe&password=wrong"), kLoginFailed);
  EXPECT_NE(Ask("action=admingetgroups&sessionid=" + second), kNotLoggedIn);
}

TEST_F(AdminSession, LapsesTwoHoursAfterLoginAlsoAcrossTheTickWrap) {
  constexpr uint32_t kTwoHours = 2 * 60 * 60 * 1000;
  for (const uint32_t login_tick : {1000u, 0xFFFFFFFFu - kTwoHours / 2}) {
    clock_.SetTickCount(login_tick);
    LogIn();
    // Use does not extend it.
    clock_.AdvanceTicks(kTwoHours / 2);
    EXPECT_NE(AskAsAdmin("admingetgroups"), kNotLoggedIn);
    clock_.SetTickCount(login_tick + kTwoHours);
    EXPECT_NE(AskAsAdmin("admingetgroups"), kNotLoggedIn) << login_tick;
    clock_.AdvanceTicks(1);
    // Lapsed: freed on the spot, even when asked with another id.
    EXPECT_TRUE(server_.GetAdminSession().Exists());
    EXPECT_FALSE(server_.IsAdminOK("other"));
    EXPECT_FALSE(server_.GetAdminSession().Exists());
    EXPECT_EQ(AskAsAdmin("admingetgroups"), kNotLoggedIn) << login_tick;
  }
}

TEST_F(AdminSession, EveryRequestButTheLoginNeedsTheSession) {
  PutFile(content_ + "all.groups.csv", "1;Sales\r\n");
  PutFile(content_ + "all.users.csv", "ann;pw;;%31%0D%0A;Ann\r\n");
  OpenFolder();
  const std::vector<std::string> requests = {
      "adminchangepass&currentpassword=qorbe&newpassword=x",
      "adminmodules",
      "admingetgroups",
      "adminaddgroup&groupname=New",
      "adminchangegroup&groupname=0&newgroupname=Renamed",
      "admindeletegroup&groupname=0",
      "adminaddeditgroup&groupname=-1&grouptitle=New&users=0",
      "admineditgroup&groupname=0",
      "admingetuser&username=0",
      "adminaddedituser&username=-1&loginname=bob&password=pw&fullname=Bob&usergroups=0",
      "admindeleteuser&username=0",
  };
  LogIn();
  const std::string live_id = session_id_;
  for (const std::string& id : {std::string(), std::string("1234"), live_id + "0", live_id.substr(1)}) {
    for (const std::string& request : requests)
      EXPECT_EQ(Ask("action=" + request + "&sessionid=" + id), kNotLoggedIn) << request << " as " << id;
  }
  EXPECT_EQ(DataFile("all.groups.csv"), "1;Sales\r\n");
  EXPECT_EQ(DataFile("all.users.csv"), "ann;pw;;%31%0D%0A;Ann\r\n");
  EXPECT_EQ(DataFile("admin.sysdata"), "<missing>");
}

TEST_F(AdminSession, ModulesAreTheTitledSubjectsWithQuestions) {
  const std::string package = folder_.path() + "/course.vrn";
  PutPackage(package, {{"index.html", "start"},
                       {"subjects.sysdata", "Knots\r\nEmpty\r\n\r\nSplices & <Bends>\r\nUntitled"},
                       {"PresentationsIndex_questions_1.csv", "Q1;A;B;;;;5;0;0;0;0\r\n"},
                       {"PresentationsIndex_questions_2.csv", "\r\n"},
                       {"PresentationsIndex_questions_3.csv", "Q;A;;;;;1;0;0;0;0\r\n"},
                       {"PresentationsIndex_questions_4.csv", "Q;A;;;;;1;0;0;0;0\r\n"}});
  ASSERT_TRUE(server_.SetPath(package));
  LogIn();
  EXPECT_EQ(AskAsAdmin("adminmodules"),
            "<movie  Modules=\"" + content::PercentEncode("Knots\r0\rSplices & <Bends>\r3\r") + "\"/>");
  EXPECT_TRUE(server_.HasSubjectQuestions(1));
  EXPECT_FALSE(server_.HasSubjectQuestions(2));
  EXPECT_FALSE(server_.HasSubjectQuestions(5));
}

}  // namespace
}  // namespace server
