// The rowset XML export: whole documents compared byte for byte with text
// written out by hand, the data type attributes of every type, row values,
// and failures that leave the target file and the dataset as they were.
// Every document is parsed back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <vector>

#include "dac/framework/data/field.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/xml/xml_export_text.h"
#include "platform/code_page.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "platform/format_settings.h"
#include "platform/xml_document.h"
#include "tests/dac/framework/settings_guard.h"
#include "tests/dac/store/test_mem_dataset.h"
#include "tests/support/test_folder.h"

namespace dac {
namespace {

using testing::Column;
using testing::MakeDataSet;

constexpr char kHead[] =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
    "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\r\n"
    "  <s:Schema id='RowsetSchema'>\r\n"
    "    <s:ElementType name='row' content='eltOnly' rs:updatable='true'>\r\n";

// The whole document, parsed back to check it is XML.
std::string Export(TMemDataSet& ds) {
  TMemoryStream stream;
  ds.SaveToXML(stream);
  std::string text(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
  EXPECT_EQ(plat::XmlDocument::Parse(text).DocumentElement().Name(), "xml");
  return text;
}

TEST(MemDataSetXml, WritesTheWholeDocument) {
  SettingsGuard settings;
  plat::ProcessFormatSettings().decimal_separator = ',';
  auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"first name", dtString, 21, 20}, {"NOTE", dtMemo, kReferenceSlotSize},
                         {"AMOUNT", dtFloat, 8, 15}});
  ds->AddSource({{1, "Ann & <Bo>'s \"x\"", "line 1\r\nline 2\ttab", 3.5},
                 {2, Variant::Null(), Variant::Null(), Variant::Null()},
                 {Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null()}});
  ds->Open();
  ds->Data()->FieldByName("ID")->SetIsKey(true);
  ds->F("ID")->SetRequired(true);
  ds->Next();
  const std::string expected =
      std::string(kHead) +
      "      <s:AttributeType name='ID' rs:number='1' rs:writeunknown='true' rs:basecolumn='ID' rs:keycolumn='true'>\r\n"
      "        <s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' rs:maybenull='false' />\r\n"
      "      </s:AttributeType>\r\n"
      "      <s:AttributeType name='c1' rs:name='first name' rs:number='2' rs:nullable='true' rs:writeunknown='true' "
      "rs:basecolumn='first name'>\r\n"
      "        <s:datatype dt:type='string' dt:maxLength='20' rs:dbtype='str' />\r\n"
      "      </s:AttributeType>\r\n"
      "      <s:AttributeType name='NOTE' rs:number='3' rs:nullable='true' rs:writeunknown='true' rs:basecolumn='NOTE'>\r\n"
      "        <s:datatype dt:type='string' dt:maxLength='2147483647' rs:dbtype='str' rs:long='true' />\r\n"
      "      </s:AttributeType>\r\n"
      "      <s:AttributeType name='AMOUNT' rs:number='4' rs:nullable='true' rs:writeunknown='true' "
      "rs:basecolumn='AMOUNT'>\r\n"
      "        <s:datatype dt:type='float' dt:maxLength='8' rs:precision='15' />\r\n"
      "      </s:AttributeType>\r\n"
      "      <s:extends type='rs:rowbase' />\r\n"
      "    </s:ElementType>\r\n"
      "  </s:Schema>\r\n"
      "  <rs:data>\r\n"
      "    <z:row ID='1' c1='Ann &#x26; &#x3c;Bo&#x3e;&#x27;s &#x22;x&#x22;' "
      "NOTE='line 1&#xd;&#xa;line 2&#x9;tab' AMOUNT='3.5' />\r\n"
      "    <z:row ID='2' />\r\n"
      "    <z:row>\r\n"
      "    </z:row>\r\n"
      "  </rs:data>\r\n"
      "</xml>";
  const std::string text = Export(*ds);
  EXPECT_EQ(text, expected);
  // The export comes back to the record it started from.
  EXPECT_EQ(ds->RecNo(), 2);
  const plat::XmlDocument document = plat::XmlDocument::Parse(text);
  const plat::XmlElement row = document.DocumentElement().Child("rs:data")->Children()[0];
  EXPECT_EQ(row.Attribute("NOTE"), "line 1\r\nline 2\ttab");
  EXPECT_EQ(row.Attribute("c1"), "Ann & <Bo>'s \"x\"");
}

