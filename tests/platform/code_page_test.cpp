#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

TEST(CodePage, EveryByteRoundTripsThroughUtf16AndUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(all)), all);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(CodePage, HighControlsAndUndefinedBytes) {
  EXPECT_EQ(Cp1252ToUnicode(0x80), u'\u20AC');
  EXPECT_EQ(Cp1252ToUnicode(0x9F), u'\u0178');
  EXPECT_EQ(Cp1252ToUnicode(0x81), u'\u0081');
  EXPECT_EQ(Cp1252ToUnicode(0x9D), u'\u009D');
  EXPECT_EQ(Cp1252ToUnicode(0xE9), u'\u00E9');
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC"), "\x80");
}

TEST(CodePage, CharactersOutsideBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToCp1252(u"a\u0410b"), "a?b");
  EXPECT_EQ(Utf16ToCp1252(u"\U0001F600"), "?");   // one pair, one character
  EXPECT_EQ(Utf16ToCp1252(std::u16string(1, u'\xD800')), "?");  // unpaired surrogate
}

TEST(CodePage, MalformedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600\u00E9"), "\xF0\x9F\x98\x80\xC3\xA9");
}

TEST(CodePage, CaseMappingCoversTheCodePageLetters) {
  EXPECT_EQ(Cp1252UpperCase("abc\xE9\xFF\x9A\x9C\x9E\xDF\xF7"), "ABC\xC9\x9F\x8A\x8C\x8E\xDF\xF7");
  EXPECT_EQ(Cp1252LowerCase("ABC\xC9\x9F\x8A\x8C\x8E\xD7"), "abc\xE9\xFF\x9A\x9C\x9E\xD7");
}

}  // namespace
}  // namespace plat
