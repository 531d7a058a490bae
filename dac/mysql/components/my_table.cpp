#include "dac/mysql/components/my_table.h"

#include "dac/core/access_utils.h"
#include "dac/core/da_param.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/field.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "dac/mysql/provider/my_parser.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TMyTableOptions, TMyDataSetOptions, ::dac::TMetaClass)
DAC_DEFINE_CLASS(TCustomMyTable, TCustomMyDataSet, ::dac::TComponentClassOf<TCustomMyTable>)
DAC_DEFINE_CLASS(TMyTable, TCustomMyTable, ::dac::TComponentClassOf<TMyTable>)

namespace {

// The count of a HANDLER READ without a limit.
constexpr int32_t kHandlerAll = 2147483647;

std::string Trimmed(const std::string& value) { return std::string(plat::TrimBlanks(value)); }

}  // namespace

// ---- options ----

void TMyTableOptions::SetUseHandler(bool value) {
  if (value == use_handler_) return;
  if (Owner()) Owner()->CheckInactive();
  use_handler_ = value;
  if (!Owner()) return;
  if (TDKRecordSet* record_set = Owner()->GetIRecordSet()) record_set->SetProp(prMyUseHandler, value);
  Owner()->SQL().Clear();
}

void TMyTableOptions::SetHandlerIndex(const std::string& value) {
  if (value == handler_index_) return;
  if (Owner()) Owner()->CheckInactive();
  handler_index_ = value;
}

void TMyTableOptions::AssignTo(TPersistent* dest) const {
  TMyDataSetOptions::AssignTo(dest);
  if (auto* other = dynamic_cast<TMyTableOptions*>(dest)) {
    other->SetUseHandler(use_handler_);
    other->SetHandlerIndex(handler_index_);
  }
}

// ---- lifecycle and settings ----

TCustomMyTable::TCustomMyTable(TComponent* owner) : TCustomMyDataSet(owner) {}

TCustomMyTable::~TCustomMyTable() = default;

void TCustomMyTable::Init() {
  TCustomMyDataSet::Init();
  index_defs_ = std::make_unique<TIndexDefs>(this);
}

std::unique_ptr<TDADataSetOptions> TCustomMyTable::CreateOptions() { return std::make_unique<TMyTableOptions>(this); }

TMyTableOptions& TCustomMyTable::TableOptions() const { return static_cast<TMyTableOptions&>(Options()); }

void TCustomMyTable::SetTableName(const std::string& value) {
  if (!ComponentState().Contains(csReading)) Close();
  table_name_ = UnbracketIfPossible(Trimmed(value));
  SQL().Clear();
}

void TCustomMyTable::SetOrderFields(const std::string& value) {
  const std::string trimmed = Trimmed(value);
  if (trimmed == order_fields_) return;
  const bool active = GetActive();
  order_fields_ = trimmed;
  if (!ComponentState().Contains(csLoading)) SQL().Clear();
  if (active) Open();
}

void TCustomMyTable::SetLimit(int32_t value) {
  Close();
  limit_ = value;
  SQL().Clear();
}

void TCustomMyTable::SetOffset(int32_t value) {
  Close();
  offset_ = value;
  SQL().Clear();
}

TIndexDefs& TCustomMyTable::GetIndexDefs() {
  index_defs_->Update();
  return *index_defs_;
}

void TCustomMyTable::PSSetCommandText(const std::string& text) {
  if (!text.empty()) SetTableName(text);
}

void TCustomMyTable::PSSetParams(TParams* params) {
  if (params && params->Count() != Params().Count()) {
    SQL().Clear();
    std::string condition;
    for (int i = 0; i < params->Count(); ++i) {
      // The column and the parameter reference, each one quoted name.
      const std::string name = QuoteIdentifier(params->Items(i)->Name());
      condition += (i ? " AND " : "") + name + " = :" + name;
    }
    PrepareSQL();
    if (!condition.empty()) AddWhere(condition);
  }
  TCustomMyDataSet::PSSetParams(params);
}

void TCustomMyTable::AssignTo(TPersistent* dest) const {
  TCustomMyDataSet::AssignTo(dest);
  auto* other = dynamic_cast<TCustomMyTable*>(dest);
  if (!other) return;
  other->SetOrderFields(order_fields_);
  other->SetTableName(table_name_);
  other->SetMasterSource(GetMasterSource());
  other->SetMasterFields(GetMasterFields());
  other->SetDetailFields(GetDetailFields());
}

// ---- the statement ----

void TCustomMyTable::CheckTableName() const {
  if (table_name_.empty()) DatabaseError(LoadResString(STableNameNotDefined));
}

void TCustomMyTable::PrepareSQL() {
  CheckTableName();
  if (SQL().Count() > 0) return;
  SQL().SetText(TableOptions().GetUseHandler() ? HandlerSQL() : SelectSQL());
}

