// TMyParser: the lexer's rules for MySQL's SQL dialect. Strings in single
// or double quotes with backslash escapes, identifiers in backquotes, "$"
// inside names, "#" and "-- " line comments and "/*" "*/" block comments,
// ";" between statements, and the order of a SELECT's clauses.
//
//   auto parser = MakeParser<TMyParser>(sql);
#pragma once

#include "dac/store/lexer/parser.h"

namespace dac {

// The codes of the MySQL symbol and keyword tables.
enum : int {
  myStar = 1,
  myEqual,
  myColon,
  myComma,
  myPoint,
  mySlash,
  mySemicolon,  // 7
  myAND,
  myAS,
  myBY,
  myCHARSET,
  myCOLUMNS,
  myCREATE,
  myCROSS,
  myDELETE,
  myDELIMITER,
  myDESC,
  myDESCRIBE,
  myEXPLAIN,
  myFOR,  // 20
  myFORCE,
  myFROM,
  myFUNCTION,
  myGROUP,
  myHAVING,
  myIGNORE,
  myINNER,
  myINSERT,
  myINTO,
  myIS,  // 30
  myJOIN,
  myLEFT,
  myLIMIT,
  myLOCK,
  myNATURAL,
  myOR,
  myORDER,
  myPRIVILEGES,
  myPROCEDURE,
  myREPLACE,  // 40
  myRIGHT,
  mySELECT,
  mySHOW,
  mySLAVE,
  mySTATUS,
  mySTRAIGHT_JOIN,
  myTRIGGER,
  myUPDATE,
  myUSE,
  myWHERE,  // 50
  myHANDLER,
  mySET,
};

class TMyParser : public TParser {
  DAC_DECLARE_PARSER_CLASS(TMyParser);

 public:
  bool IsSymbol(char c) const override;
  bool IsAlpha(char c) const override;
  bool IsStringQuote(char c) const override;
  bool IsIdentQuote(char c) const override;
  bool IsInlineComment(int position) override;
  bool IsSemicolon(int code) override;

 protected:
  using TParser::TParser;
  void InitParser() override;
  // A quote after an odd run of backslashes is part of the string.
  void ToRightQuoteA(char quote) override;
  void ToRightQuote(char quote) override;
};

}  // namespace dac
