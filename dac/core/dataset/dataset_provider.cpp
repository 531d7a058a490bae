// The dataset's provider operations: what a data provider reads of its
// metadata, the statements it runs through it and the changes of a delta
// it applies with the dataset's update object.
#include <utility>
#include <vector>

#include "dac/core/access_utils.h"
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_internals.h"
#include "dac/core/macros.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/core/server/table_info.h"
#include "dac/core/sql_component.h"
#include "dac/core/update_sql.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/index_defs.h"
#include "dac/framework/data/table_name_scanner.h"
#include "dac/store/lexer/bool_parser.h"
#include "platform/ascii.h"

namespace dac {

namespace {

// "?" markers outside literals and comments, as the lexer reads them,
// become ":1", ":2", ... in order. A "?" inside a literal is data.
std::string NumberMarkers(const std::string& sql, const TParserClass& parser_class) {
  std::unique_ptr<TParser> parser = parser_class.Create(sql);
  std::vector<int> markers;  // 0-based positions
  std::string lexem;
  while (int code = parser->GetNext(lexem)) {
    if (code == LexemString || code == LexemComment || lexem != "?") continue;
    const int at = parser->CurrPos() - 1;
    if (at >= 0 && at < static_cast<int>(sql.size()) && sql[static_cast<size_t>(at)] == '?') markers.push_back(at);
  }
  std::string result;
  size_t from = 0;
  for (size_t i = 0; i < markers.size(); ++i) {
    const size_t at = static_cast<size_t>(markers[i]);
    result.append(sql, from, at - from);
    result += ":" + std::to_string(i + 1);
    from = at + 1;
  }
  result.append(sql, from, std::string::npos);
  return result;
}

// Copies of the parameters, named "1", "2", ... in order; an unknown
// direction becomes input.
void CopyNumberedParams(TParams* source, TDAParams& target) {
  target.Clear();
  if (!source) return;
  for (int i = 0; i < source->Count(); ++i) {
    auto* copy = static_cast<TParam*>(target.Add());
    copy->Assign(source->Items(i));
    copy->SetName(std::to_string(i + 1));
    if (copy->ParamType() == ptUnknown) copy->SetParamType(ptInput);
  }
}

// Frees the component on the way out unless it is handed on.
class ComponentGuard {
 public:
  explicit ComponentGuard(TComponent* component) : component_(component) {}
  ~ComponentGuard() {
    if (component_) component_->Free();
  }
  ComponentGuard(const ComponentGuard&) = delete;
  ComponentGuard& operator=(const ComponentGuard&) = delete;
  TComponent* Release() { return std::exchange(component_, nullptr); }

