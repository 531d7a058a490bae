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

namespace {

class TempTree : public ::testing::Test {
 protected:
  void Touch(const std::string& path, const std::string& text = "x") { std::ofstream(path) << text; }
  plat::testing::TestFolder folder_;
  const std::string root_ = folder_.path();
};

TEST_F(TempTree, DeleteFolderTreeRemovesLinksNeverTheirTargets) {
  const std::string outside = root_ + "/outside";
  const std::string tree = root_ + "/tree";
  plat::CreateFolders(outside + "/deep");
  Touch(outside + "/keep.txt");
  Touch(outside + "/deep/keep2.txt");
  plat::CreateFolders(tree + "/a/b");
  Touch(tree + "/a/b/f.txt");
  Touch(tree + "/top.txt");
  ASSERT_EQ(symlink(outside.c_str(), (tree + "/a/dirlink").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/keep.txt").c_str(), (tree + "/filelink").c_str()), 0);

  DeleteFolderTree(tree + "/");

  EXPECT_FALSE(plat::PathExists(tree));
  EXPECT_TRUE(plat::FileExists(outside + "/keep.txt"));
  EXPECT_TRUE(plat::FileExists(outside + "/deep/keep2.txt"));
}

TEST_F(TempTree, DeleteFolderTreeLeavesALinkArgumentAndRefusesRoots) {
  const std::string real = root_ + "/real";
  plat::CreateFolders(real);
  Touch(real + "/f");
  ASSERT_EQ(symlink(real.c_str(), (root_ + "/link").c_str()), 0);
  DeleteFolderTree(root_ + "/link/");
  EXPECT_TRUE(plat::FileExists(real + "/f"));

  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(real);
  DeleteFolderTree("");  // would name the working folder
  std::filesystem::current_path(cwd);
  EXPECT_TRUE(plat::FileExists(real + "/f"));

  const std::string home = root_ + "/home";
  plat::CreateFolders(home);
  Touch(home + "/precious");
  const std::string old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", home.c_str(), 1);
  DeleteFolderTree(home + "/");
  DeleteFolderTree(root_ + "/");  // holds the home folder
  setenv("HOME", old_home.c_str(), 1);
  EXPECT_TRUE(plat::FileExists(home + "/precious"));
}

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
