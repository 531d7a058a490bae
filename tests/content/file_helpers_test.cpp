#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "content/debug_log.h"
#include "content/file_helpers.h"
#include "content/safe_name.h"
#include "platform/files.h"
#include "tests/support/test_folder.h"

namespace content {
namespace {

class TempTree : public ::testing::Test {
 protected:
  void Touch(const std::string& path, const std::string& text = "x") { std::ofstream(path) << text; }
  plat::testing::TestFolder folder_;
  const std::string root_ = folder_.path();
};

TEST_F(TempTree, WholeFileReadAndWrite) {
  const std::string path = root_ + "/one/two/three/file.bin";
  WriteStringToFile(path, "a much longer original text");
  WriteStringToFile(path, std::string("a\0b", 3));
  EXPECT_EQ(ReadFileToString(path), std::string("a\0b", 3));
  EXPECT_THROW(ReadFileToString(root_ + "/none"), plat::FileError);
}

TEST_F(TempTree, DebugLogKeepsLinesWholeAcrossThreads) {
  const std::string log = root_ + "/debug.log";
  SetDebugLogFile(log);
  auto writer = [](const char* who) {
    for (int i = 0; i < 1000; ++i) LogMessage("%s line %d with some padding text", who, i);
  };
  std::thread a(writer, "alpha"), b(writer, "beta");
  a.join();
  b.join();
  SetDebugLogFile("");
  LogMessage("%s", "not written");

  std::ifstream in(log, std::ios::binary);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\r');
    EXPECT_TRUE(line.find(" alpha line ") != std::string::npos || line.find(" beta line ") != std::string::npos);
    EXPECT_NE(line.find(" with some padding text\r"), std::string::npos);
    ++count;
  }
  EXPECT_EQ(count, 2000);
}

TEST(SafeName, KeepsTheStoredRuleAndAlwaysGivesAFolderName) {
  EXPECT_EQ(MakeSafeName("Ann Lee!"), "ann lee!");
  EXPECT_EQ(MakeSafeName("J.Doe?x"), "j_doe_x");
  EXPECT_EQ(MakeSafeName("Q"), "q");
  EXPECT_EQ(MakeSafeName(""), "_");
  EXPECT_EQ(MakeSafeName("."), "_");
  EXPECT_EQ(MakeSafeName(".."), "_.");
  EXPECT_EQ(MakeSafeName("x/"), "x_");
  EXPECT_EQ(MakeSafeName("x\\"), "x_");
  EXPECT_EQ(MakeSafeName(std::string("ab\0", 3)), "ab_");
  EXPECT_EQ(MakeSafeName("ab\n"), "ab_");
  EXPECT_EQ(MakeSafeName("../../etc"), "______etc");
}

}  // namespace
}  // namespace content
