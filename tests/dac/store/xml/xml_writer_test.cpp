#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "dac/store/xml/stream_writer.h"
#include "dac/store/xml/xml_text_writer.h"
#include "platform/files.h"
#include "tests/support/test_folder.h"

namespace dac {
namespace {

std::string Contents(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

// Runs the calls on a fresh writer and returns every byte it wrote.
std::string Written(Formatting formatting, char quote, const std::function<void(XmlTextWriter&)>& calls) {
  TMemoryStream stream;
  StreamWriter out(stream);
  XmlTextWriter xml(out);
  xml.SetFormatting(formatting);
  xml.SetQuoteChar(quote);
  calls(xml);
  xml.Close();
  return Contents(stream);
}

void NestedWithAttribute(XmlTextWriter& w) {
  w.WriteStartElement("a");
  w.WriteStartElement("b");
  w.WriteAttributeString("x", "1");
  w.WriteEndElement();
  w.WriteEndElement();
}

void EmptyElement(XmlTextWriter& w) {
  w.WriteStartElement("a");
  w.WriteStartElement("b");
  w.WriteEndElement();
  w.WriteEndElement();
}

void TwoElementStrings(XmlTextWriter& w) {
  w.WriteStartElement("a");
  w.WriteElementString("b", "1");
  w.WriteElementString("c", "u", "2");
  w.WriteEndElement();
}

void Namespaces(XmlTextWriter& w) {
  w.WriteStartElement("s", "Schema", "uuid:S");
  w.WriteAttributeString("rs", "name", "urn:rs", "v");
  w.WriteAttributeString("", "plain", "urn:d", "w");  // no prefix: the default declaration
  w.WriteEndElement();
  w.WriteStartElement("d", "urn:d");
  w.WriteFullEndElement();
}

void TextContent(XmlTextWriter& w) {
  w.WriteStartElement("a");
  w.WriteString("&#x3c;x");  // written as given, never escaped again
  w.WriteEndElement();
  w.WriteStartElement("b");
  w.WriteString("line\r\n");
  w.WriteFullEndElement();
  w.WriteElementString("c", "top");
}

TEST(XmlTextWriterTest, ByteExactInBothFormattingsAndQuotes) {
  struct Case {
    const char* name;
    void (*calls)(XmlTextWriter&);
    Formatting formatting;
    char quote;
    std::string expected;
  };
  const Case cases[] = {
      {"nested", NestedWithAttribute, Formatting::Indented, '"', "<a>\r\n  <b x=\"1\" />\r\n</a>"},
      {"apostrophe", NestedWithAttribute, Formatting::Indented, '\'', "<a>\r\n  <b x='1' />\r\n</a>"},
      {"flat", NestedWithAttribute, Formatting::None, '"', "<a>\r\n<b x=\"1\" />\r\n</a>"},
      {"empty", EmptyElement, Formatting::Indented, '"', "<a>\r\n  <b>\r\n  </b>\r\n</a>"},
      {"empty flat", EmptyElement, Formatting::None, '"', "<a>\r\n<b>\r\n</b>\r\n</a>"},
      {"strings", TwoElementStrings, Formatting::Indented, '"', "<a>\r\n  <b>1</b>\r\n  <c xmlns=\"u\">2</c>\r\n</a>"},
      {"strings flat", TwoElementStrings, Formatting::None, '\'', "<a>\r\n<b>1</b>\r\n<c xmlns='u'>2</c>\r\n</a>"},
      {"namespaces", Namespaces, Formatting::Indented, '"',
       "<s:Schema xmlns:s=\"uuid:S\" rs:name=\"v\" xmlns:rs=\"urn:rs\" plain=\"w\" xmlns=\"urn:d\" />"
       "<d xmlns=\"urn:d\">\r\n</d>"},
      {"text", TextContent, Formatting::Indented, '"', "<a>&#x3c;x\r\n</a><b>line\r\n</b>\r\n<c>top</c>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Written(c.formatting, c.quote, c.calls), c.expected) << c.name;
}

template <typename F>
std::string MessageOf(F&& call) {
  try {
    call();
  } catch (const XmlException& e) {
    return e.Message();
  }
  return "no error";
}

TEST(XmlTextWriterTest, ErrorsChangeNothing) {
  const std::string written = Written(Formatting::Indented, '"', [](XmlTextWriter& w) {
    EXPECT_EQ(MessageOf([&] { w.WriteEndElement(); }), "There was no XML start tag open.");
    EXPECT_EQ(MessageOf([&] { w.WriteAttributeString("x", "1"); }),
              "Token WriteAttributeString in state Content would result in an invalid XML document.");
    w.WriteStartElement("a");
    EXPECT_EQ(MessageOf([&] { w.WriteStartElement("p", "b", ""); }), "Cannot use a prefix with an empty namespace.");
    EXPECT_EQ(MessageOf([&] { w.WriteAttributeString("p", "x", "", "1"); }),
              "Cannot use a prefix with an empty namespace.");
    w.WriteStartElement("b");
    w.WriteString("t");
    EXPECT_EQ(MessageOf([&] { w.WriteAttributeString("x", "1"); }),
              "Token WriteAttributeString in state Content would result in an invalid XML document.");
    w.WriteEndElement();
    w.WriteFullEndElement();
    EXPECT_EQ(MessageOf([&] { w.WriteFullEndElement(); }), "There was no XML start tag open.");
    EXPECT_EQ(MessageOf([&] { w.WriteEndElement(); }), "There was no XML start tag open.");
  });
  EXPECT_EQ(written, "<a>\r\n  <b>t\r\n  </b>\r\n</a>");
}

TEST(StreamWriterTest, EncodingsAndFiles) {
  TMemoryStream stream;
  StreamWriter plain(stream, &Encoding::Default());
  plain.WriteLine("caf\xE9");
  StreamWriter utf8(stream, &Encoding::UTF8());
  utf8.Write("caf\xE9");
  utf8.Close();  // over a given stream: nothing, it writes on
  utf8.Write("!");
  EXPECT_EQ(Contents(stream), "caf\xE9\r\ncaf\xC3\xA9!");

  plat::testing::TestFolder folder;
  const std::string path = folder.path() + "/out.xml";
  plat::WriteFileAtomic(path, "old");
  {
    StreamWriter unfinished(path, false);
    unfinished.Write("half");
  }  // freed unclosed: the old file stays, no temporary is left
  EXPECT_EQ(plat::ReadWholeFile(path), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
  {
    StreamWriter replacing(path, false);
    replacing.Write("new");
    EXPECT_EQ(plat::ReadWholeFile(path), "old");
    replacing.Close();
    EXPECT_EQ(plat::ReadWholeFile(path), "new");
    EXPECT_THROW(replacing.Write("more"), EWriteError);
  }
  {
    StreamWriter appending(path, true);
    appending.Write("+tail");
  }
  EXPECT_EQ(plat::ReadWholeFile(path), "new+tail");
  {
    StreamWriter fresh(folder.path() + "/fresh.xml", true);  // append to a missing file creates it
    fresh.Close();
  }
  EXPECT_TRUE(plat::FileExists(folder.path() + "/fresh.xml"));
  EXPECT_THROW(StreamWriter(folder.path() + "/missing/x.xml", false), EFCreateError);
}

}  // namespace
}  // namespace dac
