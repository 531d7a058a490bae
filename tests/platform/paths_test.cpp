#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_folder.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

// base/root is the content root; base/x, base/b and base/outside lie beside it.
class ResolveUnderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = folder_.path();
    root_ = base_ + "/root";
    fs::create_directories(root_ + "/Sub/Deep");
    fs::create_directories(root_ + "/a");
    fs::create_directories(base_ + "/outside");
    for (const char* name : {"/x", "/b", "/new.txt", "/outside/secret.txt"}) Touch(base_ + name);
    for (const char* name : {"/index.html", "/x.html", "/C:x", "/exact.txt", "/EXACT.txt", "/b.TXT", "/B.txt",
                             "/Sub/Page.HTML", "/Sub/Deep/x.txt"})
      Touch(root_ + name);
    fs::create_symlink(base_ + "/outside/secret.txt", root_ + "/escape");
    fs::create_symlink(base_ + "/outside", root_ + "/escdir");
    fs::create_symlink(base_ + "/outside/none.txt", root_ + "/dangling");
    fs::create_symlink("index.html", root_ + "/inner");
    fs::create_symlink(root_, base_ + "/rootlink");
  }

  testing::TestFolder folder_;
  std::string base_;
  std::string root_;
};

TEST_F(ResolveUnderTest, ConfinesAndFindsNamesForReading) {
  const std::optional<std::string> refused;
  const struct {
    std::string name;
    std::optional<std::string> expected;
  } cases[] = {
      {"../x", refused},
      {"a/../../b", refused},
      {"..\\x", refused},
      {std::string("x\0y", 3), refused},
      {"C:x", refused},
      {"c:\\x.html", refused},
      {"escape", refused},             // link to a file outside
      {"escdir/secret.txt", refused},  // link to a folder outside
      {"dangling", refused},
      {"missing.html", refused},
      {"index.html/x", refused},        // a file used as a folder
      {"//x.html", root_ + "/x.html"},  // leading separators stay below root
      {"\\\\x.html", root_ + "/x.html"},
      {"./Sub//Page.HTML", root_ + "/Sub/Page.HTML"},
      {"INDEX.HTML", root_ + "/index.html"},
      {"sub/deep/X.TXT", root_ + "/Sub/Deep/x.txt"},
      {"SUB\\DEEP\\x.txt", root_ + "/Sub/Deep/x.txt"},
      {"exact.txt", root_ + "/exact.txt"},  // the exact name wins over a folded match
      {"EXACT.txt", root_ + "/EXACT.txt"},
      {"Exact.TXT", root_ + "/EXACT.txt"},  // of several folded matches the first in byte order
      {"b.txt", root_ + "/B.txt"},
      {"inner", root_ + "/index.html"},  // a link that stays inside gives its target
      {"", root_},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveUnder(root_, c.name), c.expected) << "name: " << c.name;
}

TEST_F(ResolveUnderTest, NewLastComponentStillConfined) {
  const std::optional<std::string> refused;
  const struct {
    std::string name;
    std::optional<std::string> expected;
  } cases[] = {
      {"new.txt", root_ + "/new.txt"},
      {"SUB/new.txt", root_ + "/Sub/new.txt"},
      {"INDEX.HTML", root_ + "/index.html"},  // an existing file is found as for reading
      {"nofolder/new.txt", refused},          // only the last component may be new
      {"escdir/new.txt", refused},
      {"dangling", refused},  // creating it would write outside
      {"../new.txt", refused},
      {"C:new.txt", refused},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResolveUnder(root_, c.name, MissingLast::kAllow), c.expected) << "name: " << c.name;
  EXPECT_EQ(ResolveUnder(root_, "new.txt"), std::nullopt);
}

TEST_F(ResolveUnderTest, RootGivenThroughLinkOrMissing) {
  EXPECT_EQ(ResolveUnder(base_ + "/rootlink", "index.html"), root_ + "/index.html");
  EXPECT_EQ(ResolveUnder(base_ + "/rootlink/", "Sub/page.html"), root_ + "/Sub/Page.HTML");
  EXPECT_EQ(ResolveUnder(base_ + "/absent", "index.html"), std::nullopt);
  EXPECT_EQ(ResolveUnder(root_ + "/index.html", ""), std::nullopt);
  EXPECT_EQ(ResolveUnder("", "index.html"), std::nullopt);
}

TEST_F(ResolveUnderTest, FindCaseInsensitiveGivesNamesAsOnDisk) {
  EXPECT_EQ(FindCaseInsensitive(root_, "sub\\deep\\X.TXT"), root_ + "/Sub/Deep/x.txt");
  EXPECT_EQ(FindCaseInsensitive(root_ + "/", "INDEX.html"), root_ + "/index.html");
  EXPECT_EQ(FindCaseInsensitive(root_, "Sub/none"), std::nullopt);
  EXPECT_EQ(FindCaseInsensitive(root_ + "/Sub", "../index.html"), std::nullopt);
  EXPECT_EQ(ToForwardSlashes("a\\b/c\\"), "a/b/c/");
}

}  // namespace
}  // namespace plat
