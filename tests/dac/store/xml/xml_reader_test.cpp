#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "dac/store/xml/stream_writer.h"
#include "dac/store/xml/xml_text_reader.h"
#include "dac/store/xml/xml_text_writer.h"
#include "tests/dac/store/xml_node_dump.h"

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
    if (origin == SeekOrigin::End) return position_ = reported_;
    position_ = origin == SeekOrigin::Beginning ? offset : position_ + offset;
    return position_;
  }
  void SetSize(int64_t) override {}
  int reads = 0;

 private:
  std::string data_;
  int64_t reported_;
  int64_t position_ = 0;
};

// Every node and attribute (see xml_node_dump.h), each attribute also checked
// by name, and a failed reader checked to stay failed.
std::string Dump(XmlTextReader& reader) {
  return testing::DumpNodes(
      reader, [&](int i) { EXPECT_EQ(reader.Items(reader.GetName()), reader.Items(i)); },
      [&] {
        EXPECT_EQ(reader.GetReadState(), XmlReadState::Error);
        EXPECT_FALSE(reader.Read());
      });
}

TEST(XmlTextReaderTest, NodesAttributesAndDecoding) {
  XmlTextReader reader(
      "<?xml version=\"1.0\"?>\r\n<!-- note -->\r\n"
      "<row a='&#x3c;b&#x3e;' rs:n=\"q&#x22;&#x27;\" lone amp='&#x26;#x3c;' >\r\n<v>5 apples</v><e x='1' />tail</row>");
  EXPECT_EQ(Dump(reader),
            "5 xml=version=\"1.0\"\n"
            "4 =note\n"
            "1 row= |a=<b> rs|rs:n=q\"' |amp=&#x3c;\n"  // the ampersand is decoded last
            "1 v=\n"
            "7 =5 apples\n"  // the text takes its end tag along
            "1 e= |x=1\n"
            "7 =\n"  // after an empty element: no end tag is searched for
            "3 row=\n");
  EXPECT_TRUE(reader.GetEof());
  EXPECT_EQ(reader.GetNodeType(), XmlNodeType::None);

  XmlTextReader element("<a x='1' y='2'>");
  ASSERT_TRUE(element.Read());
  EXPECT_EQ(element.Items("lone"), "");
  EXPECT_THROW(element.Items(2), ArgumentException);
  EXPECT_THROW(element.MoveToAttribute(-1), ArgumentException);
  element.MoveToAttribute(1);
  element.MoveToAttribute("missing");
  EXPECT_EQ(element.GetName(), "y");
}

// Attribute values of random entity fragments decode as the replacements
// in turn would decode them ("&#x26;" last), long ones too.
TEST(XmlTextReaderTest, EntitiesDecodeAsTheReplacementsInTurn) {
  const auto reference = [](std::string text) {
    const std::pair<std::string, std::string> entities[] = {
        {"&#x27;", "'"},   {"&#x22;", "\""},  {"&#x3c;", "<"},   {"&#x3e;", ">"},
        {"&#x9;", "\t"},   {"&#xa;", "\n"},   {"&#xd;", "\r"},   {"&#x26;", "&"}};
    for (const auto& [entity, replacement] : entities) {
      for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + replacement.size())) {
        text.replace(at, entity.size(), replacement);
      }
    }
    return text;
  };
  const char* const fragments[] = {"&#x27;", "&#x22;", "&#x3c;", "&#x3e;", "&#x26;", "&#x9;", "&#xa;",
                                   "&#xd;",  "&",      "&#x2",   "&#x",    "#x3c;",  "a",     ";", "x"};
  std::mt19937 random(77);
  for (int i = 0; i < 2000; ++i) {
    std::string value;
    const int count = i == 0 ? 200000 : static_cast<int>(random() % 12);
    for (int n = 0; n < count; ++n) value += fragments[random() % std::size(fragments)];
    XmlTextReader reader("<a v=\"" + value + "\" />");
    ASSERT_TRUE(reader.Read());
    ASSERT_EQ(reader.GetAttributeCount(), 1) << value;
    ASSERT_EQ(reader.Items(0), reference(value)) << value;
  }
}

