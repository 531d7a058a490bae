// The lexer of an XML tag's attribute list: TParser whose symbol table holds
// only ":" and "=", and which never looks identifiers up as keywords. Every
// other symbol character ("<", ">", "/", ...) comes back as LexemSymbol.
#pragma once

#include "dac/store/lexer/parser.h"

namespace dac {

constexpr int kXmlColon = 16;
constexpr int kXmlEqual = 19;

// Built once, safe to share between threads.
const TLexemList& XmlSymbolLexems();

class TXmlParser : public TParser {
  DAC_DECLARE_PARSER_CLASS(TXmlParser);

 protected:
  using TParser::TParser;
  void InitParser() override;
  // XML's white space only: any other control byte is no XML.
  bool IsBlank(char c) const override;
};

}  // namespace dac
