// Folders on disk: listing, tree removal, and what a path names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/path_lookup.h"
#include "platform/removal.h"
#include "tests/support/test_folder.h"

namespace plat {
namespace {

class Folders : public ::testing::Test {
 protected:
  void Touch(const std::string& path, const std::string& text = "x") { std::ofstream(path) << text; }
  testing::TestFolder folder_;
  const std::string root_ = folder_.path();
};

TEST_F(Folders, TreeRemovalRemovesLinksNeverTheirTargets) {
  const std::string outside = root_ + "/outside";
  const std::string tree = root_ + "/tree";
  CreateFolders(outside + "/deep");
  Touch(outside + "/keep.txt");
  Touch(outside + "/deep/keep2.txt");
  CreateFolders(tree + "/a/b");
  Touch(tree + "/a/b/f.txt");
  Touch(tree + "/top.txt");
  ASSERT_EQ(symlink(outside.c_str(), (tree + "/a/dirlink").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/keep.txt").c_str(), (tree + "/filelink").c_str()), 0);

  RemoveFolderTree(tree + "/");

  EXPECT_FALSE(PathExists(tree));
  EXPECT_TRUE(FileExists(outside + "/keep.txt"));
  EXPECT_TRUE(FileExists(outside + "/deep/keep2.txt"));
}

TEST_F(Folders, TreeRemovalLeavesALinkArgumentAndRefusesRoots) {
  const std::string real = root_ + "/real";
  CreateFolders(real);
  Touch(real + "/f");
  ASSERT_EQ(symlink(real.c_str(), (root_ + "/link").c_str()), 0);
  RemoveFolderTree(root_ + "/link/");
  EXPECT_TRUE(FileExists(real + "/f"));

  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(real);
  RemoveFolderTree("");  // would name the working folder
  std::filesystem::current_path(cwd);
  EXPECT_TRUE(FileExists(real + "/f"));

  const std::string home = root_ + "/home";
  CreateFolders(home);
  Touch(home + "/precious");
  const std::string old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", home.c_str(), 1);
  RemoveFolderTree(home + "/");
  RemoveFolderTree(root_ + "/");  // holds the home folder
  setenv("HOME", old_home.c_str(), 1);
  EXPECT_TRUE(FileExists(home + "/precious"));
}

TEST_F(Folders, AListingOfAFolderThatChangesUnderItHoldsEachStableEntryOnce) {
  Touch(root_ + "/stable.txt");
  CreateFolders(root_ + "/sub");
  ASSERT_EQ(symlink("stable.txt", (root_ + "/link").c_str()), 0);
  std::atomic<bool> done = false;
  std::thread churn([&] {
    for (int i = 0; !done; i = (i + 1) % 50) {
      const std::string name = root_ + "/churn" + std::to_string(i);
      Touch(name);
      ::unlink(name.c_str());
    }
  });
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> stable;
    for (const FolderEntry& entry : ListFolder(root_)) {
      if (entry.name.starts_with("churn")) {
        EXPECT_EQ(entry.kind, EntryKind::kFile);
        continue;
      }
      stable.push_back(entry.name + (entry.kind == EntryKind::kFile     ? ":file"
                                     : entry.kind == EntryKind::kFolder ? ":folder"
                                     : entry.kind == EntryKind::kLink   ? ":link"
                                                                        : ":other"));
    }
    std::sort(stable.begin(), stable.end());
    ASSERT_EQ(stable, (std::vector<std::string>{"link:link", "stable.txt:file", "sub:folder"})) << round;
  }
  done = true;
  churn.join();
  EXPECT_THROW(ListFolder(root_ + "/missing"), FileError);
  EXPECT_THROW(ListFolder(root_ + "/stable.txt"), FileError);
}

TEST_F(Folders, PathsMadeAbsoluteAndReal) {
  CreateFolders(root_ + "/a/b");
  ASSERT_EQ(symlink("a/b", (root_ + "/ab").c_str()), 0);
  const std::string cwd = std::filesystem::current_path().string();
  struct Case {
    std::string path;
    std::string absolute;
  };
  for (const Case& c : std::vector<Case>{{"", ""},
                                         {"/", "/"},
                                         {"/x//y/./z", "/x/y/z"},
                                         {"/x/y/", "/x/y/"},
                                         {"/x/y/.", "/x/y/"},
                                         {"/x/y/..", "/x/"},
                                         {"/x/..", "/"},
                                         {"/../x", "/x"},
                                         {"rel/../f", cwd + "/f"},
                                         {".", cwd + "/"}})
    EXPECT_EQ(AbsolutePath(c.path), c.absolute) << c.path;

  // Through the link ".." leaves the folder the link leads to, not the one that holds it.
  EXPECT_EQ(RealPath(root_ + "/ab/../b"), root_ + "/a/b");
  EXPECT_EQ(RealPath(root_ + "/ab"), root_ + "/a/b");
  EXPECT_EQ(RealPath(root_ + "/missing"), std::nullopt);
  EXPECT_TRUE(IsLink(root_ + "/ab"));
  EXPECT_FALSE(IsLink(root_ + "/a"));
  EXPECT_TRUE(ProgramFile().ends_with("/platform_tests"));
}

}  // namespace
}  // namespace plat