TEST(XmlTextReaderTest, ReadsBackWhatTheWriterWrote) {
  TMemoryStream stream;
  StreamWriter out(stream);
  XmlTextWriter xml(out);
  xml.SetFormatting(Formatting::Indented);
  xml.SetQuoteChar('\'');
  xml.WriteStartElement("xml");
  xml.WriteAttributeString("xmlns:rs", "urn:rows");
  xml.WriteStartElement("z:row");
  xml.WriteAttributeString("c1", "a &#x26; b &#x3c;c&#x3e; &#x27;d&#x27;");
  xml.WriteAttributeString("dt", "z", "urn:dt", "2004-03-05T07:08:09");
  xml.WriteEndElement();
  xml.WriteFullEndElement();
  xml.Close();
  XmlTextReader reader(stream);
  EXPECT_EQ(Dump(reader),
            "1 xml= xmlns|xmlns:rs=urn:rows\n"
            "1 z:row= |c1=a & b <c> 'd' dt|dt:z=2004-03-05T07:08:09 xmlns|xmlns:dt=urn:dt\n"
            "3 xml=\n");
}

TEST(XmlTextReaderTest, BlocksAndBrokenInput) {
  // A 10,000-byte stream in three blocks, with a tag across the first boundary.
  std::string doc = "<big>" + std::string(4080, ' ') + "<cross name='across the boundary'/>";
  doc += std::string(10000 - doc.size() - 6, ' ') + "</big>";
  BlockStream stream(doc);
  XmlTextReader blocks(stream);
  EXPECT_EQ(Dump(blocks), "1 big=\n1 cross= |name=across the boundary\n3 big=\n");
  EXPECT_EQ(stream.reads, 3);

  const std::pair<std::string, std::string> cases[] = {
      {"just text, no tag", ""},
      {"<!-- open", "error: Invalid comment tag"},
      {"<?xml version", "error: Invalid declaration tag"},
      {"<!DOCTYPE x>", "error: Invalid Document type tag"},
      {"<!DOCTYPE x [<y>", "error: Invalid Document type tag"},
      {"<a x=5>", "error: Invalid XML"},
      {"<a p:='1'>", "error: Invalid XML"},
      {"<a x='1' \x01>", "error: Invalid XML"},  // the lexer refuses the character
      {"<a x='1'", ""},
      {"<a>text</", "1 a=\n"},
  };
  for (const auto& [input, dump] : cases) {
    XmlTextReader reader(input);
    EXPECT_EQ(Dump(reader), dump) << input;
  }
  BlockStream short_stream("   <a>  ", 100);  // ends before the size it reports
  XmlTextReader cut(short_stream);
  EXPECT_EQ(Dump(cut), "1 a=\nerror: Root element missing");
  BlockStream long_name("<" + std::string(5000, 'n') + ">text");
  XmlTextReader too_long(long_name);
  EXPECT_EQ(Dump(too_long), "1 " + std::string(5000, 'n') + "=\nerror: XML tag size is too long");
}

TEST(XmlTextReaderTest, EveryTruncationAndRandomBytesEndCleanly) {
  const std::string doc =
      "<?xml v='1'?><!DOCTYPE d [<e>]><!-- c --><a p:x='&#x26;' y=\"2\"><b>text</b><c/>.</a>";
  for (size_t n = 0; n <= doc.size(); ++n) {
    XmlTextReader from_text(doc.substr(0, n));
    Dump(from_text);
    BlockStream stream(doc.substr(0, n));
    XmlTextReader from_stream(stream);
    Dump(from_stream);
  }
  std::mt19937 random(21);
  const std::string alphabet = "<>/?!-=:'\"[] \r\nabAZ09.;&#x\x01\x7f\xe9";
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 300, ' ');
    for (char& c : bytes) c = random() % 4 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
    BlockStream stream(bytes);
    XmlTextReader reader(stream);
    Dump(reader);
  }
}

}  // namespace
}  // namespace dac