TEST(MemDataSetXml, AnEmptyDatasetClosedBeforeIsClosedAfter) {
  auto ds = MakeDataSet({{"a b", dtInteger, 4}, {"x y", dtInteger, 4}, {"1st", dtInteger, 4}, {"a1", dtInteger, 4}});
  const std::string text = Export(*ds);
  EXPECT_FALSE(ds->GetActive());
  for (const char* part : {"name='c1' rs:name='a b'", "name='c2' rs:name='x y'", "name='c3' rs:name='1st'",
                           "name='a1' rs:number='4'", "  <rs:data>\r\n  </rs:data>\r\n</xml>"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part;
  }
}

TEST(MemDataSetXml, DescribesEveryDataType) {
  struct Case {
    Column column;
    const char* datatype;
  };
  const Case cases[] = {
      {{"I8", dtInt8, 2, 3}, "dt:type='i1' dt:maxLength='2' rs:precision='3'"},
      {{"S", dtSmallint, 2}, "dt:type='i2' dt:maxLength='2' rs:precision='5'"},
      {{"W", dtWord, 2, 5}, "dt:type='ui2' dt:maxLength='2' rs:precision='5'"},
      {{"U", dtUInt32, 4, 10}, "dt:type='ui4' dt:maxLength='4' rs:precision='10'"},
      {{"L", dtLargeint, 8}, "dt:type='i8' dt:maxLength='8' rs:precision='19'"},
      {{"R", dtFloat, 8, 7}, "dt:type='r4' dt:maxLength='4' rs:precision='7'"},
      {{"D", dtDate, 8}, "dt:type='date' dt:maxLength='8' rs:scale='0' rs:precision='0'"},
      {{"T", dtTime, 8}, "dt:type='time' dt:maxLength='8' rs:scale='0' rs:precision='0'"},
      {{"DT", dtDateTime, 8}, "dt:type='datetime' rs:dbtype='variantdate' dt:maxLength='8' rs:scale='0' rs:precision='0'"},
      {{"B", dtBoolean, 2}, "dt:type='boolean' dt:maxLength='2'"},
      {{"C", dtCurrency, 8, 19}, "dt:type='number' rs:dbtype='currency' dt:maxLength='8' rs:precision='19'"},
      {{"N", dtBCD, 8, 12}, "dt:type='number' rs:dbtype='currency' dt:maxLength='8' rs:precision='12'"},
      {{"FB", dtFmtBCD, 34, 10, 2}, "dt:type='number' rs:dbtype='numeric' dt:maxLength='34' rs:scale='2' rs:precision='10'"},
      {{"BL", dtBlob, kReferenceSlotSize}, "dt:type='bin.hex' dt:maxLength='2147483647' rs:long='true'"},
      {{"BY", dtBytes, 3, 3}, "dt:type='bin.hex' dt:maxLength='3'"},
      {{"VB", dtVarBytes, 6, 4}, "dt:type='bin.hex' dt:maxLength='4'"},
      {{"WS", dtWideString, 22, 10}, "dt:type='string' dt:maxLength='10'"},
      {{"WM", dtWideMemo, kReferenceSlotSize}, "dt:type='string' dt:maxLength='2147483647' rs:long='true'"},
      {{"G", dtGuid, 39, 38}, "dt:type='uuid' dt:maxLength='16'"},
      {{"FX", dtString, 5, 4, 0, true}, "dt:type='string' dt:maxLength='4' rs:dbtype='str' rs:fixedlength='true'"},
      {{"X", dtExtString, kReferenceSlotSize, 20}, "dt:type='string' dt:maxLength='20' rs:dbtype='str'"},
      {{"V", dtVariant, kReferenceSlotSize}, "dt:type='string'"},
  };
  for (const Case& c : cases) {
    auto ds = MakeDataSet({c.column});
    EXPECT_NE(Export(*ds).find("<s:datatype " + std::string(c.datatype) + " />"), std::string::npos) << c.column.name;
  }
}

TEST(MemDataSetXml, WritesRowValues) {
  SettingsGuard settings;
  plat::ProcessFormatSettings().decimal_separator = ',';
  DateTime moment = 0;
  ASSERT_TRUE(plat::TryEncodeDateTime(2004, 3, 5, 7, 8, 9, 250, moment));
  auto ds = MakeDataSet({{"DT", dtDateTime, 8}, {"T", dtTime, 8}, {"D", dtDate, 8}, {"B", dtBoolean, 2},
                         {"C", dtCurrency, 8, 19}, {"FB", dtFmtBCD, 34, 10, 2}, {"BL", dtBlob, kReferenceSlotSize},
                         {"VB", dtVarBytes, 6, 4}, {"WS", dtWideString, 22, 10}, {"L", dtLargeint, 8}});
  ds->AddSource({{Variant::FromDateTime(moment), Variant::FromDateTime(moment), Variant::FromDateTime(moment), true,
                  12.5, Variant(StrToBcd("1,25")), std::string("\x00\xAB\x10", 3), Variant(TBytes{0x01, 0xFF}),
                  Variant(WideString(u"\u00e9t\u00e9")), int64_t{-9000000000}}});
  EXPECT_NE(Export(*ds).find("<z:row DT='2004-03-05T07:08:09' T='07:08:09' D='2004-03-05T00:00:00' B='True' C='12.5' "
                             "FB='1,25' BL='00AB10' VB='01FF' WS='\xc3\xa9t\xc3\xa9' L='-9000000000' />"),
            std::string::npos);
}

TEST(MemDataSetXml, FailuresLeaveTheFileAndTheDataset) {
  plat::testing::TestFolder folder;
  const std::string path = folder.path() + "/rows.xml";
  plat::WriteFileAtomic(path, "old");
  auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"NAME", dtString, 11, 10}});
  ds->AddSource({{1, "fine"}, {2, "bad\x01"}, {3, "after"}});
  ds->Open();
  ds->Last();
  try {
    ds->SaveToXML(path);
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Field 'NAME' holds a control character that XML does not allow");
  }
  EXPECT_EQ(plat::ReadWholeFile(path), "old");
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_FALSE(ds->ControlsDisabled());
  ds->Rows().source[1][1] = "good";
  ds->Close();
  ds->SaveToXML(path);
  EXPECT_NE(plat::ReadWholeFile(path).find("NAME='good'"), std::string::npos);
  EXPECT_EQ(std::filesystem::directory_iterator(folder.path())->path().filename(), "rows.xml");

  auto objects = MakeDataSet({{"ID", dtInteger, 4}, {"O", dtReference, kReferenceSlotSize}});
  objects->SetObjectView(true);
  TMemoryStream stream;
  try {
    objects->SaveToXML(stream);
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Data type is not supported");
  }
  EXPECT_FALSE(objects->GetActive());
}

