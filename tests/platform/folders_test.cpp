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
#include "platform/folder_lock.h"
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

// What a save cut short leaves is the temporary file of CreateTempFileBeside;
// nothing else goes, and nothing through a link.
TEST_F(Folders, LeftoverTemporaryFilesGoAndNothingElse) {
  const std::string data = root_ + "/data";
  CreateFolders(data + "/.~qzdir.ABCDEF");
  Touch(root_ + "/outside.txt", "precious");
  int fd = -1;
  const std::string temp = CreateTempFileBeside(data + "/all.users.csv", &fd);
  ::close(fd);
  Touch(data + "/.~qzanswers.xml.a1B2c3");
  const std::vector<std::string> kept = {".~qzfile.txt.abcde", ".~qzfile.txt.abcdefg", ".~qz.ABCDEF", "~qzfile.ABCDEF",
                                         ".~qzfile.txt_ABCDEF", ".~qzfile.txt.AB-DEF", "all.users.csv"};
  for (const std::string& name : kept) Touch(data + "/" + name);
  ASSERT_EQ(::symlink((root_ + "/outside.txt").c_str(), (data + "/.~qzlink.txt.ABCDEF").c_str()), 0);
  ASSERT_EQ(::symlink(data.c_str(), (root_ + "/link").c_str()), 0);
  EXPECT_TRUE(IsTempFileBesideName(NamePart(temp))) << temp;

  // A folder reached through a link is left alone when asked.
  EXPECT_EQ(RemoveLeftoverTempFiles(root_ + "/link", FollowLinks::kNo), 0);
  EXPECT_TRUE(FileExists(temp));
  EXPECT_EQ(RemoveLeftoverTempFiles(data + "/", FollowLinks::kYes), 2);
  EXPECT_FALSE(PathExists(temp));
  EXPECT_FALSE(PathExists(data + "/.~qzanswers.xml.a1B2c3"));
  for (const std::string& name : kept) EXPECT_TRUE(FileExists(data + "/" + name)) << name;
  EXPECT_TRUE(IsLink(data + "/.~qzlink.txt.ABCDEF"));
  EXPECT_EQ(ReadWholeFile(root_ + "/outside.txt"), "precious");
  EXPECT_TRUE(FolderExists(data + "/.~qzdir.ABCDEF"));
  EXPECT_EQ(RemoveLeftoverTempFiles(root_ + "/missing", FollowLinks::kYes), 0);
}

// Moving aside never replaces what stands at the new name; a held folder
// moved aside leaves a new empty one in its place, held as the old one was.
TEST_F(Folders, MovingAsideReplacesNothingAndAHeldFolderStaysHeld) {
  Touch(root_ + "/a", "a");
  Touch(root_ + "/b", "b");
  EXPECT_THROW(MoveAside(root_ + "/a", root_ + "/b"), FileError);
  EXPECT_EQ(ReadWholeFile(root_ + "/a"), "a");
  EXPECT_EQ(ReadWholeFile(root_ + "/b"), "b");
  MoveAside(root_ + "/a", root_ + "/c");
  EXPECT_FALSE(PathExists(root_ + "/a"));
  EXPECT_EQ(ReadWholeFile(root_ + "/c"), "a");

  const std::string data = root_ + "/data";
  CreateFolders(data + "/Sessions/ann");
  Touch(data + "/Sessions/ann/answers.xml", "answers");
  FolderLock held;
  ASSERT_EQ(held.Acquire(data, 0), FolderLock::Outcome::kLocked);
  EXPECT_THROW(held.SetAside(data, root_ + "/b"), FileError);  // taken: nothing moves
  EXPECT_EQ(ReadWholeFile(data + "/Sessions/ann/answers.xml"), "answers");
  held.SetAside(data, root_ + "/aside");
  EXPECT_EQ(ReadWholeFile(root_ + "/aside/Sessions/ann/answers.xml"), "answers");
  EXPECT_TRUE(FolderExists(data));
  EXPECT_TRUE(ListFolder(data).empty());
  FolderLock other;
  EXPECT_EQ(other.Acquire(data, 0), FolderLock::Outcome::kBusy);
  EXPECT_EQ(other.Acquire(root_ + "/aside", 0), FolderLock::Outcome::kLocked);
  held.Release();
  EXPECT_EQ(other.Acquire(data, 0), FolderLock::Outcome::kLocked);
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
