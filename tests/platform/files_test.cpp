#include "platform/files.h"
#include "platform/ini_file.h"
#include "tests/support/test_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace plat {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  plat::testing::TestFolder folder_;
  const std::string root_ = folder_.path();
};

TEST_F(FilesTest, AtomicWriteCreatesFoldersAndReplacesLongerFile) {
  const std::string path = root_ + "/a/b/c/file.txt";
  WriteFileAtomic(path, std::string("long old content", 16));
  WriteFileAtomic(path, std::string("n\0w", 3));
  EXPECT_EQ(ReadWholeFile(path), std::string("n\0w", 3));
  // No temporary file is left behind.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(root_ + "/a/b/c")) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(FilesTest, FailedWriteKeepsTheOldFile) {
  const std::string path = root_ + "/keep.txt";
  WriteFileAtomic(path, "old");
  // The target is a folder now: the rename fails, nothing is lost.
  const std::string folder_target = root_ + "/dir";
  CreateFolders(folder_target + "/inner");
  EXPECT_THROW(WriteFileAtomic(folder_target, "new"), FileError);
  EXPECT_EQ(ReadWholeFile(path), "old");
  EXPECT_TRUE(FolderExists(folder_target + "/inner"));
}

// A browser started while a file is being replaced must not inherit it.
TEST_F(FilesTest, TempFileBesideKeepsTheModeAndIsClosedOnExec) {
  const std::string path = root_ + "/kept.txt";
  WriteFileAtomic(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  int fd = -1;
  const std::string temp = CreateTempFileBeside(path, &fd);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(FolderPart(temp), FolderPart(path));
  EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  struct stat st {};
  ASSERT_EQ(::fstat(fd, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ::close(fd);
  ::unlink(temp.c_str());
}

// New files take 0666 less the umask; private ones (passwords) never let
// group or others in; a replacement keeps no permission the old file lacked.
TEST_F(FilesTest, FileModesFollowTheUmaskAndPrivateFilesStayPrivate) {
  struct Case {
    mode_t umask;
    FileAccess access;
    mode_t old_mode;  // 0: no file before
    mode_t expected;
  };
  const Case cases[] = {
      {022, FileAccess::kShared, 0, 0644},    {077, FileAccess::kShared, 0, 0600},
      {002, FileAccess::kShared, 0, 0664},    {0, FileAccess::kShared, 0, 0666},
      {022, FileAccess::kPrivate, 0, 0600},   {0, FileAccess::kPrivate, 0, 0600},
      {022, FileAccess::kPrivate, 0644, 0600}, {0, FileAccess::kPrivate, 0666, 0600},
      {022, FileAccess::kShared, 0600, 0600}, {077, FileAccess::kShared, 0644, 0600},
      {022, FileAccess::kShared, 0755, 0644}, {002, FileAccess::kShared, 0640, 0640},
  };
  const mode_t saved = ::umask(022);
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    for (const bool ini : {false, true}) {
      const std::string path = root_ + "/f" + std::to_string(n++);
      if (c.old_mode != 0) {
        WriteFileAtomic(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), c.old_mode), 0);
      }
      ::umask(c.umask);
      if (ini) {
        WriteIniString(path, "system", "password", "secret", c.access);
      } else {
        WriteFileAtomic(path, "new", c.access);
      }
      ::umask(022);
      struct stat st {};
      ASSERT_EQ(::stat(path.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, c.expected) << (ini ? "ini" : "file");
    }
  }
  ::umask(saved);
}

TEST_F(FilesTest, ReadErrorsNameThePath) {
  try {
    ReadWholeFile(root_ + "/missing");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(e.path(), root_ + "/missing");
    EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos);
  }
  EXPECT_THROW(ReadWholeFile(root_), FileError);
}

// A pipe would hold the reader until some writer came; a device may never end.
TEST_F(FilesTest, ReadRefusesPipesAndDevices) {
  const std::string fifo = root_ + "/table.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(ReadWholeFile(fifo), FileError);
  EXPECT_THROW(ReadWholeFile("/dev/zero"), FileError);
}

TEST(PathParts, FolderAndName) {
  EXPECT_EQ(FolderPart("a/b/c.txt"), "a/b/");
  EXPECT_EQ(FolderPart("c.txt"), "");
  EXPECT_EQ(NamePart("a/b/c.txt"), "c.txt");
  EXPECT_EQ(WithTrailingSlash("a"), "a/");
  EXPECT_EQ(WithTrailingSlash("a/"), "a/");
  EXPECT_EQ(WithTrailingSlash(""), "");
}

}  // namespace
}  // namespace plat
