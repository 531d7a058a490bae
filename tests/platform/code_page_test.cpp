#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

TEST(CodePage, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::u16string wide = AnsiToUtf16(all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(Utf16ToAnsi(wide), all);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
  EXPECT_EQ(Utf8ToUtf16(AnsiToUtf8(all)), wide);
  EXPECT_EQ(Utf16ToUtf8(wide), AnsiToUtf8(all));
}

TEST(CodePage, Windows1252Mapping) {
  EXPECT_EQ(AnsiToUtf16("\x80\x9F\xE9"), u"\u20AC\u0178\u00E9");
  EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");
  // The bytes the code page leaves undefined stand for the C1 controls of the same value.
  EXPECT_EQ(AnsiToUtf16("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(Utf16ToAnsi(u"\u20AC\u2122\u00FF"), "\x80\x99\xFF");
  // Outside the code page: a C1 control that 1252 maps elsewhere, CJK, a pair, a lone surrogate.
  EXPECT_EQ(Utf16ToAnsi(u"\u0080\u4E2D"), "??");
  EXPECT_EQ(Utf16ToAnsi(u"a\U0001F600b"), "a?b");
  EXPECT_EQ(Utf16ToAnsi(std::u16string(1, char16_t{0xDC00})), "?");
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD\xF0\x9F\x98\x80"), "??");
}

TEST(CodePage, Utf8AndUtf16WithSurrogatePairs) {
  EXPECT_EQ(Utf8ToUtf16("a\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"), u"a\U0001F600\U0010FFFF");
  EXPECT_EQ(Utf16ToUtf8(u"a\U0001F600\U0010FFFF"), "a\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
  // A high surrogate without its partner, a low one alone.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, u'x', 0xDE00}), "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(CodePage, InvalidUtf8ReadsAsReplacementPerMaximalSubpart) {
  const struct {
    std::string input;
    std::u16string expected;
  } cases[] = {
      {"\xC3", u"\uFFFD"},                                // cut short at the end
      {"\xE2\x82\x41", u"\uFFFDA"},                       // cut short before an ASCII byte
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong lead byte
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},            // overlong three-byte form
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\x80\xBF", u"\uFFFD\uFFFD"},                      // stray continuation bytes
      {"\xFF\x61", u"\uFFFDa"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.input), c.expected);
  EXPECT_EQ(Utf8ToAnsi("\xC3\x61\xE9"), "?a?");
}

TEST(CodePage, CaseMappingCoversTheCodePageLetters) {
  EXPECT_EQ(AnsiTextUpper("abc\xE9\xFF\x9A\x9C\x9E\xDF\xF7"), "ABC\xC9\x9F\x8A\x8C\x8E\xDF\xF7");
  EXPECT_EQ(AnsiTextLower("ABC\xC9\x9F\x8A\x8C\x8E\xD7"), "abc\xE9\xFF\x9A\x9C\x9E\xD7");
}

}  // namespace

}  // namespace plat
