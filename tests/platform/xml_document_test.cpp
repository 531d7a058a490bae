#include "platform/xml_document.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

std::vector<std::string> NamesOf(const std::vector<XmlElement>& elements) {
  std::vector<std::string> names;
  for (const XmlElement& element : elements) names.push_back(element.Name());
  return names;
}

TEST(XmlDocument, ElementsAttributesAndText) {
  const XmlDocument doc = XmlDocument::Parse(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<SearchData>\r\n"
      "  <Subject Title=\"One &amp; Two\">\r\n"
      "    <Content ID=\"7\">%41 &lt;b&gt;</Content>\r\n"
      "    <Content ID=\"8\"><![CDATA[<raw> & text]]></Content>\r\n"
      "    <Content ID=\"9\"/>\r\n"
      "    <Content ID=\"10\">a<b/>c</Content>\r\n"
      "    <Content ID=\"11\"><![CDATA[x]]>y</Content>\r\n"
      "  </Subject>\r\n"
      "  text between\r\n"
      "  <Other/>\r\n"
      "</SearchData>");
  const XmlElement root = doc.DocumentElement();
  EXPECT_EQ(root.Name(), "SearchData");
  EXPECT_EQ(NamesOf(root.Children()), (std::vector<std::string>{"Subject", "Other"}));

  const std::optional<XmlElement> subject = root.Child("Subject");
  ASSERT_TRUE(subject);
  EXPECT_EQ(subject->Attribute("Title"), "One & Two");
  EXPECT_EQ(subject->Attribute("title"), std::nullopt);  // XML names keep their case
  EXPECT_EQ(root.Child("Missing").has_value(), false);
  EXPECT_EQ(root.SingleTextValue(), std::nullopt);

  const std::vector<XmlElement> items = subject->Children();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].Attribute("ID"), "7");
  EXPECT_EQ(items[0].SingleTextValue(), "%41 <b>");
  EXPECT_EQ(items[1].SingleTextValue(), "<raw> & text");  // CDATA
  EXPECT_EQ(items[2].SingleTextValue(), std::nullopt);    // empty
  EXPECT_EQ(items[3].SingleTextValue(), std::nullopt);    // text around an element
  EXPECT_EQ(items[4].SingleTextValue(), std::nullopt);    // two text parts
}

TEST(XmlDocument, MalformedInputThrowsWithOffset) {
  const std::string inputs[] = {
      "", "no markup", "<a><b></a>", "<a>", "<a x=1/>", "<a/><b/>", std::string("<a>\0</a>", 8)};
  for (const std::string& input : inputs) {
    EXPECT_THROW(XmlDocument::Parse(input), XmlError) << input;
  }
  try {
    XmlDocument::Parse("<root><item></root>");
    FAIL();
  } catch (const XmlError& e) {
    EXPECT_EQ(e.offset(), 14u);
    EXPECT_NE(std::string(e.what()).find("offset 14"), std::string::npos) << e.what();
  }
  try {
    XmlDocument::Parse("<a/>\n<b/>");
    FAIL();
  } catch (const XmlError& e) {
    EXPECT_EQ(e.offset(), 5u);
  }
}

TEST(XmlDocument, EncodingsAsTheParserHandlesThem) {
  const auto text_of = [](std::string_view bytes) {
    return XmlDocument::Parse(bytes).DocumentElement().SingleTextValue();
  };
  // Any 8-bit declaration but latin1 leaves the stored bytes as they are.
  EXPECT_EQ(text_of("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\xE9\x80</a>"), "\xE9\x80");
  EXPECT_EQ(text_of("<?xml version=\"1.0\" encoding=\"utf-8\"?><a>caf\xE9</a>"), "caf\xE9");
  // latin1 is converted to UTF-8, as are character references.
  EXPECT_EQ(text_of("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>"), "\xC3\xA9");
  EXPECT_EQ(text_of("<a>&#233;</a>"), "\xC3\xA9");
  // UTF-16 with a byte-order mark arrives as UTF-8.
  EXPECT_EQ(text_of(std::string_view("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18)), "\xC3\xA9");
}

TEST(XmlDocument, ElementsOutliveAMoveOfTheDocument) {
  XmlDocument doc = XmlDocument::Parse("<a><b k=\"v\"/></a>");
  const XmlElement b = doc.DocumentElement().Children().at(0);
  XmlDocument moved = std::move(doc);
  EXPECT_EQ(b.Attribute("k"), "v");
  EXPECT_EQ(moved.DocumentElement().Name(), "a");
}

}  // namespace
}  // namespace plat
