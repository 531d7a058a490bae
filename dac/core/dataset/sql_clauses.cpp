#include "dac/core/dataset/sql_clauses.h"

#include <algorithm>
#include <memory>

#include "dac/core/data_access_globals.h"
#include "dac/store/lexer/parser.h"
#include "platform/ascii.h"

namespace dac {

namespace {

std::string Trim(const std::string& text) { return std::string(plat::TrimBlanks(text)); }

// Lexer positions are 1-based character indexes; these edit at a position
// (text inserted in front of the character at that index) and clamp what
// lies beyond the text, so that no lexer position can reach outside it.
void InsertAt(std::string& text, int position, const std::string& what) {
  const size_t offset = static_cast<size_t>(std::clamp(position - 1, 0, static_cast<int>(text.size())));
  text.insert(offset, what);
}

void DeleteRange(std::string& text, int first, int last) {
  const int size = static_cast<int>(text.size());
  first = std::max(first, 1);
  last = std::min(last, size);
  if (first > last) return;
  text.erase(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

std::string CopyRange(const std::string& text, int first, int last) {
  first = std::max(first, 1);
  last = std::min(last, static_cast<int>(text.size()));
  if (first > last) return "";
  return text.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

// Reads lexemes after the first SELECT and knows, for the lexeme just read,
// the bracket depth and whether it is a macro's name (it follows the macro
// character directly), so that only real clause keywords count.
class ClauseScanner {
 public:
  ClauseScanner(const TParserClass& parser_class, const std::string& sql) : parser_(parser_class.Create(sql)) {}

  TParser& Parser() { return *parser_; }

  // False when the text holds no SELECT.
  bool ToSelect(int select_code) {
    state_.code = parser_->ToLexem(select_code);
    return state_.code == select_code;
  }

  int Next() {
    saved_ = state_;
    state_.prev_code = state_.code;
    const bool prev_is_macro_char =
        state_.code != LexemString && state_.lexem.size() == 1 && state_.lexem[0] == MacroChar;
    state_.code = parser_->GetNext(state_.lexem);
    const bool adjacent = parser_->CurrPos() - static_cast<int>(state_.lexem.size()) == parser_->PrevPos();
    state_.macro_name = prev_is_macro_char && adjacent;
    if (state_.code != LexemString && state_.code != LexemComment) {
      if (state_.lexem == "(") ++state_.depth;
      if (state_.lexem == ")") --state_.depth;
    }
    return state_.code;
  }
  // The lexeme just read is read again by the next Next.
  void Back() {
    parser_->Back();
    state_ = saved_;
  }

  int Code() const { return state_.code; }
  int PrevCode() const { return state_.prev_code; }
  bool AtEnd() const { return state_.code == LexemEnd; }
  // The lexeme just read is the clause keyword of the statement itself.
  bool At(int clause_code) const { return state_.code == clause_code && Counts(); }
  bool AtClause() const { return Counts() && parser_->IsClauseLexem(state_.code); }
  // A clause that comes after the given one in the dialect's clause order.
  bool AtClauseAfter(int clause_code) const {
    return Counts() && parser_->PosClauseLexem(state_.code) > parser_->PosClauseLexem(clause_code);
  }

 private:
  struct State {
    int code = LexemEnd;
    int prev_code = LexemEnd;
    std::string lexem;
    int depth = 0;
    bool macro_name = false;
  };

  bool Counts() const { return state_.depth == 0 && !state_.macro_name; }

  std::unique_ptr<TParser> parser_;
  State state_;
  State saved_;
};

// Where the WHERE condition starts, and where the scan for it stopped: at
// the clause after it (stopped_at_clause) or at the end of the text.
struct WhereScan {
  bool has_where = false;
  int where_pos = 0;
  bool stopped_at_clause = false;
};

WhereScan ScanWhere(ClauseScanner& scanner, int where_code) {
  WhereScan scan;
  while (scanner.Next() != LexemEnd) {
    if (scanner.At(where_code)) {
      scan.has_where = true;
      scan.where_pos = scanner.Parser().CurrPos() + 2;
    } else if (scanner.AtClause()) {
      scan.stopped_at_clause = true;
      break;
    }
  }
  return scan;
}

// Blank lexemes are read (blank skipping off, comments skipped) by the two
// clause setters: the result's range runs from `start` to `blank_start`, the
// first blank after the clause's last lexeme (0: the clause runs to the end).
struct ClauseRange {
  int start = 0;
  int blank_start = 0;
  // The keyword is directly followed by the old text: the new one needs a blank.
  bool glued = false;
};

void TrackBlank(ClauseScanner& scanner, ClauseRange& range) {
  if (scanner.Code() == LexemBlank || scanner.Code() == LexemComment) {
    if (range.blank_start == 0) range.blank_start = scanner.Parser().PrevPos();
  } else {
    range.blank_start = 0;
  }
}

// The clause setters read blanks as lexemes and skip comments; the scan
// starts on the first lexeme after SELECT. False without a SELECT.
bool StartSetter(ClauseScanner& scanner, int select_code) {
  scanner.Parser().SetOmitBlank(false);
  scanner.Parser().SetOmitComment(true);
  if (!scanner.ToSelect(select_code)) return false;
  scanner.Next();
  return true;
}

// Reads the blank after a keyword; another lexeme is read again later.
// False when there was none.
bool SkipBlank(ClauseScanner& scanner) {
  if (scanner.Next() == LexemBlank) return true;
  scanner.Back();
  return false;
}

// Replaces the range by the new text, or adds "<keyword> <text>" after the
// last non-blank text before the next clause; an empty text removes it.
std::string ReplaceClause(const std::string& sql, ClauseRange range, const std::string& keyword,
                          const std::string& text) {
  std::string result = sql;
  if (range.blank_start == 0) range.blank_start = static_cast<int>(result.size());
  if (range.start > 0) DeleteRange(result, range.start, range.blank_start);
  if (text.empty()) return result;
  std::string added = range.glued ? " " + text : text;
  if (range.start == 0) {
    range.start = range.blank_start + 1;
    added = " " + keyword + " " + text;
    if (CopyRange(result, 1, range.start).find('\r') != std::string::npos) added = "\r " + added;
  }
  InsertAt(result, range.start, added);
  return result;
}

// A statement whose SELECTs are combined by UNION, EXCEPT or INTERSECT at
// its top level: where the statement ends (before its terminator) and the
// ORDER BY list of the combined result.
struct CombinedSelects {
  bool combined = false;
  size_t statement_end = 0;
  std::string order_list;
};

bool IsWord(int code) { return code == LexemIdent || code > 0; }

bool IsSetOperator(const std::string& word) {
  return plat::SameText(word, "UNION") || plat::SameText(word, "EXCEPT") || plat::SameText(word, "INTERSECT");
}

CombinedSelects FindCombinedSelects(const std::string& sql, const TParserClass& parser_class, int select_code) {
  CombinedSelects found;
  found.statement_end = sql.size();
  std::unique_ptr<TParser> parser = parser_class.Create(sql);
  parser->SetOmitComment(true);
  if (parser->ToLexem(select_code) != select_code) return found;
  parser->ToBegin();
  int depth = 0;
  int order_start = 0;
  int order_end = 0;
  std::string lexem;
  for (int code = parser->GetNext(lexem); code != LexemEnd; code = parser->GetNext(lexem)) {
    if (code != LexemString) {
      if (lexem == "(") ++depth;
      if (lexem == ")") --depth;
    }
    if (depth != 0) continue;
    if (parser->IsSemicolon(code)) {
      found.statement_end = static_cast<size_t>(parser->CurrPos() - 1);
      break;
    }
    if (!IsWord(code)) continue;
    if (IsSetOperator(lexem)) {
      found.combined = true;
      order_start = order_end = 0;
    } else if (found.combined && order_start == 0 && plat::SameText(lexem, "ORDER")) {
      if (IsWord(parser->GetNext(lexem)) && plat::SameText(lexem, "BY")) order_start = parser->CurrPos() + 1;
    } else if (order_start > 0 && order_end == 0 && parser->IsClauseLexem(code)) {
      order_end = parser->PrevPos();
    }
  }
  if (order_start > 0) {
    const int last = order_end > 0 ? order_end : static_cast<int>(found.statement_end);
    found.order_list = Trim(CopyRange(sql, order_start, last));
  }
  return found;
}

// The combined result as a derived table, the condition applied to all of
// its rows and its order kept; the terminator and what follows it stay.
std::string FilterCombined(const std::string& sql, const std::string& condition, const CombinedSelects& found) {
  std::string result = "SELECT * FROM (" + Trim(sql.substr(0, found.statement_end)) + "\r\n) combined_rows\rWHERE " +
                       condition + " ";
  if (!found.order_list.empty()) result += "ORDER BY " + found.order_list + " ";
  return result + sql.substr(found.statement_end);
}

}  // namespace

std::string AddWhereClause(const std::string& sql, const std::string& condition, const TParserClass& parser_class,
                           bool omit_comment, int select_code, int where_code) {
  std::string result = sql;
  if (Trim(condition).empty()) return result;
  const CombinedSelects combined = FindCombinedSelects(sql, parser_class, select_code);
  if (combined.combined) return FilterCombined(sql, condition, combined);
  ClauseScanner scanner(parser_class, sql);
  scanner.Parser().SetOmitComment(omit_comment);
  if (!scanner.ToSelect(select_code)) return result;
  const WhereScan scan = ScanWhere(scanner, where_code);
  // A server ends "--" and "#" comments only at a line feed: after one, a
  // bare carriage return would leave the addition inside the comment.
  const int before = scanner.PrevCode();
  const std::string line_break = before == LexemComment ? "\r\n" : "\r";
  const std::string closing = before == LexemComment ? line_break + ")" : ")";
  const std::string added = scan.has_where ? " AND " + condition + " " : line_break + "WHERE " + condition + " ";
  const int prev_pos = scanner.Parser().PrevPos();
  if (scan.stopped_at_clause) {
    if (!scan.has_where) {
      InsertAt(result, prev_pos + 1, added);
      return result;
    }
    InsertAt(result, prev_pos + 1, closing + added);
    InsertAt(result, scan.where_pos, "(");
    return result;
  }
  if (scan.has_where) {
    InsertAt(result, scan.where_pos, "(");
    return Trim(result) + closing + added;
  }
  if (scanner.Parser().IsSemicolon(before)) {
    InsertAt(result, prev_pos, added);
    return result;
  }
  return Trim(result) + added;
}

std::string SetWhereClause(const std::string& sql, const std::string& condition, const TParserClass& parser_class,
                           int select_code, int where_code) {
  const CombinedSelects combined = FindCombinedSelects(sql, parser_class, select_code);
  if (combined.combined) return condition.empty() ? sql : FilterCombined(sql, condition, combined);
  ClauseScanner scanner(parser_class, sql);
  if (!StartSetter(scanner, select_code)) return sql;
  ClauseRange range;
  while (!scanner.AtEnd()) {
    TrackBlank(scanner, range);
    if (scanner.At(where_code)) {
      if (condition.empty()) {
        range.start = scanner.Parser().PrevPrevPos() + 1;
      } else {
        range.glued = !SkipBlank(scanner);
        range.start = scanner.Parser().CurrPos() + 1;
      }
    }
    if (scanner.Next() == LexemEnd || (scanner.AtClause() && !scanner.At(where_code))) break;
  }
  return ReplaceClause(sql, range, "WHERE", condition);
}

std::string GetWhereClause(const std::string& sql, const TParserClass& parser_class, bool omit_comment,
                           int select_code, int where_code) {
  if (FindCombinedSelects(sql, parser_class, select_code).combined) return "";
  ClauseScanner scanner(parser_class, sql);
  scanner.Parser().SetOmitComment(omit_comment);
  if (!scanner.ToSelect(select_code)) return "";
  const WhereScan scan = ScanWhere(scanner, where_code);
  if (!scan.has_where) return "";
  if (!scan.stopped_at_clause) return CopyRange(sql, scan.where_pos, static_cast<int>(sql.size()));
  scanner.Parser().Back();
  return CopyRange(sql, scan.where_pos, scanner.Parser().CurrPos());
}

std::string SetOrderByClause(const std::string& sql, const std::string& fields, const TParserClass& parser_class,
                             int select_code, int order_code, int by_code) {
  std::string list = fields;
  std::replace(list.begin(), list.end(), ';', ',');
  ClauseScanner scanner(parser_class, sql);
  if (!StartSetter(scanner, select_code)) return sql;
  ClauseRange range;
  while (!scanner.AtEnd()) {
    if (scanner.At(order_code)) {
      range.start = list.empty() ? scanner.Parser().PrevPrevPos() + 1 : 0;
      SkipBlank(scanner);
      if (scanner.Next() != by_code) {
        range.start = 0;
      } else if (!list.empty()) {
        range.glued = !SkipBlank(scanner);
        range.start = scanner.Parser().CurrPos() + 1;
      }
    }
    TrackBlank(scanner, range);
    if (scanner.Next() == LexemEnd || scanner.AtClauseAfter(order_code)) break;
  }
  return ReplaceClause(sql, range, "ORDER BY", list);
}

std::string GetOrderByClause(const std::string& sql, const TParserClass& parser_class, int select_code,
                             int order_code, int by_code) {
  ClauseScanner scanner(parser_class, sql);
  if (!scanner.ToSelect(select_code)) return "";
  while (scanner.Next() != LexemEnd && !scanner.At(order_code)) {
  }
  if (scanner.AtEnd() || scanner.Next() != by_code) return "";
  std::string result = sql.substr(static_cast<size_t>(std::min<int>(scanner.Parser().CurrPos(), sql.size())));
  ClauseScanner list(parser_class, result);
  while (list.Next() != LexemEnd) {
    if (list.AtClause()) return result.substr(0, static_cast<size_t>(std::max(list.Parser().PrevPos(), 0)));
  }
  return result;
}

}  // namespace dac