TEST(MemDataSetXml, TextHelpers) {
  EXPECT_EQ(XMLEncode("a&b'c\"d<e>f\tg\nh\ri"), "a&#x26;b&#x27;c&#x22;d&#x3c;e&#x3e;f&#x9;g&#xa;h&#xd;i");
  EXPECT_EQ(ChangeDecimalSeparator("1,5,6", ',', '.'), "1.5.6");
  EXPECT_EQ(ChangeDecimalSeparator("1.5", '.', '.'), "1.5");
}

// The word-at-a-time tests agree with a byte-by-byte look at every length and place.
TEST(MemDataSetXml, PlainAndAsciiTestsAreTheBytewiseOnes) {
  std::mt19937 random(47);
  const std::string_view odd("&'\"<>\t\n\x01\x1f\x80\xff#=;?");
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 40, 'a');
    for (char& c : text) c = static_cast<char>(' ' + random() % 95);
    if (!text.empty() && random() % 2) text[random() % text.size()] = odd[random() % odd.size()];
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
      return static_cast<unsigned char>(c) < 0x20 || c == '&' || c == '\'' || c == '"' || c == '<' || c == '>';
    });
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    ASSERT_EQ(IsPlainXmlText(text), plain) << text;
    ASSERT_EQ(IsAsciiText(text), ascii) << text;
  }
}

// The date-time text laid out from the stored value is the one its calendar
// date and time of day give, on days from 0001 to 9999 and for values of
// any kind; outside those days nothing is written.
TEST(MemDataSetXml, DateTimeTextIsTheCalendarsText) {
  const auto reference = [](double value, std::string& text) {
    const plat::TimeStamp stamp = plat::DateTimeToTimeStamp(value);
    DateTime rounded = 0;
    if (!(stamp.date > 0 && stamp.date < 3652060) || !plat::TryTimeStampToDateTime(stamp, rounded)) return false;
    const plat::CalendarDate date = plat::DecodeDate(rounded);
    const plat::TimeOfDay time = plat::DecodeTime(rounded);
    char laid[32];
    std::snprintf(laid, sizeof laid, "%04d-%02d-%02dT%02d:%02d:%02d", date.year, date.month, date.day, time.hour,
                  time.minute, time.second);
    text = laid;
    return true;
  };
  std::vector<double> values = {0.0, -0.0, 0.5, -0.5, 1.25, -1.25, -693593.0, -693593.99999999, -693594.0,
                                -693594.5, 2958465.0, 2958465.99999999, 2958466.0, 2958465.999999999, 1e300, -1e300,
                                std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                4e6, -4e6, 5e-324, 0.999999999, -0.999999999};
  std::mt19937_64 random(1899);
  for (int i = 0; i < 200000; ++i) {
    values.push_back(std::uniform_real_distribution<double>(-700000, 3000000)(random));
    values.push_back(plat::JoinDateTime(static_cast<int64_t>(random() % 3652059) - 693593,
                                        static_cast<int32_t>(random() % plat::kMSecsPerDay)));
  }
  // Every day of two 400-year cycles of the calendar (1599 to 2401), every 13th elsewhere.
  for (int64_t day = -693593; day <= 2958465; day += day >= -109938 && day <= 182623 ? 1 : 13) {
    values.push_back(static_cast<double>(day) + 0.75);
  }
  for (double value : values) {
    char laid[kXmlDateTimeRoom];
    const char* end = PutXmlDateTime(laid, value);
    std::string expected;
    const bool in_range = reference(value, expected);
    ASSERT_EQ(end != nullptr, in_range) << value;
    if (end) {
      ASSERT_EQ(std::string(laid, static_cast<size_t>(end - laid)), expected) << value;
    }
  }
}

