#include "dac/core/macros.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dac/framework/data/filer.h"
#include "dac/store/lexer/parser.h"
#include "tests/dac/core/support/test_sql_owner.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

using Texts = std::vector<std::string>;

class NumericNamesParser : public TParser {
  DAC_DECLARE_PARSER_CLASS(NumericNamesParser);

 public:
  bool IsNumericMacroNameAllowed() override { return true; }

 protected:
  using TParser::TParser;
};

DAC_DEFINE_PARSER_CLASS(NumericNamesParser, TParser)

// A literal's bytes, NULs included.
template <size_t N>
std::string Raw(const char (&text)[N]) {
  return std::string(text, N - 1);
}

// Files bytes as the binary property "Data", as a form keeps macro values.
class MacroData : public TPersistent {
 public:
  explicit MacroData(std::string bytes) : bytes_(std::move(bytes)) {}
  void DefineProperties(TFiler& filer) override {
    filer.DefineBinaryProperty(
        "Data", nullptr,
        [this](TStream& stream) { stream.WriteBuffer(bytes_.data(), static_cast<int64_t>(bytes_.size())); }, true);
  }

 private:
  std::string bytes_;
};

std::string ReadData(TMacros& macros, const std::string& bytes) {
  TMemoryStream stream;
  MacroData data(bytes);
  TWriter(stream).WriteProperties(data);
  stream.SetPosition(0);
  return ErrorOf([&] { TReader(stream).ReadProperties(macros); });
}

std::string Names(const TMacros& macros) {
  std::string names;
  for (int i = 0; i < macros.Count(); ++i) names += (i ? " " : "") + macros.Items(i)->Name();
  return names;
}

