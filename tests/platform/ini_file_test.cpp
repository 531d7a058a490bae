#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/test_folder.h"

namespace plat {
namespace {

TEST(IniFileRead, FollowsTheProfileRules) {
  const IniFile ini = IniFile::FromBytes(
      "\xEF\xBB\xBF"
      "orphan=before any section\r\n"
      "[General]\r\n"
      "; Title=commented out\n"
      "  Title  =  \"  My Quiz \"  \r"
      "Url=a=b;c\r\n"
      "title=second\n"
      "Single='x'\n"
      "Odd=\"x'\n"
      "Empty=\n"
      "no equals sign\n"
      "[ subject1 ]\n"
      "MaxQuestions=10\n"
      "[GENERAL]\n"
      "Other=later section of the same name\n"
      "Last=unterminated");
  EXPECT_EQ(ini.Find("general", "TITLE"), "  My Quiz ");  // trimmed, one pair of quotes stripped
  EXPECT_EQ(ini.Find("General", "Url"), "a=b;c");         // after the first '='; ';' inside a value stays
  EXPECT_EQ(ini.Find("General", "Single"), "x");
  EXPECT_EQ(ini.Find("General", "Odd"), "\"x'");
  EXPECT_EQ(ini.Find("General", "Empty"), "");
  EXPECT_EQ(ini.Find("General", "orphan"), std::nullopt);
  EXPECT_EQ(ini.Find("General", "Other"), std::nullopt);  // only the first section of a name counts
  EXPECT_EQ(ini.Find("Subject1", "maxquestions"), "10");
  EXPECT_EQ(ini.Find("Missing", "x"), std::nullopt);
  EXPECT_EQ(ini.ReadString("Subject1", "Missing", "fallback"), "fallback");
  EXPECT_EQ(ini.ReadString("Subject1", "MaxQuestions", "fallback"), "10");
  EXPECT_EQ(ini.ReadInteger("Subject1", "MaxQuestions", 20), 10);
  EXPECT_EQ(ini.ReadInteger("Subject1", "Missing", 20), 20);
  EXPECT_EQ(ini.ReadInteger("General", "Title", 20), 20);  // not an integer: the default

  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Title", "  My Quiz "}, {"Url", "a=b;c"}, {"title", "second"},
      {"Single", "x"},         {"Odd", "\"x'"},  {"Empty", ""}};
  EXPECT_EQ(ini.ReadSection("general"), expected);
}

TEST(IniFileRead, IntegersAreStrict) {
  const IniFile ini = IniFile::FromBytes(
      "[S]\nPlain=12\nSigned=-7\nQuoted=\"5\"\nTail=3x\nInner=1 2\nHuge=99999999999\nHex=$10\nBare=\n");
  const std::pair<const char*, int32_t> cases[] = {{"Plain", 12}, {"Signed", -7}, {"Quoted", 5}, {"Tail", 99},
                                                   {"Inner", 99}, {"Huge", 99},   {"Hex", 99},   {"Bare", 99}};
  for (const auto& [key, expected] : cases) EXPECT_EQ(ini.ReadInteger("s", key, 99), expected) << key;
}

TEST(IniFileWrite, KeepsEveryOtherLineByteForByte) {
  IniFile ini = IniFile::FromBytes(
      "\xEF\xBB\xBF; header comment\n"
      "[A]\n"
      "x=1\n"
      "X=2\n"
      "\n"
      "[B]\r"
      "y=3");
  EXPECT_EQ(ini.Find("A", "x"), "1");
  ini.SetString("a", "x", "new");         // replaces the first occurrence only
  EXPECT_EQ(ini.Find("A", "x"), "new");   // a look-up after a change sees it
  ini.SetString("A", "z", "added");       // after the section's last key, before the blank line
  ini.SetString("B", "w", "  padded ");   // after an unterminated last line; quoted to read back
  ini.SetString("C", "v", "\"quoted\"");  // a new section at the end
  EXPECT_EQ(ini.ToBytes(),
            "\xEF\xBB\xBF; header comment\n"
            "[A]\n"
            "x=new\n"
            "X=2\n"
            "z=added\r\n"
            "\n"
            "[B]\r"
            "y=3\r\n"
            "w=\"  padded \"\r\n"
            "[C]\r\n"
            "v=\"\"quoted\"\"\r\n");
  const IniFile reread = IniFile::FromBytes(ini.ToBytes());
  EXPECT_EQ(reread.Find("B", "w"), "  padded ");
  EXPECT_EQ(reread.Find("C", "v"), "\"quoted\"");
  EXPECT_EQ(reread.Find("A", "X"), "new");
}

TEST(IniFileWrite, RefusesTextThatWouldAddLinesOrKeys) {
  const std::string nul("a\0b", 3);
  const struct {
    std::string section, key, value;
  } refused[] = {
      {"S", "k", "v\r\n[Admin]\r\nPassword=x"},
      {"S", "k", "v\rw"},
      {"S", "k", nul},
      {"S\n", "k", "v"},
      {"S", "k\nx", "v"},
      {"S", nul, "v"},
      {"S]x", "k", "v"},
      {"S", "[Other]", "v"},
      {"S", ";k", "v"},
      {"S", "a=b", "v"},
      {"S", "  ", "v"},
  };
  testing::TestFolder folder;
  const std::string path = folder.path() + "/admin.sysdata";
  WriteFileAtomic(path, "[S]\r\nk=old\r\n");
  for (const auto& r : refused) {
    EXPECT_THROW(WriteIniString(path, r.section, r.key, r.value), IniError) << r.section << "/" << r.key;
  }
  EXPECT_EQ(ReadWholeFile(path), "[S]\r\nk=old\r\n");
}

TEST(IniFileWrite, FileRoundTripCreatesMissingFileAndFolder) {
  testing::TestFolder folder;
  const std::string path = folder.path() + "/sub/project.ini";
  EXPECT_EQ(IniFile::Load(path).Find("S", "k"), std::nullopt);
  EXPECT_FALSE(PathExists(folder.path() + "/sub"));  // reading creates nothing

  WriteIniString(path, "Subject1", "Title", "First");
  WriteIniString(path, "Subject1", "MaxQuestions", "5");
  WriteIniString(path, "subject1", "title", "Second");
  EXPECT_EQ(ReadWholeFile(path), "[Subject1]\r\ntitle=Second\r\nMaxQuestions=5\r\n");
  EXPECT_EQ(IniFile::Load(path).Find("SUBJECT1", "Title"), "Second");
  EXPECT_THROW(IniFile::Load(folder.path()), FileError);
}

}  // namespace
}  // namespace plat
