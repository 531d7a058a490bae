#include "dac/store/lexer/bool_parser.h"

namespace dac {

DAC_DEFINE_PARSER_CLASS(TBoolParser, TParser)

const TLexemList& FilterSymbolLexems() {
  static const TLexemList table{{"=", flEqual},     {">", flMore},      {"<", flLess},         {">=", flMoreEqual},
                                {"<=", flLessEqual}, {"<>", flNoEqual},  {"(", flOpen},         {")", flClose},
                                {"-", flMinus},      {"+", flPlus},      {"[", flLeftBracket},  {"]", flRightBracket}};
  return table;
}

const TLexemList& FilterKeywordLexems() {
  static const TLexemList table{{"AND", flAnd}, {"FALSE", flFalse}, {"IS", flIs},   {"LIKE", flLike},
                                {"NOT", flNot}, {"NULL", flNull},   {"OR", flOr},   {"TRUE", flTrue}};
  return table;
}

void TBoolParser::InitParser() {
  TParser::InitParser();
  symbol_lexems_ = &FilterSymbolLexems();
  keyword_lexems_ = &FilterKeywordLexems();
}

void TBoolParser::ToRightQuote(char quote) {
  // A doubled apostrophe is stepped over wherever it stands, also right
  // after the opening quote, so '''' is the text of one apostrophe.
  for (;;) {
    if (GetChar(pos_) == '\'' && GetChar(pos_ + 1) == '\'') {
      pos_ += 2;
      continue;
    }
    if (pos_ > text_length_ || GetChar(pos_) == quote) return;
    ++pos_;
  }
}

}  // namespace dac
