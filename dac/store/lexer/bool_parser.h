// The lexer of filter texts: TParser with the filter's own symbol and
// keyword tables. String literals take a doubled apostrophe as one
// apostrophe of the text; the lexeme keeps it doubled.
#pragma once

#include "dac/store/lexer/parser.h"

namespace dac {

// Codes of the filter tables; the lexer's own classes (LexemIdent, ...) come too.
enum TFilterLexem : int {
  flEqual = 1,
  flMore = 2,
  flLess = 3,
  flMoreEqual = 4,
  flLessEqual = 5,
  flNoEqual = 6,
  flOpen = 7,
  flClose = 8,
  flMinus = 9,
  flPlus = 10,
  flLeftBracket = 11,
  flRightBracket = 12,
  flAnd = 13,  // keywords from here on, matched without case
  flFalse = 14,
  flIs = 15,
  flLike = 16,
  flNot = 17,
  flNull = 18,
  flOr = 19,
  flTrue = 20,
};

// Built once, safe to share between threads.
const TLexemList& FilterSymbolLexems();
const TLexemList& FilterKeywordLexems();

class TBoolParser : public TParser {
  DAC_DECLARE_PARSER_CLASS(TBoolParser);

 protected:
  using TParser::TParser;
  void InitParser() override;
  void ToRightQuote(char quote) override;
};

}  // namespace dac
