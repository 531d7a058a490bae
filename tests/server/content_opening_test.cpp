// Opening content: the data folder, the tables and settings that come with
// the content, and the data folder housekeeping, on real temporary folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/removal.h"
#include "platform/settings_store.h"
#include "server/quiz/grade_table.h"
#include "server/quiz/time_stamp.h"
#include "server/road/data_folder.h"
#include "tests/server/server_test_support.h"

namespace server {
namespace {

using plat::testing::ScopedEnv;

// 2006-03-15 09:05:00 UTC.
constexpr int64_t kPackageTime = 1142413500;
constexpr char kPackageStamp[] = "5-9-15-3-2006";

void SetFileTime(const std::string& path, int64_t utc_seconds) {
  const timespec times[2] = {{static_cast<time_t>(utc_seconds), 0}, {static_cast<time_t>(utc_seconds), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Every path below root, links listed but not followed.
std::set<std::string> Tree(const std::string& root) {
  std::set<std::string> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    paths.insert(std::filesystem::relative(entry.path(), root).string());
  return paths;
}

class ContentOpening : public ::testing::Test {
 protected:
  ContentOpening()
      : config_home_("XDG_CONFIG_HOME", folder_.path() + "/config"),
        data_home_("XDG_DATA_HOME", folder_.path() + "/data-home"),
        server_(loop_, 1) {}

  std::string Root() const { return folder_.path(); }

  // A package at path holding index.html and the entries, made at kPackageTime.
  void MakePackage(const std::string& path, std::map<std::string, std::string> entries) {
    entries.emplace("index.html", "<html>start</html>");
    plat::CreateFolders(plat::FolderPart(path));
    PutPackage(path, entries);
    SetFileTime(path, kPackageTime);
  }

  plat::testing::TestFolder folder_;
  ScopedEnv config_home_;
  ScopedEnv data_home_;
  plat::EventLoop loop_;
  TQuizSession server_;
};

TEST(TimeStamp, IsTheUtcMinuteHourDayMonthYear) {
  ScopedEnv zone("TZ", "XYZ-14");
  ::tzset();
  EXPECT_EQ(FormatTimeStamp(kPackageTime), kPackageStamp);
  EXPECT_EQ(FormatTimeStamp(0), "0-0-1-1-1970");
  ::unsetenv("TZ");
  ::tzset();
}

TEST_F(ContentOpening, PackedModeKeepsLearnerDataInTheProjectsFolder) {
  const std::string package = Root() + "/cd/course.vrn";
  MakePackage(package, {{"projectid.txt", std::string("abc\0junk", 8)}});
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_EQ(server_.GetProjectId(), "abc");
  EXPECT_EQ(server_.GetDataFolder(), Root() + "/cd/abc/");
  EXPECT_EQ(plat::ReadWholeFile(Root() + "/cd/abc/TimeStamp.txt"), kPackageStamp);
  EXPECT_EQ(server_.GetContentFolder(), package);
}

// Learner data of other content is moved aside, never deleted; a stamp that
// is missing or damaged, or a plain copy of the same package, keeps it.
TEST_F(ContentOpening, TheTimeStampDecidesWhetherLearnerDataStays) {
  ScopedEnv zone("TZ", "XYZ-14");
  ::tzset();
  const std::string package = Root() + "/cd/course.vrn";
  MakePackage(package, {{"projectid.txt", "abc"}});
  const std::string data = Root() + "/cd/abc/";
  ASSERT_TRUE(server_.SetPath(package));
  const std::string identity = plat::ReadWholeFile(data + "PackageIdentity.txt");
  EXPECT_EQ(identity, server_.GetPackageReader()->GetIdentity());
  struct Case {
    std::optional<std::string> stamp;  // nullopt: no stamp file
    std::optional<std::string> identity;
    bool kept;
  };
  const std::string other = "5-9-15-3-2007";
  for (const Case& c : {Case{kPackageStamp, std::nullopt, true}, Case{other, std::nullopt, false},
                        Case{other, "1-deadbeef", false}, Case{other, identity, true}, Case{other, identity + "\n", true},
                        Case{"", std::nullopt, true}, Case{std::nullopt, std::nullopt, true},
                        Case{std::string(13, '\0'), std::nullopt, true},
                        Case{std::string(kPackageStamp) + "\r\n", std::nullopt, true}}) {
    const std::string label = c.stamp.value_or("none") + " / " + c.identity.value_or("none");
    for (const std::string& name : Tree(Root() + "/cd"))
      if (name.find(".earlier-content.") != std::string::npos) plat::RemoveFolderTree(Root() + "/cd/" + name);
    plat::RemoveFolderTree(data);
    PutFile(data + "Sessions/ann/lastsession.session", "marker");
    if (c.stamp) PutFile(data + "timestamp.TXT", *c.stamp);  // found without regard to case
    if (c.identity) PutFile(data + "PackageIdentity.txt", *c.identity);
    ASSERT_TRUE(server_.SetPath(package)) << label;
    EXPECT_EQ(plat::FileExists(data + "Sessions/ann/lastsession.session"), c.kept) << label;
    const std::string stamp_file = plat::FileExists(data + "timestamp.TXT") ? "timestamp.TXT" : "TimeStamp.txt";
    EXPECT_EQ(plat::ReadWholeFile(data + stamp_file), kPackageStamp) << label;
    EXPECT_EQ(plat::ReadWholeFile(data + "PackageIdentity.txt"), identity) << label;
    // What went aside is whole, beside the new folder, named for when it went.
    std::vector<std::string> aside;
    for (const std::string& name : Tree(Root() + "/cd"))
      if (name.starts_with("abc.earlier-content.2") && name.ends_with("/Sessions/ann/lastsession.session"))
        aside.push_back(name);
    EXPECT_EQ(aside.size(), c.kept ? 0u : 1u) << label;
    for (const std::string& name : aside) EXPECT_EQ(plat::ReadWholeFile(Root() + "/cd/" + name), "marker");
  }
  ::unsetenv("TZ");
  ::tzset();
}

TEST_F(ContentOpening, ProjectIdsThatAreNoFolderNameTouchNothingElsewhere) {
  const std::string cd = Root() + "/a/b/cd/";
  const std::string package = cd + "course.vrn";
  PutFile(Root() + "/a/victim/keep.txt", "victim");
  PutFile(cd + "keep.txt", "beside the package");
  for (const std::string id : {"../../victim", "", ".", "..", "x/y", "x\\y", "tab\tid", "/tmp"}) {
    ::unlink((cd + "TimeStamp.txt").c_str());
    ::unlink((cd + "PackageIdentity.txt").c_str());
    MakePackage(package, {{"projectid.txt", id}});
    const std::set<std::string> before = Tree(Root());
    ASSERT_TRUE(server_.SetPath(package)) << id;
    EXPECT_EQ(server_.GetProjectId(), "") << id;
    EXPECT_EQ(server_.GetDataFolder(), cd) << id;
    std::set<std::string> after = Tree(Root());
    // The stamp is still written beside the package; nothing else changes.
    EXPECT_EQ(after.erase("a/b/cd/TimeStamp.txt"), 1u) << id;
    EXPECT_EQ(after.erase("a/b/cd/PackageIdentity.txt"), 1u) << id;
    EXPECT_EQ(after, before) << id;
  }
}

TEST_F(ContentOpening, APackageInsideItsOwnDataFolderIsNeverWiped) {
  // The shared data folder is where the content lies: the project's data
  // folder is the package's own.
  plat::WriteSettingString(kSessionDataKey, kSessionDataValue, Root());
  const std::string package = Root() + "/abc/course.vrn";
  MakePackage(package, {{"projectid.txt", "abc"}});
  PutFile(Root() + "/abc/notes.txt", "mine");
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_EQ(server_.GetDataFolder(), Root() + "/abc/");
  EXPECT_TRUE(plat::FileExists(package));
  EXPECT_TRUE(plat::FileExists(Root() + "/abc/notes.txt"));
}

TEST_F(ContentOpening, TheSharedDataFolderHoldsEachProjectApart) {
  const std::string shared = Root() + "/shared";
  PutFile(shared + "/other/keep.txt", "another content's data");
  plat::WriteSettingString(kSessionDataKey, kSessionDataValue, shared);
  EXPECT_EQ(ReadSessionDataPath(), shared);

  const std::string package = Root() + "/cd/course.vrn";
  MakePackage(package, {{"projectid.txt", "abc"}});
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_EQ(server_.GetDataFolder(), shared + "/abc/");
  EXPECT_TRUE(plat::FileExists(shared + "/abc/TimeStamp.txt"));

  // Without an id the shared folder itself is the data folder, and it is never wiped.
  MakePackage(package, {});
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_EQ(server_.GetDataFolder(), shared + "/");
  EXPECT_TRUE(plat::FileExists(shared + "/other/keep.txt"));
  EXPECT_TRUE(plat::FileExists(shared + "/abc/TimeStamp.txt"));

  // A stored folder that does not exist counts as none.
  plat::WriteSettingString(kSessionDataKey, kSessionDataValue, Root() + "/gone");
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_EQ(server_.GetDataFolder(), Root() + "/cd/");
}

// A former user's folder is moved aside, never deleted, and only when the
// users table was read whole.
TEST_F(ContentOpening, SessionFoldersOfFormerUsersGoAsideAndLinksStay) {
  const std::string package = Root() + "/cd/course.vrn";
  const std::string data = Root() + "/cd/abc/";
  const std::string sessions = data + "Sessions/";
  PutFile(data + "TimeStamp.txt", kPackageStamp);
  for (const char* name : {"old", "ann", "j_doe", "J.Doe"}) PutFile(sessions + name + "/lastsession.session", "x");
  PutFile(Root() + "/outside/precious.txt", "not learner data");
  ASSERT_EQ(::symlink((Root() + "/outside").c_str(), (sessions + "gone").c_str()), 0);

  // No users known: nothing is stale.
  MakePackage(package, {{"projectid.txt", "abc"}});
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_TRUE(plat::FolderExists(sessions + "old"));
  // Nor when the data folder's table is damaged: cut short in a record, or
  // holding NUL bytes; the users read from it do not tell who is gone.
  for (const std::string& damaged :
       {std::string("Ann;pw;;;Ann A\r\nJ.Doe;pw;;;J D"), std::string("Ann;pw;;;Ann A\r\n\0\0\r\n", 20)}) {
    PutFile(data + "all.users.csv", damaged);
    ASSERT_TRUE(server_.SetPath(package));
    EXPECT_TRUE(plat::FolderExists(sessions + "old"));
    EXPECT_TRUE(plat::FolderExists(sessions + "j_doe"));
  }
  ::unlink((data + "all.users.csv").c_str());

  MakePackage(package, {{"projectid.txt", "abc"}, {"all.users.csv", "Ann;pw;;;Ann A\r\nJ.Doe;pw;;;J Doe\r\n"}});
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_EQ(server_.GetUsers().Count(), 2);
  EXPECT_FALSE(plat::PathExists(sessions + "old"));
  std::vector<std::string> aside;
  for (const std::string& name : Tree(sessions))
    if (name.find("old.former-user.") == 0) aside.push_back(name);
  ASSERT_EQ(aside.size(), 2u);  // the folder and its file
  EXPECT_EQ(plat::ReadWholeFile(sessions + aside[0] + "/lastsession.session"), "x");
  // Once aside, it stays as it is at the next opening.
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_TRUE(plat::FileExists(sessions + aside[0] + "/lastsession.session"));
  EXPECT_TRUE(plat::FolderExists(sessions + "ann"));
  EXPECT_TRUE(plat::FolderExists(sessions + "j_doe"));
  EXPECT_TRUE(plat::FolderExists(sessions + "J.Doe"));
  EXPECT_TRUE(std::filesystem::is_symlink(sessions + "gone"));
  EXPECT_TRUE(plat::FileExists(Root() + "/outside/precious.txt"));
}

TEST_F(ContentOpening, PackedTablesComeFromTheDataFolderFirst) {
  const std::string package = Root() + "/cd/course.vrn";
  MakePackage(package,
              {{"all.users.csv", "pkg;pw;;;From Package\r\n"}, {"all.groups.csv", "1;Crew\r\nx;bad\r\n2;Guests\r\n"}});
  ASSERT_TRUE(server_.SetPath(package));
  ASSERT_EQ(server_.GetUsers().Count(), 1);
  EXPECT_EQ(server_.GetUsers().GetUser(0)->GetFullName(), "From Package");
  EXPECT_EQ(server_.GetGroups().Count(), 2);

  PutFile(Root() + "/cd/all.users.csv", "data;pw;;;From Data\r\nsecond;pw;;;Second\r\n");
  ASSERT_TRUE(server_.SetPath(package));
  ASSERT_EQ(server_.GetUsers().Count(), 2);
  EXPECT_EQ(server_.GetUsers().GetUser(0)->GetFullName(), "From Data");
  EXPECT_EQ(server_.GetGroups().Count(), 2);
}

TEST_F(ContentOpening, PackageSettingsAndTheGradeTable) {
  const std::string package = Root() + "/course.vrn";
  MakePackage(package, {{"ProjectTitle.txt", "Knots"},
                        {"subjects.sysdata", "Reef\r\n\r\nBowline\nHitch"},
                        {"grades.sysdata", "0 49 Fail\r\n\r\n50 74 Good%20pass\r\n75 100\r\nbad line\r\n"},
                        {"skipstartpage.SYSDATA", ""}});
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_EQ(server_.GetProjectTitle(), "Knots");
  EXPECT_EQ(server_.GetSubjectTitles(), (content::TStringList{"Reef", "", "Bowline", "Hitch"}));
  EXPECT_TRUE(server_.GetSkipStartPage());
  const auto& rows = server_.GetGradeTable().Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].low, 50);
  EXPECT_EQ(rows[1].high, 74);
  EXPECT_EQ(rows[1].name, "Good pass");
  EXPECT_EQ(rows[2].name, "");

  // Folder mode keeps them; another package replaces them.
  ASSERT_TRUE(server_.SetPath(Root()));
  EXPECT_EQ(server_.GetProjectTitle(), "Knots");
  EXPECT_EQ(server_.GetGradeTable().Count(), 3);
  EXPECT_FALSE(server_.GetSkipStartPage());
  MakePackage(package, {});
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_EQ(server_.GetProjectTitle(), "");
  EXPECT_TRUE(server_.GetSubjectTitles().empty());
  EXPECT_EQ(server_.GetGradeTable().Count(), 0);
}

TEST(GradeTable, ReadsLinesAsTheCScannerDoes) {
  auto row = ParseGradeLine(" \t-5\t+7");
  ASSERT_TRUE(row);
  EXPECT_EQ(row->low, -5);
  EXPECT_EQ(row->high, 7);
  EXPECT_EQ(row->name, "");
  row = ParseGradeLine("50 74Good  more");
  ASSERT_TRUE(row);
  EXPECT_EQ(row->name, "Good");
  row = ParseGradeLine("1 2 " + std::string(200, 'n'));
  ASSERT_TRUE(row);
  EXPECT_EQ(row->name, std::string(TGradeTable::kMaxNameLength, 'n'));
  EXPECT_EQ(ParseGradeLine("1 2 ab%00cd")->name, "ab");
  for (const char* bad : {"", "1", "1 x", "x 1 2", "- 1 2", "99999999999 1 a"})
    EXPECT_FALSE(ParseGradeLine(bad)) << bad;

  std::string many;
  for (int i = 0; i < 150; ++i) many += std::to_string(i) + " " + std::to_string(i) + " g\n";
  TGradeTable table;
  table.LoadFromText(many);
  EXPECT_EQ(table.Count(), TGradeTable::kMaxRows);
  EXPECT_EQ(table.Rows().back().low, 99);
}

TEST_F(ContentOpening, FolderModeFindsItsFilesWithoutRegardToCase) {
  const std::string content = Root() + "/course/";
  PutFile(content + "index.html", "<html>start</html>");
  PutFile(content + "All.Users.CSV", "ann;pw;;;Ann\r\n");
  PutFile(content + "ALL.groups.csv", "3;Crew\r\n");
  PutFile(content + "SkipStartPage.sysdata", "");
  ASSERT_TRUE(server_.SetPath(content + "index.html"));
  EXPECT_EQ(server_.GetContentFolder(), content);
  EXPECT_EQ(server_.GetDataFolder(), content);
  EXPECT_EQ(server_.GetUsers().Count(), 1);
  EXPECT_EQ(server_.GetGroups().Count(), 1);
  EXPECT_TRUE(server_.GetSkipStartPage());

  // With a shared data folder its copy of a table comes first, as in packed mode.
  const std::string shared = Root() + "/shared/";
  PutFile(shared + "all.users.csv", "ann;pw;;;Ann\r\nbob;pw;;;Bob\r\n");
  plat::WriteSettingString(kSessionDataKey, kSessionDataValue, shared);
  ASSERT_TRUE(server_.SetPath(content));
  EXPECT_EQ(server_.GetDataFolder(), shared);
  EXPECT_EQ(server_.GetUsers().Count(), 2);
  EXPECT_EQ(server_.GetGroups().Count(), 1);
}

TEST_F(ContentOpening, AnUnwritableDataFolderStillOpensTheContent) {
  const std::string package = Root() + "/cd/course.vrn";
  MakePackage(package, {{"projectid.txt", "abc"}, {"all.users.csv", "ann;pw;;;Ann\r\n"}});
  PutFile(Root() + "/cd/abc", "a file where the data folder should be");
  ASSERT_TRUE(server_.SetPath(package));
  EXPECT_TRUE(server_.GetContent().RequestedFileExists("index.html"));
  EXPECT_EQ(server_.GetUsers().Count(), 1);
  EXPECT_EQ(plat::ReadWholeFile(Root() + "/cd/abc"), "a file where the data folder should be");
}

TEST(DataFilePath, TakesWhatExistsAsItStandsAndTheRestAsGiven) {
  plat::testing::TestFolder folder;
  PutFile(folder.path() + "/sessions/Ann/x", "");
  EXPECT_EQ(DataFilePath(folder.path(), "Sessions/ann/lastsession.session"),
            folder.path() + "/sessions/Ann/lastsession.session");
  EXPECT_EQ(DataFilePath(folder.path() + "/", "Sessions\\bob\\lastsession.session"),
            folder.path() + "/sessions/bob/lastsession.session");
  EXPECT_EQ(DataFilePath(folder.path(), "TimeStamp.txt"), folder.path() + "/TimeStamp.txt");
}

}  // namespace
}  // namespace server
