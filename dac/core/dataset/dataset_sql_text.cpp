// The dataset's SQL text: editing its WHERE and ORDER BY clauses, the
// memory of the text the editing started from, the final SQL with the
// filter and the server-side master/detail condition, and the names the
// dataset quotes.
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/data_access_globals.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_internals.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/macros.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/fields.h"
#include "platform/ascii.h"

namespace dac {

namespace {

std::string Trim(const std::string& text) { return std::string(plat::TrimBlanks(text)); }

}  // namespace

// ---- clause editing (a provider supplies the dialect) ----

std::string TCustomDADataSet::SQLAddWhere(const std::string&, const std::string&) { return ""; }
std::string TCustomDADataSet::SQLDeleteWhere(const std::string&) { return ""; }
std::string TCustomDADataSet::SQLGetWhere(const std::string&) { return ""; }
std::string TCustomDADataSet::SQLSetOrderBy(const std::string&, const std::string&) { return ""; }
std::string TCustomDADataSet::SQLGetOrderBy(const std::string&) { return ""; }

void TCustomDADataSet::AddWhere(const std::string& condition) {
  SaveModifiedSQL(SQLAddWhere(Trim(SQL().Text()), condition));
}

void TCustomDADataSet::DeleteWhere() { SaveModifiedSQL(SQLDeleteWhere(Trim(SQL().Text()))); }

void TCustomDADataSet::SetOrderBy(const std::string& fields) {
  SaveModifiedSQL(SQLSetOrderBy(Trim(SQL().Text()), fields));
}

std::string TCustomDADataSet::GetOrderBy() { return SQLGetOrderBy(Trim(SQL().Text())); }

// ---- base-SQL memory ----

void TCustomDADataSet::SaveSQL() { d_->base_sql = SQL().Text(); }

void TCustomDADataSet::RestoreSQL() {
  if (d_->base_sql.empty()) return;
  SQL().SetText(d_->base_sql);
  d_->base_sql.clear();
}

// A change of the text forgets the base (unless BaseSQLOldBehavior); an
// edit made here keeps the text it started from, so that RestoreSQL brings
// back the text before the first edit.
void TCustomDADataSet::SaveModifiedSQL(const std::string& new_sql) {
  if (new_sql == Trim(SQL().Text())) return;
  if (d_->base_sql.empty()) d_->base_sql = SQL().Text();
  const std::string base = d_->base_sql;
  SQL().SetText(new_sql);
  if (!BaseSQLOldBehavior) d_->base_sql = base;
}

// The SQL component's text changed.
void TDADataSetInterfaces::OwnerSQLChanged() {
  TCustomDADataSet& data_set = Self();
  if (!BaseSQLOldBehavior) data_set.d_->base_sql.clear();
  data_set.Close();
  data_set.UnPrepare();
  data_set.FieldDefs().SetUpdated(false);
  if (TDKCommand* command = data_set.GetICommand()) command->SetCursorState(csInactive);
  if (TDKRecordSet* record_set = data_set.GetIRecordSet()) record_set->SetCommandType(ctUnknown);
  TCustomDADataSetInternals::ForgetUpdatingTable(data_set);
  TCustomDADataSetInternals::CachePSTableName(data_set, false);
}

std::string TDADataSetInterfaces::OwnerSavedSQL() const { return Self().d_->base_sql; }

void TDADataSetInterfaces::SetOwnerSavedSQL(const std::string& value) { Self().d_->base_sql = value; }

std::string TCustomDADataSet::GetBaseSQL() {
  std::string text = d_->base_sql.empty() ? SQL().Text() : d_->base_sql;
  if (MacroCount() > 0) Macros().Expand(text);
  return text;
}

// ---- the SQL sent ----

// The SQL sent: the command's text with its macros expanded, the filter
// condition and the server-side master/detail condition added.
std::string TCustomDADataSet::GetFinalSQL() {
  std::string sql = GetCommand()->GetFinalSQL();
  if (!d_->filter_sql.empty()) sql = SQLAddWhere(sql, d_->filter_sql);
  if (!IsConnectedToMaster() || Options().GetLocalMasterDetail()) return sql;
  // Each detail column equals a parameter named as the master field.
  const TDKTableInfoClass& rules = TableInfoClass();
  const bool quote_names = Options().GetQuoteNames();
  const std::string& master_fields = GetMasterFields();
  const std::string& detail_fields = GetDetailFields();
  std::string condition;
  for (size_t m = 1, d = 1;;) {
    const std::string master = ExtractFieldName(master_fields, m);
    const std::string detail = ExtractFieldName(detail_fields, d);
    if (master.empty() || detail.empty()) break;
    if (!condition.empty()) condition += " and ";
    condition += rules.NormalizeName(detail, quote_names) + " = :" + rules.NormalizeName(master, quote_names);
  }
  return condition.empty() ? sql : SQLAddWhere(sql, condition);
}

// The SQL component's assembly, then unprepared.
void TCustomDADataSet::AssembleSQL() {
  GetCommand()->AssembleSQL();
  UnPrepare();
}

// The trimmed condition goes into the SQL; an open dataset opens again, and
// the old condition comes back when that fails.
void TCustomDADataSet::SetFilterSQL(const std::string& value) {
  if (value == d_->filter_sql) return;
  const std::string old = d_->filter_sql;
  d_->filter_sql = Trim(value);
  const bool was_open = GetActive();
  if (!TCustomDADataSetInternals::Loading(*this)) {
    Close();
    UnPrepare();
  }
  AssembleSQL();
  if (!was_open) return;
  try {
    Open();
    if (Filtered() && !Filter().empty()) {
      Data()->FilterUpdated();
      Resync({});
      First();
    }
  } catch (...) {
    d_->filter_sql = old;
    AssembleSQL();
    throw;
  }
}

// ---- client-side filter ----

void TCustomDADataSet::SetFiltered(bool value) {
  if (value == Filtered() || !GetActive()) return TMemDataSet::SetFiltered(value);
  std::vector<TField*> key_fields;
  Variant key_values;
  GetCurrentKeys(key_fields, key_values);
  TMemDataSet::SetFiltered(value);
  if (!key_fields.empty()) Locate(key_fields, key_values, {});
}

// ---- names ----

// With QuoteNames, the name in the dataset's quotes (an empty name stays
// empty); UnQuoteName trims and takes them off again.
std::string TCustomDADataSet::QuoteName(const std::string& name) const {
  if (!Options().GetQuoteNames() || name.empty()) return name;
  return d_->left_quote + name + d_->right_quote;
}

std::string TCustomDADataSet::UnQuoteName(const std::string& name) const {
  const std::string trimmed = Trim(name);
  const bool quoted = trimmed.size() >= 3 && trimmed.front() == d_->left_quote && trimmed.back() == d_->right_quote;
  return Options().GetQuoteNames() && quoted ? trimmed.substr(1, trimmed.size() - 2) : trimmed;
}

std::string TCustomDADataSet::GetActualFieldName(TFieldDesc* field_desc) {
  return QuoteName(field_desc->GetName().empty() ? field_desc->GetActualName() : field_desc->GetName());
}

std::string TCustomDADataSet::GetActualFieldName(TField* field) {
  TFieldDesc* desc = GetFieldDesc(field);
  DAC_ASSERT(desc != nullptr, "Field " + field->FieldName() + " has no descriptor");
  return GetActualFieldName(desc);
}

// ---- macros of the SQL and the update SQL ----

// The macros of the SQL text and of the update SQL texts.
void TCustomDADataSet::ScanMacros(TObject*) {
  if (!GetCommand()) return;
  std::string text = SQL().Text();
  for (int type = stQuery; type <= stBatchUpdate; ++type) {
    if (const TStrings* list = GetUpdateSQLIndex(type)) text += list->Text();
  }
  Macros().Scan(text);
}

// The dataset's own update SQL of the type (a refresh condition starting
// with WHERE is added to the dataset's SQL).
std::string TCustomDADataSet::GetUpdateStatement(TStatementType statement_type) {
  const TStrings* list = GetUpdateSQLIndex(statement_type);
  if (!list) return "";
  if (statement_type != stRefresh) return list->Text();
  std::string text = Trim(list->Text());
  if (text.size() < 5 || !plat::SameText(text.substr(0, 5), "WHERE")) return text;
  const std::string base = SQLGeneratorCompatibility ? GetBaseSQL() : GetFinalSQL();
  return SQLAddWhere(base, Trim(text.substr(5)));
}

}  // namespace dac