TEST(MacrosTest, ReferencesAreWhatTheLexerSays) {
  struct Case {
    const char* sql;
    bool numeric_names;
    const char* names;
    const char* expanded;
  };
  const Case cases[] = {
      {"SELECT * FROM t &Where", false, "Where", "SELECT * FROM t <Where>"},
      {"SELECT * FROM t &off", false, "off", "SELECT * FROM t "},
      {"SELECT &a, &A, &b FROM &and", false, "a b and", "SELECT <a>, <a>, <b> FROM <and>"},
      {"'&s' \"&q\" /* &c */ & x &&y &", false, "", "'&s' \"&q\" /* &c */ & x &&y &"},
      {"a&1st, &2 b", false, "", "a&1st, &2 b"},
      {"a&1st, &2 b, &3+4", true, "1st 2 3", "a<1st>, <2> b, <3>+4"},
      // Control bytes are blanks.
      {"SELECT\v&a\fFROM &t\f", false, "a t", "SELECT\v<a>\fFROM <t>\f"},
      {"&x\x01&y\x7f", false, "x y", "<x>\x01<y>\x7f"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    TMacros macros;
    if (c.numeric_names) macros.SetParserClass(NumericNamesParser::ParserClass());
    macros.Scan(c.sql);
    EXPECT_EQ(Names(macros), c.names);
    for (int i = 0; i < macros.Count(); ++i) {
      TMacro* macro = macros.Items(i);
      macro->SetValue("<" + macro->Name() + ">");
      macro->SetActive(macro->Name() != "off");
    }
    std::string sql = c.sql;
    macros.Expand(sql);
    EXPECT_EQ(sql, c.expanded);
  }
  // A reference to a name without a macro goes.
  TMacros none;
  std::string sql = "x &gone y";
  none.Expand(sql);
  EXPECT_EQ(sql, "x  y");
  EXPECT_EQ(ErrorOf([&] { none.MacroByName("gone"); }), "Macro gone not found");
}

TEST(MacrosTest, ManyNamesEachReferencedOftenTakeTheirFirstMacro) {
  std::string sql;
  std::string expected;
  constexpr int kNames = 20000;
  for (int i = 0; i < kNames; ++i) sql += "&m" + std::to_string(i) + " ";
  for (int i = kNames; i-- > 0;) sql += "&M" + std::to_string(i) + ",";
  TMacros macros;
  // Two macros of one name: the first is the one a reference finds.
  static_cast<TMacro*>(macros.Add())->SetName("m7");
  macros.Items(0)->SetValue("first");
  static_cast<TMacro*>(macros.Add())->SetName("M7");
  macros.Items(1)->SetValue("second");
  std::string both = "&m7 &M7";
  macros.Expand(both);
  EXPECT_EQ(both, "first first");

  macros.Scan(sql);
  ASSERT_EQ(macros.Count(), kNames);
  EXPECT_EQ(macros.Items(7)->Name(), "m7");
  EXPECT_EQ(macros.Items(7)->Value(), "first");
  for (int i = 0; i < kNames; ++i) macros.Items(i)->SetValue(std::to_string(i));
  for (int i = 0; i < kNames; ++i) expected += std::to_string(i) + " ";
  for (int i = kNames; i-- > 0;) expected += std::to_string(i) + ",";
  macros.Expand(sql);
  EXPECT_EQ(sql, expected);
}

TEST(MacrosTest, ScanKeepsValuesAndReassemblesOnlyOnChange) {
  auto* owner = MakeComponent<TestSQLOwner>(nullptr);
  TCustomDASQL& sql = *owner->command;
  sql.SQL().SetText("SELECT * FROM &tbl WHERE &cond");
  sql.MacroByName("tbl")->SetValue("t");
  sql.MacroByName("COND")->SetValue("a = 1");
  EXPECT_EQ(sql.FinalSQL(), "SELECT * FROM t WHERE a = 1");
  const auto assembled = [&] { return std::count(owner->calls.begin(), owner->calls.end(), "assemble"); };

  owner->calls.clear();
  sql.SQL().SetText("SELECT * FROM &TBL WHERE &cond AND b = 2");
  EXPECT_EQ(assembled(), 0);
  sql.SQL().SetText("SELECT * FROM &tbl WHERE &cond ORDER BY &cond");
  EXPECT_EQ(assembled(), 0);
  sql.SQL().SetText("SELECT &cond FROM &tbl");
  EXPECT_EQ(assembled(), 1);
  EXPECT_EQ(Names(sql.Macros()), "cond tbl");
  EXPECT_EQ(sql.FinalSQL(), "SELECT a = 1 FROM t");

  // An open dataset is disturbed only by the macros its SQL refers to; its
  // saved SQL text survives.
  owner->active = true;
  owner->saved_sql = "SELECT 1";
  static_cast<TMacro*>(sql.Macros().Add())->SetName("extra");
  owner->calls.clear();
  sql.MacroByName("extra")->SetValue("x");
  EXPECT_EQ(owner->calls, Texts{});
  sql.MacroByName("tbl")->SetActive(false);
  EXPECT_EQ(owner->calls, (Texts{"changed", "final"}));
  EXPECT_EQ(owner->saved_sql, "SELECT 1");
  EXPECT_EQ(sql.FinalSQL(), "SELECT a = 1 FROM ");

  sql.SQL().SetText("SELECT 2");
  EXPECT_EQ(sql.MacroCount(), 0);
  owner->Free();
}

TEST(MacrosTest, TypedValuesAreQuotedSafely) {
  TMacro macro;
  const char* texts[] = {"abc", "O'Brien", "'; DROP TABLE t; --", ""};
  const char* stored[] = {"'abc'", "'O''Brien'", "'''; DROP TABLE t; --'", "''"};
  for (size_t i = 0; i < std::size(texts); ++i) {
    macro.SetAsString(texts[i]);
    EXPECT_EQ(macro.Value(), stored[i]);
    EXPECT_EQ(macro.AsString(), texts[i]);
  }
  macro.SetValue("  'x'  ");
  EXPECT_EQ(macro.AsString(), "x");
  macro.SetValue("it''s");
  EXPECT_EQ(macro.AsString(), "it''s");
  macro.SetAsDateTime(36526.5);
  EXPECT_EQ(macro.Value(), "'1/1/2000 12:00:00'");
  EXPECT_EQ(macro.AsDateTime(), 36526.5);
  macro.SetAsFloat(2.5);
  EXPECT_EQ(macro.Value(), "2.5");
  EXPECT_EQ(macro.AsFloat(), 2.5);
  macro.SetAsInteger(-3);
  EXPECT_EQ(macro.AsInteger(), -3);
}

TEST(MacrosTest, StoredDataIsReadWholeAndChecked) {
  TMacros macros;
  macros.Scan("&a &b");
  const std::string long_value(1200, 'v');
  EXPECT_EQ(ReadData(macros, Raw("\x01\x01" "a\x03\x00one\x01" "b\x02\x00hi")), "no error");
  EXPECT_EQ(macros.Items(0)->Value() + macros.Items(1)->Value(), "onehi");

  const std::string versioned = Raw("\x64\x00\x01" "a\x03\x00two\x00\x01" "b\xB0\x04");
  EXPECT_EQ(ReadData(macros, versioned + long_value + "\x01"), "no error");
  EXPECT_EQ(macros.Items(0)->Value(), "two");
  EXPECT_FALSE(macros.Items(0)->Active());
  EXPECT_EQ(macros.Items(1)->Value(), std::string(1000, 'v'));
  EXPECT_TRUE(macros.Items(1)->Active());

  EXPECT_EQ(ReadData(macros, Raw("\x01\x01" "a\x05\x00on")), "Macro data ends before its last value");
  EXPECT_EQ(ReadData(macros, versioned + std::string(10, 'v')), "Macro data ends before its last value");
  EXPECT_EQ(ReadData(macros, Raw("\x01\x01z\x00\x00")), "Macro z not found");
}

}  // namespace
}  // namespace dac::test