 private:
  TComponent* component_;
};

// Gives the component the connection made Debug, the text and the
// parameters, and runs it; freed when that fails, else handed back.
template <typename Component>
Component* RunNumbered(TComponent* made, bool debug, const std::string& text, TParams* params) {
  ComponentGuard guard(made);
  auto* component = dynamic_cast<Component*>(made);
  DAC_ASSERT(component != nullptr, "The connection made a component of another class");
  component->SetDebug(debug);
  component->SQL().SetText(text);
  CopyNumberedParams(params, component->Params());
  component->Execute();
  guard.Release();
  return component;
}

// Runs work on the dataset opened for its metadata only (one row, not
// traced), then closes it with Debug, FetchAll and FetchRows as they were,
// also when the open or the work fails.
template <typename Work>
void WithMetadataOpen(TCustomDADataSet& data_set, Work work) {
  const bool debug = data_set.GetDebug();
  const bool fetch_all = data_set.GetFetchAll();
  const int32_t fetch_rows = data_set.GetFetchRows();
  auto restore = [&] {
    data_set.SetDebug(debug);
    data_set.Close();
    data_set.SetFetchAll(fetch_all);
    data_set.SetFetchRows(fetch_rows);
  };
  WithCleanup(
      [&] {
        data_set.SetDebug(false);
        data_set.SetFetchAll(false);
        data_set.SetFetchRows(1);
        data_set.Execute();
        work();
      },
      restore);
}

}  // namespace

TParams* TCustomDADataSet::PSGetParams() { return &Params(); }

void TCustomDADataSet::PSSetParams(TParams* params) {
  if (params && params->Count() > 0) Params().Assign(params);
}

void TCustomDADataSet::PSSetCommandText(const std::string& text) {
  if (!text.empty()) SQL().SetText(text);
}

void TCustomDADataSet::PSReset() {
  TMemDataSet::PSReset();
  if (!GetActive()) return;
  Close();
  Open();
}

bool TCustomDADataSet::PSInTransaction() {
  TCustomDAConnection* used = UsedConnection();
  return used && used->GetInTransaction();
}

void TCustomDADataSet::PSStartTransaction() {
  TCustomDAConnection* used = UsedConnection();
  if (used && GetAutoCommit() && used->GetAutoCommit()) used->StartTransaction();
}

void TCustomDADataSet::PSEndTransaction(bool commit) {
  TCustomDAConnection* used = UsedConnection();
  if (!used || !GetAutoCommit() || !used->GetAutoCommit()) return;
  if (commit) {
    used->Commit();
  } else {
    used->Rollback();
  }
}

// The updating table; while closed the one known at the last open, else
// UpdatingTable, else the table after FROM.
std::string TCustomDADataSet::PSGetTableName() {
  if (GetActive()) {
    TDKTablesInfo* tables = GetTablesInfo();
    const int32_t index = GetUpdatingTableIdx();
    if (tables && index >= 0 && index < tables->Count()) return tables->Items(index)->GetTableName();
    return GetUpdatingTable();
  }
  std::string name = d_->ps_table_name;
  if (name.empty()) name = TableInfoClass().NormalizeName(GetUpdatingTable(), false);
  if (name.empty()) name = TableInfoClass().NormalizeName(GetTableNameFromSQL(SQL().Text()), false);
  return name;
}

// The fields flagged as key, else the updating table's key fields. A closed
// dataset is opened for one row to learn them, and closed again with Debug,
// FetchAll and FetchRows as they were, whatever happens.
std::string TCustomDADataSet::PSGetKeyFields() {
  std::string result = TMemDataSet::PSGetKeyFields();
  if (!result.empty()) return result;
  if (!d_->ps_key_fields.empty()) return d_->ps_key_fields;
  if (!PreventPSKeyFields(result)) {
    const bool open_here = !GetActive() && GetConnection() && GetIRecordSet() && GetIRecordSet()->GetFieldCount() == 0;
    auto collect = [this, &result] {
      TKeyAndDataFields fields;
      GetKeyAndDataFields(fields, false);
      for (TDKFieldDesc* key : fields.KeyFieldDescs) {
        if (!result.empty()) result += ';';
        result += key->GetName();
      }
    };
    if (open_here) {
      WithMetadataOpen(*this, collect);
    } else {
      collect();
    }
  }
  d_->ps_key_fields = result;
  return result;
}

void TCustomDADataSetInternals::CachePSKeyFields(TCustomDADataSet& data_set, bool fill) {
  data_set.d_->ps_key_fields = fill ? data_set.PSGetKeyFields() : "";
}

void TCustomDADataSetInternals::CachePSTableName(TCustomDADataSet& data_set, bool fill) {
  data_set.d_->ps_table_name = fill ? data_set.PSGetTableName() : "";
}

std::unique_ptr<TIndexDef> TCustomDADataSet::PSGetDefaultOrder() {
  const std::string order = GetOrderBy();
  if (order.empty()) return nullptr;
  std::unique_ptr<TBoolParser> parser = MakeParser<TBoolParser>(order);
  parser->SetDecSeparator(".");
  std::string fields;
  std::string desc_fields;
  std::string previous;
  auto append = [](std::string& list, const std::string& name) { list += (list.empty() ? "" : ";") + name; };
  std::string lexem;
  while (int code = parser->GetNext(lexem)) {
    std::string name;
    if (code == LexemNumber) {
      const std::optional<int32_t> number = plat::ParseInt(lexem);
      if (!number || *number < 1 || *number > FieldDefs().Count()) continue;
      name = FieldDefs().Items(*number - 1)->Name();
    } else if (code == LexemIdent && plat::SameText(lexem, "DESC")) {
      if (!previous.empty()) append(desc_fields, previous);
      continue;
    } else if (code == LexemIdent && FindField(lexem)) {
      name = lexem;
    } else {
      continue;
    }
    append(fields, name);
    previous = name;
  }
  auto index = std::make_unique<TIndexDef>();
  index->SetFields(fields);
  index->SetDescFields(desc_fields);
  return index;
}

// Each "?" marker (outside literals and comments) becomes ":1", ":2", ...,
// bound by the parameters in order. With result_set the rows come back in a
// new dataset owned by the caller.
int TCustomDADataSet::PSExecuteStatement(const std::string& sql, TParams* params, TDataSet** result_set) {
  TCustomDAConnection* used = UsedConnection();
  if (!used) DatabaseError(LoadResString(SConnectionNotDefined), this);
  const std::string text = NumberMarkers(sql, Macros().ParserClass());
  if (result_set) {
    auto* query = RunNumbered<TCustomDADataSet>(used->CreateDataSet(), GetDebug(), text, params);
    *result_set = query;
    return query->RowsAffected();
  }
  auto* command = RunNumbered<TCustomDASQL>(used->CreateSQL(), GetDebug(), text, params);
  ComponentGuard guard(command);
  return command->RowsAffected();
}

// The OnUpdateRecord handler, else the update object's statement with its
// parameters bound from the delta; false: the provider applies it.
bool TCustomDADataSet::PSUpdateRecord(TUpdateKind kind, TDataSet* delta) {
  if (on_update_record_) {
    TUpdateAction action = uaFail;
    on_update_record_(delta, kind, action);
    return action == uaApplied;
  }
  TCustomDAUpdateSQL* update_object = GetUpdateObject();
  if (!update_object || !delta) return false;
  const TStatementType statement_type = UpdateKindToStatementType(kind);
  CheckUpdateQuery(statement_type);
  TComponent* query = UpdateQuery();
  TDBAccessUtils::SetAutoCommit(query, GetAutoCommit());
  // The update query runs the update object's statement of the kind.
  const std::string statement = update_object->GetSQL(kind)->Text();
  TStrings& query_sql = TDBAccessUtils::GetSQL(query);
  if (query_sql.Text() != statement) query_sql.SetText(statement);
  TDAParams& params = TDBAccessUtils::GetParams(query);
  for (int i = 0; i < params.Count(); ++i) {
    TDAParam* param = params.Items(i);
    const std::string& name = param->Name();
    const bool old = name.size() >= 4 && plat::SameText(std::string_view(name).substr(0, 4), "OLD_");
    TField* field = delta->FindField(old ? name.substr(4) : name);
    if (!field) continue;
    Variant value = old ? field->OldValue() : field->NewValue();
    if (!old && value.IsEmpty()) value = field->OldValue();
    param->AssignFieldValue(field, value);
  }
  TDBAccessUtils::Execute(query);
  return true;
}

}  // namespace dac
