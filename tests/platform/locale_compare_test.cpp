#include "platform/locale_compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/code_page.h"

namespace plat {
namespace {

// Sorting and locating rely on this order; pin it.
TEST(LocaleCompare, OrderIsPinned) {
  EXPECT_LT(LocaleCompareAnsi("a", "A", false), 0);   // lower before upper
  EXPECT_LT(LocaleCompareAnsi("A", "b", false), 0);   // then the letter decides
  EXPECT_LT(LocaleCompareAnsi("-", "1", false), 0);   // punctuation before digits
  EXPECT_LT(LocaleCompareAnsi("9", "a", false), 0);   // digits before letters
  EXPECT_LT(LocaleCompareAnsi("a-b", "ab", false), 0);  // punctuation is not ignored
  EXPECT_LT(LocaleCompareAnsi("e", "\xE9", false), 0);  // accent after the plain letter
  EXPECT_LT(LocaleCompareAnsi("\xE9", "f", false), 0);
  EXPECT_EQ(LocaleCompareAnsi("abc", "abc", false), 0);
}

TEST(LocaleCompare, IgnoringCaseKeepsAccents) {
  EXPECT_EQ(LocaleCompareAnsi("ABC", "abc", true), 0);
  EXPECT_EQ(LocaleCompareAnsi("\xC9t\xC9", "\xE9t\xE9", true), 0);
  EXPECT_NE(LocaleCompareAnsi("ete", "\xE9t\xE9", true), 0);
  EXPECT_EQ(LocaleCompareWide(u"Stra\u00DFe", u"STRA\u00DFE", true), 0);
}

TEST(LocaleCompare, EightBitAndWideOrderAlike) {
  std::vector<std::string> words = {"b", "B", "a", "A", "1", "_", " ", "\xE9", "z", "Z9", "a b", "ab", "\x80"};
  for (const auto& x : words) {
    for (const auto& y : words) {
      for (bool ic : {false, true}) {
        EXPECT_EQ(LocaleCompareAnsi(x, y, ic), LocaleCompareWide(AnsiToUtf16(x), AnsiToUtf16(y), ic))
            << x << " / " << y;
      }
    }
  }
}

TEST(LocaleCompare, WideCaseMapping) {
  EXPECT_EQ(WideUpperCase(u"abc\u00E9\u0430\U00010428"), u"ABC\u00C9\u0410\U00010400");
  EXPECT_EQ(WideLowerCase(u"ABC\u00C9\u0410"), u"abc\u00E9\u0430");
  EXPECT_EQ(WideUpperCase(u"\u00DF"), u"\u00DF");  // simple mapping: no expansion
}

}  // namespace
}  // namespace plat
