#include "content/search_data.h"

#include <gtest/gtest.h>

#include "content/percent_codec.h"

namespace content {
namespace {

// One item element as the search data file writes it; text is plain and gets
// percent-encoded, a raw body is written as it stands.
std::string Item(int id, const std::string& title, const std::string& text, int type = 0, int index = 1) {
  return "<Content ID=\"" + std::to_string(id) + "\" Title=\"" + title + "\" Type=\"" + std::to_string(type) +
         "\" Index=\"" + std::to_string(index) + "\">" + PercentEncode(text) + "</Content>\r\n";
}

std::string Subject(const std::string& title, int index, const std::string& items) {
  return "<Subject Title=\"" + title + "\" Index=\"" + std::to_string(index) + "\">\r\n" + items + "</Subject>\r\n";
}

std::string SearchXml(const std::string& subjects) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<SearchData>\r\n" + subjects + "</SearchData>\r\n";
}

// A text of length characters with the phrase "KEY" starting at 1-based position at.
std::string TextWithKeyAt(size_t length, size_t at) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 23);
  text.replace(at - 1, 3, "KEY");
  return text;
}

std::vector<std::pair<int, int>> IdsAndLevels(const std::vector<SearchItem>& hits) {
  std::vector<std::pair<int, int>> result;
  for (const SearchItem& hit : hits) result.emplace_back(hit.id, hit.level);
  return result;
}

TEST(SearchData, ThreeLevelsRankedWithDocumentOrderKept) {
  const std::string xml = SearchXml(
      Subject("Safety intro", 1, Item(10, "General", "nothing here") + Item(11, "Intro", "x", 1, 2)) +
      Subject("Other", 2,
              Item(20, "T", "an INTRO text", 0, 7) + Item(21, "Introduction", "zzz") + Item(22, "T", "intro again")));
  const std::vector<SearchItem> hits = TSearchData().Search(xml, "intro");
  EXPECT_EQ(IdsAndLevels(hits), (std::vector<std::pair<int, int>>{{20, 1}, {22, 1}, {11, 2}, {21, 2}, {10, 3}}));
  ASSERT_EQ(hits.size(), 5u);
  EXPECT_EQ(hits[0].title, "Other - T");
  EXPECT_EQ(hits[0].subject_title, "Other");
  EXPECT_EQ(hits[0].subject_index, 2);
  EXPECT_EQ(hits[0].index, 7);
  EXPECT_EQ(hits[0].excerpt, "an INTRO text");
  EXPECT_EQ(hits[2].type, 1);
  EXPECT_EQ(hits[2].index, 2);
  EXPECT_EQ(hits[4].title, "Safety intro - General");

  EXPECT_TRUE(TSearchData().Search(xml, "").empty());
  EXPECT_TRUE(TSearchData().Search(xml, "intro text").size() == 1);  // one phrase, not words
  EXPECT_TRUE(TSearchData().Search(xml, "absent").empty());
}

TEST(SearchData, ExcerptBoundsAtBothEndsOfTheText) {
  struct ExcerptCase {
    std::string_view name;
    std::string text;
    std::string title;
    size_t first, length;  // expected excerpt: text.substr(first, length)
  };
  const ExcerptCase cases[] = {
      {"match at 10 of 1000: characters 1 to 135", TextWithKeyAt(1000, 10), "T", 0, 135},
      {"match in the middle: 125 on each side", TextWithKeyAt(1000, 500), "T", 374, 251},
      {"match near the end: cut at the last character", TextWithKeyAt(1000, 990), "T", 864, 136},
      {"match that ends the text", TextWithKeyAt(300, 298), "T", 172, 128},
      {"short text", TextWithKeyAt(5, 2), "T", 0, 5},
      {"title match: the text's first 125 characters", TextWithKeyAt(1000, 1).substr(3), "Key", 0, 125},
      {"title match on a short text", "short", "Key", 0, 5},
  };
  for (const ExcerptCase& c : cases) {
    const std::vector<SearchItem> hits =
        TSearchData().Search(SearchXml(Subject("S", 1, Item(1, c.title, c.text))), "key");
    ASSERT_EQ(hits.size(), 1u) << c.name;
    EXPECT_EQ(hits[0].excerpt, c.text.substr(c.first, c.length)) << c.name;
  }

  // A title match on an empty text has an empty excerpt.
  const std::string empty_text =
      SearchXml(Subject("S", 1, "<Content ID=\"1\" Title=\"Key\" Type=\"0\" Index=\"1\"><![CDATA[]]></Content>"));
  const std::vector<SearchItem> hits = TSearchData().Search(empty_text, "key");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].level, kSearchLevelItemTitle);
  EXPECT_EQ(hits[0].excerpt, "");
}

