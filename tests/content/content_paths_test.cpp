#include "content/content_paths.h"

#include <gtest/gtest.h>

#include "content/xor_file_stream.h"
#include "platform/files.h"
#include "tests/support/test_folder.h"

namespace content {
namespace {

using plat::testing::ScopedEnv;
using plat::testing::TestFolder;

class ContentPaths : public ::testing::Test {
 protected:
  void MakePackage(const std::string& path, std::initializer_list<std::pair<std::string, std::string>> entries) {
    TXORFileStream writer(path, TXORFileStream::kCreate, kPackageKey);
    for (const auto& [name, data] : entries) writer.AddFile(name, data);
    writer.Finish();
  }
  TestFolder tmp_;
  ScopedEnv data_home_{"XDG_DATA_HOME", tmp_.path() + "/data"};
};

TEST_F(ContentPaths, StatePathFromTheProjectIdInFolderAndPackage) {
  const std::string content = tmp_.path() + "/course/";
  plat::WriteFileAtomic(content + "projectid.txt", std::string("abc\0junk", 8));
  const std::string expected = tmp_.path() + "/data/Kelmo Player/abc - lastsession.state";
  EXPECT_EQ(GetLastSessionStatePath(content), expected);
  EXPECT_TRUE(plat::FolderExists(tmp_.path() + "/data/Kelmo Player"));
  // A file in the content folder stands for its folder.
  plat::WriteFileAtomic(content + "index.html", "x");
  EXPECT_EQ(GetLastSessionStatePath(content + "index.html"), expected);

  const std::string package = tmp_.path() + "/course.vrn";
  MakePackage(package, {{"ProjectID.txt", "pkg"}});
  EXPECT_EQ(GetLastSessionStatePath(package), tmp_.path() + "/data/Kelmo Player/pkg - lastsession.state");
}

TEST_F(ContentPaths, NoUsableIdGivesNoStatePath) {
  const std::string content = tmp_.path() + "/course/";
  plat::CreateFolders(content);
  EXPECT_EQ(GetLastSessionStatePath(content), "");
  for (const std::string id : {"", ".", "..", "../x", "a\\b", "a\nb"}) {
    plat::WriteFileAtomic(content + "projectid.txt", id);
    EXPECT_EQ(GetLastSessionStatePath(content), "") << id;
  }
  const std::string package = tmp_.path() + "/noid.vrn";
  MakePackage(package, {{"index.html", "x"}});
  EXPECT_EQ(GetLastSessionStatePath(package), "");
}

TEST_F(ContentPaths, SkipStartPageInFolderAndPackage) {
  const std::string content = tmp_.path() + "/course/";
  plat::CreateFolders(content);
  EXPECT_FALSE(IsSkipStartPage(content));
  plat::WriteFileAtomic(content + "SkipStartPage.sysdata", "");
  EXPECT_TRUE(IsSkipStartPage(content));

  const std::string with = tmp_.path() + "/with.vrn";
  const std::string without = tmp_.path() + "/without.vrn";
  MakePackage(with, {{"SKIPSTARTPAGE.SYSDATA", ""}});
  MakePackage(without, {{"index.html", ""}});
  EXPECT_TRUE(IsSkipStartPage(with));
  EXPECT_FALSE(IsSkipStartPage(without));
}

TEST_F(ContentPaths, CombineContentPathStaysInsideTheFolder) {
  const std::string content = tmp_.path() + "/course";
  plat::WriteFileAtomic(content + "/movie.swf", "x");
  plat::WriteFileAtomic(tmp_.path() + "/outside.swf", "x");
  EXPECT_EQ(CombineContentPath("", "a.swf"), "a.swf");
  EXPECT_EQ(CombineContentPath(tmp_.path() + "/missing", "a.swf"), "a.swf");
  EXPECT_EQ(CombineContentPath(content, "movie.swf"), content + "/movie.swf");
  EXPECT_EQ(CombineContentPath(content + "/", "\\MOVIE.SWF"), content + "/movie.swf");
  EXPECT_EQ(CombineContentPath(content, "absent.swf"), "absent.swf");
  EXPECT_EQ(CombineContentPath(content, "../outside.swf"), "../outside.swf");
}

}  // namespace
}  // namespace content
