// SQL text as the components edit it (after a byte that picks the
// operation, the lexer, comment skipping and the macro character, then a
// condition or field list up to the first NUL byte): one of WHERE and ORDER
// BY editing with the MySQL lexer rules, macro scanning and expansion, or
// ":name" placeholders, with the base lexer or the MySQL one. Nothing may
// raise. Properties: a text without SELECT is never changed; an empty
// condition or list only removes one stretch of text; a blank condition
// added changes nothing; a new condition or list appears in the result;
// the getters return a stretch of the text; references to macros and
// parameters are exactly the ones the lexer shows, and each placeholder
// position the MySQL command keeps points at its "?".
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/core/data_access_globals.h"
#include "dac/core/dataset/sql_clauses.h"
#include "dac/core/macros.h"
#include "dac/core/sql_component.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/scoped_value.h"
#include "dac/mysql/components/my_command_component.h"
#include "dac/mysql/provider/my_command.h"
#include "dac/mysql/provider/my_parser.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/owned_component.h"
#include "platform/ascii.h"

namespace fuzz {
namespace {

struct Setup {
  bool mysql = true;
  bool omit_comment = false;
  char macro_char = '&';
};

const dac::TParserClass& Lexer(const Setup& setup) {
  return setup.mysql ? dac::TMyParser::ParserClass() : dac::TParser::ParserClass();
}

bool HasSelect(const std::string& sql) {
  auto parser = dac::MakeParser<dac::TMyParser>(sql);
  return parser->ToLexem(dac::mySELECT) == dac::mySELECT;
}

// The result is the text with one stretch (perhaps none) taken out.
bool OneStretchRemoved(const std::string& sql, const std::string& result) {
  if (result.size() > sql.size()) return false;
  size_t prefix = 0;
  while (prefix < result.size() && result[prefix] == sql[prefix]) ++prefix;
  return sql.compare(sql.size() - (result.size() - prefix), std::string::npos, result, prefix) == 0;
}

bool Within(const std::string& sql, const std::string& part) { return sql.find(part) != std::string::npos; }

// One editing operation of the MySQL dataset on the text.
void Clause(int op, const std::string& sql, const std::string& condition, const Setup& setup) {
  const dac::TParserClass& lexer = dac::TMyParser::ParserClass();
  switch (op) {
    case 0: {
      Require(dac::AddWhereClause(sql, " \t\r\n", lexer, setup.omit_comment, dac::mySELECT, dac::myWHERE) == sql,
              "a blank condition changed the text");
      const std::string added =
          dac::AddWhereClause(sql, condition, lexer, setup.omit_comment, dac::mySELECT, dac::myWHERE);
      if (plat::TrimBlanks(condition).empty()) return Require(added == sql, "a blank condition changed the text");
      return Require(HasSelect(sql) ? Within(added, condition) : added == sql,
                     "an added condition is missing, or a text without SELECT changed");
    }
    case 1: {
      const std::string set = dac::SetWhereClause(sql, condition, lexer, dac::mySELECT, dac::myWHERE);
      if (condition.empty()) return Require(OneStretchRemoved(sql, set), "removing WHERE did more than remove it");
      return Require(HasSelect(sql) ? Within(set, condition) : set == sql,
                     "a set condition is missing, or a text without SELECT changed");
    }
    case 2: {
      const std::string removed = dac::SetWhereClause(sql, "", lexer, dac::mySELECT, dac::myWHERE);
      return Require(OneStretchRemoved(sql, removed) && (removed == sql || HasSelect(sql)),
                     "removing WHERE did more than remove it");
    }
    case 3:
      return Require(Within(sql, dac::GetWhereClause(sql, lexer, setup.omit_comment, dac::mySELECT, dac::myWHERE)),
                     "a WHERE condition that is not in the text");
    case 4: {
      std::string list = condition;
      std::replace(list.begin(), list.end(), ';', ',');
      const std::string ordered = dac::SetOrderByClause(sql, condition, lexer, dac::mySELECT, dac::myORDER, dac::myBY);
      if (list.empty()) return Require(OneStretchRemoved(sql, ordered), "removing ORDER BY did more than remove it");
      return Require(HasSelect(sql) ? Within(ordered, list) : ordered == sql,
                     "a set ORDER BY list is missing, or a text without SELECT changed");
    }
    case 5: {
      const std::string unordered = dac::SetOrderByClause(sql, "", lexer, dac::mySELECT, dac::myORDER, dac::myBY);
      return Require(OneStretchRemoved(sql, unordered) && (unordered == sql || HasSelect(sql)),
                     "removing ORDER BY did more than remove it");
    }
    default:
      return Require(Within(sql, dac::GetOrderByClause(sql, lexer, dac::mySELECT, dac::myORDER, dac::myBY)),
                     "an ORDER BY list that is not in the text");
  }
}

void Macros(const std::string& sql, const Setup& setup) {
  dac::TMacros macros;
  macros.SetParserClass(Lexer(setup));
  macros.Scan(sql);
  Require(macros.Count() <= static_cast<int>(std::count(sql.begin(), sql.end(), setup.macro_char)),
          "more macros than macro characters");
  std::set<std::string> names;
  // Macros come in the order of their first references: each is looked for
  // from where the one before it was found, which keeps the check linear.
  size_t from = 0;
  for (int i = 0; i < macros.Count(); ++i) {
    const std::string& name = macros.Items(i)->Name();
    Require(!name.empty() && names.insert(plat::AsciiUpperCase(name)).second, "an empty or repeated macro name");
    from = sql.find(setup.macro_char + name, from);
    Require(from != std::string::npos, "a macro name that does not follow a macro character, or out of order");
  }
  std::string same = sql;
  if (macros.Count() == 0) {
    macros.Expand(same);
    Require(same == sql, "a text without references changed when expanded");
    return;
  }
  dac::TMacros again;
  again.SetParserClass(Lexer(setup));
  again.Assign(&macros);
  again.Scan(sql);
  Require(again.IsEqual(macros), "a second scan of the same text changed the macros");
  // New macros are empty: each reference (two characters at least) goes.
  std::string expanded = sql;
  macros.Expand(expanded);
  Require(expanded.size() < sql.size(), "expanding references to empty macros did not shorten the text");
}

// Each reference ":name" turned into "?" and a parameter, checked against
// the same text renamed with a one-character prefix, which only marks the
// references: the colons that changed are the references.
void Placeholders(dac::TCustomDASQL& sql, const std::string& text, dac::TMySQLCommand* command) {
  Require(sql.ParseSQL(text, nullptr, "") == text, "a text parsed without parameters changed");
  const std::string marked = sql.ParseSQL(text, nullptr, "\x01");
  Require(marked.size() == text.size(), "a renamed reference changed the text's length");
  if (command) command->SetProp(dac::prMyKeepParamPositions, true);
  dac::TDAParams params;
  const std::string parsed = sql.ParseSQL(text, &params, "");
  std::string expected;
  size_t copied = 0;
  int found = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (marked[i] == text[i]) continue;
    Require(text[i] == ':' && marked[i] == '\x01' && found < params.Count(), "a renamed text differs elsewhere");
    // A keyword's name comes upper-cased.
    const std::string& name = params.Items(found++)->Name();
    Require(plat::SameText(text.substr(i + 1, name.size()), name) && marked.compare(i + 1, name.size(), name) == 0,
            "a parameter named other than its reference");
    expected.append(text, copied, i - copied).push_back('?');
    copied = i + 1 + name.size();
    i = copied - 1;
  }
  expected.append(text, std::min(copied, text.size()));
  Require(found == params.Count() && parsed == expected, "placeholders other than the references");
  if (!command) return;
  const dac::TParamPositions& positions = command->ParamPositions();
  Require(positions.size() == static_cast<size_t>(params.Count()), "a placeholder without its position");
  for (int32_t position : positions)
    Require(position >= 1 && static_cast<size_t>(position) <= parsed.size() && parsed[position - 1] == '?',
            "a placeholder position that is not at a placeholder");
  command->SetProp(dac::prMyKeepParamPositions, false);
}

constexpr int kClauseOperations = 7;

void Run(int op, const std::string& sql, const std::string& condition, const Setup& setup) {
  const dac::TScopedValue<char> macro_char(dac::MacroChar, setup.macro_char);
  // The clause routines need a lexer with clauses: the base one has none.
  if (!setup.mysql && op < kClauseOperations) op = kClauseOperations + op % 2;
  try {
    if (op < kClauseOperations) {
      Clause(op, sql, condition, setup);
    } else if (op == kClauseOperations) {
      Macros(sql, setup);
    } else if (setup.mysql) {
      Owned<dac::TMyCommand> command;
      Placeholders(*command, sql, command->GetMySQLCommand());
    } else {
      Owned<dac::TCustomDASQL> command;
      Placeholders(*command, sql, nullptr);
    }
  } catch (const dac::Exception& e) {
    ReportUnexpected(e.Message());
  }
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const fuzz::Setup setup{(data[0] & 1) == 0, (data[0] & 2) != 0, "&%:!"[data[0] >> 2 & 3]};
  const int op = (data[0] >> 4) % (fuzz::kClauseOperations + 2);
  const std::string_view rest = fuzz::AsText(data + 1, std::min(size - 1, fuzz::kLongestLexedText));
  const size_t nul = rest.find('\0');
  const std::string condition(nul == std::string_view::npos ? "b = 2" : rest.substr(0, nul));
  const std::string sql(nul == std::string_view::npos ? rest : rest.substr(nul + 1));
  fuzz::Run(op, sql, condition, setup);
  return 0;
}
