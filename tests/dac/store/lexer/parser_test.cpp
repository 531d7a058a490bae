#include "dac/store/lexer/parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "tests/dac/framework/settings_guard.h"

namespace dac {
namespace {

struct Lexeme {
  int code;
  std::string text;
  int curr_pos;
  int prev_pos;
  int prev_prev_pos;
  bool operator==(const Lexeme&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Lexeme& l) {
  return os << "{" << l.code << ", \"" << l.text << "\", " << l.curr_pos << ", " << l.prev_pos << ", "
            << l.prev_prev_pos << "}";
}

std::vector<Lexeme> ReadAll(TParser& parser) {
  std::vector<Lexeme> out;
  std::string text;
  for (;;) {
    const int code = parser.GetNext(text);
    out.push_back({code, text, parser.CurrPos(), parser.PrevPos(), parser.PrevPrevPos()});
    if (code == LexemEnd) return out;
  }
}

std::vector<std::pair<int, std::string>> Codes(const std::string& text, bool omit_blank = true,
                                               bool omit_comment = false) {
  auto parser = MakeParser<TParser>(text);
  parser->SetOmitBlank(omit_blank);
  parser->SetOmitComment(omit_comment);
  std::vector<std::pair<int, std::string>> out;
  std::string lexem;
  while (int code = parser->GetNext(lexem)) out.emplace_back(code, lexem);
  return out;
}

using Pairs = std::vector<std::pair<int, std::string>>;

TEST(ParserTables, BaseSymbolsAndKeywords) {
  const TLexemList& symbols = BaseSymbolLexems();
  ASSERT_EQ(symbols.Count(), 28);
  const std::pair<const char*, int> expected[] = {{"!", 1},  {"(", 8},  {")", 9},  {"*", 10}, {",", 12}, {".", 14},
                                                  {"/", 15}, {":", 16}, {";", 17}, {"<", 18}, {"=", 19}, {">", 20},
                                                  {"?", 21}, {"[", 23}, {"]", 25}, {"_", 27}, {"`", 28}};
  for (const auto& [text, code] : expected) {
    const int index = symbols.IndexOf(text);
    ASSERT_GE(index, 0) << text;
    EXPECT_EQ(symbols.Codes(index), code) << text;
  }
  for (int i = 1; i < symbols.Count(); ++i) EXPECT_LT(DKCmpStrings(symbols, i - 1, i), 0);
  const TLexemList& keywords = BaseKeywordLexems();
  EXPECT_EQ(keywords.Codes(keywords.IndexOf("AND")), 29);
  EXPECT_EQ(keywords.Codes(keywords.IndexOf("not")), 30);
  EXPECT_EQ(keywords.Codes(keywords.IndexOf("Or")), 31);
  EXPECT_EQ(keywords.IndexOf("SELECT"), -1);
  EXPECT_EQ(keywords.IndexOf(""), -1);
}

TEST(ParserTables, OrdinalComparison) {
  EXPECT_LT(DKCompareStrings("A", "B"), 0);
  EXPECT_LT(DKCompareStrings("<", "<="), 0);  // the shorter first
  EXPECT_GT(DKCompareStrings("\xC0", "Z"), 0);  // bytes are unsigned
  EXPECT_EQ(DKCompareStrings("", ""), 0);
}

TEST(ParserTables, PosEx) {
  EXPECT_EQ(PosEx("b", "abcb"), 2u);
  EXPECT_EQ(PosEx("b", "abcb", 3), 4u);
  EXPECT_EQ(PosEx("b", "abcb", 5), 0u);
  EXPECT_EQ(PosEx("", "abc"), 0u);
  EXPECT_EQ(PosEx("cb", "abcb", 3), 3u);
  EXPECT_EQ(PosEx("abcde", "abc"), 0u);
}

TEST(ParserLexemes, PositionsOverBlanksAndComments) {
  auto parser = MakeParser<TParser>("a  bc /* x */ 12");
  EXPECT_EQ(ReadAll(*parser), (std::vector<Lexeme>{{LexemIdent, "a", 1, 0, 0},
                                                   {LexemIdent, "bc", 5, 1, 0},
                                                   {LexemComment, " /* x */", 13, 5, 1},
                                                   {LexemNumber, "12", 16, 13, 5},
                                                   {LexemEnd, "", 16, 16, 13}}));

  parser->ToBegin();
  parser->SetOmitComment(true);
  parser->SetOmitBlank(false);
  EXPECT_EQ(ReadAll(*parser), (std::vector<Lexeme>{{LexemIdent, "a", 1, 0, 0},
                                                   {LexemBlank, "  ", 3, 1, 0},
                                                   {LexemIdent, "bc", 5, 3, 1},
                                                   {LexemBlank, " ", 6, 5, 3},
                                                   // the omitted comment joins the next blank run
                                                   {LexemBlank, "/* x */ ", 14, 6, 5},
                                                   {LexemNumber, "12", 16, 14, 6},
                                                   {LexemEnd, "", 16, 16, 14}}));
}

TEST(ParserLexemes, OmittedCommentSkippedWithItsBlanks) {
  EXPECT_EQ(Codes("a /* c */ -- x\n b", true, true), (Pairs{{LexemIdent, "a"}, {13, "-"}, {13, "-"},
                                                             {LexemIdent, "x"}, {LexemIdent, "b"}}));
  EXPECT_EQ(Codes("a\t \r\nb", false), (Pairs{{LexemIdent, "a"}, {LexemBlank, "\t \r\n"}, {LexemIdent, "b"}}));
  EXPECT_EQ(Codes("a // rest\nb"), (Pairs{{LexemIdent, "a"}, {LexemComment, " // rest"}, {LexemIdent, "b"}}));
  // A trailing omitted comment is no lexeme: the end comes with an empty text.
  auto parser = MakeParser<TParser>("a /* c */");
  parser->SetOmitComment(true);
  std::string lexem;
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(parser->GetNext(lexem), LexemEnd);
  EXPECT_EQ(lexem, "");
}

TEST(ParserLexemes, EdgeCasesOfTheBaseTables) {
  EXPECT_EQ(Codes("a<>b"), (Pairs{{LexemIdent, "a"}, {18, "<"}, {20, ">"}, {LexemIdent, "b"}}));
  // "//" as the last two characters is no comment.
  EXPECT_EQ(Codes("a//"), (Pairs{{LexemIdent, "a"}, {15, "/"}, {15, "/"}}));
  EXPECT_EQ(Codes("/*/ x"), (Pairs{{LexemComment, "/*/"}, {LexemIdent, "x"}}));
  EXPECT_EQ(Codes("12.5 12.x 3."), (Pairs{{LexemNumber, "12.5"}, {LexemNumber, "12"}, {14, "."}, {LexemIdent, "x"},
                                          {LexemNumber, "3"}, {14, "."}}));
  EXPECT_EQ(Codes("and Or"), (Pairs{{29, "AND"}, {31, "OR"}}));
  EXPECT_EQ(Codes("_ _a1 {|}~"), (Pairs{{LexemIdent, "_"}, {LexemIdent, "_a1"}, {LexemSymbol, "{"},
                                         {LexemSymbol, "|"}, {LexemSymbol, "}"}, {LexemSymbol, "~"}}));
  EXPECT_EQ(Codes("'it''s' \"q\""), (Pairs{{LexemString, "it"}, {LexemString, "s"}, {LexemString, "q"}}));
  EXPECT_EQ(Codes("'open"), (Pairs{{LexemString, "open"}}));
  EXPECT_EQ(Codes("/* open"), (Pairs{{LexemComment, "/* open"}}));
  EXPECT_EQ(Codes("\xE4\xF6x 1a"), (Pairs{{LexemIdent, "\xE4\xF6x"}, {LexemNumber, "1"}, {LexemIdent, "a"}}));
}

TEST(ParserLexemes, KeywordSwitches) {
  auto parser = MakeParser<TParser>("and");
  parser->SetUppercase(false);
  std::string lexem;
  EXPECT_EQ(parser->GetNext(lexem), 29);
  EXPECT_EQ(lexem, "and");
  parser->ToBegin();
  parser->SetOmitKeywords(true);
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(lexem, "and");
}

TEST(ParserLexemes, QuotedStringKeepsQuotes) {
  auto parser = MakeParser<TParser>("'a b' ''");
  parser->SetQuotedString(true);
  std::string lexem;
  EXPECT_EQ(parser->GetNext(lexem), LexemString);
  EXPECT_EQ(lexem, "'a b'");
  EXPECT_EQ(parser->GetNext(lexem), LexemString);
  EXPECT_EQ(lexem, "''");
}

TEST(ParserLexemes, DecimalSeparatorFromSettingsOrCaller) {
  SettingsGuard guard;
  plat::ProcessFormatSettings().decimal_separator = ',';
  EXPECT_EQ(Codes("1,5 1.5"), (Pairs{{LexemNumber, "1,5"}, {LexemNumber, "1"}, {14, "."}, {LexemNumber, "5"}}));
  auto parser = MakeParser<TParser>("1.5");
  parser->SetDecSeparator(".");
  std::string lexem;
  EXPECT_EQ(parser->GetNext(lexem), LexemNumber);
  EXPECT_EQ(lexem, "1.5");
}

TEST(ParserLexemes, QQuotedStrings) {
  auto read = [](const std::string& text, bool quoted) {
    auto parser = MakeParser<TParser>(text);
    parser->SetQQuotedStrings(true);
    parser->SetQuotedString(quoted);
    Pairs out;
    std::string lexem;
    while (int code = parser->GetNext(lexem)) out.emplace_back(code, lexem);
    return out;
  };
  EXPECT_EQ(read("q'[it's]' x", false), (Pairs{{LexemString, "it's"}, {LexemIdent, "x"}}));
  EXPECT_EQ(read("Q'(a)b)' x", false), (Pairs{{LexemString, "a)b"}, {LexemIdent, "x"}}));
  EXPECT_EQ(read("q'!a!'", true), (Pairs{{LexemString, "q'!a!'"}}));
  EXPECT_EQ(read("q'[]'", false), (Pairs{{LexemString, ""}}));
  EXPECT_EQ(read("q'<ab", false), (Pairs{{LexemString, "ab"}}));
  EXPECT_EQ(read("q'", false), (Pairs{{LexemString, ""}}));
  EXPECT_EQ(read("qq'a'", false), (Pairs{{LexemIdent, "qq"}, {LexemString, "a"}}));
  EXPECT_EQ(Codes("q'[a]'"), (Pairs{{LexemIdent, "q"}, {LexemString, "[a]"}}));
}

TEST(ParserLexemes, LinesAndColumns) {
  auto parser = MakeParser<TParser>("a\r\n b\n\n  c /* \r\n */ d");
  parser->SetOmitComment(true);
  std::string lexem;
  parser->GetNext(lexem);
  EXPECT_EQ(parser->CurrLine(), 0);
  EXPECT_EQ(parser->CurrCol(), 1);
  parser->GetNext(lexem);  // b
  EXPECT_EQ(parser->PrevLine(), 0);
  EXPECT_EQ(parser->CurrLine(), 1);
  EXPECT_EQ(parser->CurrCol(), 2);
  parser->GetNext(lexem);  // c
  EXPECT_EQ(parser->CurrLine(), 3);
  EXPECT_EQ(parser->CurrCol(), 3);
  parser->GetNext(lexem);  // d, behind a comment with a line break
  EXPECT_EQ(lexem, "d");
  EXPECT_EQ(parser->CurrLine(), 4);
  EXPECT_EQ(parser->CurrCol(), 5);
}

TEST(ParserLexemes, CharwiseQuoteSearchCountsLines) {
  auto parser = MakeParser<TParser>("'a\nb' x");
  std::string lexem;
  parser->GetNext(lexem);
  EXPECT_EQ(parser->CurrLine(), 0);  // the fast search counts none
  parser->SetCharwiseQuoteSearch(true);
  parser->ToBegin();
  parser->GetNext(lexem);
  EXPECT_EQ(lexem, "a\nb");
  EXPECT_EQ(parser->CurrLine(), 1);
}

TEST(ParserLexemes, ControlBytesAreBlanks) {
  for (int c : {0, 1, 8, 11, 12, 14, 31, 127}) {
    const std::string text = std::string("a") + static_cast<char>(c) + "b" + static_cast<char>(c);
    auto parser = MakeParser<TParser>(text);
    std::string lexem;
    EXPECT_EQ(parser->GetNext(lexem), LexemIdent) << c;
    EXPECT_EQ(lexem, "a");
    EXPECT_EQ(parser->GetNext(lexem), LexemIdent) << c;
    EXPECT_EQ(lexem, "b");
    EXPECT_EQ(parser->GetNext(lexem), LexemEnd) << c;

    auto blanks = MakeParser<TParser>(text);
    blanks->SetOmitBlank(false);
    blanks->GetNext(lexem);
    EXPECT_EQ(blanks->GetNext(lexem), LexemBlank) << c;
    EXPECT_EQ(lexem, std::string(1, static_cast<char>(c)));
  }
}

TEST(ParserNavigation, BackRereadsTheLexeme) {
  auto parser = MakeParser<TParser>("a\n  b c");
  std::string lexem;
  parser->GetNext(lexem);
  parser->GetNext(lexem);
  EXPECT_EQ(lexem, "b");
  EXPECT_EQ(parser->CurrLine(), 1);
  parser->Back();
  EXPECT_EQ(parser->CurrPos(), 1);
  EXPECT_EQ(parser->CurrLine(), 0);
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(lexem, "b");
  EXPECT_EQ(parser->CurrLine(), 1);
  EXPECT_EQ(parser->CurrCol(), 3);
}

TEST(ParserNavigation, ToLexemByCode) {
  auto parser = MakeParser<TParser>("a , b ; c");
  EXPECT_EQ(parser->ToLexem(17), 17);
  EXPECT_EQ(parser->CurrPos(), 7);
  EXPECT_EQ(parser->ToLexem(12), LexemEnd);
}

TEST(ParserNavigation, ToLexemByTextStopsAtAPrefix) {
  auto parser = MakeParser<TParser>("x selx sel 'select' select y");
  EXPECT_TRUE(parser->ToLexem("SELECT"));
  EXPECT_EQ(parser->CurrPos(), 10);  // "sel" is a prefix of the wanted text
  EXPECT_TRUE(parser->ToLexem("select"));
  EXPECT_EQ(parser->CurrPos(), 26);  // not the string literal
  std::string lexem;
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(lexem, "y");
  EXPECT_FALSE(parser->ToLexem("select"));

  auto symbols = MakeParser<TParser>("a { ( b");
  EXPECT_TRUE(symbols->ToLexem("{"));  // a symbol without entry, by its character
  EXPECT_EQ(symbols->CurrPos(), 3);
  EXPECT_TRUE(symbols->ToLexem("("));
  EXPECT_EQ(symbols->CurrPos(), 5);
  // A control byte is a blank: the search goes past it.
  auto control = MakeParser<TParser>("a \x01\v\f b");
  EXPECT_TRUE(control->ToLexem("b"));
}

TEST(ParserNavigation, ClauseListMustNotBeEmpty) {
  auto parser = MakeParser<TParser>("");
  EXPECT_THROW(parser->IsClauseLexem(1), EAssertionFailed);
  EXPECT_TRUE(parser->IsMacroAllowed(LexemIdent));
  EXPECT_FALSE(parser->IsMacroAllowed(LexemString));
  EXPECT_FALSE(parser->IsNumericMacroNameAllowed());
  EXPECT_FALSE(parser->IsSemicolon(17));
}

TEST(ParserNavigation, SetTextRestarts) {
  auto parser = MakeParser<TParser>("a b");
  std::string lexem;
  parser->GetNext(lexem);
  parser->SetText("  zz");
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(lexem, "zz");
  EXPECT_EQ(parser->PrevPos(), 0);
  EXPECT_EQ(parser->GetChar(3), 'z');
  EXPECT_EQ(parser->GetChar(5), 0);
}

// A dialect: its own tables, '`' as identifier quote, doubled quotes inside strings.
const TLexemList& DialectSymbols() {
  static const TLexemList table{{"<", 1}, {"<>", 2}, {"<>=", 3}, {"`", 4}, {"(", 5}};
  return table;
}
const TLexemList& DialectKeywords() {
  static const TLexemList table{{"SELECT", 10}, {"FROM", 11}};
  return table;
}

class TDialectParser : public TParser {
  DAC_DECLARE_PARSER_CLASS(TDialectParser);

