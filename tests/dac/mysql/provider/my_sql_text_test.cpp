// SQL literals, identifiers, type mapping, EMyError and the MySQL messages,
// checked without a server.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/values/bcd.h"
#include "dac/mysql/client/transport/zlib_routines.h"
#include "dac/mysql/provider/my_error.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "dac/mysql/provider/my_messages.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/mysql/provider/my_table_info.h"
#include "dac/mysql/provider/my_type_mapping.h"
#include "dac/store/blob/compressed_blob.h"
#include "dac/store/blob/compression_hooks.h"
#include "dac/store/record/data_types.h"
#include "platform/date_time.h"
#include "platform/format_settings.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/mysql/support/zlib_hooks.h"

namespace dac {
namespace {

using test::AssertionTextOf;
using testing::ZlibHooks;

TEST(MySqlLiterals, EscapesEveryCharacterThatNeedsIt) {
  const char source[] = {0, 10, 13, 26, '\'', '\\', '"', 'a'};
  char dest[2 * sizeof source + 1];
  const int written = MySQLEscapeBuffer(dest, source, sizeof source);
  EXPECT_EQ(std::string(dest, written), std::string("\\0\\n\\r\\Z\\'\\\\\\\"a"));
  EXPECT_EQ(dest[written], '\0');

  const char16_t wide[] = {0, u'\'', u'\u00e9'};
  char16_t wide_dest[7];
  EXPECT_EQ(std::u16string(wide_dest, MySQLEscapeBufferW(wide_dest, wide, 3)), u"\\0\\'\u00e9");

  EXPECT_EQ(QuoteEscapedString("O'Hara", 6), "'O\\'Hara'");
  EXPECT_EQ(QuoteEscapedString(std::string("abc"), 99), "'abc'");  // a length past the text is cut
  EXPECT_EQ(QuoteEscapedString(std::string("abc"), -1), "''");
  EXPECT_EQ(QuoteEscapedString(WideString(u"it's")), u"'it\\'s'");
}

struct LiteralCase {
  uint16_t type;
  Variant value;
  bool is_null;
  bool use_unicode;
  int server_major;
  std::string expected;
};

TEST(MySqlLiterals, WritesEachDataTypeAsItsLiteral) {
  double date_time = 0;
  ASSERT_TRUE(plat::TryEncodeDateTime(2024, 2, 29, 13, 5, 9, 0, date_time));
  const std::vector<LiteralCase> cases = {
      {dtString, Variant("x"), true, false, 5, "NULL"},
      {dtInteger, Variant(int32_t{7}), true, false, 5, "NULL"},
      {dtTime, Variant::FromDateTime(ZeroDate), false, false, 5, "'0000-00-00 00:00:00'"},
      {dtDate, Variant::FromDateTime(ZeroDate), false, false, 5, "'0000-00-00 00:00:00'"},
      {dtDate, Variant::FromDateTime(date_time), false, false, 5, "'2024-02-29'"},
      {dtDateTime, Variant::FromDateTime(date_time), false, false, 5, "'2024-02-29 13:05:09'"},
      {dtTime, Variant::FromDateTime(3661.0 / 86400), false, false, 5, "'1:1:1'"},
      {dtTime, Variant::FromDateTime(-90.0 / 1440), false, false, 5, "'-1:30:0'"},
      {dtTime, Variant::FromDateTime(2.5), false, false, 5, "'60:0:0'"},
      {dtBoolean, Variant(true), false, false, 5, "b'1'"},
      {dtBoolean, Variant(false), false, false, 5, "b'0'"},
      {dtBoolean, Variant(true), false, false, 4, "1"},
      {dtFloat, Variant(3.5), false, false, 5, "3.5"},
      {dtFloat, Variant("2.25"), false, false, 5, "2.25"},
      {dtBCD, Variant(Currency::FromRaw(-12345)), false, false, 5, "-1.2345"},
      {dtInteger, Variant(int32_t{-42}), false, false, 5, "-42"},
      {dtLargeint, Variant("9007199254740993"), false, false, 5, "9007199254740993"},
      {dtUInt32, Variant(uint32_t{4000000000u}), false, false, 5, "4000000000"},
      {dtString, Variant("O'Hara"), false, false, 5, "'O''Hara'"},
      {dtString, Variant(std::string("a\0b", 3)), false, true, 5, std::string("'a\\0b'")},
      {dtString, Variant("\xe9"), false, true, 5, "'\xc3\xa9'"},
      {dtWideString, Variant(WideString(u"\u20ac'")), false, true, 5, "'\xe2\x82\xac'''"},
      {dtString, Variant(), false, true, 5, "''"},
      {dtBlob, Variant(TBytes{0, 0x27, 0xff}), false, true, 5, std::string("'\\0''\xff'")},
      {dtGuid, Variant("{A}'"), false, false, 5, "'{A}'''"},
      // Doubles in the fewest digits that read back as the same double.
      {dtFloat, Variant(0.1 + 0.2), false, false, 5, "0.30000000000000004"},
      {dtFloat, Variant(1.0 / 3), false, false, 5, "0.3333333333333333"},
      {dtFloat, Variant(-1.7976931348623157e308), false, false, 5, "-1.7976931348623157e+308"},
      {dtFloat, Variant(5e-324), false, false, 5, "5e-324"},
      {dtFloat, Variant(123456789012345680.0), false, false, 5, "123456789012345680"},
      // Decimal text goes as its digits, however many.
      {dtFmtBCD, Variant("-12345678901234567890123456789012345.123456789012345678901234567891"), false, false, 5,
       "-12345678901234567890123456789012345.123456789012345678901234567891"},
      {dtFmtBCD, Variant("1e3"), false, false, 5, "1000"},
      {dtFmtBCD, Variant(StrToBcd("-0.50")), false, false, 5, "-0.5"},
      {dtCurrency, Variant(" 0.10 "), false, false, 5, "0.1"},
      // Fractions of a second as far as the value holds them.
      {dtDateTime, Variant::FromDateTime(date_time + 0.678 / 86400), false, false, 5, "'2024-02-29 13:05:09.678'"},
      {dtTime, Variant::FromDateTime(-1.5 / 86400), false, false, 5, "'-0:0:1.5'"},
      {dtTime, Variant::FromDateTime(-(838 * 3600 + 59 * 60 + 59.999999) / 86400), false, false, 5,
       "'-838:59:59.999999'"},
      {dtTime, Variant::FromDateTime((13 * 3600 + 14 * 60 + 15.678) / 86400), false, false, 5, "'13:14:15.678'"},
  };
  for (const LiteralCase& c : cases) {
    EXPECT_EQ(ValueToSQL(c.type, c.value, c.is_null, c.use_unicode, false, c.server_major, {}), c.expected)
        << "type " << c.type << " expected " << c.expected;
  }
}

TEST(MySqlLiterals, TextThatIsNoNumberNeverReachesTheSqlBare) {
  for (uint16_t type : {dtInteger, dtLargeint, dtFloat, dtFmtBCD, dtCurrency, dtUInt32}) {
    EXPECT_THROW(ValueToSQL(type, Variant("1; DROP TABLE t"), false, false, false, 5, {}), std::exception) << type;
  }
  EXPECT_THROW(ValueToSQL(dtFmtBCD, Variant("1.2.3"), false, false, false, 5, {}), EConvertError);
  // NaN and infinity have no SQL form: refused, never written as a word the server would take as a name.
  for (const double value : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    try {
      ValueToSQL(dtFloat, Variant(value), false, false, false, 5, {});
      ADD_FAILURE() << value;
    } catch (const EConvertError& e) {
      EXPECT_NE(e.Message().find("only a finite number can be written"), std::string::npos) << e.Message();
    }
  }
  EXPECT_THROW(ValueToSQL(dtTime, Variant::FromDateTime(1e300), false, false, false, 5, {}), EConvertError);
  EXPECT_THROW(ValueToSQL(dtDateTime, Variant::FromDateTime(-1e300), false, false, false, 5, {}), EConvertError);
}

TEST(MySqlLiterals, BlobsGoAsTheirContentOrCompressed) {
  const ZlibHooks zlib;
  SharedRef<TBlob> empty = MakeShared<TBlob>();
  EXPECT_EQ(ValueToSQL(dtBlob, Variant::FromObject(empty.get()), false, false, false, 5, {}), "''");

  SharedRef<TBlob> text = MakeShared<TBlob>();
  text->SetAsString("it's\xe9");
  EXPECT_EQ(ValueToSQL(dtMemo, Variant::FromObject(text.get()), false, true, false, 5, {}), "'it''s\xc3\xa9'");
  EXPECT_EQ(ValueToSQL(dtBlob, Variant::FromObject(text.get()), false, true, false, 5, {}), "'it''s\xe9'");

  // A large value asked to go compressed travels in the compressed form,
  // which expands back to the value.
  SharedRef<TCompressedBlob> large = MakeShared<TCompressedBlob>();
  large->SetAsString(std::string(1000, 'a'));
  const std::string compressed = ValueToSQL(dtBlob, Variant::FromObject(large.get()), false, false, true, 5, {});
  EXPECT_LT(compressed.size(), 200u);
  EXPECT_TRUE(large->GetCompressed());
  EXPECT_EQ(large->GetAsString(), std::string(1000, 'a'));
  // Not asked to: a compressed blob goes expanded.
  EXPECT_EQ(ValueToSQL(dtMemo, Variant::FromObject(large.get()), false, false, false, 5, {}),
            "'" + std::string(1000, 'a') + "'");
  EXPECT_EQ(AssertionTextOf([] { ValueToSQL(dtBlob, Variant::FromObject(nullptr), false, false, false, 5, {}); }),
            "Value is not a blob");
}

TEST(MySqlLiterals, EachModeAndCharacterSetGetsAFormThatReadsBackTheBytes) {
  struct Case {
    std::string bytes;
    bool no_backslash_escapes;
    std::string charset;
    std::string text;
    std::string binary;
  };
  const std::vector<Case> cases = {
      {"O'Hara", false, "latin1", "'O''Hara'", "'O''Hara'"},
      {"O'Hara", true, "latin1", "'O''Hara'", "'O''Hara'"},
      {"a\\'b", false, "utf8mb4", "'a\\\\''b'", "'a\\\\''b'"},
      {"a\\'b", true, "utf8mb4", "_utf8mb4 X'615C2762'", "X'615C2762'"},
      {std::string("\0\n\r\x1a\"", 5), false, "latin1", "'\\0\\n\\r\\Z\\\"'", "'\\0\\n\\r\\Z\\\"'"},
      {std::string("\0\n\r\x1a\"", 5), true, "latin1", std::string("'\0\n\r\x1a\"'", 7),
       std::string("'\0\n\r\x1a\"'", 7)},
      {"", true, "gbk", "''", "''"},
      {"' OR 1", false, "gbk", "''' OR 1'", "''' OR 1'"},
      {"\x95\x5c'", false, "gbk", "_gbk X'955C27'", "X'955C27'"},
      {"\xbf'", false, "gbk", "X'BF27'", "X'BF27'"},
      {"\xa5\x5c", true, "big5", "_big5 X'A55C'", "X'A55C'"},
      {"\x83\x5c", false, "sjis", "_sjis X'835C'", "X'835C'"},
      {"\xbf'", false, "sjis", "_sjis X'BF27'", "X'BF27'"},
      {"\x81\x5c", false, "cp932", "_cp932 X'815C'", "X'815C'"},
      {"\x81\x30\x81\x30", false, "gb18030", "_gb18030 X'81308130'", "X'81308130'"},
      {"\xe9", false, "latin1", "'\xe9'", "'\xe9'"},
      {"caf\xc3\xa9", false, "utf8mb4", "'caf\xc3\xa9'", "'caf\xc3\xa9'"},
      {"\xe9\\", true, "utf8mb4", "X'E95C'", "X'E95C'"},
      {"\xf0\x9f\x98\x80\\", true, "utf8", "X'F09F98805C'", "X'F09F98805C'"},
      {"\xf0\x9f\x98\x80\\", true, "utf8mb4", "_utf8mb4 X'F09F98805C'", "X'F09F98805C'"},
      {"\xe9", false, "newset", "_newset X'E9'", "X'E9'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.charset + (c.no_backslash_escapes ? " NO_BACKSLASH_ESCAPES " : " ") + c.bytes);
    const TMySQLEscaping escaping{c.no_backslash_escapes, c.charset};
    EXPECT_EQ(TextLiteral(c.bytes, escaping), c.text);
    EXPECT_EQ(BinaryLiteral(c.bytes, escaping), c.binary);
  }
  // Parameters follow the same rules, and an introducer takes only a name.
  const TMySQLEscaping gbk{false, "gbk"};
  EXPECT_EQ(ValueToSQL(dtString, Variant("\x95\x5c"), false, false, false, 5, gbk), "_gbk X'955C'");
  EXPECT_EQ(ValueToSQL(dtBlob, Variant(TBytes{0x95, 0x5c}), false, false, false, 5, gbk), "X'955C'");
  EXPECT_THROW(TextLiteral("\xe9", TMySQLEscaping{false, "x; DROP"}), EDatabaseError);
}

TEST(MySqlLiterals, DecimalSeparatorBecomesAPointInsideTheNumberOnly) {
  plat::FormatSettings& settings = plat::ProcessFormatSettings();
  const char saved = settings.decimal_separator;
  settings.decimal_separator = ',';
  EXPECT_EQ(ValueToSQL(dtFloat, Variant(3.5), false, false, false, 5, {}), "3.5");
  EXPECT_EQ(ChangeDecimalSeparator(Variant("12,")), "12,");
  EXPECT_EQ(ChangeDecimalSeparator(Variant(",5")), ",5");
  EXPECT_EQ(ChangeDecimalSeparator(Variant("1,5,6")), "1.5,6");
  settings.decimal_separator = saved;
}

struct NameCase {
  std::string name;
  bool force;
  std::string expected;
};

TEST(MySqlIdentifiers, BracketIfNeedQuotesOnlyWhatNeedsIt) {
  const std::vector<NameCase> cases = {
      {"my table", false, "`my table`"}, {"db.my table", false, "db.`my table`"}, {"t1", false, "t1"},
      {"t1", true, "`t1`"},              {"1abc", false, "`1abc`"},               {"t$1", false, "t$1"},
      {"a#b@c_d", false, "`a#b@c_d`"},     {"`done`", true, "`done`"},              {"", false, ""},
      {".t", false, "`.t`"},             {"caf\xe9", false, "`caf\xe9`"},        {"a`b", false, "`a``b`"},
      {"x` ; DROP TABLE y; -- ", false, "`x`` ; DROP TABLE y; -- `"},
  };
  for (const NameCase& c : cases) EXPECT_EQ(BracketIfNeed(c.name, c.force), c.expected) << c.name;
}

TEST(MySqlIdentifiers, NamesNeedQuotesWhenReservedOddOrStartingWithADigit) {
  const std::pair<std::string, bool> cases[] = {
      {"plain_name", false}, {"t$1", false},      {"$", false},        {"Mixed9", false},  {"", false},
      {"order", true},       {"SELECT", true},    {"Where", true},     {"123", true},      {"1abc", true},
      {"1e5", true},         {"a#b", true},       {"a@b", true},       {"a-b", true},      {"a b", true},
      {"a.b", true},         {"a`b", true},       {"a\"b", true},      {"a'b", true},      {"caf\xe9", true},
      {"tab\tname", true},   {"n\xc3\xa9", true}, {"status", false},   {"database", true}, {"_x", false},
  };
  for (const auto& [name, needs] : cases) EXPECT_EQ(IdentifierNeedsQuotes(name), needs) << name;
  EXPECT_TRUE(IsReservedWord("union"));
  EXPECT_FALSE(IsReservedWord("unions"));
}

TEST(MySqlIdentifiers, QualifiedNamesSplitOnlyOutsideQuotes) {
  struct Case {
    std::string text;
    bool force;
    std::string normalized;
  };
  const std::vector<Case> cases = {
      {"db.t", false, "db.t"},
      {"db.t", true, "`db`.`t`"},
      {"`my.table`", false, "`my.table`"},
      {"db.`my.table`", false, "db.`my.table`"},
      {"`q``t`.x", false, "`q``t`.x"},
      {"`a`; DROP TABLE x; `b`", false, "```a``; DROP TABLE x; ``b```"},
      {"t#x", false, "`t#x`"},
      {"order.select", false, "`order`.`select`"},
      {"\"dq\".'sq'", false, "dq.sq"},
      {"`a`b.c", false, "```a``b`.c"},
      {".t", false, "`.t`"},
      {"a..b", false, "`a..b`"},
      {"`ab", false, "```ab`"},
      {"x` ; DROP TABLE y; -- ", false, "`x`` ; DROP TABLE y; -- `"},
  };
  const TMyTableInfoClass& rules = TMyTableInfo::InfoClass();
  for (const Case& c : cases) {
    EXPECT_EQ(NormalizeQualifiedName(c.text, c.force), c.normalized) << c.text;
    EXPECT_EQ(rules.NormalizeName(c.text, c.force), c.normalized) << c.text;
  }
  EXPECT_EQ(SplitName("a.`b.c`.\"d.e\""), (std::vector<std::string>{"a", "`b.c`", "\"d.e\""}));
  EXPECT_FALSE(rules.QuotesNeeded("`my`"));
  EXPECT_TRUE(rules.QuotesNeeded("`my.table`"));
  EXPECT_TRUE(rules.IsQuoted("`my.table`"));
  EXPECT_FALSE(rules.IsQuoted("`a`; DROP TABLE x; `b`"));
  EXPECT_EQ(rules.QuoteIdentifier("a.b", false), "`a.b`");
  EXPECT_EQ(rules.QuoteIdentifier("`x`", false), "```x```");
  EXPECT_EQ(UnquoteIdentifier("`q``t`"), "q`t");
  EXPECT_EQ(UnquoteIdentifier("`a`b`"), "`a`b`");
}

TEST(MySqlIdentifiers, MultibyteSetsAreReadCharacterByCharacter) {
  // In gbk, big5 and sjis the byte of a backquote can end a character.
  const std::string name = "\x95`; DROP TABLE canary; --";
  EXPECT_EQ(QuoteIdentifier(name), "`\x95``; DROP TABLE canary; --`");
  for (const std::string charset : {"gbk", "big5", "sjis", "cp932", "gb18030"}) {
    SCOPED_TRACE(charset);
    const TMyTableInfoClass& rules = TMyTableInfo::InfoClassFor(charset);
    const TMyCharsetKind kind = rules.Kind();
    const std::string lead = charset == "big5" ? "\xa5" : "\x95";
    EXPECT_EQ(QuoteIdentifier(lead + "`x", kind), "`" + lead + "`x`");
    EXPECT_EQ(UnquoteIdentifier("`" + lead + "`x`", kind), lead + "`x");
    EXPECT_FALSE(IsQuotedIdentifier("`" + lead + "`", kind));
    EXPECT_THROW(QuoteIdentifier("x" + lead, kind), EDatabaseError);
    EXPECT_EQ(rules.NormalizeName("db.`" + lead + "`.x`", false), "db.`" + lead + "`.x`");
    EXPECT_EQ(SplitName("`" + lead + "`.x`.y", kind).size(), 2u);
  }
  EXPECT_EQ(&TMyTableInfo::InfoClassFor("utf8mb4"), &TMyTableInfo::InfoClass());
  EXPECT_TRUE(IsWellFormedIn("gbk", "\x95\x5c"));
  EXPECT_FALSE(IsWellFormedIn("gbk", "\xbf'"));
  EXPECT_TRUE(IsWellFormedIn("sjis", "\xbf'"));
  EXPECT_FALSE(IsWellFormedIn("utf8mb4", "\xc3"));
  EXPECT_FALSE(IsWellFormedIn("utf8", "\xf0\x9f\x98\x80"));
  EXPECT_TRUE(IsWellFormedIn("latin1", "\xff\x80"));
  EXPECT_TRUE(IsCharsetName("utf8mb4"));
  EXPECT_FALSE(IsCharsetName("latin1 COLLATE x"));
  EXPECT_FALSE(IsCharsetName(""));
}

TEST(MySqlIdentifiers, QuotesComeOffWhereTheyAreNotNeeded) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"`abc`", "abc"}, {"`my db`", "`my db`"}, {"`db`.`t`", "db.t"}, {"`a`", "a"}, {"''", "''"},
      {"\"xy\"", "xy"}, {".`tab`", "tab"},      {"`1a`", "`1a`"},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(UnbracketIfPossible(name), expected) << name;

