// The rowset XML export of a table of datasets against reference documents
// kept with the tests (tests/dac/store/dataset/xml_reference/): every column
// type with nulls, empty and extreme values, every escape, control and
// non-ASCII characters, floats of up to 17 digits, dates before 1900 and with
// milliseconds; random rows; a decimal comma; sorted, filtered and edited
// views with calculated, lookup and aliased fields; trimmed text, line ends
// the record set converts, and a dataset and a field that make values of
// their own. The bytes must not change. Each document is read back by the
// store's own reader, which must find what a DOM parser finds. Values are
// taken straight from the record unless the record set reads its own way.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "dac/framework/data/field.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/string_fields.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/currency.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/runtime/unaligned.h"
#include "dac/store/xml/xml_text_reader.h"
#include "platform/ascii.h"
#include "platform/code_page.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "platform/format_settings.h"
#include "platform/xml_document.h"
#include "tests/dac/framework/settings_guard.h"
#include "tests/dac/store/test_mem_dataset.h"
#include "tests/support/source_tree.h"

namespace dac {
namespace {

using testing::Column;
using testing::ComponentPtr;
using testing::AddCalculatedInteger;
using testing::AddLookupText;
using testing::CreateDefinedFields;
using testing::MakeDataSet;
using testing::Row;
using testing::TTestMemDataSet;

Variant Stamp(int y, int mo, int d, int h, int mi, int s, int ms) {
  DateTime value = 0;
  EXPECT_TRUE(plat::TryEncodeDateTime(y, mo, d, h, mi, s, ms, value));
  return Variant::FromDateTime(value);
}

TBytes Bytes(std::initializer_list<uint8_t> bytes) { return TBytes(bytes); }

// One column of every type the export writes.
std::vector<Column> EveryType() {
  return {{"I32", dtInteger, 4},
          {"I16", dtSmallint, 2},
          {"I8", dtInt8, 2, 3},
          {"W", dtWord, 2, 5},
          {"U32", dtUInt32, 4, 10},
          {"I64", dtLargeint, 8},
          {"F", dtFloat, 8, 15},
          {"R", dtFloat, 8, 7},
          {"C", dtCurrency, 8, 19},
          {"N", dtBCD, 8, 12},
          {"FB", dtFmtBCD, 34, 10, 2},
          {"D", dtDate, 8},
          {"T", dtTime, 8},
          {"DT", dtDateTime, 8},
          {"B", dtBoolean, 2},
          {"S", dtString, 41, 40},
          {"FX", dtString, 5, 4, 0, true},
          {"X", dtExtString, kReferenceSlotSize, 20},
          {"WS", dtWideString, 42, 20},
          {"XW", dtExtWideString, kReferenceSlotSize, 20},
          {"M", dtMemo, kReferenceSlotSize},
          {"WM", dtWideMemo, kReferenceSlotSize},
          {"BL", dtBlob, kReferenceSlotSize},
          {"BY", dtBytes, 3, 3},
          {"VB", dtVarBytes, 6, 4},
          {"XB", dtExtVarBytes, kReferenceSlotSize, 10},
          {"G", dtGuid, 39, 38},
          {"V", dtVariant, kReferenceSlotSize}};
}

std::vector<Row> EveryTypeRows() {
  const Variant null = Variant::Null();
  const std::string escapes = "&'\"<>\t\n\r";
  return {
      {42, int16_t{-7}, int16_t{5}, uint16_t{65535}, uint32_t{4000000000u}, int64_t{9000000000000000000}, 3.14159,
       0.25, Currency::FromRaw(123400), Currency::FromRaw(-5000), Variant(StrToBcd("123.45")),
       Stamp(2004, 3, 5, 0, 0, 0, 0), Stamp(1899, 12, 30, 7, 8, 9, 250), Stamp(2004, 3, 5, 7, 8, 9, 250), true,
       "hello", "ab", "ext text", Variant(WideString(u"wide")), Variant(WideString(u"ext wide")),
       "memo\r\nline", Variant(WideString(u"\u00e9t\u00e9")), std::string("\x00\xAB\x10", 3), Bytes({1, 2, 3}),
       Bytes({0xFF, 0}), Bytes({9, 8, 7, 6, 5}), "{01234567-89AB-CDEF-0123-456789ABCDEF}", 17},
      std::vector<Variant>(28, null),
      {std::numeric_limits<int32_t>::max(), std::numeric_limits<int16_t>::max(), int16_t{127}, uint16_t{0},
       std::numeric_limits<uint32_t>::max(), std::numeric_limits<int64_t>::max(),
       std::numeric_limits<double>::max(), 3.4028234663852886e38, Currency::FromRaw(9223372036854769664),
       Currency::FromRaw(999999999999), Variant(StrToBcd("99999999.99")), Stamp(9999, 12, 31, 0, 0, 0, 0),
       Stamp(1899, 12, 30, 23, 59, 59, 999), Stamp(9999, 12, 31, 23, 59, 59, 999), false,
       std::string(40, 'z'), "WXYZ", std::string(20, 'x'), Variant(WideString(20, u'\u00ff')),
       Variant(WideString(20, u'w')), std::string(3000, 'm'), Variant(WideString(u"\U0001F600 wide")),
       std::string(300, '\xff'), Bytes({0xFF, 0xFF, 0xFF}), Bytes({0x80, 0x7F, 0, 1}), Bytes({}),
       "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", "variant text"},
      {std::numeric_limits<int32_t>::min(), std::numeric_limits<int16_t>::min(), int16_t{-128}, uint16_t{1},
       uint32_t{0}, std::numeric_limits<int64_t>::min(), -std::numeric_limits<double>::min(), -5e-324,
       Currency::FromRaw(-9223372036854769664), Currency::FromRaw(-1), Variant(StrToBcd("-0.01")),
       Stamp(1, 1, 1, 0, 0, 0, 0), Stamp(1899, 12, 30, 0, 0, 0, 1), Stamp(1, 1, 1, 0, 0, 0, 0), false, "a", "a",
       "a", Variant(WideString(u"a")), Variant(WideString(u"a")), "a", Variant(WideString(u"a")),
       std::string("\x00", 1), Bytes({0, 0, 0}), Bytes({0}), Bytes({0}), "{00000000-0000-0000-0000-000000000000}",
       -3.5},
      {0, int16_t{0}, int16_t{0}, uint16_t{0}, uint32_t{0}, int64_t{0}, -0.0, 0.0, Currency::FromRaw(0),
       Currency::FromRaw(0), Variant(StrToBcd("0")), Stamp(1899, 12, 29, 6, 0, 0, 0),
       Variant::FromDateTime(1.5), Variant::FromDateTime(-1.25), true, "", "", "", Variant(WideString(u"")),
       Variant(WideString(u"")), "", Variant(WideString(u"")), "", Bytes({0, 0, 1}), Bytes({}), Bytes({}), null, ""},
      {-1, int16_t{-1}, int16_t{-1}, uint16_t{10}, uint32_t{10}, int64_t{-1}, 0.1 + 0.2, 1.0 / 3,
       Currency::FromRaw(1), Currency::FromRaw(12345678), Variant(StrToBcd("-99999999.99")),
       Stamp(1850, 6, 15, 0, 0, 0, 0), Stamp(1899, 12, 30, 13, 14, 15, 678), Stamp(1850, 6, 15, 13, 14, 15, 678),
       true, escapes + "x", "<&>", escapes, Variant(WideString(u"&'\"<>\t\n\r\u20ac")),
       Variant(WideString(u"\u4e2d\u6587 & <")), escapes + "\xe9\x80\x81\x8d\xff", Variant(WideString(u"<\r\n>")),
       escapes, Bytes({'<', '&', '>'}), Bytes({'\'', '"'}), Bytes({'\r', '\n'}), null, escapes},
      {7, int16_t{300}, int16_t{-100}, uint16_t{300}, uint32_t{2147483648u}, int64_t{1} << 53, 1e21, 1e-7,
       Currency::FromRaw(-10000), Currency::FromRaw(1000000000000), Variant(StrToBcd("1.5")),
       Stamp(1900, 2, 28, 0, 0, 0, 0), Stamp(1899, 12, 30, 12, 0, 0, 500), Stamp(1752, 9, 14, 23, 0, 59, 999),
       false, "caf\xe9 \x80 \x81 \xa0 \xff end", "\xe9\xe8\xe7\xe6", "\x9c\x9d\x9e\x9f",
       Variant(WideString(u"\u00e9\u00e8")), Variant(WideString(u"\U00010348")), "\xc0\xc1\xc2",
       Variant(WideString(u"plain")), std::string("\x01\x1f\x7f\x80", 4), Bytes({0x0F, 0xF0, 0x55}),
       Bytes({0xAA, 0xBB, 0xCC, 0xDD}), Bytes({0x10, 0x20}), "{A0A0A0A0-B1B1-C2C2-D3D3-E4E4E4E4E4E4}", int64_t{-5}},
      {123456789, int16_t{12345}, int16_t{99}, uint16_t{12345}, uint32_t{123456789}, int64_t{-1234567890123456789},
       123456789012345678.0, 1.0000001, Currency::FromRaw(55000), Currency::FromRaw(-55000),
       Variant(StrToBcd("0.1")), Stamp(2000, 2, 29, 0, 0, 0, 0), Stamp(1899, 12, 30, 0, 0, 0, 999),
       Stamp(2000, 2, 29, 0, 0, 0, 999), true, "Ann & <Bo>'s \"x\"", "a b ", "tail  ",
       Variant(WideString(u"tail  ")), Variant(WideString(u" lead")), "line 1\nline 2\rline 3",
       Variant(WideString(u"line\n")), std::string("abc"), Bytes({'a', 'b', 'c'}), Bytes({'x'}), Bytes({'y'}),
       "{12345678-1234-1234-1234-123456789012}", true},
  };
}

// Random rows of the kinds the benchmark exports, and more: nulls, every
// escape, line ends, bytes above 0x7F, floats of every kind, dates from
// 0001 to 9999 with milliseconds.
std::vector<Row> RandomRows(int count) {
  std::mt19937_64 random(4711);
  const std::string alphabet = std::string("abcXYZ 019&'\"<>\t\n\r._-") + "\x80\x81\x8d\x9f\xa0\xc4\xe9\xff";
  const auto text = [&](size_t most) {
    std::string value(random() % (most + 1), ' ');
    for (char& c : value) c = random() % 3 ? static_cast<char>('a' + random() % 26) : alphabet[random() % alphabet.size()];
    return value;
  };
  const auto number = [&]() -> double {
    switch (random() % 5) {
      case 0: return static_cast<double>(random() % 100000) / 100;
      case 1: {
        const uint64_t bits = random();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return std::isfinite(value) ? value : 1.5;
      }
      // Two draws in their own statements: the order of the operands' evaluation
      // is the compiler's (the reference documents have the exponent of ldexp
      // drawn first).
      case 2: {
        const double mantissa = static_cast<double>(static_cast<int64_t>(random() % 2000000) - 1000000);
        return mantissa * std::pow(10.0, static_cast<int>(random() % 40) - 20);
      }
      case 3: {
        const double mantissa = static_cast<double>(random() % 1000000000000000);
        return mantissa / std::pow(10.0, static_cast<int>(random() % 8));
      }
      default: {
        const int exponent = static_cast<int>(random() % 200) - 100;
        return std::ldexp(static_cast<double>(random() % 1000) - 500, exponent);
      }
    }
  };
  // From 0001-01-01 to 9999-12-31, whole milliseconds.
  const auto stamp = [&]() {
    const int64_t first = -693593, last = 2958465;
    const int64_t day = first + static_cast<int64_t>(random() % static_cast<uint64_t>(last - first + 1));
    return Variant::FromDateTime(plat::JoinDateTime(day, static_cast<int32_t>(random() % plat::kMSecsPerDay)));
  };
  std::vector<Row> rows;
  for (int i = 0; i < count; ++i) {
    Row row = {static_cast<int32_t>(random()), text(40), number(), stamp(), static_cast<int64_t>(random()),
               Variant(WideString(u"w\u00e9") + WideString(random() % 5, u'<')), static_cast<int16_t>(random())};
    for (Variant& value : row) {
      if (random() % 10 == 0) value = Variant::Null();
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// A dataset over a record set of the class RecordSet.
template <typename RecordSet>
class TDataSetOver : public TTestMemDataSet {
 public:
  TDataSetOver(TComponent* owner, std::vector<Column> columns) : TTestMemDataSet(owner, columns), columns_(columns) {}
  RecordSet& Records() { return *static_cast<RecordSet*>(Data()); }

 protected:
  void CreateIRecordSet() override { SetIRecordSet(new RecordSet(columns_)); }

 private:
  std::vector<Column> columns_;
};

// A record set that gives line feeds with carriage returns.
class TEolMemData : public testing::TTestMemData {
 public:
  using TTestMemData::TTestMemData;
  bool NeedConvertEOL() override { return true; }
};
using TEolDataSet = TDataSetOver<TEolMemData>;

// A record set with a null test of its own: NAME is null in rows of even KEY.
class TOwnNullsMemData : public testing::TTestMemData {
 public:
  using TTestMemData::TTestMemData;
  bool GetNull(uint16_t field_no, void* rec_buf) override {
    if (field_no != 2 || TTestMemData::GetNull(1, rec_buf)) return TTestMemData::GetNull(field_no, rec_buf);
    Variant key;
    GetFieldAsVariant(1, rec_buf, key);
    return key.AsInt32() % 2 == 0 || TTestMemData::GetNull(field_no, rec_buf);
  }
  bool ReadsOwnValues() const override { return true; }
};
using TOwnNullsDataSet = TDataSetOver<TOwnNullsMemData>;

// A record set that counts the values it reads. One that declares its reads
// its own may also change them: KEY with its lowest bit flipped, NAME in
// capitals, AMOUNT negated, STAMP a day later.
class TReadingMemData : public testing::TTestMemData {
 public:
  using TTestMemData::TTestMemData;
  bool declares = false;
  bool changes = false;
  int reads = 0;

  bool ReadsOwnValues() const override { return declares; }
  void GetFieldData(TFieldDesc* field, void* rec_buf, void* dest, size_t dest_size) override {
    ++reads;
    TTestMemData::GetFieldData(field, rec_buf, dest, dest_size);
    if (!changes) return;
    if (field->GetName() == "KEY") StoreAt<int32_t>(dest, 0, LoadAt<int32_t>(dest) ^ 1);
    if (field->GetName() == "AMOUNT") StoreAt<double>(dest, 0, -LoadAt<double>(dest));
    if (field->GetName() == "STAMP") StoreAt<double>(dest, 0, LoadAt<double>(dest) + plat::kMSecsPerDay);
    if (field->GetName() == "NAME") {
      for (char* c = static_cast<char*>(dest); *c; ++c) *c = plat::AsciiUpper(*c);
    }
  }
};

// A descendant that writes a value of its own for one field.
class TOwnValueDataSet : public TTestMemDataSet {
 public:
  using TTestMemDataSet::TTestMemDataSet;

 protected:
  std::string GetFieldXMLValue(TField* field, TFieldDesc* desc) override {
    const std::string value = TTestMemDataSet::GetFieldXMLValue(field, desc);
    return field->FieldName() == "NAME" ? "[" + value + "]" : value;
  }
  bool WritesOwnXMLValues() const override { return true; }
};

// A field class of its own: the export reads it as the field reads itself.
class TShoutField : public TStringField {
  DAC_DECLARE_CLASS();

 public:
  explicit TShoutField(TComponent* owner) : TStringField(owner) {}
  std::string GetAsString() override { return plat::AnsiTextUpper(TStringField::GetAsString()); }
};
DAC_DEFINE_CLASS(TShoutField, TStringField, ::dac::TComponentClassOf<TShoutField>)

class TTwiceField : public TIntegerField {
  DAC_DECLARE_CLASS();

 public:
  explicit TTwiceField(TComponent* owner) : TIntegerField(owner) {}
  std::string GetAsString() override { return TIntegerField::GetAsString() + "x2"; }
};
DAC_DEFINE_CLASS(TTwiceField, TIntegerField, ::dac::TComponentClassOf<TTwiceField>)

template <typename T>
ComponentPtr<T> Make(std::vector<Column> columns) {
  return ComponentPtr<T>(MakeComponent<T>(nullptr, std::move(columns)));
}

std::vector<Column> BenchColumns() {
  return {{"KEY", dtInteger, 4},        {"NAME", dtString, 41, 40},        {"AMOUNT", dtFloat, 8, 15},
          {"STAMP", dtDateTime, 8},     {"BIG", dtLargeint, 8},            {"WIDE", dtWideString, 42, 20},
          {"SMALL", dtSmallint, 2}};
}

// The datasets with their names; the lookup set stays alive with its case.
struct Case {
  const char* name;
  char separator;
  std::function<ComponentPtr<TTestMemDataSet>(std::vector<ComponentPtr<TTestMemDataSet>>& keep)> make;
};

// Sorted, filtered and edited, with calculated, lookup and aliased fields.
ComponentPtr<TTestMemDataSet> ViewsDataSet(std::vector<ComponentPtr<TTestMemDataSet>>& keep) {
  auto names = MakeDataSet({{"K", dtInteger, 4}, {"TITLE", dtString, 11, 10}});
  names->AddSource({{1, "one"}, {2, "two"}, {3, "three"}});
  names->Open();
  auto ds = MakeDataSet({{"ID", dtInteger, 4},
                         {"K", dtInteger, 4},
                         {"first name", dtString, 21, 20},
                         {"Gr\xf6\xdf" "e", dtFloat, 8, 15},
                         {"AT", dtDateTime, 8},
                         {"RO", dtInteger, 4, 0, 0, false, fdkData, nullptr, true}});
  ds->AddSource({{1, 3, "ann", 1.5, Stamp(2001, 1, 1, 1, 1, 1, 1), 10},
                 {2, 1, "bob", 2.5, Stamp(2002, 2, 2, 2, 2, 2, 2), 20},
                 {3, 2, "cy & di", Variant::Null(), Stamp(1800, 3, 3, 3, 3, 3, 3), 30},
                 {4, 3, "dee", -4.5, Variant::Null(), 40},
                 {5, 1, "eve", 5e-5, Stamp(1999, 12, 31, 23, 59, 59, 999), 50}});
  CreateDefinedFields(*ds);
  AddCalculatedInteger(*ds, "TWICE");
  AddLookupText(*ds, "TITLE", 10, names.get(), "K", "K", "TITLE");
  ds->SetOnCalcFields([](TDataSet* d) {
    d->FieldByName("TWICE")->SetAsInteger(d->FieldByName("ID")->AsInteger() * 2);
  });
  ds->SetCachedUpdates(true);
  ds->Open();
  ds->F("ID")->SetRequired(true);
  ds->Data()->FieldByName("ID")->SetIsKey(true);
  ds->Locate("ID", 2, {});
  ds->Edit();
  ds->F("first name")->SetAsString("bob's <edit>");
  ds->F("AT")->Clear();
  ds->Post();
  ds->Locate("ID", 4, {});
  ds->Delete();
  ds->Append();
  ds->F("ID")->SetAsInteger(6);
  ds->F("K")->SetAsInteger(2);
  ds->F("first name")->SetAsString("new\tone");
  ds->Post();
  ds->SetIndexFieldNames("K DESC;ID");
  ds->SetFilterText("ID <> 1");
  ds->SetFiltered(true);
  ds->First();
  ds->Next();
  keep.push_back(std::move(names));
  return ds;
}

// Fields of classes of their own, a field without its column and one left out.
ComponentPtr<TTestMemDataSet> OwnValuesDataSet(std::vector<ComponentPtr<TTestMemDataSet>>&) {
  ComponentPtr<TTestMemDataSet> ds(MakeComponent<TOwnValueDataSet>(nullptr, BenchColumns()));
  ds->AddSource(RandomRows(20));
  ds->InitFieldDefs();
  for (int i = 0; i < ds->FieldDefs().Count(); ++i) {
    TFieldDef* def = ds->FieldDefs().Items(i);
    if (def->Name() == "WIDE") continue;  // a field without its column: left out
    TField* field = nullptr;
    if (def->Name() == "KEY") {
      field = MakeComponent<TTwiceField>(ds.get());
    } else if (def->Name() == "BIG") {
      continue;
    } else if (def->Name() == "NAME") {
      field = MakeComponent<TShoutField>(ds.get());
      field->SetSize(40);
    } else {
      def->CreateField(ds.get());
      continue;
    }
    field->SetFieldName(def->Name());
    field->SetDataSet(ds.get());
  }
  return ds;
}

std::vector<Case> Cases() {
  return {
      {"every_type", '.',
       [](auto&) {
         auto ds = MakeDataSet(EveryType());
         ds->AddSource(EveryTypeRows());
         return ds;
       }},
      {"every_type_comma", ',',
       [](auto&) {
         auto ds = MakeDataSet(EveryType());
         ds->AddSource(EveryTypeRows());
         ds->Open();
         ds->Next();
         ds->Next();
         return ds;
       }},
      {"random_rows", '.',
       [](auto&) {
         auto ds = MakeDataSet(BenchColumns());
         ds->AddSource(RandomRows(600));
         return ds;
       }},
      {"views", '.', ViewsDataSet},
      {"trimmed", '.',
       [](auto&) {
         auto ds = MakeDataSet({{"S", dtString, 11, 10}, {"FX", dtString, 7, 6, 0, true}, {"WS", dtWideString, 22, 10}});
         ds->AddSource({{"tail   ", "ab    ", Variant(WideString(u"w  "))},
                        {"   ", "      ", Variant(WideString(u"   "))},
                        {" lead", "abcdef", Variant(WideString(u" x"))}});
         ds->Data()->SetTrimVarChar(true);
         ds->Data()->SetTrimFixedChar(true);
         return ds;
       }},
      {"line_ends", '.',
       [](auto&) {
         ComponentPtr<TTestMemDataSet> ds(MakeComponent<TEolDataSet>(
             nullptr, std::vector<Column>{{"S", dtString, 21, 20}, {"WS", dtWideString, 42, 20}, {"M", dtMemo, kReferenceSlotSize}}));
         ds->AddSource({{"a\nb\n", Variant(WideString(u"c\nd")), "e\nf"}, {"\r\n", Variant(WideString(u"\n")), "\n\n"}});
         return ds;
       }},
      {"own_nulls", '.',
       [](auto&) {
         ComponentPtr<TTestMemDataSet> ds(MakeComponent<TOwnNullsDataSet>(nullptr, BenchColumns()));
         ds->AddSource(RandomRows(30));
         return ds;
       }},
      {"own_text", '.',
       [](auto&) {
         // NAME of the standard class, whose value the record holds directly.
         ComponentPtr<TTestMemDataSet> ds(MakeComponent<TOwnValueDataSet>(nullptr, BenchColumns()));
         ds->AddSource(RandomRows(20));
         return ds;
       }},
      {"own_values", '.', OwnValuesDataSet},
  };
}

std::string ReferencePath(const std::string& name) {
  return plat::testing::SourceRoot() + "tests/dac/store/dataset/xml_reference/" + name + ".xml";
}

// Every z:row's attributes as the store's reader decodes them and as the DOM does.
void ExpectReadBack(const std::string& text, int rows) {
  std::vector<std::vector<std::pair<std::string, std::string>>> read;
  XmlTextReader reader(text);
  while (reader.Read()) {
    if (reader.GetNodeType() != XmlNodeType::Element || reader.GetName() != "z:row") continue;
    auto& attributes = read.emplace_back();
    for (int i = 0; i < reader.GetAttributeCount(); ++i) {
      reader.MoveToAttribute(i);
      attributes.emplace_back(reader.GetName(), reader.GetValue());
    }
  }
  const plat::XmlDocument document = plat::XmlDocument::Parse(text);
  const auto elements = document.DocumentElement().Child("rs:data")->Children();
  ASSERT_EQ(read.size(), elements.size());
  ASSERT_EQ(static_cast<int>(read.size()), rows);
  for (size_t i = 0; i < read.size(); ++i) {
    for (const auto& [name, value] : read[i]) {
      const std::optional<std::string> found = elements[i].Attribute(name);
      ASSERT_TRUE(found) << "row " << i << " " << name;
      EXPECT_EQ(*found, value) << "row " << i << " " << name;
    }
  }
}

// Where two documents part, for a failure's message.
std::string Difference(const std::string& text, const std::string& expected) {
  size_t at = 0;
  while (at < text.size() && at < expected.size() && text[at] == expected[at]) ++at;
  return "at byte " + std::to_string(at) + ": ..." + text.substr(at, 60) + " | " + expected.substr(at, 60);
}

std::string Exported(TMemDataSet& ds) {
  TMemoryStream stream;
  ds.SaveToXML(stream);
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

TEST(MemDataSetXmlReference, ExportsAreTheReferenceBytes) {
  ASSERT_FALSE(plat::testing::SourceRoot().empty()) << "VARNEL_SOURCE_DIR must name the source tree";
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    SettingsGuard settings;
    std::vector<ComponentPtr<TTestMemDataSet>> keep;
    auto ds = c.make(keep);
    plat::ProcessFormatSettings().decimal_separator = c.separator;
    const bool was_active = ds->GetActive();
    const int position = was_active ? ds->RecNo() : 0;
    const std::string text = Exported(*ds);
    EXPECT_EQ(ds->GetActive(), was_active);
    if (was_active) {
      EXPECT_EQ(ds->RecNo(), position);
    }
    const std::string path = ReferencePath(c.name);
    const std::string expected = plat::FileExists(path) ? plat::ReadWholeFile(path) : std::string();
    if (text != expected) {
      // The document made, beside the build's tests, for a look at the difference.
      plat::WriteFileAtomic(std::string(c.name) + ".actual.xml", text);
      ADD_FAILURE() << "differs from " << path << " " << Difference(text, expected);
      continue;
    }
    ds->SetActive(true);
    int rows = 0;
    for (ds->First(); !ds->GetEOF(); ds->Next()) ++rows;
    ExpectReadBack(text, rows);
  }
}

// The standard fields of a plain record set are written from the record,
// without a read through the record set, in the bytes the way through it
// gives; a record set that reads its own way gives its own values.
TEST(MemDataSetXmlReference, ValuesComeFromTheRecordUnlessTheRecordSetReadsItsOwnWay) {
  std::vector<Column> columns = BenchColumns();
  columns.resize(4);  // KEY, NAME, AMOUNT, STAMP: the kinds written from the record
  std::vector<Row> rows = RandomRows(200);
  for (Row& row : rows) row.resize(columns.size());
  const auto exported = [&](bool declares, bool changes, int* reads) {
    ComponentPtr<TDataSetOver<TReadingMemData>> ds(MakeComponent<TDataSetOver<TReadingMemData>>(nullptr, columns));
    ds->AddSource(rows);
    ds->Open();
    ds->Records().declares = declares;
    ds->Records().changes = changes;
    ds->Records().reads = 0;
    const std::string text = Exported(*ds);
    if (reads) *reads = ds->Records().reads;
    return text;
  };
  int reads = -1;
  const std::string stored = exported(false, false, &reads);
  EXPECT_EQ(reads, 0);
  int declared_reads = -1;
  const std::string asked = exported(true, false, &declared_reads);
  EXPECT_TRUE(asked == stored) << Difference(asked, stored);
  EXPECT_GT(declared_reads, 0);

  // The values the changing record set gives, held by a plain one.
  std::vector<Row> changed = rows;
  for (Row& row : changed) {
    if (!row[0].IsNull()) row[0] = row[0].AsInt32() ^ 1;
    if (!row[1].IsNull()) row[1] = plat::AsciiUpperCase(row[1].AsString());
    if (!row[2].IsNull()) row[2] = -row[2].AsDouble();
    if (!row[3].IsNull()) {
      plat::TimeStamp stamp = plat::DateTimeToTimeStamp(row[3].AsDateTime());
      ++stamp.date;
      DateTime later = 0;
      ASSERT_TRUE(plat::TryTimeStampToDateTime(stamp, later));
      row[3] = Variant::FromDateTime(later);
    }
  }
  auto plain = MakeDataSet(columns);
  plain->AddSource(changed);
  const std::string expected = Exported(*plain);
  EXPECT_TRUE(expected != stored);
  const std::string own = exported(true, true, nullptr);
  EXPECT_TRUE(own == expected) << Difference(own, expected);
}

}  // namespace
}  // namespace dac