 protected:
  using TParser::TParser;
  void InitParser() override {
    TParser::InitParser();
    symbol_lexems_ = &DialectSymbols();
    keyword_lexems_ = &DialectKeywords();
    clause_lexems_ = {10, 11};
    comment_begin_ = "{";
    comment_end_ = "}";
  }
  bool IsIdentQuote(char c) const override { return c == '`'; }
  void ToRightQuote(char quote) override {
    for (;;) {
      TParser::ToRightQuoteP(quote);
      if (pos_ > text_length_ || GetChar(pos_ + 1) != quote) return;
      pos_ += 2;
    }
  }
};

DAC_DEFINE_PARSER_CLASS(TDialectParser, TParser)

TEST(ParserDialect, RulesHoldFromTheFirstLexeme) {
  const TParserClass& cls = TDialectParser::ParserClass();
  EXPECT_EQ(cls.ClassName(), "TDialectParser");
  EXPECT_TRUE(cls.InheritsFrom(TParser::ClassInfo()));
  std::unique_ptr<TParser> parser = cls.Create(std::string("`and` 'it''s' <>= <>x and {c} select"));
  parser->SetOmitComment(true);
  std::string lexem;
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(lexem, "`and`");
  EXPECT_EQ(parser->GetNext(lexem), LexemString);
  EXPECT_EQ(lexem, "it''s");
  EXPECT_EQ(parser->GetNext(lexem), 3);
  EXPECT_EQ(lexem, "<>=");
  EXPECT_EQ(parser->GetNext(lexem), 2);
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);  // x
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);  // "and" is no keyword here
  EXPECT_EQ(parser->GetNext(lexem), 10);          // the comment is skipped
  EXPECT_EQ(lexem, "SELECT");
  EXPECT_EQ(parser->PosClauseLexem(11), 1);
  EXPECT_FALSE(parser->IsClauseLexem(12));
  EXPECT_EQ(parser->GetKeywordLexems().IndexOf("from"), 0);
}

TEST(ParserDialect, MakeParserGivesTheDialectType) {
  std::unique_ptr<TDialectParser> parser = MakeParser<TDialectParser>("a");
  EXPECT_EQ(&parser->ClassType(), &TDialectParser::ClassInfo());
  EXPECT_EQ(parser->GetCommentBegin(), "{");
}

}  // namespace
}  // namespace dac
