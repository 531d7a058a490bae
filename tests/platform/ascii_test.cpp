#include "platform/ascii.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

TEST(ParseInt, AcceptsOnlyPlainDecimalNumbers) {
  EXPECT_EQ(ParseInt("0"), 0);
  EXPECT_EQ(ParseInt("-12"), -12);
  EXPECT_EQ(ParseInt("+7"), 7);
  EXPECT_EQ(ParseInt("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt("-2147483648"), INT32_MIN);
  for (const char* bad : {"", "-", "+", " 1", "1 ", "1a", "0x10", "2147483648", "-2147483649", "1.0"})
    EXPECT_EQ(ParseInt(bad), std::nullopt) << bad;
  EXPECT_EQ(ParseInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(ParseInt64("9223372036854775808"), std::nullopt);
  EXPECT_EQ(ParseIntOr("x", 42), 42);
}

TEST(Escaping, XmlAndHtmlEntities) {
  EXPECT_EQ(XmlAttrEscape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c'");
  EXPECT_EQ(HtmlEscape("'<x>'"), "&#39;&lt;x&gt;&#39;");
  // Control characters no XML document may hold become '?'; TAB, LF and CR stay.
  EXPECT_EQ(XmlAttrEscape(std::string("a\0\x01\x1F\t\n\r\x7F", 8)), "a???\t\n\r\x7F");
  EXPECT_EQ(XmlTextEscape("\"R&D\x0B\""), "\"R&amp;D?\"");
  EXPECT_EQ(HtmlEscape("\x01"), "\x01");
}

TEST(AsciiCase, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(AsciiUpperCase("abc\xe9z"), "ABC\xe9Z");
  EXPECT_TRUE(SameText("Index.HTML", "index.html"));
  EXPECT_FALSE(SameText("a", "ab"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
}

}  // namespace
}  // namespace plat
