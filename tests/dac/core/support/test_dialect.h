// The SQL dialect of the data-access tests: the keyword codes and clause
// order of the MySQL lexer (SELECT 42, WHERE 50, ORDER 37, BY 10, ...), its
// seven symbols (";" 7 ends a statement), its quotes and its comments ("#"
// and "-- " to the end of the line, "/* */"). Brackets are no symbols of the
// table: they arrive as plain symbol lexemes.
#pragma once

#include "dac/store/lexer/parser.h"

namespace dac::test {

inline constexpr int kSelectCode = 42;
inline constexpr int kWhereCode = 50;
inline constexpr int kOrderCode = 37;
inline constexpr int kByCode = 10;

class TestDialectParser : public TParser {
  DAC_DECLARE_PARSER_CLASS(TestDialectParser);

 public:
  bool IsAlpha(char c) const override { return c == '$' || TParser::IsAlpha(c); }
  bool IsStringQuote(char c) const override { return c == '\'' || c == '"'; }
  bool IsIdentQuote(char c) const override { return c == '`'; }
  bool IsInlineComment(int position) override;
  bool IsSemicolon(int code) override { return code == 7; }

 protected:
  using TParser::TParser;
  void InitParser() override;
};

}  // namespace dac::test
