#include <gtest/gtest.h>

#include "content/percent_codec.h"
#include "content/request_map.h"
#include "content/text_lists.h"

namespace content {
namespace {

TEST(PercentCodec, EveryByteRoundTrips) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  const std::string encoded = PercentEncode(all);
  EXPECT_EQ(encoded.size(), 3 * all.size());
  EXPECT_EQ(PercentDecode(encoded), all);
  EXPECT_EQ(PercentEncode("abc"), "%61%62%63");
  EXPECT_EQ(PercentEncode(""), "");
  EXPECT_EQ(PercentEncode("\xff "), "%FF%20");
}

TEST(PercentCodec, DecodingKeepsShortOrOddEscapes) {
  EXPECT_EQ(PercentDecode("100%"), "100%");
  EXPECT_EQ(PercentDecode("%4"), "%4");
  EXPECT_EQ(PercentDecode("%"), "%");
  EXPECT_EQ(PercentDecode("%41%42"), "AB");
  EXPECT_EQ(PercentDecode("a+b"), "a+b");
  EXPECT_EQ(PercentDecode("%4a"), "J");
  EXPECT_EQ(PercentDecode("%%41"), std::string(1, '\x04') + "1");
  EXPECT_EQ(PercentDecode("%G1"), std::string(1, '\x01'));
  EXPECT_EQ(PercentDecode("x%zz"), std::string("x\0", 2));
  EXPECT_EQ(PercentDecode("x%z"), "x%z");
}

TEST(SplitString, EmptyTokensAndTrailingSeparators) {
  auto split = [](std::string_view text, std::string_view delims) { return SplitToList(text, delims).list(); };
  EXPECT_EQ(split("a;;b", ";"), (TStringList{"a", "", "b"}));
  EXPECT_EQ(split(";a", ";"), (TStringList{"", "a"}));
  EXPECT_EQ(split("a;b;", ";"), (TStringList{"a", "b"}));
  EXPECT_EQ(split(";", ";"), (TStringList{""}));
  EXPECT_TRUE(split("", ";").empty());
  EXPECT_EQ(split("x=1&y=", "&="), (TStringList{"x", "1", "y"}));
}

TEST(RequestMap, NamesMatchWithoutCaseAndFirstWins) {
  const TRequestMap from_query(SplitToList("x=1&y=", "&=").list());
  EXPECT_EQ(from_query.GetValue("y"), "");
  EXPECT_EQ(from_query.GetValue("X"), "1");
  EXPECT_EQ(from_query.GetValue("absent"), "");

  TRequestMap map(TStringList{"name", "Bob", "NAME", "Al"});
  EXPECT_EQ(map.GetValue("name"), "Bob");
  EXPECT_EQ(map.GetValue("NAME"), "Bob");
  EXPECT_EQ(map.names(), (TStringList{"NAME", "NAME"}));
  map.SetValue("Name", "Cy");
  EXPECT_EQ(map.values(), (TStringList{"Cy", "Al"}));
  map.SetValue("new", "v");
  EXPECT_EQ(map.names().back(), "NEW");
  EXPECT_EQ(map.GetValue("New"), "v");
}

TEST(FindTextFrom, CaseInsensitiveFromAPosition) {
  EXPECT_EQ(FindTextFrom("Hello World", "WORLD", 1), 7);
  EXPECT_EQ(FindTextFrom("Hello World", "WORLD", 8), 0);
  EXPECT_EQ(FindTextFrom("Hello World", "o", 0), 5);
  EXPECT_EQ(FindTextFrom("Hello World", "o", 6), 8);
  EXPECT_EQ(FindTextFrom("", "a", 1), 0);
  EXPECT_EQ(FindTextFrom("abc", "", 1), 0);
  EXPECT_EQ(FindTextFrom("abc", "c", 4), 0);
}

}  // namespace
}  // namespace content
