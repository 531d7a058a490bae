#include "content/html_text.h"

#include <gtest/gtest.h>

#include "content/percent_codec.h"
#include "content/replace_text.h"

namespace content {
namespace {

struct HtmlCase {
  std::string (*convert)(std::string_view);
  std::string_view name;
  std::string input;
  std::string expected;
};

std::string PreparedAsPlain(std::string_view html) { return PercentDecode(PrepareHtmlText(html)); }

TEST(HtmlToText, TagsEntitiesAndLineEnds) {
  const HtmlCase cases[] = {
      {HtmlToText, "known tags leave no blank", "Hello<BR>World", "HelloWorld"},
      {HtmlToText, "attributes and closing tags", "<p class=\"x\">One</P>", "One"},
      {HtmlToText, "a line end inside a tag is a blank", "<b\r\nclass=x>bold</b>", "bold"},
      {HtmlToText, "script element dropped whole", "a<script>x<y</script>b", "ab"},
      {HtmlToText, "dropped element without its end", "a<SCRIPT src=x>never closed", "a"},
      {HtmlToText, "closing tag without its '>'", "a<style>x</style", "a"},
      {HtmlToText, "dropped up to its first end", "<object><embed></embed>x</object>after", "after"},
      {HtmlToText, "a lone closing tag of a dropped element", "</script>after", "after"},
      {HtmlToText, "comment and doctype", "<!-- note -->x<!DOCTYPE html><html>t</html>", "xt"},
      {HtmlToText, "office namespace tag", "<?xml:namespace prefix=o>t", "t"},
      {HtmlToText, "blank-led tag name is not known", "1 < 2 > 0", "1 < 2 > 0"},
      {HtmlToText, "empty tag stays", "<>", "<>"},
      {HtmlToText, "no '>' after the '<'", "x<b", " x<b"},
      {HtmlToText, "a lone '<'", "<", " <"},
      {HtmlToText, "'<' before a known tag", "<i>a</i><<b>b</b>", "a<b"},
      {HtmlToText, "one '>' after several '<'", "x<y<b>z", "x<yz"},
      {HtmlToText, "a name longer than any known one", "<" + std::string(5000, 'b') + "<b>t",
       "<" + std::string(5000, 'b') + "t"},
      {HtmlToText, "LEGEND is not in the list", "<legend>L</legend>", "<legend>L</legend>"},
      {HtmlToText, "only three entities, decoded once", "&AMP;lt;", "&lt;"},
      {HtmlToText, "entities and line ends", "line\r\nend&nbsp;&quot;q&QUOT;&lt;", "line  end \"q\"&lt;"},
      {HtmlToText, "empty", "", ""},
      {PreparedAsPlain, "paragraph ends become breaks", "<p>One</p><p>Two</p>", "One<BR>Two<BR>"},
      {PreparedAsPlain, "breaks and division ends", "a<br>b<DIV>c</div>", "a<BR>bc<BR>"},
      {PreparedAsPlain, "a break inside a script goes with it", "<script><br></script>x", "x"},
      {PreparedAsPlain, "other markup goes", "<font size=2>t</font><hr>", "t"},
      {PreparedAsPlain, "'br/' is no known tag name", "t<br/>", "t<br/>"},
  };
  for (const HtmlCase& c : cases) EXPECT_EQ(c.convert(c.input), c.expected) << c.name << ": " << c.input;
}

TEST(PrepareHtmlText, ResultIsPercentEncoded) {
  EXPECT_EQ(PrepareHtmlText("<p>One</p><p>Two</p>"), PercentEncode("One<BR>Two<BR>"));
  EXPECT_EQ(PrepareHtmlText(""), "");
}

TEST(ReplaceTextNoCase, EveryOccurrenceOnce) {
  EXPECT_EQ(ReplaceTextNoCase("aXbxc", "x", "--"), "a--b--c");
  EXPECT_EQ(ReplaceTextNoCase("aaa", "AA", "b"), "ba");  // matches never overlap
  EXPECT_EQ(ReplaceTextNoCase("a", "a", "aa"), "aa");    // replacement not rescanned
  EXPECT_EQ(ReplaceTextNoCase("{{Name}}!", "{{NAME}}", ""), "!");
  EXPECT_EQ(ReplaceTextNoCase("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceTextNoCase("ab", "abc", "x"), "ab");
  EXPECT_EQ(FindNoCase("abc", "C", 3), std::string_view::npos);
  EXPECT_EQ(FindNoCase("abc", "C", 2), 2u);
  EXPECT_EQ(FindNoCase("abc", "a", 9), std::string_view::npos);
}

}  // namespace
}  // namespace content
