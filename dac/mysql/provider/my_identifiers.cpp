#include "dac/mysql/provider/my_identifiers.h"

#include "dac/core/server/table_info.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "dac/mysql/provider/my_table_info.h"

namespace dac {

namespace {

const TMyTableInfoClass& Rules() { return TMyTableInfo::InfoClass(); }

constexpr char kPartSeparator = '\1';

// The text inside the quotes, each right quote doubled.
std::string Enclose(std::string_view name, char left_quote, char right_quote) {
  std::string out(1, left_quote);
  for (char c : name) {
    out += c;
    if (c == right_quote) out += c;
  }
  out += right_quote;
  return out;
}

void Collect(std::string& list, const std::string& part) { list.insert(0, part + kPartSeparator); }

std::string Unbracket(std::string_view name, bool collect, std::string& list) {
  if (name.size() < 3) {
    if (collect && name.find('.') == std::string_view::npos) Collect(list, std::string(name));
    return std::string(name);
  }
  const size_t point = name.find('.');
  if (point != std::string_view::npos) {
    // A leading point has no left part: just the right one comes back.
    const std::string left = point == 0 ? std::string() : Unbracket(name.substr(0, point), true, list);
    const std::string right = Unbracket(name.substr(point + 1), true, list);
    return point == 0 ? right : left + "." + right;
  }
  std::string result(name);
  if (Rules().IsQuoted(name) && !Rules().QuotesNeeded(name)) result = std::string(name.substr(1, name.size() - 2));
  if (collect) Collect(list, result);
  return result;
}

// The next part of a gathered list, removed from it.
std::string TakePart(std::string& list) {
  const size_t end = list.find(kPartSeparator);
  if (end == std::string::npos) return std::exchange(list, std::string());
  std::string part = list.substr(0, end);
  list.erase(0, end + 1);
  return part;
}

}  // namespace

bool IsQuotedName(std::string_view name) {
  return name.size() >= 2 && (name.front() == '`' || name.front() == '"' || name.front() == '\'') &&
         name.back() == name.front();
}

bool IsBracketPresent(std::string_view name) {
  DAC_ASSERT(name.find('.') == std::string_view::npos, "In func IsBracketPresent delimited values not allowed");
  return IsQuotedName(name);
}

std::string Unbracket(std::string_view name) {
  if (IsBracketPresent(name)) return std::string(name.substr(1, name.size() - 2));
  return std::string(name);
}

std::string BracketIfNeed(std::string_view name, bool force) { return BracketIfNeed(name, '`', '`', force); }

std::string BracketIfNeed(std::string_view name, char left_quote, char right_quote, bool force) {
  const size_t point = name.find('.');
  if (point != std::string_view::npos && point != 0 && point != name.size() - 1)
    return BracketIfNeed(name.substr(0, point), false) + "." + BracketIfNeed(name.substr(point + 1), false);
  if (point != std::string_view::npos) return Enclose(name, left_quote, right_quote);
  if (Rules().IsQuoted(name)) return std::string(name);
  if (!force && !Rules().QuotesNeeded(name)) return std::string(name);
  return Enclose(name, left_quote, right_quote);
}

std::string UnbracketIfPossible(std::string_view name) {
  std::string unused;
  return Unbracket(name, false, unused);
}

std::string UnbracketIfPossible(std::string_view name, std::string& list) { return Unbracket(name, true, list); }

std::string UnbracketIfPossible(std::string_view name, std::string& first, std::string& second) {
  std::string list;
  const std::string result = Unbracket(name, true, list);
  second = TakePart(list);
  first = TakePart(list);
  return result;
}

std::string EscapeBackquotes(std::string_view name) {
  if (name.empty()) return std::string();
  size_t low = 0;
  size_t high = name.size() - 1;
  if (IsQuotedName(name)) {
    low = 1;
    high = name.size() - 2;
  }
  std::string out(name.substr(0, low));
  for (size_t i = low; i <= high && i < name.size(); ++i) {
    const char c = name[i];
    out += c;
    const bool kept = i == 0 || i + 1 >= high || name[i - 1] == '`' || (i + 1 < name.size() && name[i + 1] == '`');
    if (c == '`' && !kept) out += c;
  }
  out += name.substr(high + 1);
  return out;
}

std::string GenerateTableName(std::string_view database, std::string_view table, std::string_view current_database) {
  if (!database.empty() && database != current_database) return BracketIfNeed(database) + "." + BracketIfNeed(table);
  return BracketIfNeed(table);
}

std::string GenerateTableName(const TMySQLFieldDesc& field) {
  return field.GetTableInfo() ? field.GetTableInfo()->GetTableNameFull() : std::string();
}

}  // namespace dac
