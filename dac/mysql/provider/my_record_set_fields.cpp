// TMySQLRecordset: describing the columns of a result and the tables they
// come from.
#include <algorithm>

#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "dac/mysql/provider/my_parser.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/mysql/provider/my_type_mapping.h"
#include "dac/store/record/data_type_traits.h"
#include "platform/ascii.h"
#include "platform/code_page.h"

namespace dac {

namespace {

// A column that is part of a key.
constexpr uint32_t kPartKeyFlag = 16384;

std::unique_ptr<TParser> SqlParser(const std::string& sql, bool omit_blank) {
  auto parser = MakeParser<TMyParser>(sql);
  parser->SetOmitBlank(omit_blank);
  parser->SetOmitComment(true);
  parser->SetQuotedString(true);
  return parser;
}

bool Holds(const std::string& sql, int code) { return SqlParser(sql, true)->ToLexem(code) == code; }

bool IsBlobColumn(uint8_t type) {
  return type == mftTinyBlob || type == mftMediumBlob || type == mftLongBlob || type == mftBlob;
}

bool IsTextColumn(uint8_t type) {
  return type == mftString || type == mftVarChar || type == mftVarString || type == mftEnum || type == mftSet ||
         type == mftNull;
}

// Room for the text of any number, date or time: "-2.2250738585072014e-308",
// "2024-02-29 13:45:10.123456".
constexpr int32_t kWidestValueText = 26;

// UTF-16 units for a text column under UseUnicode, from its length in
// bytes: a character of utf8mb4 takes at most four bytes and two units, one
// of utf8 three bytes and one unit. A SHOW statement, and a computed column
// whose name says it formats, may give more than they describe.
int32_t UnicodeUnits(const TMYSQL_FIELD& column, bool is_show, bool mb4) {
  const std::string lower = plat::AsciiLowerCase(column.name);
  const size_t open = lower.find('('), close = lower.find(')');
  const bool computed = column.table.empty() && open != std::string::npos && open < close &&
                        (lower.find("format") != std::string::npos || lower.find("inet_ntoa") != std::string::npos ||
                         lower.find("concat") != std::string::npos);
  if (is_show || computed) return column.length + 2;
  return mb4 ? column.length / 2 : column.length / 3;
}

// Bytes of a column's slot, with its length and scale, by data type.
void ApplySizeRule(TMySQLFieldDesc& desc, int32_t size, int32_t decimals) {
  const uint16_t type = desc.GetDataType();
  const TDataTypeTraits& traits = DataTypeTraits(type);
  const uint16_t length = static_cast<uint16_t>(std::clamp(size, 0, 65535));
  const auto slot = [&](int32_t bytes) { desc.SetSize(static_cast<uint16_t>(std::clamp(bytes, 0, 65535))); };
  switch (type) {
    case dtInt8:  // in 16 bits, as the other small integers
    case dtSmallint:
    case dtWord:
    case dtBoolean:
    case dtInteger:
    case dtUInt32:
    case dtLargeint: return slot(std::max<int32_t>(traits.slot_size, 2));
    case dtFloat:
    case dtBCD:
    case dtFmtBCD:
      desc.SetScale(static_cast<uint16_t>(std::max(decimals, 0)));
      [[fallthrough]];
    case dtDate:
    case dtTime:
    case dtDateTime:
      desc.SetLength(length);
      return slot(type == dtFmtBCD ? std::max<int32_t>(size + 1, traits.slot_size) : traits.slot_size);
    case dtBlob:
    case dtMemo:
    case dtWideMemo: return slot(kReferenceSlotSize);
    case dtExtString:
    case dtExtWideString:
      desc.SetLength(length == 0 ? 65535 : length);
      return slot(kReferenceSlotSize);
    case dtExtVarBytes:
      desc.SetLength(length);
      return slot(kReferenceSlotSize);
    case dtString:
    case dtWideString:
      desc.SetLength(length);
      return slot((size + 1) * (CharsOf(type) == TCharKind::kWide ? 2 : 1));
    case dtVarBytes:
      desc.SetLength(length);
      return slot(size + 2);
    default:
      AssertionFailed("Data type " + std::to_string(desc.GetDataType()) + " has no slot", __FILE__, __LINE__);
  }
}

// SHOW statements describe some columns narrower than their values.
int32_t ShowColumnSize(const std::string& sql, const std::string& lower_name, int32_t size, int32_t major,
                       int32_t minor) {
  if ((lower_name == "privilege" || lower_name == "context") && size < 30 && Holds(sql, myPRIVILEGES)) return 40;
  if (Holds(sql, mySLAVE) && Holds(sql, mySTATUS)) {
    if (lower_name == "slave_io_state" && size < 80) return 80;
    if (lower_name == "last_error" && size < 80) return 2048;
  }
  if (Holds(sql, myCREATE)) {
    if (major == 4 && minor == 0 && lower_name == "create table") return 65535;
    if (major == 5 && lower_name == "create procedure") return 65535;
  }
  return size;
}

}  // namespace

bool& Strings65535ToMemo() {
  static bool on = true;
  return on;
}

void TMySQLRecordset::InternalInitFields() {
  TMySQLCommand& command = Command();
  const std::string sql = command.GetSQL();
  const bool is_show = Holds(sql, mySHOW);
  const bool is_explain = (GetServerPrimaryVer() <= 4 && Holds(sql, myEXPLAIN)) || Holds(sql, myDESCRIBE);
  may_kill_ = false;
  if (command_type_ == ctUnknown) {
    // Not run yet: the server describes it without running it.
    DAC_ASSERT(command.GetSQLResult() == nullptr, "FCommand.FSQLResult must be nil");
    DAC_ASSERT(sql_result_next_ == nullptr, "FSQLResultNext must be nil");
    DescribeWithoutRunning(sql, is_show, is_explain);
    command.SetCursorState(GetPrepared() ? csPrepared : csInactive);
    return;
  }
  if (command_type_ != ctCursor) return;
  if (GetPrepared() && GetFieldDescs().Count() > 0) return;
  BuildFields(is_show, is_explain, sql);
  if (swap_connection_ && !command.GetIsStoredProc()) {
    // One SELECT alone: a statement before it may be a procedure call that
    // still runs while its rows come, which a KILL would cut off half done.
    auto parser = SqlParser(sql, true);
    may_kill_ = parser->GetNextCode() == mySELECT && parser->ToLexem(mySemicolon) == 0;
  }
}

// ---- describing a statement that has not run ----

namespace {

// The statements of a batch, split at the terminators outside strings,
// quoted names and comments; blank ones left out.
std::vector<std::string> SplitStatements(const std::string& sql) {
  std::vector<std::string> statements;
  auto parser = SqlParser(sql, true);
  size_t start = 0;
  std::string lexem;
  for (int code = parser->GetNext(lexem); code != LexemEnd; code = parser->GetNext(lexem)) {
    if (code != mySemicolon) continue;
    const size_t end = static_cast<size_t>(parser->CurrPos());
    statements.push_back(sql.substr(start, end - 1 - start));
    start = end;
  }
  if (start < sql.size()) statements.push_back(sql.substr(start));
  statements.erase(std::remove_if(statements.begin(), statements.end(),
                                  [](const std::string& s) { return plat::TrimBlanks(s).empty(); }),
                   statements.end());
  return statements;
}

// The first word of a statement, upper case.
std::string FirstWord(const std::string& statement) {
  auto parser = SqlParser(statement, true);
  std::string lexem;
  parser->GetNext(lexem);
  return plat::AsciiUpperCase(lexem);
}

// Statements that only read, which the server may refuse to prepare.
bool OnlyReads(const std::string& statement) {
  const std::string word = FirstWord(statement);
  if (word == "EXPLAIN" || word == "DESCRIBE" || word == "DESC") {
    auto parser = SqlParser(statement, true);
    std::string lexem;
    parser->GetNext(lexem);
    parser->GetNext(lexem);
    // EXPLAIN ANALYZE runs the statement.
    return plat::AsciiUpperCase(lexem) != "ANALYZE";
  }
  return word == "SHOW" || word == "HANDLER" || word == "HELP";
}

}  // namespace

// Each statement of the batch is prepared, in turn, until one describes
// columns: a prepared statement's metadata comes without the statement
// running, so no row is read and nothing is changed. A statement that
// returns no rows has no columns; after a CALL, whose results are known
// only when it runs, nothing is described. A batch the server cannot
// prepare is run instead only when every statement of it only reads.
void TMySQLRecordset::DescribeWithoutRunning(const std::string& sql, bool is_show, bool is_explain) {
  TMySQLConnection* connection = Command().GetMySQLConnection();
  DAC_ASSERT(connection != nullptr, "The command has no connection");
  if (!connection->GetHandle()) DatabaseError(LoadResString(SConnectionIsClosed), GetComponent());
  TMySQLAPI& api = connection->GetAPI();
  const std::vector<std::string> statements = SplitStatements(sql);
  for (const std::string& statement : statements) {
    const PMySqlStmt stmt = api.mysql_stmt_init(connection->GetHandle());
    Check(stmt);
    PMySqlRes metadata = nullptr;
    bool run_instead = false;
    bool described = false;
    WithCleanup(
        [&] {
          const std::string text = GetUseUnicode() ? plat::AnsiToUtf8(statement) : statement;
          if (api.mysql_stmt_prepare(stmt, text, static_cast<uint32_t>(text.size())) != 0) {
            // A HANDLER READ prepares only once its table is open: a batch
            // that only reads runs as it is.
            if (!std::all_of(statements.begin(), statements.end(), OnlyReads))
              connection->MySQLStmtError(stmt, GetComponent());
            run_instead = true;
            return;
          }
          if (api.mysql_stmt_field_count(stmt) == 0) return;
          metadata = api.mysql_stmt_result_metadata(stmt);
          Check(metadata);
          Command().SetSQLResult(metadata);
          BuildFields(is_show, is_explain, sql);
          described = true;
        },
        [&] {
          Command().SetSQLResult(nullptr);
          if (metadata) api.mysql_free_result(metadata);
          api.mysql_stmt_close(stmt);
        });
    if (run_instead) return DescribeByRunning(sql, is_show, is_explain);
    if (described || FirstWord(statement) == "CALL") return;
  }
}

// Statements that only read, run as they are.
void TMySQLRecordset::DescribeByRunning(const std::string& sql, bool is_show, bool is_explain) {
  TMySQLCommand& command = Command();
  try {
    result_state_ = rsNone;
    command.Execute(1);
    if (!command.GetSQLResult()) {
      FreeResult(true, true);
      if (sql_result_next_) TakeNextResult();
    }
    if (command.GetSQLResult()) BuildFields(is_show, is_explain, sql);
    DrainResults();
  } catch (...) {
    try {
      DrainResults();
    } catch (...) {
    }
    throw;
  }
}

// ---- columns and tables ----

namespace {

void NamesToAnsi(TMYSQL_FIELD& column) {
  column.name = plat::Utf8ToAnsi(column.name);
  column.org_name = plat::Utf8ToAnsi(column.org_name);
  column.table = plat::Utf8ToAnsi(column.table);
}

// The type of a column fetched as the server's text of its value: bytes stay
// bytes (BIT's text is its bytes), numbers and dates get room for their
// widest text.
uint16_t TextFormType(const TMYSQL_FIELD& column, bool bytes, bool unicode, bool is_show, bool mb4, int32_t& size) {
  if (bytes && IsTextColumn(column.type)) return dtVarBytes;
  if (column.type == mftBit) {
    size = (column.length + 7) / 8;
    return dtVarBytes;
  }
  if (!IsTextColumn(column.type)) size = std::max(column.length + 2, kWidestValueText);
  if (!unicode || !IsTextColumn(column.type)) return dtString;
  size = UnicodeUnits(column, is_show, mb4);
  return dtWideString;
}

// The type of a column fetched in its own form, from the type its MySQL type
// maps to, and its size in the field's terms.
uint16_t NativeFormType(const TMYSQL_FIELD& column, uint16_t type, bool bytes, bool unicode, bool is_show, bool mb4,
                        int32_t& size) {
  if (unicode && (type == dtMemo || type == dtWideString || type == dtExtWideString || type == dtWideMemo))
    size = UnicodeUnits(column, is_show, mb4);
  if (column.type == mftVarString && column.length == 65535 && column.table.empty() && Strings65535ToMemo())
    type = bytes ? dtBlob : (unicode ? dtWideMemo : dtMemo);
  if (type == dtFmtBCD && (column.type == mftLongLong || column.type == mftBit)) size = 20;
  // A DECIMAL's length counts its point and sign as well: the field's is its digits.
  if (column.type == mftDecimal || column.type == mftNewDecimal) {
    const bool is_unsigned = (column.flags & kUnsignedFlag) != 0;
    size = std::max(column.length - (column.decimals > 0 ? 1 : 0) - (is_unsigned ? 0 : 1), 1);
  }
  return type;
}

// Long text as a memo (unless long strings are kept), and text or bytes of
// 32 or more (unless buffers are flat) or of no stated size on the heap.
uint16_t StoredTextType(uint16_t type, int32_t size, bool long_strings, bool flat_buffers) {
  if (!long_strings && size >= 257) {
    if (type == dtString) type = dtMemo;
    if (type == dtWideString) type = dtWideMemo;
  }
  if ((!flat_buffers && size >= 32) || size == 0) {
    if (type == dtString) type = dtExtString;
    if (type == dtVarBytes) type = dtExtVarBytes;
    if (type == dtWideString) type = dtExtWideString;
  }
  return type;
}

// What the column's description says of it besides its name, type and size.
void DescribeColumn(TMySQLFieldDesc& desc, const TMYSQL_FIELD& column) {
  desc.SetSubDataType(0);
  desc.SetMySQLType(column.type);
  desc.SetIsUnsigned((column.flags & kUnsignedFlag) != 0);
  desc.SetIsPrimaryKey((column.flags & kPriKeyFlag) != 0);
  desc.SetIsAutoIncrement((column.flags & kAutoIncrementFlag) != 0);
  desc.SetIsBinary((column.flags & kBinaryFlag) != 0);
  desc.SetDecimals(column.decimals);
  desc.SetIsZeroFill((column.flags & kZeroFillFlag) != 0);
  desc.SetDisplayLength(column.length);
  desc.SetCharsetNr(column.charsetnr);
  desc.SetRequired((column.flags & kNotNullFlag) != 0);
  desc.SetReadOnly(column.type == mftNull);
  desc.SetIsKey((column.flags & (kPriKeyFlag | kUniqueKeyFlag | kMultipleKeyFlag | kPartKeyFlag)) != 0);
}

}  // namespace

void TMySQLRecordset::BuildFields(bool is_show, bool is_explain, const std::string& sql) {
  TMySQLAPI& api = API();
  const PMySqlRes result = Command().GetSQLResult();
  DAC_ASSERT(result != nullptr, "No result to describe");
  const bool unicode = GetUseUnicode();
  const bool unicode_mb4 = unicode && Command().GetMySQLConnection() && Command().GetMySQLConnection()->GetUnicodeMB4();
  TDKTablesInfo& tables = GetTablesInfo();
  // Names are quoted by the rules of the session's character set.
  if (tables.Count() == 0) tables.SetTableInfoClass(GetTableInfoClass());
  const TDKTableInfoClass& rules = tables.TableInfoClass();
  tables.BeginUpdate();
  const uint32_t count = api.mysql_num_fields(result);
  for (uint32_t i = 0; i < count; ++i) {
    TMYSQL_FIELD column = api._mysql_fetch_field_direct(result, i, unicode);
    if (unicode) NamesToAnsi(column);
    const bool is_unsigned = (column.flags & kUnsignedFlag) != 0;
    // Bytes by the character set; a server before 4.1 names none, only the flag.
    const bool bytes =
        column.charsetnr == kBinaryCharsetNr || (column.charsetnr == 0 && (column.flags & kBinaryFlag) != 0);
    uint16_t type = dtString;
    bool fixed = false;
    int32_t size = column.length;
    if (fields_as_string_ && !IsBlobColumn(column.type) && column.type != mftGeometry) {
      type = TextFormType(column, bytes, unicode, is_show, unicode_mb4, size);
    } else {
      ConvertMySQLTypeToInternalFormat(column.type, column.length, bytes, is_unsigned, enable_boolean_, unicode,
                                       numeric_type_, type, fixed);
      type = NativeFormType(column, type, bytes, unicode, is_show, unicode_mb4, size);
    }
    const std::string lower_name = plat::AsciiLowerCase(column.name);
    if (is_show) size = ShowColumnSize(sql, lower_name, size, GetServerPrimaryVer(), GetServerMinorVer());
    if (is_explain && lower_name == "type") size = 65534;
    type = StoredTextType(type, size, long_strings_, flat_buffers_);

    std::unique_ptr<TFieldDesc> made(static_cast<TFieldDesc*>(TMySQLFieldDesc::ClassInfo().Create()));
    auto& desc = static_cast<TMySQLFieldDesc&>(*made);
    desc.SetFieldNo(static_cast<uint16_t>(i + 1));
    desc.SetActualFieldNo(static_cast<int32_t>(i));
    desc.SetFixed(fixed);
    desc.SetName(column.name);
    const bool aliased = !column.org_table.empty() && !plat::SameText(column.org_table, column.table);
    // The table's own name of the column, whatever the statement calls it or its table.
    desc.SetActualName(column.org_name.empty() ? column.name : column.org_name);
    if (!column.table.empty()) {
      TDKTableInfo* entry = tables.Items(AddSQLObjectIfNeed(column.table, aliased));
      entry->SetTableAlias(rules.QuoteIdentifier(column.table, false));
      desc.SetTableInfo(entry);
    }
    desc.SetDataType(type);
    DescribeColumn(desc, column);
    ApplySizeRule(desc, size, column.decimals);
    GetFieldDescs().Add(std::move(made));
  }
  column_count_ = static_cast<int>(count);
  AddExactDesc();
  tables.Normalize();
  tables.EndUpdate();
  ParseFromClause(sql);
  null_row_.clear();
}

namespace {

// Types whose field may not hold every value of the column exactly.
bool MayNeedExactText(const TMySQLFieldDesc& desc) {
  switch (desc.GetDataType()) {
    case dtString:
    case dtExtString:
    case dtWideString:
    case dtExtWideString:
    case dtDate:
    case dtDateTime:
    case dtBCD:
    case dtFmtBCD:
      return true;
    case dtFloat:
      // A FLOAT or DOUBLE to fixed decimals may come as "-0.00".
      return desc.GetMySQLType() == mftDecimal || desc.GetMySQLType() == mftNewDecimal ||
             ((desc.GetMySQLType() == mftFloat || desc.GetMySQLType() == mftDouble) && desc.GetDecimals() < 31);
    case dtBoolean:
      return desc.GetMySQLType() == mftTiny;
    default:
      return false;
  }
}

// Its name is no column's: it begins with a control character.
const char kExactTextsName[] = "\x01exact texts";

}  // namespace

void TMySQLRecordset::ClearFields() {
  exact_desc_ = nullptr;
  column_count_ = 0;
  TDKRecordSet::ClearFields();
}

// The hidden last descriptor that carries each record's exact texts.
void TMySQLRecordset::AddExactDesc() {
  bool needed = false;
  for (int i = 0; i < column_count_ && !needed; ++i)
    needed = MayNeedExactText(static_cast<const TMySQLFieldDesc&>(*GetFieldDescs().GetItems(i)));
  if (!needed) return;
  std::unique_ptr<TFieldDesc> made(static_cast<TFieldDesc*>(TMySQLFieldDesc::ClassInfo().Create()));
  made->SetName(kExactTextsName);
  made->SetFieldNo(static_cast<uint16_t>(GetFieldDescs().Count() + 1));
  made->SetActualFieldNo(-1);
  made->SetDataType(dtExtVarBytes);
  made->SetLength(65535);
  made->SetSize(kReferenceSlotSize);
  made->SetHidden(true);
  made->SetSkipFieldDef(true);
  made->SetReadOnly(true);
  exact_desc_ = made.get();
  GetFieldDescs().Add(std::move(made));
}

int TMySQLRecordset::AddSQLObjectIfNeed(const std::string& name, bool aliased) {
  TDKTablesInfo& tables = GetTablesInfo();
  // A name the server gives is one name, whatever points or quotes it holds.
  const std::string normalized = tables.TableInfoClass().QuoteIdentifier(name, false);
  int index = tables.IndexByName(normalized);
  if (index >= 0) return index;
  TDKTableInfo* entry = tables.Add();
  entry->SetTableName(normalized);
  entry->SetAliased(aliased);
  index = tables.IndexOf(entry);
  DAC_ASSERT(index >= 0, "The table entry is not in the list");
  return index;
}

void TMySQLRecordset::AddFromTable(const std::string& name, const std::string& alias, TMyCharsetKind kind) {
  TDKTablesInfo& tables = GetTablesInfo();
  // The qualified name as SQL text, each part quoted only as it needs.
  const std::string full = tables.TableInfoClass().NormalizeName(name, false);
  const std::vector<std::string> parts = SplitName(full, kind);
  const std::string table = parts.back();
  DAC_ASSERT(!table.empty(), "TableName cannot be empty");
  TDKTableInfo* entry = nullptr;
  if (!alias.empty()) {
    entry = tables.Items(AddSQLObjectIfNeed(UnquoteIdentifier(alias, kind), false));
    entry->SetTableName(table);
  } else if (TDKTableInfo* known = tables.FindByName(table)) {
    entry = known;
    entry->SetTableAlias("");
  } else if (GetServerPrimaryVer() >= 5) {
    entry = tables.Items(AddSQLObjectIfNeed(UnquoteIdentifier(table, kind), true));
  }
  if (entry) entry->SetTableNameFull(full);
}

// The tables of the FROM clause with their aliases and qualified names.
void TMySQLRecordset::ParseFromClause(const std::string& sql) {
  TDKTablesInfo& tables = GetTablesInfo();
  const auto* my_rules = dynamic_cast<const TMyTableInfoClass*>(&tables.TableInfoClass());
  const TMyCharsetKind kind = my_rules ? my_rules->Kind() : TMyCharsetKind::ckPlain;
  auto parser = SqlParser(sql, false);
  const bool handler = use_handler_ && Holds(sql, myHANDLER);
  if (!handler) {
    if (!Holds(sql, mySELECT)) {
      const bool columns = (Holds(sql, mySHOW) && Holds(sql, myCOLUMNS)) || Holds(sql, myDESC);
      if (!columns) return;
      if (TFieldDesc* type = FindField("Type")) {
        type->SetLength(256);
        if (!long_strings_) type->SetDataType(dtMemo);
      }
      return;
    }
    if (parser->ToLexem(myFROM) != myFROM) return;
  } else {
    parser->ToLexem(myHANDLER);
  }
  std::string lexem;
  int code = 0;
  const auto next_solid = [&] {
    do code = parser->GetNext(lexem);
    while (code == LexemBlank);
  };
  for (;;) {
    next_solid();
    if (code == LexemEnd) break;
    std::string name;
    while (code != LexemEnd && code != LexemBlank && lexem[0] != ',' && lexem[0] != ';' && code != mySemicolon) {
      name += lexem;
      code = parser->GetNext(lexem);
    }
    std::string alias;
    if (code == LexemBlank && !handler) {
      next_solid();
      if (code == myAS) next_solid();
      if (code == LexemIdent) {
        alias = lexem;
        next_solid();
      }
    }
    AddFromTable(name, alias, kind);
    if (handler || code != myComma) break;
  }
  for (int i = 0; i < tables.Count(); ++i) {
    TDKTableInfo* entry = tables.Items(i);
    if (entry->GetTableNameFull().empty()) entry->SetTableNameFull(entry->GetTableName());
  }
}

std::string EmptyResultSQL(const std::string& sql) {
  auto parser = SqlParser(sql, true);
  if (parser->ToLexem(mySELECT) != mySELECT) return sql;
  const size_t select_end = static_cast<size_t>(parser->CurrPos());
  auto scan = SqlParser(sql, true);
  if (scan->ToLexem(mySET) == mySET && static_cast<size_t>(scan->CurrPos()) < select_end) return sql;
  std::string lexem;
  const auto start_of = [&](TParser& p) { return static_cast<size_t>(p.CurrPos()) - lexem.size(); };
  scan = SqlParser(sql, true);
  if (scan->ToLexem(myLIMIT) == myLIMIT && scan->GetNext(lexem) == LexemNumber) {
    // The count: the number after the offset in "LIMIT offset, count".
    size_t count_at = start_of(*scan);
    size_t count_size = lexem.size();
    if (scan->GetNext(lexem) == myComma && scan->GetNext(lexem) == LexemNumber) {
      count_at = start_of(*scan);
      count_size = lexem.size();
    }
    return std::string(sql).replace(count_at, count_size, "0");
  }
  // Only the locking clauses: FOR UPDATE, LOCK IN SHARE MODE (not FOR SYSTEM_TIME).
  const std::pair<int, const char*> clauses[] = {{myPROCEDURE, nullptr}, {myFOR, "UPDATE"}, {myLOCK, "IN"}};
  for (const auto& [keyword, next] : clauses) {
    scan = SqlParser(sql, true);
    while (scan->ToLexem(keyword) == keyword) {
      const size_t at = static_cast<size_t>(scan->CurrPos()) - (keyword == myPROCEDURE ? 9 : keyword == myFOR ? 3 : 4);
      std::string following;
      scan->GetNext(following);
      if (!next || plat::SameText(following, next)) return std::string(sql).insert(at, "LIMIT 0 ");
    }
  }
  scan = SqlParser(sql, true);
  if (scan->ToLexem(mySemicolon) != mySemicolon) return sql + " LIMIT 0";
  const size_t semicolon = static_cast<size_t>(scan->CurrPos()) - 1;
  if (semicolon < select_end) return sql;
  return std::string(sql).insert(semicolon, " LIMIT 0 ");
}

}  // namespace dac
