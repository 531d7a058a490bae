// The player as a process on its data folder: full, read-only or damaged
// disks, copied and changed packages, a second player, and the restart after,
// checked by what the files hold, what a new login shows and what standard
// error said.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/app/player_process.h"
#include "tests/server/learner_test_support.h"
#include "tests/support/small_disk.h"
#include "tests/support/test_folder.h"

namespace app {
namespace {

// 2006-03-15 09:05 UTC and a year later: two copies of one package; and
// the time of another build.
constexpr int64_t kFirstCopy = 1142413500;
constexpr int64_t kSecondCopy = 1173949500;
constexpr int64_t kOtherBuild = 1205485500;

const std::map<std::string, std::string> kCourse = {
    {"index.html", "<html>start</html>"},
    {"projectid.txt", "knots"},
    {"projecttitle.txt", "Knots"},
    {"all.users.csv", "ann;reef;;;Ann\r\nbob;hitch;;;Bob\r\n"},
    {"project.ini", "[Subject_1]\nMaxQuestions=1\n"},
    {"PresentationsIndex_questions_1.csv", server::IndexOf({server::Question("Reef?", {"Yes", "No"}, {10, 0})})}};

void SetModified(const std::string& path, int64_t utc_seconds) {
  const timespec times[2] = {{static_cast<time_t>(utc_seconds), 0}, {static_cast<time_t>(utc_seconds), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The attribute's value in a reply; "" without it.
std::string Attribute(const std::string& reply, const std::string& name) {
  const size_t start = reply.find(name + "=\"");
  if (start == std::string::npos) return "";
  const size_t from = start + name.size() + 2;
  return reply.substr(from, reply.find('"', from) - from);
}

// Every path below root that contains part.
std::vector<std::string> Below(const std::string& root, const std::string& part) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.path().string().find(part) != std::string::npos) found.push_back(entry.path().string());
  return found;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class DataFolder : public ::testing::Test {
 protected:
  std::map<std::string, std::string> Env() const {
    return {{"XDG_DATA_HOME", home_ + "data"}, {"XDG_CONFIG_HOME", home_ + "config"}, {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""}};
  }
  // Starts a player serving the content; the port, 0 when it printed none.
  uint16_t Start(const std::string& content) {
    player_ = std::make_unique<Player>(std::vector<std::string>{"--serve", content}, Env());
    return port_ = PortOfUrl(player_->FirstLine());
  }
  // Stops it as a user does; what it said on standard error.
  std::string Stop() {
    player_->Signal(SIGTERM);
    EXPECT_EQ(player_->Wait(), 0);
    std::string err = player_->Stderr();
    player_.reset();
    return err;
  }
  std::string Ask(const std::string& query) { return Get(port_, "/?" + query); }
  std::string Login(const std::string& user, const std::string& password) {
    return Attribute(Ask("action=login&username=" + user + "&password=" + password), "sessionid");
  }
  std::string AdminLogin(const std::string& password) {
    return Attribute(Ask("action=adminlogin&username=qorbe&password=" + password), "sessionid");
  }
  // Ann answers the one question of subject 1: her answers record and her
  // last session go to the data folder.
  void AnnAnswers() {
    const std::string session = Login("ann", "reef");
    ASSERT_FALSE(session.empty());
    EXPECT_NE(Ask("action=genquestions&sessionid=" + session + "&subject=1").find("generated=\"1\""),
              std::string::npos);
    EXPECT_NE(Ask("action=putanswer&sessionid=" + session + "&subject=1&qindex=1&answer=1").find("generated=\"1\""),
              std::string::npos);
  }
  void ChangeAdminPassword(const std::string& to) {
    const std::string admin = AdminLogin("qorbe");
    ASSERT_FALSE(admin.empty());
    Ask("action=adminchangepass&sessionid=" + admin + "&currentpassword=qorbe&newpassword=" + to);
  }
  void MakePackage(const std::string& path, std::map<std::string, std::string> entries, int64_t modified) {
    plat::CreateFolders(plat::FolderPart(path));
    server::PutPackage(path, entries);
    SetModified(path, modified);
  }

  plat::testing::TestFolder folder_;
  const std::string home_ = folder_.path() + "/home/";
  std::unique_ptr<Player> player_;
  uint16_t port_ = 0;
};

// A first start on a full disk writes no time stamp; the learner data written
// once there is room again stays at the next start, and on the disk turned
// read-only after.
TEST_F(DataFolder, AFullDiskAtTheFirstStartLosesNothingLater) {
  plat::testing::SmallDisk disk(512);
  if (!disk.ok()) GTEST_SKIP() << "no tmpfs can be mounted here";
  const std::string package = disk.path() + "/course.vrn";
  const std::string data = disk.path() + "/knots/";
  MakePackage(package, kCourse, kFirstCopy);
  disk.Fill();
  ASSERT_NE(Start(package), 0);
  disk.Unfill();
  AnnAnswers();
  ChangeAdminPassword("secret");
  std::string err = Stop();
  EXPECT_NE(err.find("Cannot write the time stamp " + data), std::string::npos) << err;
  EXPECT_NE(err.find("No space left on device"), std::string::npos) << err;
  ASSERT_FALSE(plat::FileExists(data + "TimeStamp.txt"));
  ASSERT_TRUE(plat::FileExists(data + "Sessions/ann/answers.xml"));

  ASSERT_NE(Start(package), 0);
  EXPECT_FALSE(AdminLogin("secret").empty());
  err = Stop();
  EXPECT_EQ(err, "Varnel Player - Knots\nNo session to store.\n");
  EXPECT_TRUE(plat::FileExists(data + "Sessions/ann/answers.xml"));
  EXPECT_EQ(plat::ReadWholeFile(data + "TimeStamp.txt"), "5-9-15-3-2006");

  // Other content on the same disk, whose data folder was never made.
  std::map<std::string, std::string> other = kCourse;
  other["projectid.txt"] = "hitches";
  MakePackage(disk.path() + "/hitches.vrn", other, kOtherBuild);
  ASSERT_TRUE(disk.SetReadOnly(true));
  ASSERT_NE(Start(disk.path() + "/hitches.vrn"), 0);
  AnnAnswers();
  err = Stop();
  // Said once, at the start, whatever is tried later.
  const std::string said = "The data folder " + disk.path() + "/hitches/ cannot be written (Read-only file system)";
  EXPECT_TRUE(err.starts_with(said)) << err;
  EXPECT_EQ(err.find(said, 1), std::string::npos) << err;
  EXPECT_FALSE(plat::PathExists(disk.path() + "/hitches"));

  ASSERT_NE(Start(package), 0);
  EXPECT_NE(Get(port_, "/").find("<html>start</html>"), std::string::npos);
  EXPECT_FALSE(AdminLogin("secret").empty());
  // Said once, at the start; the time stamp that cannot be written adds nothing.
  EXPECT_EQ(Stop(), "The data folder " + data + " cannot be written (Read-only file system): the content is "
                    "served, but no result, session or change made here is stored.\nVarnel Player - Knots\nNo "
                    "session to store.\n");
  EXPECT_TRUE(plat::FileExists(data + "Sessions/ann/answers.xml"));
  EXPECT_TRUE(Below(disk.path(), ".earlier-content.").empty());
  ASSERT_TRUE(disk.SetReadOnly(false));
}

// A plain copy gives the package a new time; its learners keep their data.
// Other content moves it aside, says where, and starts afresh. A former
// user's folder goes aside too, but never on a users table read in part.
TEST_F(DataFolder, ACopiedPackageKeepsItsLearnersAndOtherContentSetsThemAside) {
  const std::string package = folder_.path() + "/cd/course.vrn";
  const std::string data = folder_.path() + "/cd/knots/";
  MakePackage(package, kCourse, kFirstCopy);
  ASSERT_NE(Start(package), 0);
  AnnAnswers();
  ChangeAdminPassword("secret");
  Stop();

  const std::string copy = plat::ReadWholeFile(package);
  plat::WriteFileAtomic(package, copy);
  SetModified(package, kSecondCopy);
  ASSERT_NE(Start(package), 0);
  EXPECT_FALSE(AdminLogin("secret").empty());
  EXPECT_EQ(Stop(), "Varnel Player - Knots\nNo session to store.\n");
  EXPECT_TRUE(plat::FileExists(data + "Sessions/ann/answers.xml"));

  // The users table read whole names no "cara": her folder goes aside.
  server::PutFile(data + "Sessions/cara/answers.xml", "<answers/>");
  server::PutFile(data + "all.users.csv", "ann;reef;;;Ann\r\n");
  ASSERT_NE(Start(package), 0);
  std::string err = Stop();
  std::vector<std::string> cara = Below(data + "Sessions", "cara.former-user.");
  ASSERT_EQ(cara.size(), 2u);  // the folder and its file
  std::sort(cara.begin(), cara.end());
  EXPECT_EQ(plat::ReadWholeFile(cara[1]), "<answers/>");
  EXPECT_NE(err.find("The session folder " + data + "Sessions/cara/ belongs to no user in the users table: it was "
                     "moved aside to " + cara[0] + "/."),
            std::string::npos)
      << err;
  // A damaged table (a NUL where a record was) tells nothing of who is gone.
  server::PutFile(data + "Sessions/dan/answers.xml", "<answers/>");
  server::PutFile(data + "all.users.csv", std::string("ann;reef;;;Ann\r\n\0\0\0\r\n", 21));
  ASSERT_NE(Start(package), 0);
  err = Stop();
  EXPECT_TRUE(plat::FileExists(data + "Sessions/dan/answers.xml"));
  EXPECT_EQ(err.find("Sessions/dan"), std::string::npos) << err;
  ::unlink((data + "all.users.csv").c_str());

  std::map<std::string, std::string> changed = kCourse;
  changed["index.html"] = "<html>another course</html>";
  MakePackage(package, changed, kOtherBuild);
  ASSERT_NE(Start(package), 0);
  EXPECT_TRUE(AdminLogin("secret").empty());
  EXPECT_FALSE(AdminLogin("qorbe").empty());
  err = Stop();
  const std::vector<std::string> aside = Below(folder_.path() + "/cd", "knots.earlier-content.");
  ASSERT_FALSE(aside.empty());
  const std::string moved = *std::min_element(aside.begin(), aside.end());
  EXPECT_NE(err.find("The learner data in " + data + " belongs to other content: it was moved aside to " + moved +
                     "/, and this content starts with a new data folder."),
            std::string::npos)
      << err;
  EXPECT_TRUE(plat::FileExists(moved + "/Sessions/ann/answers.xml"));
  EXPECT_TRUE(plat::FileExists(moved + "/admin.sysdata"));
  EXPECT_FALSE(plat::PathExists(data + "Sessions"));
}

// One player per data folder, in folder and packed mode; the lock goes with
// its process, however it ends.
TEST_F(DataFolder, ASecondPlayerOnTheSameDataFolderRefusesToStart) {
  const std::string content = folder_.path() + "/course/";
  for (const auto& [name, bytes] : kCourse) server::PutFile(content + name, bytes);
  const std::string package = folder_.path() + "/cd/course.vrn";
  MakePackage(package, kCourse, kFirstCopy);
  for (const auto& [path, data] : {std::pair{content, content}, std::pair{package, folder_.path() + "/cd/knots/"}}) {
    SCOPED_TRACE(path);
    ASSERT_NE(Start(path), 0);
    Player second({"--serve", path}, Env());
    EXPECT_EQ(second.FirstLine(), "");
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_EQ(second.Stderr(), "Error: The data folder " + data +
                                   " is in use by another player: close that player, then start this one again.\n");
    AnnAnswers();  // the first one serves on

    // Killed, it leaves no lock behind.
    player_->Signal(SIGKILL);
    player_->Wait();
    player_.reset();
    ASSERT_NE(Start(path), 0);
    EXPECT_FALSE(Login("ann", "reef").empty());
    Stop();
    EXPECT_TRUE(plat::FileExists(data + "Sessions/ann/answers.xml"));
  }
}

// A stored data folder that cannot be used: the player says which folder it
// uses instead.
TEST_F(DataFolder, ADataFolderSettingThatCannotBeUsedIsSaid) {
  const std::string content = folder_.path() + "/course/";
  for (const auto& [name, bytes] : kCourse) server::PutFile(content + name, bytes);
  const std::string settings = home_ + "config/Software/Ostrand Consultants/Corvik.ini";
  const std::string shared = folder_.path() + "/shared";
  struct Case {
    std::string text;  // "": the settings file is a folder
    std::string said;
  };
  const Case cases[] = {
      {"[Values]\r\nSessionDataPath=" + shared + "/gone\r\n",
       "The data folder " + shared + "/gone named in the settings (SessionDataPath) does not exist"},
      {std::string(40, '\0'), "The settings file " + settings + " names no data folder (SessionDataPath)"},
      {"", "The settings file " + settings + " cannot be read (is a folder)"},
      {"[Values]\r\nSessionDataPath=" + content + "index.html\r\n",
       "The data folder " + content + "index.html named in the settings (SessionDataPath) is not a folder"},
      // The system would stop at the NUL; a terminal would obey the escape.
      {"[Values]\r\nSessionDataPath=" + content + std::string("\0x", 2) + "\r\n",
       "The data folder " + content + "?x named in the settings (SessionDataPath) cannot be used (it holds a NUL "
       "byte)"},
      {"[Values]\r\nSessionDataPath=" + shared + "/\x1b[2Jgone\r\n",
       "The data folder " + shared + "/?[2Jgone named in the settings (SessionDataPath) does not exist"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    std::filesystem::remove_all(settings);
    if (c.text.empty()) {
      plat::CreateFolders(settings);
    } else {
      server::PutFile(settings, c.text);
    }
    ASSERT_NE(Start(content), 0);
    EXPECT_EQ(Stop(), c.said + ": learner data is kept in " + content +
                          " instead.\nVarnel Player - course\nNo session to store.\n");
  }
  std::filesystem::remove_all(settings);
  plat::CreateFolders(shared);
  server::PutFile(settings, "[Values]\r\nSessionDataPath=" + shared + "\r\n");
  ASSERT_NE(Start(content), 0);
  AnnAnswers();
  EXPECT_EQ(Stop(), "Varnel Player - course\nSession stored for ann.\n");
  EXPECT_TRUE(plat::FileExists(shared + "/Sessions/ann/answers.xml"));
}

// Files the player writes follow the umask; those holding passwords are the
// owner's alone whatever it is. What a killed save left goes at the next
// start, and nothing else.
TEST_F(DataFolder, FileModesFollowTheUmaskAndLeftoversOfAKilledSaveGo) {
  const std::string content = folder_.path() + "/course/";
  for (const auto& [name, bytes] : kCourse) server::PutFile(content + name, bytes);
  ASSERT_EQ(::chmod((content + "all.users.csv").c_str(), 0644), 0);
  const std::vector<std::string> leftovers = {content + ".~qzall.users.csv.AbC123",
                                              content + "Sessions/ann/.~qzanswers.xml.x1Y2z3",
                                              content + "Sessions/.~qzlist.txt.QQQQQQ"};
  const std::vector<std::string> kept = {content + ".~qznotes.txt.abc", content + "Sessions/ann/notes.txt",
                                         folder_.path() + "/outside/.~qzx.txt.ABCDEF"};
  for (const std::string& path : leftovers) server::PutFile(path, "");
  for (const std::string& path : kept) server::PutFile(path, "mine");
  ASSERT_EQ(::symlink((folder_.path() + "/outside").c_str(), (content + "Sessions/link").c_str()), 0);
  ASSERT_EQ(::symlink((folder_.path() + "/outside/.~qzx.txt.ABCDEF").c_str(), (content + ".~qzy.txt.ABCDEF").c_str()),
            0);

  for (const mode_t umask : {mode_t{077}, mode_t{022}}) {
    SCOPED_TRACE(umask);
    for (const char* name : {"Sessions/ann/answers.xml", "Sessions/ann/lastsession.session", "admin.sysdata"})
      std::filesystem::remove_all(content + name);
    const mode_t saved = ::umask(umask);
    const uint16_t port = Start(content);
    ::umask(saved);
    ASSERT_NE(port, 0);
    // The password files are made private at the start already.
    EXPECT_EQ(ModeOf(content + "all.users.csv"), 0600u);
    for (const std::string& path : leftovers) EXPECT_FALSE(plat::PathExists(path)) << path;
    for (const std::string& path : kept) EXPECT_EQ(plat::ReadWholeFile(path), "mine") << path;
    EXPECT_TRUE(std::filesystem::is_symlink(content + ".~qzy.txt.ABCDEF"));
    AnnAnswers();
    ChangeAdminPassword("secret");
    const std::string admin = AdminLogin("secret");
    Ask("action=adminaddedituser&sessionid=" + admin + "&username=-1&loginname=cara&password=knot&fullname=Cara");
    Stop();
    const mode_t shared = umask == 077 ? 0600 : 0644;
    EXPECT_EQ(ModeOf(content + "Sessions/ann/answers.xml"), shared);
    EXPECT_EQ(ModeOf(content + "Sessions/ann/lastsession.session"), shared);
    EXPECT_EQ(ModeOf(content + "admin.sysdata"), 0600u);
    EXPECT_EQ(ModeOf(content + "all.users.csv"), 0600u);
    EXPECT_NE(plat::ReadWholeFile(content + "all.users.csv").find("cara;knot"), std::string::npos);
  }
}

}  // namespace
}  // namespace app
