#include "dac/mysql/provider/my_parser.h"

namespace dac {

DAC_DEFINE_PARSER_CLASS(TMyParser, TParser)

namespace {

const TLexemList& MySymbolLexems() {
  static const TLexemList table{{"*", myStar},  {"=", myEqual}, {":", myColon},    {",", myComma},
                                {".", myPoint}, {"/", mySlash}, {";", mySemicolon}};
  return table;
}

const TLexemList& MyKeywordLexems() {
  static const TLexemList table{
      {"AND", myAND},
      {"AS", myAS},
      {"BY", myBY},
      {"CHARSET", myCHARSET},
      {"COLUMNS", myCOLUMNS},
      {"CREATE", myCREATE},
      {"CROSS", myCROSS},
      {"DELETE", myDELETE},
      {"DELIMITER", myDELIMITER},
      {"DESC", myDESC},
      {"DESCRIBE", myDESCRIBE},
      {"EXPLAIN", myEXPLAIN},
      {"FOR", myFOR},
      {"FORCE", myFORCE},
      {"FROM", myFROM},
      {"FUNCTION", myFUNCTION},
      {"GROUP", myGROUP},
      {"HAVING", myHAVING},
      {"IGNORE", myIGNORE},
      {"INNER", myINNER},
      {"INSERT", myINSERT},
      {"INTO", myINTO},
      {"IS", myIS},
      {"JOIN", myJOIN},
      {"LEFT", myLEFT},
      {"LIMIT", myLIMIT},
      {"LOCK", myLOCK},
      {"NATURAL", myNATURAL},
      {"OR", myOR},
      {"ORDER", myORDER},
      {"PRIVILEGES", myPRIVILEGES},
      {"PROCEDURE", myPROCEDURE},
      {"REPLACE", myREPLACE},
      {"RIGHT", myRIGHT},
      {"SELECT", mySELECT},
      {"SHOW", mySHOW},
      {"SLAVE", mySLAVE},
      {"STATUS", mySTATUS},
      {"STRAIGHT_JOIN", mySTRAIGHT_JOIN},
      {"TRIGGER", myTRIGGER},
      {"UPDATE", myUPDATE},
      {"USE", myUSE},
      {"WHERE", myWHERE},
      {"HANDLER", myHANDLER},
      {"SET", mySET},
  };
  return table;
}

}  // namespace

void TMyParser::InitParser() {
  TParser::InitParser();
  symbol_lexems_ = &MySymbolLexems();
  keyword_lexems_ = &MyKeywordLexems();
  comment_begin_ = "/*";
  comment_end_ = "*/";
  clause_lexems_ = {myWHERE, myGROUP, myHAVING, myORDER, myLIMIT, myPROCEDURE, myFOR, myLOCK};
}

// "$" belongs to names, never stands alone.
bool TMyParser::IsSymbol(char c) const { return c != '$' && TParser::IsSymbol(c); }

bool TMyParser::IsAlpha(char c) const { return c == '$' || TParser::IsAlpha(c); }

bool TMyParser::IsStringQuote(char c) const { return c == '\'' || c == '"'; }

bool TMyParser::IsIdentQuote(char c) const { return c == '`'; }

bool TMyParser::IsInlineComment(int position) {
  const char c = GetChar(position);
  if (c == '#') return true;
  return position + 2 <= TextLength() && c == '-' && GetChar(position + 1) == '-' && GetChar(position + 2) == ' ';
}

bool TMyParser::IsSemicolon(int code) { return code == mySemicolon; }

void TMyParser::ToRightQuoteA(char quote) {
  while (pos_ <= text_length_) {
    const char c = GetChar(pos_);
    if (c == quote) return;
    pos_ += c == '\\' ? 2 : 1;
  }
}

void TMyParser::ToRightQuote(char quote) {
  if (!GetCharwiseQuoteSearch() && !IsStreamInput()) {
    ToRightQuoteA(quote);
    return;
  }
  while (pos_ <= text_length_) {
    const char c = GetChar(pos_);
    if (c == quote) return;
    if (c == '\\') {
      pos_ += 2;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && GetChar(pos_ + 1) == '\n') ++pos_;
      ++pos_;
      ++curr_line_;
      curr_line_start_ = pos_;
    } else {
      ++pos_;
    }
  }
}

}  // namespace dac
