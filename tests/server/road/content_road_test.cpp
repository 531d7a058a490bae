// What a requested name reaches, through the plain file road on a real socket
// and through the road handlers read by, in folder and packed mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "server/road/data_folder.h"
#include "tests/server/server_test_support.h"

namespace server {
namespace {

using plat::testing::ScopedEnv;

enum class Mode { kFolder, kPacked };

class ContentRoad : public ServerTest {
 protected:
  ContentRoad() : config_home_("XDG_CONFIG_HOME", folder_.path() + "/config") {}

  void OpenFolder() {
    ASSERT_TRUE(server_.SetPath(content_));
    ASSERT_TRUE(server_.Open());
  }

  // Refused on both roads.
  void ExpectRefused(const std::string& name) {
    EXPECT_EQ(Get("/" + name), kInvalidRequestPage) << name;
    EXPECT_EQ(server_.LoadFileToString(name), "") << name;
  }

  ScopedEnv config_home_;
};

class ContentRoadInBothModes : public ContentRoad, public ::testing::WithParamInterface<Mode> {};

TEST_P(ContentRoadInBothModes, ServesTheContentAndNothingElse) {
  const std::map<std::string, std::string> learner_data = {{"admin.sysdata", "[system]\r\npassword=secret\r\n"},
                                                           {"all.users.csv", "ann;pw;;;Ann\r\n"},
                                                           {"x.groups.csv", "1;G\r\n"},
                                                           {"TimeStamp.txt", "5-9-15-3-2006"}};
  PutFile(folder_.path() + "/outside.html", "outside");
  if (GetParam() == Mode::kFolder) {
    PutFile(content_ + "Sub/Page.html", "page");
    for (const auto& [name, bytes] : learner_data) PutFile(content_ + name, bytes);
    PutFile(content_ + "Sessions/ann/answers.xml", "<answers/>");
    std::filesystem::create_symlink(folder_.path() + "/outside.html", content_ + "link.html");
    OpenFolder();
    EXPECT_EQ(server_.GetDataFolder(), content_);
    EXPECT_EQ(Get("/sub/PAGE.html"), FileReply("text/html", "page"));
  } else {
    std::map<std::string, std::string> entries = learner_data;
    entries.emplace("index.html", "<html>start</html>");
    entries.emplace("Page.html", "page");
    entries.emplace("answers.xml", "<answers/>");
    const std::string package = folder_.path() + "/course.vrn";
    PutPackage(package, entries);
    ASSERT_TRUE(server_.SetPath(package));
    ASSERT_TRUE(server_.Open());
    EXPECT_EQ(Get("/page.HTML"), FileReply("text/html", "page"));
  }
  EXPECT_EQ(Get("/INDEX.html"), FileReply("text/html", "<html>start</html>"));
  EXPECT_EQ(server_.LoadFileToString("sub/page.html"), "page");

  for (const std::string& name : std::vector<std::string>{
           "../outside.html", "..\\outside.html", "sub/../../outside.html", "sub\\..\\..\\outside.html",
           folder_.path() + "/outside.html", "link.html", "admin.sysdata", "ADMIN.SYSDATA", "all.users.csv",
           "All.Users.CSV", "x.groups.csv", "timestamp.txt", "Sessions/ann/answers.xml", "sessions\\ann\\answers.xml"})
    ExpectRefused(name);
  EXPECT_EQ(Get("/index.html%00.txt"), kInvalidRequestPage);
  EXPECT_EQ(server_.LoadFileToString(std::string("index.html\0.txt", 15)), "");
}

INSTANTIATE_TEST_SUITE_P(Modes, ContentRoadInBothModes, ::testing::Values(Mode::kFolder, Mode::kPacked),
                         [](const auto& info) { return info.param == Mode::kFolder ? "Folder" : "Packed"; });

TEST_F(ContentRoad, ADataFolderInsideTheContentIsRefusedWhole) {
  const std::string data = content_ + "Learners/";
  PutFile(data + "notes.html", "private");
  PutFile(data + "ann/page.html", "private");
  PutFile(content_ + "learners.html", "public");
  std::filesystem::create_directory_symlink(data, content_ + "alias");
  plat::WriteSettingString(kSessionDataKey, kSessionDataValue, data);
  OpenFolder();
  EXPECT_EQ(server_.GetDataFolder(), data);

  for (const char* name :
       {"Learners/notes.html", "learners/NOTES.html", "learners\\ann\\page.html", "alias/notes.html"})
    ExpectRefused(name);
  EXPECT_EQ(Get("/learners.html"), FileReply("text/html", "public"));
  EXPECT_EQ(Get("/index.html"), FileReply("text/html", "<html>start</html>"));

  // A data folder that is the content folder, or holds it, leaves the
  // content readable; only learner data names are refused then.
  for (const std::string& other : {content_, folder_.path() + "/"}) {
    plat::WriteSettingString(kSessionDataKey, kSessionDataValue, other);
    OpenFolder();
    EXPECT_EQ(server_.GetDataFolder(), other);
    EXPECT_EQ(Get("/learners/notes.html"), FileReply("text/html", "private")) << other;
    EXPECT_EQ(server_.LoadFileToString("learners.html"), "public");
  }
}

}  // namespace
}  // namespace server