std::string TCustomMyTable::SelectSQL() const {
  std::string sql = "SELECT * FROM " + QuoteName(table_name_);
  if (!order_fields_.empty()) sql += " ORDER BY " + order_fields_;
  // No limit with an offset: the server takes only a count, so the largest one.
  if (limit_ != -1 || offset_ != 0)
    sql += " LIMIT " + std::to_string(offset_) + ", " + (limit_ == -1 ? std::string("18446744073709551615") : std::to_string(limit_));
  return sql;
}

std::string TCustomMyTable::HandlerOf() const { return "HANDLER " + QuoteName(table_name_); }

std::string TCustomMyTable::HandlerSQL() {
  const bool combined = !SeparatedHandler();
  std::string sql;
  if (combined) sql += HandlerOf() + " OPEN; ";
  sql += HandlerOf() + " READ";
  const std::string index = Trimmed(TableOptions().GetHandlerIndex());
  if (index.empty()) {
    sql += " FIRST";
  } else {
    sql += " " + index;
    // An index followed by a comparison reads from the compared key on.
    std::unique_ptr<TParser> parser = TMyParser::ParserClass().Create(index);
    parser->SetOmitBlank(true);
    parser->SetOmitComment(true);
    std::string lexem;
    parser->GetNext(lexem);
    parser->GetNext(lexem);
    if (lexem != "=" && lexem != "<" && lexem != ">") sql += " FIRST";
  }
  if (!GetFilterSQL().empty()) sql += " WHERE " + GetFilterSQL();
  sql += " LIMIT " + std::to_string(offset_) + ", " + std::to_string(limit_ == -1 ? kHandlerAll : limit_);
  if (combined) sql += "; " + HandlerOf() + " CLOSE";
  return sql;
}

bool TCustomMyTable::SeparatedHandler() {
  if (!TableOptions().GetUseHandler()) return false;
  const TMySQLConnection& server = ServerConnection();
  return !server.GetIsClient41() || !server.GetIsServer41();
}

void TCustomMyTable::Prepare() {
  PrepareSQL();
  TCustomMyDataSet::Prepare();
}

void TCustomMyTable::Execute() {
  PrepareSQL();
  TCustomMyDataSet::Execute();
}

void TCustomMyTable::BeforeOpenCursor(bool field_info_only) {
  PrepareSQL();
  if (SeparatedHandler()) UsedConnection()->ExecSQL(HandlerOf() + " OPEN", {});
  TCustomMyDataSet::BeforeOpenCursor(field_info_only);
}

void TCustomMyTable::AfterOpenCursor(bool field_info_only) {
  if (SeparatedHandler()) UsedConnection()->ExecSQL(HandlerOf() + " CLOSE", {});
  TCustomMyDataSet::AfterOpenCursor(field_info_only);
}

// ---- indexes and emptying ----

void TCustomMyTable::UpdateIndexDefs() {
  if (!UsedConnection() || !UsedConnection()->GetConnected() || table_name_.empty()) return;
  CheckUpdateQuery(stCustom);
  auto* query = dynamic_cast<TCustomMyDataSet*>(UpdateQuery());
  if (!query) return;
  query->SQL().SetText("SHOW INDEX FROM " + QuoteName(table_name_));
  const bool enable_boolean = query->MyOptions().GetEnableBoolean();
  WithCleanup(
      [&] {
        query->Close();
        // "Non_unique" is read as a number.
        query->MyOptions().SetEnableBoolean(false);
        try {
          query->Execute();
          for (query->First(); !query->GetEOF(); query->Next()) {
            const std::string key = query->FieldByName("Key_name")->GetAsString();
            const std::string column = query->FieldByName("Column_name")->GetAsString();
            TIndexDef* index = static_cast<TIndexDef*>(index_defs_->FindItem(key));
            if (!index) index = index_defs_->Add(key, "", {});
            index->SetFields(index->Fields().empty() ? column : index->Fields() + ";" + column);
            if (query->FieldByName("Non_unique")->GetAsInteger() == 0) {
              TIndexOptions options = index->Options();
              options.Include(ixUnique);
              index->SetOptions(options);
            }
          }
          query->Close();
        } catch (const std::exception&) {
          // The definitions read so far stay.
        }
      },
      [&] {
        query->Close();
        query->MyOptions().SetEnableBoolean(enable_boolean);
      });
}

void TCustomMyTable::EmptyTable() {
  CheckTableName();
  BeginConnection(true);
  WithCleanup(
      [this] {
        // The name goes quoted: a name is never read as SQL of its own.
        UsedConnection()->ExecSQL("TRUNCATE TABLE " + QuoteName(table_name_), {Variant::Null()});
        if (GetActive()) Refresh();
      },
      [this] { EndConnection(); });
}

}  // namespace dac
