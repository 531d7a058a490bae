#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "dac/store/stream_writer.h"
#include "dac/store/xml_text_reader.h"
#include "dac/store/xml_text_writer.h"

namespace dac {
namespace {

// A memory stream that counts its reads and may end before the size it reports.
class BlockStream : public TStream {
 public:
  explicit BlockStream(std::string data, int64_t reported = -1)
      : data_(std::move(data)), reported_(reported < 0 ? static_cast<int64_t>(data_.size()) : reported) {}
  int64_t Read(void* buffer, int64_t count) override {
    ++reads;
    const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(data_.size()) - position_);
    std::copy_n(data_.data() + position_, n, static_cast<char*>(buffer));
    position_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    position_ = origin == SeekOrigin::Beginning ? offset : origin == SeekOrigin::Current ? position_ + offset : reported_;
    return position_;
  }
  void SetSize(int64_t) override {}
  int reads = 0;

 private:
  std::string data_;
  int64_t reported_;
  int64_t position_ = 0;
};

std::string ErrorOf(XmlTextReader& reader) {
  try {
    while (reader.Read()) {
    }
  } catch (const XmlException& e) {
    EXPECT_EQ(reader.GetReadState(), XmlReadState::Error);
    EXPECT_FALSE(reader.Read());  // a failed reader stays failed
    return e.Message();
  }
  return "";
}

TEST(XmlTextReaderTest, DeclarationCommentElementAndAttributes) {
  XmlTextReader reader(
      "<?xml version=\"1.0\"?>\r\n<!-- note -->\r\n"
      "<row a='&#x3c;b&#x3e;' rs:name=\"q&#x22;&#x27;\" lone amp='&#x26;#x3c;' >\r\n</row>");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetNodeType(), XmlNodeType::Declaration);
  EXPECT_EQ(reader.GetName(), "xml");
  EXPECT_EQ(reader.GetValue(), "version=\"1.0\"");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetNodeType(), XmlNodeType::Comment);
  EXPECT_EQ(reader.GetValue(), "note");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetNodeType(), XmlNodeType::Element);
  EXPECT_EQ(reader.GetName(), "row");
  ASSERT_EQ(reader.GetAttributeCount(), 3);
  EXPECT_EQ(reader.Items(0), "<b>");
  EXPECT_EQ(reader.Items("rs:name"), "q\"'");
  EXPECT_EQ(reader.Items("amp"), "&#x3c;");  // the ampersand is decoded last
  EXPECT_EQ(reader.Items("lone"), "");
  EXPECT_THROW(reader.Items(3), ArgumentException);
  EXPECT_THROW(reader.MoveToAttribute(-1), ArgumentException);
  reader.MoveToAttribute(1);
  EXPECT_EQ(reader.GetName(), "rs:name");
  EXPECT_EQ(reader.GetPrefix(), "rs");
  reader.MoveToAttribute("missing");
  EXPECT_EQ(reader.GetName(), "rs:name");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetNodeType(), XmlNodeType::EndElement);
  EXPECT_EQ(reader.GetName(), "row");
  EXPECT_FALSE(reader.Read());
  EXPECT_TRUE(reader.GetEof());
}

TEST(XmlTextReaderTest, ReadsBackWhatTheWriterWrote) {
  TMemoryStream stream;
  StreamWriter out(stream);
  XmlTextWriter xml(out);
  xml.SetFormatting(Formatting::Indented);
  xml.SetQuoteChar('\'');
  xml.WriteStartElement("xml");
  xml.WriteAttributeString("xmlns:rs", "urn:schemas-microsoft-com:rowset");
  xml.WriteStartElement("rs:data");
  xml.WriteStartElement("z:row");
  xml.WriteAttributeString("c1", "a &#x26; b &#x3c;c&#x3e; &#x27;d&#x27;");
  xml.WriteAttributeString("dt", "z", "urn:dt", "2004-03-05T07:08:09");
  xml.WriteEndElement();
  xml.WriteElementString("note", "5 apples");
  xml.WriteFullEndElement();
  xml.WriteFullEndElement();
  xml.Close();

  XmlTextReader reader(stream);
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetName(), "xml");
  EXPECT_EQ(reader.Items("xmlns:rs"), "urn:schemas-microsoft-com:rowset");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetName(), "rs:data");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetName(), "z:row");
  ASSERT_EQ(reader.GetAttributeCount(), 3);
  EXPECT_EQ(reader.Items(0), "a & b <c> 'd'");
  reader.MoveToAttribute(1);
  EXPECT_EQ(reader.GetName(), "dt:z");
  EXPECT_EQ(reader.GetPrefix(), "dt");
  EXPECT_EQ(reader.GetValue(), "2004-03-05T07:08:09");
  EXPECT_EQ(reader.Items("xmlns:dt"), "urn:dt");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetName(), "note");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetNodeType(), XmlNodeType::Text);  // takes "</note>" along
  EXPECT_EQ(reader.GetValue(), "5 apples");
  for (const char* end : {"rs:data", "xml"}) {
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(reader.GetNodeType(), XmlNodeType::EndElement);
    EXPECT_EQ(reader.GetName(), end);
  }
  EXPECT_FALSE(reader.Read());
}

