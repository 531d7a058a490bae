#include "dac/mysql/provider/my_proc_call.h"

#include <algorithm>
#include <memory>

#include "dac/core/server/messages.h"
#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "dac/mysql/provider/my_parser.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/block_manager.h"
#include "platform/ascii.h"
#include "platform/code_page.h"

namespace dac {

namespace {

std::unique_ptr<TParser> RoutineParser(const std::string& text) {
  auto parser = MakeParser<TMyParser>(text);
  parser->SetOmitBlank(true);
  parser->SetOmitComment(true);
  parser->SetQuotedString(true);
  parser->SetUppercase(false);
  return parser;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  return text;
}

struct TypeEntry {
  const char* name;
  uint16_t data_type;
};

// Declared types and their data types, with the server's other names for
// them (BOOL for TINYINT(1), INT4 for INT, REAL for DOUBLE, CHARACTER
// VARYING for VARCHAR...). DECIMAL follows the connection's numeric type.
constexpr TypeEntry kDeclaredTypes[] = {
    {"BIT", dtBoolean},        {"BOOL", dtBoolean},         {"BOOLEAN", dtBoolean},
    {"TINYINT", dtInt8},       {"INT1", dtInt8},            {"SMALLINT", dtSmallint},
    {"INT2", dtSmallint},      {"MEDIUMINT", dtInteger},    {"MIDDLEINT", dtInteger},
    {"INT3", dtInteger},       {"INT", dtInteger},          {"INTEGER", dtInteger},
    {"INT4", dtInteger},       {"BIGINT", dtLargeint},      {"INT8", dtLargeint},
    {"DOUBLE", dtFloat},       {"DOUBLE PRECISION", dtFloat}, {"FLOAT", dtFloat},
    {"FLOAT4", dtFloat},       {"FLOAT8", dtFloat},         {"REAL", dtFloat},
    {"DECIMAL", dtFloat},      {"DEC", dtFloat},            {"NUMERIC", dtFloat},
    {"FIXED", dtFloat},        {"CHAR", dtString},          {"CHARACTER", dtString},
    {"NCHAR", dtString},       {"VARCHAR", dtString},       {"NVARCHAR", dtString},
    {"VARCHAR2", dtString},    {"ENUM", dtString},          {"SET", dtString},
    {"INET4", dtString},       {"INET6", dtString},         {"UUID", dtString},
    {"BINARY", dtVarBytes},    {"VARBINARY", dtVarBytes},   {"DATE", dtDate},
    {"TIME", dtTime},          {"TIMESTAMP", dtDateTime},   {"DATETIME", dtDateTime},
    {"YEAR", dtWord},          {"TINYBLOB", dtBlob},        {"BLOB", dtBlob},
    {"MEDIUMBLOB", dtBlob},    {"LONGBLOB", dtBlob},        {"LONG VARBINARY", dtBlob},
    {"TINYTEXT", dtMemo},      {"TEXT", dtMemo},            {"MEDIUMTEXT", dtMemo},
    {"LONGTEXT", dtMemo},      {"LONG", dtMemo},            {"LONG VARCHAR", dtMemo},
    {"JSON", dtMemo},          {"CLOB", dtMemo},            {"GEOMETRY", dtBlob},
    {"POINT", dtBlob},         {"LINESTRING", dtBlob},      {"POLYGON", dtBlob},
    {"GEOMETRYCOLLECTION", dtBlob}, {"MULTIPOINT", dtBlob}, {"MULTILINESTRING", dtBlob},
    {"MULTIPOLYGON", dtBlob},
};

bool IsDecimalName(const std::string& type) {
  return type == "DECIMAL" || type == "DEC" || type == "NUMERIC" || type == "FIXED";
}

uint16_t DataTypeOfDeclared(const std::string& type, const std::string& text, TDANumericType numeric_type) {
  if (IsDecimalName(type)) return numeric_type == ntBCD ? dtBCD : numeric_type == ntFmtBCD ? dtFmtBCD : dtFloat;
  for (const TypeEntry& entry : kDeclaredTypes)
    if (type == entry.name) return entry.data_type;
  throw Exception("Unknown column type \"" + Excerpt(type) + "\" in \"" + Excerpt(text) + "\"");
}

// The second word of a type of two ("CHARACTER VARYING", "DOUBLE
// PRECISION", "LONG VARBINARY"): the name it makes, or "" when the word
// is not one.
std::string TwoWordType(const std::string& first, const std::string& second) {
  if ((first == "CHAR" || first == "CHARACTER" || first == "NCHAR") && (second == "VARYING" || second == "VARCHAR"))
    return "VARCHAR";
  if (first == "DOUBLE" && second == "PRECISION") return "DOUBLE PRECISION";
  if (first == "LONG" && (second == "VARCHAR" || second == "VARBINARY")) return "LONG " + second;
  return std::string();
}

// A name or type lexeme: an identifier, or a word the lexer knows as a
// keyword (SET is a type; STATUS may well be a name), never one of its
// symbols: a comma taken for a name would join two parameters into one.
std::string NameLexem(TParser& parser, const std::string& text, const std::string& routine_name) {
  std::string lexem;
  const int code = parser.GetNext(lexem);
  const char c = lexem.empty() ? '\0' : lexem[0];
  const bool word = code > 0 && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_');
  if (code != LexemIdent && !word) {
    AssertionFailed(Excerpt(lexem) + " in " + Excerpt(text) + ", Name = " + routine_name, __FILE__, __LINE__);
  }
  return lexem;
}

// A declaration's direction and name (a function's result has neither) into
// the parameter; the first word of its type.
std::string ReadParamHead(TParser& parser, const std::string& text, const std::string& routine_name,
                          bool is_return_type, TParamDesc& param) {
  if (is_return_type) {
    param.SetParamType(pdResult);
    param.SetName("Result");
    return NameLexem(parser, text, routine_name);
  }
  std::string first = NameLexem(parser, text, routine_name);
  const std::string direction = Upper(first);
  param.SetParamType(pdInput);
  if (direction == "IN" || direction == "OUT" || direction == "INOUT") {
    param.SetParamType(direction == "IN" ? pdInput : direction == "OUT" ? pdOutput : pdInputOutput);
    first = NameLexem(parser, text, routine_name);
  }
  param.SetName(UnquoteIdentifier(first));
  return NameLexem(parser, text, routine_name);
}

// Widths as the server writes them, digits and commas ("10,2"); anything
// else would go into the call's CASTs as SQL of its own, so it is dropped.
bool ServerWidths(const std::string& widths) { return widths.find_first_not_of("0123456789,") == std::string::npos; }

// The item that reads an OUT value back, cast by its declared type.
std::string ReadBackItem(const std::string& name, const TMyParamTypeNote* note, bool quote_names) {
  const std::string variable = "@" + IdentifierIfNeeded(name, quote_names);
  const std::string alias = QuoteIdentifier("@" + name);
  const std::string type = note ? note->type : std::string();
  const auto cast = [&](const char* as) { return "CAST(" + variable + " AS " + as + ") AS " + alias; };
  if (type == "TINYINT" || type == "SMALLINT" || type == "MEDIUMINT" || type == "INT" || type == "INTEGER" ||
      type == "BIGINT" || type == "INT1" || type == "INT2" || type == "INT3" || type == "INT4" || type == "INT8" ||
      type == "MIDDLEINT")
    return cast(note->is_unsigned ? "UNSIGNED" : "SIGNED");
  if (type == "YEAR") return cast("UNSIGNED");
  // With its precision and scale: DECIMAL alone is DECIMAL(10,0) and would round.
  if (IsDecimalName(type)) return cast(("DECIMAL" + (note->widths.empty() ? "" : "(" + note->widths + ")")).c_str());
  // A time or date-time keeps its fraction digits.
  if (type == "DATE") return cast("DATE");
  if (type == "TIME" || type == "DATETIME")
    return cast((type + (note->widths.empty() ? "" : "(" + note->widths + ")")).c_str());
  if (type == "TINYBLOB" || type == "BLOB" || type == "MEDIUMBLOB" || type == "LONGBLOB" || type == "BINARY" ||
      type == "VARBINARY" || type == "LONG VARBINARY")
    return cast("BINARY");
  return variable + " AS " + alias;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

}  // namespace

TMyParamBlockResult SplitRoutineDefinition(const std::string& create_text) {
  TMyParamBlockResult result;
  auto parser = RoutineParser(create_text);
  std::string lexem;
  int returns_at = -1;
  int code = parser->GetNext(lexem);
  while (code != LexemEnd && !(code == LexemIdent && Upper(lexem) == "RETURNS")) code = parser->GetNext(lexem);
  if (code != LexemEnd) {
    returns_at = parser->CurrPos() - 7;
    code = parser->GetNext(lexem);
    if (code == LexemIdent) {
      std::string type = lexem;
      code = parser->GetNext(lexem);
      if (code == LexemSymbol && lexem == "(") {
        // Blanks count from here on: "DECIMAL(10, 2)" keeps its text.
        parser->SetOmitBlank(false);
        type += "(";
        std::string inner;
        for (code = parser->GetNext(lexem); code != LexemEnd && lexem != ")" && lexem != "(";
             code = parser->GetNext(lexem))
          inner += lexem;
        if (lexem == ")") type += inner + ")";
      }
      result.return_type = type;
    }
  }
  // The parameter list: the first "(" ahead of RETURNS and its match.
  auto list = RoutineParser(create_text);
  int depth = 0;
  size_t start = std::string::npos;
  for (code = list->GetNext(lexem); code != LexemEnd; code = list->GetNext(lexem)) {
    if (lexem == "(") {
      if (depth++ == 0 && start == std::string::npos) {
        if (returns_at >= 0 && list->CurrPos() > returns_at) break;
        start = static_cast<size_t>(list->CurrPos());
      }
    } else if (lexem == ")" && depth > 0 && --depth == 0 && start != std::string::npos) {
      result.param_list = create_text.substr(start, static_cast<size_t>(list->CurrPos() - 1) - start);
      break;
    }
  }
  return result;
}

void ParseRoutineParams(const std::string& text, bool is_return_type, bool use_unicode,
                        const std::string& routine_name, TParamDescs& params, TMyParamTypeNotes& notes,
                        TDANumericType numeric_type) {
  auto parser = RoutineParser(text);
  std::string lexem;
  // A list of blanks and comments has no parameter.
  if (parser->GetNext(lexem) == LexemEnd) return;
  parser->ToBegin();
  for (;;) {
    auto param = std::make_unique<TParamDesc>();
    TMyParamTypeNote note;
    note.type = Upper(ReadParamHead(*parser, text, routine_name, is_return_type, *param));
    // NATIONAL CHAR and NATIONAL VARCHAR are text like any other.
    if (note.type == "NATIONAL") note.type = Upper(NameLexem(*parser, text, routine_name));
    // The rest of the declaration: a second word of the type, widths,
    // UNSIGNED, character sets...
    int code = parser->GetNext(lexem);
    if (code != LexemEnd && code != myComma) {
      const std::string joined = TwoWordType(note.type, Upper(lexem));
      if (!joined.empty()) {
        note.type = joined;
        code = parser->GetNext(lexem);
      }
    }
    uint16_t data_type = DataTypeOfDeclared(note.type, text, numeric_type);
    for (; code != LexemEnd && code != myComma; code = parser->GetNext(lexem)) {
      if (lexem == "(") {
        bool first_number = true;
        std::string widths;
        for (code = parser->GetNext(lexem); code != LexemEnd && lexem != ")"; code = parser->GetNext(lexem)) {
          widths += lexem;
          if (code != LexemNumber || !first_number) continue;
          first_number = false;
          if (data_type == dtString || data_type == dtVarBytes) param->SetSize(std::atoi(lexem.c_str()));
          // TINYINT(1) is how the server writes a boolean.
          if (note.type == "TINYINT" && lexem == "1") data_type = dtBoolean;
        }
        if (note.widths.empty() && ServerWidths(widths)) note.widths = widths;
        if (code == LexemEnd) break;
      } else if (Upper(lexem) == "UNSIGNED") {
        note.is_unsigned = true;
      }
    }
    // Beyond int64: an unsigned BIGINT is exact as a decimal.
    if (data_type == dtLargeint && note.is_unsigned) data_type = dtFmtBCD;
    if (use_unicode && data_type == dtString) data_type = dtWideString;
    if (use_unicode && data_type == dtMemo) data_type = dtWideMemo;
    param->SetDataType(data_type);
    params.Add(std::move(param));
    notes.push_back(note);
    if (code == LexemEnd || is_return_type) return;
  }
}

std::string BuildProcCallText(const std::string& name, bool is_function, const TParamDescs& params,
                              const TMyParamTypeNotes& notes, bool quote_names) {
  std::vector<std::string> arguments, set_list, select_list;
  for (int i = is_function ? 1 : 0; i < params.Count(); ++i) {
    const TParamDesc& param = *params.Items(i);
    const std::string& n = param.GetName();
    const TMyParamTypeNote* note = static_cast<size_t>(i) < notes.size() ? &notes[static_cast<size_t>(i)] : nullptr;
    switch (param.GetParamType()) {
      case pdInputOutput:
        set_list.push_back("@" + IdentifierIfNeeded(n, quote_names) + " = :" + IdentifierIfNeeded(n, false));
        [[fallthrough]];
      case pdOutput:
        arguments.push_back("@" + IdentifierIfNeeded(n, quote_names));
        select_list.push_back(ReadBackItem(n, note, quote_names));
        break;
      case pdResult:
        arguments.push_back(n);
        break;
      default:
        arguments.push_back(":" + IdentifierIfNeeded(n, false));
        break;
    }
  }
  std::string sql = (is_function ? "SELECT " : "CALL ") + BracketIfNeed(name, quote_names) + "(" + Joined(arguments) + ")";
  if (!set_list.empty()) sql = "SET " + Joined(set_list) + "; " + sql;
  if (!select_list.empty()) sql += "; SELECT " + Joined(select_list);
  return sql;
}

// ---- reading the definition from the server ----

namespace {

// The text of a column of the record set's first row; empty for NULL.
std::string FirstRowText(TMySQLRecordset& rs, uint16_t field_no) {
  void* rec = TBlockManager::GetRecordPtr(rs.GetFirstItem());
  if (rs.GetNull(field_no, rec)) return std::string();
  TFieldDesc* field = rs.GetFieldDescs().GetItems(field_no - 1);
  if (rs.IsBlobFieldType(field->GetDataType()))
    return static_cast<TBlob*>(rs.GetObject(field_no, rec))->GetAsString();
  Variant value;
  rs.GetFieldAsVariant(field_no, rec, value);
  return VarToStr(value);
}

// The rows of a statement on the connection, all at once; false without a row.
bool QueryFirstRow(TMySQLConnection& connection, const std::string& sql, TMySQLRecordset& rs) {
  rs.SetConnection(&connection);
  rs.SetSQL(sql);
  rs.SetProp(prFlatBuffers, false);
  rs.SetProp(prLongStrings, true);
  rs.SetProp(prFetchAll, true);
  rs.Open();
  return rs.GetFirstItem() != nullptr;
}

std::unique_ptr<TMySQLRecordset> NewRecordSet() {
  return std::unique_ptr<TMySQLRecordset>(static_cast<TMySQLRecordset*>(TMySQLRecordset::ClassInfo().Create()));
}

TMyParamBlockResult ReadRoutineDefinition(TMySQLConnection& connection, const std::string& name) {
  TMyParamBlockResult result;
  int major = 0, minor = 0, release = 0;
  DecodeVersion(connection.GetServerVersion(), major, minor, release);
  // The routine and its database (the connection's unless the name says),
  // each a literal for the session, so that no name brings SQL of its own.
  // Database names are case-sensitive where the server keeps them so: the
  // routine's own schema, in its case, is the one SHOW CREATE is given;
  // one spelt as asked comes first.
  const std::vector<std::string> parts = SplitName(name);
  const std::string routine = UnquoteIdentifier(parts.back());
  const std::string database =
      parts.size() > 1 ? UnquoteIdentifier(parts[parts.size() - 2]) : connection.GetDatabase();
  std::string lower_database = database;
  std::transform(lower_database.begin(), lower_database.end(), lower_database.begin(), plat::AnsiCharLower);
  const TMySQLEscaping escaping = connection.GetEscaping();
  const std::string quoted_name = TextLiteral(routine, escaping);
  const std::string quoted_database = TextLiteral(database, escaping);
  const std::string quoted_lower = TextLiteral(lower_database, escaping);
  auto rs = NewRecordSet();
  if (major == 5 && minor == 0 && release <= 3) {
    if (!QueryFirstRow(connection,
                       "SELECT type, returns, param_list FROM mysql.proc WHERE (name = " + quoted_name +
                           ") AND (LOWER(db) = " + quoted_lower + ") ORDER BY db = " + quoted_database + " DESC",
                       *rs))
      return result;
    result.is_function = Upper(FirstRowText(*rs, 1)) == "FUNCTION";
    result.return_type = FirstRowText(*rs, 2);
    result.param_list = FirstRowText(*rs, 3);
    return result;
  }
  if (!QueryFirstRow(connection,
                     "SELECT ROUTINE_TYPE, ROUTINE_SCHEMA FROM INFORMATION_SCHEMA.ROUTINES WHERE (ROUTINE_NAME = " +
                         quoted_name + ") AND (LOWER(ROUTINE_SCHEMA) = " + quoted_lower +
                         ") ORDER BY ROUTINE_SCHEMA = " + quoted_database + " DESC",
                     *rs))
    return result;
  result.is_function = Upper(FirstRowText(*rs, 1)) == "FUNCTION";
  const std::string schema = FirstRowText(*rs, 2);
  rs = NewRecordSet();
  const TMyTableInfoClass& rules = connection.GetIdentifierRules();
  const std::string show = std::string(result.is_function ? "SHOW CREATE FUNCTION " : "SHOW CREATE PROCEDURE ") +
                           rules.QuoteIdentifier(schema.empty() ? database : schema, true) + "." +
                           rules.QuoteIdentifier(routine, true);
  if (!QueryFirstRow(connection, show, *rs) || rs->GetFieldDescs().Count() < 3) return result;
  const std::string create_text = FirstRowText(*rs, 3);
  if (create_text.empty()) return result;
  const TMyParamBlockResult split = SplitRoutineDefinition(create_text);
  result.param_list = split.param_list;
  result.return_type = split.return_type;
  return result;
}

}  // namespace

std::string TMySQLConnection::CreateProcCall(bool need_description, TParamDescs& params, const std::string& name,
                                             bool quote_names) {
  Connect("");
  const TMyParamBlockResult definition = ReadRoutineDefinition(*this, name);
  TMyParamTypeNotes notes;
  if (need_description) {
    params.Clear();
    if (definition.is_function && !definition.return_type.empty())
      ParseRoutineParams(definition.return_type, true, use_unicode_, name, params, notes, numeric_type_);
    if (!definition.param_list.empty())
      ParseRoutineParams(definition.param_list, false, use_unicode_, name, params, notes, numeric_type_);
  }
  const bool is_function = definition.is_function && params.Count() > 0 && params.Items(0)->GetParamType() == pdResult;
  return BuildProcCallText(name, is_function, params, notes, quote_names);
}

}  // namespace dac
