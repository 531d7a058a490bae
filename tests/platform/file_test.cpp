// Opening files for their data, the one way every data file is opened.
#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_folder.h"

namespace plat {
namespace {

enum class Outcome { kOpens, kNotRegular, kFails };

TEST(FileOpenToRead, OpensRegularFilesOnlyAndNeverWaits) {
  testing::TestFolder folder;
  const std::string root = folder.path();
  std::ofstream(root + "/data.txt") << "data";
  ASSERT_EQ(::mkfifo((root + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("data.txt", (root + "/link").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/zero", (root + "/zero").c_str()), 0);
  ASSERT_EQ(::symlink("fifo", (root + "/fifo-link").c_str()), 0);
  ASSERT_EQ(::mkdir((root + "/sub").c_str(), 0700), 0);
  struct Case {
    std::string name;
    FollowLinks links;
    Outcome outcome;
  };
  const std::vector<Case> cases = {
      {"data.txt", FollowLinks::kNo, Outcome::kOpens},     {"link", FollowLinks::kYes, Outcome::kOpens},
      {"link", FollowLinks::kNo, Outcome::kFails},         {"sub", FollowLinks::kYes, Outcome::kNotRegular},
      {"fifo", FollowLinks::kYes, Outcome::kNotRegular},   {"fifo-link", FollowLinks::kYes, Outcome::kNotRegular},
      {"zero", FollowLinks::kYes, Outcome::kNotRegular},   {"zero", FollowLinks::kNo, Outcome::kFails},
      {"missing", FollowLinks::kYes, Outcome::kFails},
  };
  for (const Case& c : cases) {
    const std::string path = root + "/" + c.name;
    try {
      File file = File::OpenToRead(path, c.links);
      EXPECT_EQ(c.outcome, Outcome::kOpens) << c.name;
      char bytes[8] = {};
      EXPECT_EQ(file.Read(bytes, sizeof bytes), 4) << c.name;
      EXPECT_EQ(std::string(bytes), "data");
    } catch (const NotRegularFileError& e) {
      EXPECT_EQ(c.outcome, Outcome::kNotRegular) << c.name << ": " << e.what();
    } catch (const FileError& e) {
      EXPECT_EQ(c.outcome, Outcome::kFails) << c.name << ": " << e.what();
      EXPECT_EQ(e.path(), path);
    }
  }
}

}  // namespace
}  // namespace plat