TEST(XmlTextReaderTest, BlocksAndTheEndOfTheInput) {
  // A 10,000-byte stream in three blocks, with a tag across the first boundary.
  std::string doc = "<big>" + std::string(4080, ' ') + "<cross name='across the boundary'/>";
  doc += std::string(10000 - doc.size() - 6, ' ') + "</big>";
  BlockStream stream(doc);
  XmlTextReader reader(stream);
  ASSERT_TRUE(reader.Read());
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetName(), "cross");
  EXPECT_EQ(reader.Items("name"), "across the boundary");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.GetName(), "big");
  EXPECT_FALSE(reader.Read());
  EXPECT_EQ(stream.reads, 3);

  XmlTextReader no_tag("just text, no tag");
  EXPECT_FALSE(no_tag.Read());
  BlockStream short_stream("   <a>  ", 100);  // ends before the size it reports
  XmlTextReader cut(short_stream);
  EXPECT_TRUE(cut.Read());
  EXPECT_EQ(ErrorOf(cut), "Root element missing");
  // A text after an empty element is no text of it: no end tag is searched for.
  XmlTextReader empty_then_text("<a><b x='1' />tail</a>");
  ASSERT_TRUE(empty_then_text.Read());
  ASSERT_TRUE(empty_then_text.Read());
  ASSERT_TRUE(empty_then_text.Read());
  EXPECT_EQ(empty_then_text.GetNodeType(), XmlNodeType::Text);
  ASSERT_TRUE(empty_then_text.Read());
  EXPECT_EQ(empty_then_text.GetNodeType(), XmlNodeType::EndElement);
}

TEST(XmlTextReaderTest, BrokenInputGivesItsError) {
  const std::pair<std::string, std::string> cases[] = {
      {"<!-- open", "Invalid comment tag"},
      {"<?xml version", "Invalid declaration tag"},
      {"<!DOCTYPE x>", "Invalid Document type tag"},
      {"<!DOCTYPE x [<y>", "Invalid Document type tag"},
      {"<a x=5>", "Invalid XML"},
      {"<a p:='1'>", "Invalid XML"},
      {"<a x='1' \x01>", "Invalid XML"},
      {"<a x='1' y=>", "Invalid XML"},
      {"<a>", ""},
      {"<a x='1'", ""},
      {"</a", ""},
  };
  for (const auto& [input, error] : cases) {
    XmlTextReader reader(input);
    EXPECT_EQ(ErrorOf(reader), error) << input;
  }
  BlockStream long_name("<" + std::string(5000, 'n') + ">text");
  XmlTextReader reader(long_name);
  EXPECT_EQ(ErrorOf(reader), "XML tag size is too long");
}

// Reads everything; only false or XmlException may end it.
void ReadToTheEnd(XmlTextReader& reader) {
  try {
    while (reader.Read()) {
      for (int i = 0; i < reader.GetAttributeCount(); ++i) reader.MoveToAttribute(i);
    }
  } catch (const XmlException&) {
  }
}

TEST(XmlTextReaderTest, EveryTruncationAndRandomBytesEndCleanly) {
  const std::string doc =
      "<?xml v='1'?><!DOCTYPE d [<e>]><!-- c --><a p:x='&#x26;' y=\"2\"><b>text</b><c/>.</a>";
  for (size_t n = 0; n <= doc.size(); ++n) {
    XmlTextReader from_text(doc.substr(0, n));
    ReadToTheEnd(from_text);
    BlockStream stream(doc.substr(0, n));
    XmlTextReader from_stream(stream);
    ReadToTheEnd(from_stream);
  }
  std::mt19937 random(21);
  const std::string alphabet = "<>/?!-=:'\"[] \r\nabAZ09.;&#x\x01\x7f\xe9";
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 300, ' ');
    for (char& c : bytes) c = random() % 4 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
    BlockStream stream(bytes);
    XmlTextReader reader(stream);
    ReadToTheEnd(reader);
  }
}

}  // namespace
}  // namespace dac