  std::string first = "x", second = "y";
  EXPECT_EQ(UnbracketIfPossible("`my db`.`t`", first, second), "`my db`.t");
  EXPECT_EQ(first, "`my db`");
  EXPECT_EQ(second, "t");
  std::string list;
  UnbracketIfPossible("a.`bc`", list);
  EXPECT_EQ(list, "bc\1a\1");

  EXPECT_EQ(Unbracket("'q'"), "q");
  EXPECT_TRUE(IsQuotedName("\"x\""));
  EXPECT_FALSE(IsQuotedName("`x\""));
  EXPECT_EQ(AssertionTextOf([] { IsBracketPresent("a.b"); }), "In func IsBracketPresent delimited values not allowed");
}

TEST(MySqlIdentifiers, EscapeBackquotesDoublesLoneOnes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a`bc", "a``bc"}, {"`a`bc`", "`a``bc`"}, {"a``bc", "a``bc"}, {"`ab", "`ab"}, {"ab`c", "ab`c"}, {"", ""},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(EscapeBackquotes(name), expected) << name;
}

TEST(MySqlIdentifiers, TableNamesCarryTheDatabaseWhenItIsAnotherOne) {
  EXPECT_EQ(GenerateTableName("shop", "orders", "shop"), "orders");
  EXPECT_EQ(GenerateTableName("Shop", "orders", "shop"), "Shop.orders");
  EXPECT_EQ(GenerateTableName("", "my orders", "shop"), "`my orders`");
  EXPECT_EQ(GenerateTableName("my shop", "t", ""), "`my shop`.t");

  TDKTablesInfo tables(TMyTableInfo::InfoClass());
  TDKTableInfo* entry = tables.Add();
  entry->SetTableNameFull("shop.orders");
  TMySQLFieldDesc field;
  EXPECT_EQ(GenerateTableName(field), "");
  field.SetTableInfo(entry);
  EXPECT_EQ(GenerateTableName(field), "shop.orders");
}

TEST(MySqlTableInfo, NormalizesWithBackquotes) {
  const TMyTableInfoClass& rules = TMyTableInfo::InfoClass();
  EXPECT_EQ(rules.NormalizeName("db.my table", false), "db.`my table`");
  EXPECT_EQ(rules.NormalizeName("`db`.t", true), "`db`.`t`");
  EXPECT_EQ(rules.NormalizeName("`db`.`t`", false), "db.t");
  EXPECT_TRUE(rules.IsQuoted("'x'"));
  EXPECT_FALSE(rules.QuotesNeeded("`$x`"));
  EXPECT_TRUE(rules.QuotesNeeded("9x"));
  EXPECT_EQ(AssertionTextOf([&] { rules.QuotesNeeded("a.b"); }), "In func IsBracketNeeds delimited values not allowed");
}

struct TypeCase {
  uint8_t mysql_type;
  int32_t length;
  bool binary;
  bool is_unsigned;
  bool use_unicode;
  TDANumericType numeric;
  uint16_t expected;
  bool fixed;
};

TEST(MySqlTypeMapping, ColumnTypesMapToDataTypes) {
  const std::vector<TypeCase> cases = {
      {mftTiny, 1, false, false, false, ntFloat, dtBoolean, false},
      {mftTiny, 4, false, true, false, ntFloat, dtWord, false},
      {mftTiny, 4, false, false, false, ntFloat, dtInt8, false},
      {mftShort, 6, false, false, false, ntFloat, dtSmallint, false},
      {mftLong, 11, false, true, false, ntFloat, dtUInt32, false},
      {mftInt24, 9, false, true, false, ntFloat, dtInteger, false},
      {mftNewDecimal, 10, false, false, false, ntBCD, dtBCD, false},
      {mftDecimal, 10, false, false, false, ntFmtBCD, dtFmtBCD, false},
      {mftNewDecimal, 10, false, false, false, ntFloat, dtFloat, false},
      {mftBit, 1, false, false, false, ntFloat, dtLargeint, false},
      {mftString, 10, false, false, false, ntFloat, dtString, true},
      {mftString, 10, false, false, true, ntFloat, dtWideString, true},
      {mftVarString, 10, false, false, false, ntFloat, dtString, false},
      {mftTimestamp, 19, false, false, false, ntFloat, dtDateTime, false},
      {mftYear, 4, false, false, false, ntFloat, dtWord, false},
      {mftBlob, 65535, false, false, true, ntFloat, dtWideMemo, false},
      {mftBlob, 65535, true, false, true, ntFloat, dtBlob, false},
      {mftGeometry, 0, true, false, false, ntFloat, dtBlob, false},
  };
  for (const TypeCase& c : cases) {
    uint16_t type = 0;
    bool fixed = true;
    EXPECT_TRUE(ConvertMySQLTypeToInternalFormat(c.mysql_type, c.length, c.binary, c.is_unsigned, true,
                                                 c.use_unicode, c.numeric, type, fixed));
    EXPECT_EQ(type, c.expected) << int(c.mysql_type);
    EXPECT_EQ(fixed, c.fixed) << int(c.mysql_type);
  }
  uint16_t type = 0;
  bool fixed = false;
  EXPECT_EQ(AssertionTextOf([&] {
              ConvertMySQLTypeToInternalFormat(mftNewDate, 10, false, false, true, false, ntFloat, type, fixed);
            }),
            "Unknown MySQL datatype (14)");
  EXPECT_EQ(ConvertInternalTypeMySQLFormat(dtBoolean), mftTiny);
}

TEST(MySqlTypeMapping, FetchSizesAndLargeTypes) {
  TMySQLFieldDesc field;
  field.SetDataType(dtMemo);
  field.SetMySQLType(mftTinyBlob);
  int32_t size = 1;
  AddFetchBlockSize(size, field);
  EXPECT_EQ(size, 260);
  EXPECT_TRUE(IsLargeDataTypeUsed(field));
  field.SetMySQLType(mftLongBlob);
  AddFetchBlockSize(size, field);
  EXPECT_EQ(size, 260 + 65518);
  field.SetMySQLType(mftVarString);
  AddFetchBlockSize(size, field);  // nothing for a memo that is no blob
  EXPECT_EQ(size, 260 + 65518);
  EXPECT_FALSE(IsLargeDataTypeUsed(field));
  field.SetDataType(dtWideString);
  field.SetLength(10);
  size = 0;
  AddFetchBlockSize(size, field);
  EXPECT_EQ(size, 37);
  field.SetDataType(dtInteger);
  EXPECT_NE(AssertionTextOf([&] { AddFetchBlockSize(size, field); }), "no error");

  TParamDesc param;
  param.SetDataType(dtWideMemo);
  EXPECT_TRUE(IsLargeDataTypeUsed(param));
  EXPECT_TRUE(IsTextFetchType(dtFmtBCD));
  EXPECT_FALSE(IsTextFetchType(dtString));
}

TEST(MySqlError, SyntaxErrorsCarryTheirLineNumber) {
  EXPECT_EQ(EMyError(1064, "You have an error in your SQL syntax ... near 'x' at line 3").LineNumber(), 3);
  EXPECT_EQ(EMyError(1064, "near '12' at line 140").LineNumber(), 140);
  EXPECT_EQ(EMyError(1064, "no digits").LineNumber(), 0);
  EXPECT_EQ(EMyError(1064, "at line 99999999999").LineNumber(), 0);
  const EMyError other(1146, "Table 't2' doesn't exist");
  EXPECT_EQ(other.LineNumber(), 0);
  EXPECT_EQ(other.ErrorCode(), 1146);
}

TEST(MySqlMessages, JoinTheMessageTable) {
  AddMySQLMessages();
  AddMySQLMessages();
  EXPECT_EQ(MySQLMessages().size(), 48u);
  EXPECT_EQ(LoadResString(my_messages::SConnectionOpen), "Cannot perform this operation on an open connection");
  EXPECT_EQ(FormatMessage(my_messages::SKeyFieldNotFound, {"Query1", "id"}), "Query1: Key field 'id' not found");
  EXPECT_EQ(FormatMessage(my_messages::SBHStoredProcStruct, {"p"}), "-- \r\n-- StoredProc  p\r\n-- \r\n\r\n");
  // The data-access messages of the same names keep their own identifiers.
  EXPECT_EQ(LoadResString(SBadStatementType), LoadResString(my_messages::SBadStatementType));
  EXPECT_NE(SBadStatementType.Identifier, my_messages::SBadStatementType.Identifier);
}

}  // namespace
}  // namespace dac
