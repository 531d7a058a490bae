#include "dac/store/xml/xml_parser.h"

namespace dac {

DAC_DEFINE_PARSER_CLASS(TXmlParser, TParser)

const TLexemList& XmlSymbolLexems() {
  static const TLexemList table{{":", kXmlColon}, {"=", kXmlEqual}};
  return table;
}

namespace {

const TLexemList& NoKeywords() {
  static const TLexemList table;
  return table;
}

}  // namespace

bool TXmlParser::IsBlank(char c) const { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

void TXmlParser::InitParser() {
  TParser::InitParser();
  symbol_lexems_ = &XmlSymbolLexems();
  keyword_lexems_ = &NoKeywords();
  SetOmitKeywords(true);
}

}  // namespace dac
