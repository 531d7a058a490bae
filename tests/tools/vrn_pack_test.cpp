#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "content/xor_file_stream.h"
#include "platform/files.h"
#include "tests/support/test_folder.h"

namespace tools {
namespace {

class VrnPackTest : public ::testing::Test {
 protected:

  void Put(const std::string& relative, const std::string& bytes) {
    plat::CreateFolders(plat::FolderPart(root_ + "/course/" + relative));
    std::ofstream(root_ + "/course/" + relative, std::ios::binary) << bytes;
  }
  // The tool's exit status.
  int Pack(const std::string& args) {
    const std::string command = std::string(VRN_PACK_PATH) + " " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  plat::testing::TestFolder folder_;
  const std::string root_ = folder_.path();
};

TEST_F(VrnPackTest, PacksEveryFileUnderItsName) {
  Put("index.html", "<html/>");
  Put("images/Logo.JPG", std::string("\xff\xd8\0\x01", 4));
  Put("data/questions/q1.xml", "<q/>");
  const std::string output = root_ + "/course.vrn";
  ASSERT_EQ(Pack(root_ + "/course " + output), 0);
  content::TXORFileStream package(output, content::TXORFileStream::kRead, content::kPackageKey);
  EXPECT_EQ(package.ReadToString("index.html"), "<html/>");
  std::string logo;
  ASSERT_TRUE(package.ReadToStream("logo.jpg", logo));
  EXPECT_EQ(logo, std::string("\xff\xd8\0\x01", 4));
  EXPECT_EQ(package.ReadToString("Q1.XML"), "<q/>");

  // Packing again into the folder itself leaves the earlier output out.
  ASSERT_EQ(Pack(root_ + "/course " + root_ + "/course/self.vrn"), 0);
  ASSERT_EQ(Pack(root_ + "/course " + root_ + "/course/self.vrn"), 0);
  content::TXORFileStream self(root_ + "/course/self.vrn", content::TXORFileStream::kRead, content::kPackageKey);
  EXPECT_FALSE(self.FileExists("self.vrn"));
  EXPECT_TRUE(self.FileExists("index.html"));
}

TEST_F(VrnPackTest, RefusesWhatItCannotPackFaithfully) {
  Put("a/page.html", "one");
  Put("b/PAGE.html", "two");  // both would be found as "page.html"
  EXPECT_EQ(Pack(root_ + "/course " + root_ + "/out.vrn"), 1);
  EXPECT_FALSE(plat::PathExists(root_ + "/out.vrn"));
  EXPECT_EQ(Pack(root_ + "/missing " + root_ + "/out.vrn"), 1);
  EXPECT_FALSE(plat::PathExists(root_ + "/out.vrn"));
  EXPECT_EQ(Pack(root_ + "/course"), 2);
}

}  // namespace
}  // namespace tools
