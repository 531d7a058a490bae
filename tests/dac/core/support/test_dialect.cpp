#include "tests/dac/core/support/test_dialect.h"

namespace dac::test {

DAC_DEFINE_PARSER_CLASS(TestDialectParser, TParser)

namespace {

const TLexemList& Symbols() {
  static const TLexemList table{{"*", 1}, {"=", 2}, {":", 3}, {",", 4}, {".", 5}, {"/", 6}, {";", 7}};
  return table;
}

const TLexemList& Keywords() {
  static const TLexemList table{
      {"AND", 8},         {"AS", 9},          {"BY", 10},        {"CHARSET", 11},    {"COLUMNS", 12},
      {"CREATE", 13},     {"CROSS", 14},      {"DELETE", 15},    {"DELIMITER", 16},  {"DESC", 17},
      {"DESCRIBE", 18},   {"EXPLAIN", 19},    {"FOR", 20},       {"FORCE", 21},      {"FROM", 22},
      {"FUNCTION", 23},   {"GROUP", 24},      {"HAVING", 25},    {"IGNORE", 26},     {"INNER", 27},
      {"INSERT", 28},     {"INTO", 29},       {"IS", 30},        {"JOIN", 31},       {"LEFT", 32},
      {"LIMIT", 33},      {"LOCK", 34},       {"NATURAL", 35},   {"OR", 36},         {"ORDER", 37},
      {"PRIVILEGES", 38}, {"PROCEDURE", 39},  {"REPLACE", 40},   {"RIGHT", 41},      {"SELECT", 42},
      {"SHOW", 43},       {"SLAVE", 44},      {"STATUS", 45},    {"STRAIGHT_JOIN", 46}, {"TRIGGER", 47},
      {"UPDATE", 48},     {"USE", 49},        {"WHERE", 50},     {"HANDLER", 51},    {"SET", 52}};
  return table;
}

}  // namespace

void TestDialectParser::InitParser() {
  TParser::InitParser();
  symbol_lexems_ = &Symbols();
  keyword_lexems_ = &Keywords();
  clause_lexems_ = {50, 24, 25, 37, 33, 39, 20, 34};
  comment_begin_ = "/*";
  comment_end_ = "*/";
}

bool TestDialectParser::IsInlineComment(int position) {
  if (GetChar(position) == '#') return true;
  return position + 3 <= TextLength() + 1 && GetChar(position) == '-' && GetChar(position + 1) == '-' &&
         GetChar(position + 2) == ' ';
}

}  // namespace dac::test
