// The content road: what a requested name may reach, in both modes.
#include "server/road/content_resolver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/server/server_test_support.h"

namespace server {
namespace {

std::string ReadAll(TContentFile& file) {
  std::string bytes;
  char buffer[7];
  for (int64_t got; (got = file.Read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(got));
  return bytes;
}

class ContentResolver : public ::testing::Test {
 protected:
  void SetUp() override {
    content_ = folder_.path() + "/course/";
    PutFile(content_ + "Index.html", "start");
    PutFile(content_ + "sub/Page.htm", "page");
    PutFile(folder_.path() + "/outside.html", "outside");
  }

  plat::testing::TestFolder folder_;
  std::string content_;
  TContentResolver resolver_;
};

TEST_F(ContentResolver, RecognisesLearnerDataWithoutCase) {
  for (const char* name : {"Sessions/bob/lastsession.session", "sessions", "x/SESSIONS/y", "a\\Sessions\\b",
                           "admin.sysdata", "sub/ADMIN.SYSDATA", "all.users.csv", "All.Users.CSV", "x.groups.csv",
                           "TimeStamp.txt", "sub\\timestamp.TXT", "knots/packageidentity.TXT"})
    EXPECT_TRUE(TContentResolver::IsLearnerDataName(name)) << name;
  for (const char* name : {"index.html", "sessions.html", "mysessions/a.html", "users.csv.html", "admin.sysdata.xml",
                           "timestamp.txt.bak", "grades.sysdata"})
    EXPECT_FALSE(TContentResolver::IsLearnerDataName(name)) << name;
}

TEST_F(ContentResolver, FolderModeStaysBelowTheFolder) {
  resolver_.SetFolder(content_);
  auto file = resolver_.Open("INDEX.HTML");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), 5);
  EXPECT_EQ(ReadAll(*file), "start");
  EXPECT_TRUE(resolver_.Open("sub\\page.htm"));
  EXPECT_TRUE(resolver_.Open("/sub/page.htm"));  // an absolute-looking name is still taken below
  EXPECT_TRUE(resolver_.Open(content_ + "sub/page.htm"));
  EXPECT_FALSE(resolver_.Open(content_ + "../outside.html"));
  EXPECT_TRUE(resolver_.RequestedFileExists("sub/Page.htm"));
  for (const std::string& name : std::vector<std::string>{
           "../outside.html", "sub/../../outside.html", "..\\outside.html", folder_.path() + "/outside.html",
           std::string("Index.html\0.txt", 15), "sub", "", "missing.html"}) {
    EXPECT_FALSE(resolver_.Open(name)) << name;
    EXPECT_FALSE(resolver_.RequestedFileExists(name)) << name;
  }
}

TEST_F(ContentResolver, FolderModeRefusesLearnerDataAlsoBehindLinks) {
  PutFile(content_ + "Sessions/bob/lastsession.session", "session");
  std::filesystem::create_directory_symlink(content_ + "Sessions", content_ + "notes");
  resolver_.SetFolder(content_);
  EXPECT_FALSE(resolver_.Open("Sessions/bob/lastsession.session"));
  EXPECT_FALSE(resolver_.Open("notes/bob/lastsession.session"));
}

TEST_F(ContentResolver, SpecialFilesAreNotOpened) {
  ASSERT_EQ(::mkfifo((content_ + "pipe.html").c_str(), 0600), 0);
  resolver_.SetFolder(content_);
  EXPECT_FALSE(resolver_.Open("pipe.html"));  // and does not wait for a writer
  EXPECT_FALSE(resolver_.RequestedFileExists("pipe.html"));
}

TEST_F(ContentResolver, PackedModeReadsEntriesOnly) {
  const std::string package = folder_.path() + "/course.vrn";
  PutPackage(package, {{"index.html", "packed"}, {"page.htm", "packed page"}, {"all.users.csv", "bob;pw"}});
  resolver_.SetPackage(
      std::make_unique<content::TXORFileStream>(package, content::TXORFileStream::kRead, content::kPackageKey));
  ScopedWorkingFolder cwd(content_);  // holds "sub/Page.htm" and "Index.html" on disk

  EXPECT_TRUE(resolver_.RequestedFileExists("INDEX.html"));
  // A file request needs an entry of the whole name; entries have no folders.
  EXPECT_FALSE(resolver_.RequestedFileExists("sub/page.htm"));
  EXPECT_FALSE(resolver_.RequestedFileExists(content_ + "Index.html"));
  EXPECT_FALSE(resolver_.RequestedFileExists("all.users.csv"));
  // Handlers name a file by its last part.
  auto file = resolver_.Open("sub/page.htm");
  ASSERT_TRUE(file);
  EXPECT_EQ(ReadAll(*file), "packed page");
  auto index = resolver_.Open(content_ + "Index.html");
  ASSERT_TRUE(index);
  EXPECT_EQ(ReadAll(*index), "packed");
  EXPECT_FALSE(resolver_.Open("all.users.csv"));
  EXPECT_FALSE(resolver_.Open("Sessions/page.htm"));
}

TEST_F(ContentResolver, OpenFilesOutliveTheContent) {
  const std::string package = folder_.path() + "/course.vrn";
  PutPackage(package, {{"index.html", "packed"}});
  resolver_.SetPackage(
      std::make_unique<content::TXORFileStream>(package, content::TXORFileStream::kRead, content::kPackageKey));
  auto entry = resolver_.Open("index.html");
  resolver_.SetFolder(content_);
  auto disk = resolver_.Open("index.html");
  resolver_.Clear();
  EXPECT_FALSE(resolver_.Open("index.html"));
  ASSERT_TRUE(entry && disk);
  EXPECT_EQ(ReadAll(*entry), "packed");
  EXPECT_EQ(ReadAll(*disk), "start");
}

}  // namespace
}  // namespace server
