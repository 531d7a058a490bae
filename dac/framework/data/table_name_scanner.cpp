#include "dac/framework/data/table_name_scanner.h"

#include "platform/ascii.h"

namespace dac {

namespace {

bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || c == '_' || c == '$' ||
         u >= 0x80;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Just past a quoted run that opens at i: a doubled closing character stands
// for itself, and in strings a backslash escapes the next character.
size_t SkipQuoted(const std::string& sql, size_t i, char close, bool backslash_escapes) {
  for (size_t j = i + 1; j < sql.size(); ++j) {
    if (backslash_escapes && sql[j] == '\\') {
      ++j;
    } else if (sql[j] == close) {
      if (j + 1 < sql.size() && sql[j + 1] == close) {
        ++j;
      } else {
        return j + 1;
      }
    }
  }
  return sql.size();
}

// Just past a comment that opens at i; i itself when none does.
size_t SkipComment(const std::string& sql, size_t i) {
  if (sql.compare(i, 2, "--") == 0) {
    const size_t end = sql.find('\n', i);
    return end == std::string::npos ? sql.size() : end + 1;
  }
  if (sql.compare(i, 2, "/*") == 0) {
    const size_t end = sql.find("*/", i + 2);
    return end == std::string::npos ? sql.size() : end + 2;
  }
  return i;
}

// A name of parts joined by ".", each plain or quoted; "" when none starts at i.
std::string ReadQualifiedName(const std::string& sql, size_t i) {
  std::string name;
  for (;;) {
    const size_t start = i;
    const char c = i < sql.size() ? sql[i] : '\0';
    if (c == '"' || c == '`') {
      i = SkipQuoted(sql, i, c, false);
    } else if (c == '[') {
      i = SkipQuoted(sql, i, ']', false);
    } else {
      while (i < sql.size() && IsNameChar(sql[i])) ++i;
    }
    if (i == start) return "";
    name += sql.substr(start, i - start);
    if (i >= sql.size() || sql[i] != '.') return name;
    name += '.';
    ++i;
  }
}

}  // namespace

std::string GetTableNameFromSQL(const std::string& sql) {
  bool after_from = false;
  size_t i = 0;
  while (i < sql.size()) {
    const size_t past_comment = SkipComment(sql, i);
    if (past_comment != i) {
      i = past_comment;
      continue;
    }
    const char c = sql[i];
    if (IsBlank(c)) {
      ++i;
    } else if (after_from) {
      return ReadQualifiedName(sql, i);
    } else if (c == '\'' || c == '"') {
      i = SkipQuoted(sql, i, c, true);
    } else if (c == '`' || c == '[') {
      i = SkipQuoted(sql, i, c == '[' ? ']' : c, false);
    } else if (IsNameChar(c)) {
      const size_t start = i;
      while (i < sql.size() && IsNameChar(sql[i])) ++i;
      after_from = plat::SameText(sql.substr(start, i - start), "FROM");
    } else {
      ++i;
    }
  }
  return "";
}

}  // namespace dac
