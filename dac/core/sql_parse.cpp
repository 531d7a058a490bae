// Parameter references in SQL text: ":name" becomes "?" and a parameter,
// or a renamed reference. The lexer decides what is a reference, so colons
// inside strings and comments are left alone.
#include "dac/core/da_param.h"
#include "dac/core/sql_component.h"
#include "dac/core/sql_owner.h"
#include "dac/framework/classes/update_pair.h"
#include "dac/store/lexer/parser.h"

namespace dac {

std::unique_ptr<TParser> TCustomDASQL::CreateParser(const std::string& sql) { return TParser::ParserClass().Create(sql); }

std::string TCustomDASQL::ParseSQL(const std::string& sql, TDAParams* params, const std::string& rename_prefix) {
  const char left_quote = data_set_ ? data_set_->OwnerLeftQuote() : '"';
  const char right_quote = data_set_ ? data_set_->OwnerRightQuote() : '"';
  std::string result;
  result.reserve(sql.size() + sql.size() / 2);
  std::unique_ptr<TParser> parser = CreateParser(sql);
  parser->SetOmitBlank(false);
  parser->SetOmitComment(true);
  parser->SetQuotedString(true);
  parser->SetDecSeparator(".");
  const auto parse = [&] {
    if (params) params->Clear();
    size_t copied = 0;
    std::string lexem;
    for (int code = parser->GetNext(lexem); code != LexemEnd; code = parser->GetNext(lexem)) {
      if (lexem != ":" || code == LexemString) continue;
      const size_t colon = static_cast<size_t>(parser->CurrPos()) - 1;
      result.append(sql, copied, colon - copied);
      ParseSQLParam(result, *parser, params, left_quote, right_quote, rename_prefix);
      copied = static_cast<size_t>(parser->CurrPos());
    }
    if (copied < sql.size()) result.append(sql, copied);
  };
  if (params) {
    WithinUpdate(*params, parse);
  } else {
    parse();
  }
  return result;
}

void TCustomDASQL::ParseSQLParam(std::string& builder, TParser& parser, TDAParams* params, char left_quote,
                                 char right_quote, const std::string& rename_prefix) {
  const int colon = parser.CurrPos();
  std::string lexem;
  int code = parser.GetNext(lexem);
  const bool at_sign = lexem == "@";
  if (at_sign) code = parser.GetNext(lexem);
  const bool keyword = code > 0 && parser.GetKeywordLexems().IndexOf(lexem) >= 0;
  const bool named = (params || !rename_prefix.empty()) && (code == LexemIdent || code == LexemNumber || keyword);
  if (!named) {
    std::string text;
    parser.CopyText(colon, parser.CurrPos() - colon + 1, text);
    builder += text;
    return;
  }
  std::string name = at_sign ? "@" + lexem : lexem;
  if (name.size() >= 2 && name.front() == left_quote && name.back() == right_quote)
    name = name.substr(1, name.size() - 2);
  if (!params) {
    builder += rename_prefix + name;
    return;
  }
  static_cast<TDAParam*>(params->Add())->SetName(name);
  builder += '?';
}

}  // namespace dac