// The one-pass text is the code page's text in UTF-8, escaped; a character
// XML cannot carry gives none.
TEST(MemDataSetXml, TextInOnePassIsTheConvertedAndEscapedText) {
  std::vector<std::string> texts = {"", "a", "plain ascii text", "&'\"<>\t\n\r", std::string(1, '\0'), "\x01",
                                    "abcdefg\x1f", "\x7f\x80\x81\x8d\x9f\xa0\xff"};
  for (int c = 0; c < 256; ++c) {
    texts.push_back(std::string(1, static_cast<char>(c)));
    texts.push_back("seven b" + std::string(1, static_cast<char>(c)) + "and more of them");
  }
  std::mt19937 random(6);
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 50, 'a');
    for (char& c : text) c = random() % 4 ? static_cast<char>('a' + random() % 26) : static_cast<char>(random() % 256);
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    std::vector<char> laid(XmlTextRoom(text.size()) + 1);
    const char* end = PutXmlText(laid.data(), text);
    const std::string utf8 = plat::AnsiToUtf8(text);
    ASSERT_EQ(end != nullptr, IsXmlText(utf8)) << text;
    if (end) {
      ASSERT_EQ(std::string(laid.data(), static_cast<size_t>(end - laid.data())), XMLEncode(utf8)) << text;
    }
  }
}

// A failure partway leaves in the stream what a writer of one row at a time
// leaves: the rows before the failing one (also after a chunk of them went
// out), and at the first row not even the start of "rs:data".
TEST(MemDataSetXml, AFailureLeavesTheRowsBeforeIt) {
  std::vector<testing::Row> rows;
  for (int i = 0; i < 3000; ++i) rows.push_back({i, "name " + std::to_string(i)});
  auto good = MakeDataSet({{"ID", dtInteger, 4}, {"NAME", dtString, 21, 20}});
  good->AddSource(rows);
  const std::string whole = Export(*good);
  for (const int bad : {0, 1, 2000}) {
    auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"NAME", dtString, 21, 20}});
    ds->AddSource(rows);
    ds->Rows().source[static_cast<size_t>(bad)][1] = "bad\x02";
    TMemoryStream stream;
    EXPECT_THROW(ds->SaveToXML(stream), EDatabaseError);
    const std::string row = bad == 0 ? "\r\n  <rs:data>" : "\r\n    <z:row ID='" + std::to_string(bad) + "' ";
    EXPECT_EQ(std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize())),
              whole.substr(0, whole.find(row)))
        << bad;
  }
}

// The export's float text is FloatToStr's with a point, for every kind of value and separator.
TEST(MemDataSetXml, FloatTextIsFloatToStrWithAPoint) {
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 0.5, 2.5, 1e15, 1e16, 123456789012345.0, 1234567890123456.0,
                                1e-3, 1e-4, 1.5e-5, 9.99999999999999e14, 0.1 + 0.2, 1.0 / 3, -2.0 / 3, 1e300, 5e-324,
                                std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
  std::mt19937_64 random(1505);
  for (int i = 0; i < 20000; ++i) {
    uint64_t bits = random();
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    values.push_back(value);
    values.push_back(static_cast<double>(random() % 10000000) / 100);                    // cents
    values.push_back(static_cast<double>(random() % 1000000000000000) / std::pow(10.0, static_cast<int>(random() % 8)));
    values.push_back(static_cast<double>(static_cast<int64_t>(random() % 2000000) - 1000000) * std::pow(10.0, static_cast<int>(random() % 40) - 20));
  }
  for (const char separator : {'.', ','}) {
    SettingsGuard guard;
    plat::ProcessFormatSettings().decimal_separator = separator;
    for (double value : values) {
      ASSERT_EQ(FloatToXmlText(value), ChangeDecimalSeparator(FloatToStr(value), separator, '.')) << value;
    }
  }
}

}  // namespace
}  // namespace dac
