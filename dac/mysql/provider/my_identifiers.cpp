#include "dac/mysql/provider/my_identifiers.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "dac/core/server/table_info.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "platform/ascii.h"

namespace dac {

namespace {

// The words the server refuses as bare names, and those it reserves in
// other modes or versions: quoting a word needlessly harms nothing, leaving
// a reserved one bare breaks the statement. Sorted.
constexpr std::string_view kReservedWords[] = {
    "ACCESSIBLE", "ADD", "ALL", "ALTER", "ANALYZE", "AND", "ARRAY", "AS", "ASC", "ASENSITIVE", "BEFORE", "BETWEEN",
    "BIGINT", "BINARY", "BLOB", "BODY", "BOTH", "BY", "CALL", "CASCADE", "CASE", "CHANGE", "CHAR", "CHARACTER",
    "CHECK", "COLLATE", "COLUMN", "CONDITION", "CONSTRAINT", "CONTINUE", "CONVERT", "CREATE", "CROSS", "CUBE",
    "CUME_DIST", "CURRENT_DATE", "CURRENT_ROLE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR",
    "DATABASE", "DATABASES", "DAY_HOUR", "DAY_MICROSECOND", "DAY_MINUTE", "DAY_SECOND", "DEC", "DECIMAL", "DECLARE",
    "DEFAULT", "DELAYED", "DELETE", "DELETE_DOMAIN_ID", "DENSE_RANK", "DESC", "DESCRIBE", "DETERMINISTIC",
    "DISTINCT", "DISTINCTROW", "DIV", "DOUBLE", "DO_DOMAIN_IDS", "DROP", "DUAL", "EACH", "ELSE", "ELSEIF", "ELSIF",
    "EMPTY", "ENCLOSED", "ESCAPED", "EXCEPT", "EXISTS", "EXIT", "EXPLAIN", "FALSE", "FETCH", "FIRST_VALUE", "FLOAT",
    "FLOAT4", "FLOAT8", "FOR", "FORCE", "FOREIGN", "FROM", "FULLTEXT", "FUNCTION", "GENERATED", "GET", "GOTO",
    "GRANT", "GROUP", "GROUPING", "GROUPS", "HAVING", "HIGH_PRIORITY", "HOUR_MICROSECOND", "HOUR_MINUTE",
    "HOUR_SECOND", "IF", "IGNORE", "IGNORE_DOMAIN_IDS", "IN", "INDEX", "INFILE", "INNER", "INOUT", "INSENSITIVE",
    "INSERT", "INT", "INT1", "INT2", "INT3", "INT4", "INT8", "INTEGER", "INTERSECT", "INTERVAL", "INTO",
    "IO_AFTER_GTIDS", "IO_BEFORE_GTIDS", "IS", "ITERATE", "JOIN", "JSON_TABLE", "KEY", "KEYS", "KILL", "LAG",
    "LAST_VALUE", "LATERAL", "LEAD", "LEADING", "LEAVE", "LEFT", "LIKE", "LIMIT", "LINEAR", "LINES", "LOAD",
    "LOCALTIME", "LOCALTIMESTAMP", "LOCK", "LONG", "LONGBLOB", "LONGTEXT", "LOOP", "LOW_PRIORITY", "MASTER_BIND",
    "MASTER_DEMOTE_TO_REPLICA", "MASTER_DEMOTE_TO_SLAVE", "MASTER_SSL_VERIFY_SERVER_CERT", "MATCH", "MAXVALUE",
    "MEDIUMBLOB", "MEDIUMINT", "MEDIUMTEXT", "MEMBER", "MIDDLEINT", "MINUS", "MINUTE_MICROSECOND", "MINUTE_SECOND",
    "MOD", "MODIFIES", "NATURAL", "NOT", "NO_WRITE_TO_BINLOG", "NTH_VALUE", "NTILE", "NULL", "NUMERIC", "OF",
    "OFFSET", "ON", "OPTIMIZE", "OPTIMIZER_COSTS", "OPTION", "OPTIONALLY", "OR", "ORDER", "OTHERS", "OUT", "OUTER",
    "OUTFILE", "OVER", "PACKAGE", "PAGE_CHECKSUM", "PARSE_VCOL_EXPR", "PARTITION", "PERCENT_RANK", "PORTION",
    "PRECISION", "PRIMARY", "PROCEDURE", "PURGE", "RAISE", "RANGE", "RANK", "READ", "READS", "READ_WRITE", "REAL",
    "RECURSIVE", "REFERENCES", "REF_SYSTEM_ID", "REGEXP", "RELEASE", "RENAME", "REPEAT", "REPLACE", "REQUIRE",
    "RESIGNAL", "RESTRICT", "RETURN", "RETURNING", "REVOKE", "RIGHT", "RLIKE", "ROWNUM", "ROWS", "ROWTYPE",
    "ROW_NUMBER", "SCHEMA", "SCHEMAS", "SECOND_MICROSECOND", "SELECT", "SENSITIVE", "SEPARATOR", "SET", "SHOW",
    "SIGNAL", "SMALLINT", "SPATIAL", "SPECIFIC", "SQL", "SQLEXCEPTION", "SQLSTATE", "SQLWARNING", "SQL_BIG_RESULT",
    "SQL_CALC_FOUND_ROWS", "SQL_SMALL_RESULT", "SSL", "STARTING", "STATS_AUTO_RECALC", "STATS_PERSISTENT",
    "STATS_SAMPLE_PAGES", "STORED", "STRAIGHT_JOIN", "SYSDATE", "SYSTEM", "TABLE", "TERMINATED", "THEN", "TINYBLOB",
    "TINYINT", "TINYTEXT", "TO", "TRAILING", "TRIGGER", "TRUE", "UNDO", "UNION", "UNIQUE", "UNLOCK", "UNSIGNED",
    "UPDATE", "USAGE", "USE", "USING", "UTC_DATE", "UTC_TIME", "UTC_TIMESTAMP", "VALUES", "VARBINARY", "VARCHAR",
    "VARCHARACTER", "VARYING", "VIRTUAL", "WHEN", "WHERE", "WHILE", "WINDOW", "WITH", "WRITE", "XOR", "YEAR_MONTH",
    "ZEROFILL",
};

constexpr char kPartSeparator = '\1';

bool IsQuoteChar(char c) { return c == '`' || c == '"' || c == '\''; }

bool IsPlainNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$';
}

// The position after the quoted part that opens at text[open], after its
// closing quote; npos when it is not closed.
size_t PastQuoted(std::string_view text, size_t open, TMyCharsetKind kind) {
  const char quote = text[open];
  size_t i = open + 1;
  while (i < text.size()) {
    const size_t length = CharacterLength(kind, text, i);
    if (length > 1) {
      i += length;
    } else if (text[i] != quote) {
      ++i;
    } else if (i + 1 < text.size() && text[i + 1] == quote) {
      i += 2;
    } else {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

void Collect(std::string& list, const std::string& part) { list.insert(0, part + kPartSeparator); }

std::string UnbracketPart(std::string_view part, bool collect, std::string& list) {
  std::string result(part);
  if (part.size() >= 3 && IsQuotedIdentifier(part)) {
    const std::string bare = UnquoteIdentifier(part);
    if (!IdentifierNeedsQuotes(bare)) result = bare;
  }
  if (collect) Collect(list, result);
  return result;
}

std::string Unbracket(std::string_view name, bool collect, std::string& list) {
  const std::vector<std::string> parts = SplitName(name);
  if (parts.size() == 1) return UnbracketPart(name, collect, list);
  std::string result;
  for (size_t i = 0; i < parts.size(); ++i) {
    // A leading point has no left part: what follows comes back alone.
    if (i == 0 && parts[0].empty()) continue;
    const std::string part = UnbracketPart(parts[i], true, list);
    result += result.empty() && (i == 0 || parts[0].empty()) ? part : "." + part;
  }
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

bool HasEmptyPart(const std::vector<std::string>& parts) {
  return parts.size() > 1 && std::any_of(parts.begin(), parts.end(), [](const std::string& p) { return p.empty(); });
}

std::string BracketPart(std::string_view part, bool force) {
  if (part.empty()) return std::string();
  if (IsQuotedIdentifier(part)) return part.front() == '`' ? std::string(part) : QuoteIdentifier(UnquoteIdentifier(part));
  return IdentifierIfNeeded(part, force);
}

}  // namespace

bool IsReservedWord(std::string_view word) {
  const std::string upper = plat::AsciiUpperCase(word);
  return std::binary_search(std::begin(kReservedWords), std::end(kReservedWords), std::string_view(upper));
}

bool IdentifierNeedsQuotes(std::string_view bare) {
  if (bare.empty()) return false;
  if (bare.front() >= '0' && bare.front() <= '9') return true;
  if (!std::all_of(bare.begin(), bare.end(), IsPlainNameChar)) return true;
  return IsReservedWord(bare);
}

bool IsQuotedIdentifier(std::string_view text, TMyCharsetKind kind) {
  return text.size() >= 2 && IsQuoteChar(text.front()) && PastQuoted(text, 0, kind) == text.size() &&
         text.back() == text.front();
}

std::string QuoteIdentifier(std::string_view bare, TMyCharsetKind kind) {
  std::string out = "`";
  for (size_t i = 0; i < bare.size();) {
    const size_t length = CharacterLength(kind, bare, i);
    out.append(bare.substr(i, length));
    if (length == 1 && bare[i] == '`') out += '`';
    i += length;
  }
  // A last byte that starts a character with the closing backquote would
  // leave the identifier open.
  if (!bare.empty() && CharacterLength(kind, std::string(bare.substr(bare.size() - 1)) + "`", 0) > 1)
    DatabaseError("The name \"" + std::string(bare) + "\" is not a valid name in its character set");
  out += '`';
  return out;
}

std::string IdentifierIfNeeded(std::string_view bare, bool force, TMyCharsetKind kind) {
  if (bare.empty()) return std::string();
  if (force || IdentifierNeedsQuotes(bare)) return QuoteIdentifier(bare, kind);
  return std::string(bare);
}

std::string UnquoteIdentifier(std::string_view text, TMyCharsetKind kind) {
  if (!IsQuotedIdentifier(text, kind)) return std::string(text);
  const char quote = text.front();
  std::string out;
  for (size_t i = 1; i + 1 < text.size();) {
    const size_t length = CharacterLength(kind, text, i);
    out.append(text.substr(i, length));
    // A well-formed identifier holds its quote only doubled.
    i += length == 1 && text[i] == quote ? 2 : length;
  }
  return out;
}

std::vector<std::string> SplitName(std::string_view text, TMyCharsetKind kind) {
  std::vector<std::string> parts;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (i == start && IsQuoteChar(text[i])) {
      i = std::min(PastQuoted(text, i, kind), text.size());
    } else if (text[i] == '.') {
      parts.emplace_back(text.substr(start, i - start));
      start = ++i;
    } else {
      i += CharacterLength(kind, text, i);
    }
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

std::string NormalizeQualifiedName(std::string_view text, bool force, TMyCharsetKind kind) {
  if (text.empty()) return std::string();
  const std::vector<std::string> parts = SplitName(text, kind);
  if (HasEmptyPart(parts)) return QuoteIdentifier(text, kind);
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += '.';
    out += IdentifierIfNeeded(UnquoteIdentifier(part, kind), force, kind);
  }
  return out;
}

bool IsQuotedName(std::string_view name) {
  return name.size() >= 2 && IsQuoteChar(name.front()) && name.back() == name.front();
}

bool IsBracketPresent(std::string_view name) {
  DAC_ASSERT(SplitName(name).size() == 1, "In func IsBracketPresent delimited values not allowed");
  return IsQuotedName(name);
}

std::string Unbracket(std::string_view name) {
  if (IsBracketPresent(name)) return std::string(name.substr(1, name.size() - 2));
  return std::string(name);
}

std::string BracketIfNeed(std::string_view name, bool force) {
  const std::vector<std::string> parts = SplitName(name);
  if (parts.size() == 1) return BracketPart(name, force);
  if (HasEmptyPart(parts)) return QuoteIdentifier(name);
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : ".") + BracketPart(part, false);
  return out;
}

std::string BracketIfNeed(std::string_view name, char, char, bool force) { return BracketIfNeed(name, force); }

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
