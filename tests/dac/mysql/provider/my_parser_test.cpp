// The MySQL lexer rules over texts and streams.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dac/framework/classes/streams.h"
#include "dac/mysql/provider/my_parser.h"

namespace dac {
namespace {

using Lexems = std::vector<std::pair<int, std::string>>;

Lexems Read(TParser& parser) {
  Lexems out;
  std::string lexem;
  while (int code = parser.GetNext(lexem)) out.emplace_back(code, lexem);
  return out;
}

Lexems ReadText(const std::string& sql) {
  auto parser = MakeParser<TMyParser>(sql);
  parser->SetQuotedString(true);
  parser->SetOmitComment(true);
  return Read(*parser);
}

TEST(MyParser, ReadsTheDialectsLexems) {
  const std::vector<std::pair<std::string, Lexems>> cases = {
      {"'it\\'s' \"a\\\"b\"", {{LexemString, "'it\\'s'"}, {LexemString, "\"a\\\"b\""}}},
      {"'a\\\\' x", {{LexemString, "'a\\\\'"}, {LexemIdent, "x"}}},
      {"a --b", {{LexemIdent, "a"}, {LexemSymbol, "-"}, {LexemSymbol, "-"}, {LexemIdent, "b"}}},
      {"a -- b\nc # d\ne", {{LexemIdent, "a"}, {LexemIdent, "c"}, {LexemIdent, "e"}}},
      {"/* x ; */ `my table`.$var", {{LexemIdent, "`my table`"}, {myPoint, "."}, {LexemIdent, "$var"}}},
      {"select 1; set", {{mySELECT, "SELECT"}, {LexemNumber, "1"}, {mySemicolon, ";"}, {mySET, "SET"}}},
      {"handler t", {{myHANDLER, "HANDLER"}, {LexemIdent, "t"}}},
      {"a:=b*c/d,e", {{LexemIdent, "a"}, {myColon, ":"}, {myEqual, "="}, {LexemIdent, "b"}, {myStar, "*"},
                      {LexemIdent, "c"}, {mySlash, "/"}, {LexemIdent, "d"}, {myComma, ","}, {LexemIdent, "e"}}},
      {"'unterminated \\'", {{LexemString, "'unterminated \\'"}}},
  };
  for (const auto& [sql, expected] : cases) EXPECT_EQ(ReadText(sql), expected) << sql;
}

TEST(MyParser, SemicolonEndsAStatementAndClausesKeepTheirOrder) {
  auto parser = MakeParser<TMyParser>("SELECT a FROM t WHERE b = 1 ORDER BY a LIMIT 5");
  EXPECT_TRUE(parser->IsSemicolon(mySemicolon));
  EXPECT_FALSE(parser->IsSemicolon(myComma));
  const std::vector<int> order = {myWHERE, myGROUP, myHAVING, myORDER, myLIMIT, myPROCEDURE, myFOR, myLOCK};
  EXPECT_EQ(parser->GetClauseLexems(), order);
  EXPECT_EQ(parser->ToLexem(myORDER), myORDER);
  EXPECT_LT(parser->PosClauseLexem(myWHERE), parser->PosClauseLexem(myLIMIT));
  EXPECT_FALSE(parser->IsClauseLexem(mySELECT));
}

TEST(MyParser, CharacterWiseSearchCountsLinesInsideStrings) {
  const std::string sql = "SELECT 'a\r\nb\\'\nc' , x";
  for (bool stream : {false, true}) {
    TMemoryStream input;
    input.Write(sql.data(), static_cast<int64_t>(sql.size()));
    auto parser = stream ? MakeParser<TMyParser>(input) : MakeParser<TMyParser>(sql);
    parser->SetCharwiseQuoteSearch(true);
    parser->SetQuotedString(true);
    parser->SetBlockSize(4);
    const Lexems lexems = Read(*parser);
    ASSERT_EQ(lexems.size(), 4u) << stream;
    EXPECT_EQ(lexems[1].second, "'a\r\nb\\'\nc'");
    EXPECT_EQ(parser->CurrLine(), 2);
  }
}

}  // namespace
}  // namespace dac
