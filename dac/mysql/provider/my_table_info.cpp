#include "dac/mysql/provider/my_table_info.h"

#include <algorithm>

#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TMyTableInfo, TDKTableInfo, TMyTableInfoClass)

namespace {

bool IsPlainNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$' ||
         c == '#' || c == '@';
}

bool IsQuoteChar(char c) { return c == '`' || c == '"' || c == '\''; }

}  // namespace

std::string TMyTableInfoClass::NormalizeName(std::string_view value, bool quote_names) const {
  return NormalizeName(value, '`', '`', quote_names);
}

bool TMyTableInfoClass::IsQuoted(std::string_view value) const {
  DAC_ASSERT(value.find('.') == std::string_view::npos, "In func IsQuotedName delimited values not allowed");
  return value.size() >= 2 && IsQuoteChar(value.front()) && value.back() == value.front();
}

bool TMyTableInfoClass::QuotesNeeded(std::string_view value) const {
  DAC_ASSERT(value.find('.') == std::string_view::npos, "In func IsBracketNeeds delimited values not allowed");
  const std::string name = UnQuote(value);
  if (name.empty()) return false;
  if (name.front() >= '0' && name.front() <= '9') return true;
  return !std::all_of(name.begin(), name.end(), IsPlainNameChar);
}

}  // namespace dac
