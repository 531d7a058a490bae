#include "platform/special_folders.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/test_folder.h"

namespace plat {
namespace {

TEST(AppDataFolder, XdgDataHomeCreatedOnlyOnRequest) {
  testing::TestFolder folder;
  const std::string data = folder.path() + "/data/home";
  testing::ScopedEnv env("XDG_DATA_HOME", data);
  EXPECT_EQ(AppDataFolder(false), data + "/");
  EXPECT_FALSE(PathExists(data));
  EXPECT_EQ(AppDataFolder(true), data + "/");
  EXPECT_TRUE(FolderExists(data));
}

TEST(AppDataFolder, FallsBackToHomeAndReportsFailure) {
  testing::TestFolder folder;
  testing::ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  testing::ScopedEnv home("HOME", folder.path());
  EXPECT_EQ(AppDataFolder(true), folder.path() + "/.local/share/");
  EXPECT_TRUE(FolderExists(folder.path() + "/.local/share"));

  WriteFileAtomic(folder.path() + "/file", "x");
  testing::ScopedEnv blocked("XDG_DATA_HOME", folder.path() + "/file/sub");
  EXPECT_EQ(AppDataFolder(true), std::nullopt);
  testing::ScopedEnv no_home("HOME", std::nullopt);
  testing::ScopedEnv no_xdg("XDG_DATA_HOME", std::nullopt);
  EXPECT_EQ(AppDataFolder(false), std::nullopt);
}

}  // namespace
}  // namespace plat