TEST(SearchData, ItemWithoutOneTextNodeReadsNoContent) {
  const std::string attrs = " Title=\"T\" Type=\"0\" Index=\"1\"";
  const std::string xml = SearchXml(Subject(
      "S", 1,
      "<Content ID=\"1\"" + attrs + "/>" + "<Content ID=\"2\"" + attrs + ">  \r\n </Content>" + "<Content ID=\"3\"" +
          attrs + ">a<b/>c</Content>" + "<Content ID=\"4\"" + attrs + ">%41<![CDATA[%42]]></Content>" +
          "<Content ID=\"5\"" + attrs + "><![CDATA[%41]]></Content>" + Item(6, "T", "no content here")));
  const std::vector<SearchItem> hits = TSearchData().Search(xml, "NO CONTENT");
  EXPECT_EQ(IdsAndLevels(hits), (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {6, 1}}));
  EXPECT_EQ(hits.at(0).excerpt, "[NO CONTENT]");
  // A single CDATA node is the text.
  EXPECT_EQ(TSearchData().Search(xml, "A").at(0).id, 5);
}

TEST(SearchData, TextsStayTheFilesBytes) {
  const std::string xml =
      SearchXml(Subject("Caf\xC3\xA9 &amp; more", 1, Item(1, "Na\xC3\xAFve", std::string("x\xEF\0y", 4))));
  const std::vector<SearchItem> hits = TSearchData().Search(xml, "x");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].subject_title, "Caf\xC3\xA9 & more");
  EXPECT_EQ(hits[0].title, "Caf\xC3\xA9 & more - Na\xC3\xAFve");
  EXPECT_EQ(hits[0].excerpt, std::string("x\xEF\0y", 4));

  // Only the nesting counts, not the element names.
  const std::string other_names =
      "<R><S Title=\"s\" Index=\"3\"><C ID=\"4\" Title=\"t\" Type=\"1\" Index=\"5\"/></S></R>";
  EXPECT_EQ(IdsAndLevels(TSearchData().Search(other_names, "s")), (std::vector<std::pair<int, int>>{{4, 3}}));
}

TEST(SearchData, BadDataRaisesOneTypedError) {
  const std::string ok = "Title=\"T\" Type=\"0\" Index=\"1\"";
  const std::string bad_items[] = {
      "<Content Title=\"T\" Type=\"0\" Index=\"1\">%41</Content>",             // no ID
      "<Content ID=\"x\" " + ok + ">%41</Content>",                            // ID not a number
      "<Content ID=\"1\" Title=\"T\" Type=\"0\" Index=\"1.5\">%41</Content>",  // Index not an integer
      "<Content ID=\"1\" Title=\"T\" Type=\"\" Index=\"1\">%41</Content>",     // empty Type
      "<Content ID=\"99999999999\" " + ok + ">%41</Content>",                  // out of range
      "<Content ID=\" 1\" " + ok + ">%41</Content>",                           // blank
  };
  for (const std::string& item : bad_items) {
    const std::string xml = SearchXml(Subject("S", 1, item));
    EXPECT_THROW(TSearchData().Search(xml, "A"), SearchDataError) << item;
    // The same item is not read at all when it does not match.
    EXPECT_NO_THROW(EXPECT_TRUE(TSearchData().Search(xml, "zz").empty())) << item;
  }
  const std::string no_subject_index = SearchXml("<Subject Title=\"S\">" + Item(1, "T", "A") + "</Subject>");
  EXPECT_THROW(TSearchData().Search(no_subject_index, "A"), SearchDataError);
  EXPECT_THROW(TSearchData().GetItemById(no_subject_index, 1), SearchDataError);

  for (const std::string& malformed : {std::string(), std::string("not xml"), std::string("<SearchData>"),
                                       SearchXml(Subject("S", 1, Item(1, "T", "A"))) + "<Extra/>"}) {
    EXPECT_THROW(TSearchData().Search(malformed, "A"), SearchDataError) << malformed;
    EXPECT_THROW(TSearchData().GetItemById(malformed, 1), SearchDataError) << malformed;
  }
}

TEST(SearchData, GetItemByIdTakesTheLastWithThatNumber) {
  const std::string xml = SearchXml(
      Subject("First", 1, Item(7, "Old", "old text", 0, 1) + "<Content ID=\"junk\" Title=\"J\"/>") +
      Subject("Second", 2,
              Item(8, "Other", "x") + "<Content ID=\"007\" Title=\"New\" Type=\"1\" Index=\"4\">%41</Content>"));
  const std::optional<SearchItem> item = TSearchData().GetItemById(xml, 7);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->id, 7);
  EXPECT_EQ(item->title, "New");
  EXPECT_EQ(item->subject_title, "Second");
  EXPECT_EQ(item->subject_index, 2);
  EXPECT_EQ(item->index, 4);
  EXPECT_EQ(item->type, 1);
  EXPECT_EQ(item->level, kSearchLevelNone);
  EXPECT_EQ(item->excerpt, "");

  EXPECT_FALSE(TSearchData().GetItemById(xml, 9));
  EXPECT_FALSE(TSearchData().GetItemById(SearchXml(""), 7));
  // Only the item found has to carry sound numbers.
  const std::string bad_found = SearchXml(Subject("S", 1, "<Content ID=\"3\" Title=\"T\" Type=\"x\" Index=\"1\"/>"));
  EXPECT_THROW(TSearchData().GetItemById(bad_found, 3), SearchDataError);
  EXPECT_FALSE(TSearchData().GetItemById(bad_found, 4));
}

}  // namespace
}  // namespace content
