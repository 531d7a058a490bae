#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/test_folder.h"

namespace plat {
namespace {

constexpr const char* kKey = "Software\\Ostrand Consultants\\Corvik";

class SettingsStoreTest : public ::testing::Test {
 protected:
  testing::TestFolder folder_;
  const std::string config_ = folder_.path() + "/config";
  testing::ScopedEnv env_{"XDG_CONFIG_HOME", config_};
};

TEST_F(SettingsStoreTest, KeyPathNamesOneFileBelowTheConfigFolder) {
  const std::string file = config_ + "/Software/Ostrand Consultants/Corvik.ini";
  EXPECT_EQ(SettingsFileOf(kKey), file);
  EXPECT_EQ(SettingsFileOf("\\Software\\\\Ostrand Consultants/Corvik\\"), file);  // absolute stays below
  const std::string refused[] = {"..\\..\\evil", "Software\\..\\..\\evil", ".", "",
                                 "\\",           std::string("a\0b", 3)};
  for (const std::string& bad : refused) {
    EXPECT_EQ(SettingsFileOf(bad), std::nullopt) << bad;
    EXPECT_EQ(ReadSettingString(bad, "x"), std::nullopt);
    EXPECT_THROW(WriteSettingString(bad, "x", "y"), SettingsError) << bad;
  }
  EXPECT_FALSE(PathExists(folder_.path() + "/evil.ini"));
}

TEST_F(SettingsStoreTest, RoundTripWithoutCaseAndReadsCreateNothing) {
  EXPECT_EQ(ReadSettingString(kKey, "SessionDataPath"), std::nullopt);
  EXPECT_FALSE(PathExists(config_));

  WriteSettingString(kKey, "SessionDataPath", "/srv/learner data/");
  WriteSettingString(kKey, "Padded", " x ");
  EXPECT_EQ(ReadSettingString(kKey, "sessiondatapath"), "/srv/learner data/");
  EXPECT_EQ(ReadSettingString(kKey, "Padded"), " x ");
  EXPECT_EQ(ReadSettingString(kKey, "Missing"), std::nullopt);
  EXPECT_EQ(ReadSettingString("Software\\Other", "SessionDataPath"), std::nullopt);
  EXPECT_EQ(ReadWholeFile(*SettingsFileOf(kKey)),
            "[Values]\r\nSessionDataPath=/srv/learner data/\r\nPadded=\" x \"\r\n");
}

TEST_F(SettingsStoreTest, WriteKeepsOtherLinesAndRefusesLineBreaks) {
  const std::string file = *SettingsFileOf(kKey);
  WriteFileAtomic(file, "; kept\n[Other]\nLastQuiz=a\n[Values]\nLastQuiz=/old\n");
  WriteSettingString(kKey, "lastquiz", "/new");
  EXPECT_EQ(ReadWholeFile(file), "; kept\n[Other]\nLastQuiz=a\n[Values]\nlastquiz=/new\n");

  EXPECT_THROW(WriteSettingString(kKey, "LastQuiz", "/x\r\n[Values]\r\nEvil=1"), SettingsError);
  EXPECT_THROW(WriteSettingString(kKey, "Last\nQuiz", "/x"), SettingsError);
  EXPECT_EQ(ReadWholeFile(file), "; kept\n[Other]\nLastQuiz=a\n[Values]\nlastquiz=/new\n");
}

TEST_F(SettingsStoreTest, KeyExistsWithValuesOrKeysBelowIt) {
  EXPECT_FALSE(SettingsKeyExists(kKey));
  EXPECT_FALSE(SettingsKeyExists("..\\Software"));
  WriteSettingString(kKey, "LastQuiz", "/new");
  EXPECT_TRUE(SettingsKeyExists(kKey));
  EXPECT_TRUE(SettingsKeyExists("Software\\Ostrand Consultants"));
  EXPECT_FALSE(SettingsKeyExists("Software\\Ostrand"));
}

TEST(SettingsFolder, FallsBackToHomeConfig) {
  testing::ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  testing::ScopedEnv home("HOME", "/home/someone");
  EXPECT_EQ(SettingsFileOf("A\\B"), "/home/someone/.config/A/B.ini");
  testing::ScopedEnv relative("XDG_CONFIG_HOME", "relative/path");  // ignored, as XDG asks
  EXPECT_EQ(SettingsFileOf("A\\B"), "/home/someone/.config/A/B.ini");
}

}  // namespace
}  // namespace plat
