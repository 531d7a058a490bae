// What the MySQL dataset learns about its columns from the server: number
// ranges by column type, default values, the members of ENUM and SET
// columns, the server-side record count and the XML attributes of
// auto-increment and TIMESTAMP columns.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <set>

#include "dac/core/access_utils.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/boolean_field.h"
#include "dac/framework/data/date_time_fields.h"
#include "dac/framework/data/field_defs.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/string_fields.h"
#include "dac/framework/values/currency.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "dac/mysql/provider/my_messages.h"
#include "dac/mysql/provider/my_parser.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/mysql/provider/my_value_conversion.h"
#include "dac/store/blob/blob.h"
#include "dac/store/xml/xml_text_writer.h"
#include "platform/format_settings.h"

namespace dac {

namespace {

// The range on whichever number field this is.
void SetRange(TField* field, double min, double max) {
  if (auto* f = dynamic_cast<TIntegerField*>(field)) {
    f->SetMinValue(static_cast<int32_t>(min));
    f->SetMaxValue(static_cast<int32_t>(max));
  } else if (auto* f = dynamic_cast<TLargeintField*>(field)) {
    f->SetMinValue(static_cast<int64_t>(min));
    f->SetMaxValue(static_cast<int64_t>(max));
  } else if (auto* f = dynamic_cast<TFloatField*>(field)) {
    f->SetMinValue(min);
    f->SetMaxValue(max);
  }
}

// The members of an ENUM or SET column's type text.
void ScanMembers(const std::string& type, TStrings& list) {
  size_t start = 0;
  if (type.rfind("enum", 0) == 0) {
    start = 6;
  } else if (type.rfind("set", 0) == 0) {
    start = 5;
  } else {
    return;
  }
  bool quoted = true;
  std::string member;
  for (size_t i = start; i < type.size(); ++i) {
    const char c = type[i];
    if (!quoted) {
      if (c == '\'') {
        quoted = true;
        member.clear();
      }
      continue;
    }
    if (c != '\'') {
      member += c;
    } else if (i + 1 < type.size() && type[i + 1] == '\'') {
      member += '\'';
      ++i;
    } else {
      list.Add(member);
      quoted = false;
    }
  }
}

// A '.' decimal text with the locale's separator, as the fields read their ranges.
std::string WithSeparator(std::string text) {
  for (char& c : text)
    if (c == '.') c = plat::ProcessFormatSettings().decimal_separator;
  return text;
}

}  // namespace

// ---- number ranges ----

void TCustomMyDataSet::SetNumberRange(TFieldDef* def) {
  TField* field = FindField(def->Name());
  if (!dynamic_cast<TNumericField*>(field) || !my_record_set_) return;
  auto* desc = dynamic_cast<TMySQLFieldDesc*>(my_record_set_->FindField(def->Name()));
  if (!desc) return;
  const bool is_unsigned = desc->GetIsUnsigned();
  const int length = desc->GetLength();
  const int scale = desc->GetScale();
  switch (desc->GetMySQLType()) {
    case mftTiny: return is_unsigned ? SetRange(field, 0, 255) : SetRange(field, -128, 127);
    case mftShort: return is_unsigned ? SetRange(field, 0, 65535) : SetRange(field, -32768, 32767);
    case mftInt24: return is_unsigned ? SetRange(field, 0, 16777215) : SetRange(field, -8388608, 8388607);
    case mftLong:
      if (!dynamic_cast<TIntegerField*>(field)) return;
      return is_unsigned ? SetRange(field, 0, 0) : SetRange(field, -2147483648.0, 2147483647);
    case mftFloat:
    case mftDouble: {
      auto* number = dynamic_cast<TFloatField*>(field);
      if (!number) return;
      number->SetPrecision(length);
      const double max = desc->GetMySQLType() == mftFloat ? 3.402823466e38 : std::numeric_limits<double>::max();
      return SetRange(field, -max, max);
    }
    case mftYear:
      if (length == 2) SetRange(field, 0, 99);
      return;
    case mftDecimal:
    case mftNewDecimal: {
      // The descriptor's length is the column's digits: DECIMAL(5,2) runs to
      // 999.99, exactly; an unsigned one starts at 0.
      const int whole = std::max(length - scale, 0);
      const std::string max_text = (whole > 0 ? std::string(static_cast<size_t>(whole), '9') : std::string("0")) +
                                   (scale > 0 ? "." + std::string(static_cast<size_t>(scale), '9') : std::string());
      const std::string min_text = is_unsigned ? std::string("0") : "-" + max_text;
      const double max = std::pow(10.0, whole) - std::pow(10.0, -scale);
      const double min = is_unsigned ? 0 : -max;
      if (auto* bcd = dynamic_cast<TBCDField*>(field)) {
        Currency limit;
        if (!TryStrToCurr(WithSeparator(max_text), limit)) return;
        bcd->SetMaxValue(limit);
        // A zero minimum with a maximum is a range from 0.
        bcd->SetMinValue(is_unsigned ? Currency() : StrToCurr(WithSeparator(min_text)));
      } else if (auto* fmt = dynamic_cast<TFMTBCDField*>(field)) {
        fmt->SetMaxValue(WithSeparator(max_text));
        fmt->SetMinValue(WithSeparator(min_text));
      } else {
        SetRange(field, min, max);
      }
      return;
    }
    default: return;
  }
}

// ---- values their fields cannot hold exactly ----

bool TCustomMyDataSet::GetFieldExactText(TField* field, std::string& text) {
  if (!my_record_set_ || field->FieldKind() != fkData || field->FieldNo() < 1 || !GetActive()) return false;
  TRecordBuffer rec = nullptr;
  if (!GetActiveRecBuf(rec)) return false;
  return my_record_set_->GetExactText(static_cast<uint16_t>(field->FieldNo()), rec, text);
}

void TCustomMyDataSet::AssignFieldValue(TDAParam* param, TField* field, bool old) {
  // A blob goes as its blob, shared: wide text stays wide, and an empty one
  // is an empty value, not NULL.
  if (field->IsBlob()) {
    std::optional<TTempState> state;
    if (old) state.emplace(*this, dsOldValue);
    TBlob* blob = field->IsNull() ? nullptr : GetBlob(field);
    param->SetDataType(field->DataType() == ftBlob ? ftBlob : ftMemo);
    if (!blob) return param->Clear();
    if (param->DataType() == ftBlob) return param->SetAsBlobRef(blob);
    return param->SetAsMemoRef(blob);
  }
  std::string text;
  bool exact = false;
  // Text fields give their exact text as their value already.
  if (!dynamic_cast<TStringField*>(field)) {
    if (old) {
      TTempState state(*this, dsOldValue);
      exact = GetFieldExactText(field, text);
    } else {
      exact = GetFieldExactText(field, text);
    }
  }
  if (!exact) return TCustomDADataSet::AssignFieldValue(param, field, old);
  // A number goes as its digits, a date or time as the server's text of it.
  const bool number = dynamic_cast<TNumericField*>(field) || dynamic_cast<TBooleanField*>(field);
  param->SetDataType(number ? ftFMTBcd : ftString);
  param->SetAsVariant(Variant(text));
  param->SetBound(true);
}

void TCustomMyDataSet::CopyHiddenValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to, void* target,
                                       const std::function<TFieldDesc*(const std::string&)>& target_of) {
  auto* refreshed = dynamic_cast<TMySQLRecordset*>(&source);
  if (!refreshed || !my_record_set_) {
    return TCustomDADataSet::CopyHiddenValue(source, source_buf, from, to, target, target_of);
  }
  // The columns the refresh brought take its texts; the others keep theirs.
  std::set<std::string> brought;
  for (int i = 0; i < source.GetFieldDescs().Count(); ++i) {
    TFieldDesc* column = source.GetFieldDescs().GetItems(i);
    if (column == from) continue;
    if (TFieldDesc* own = target_of(column->GetName())) brought.insert(own->GetName());
  }
  std::vector<TExactText> kept;
  for (TExactText& text : my_record_set_->ExactTexts(target))
    if (!brought.count(text.name)) kept.push_back(std::move(text));
  for (TExactText& text : refreshed->ExactTexts(source_buf)) {
    if (TFieldDesc* own = target_of(text.name)) {
      text.name = own->GetName();
      kept.push_back(std::move(text));
    }
  }
  my_record_set_->SetExactTexts(target, kept);
}

// ---- default values ----

void TCustomMyDataSet::GetFieldsInfo() {
  if (Fields().Count() == 0 || GetUpdatingTableIdx() < 0) return;
  CheckUpdateQuery(stCustom);
  auto* query = dynamic_cast<TCustomMyDataSet*>(UpdateQuery());
  if (!query) return;
  query->SQL().SetText("SHOW FULL COLUMNS FROM " +
                       QuoteName(GetTablesInfo()->Items(GetUpdatingTableIdx())->GetTableNameFull()));
  RunTraced(query->SQL().Text(), &query->Params(), "Get FieldsInfo", [&] { query->Execute(); });
  for (query->First(); !query->GetEOF(); query->Next()) {
    TField* field = FindField(query->FieldByName("Field")->GetAsString());
    TField* column_default = query->FieldByName("Default");
    if (!field || column_default->IsNull()) continue;
    const std::string text = column_default->GetAsString();
    if (dynamic_cast<TBooleanField*>(field)) {
      field->SetDefaultExpression(text != "0" ? "True" : "False");
    } else if (dynamic_cast<TFloatField*>(field) || dynamic_cast<TBCDField*>(field) ||
               dynamic_cast<TFMTBCDField*>(field)) {
      std::string value = text;
      for (char& c : value) {
        if (c == '.') c = plat::ProcessFormatSettings().decimal_separator;
      }
      field->SetDefaultExpression(value);
    } else if (dynamic_cast<TDateTimeField*>(field)) {
      auto* desc = dynamic_cast<TMySQLFieldDesc*>(TMemDataSet::GetFieldDesc(field));
      double value = 0;
      if (text.empty() || !desc || !DateTimeFromText(desc->GetMySQLType(), desc->GetLength(), text, desc->GetName(), value))
        continue;
      if (dynamic_cast<TDateField*>(field)) {
        field->SetDefaultExpression(DateToStr(value));
      } else if (dynamic_cast<TTimeField*>(field)) {
        // A TIME default is a span: -01:30:00 keeps its sign.
        field->SetDefaultExpression(TimeFieldText(value));
      } else {
        field->SetDefaultExpression(DateTimeToStr(value));
      }
    } else {
      field->SetDefaultExpression(text);
    }
  }
  query->Close();
}

void TCustomMyDataSet::RunTraced(const std::string& sql, TParams* params, const std::string& caption,
                                 const std::function<void()>& work) {
  const TDASQLMonitorClass* monitor = nullptr;
  if (!GetLockDebug() && UsedConnection()) {
    const TDASQLMonitorClass& cls = UsedConnection()->SQLMonitorClass();
    if (cls.HasMonitor() || GetDebug()) monitor = &cls;
  }
  int32_t message_id = 0;
  if (monitor) monitor->SQLExecute(this, sql, params, caption, message_id, true);
  work();
  if (monitor) monitor->SQLExecute(this, sql, params, caption, message_id, false);
}

// ---- ENUM and SET members ----

void TCustomMyDataSet::GetFieldEnum(TStrings& list, const std::string& field_name, const std::string& table_name) {
  if (field_name.empty()) {
    AddMySQLMessages();
    DatabaseError(LoadResString(my_messages::SFieldNameNotDefined));
  }
  std::string table = table_name;
  if (table.empty() && my_record_set_) {
    auto* desc = dynamic_cast<TDKFieldDesc*>(my_record_set_->FindField(field_name));
    if (desc && desc->GetTableInfo()) table = desc->GetTableInfo()->GetTableName();
  }
  list.Clear();
  auto* query = MakeComponent<TMyQuery>(nullptr);
  std::string type;
  WithCleanup(
      [&] {
        query->SetConnection(GetConnection());
        // The column by its exact name: '_' and '%' are no wildcards here.
        query->SQL().SetText("SHOW COLUMNS FROM " + QuoteName(table) + " WHERE Field = :field_name");
        query->ParamByName("field_name")->SetAsString(field_name);
        query->Open();
        if (query->IsEmpty()) DatabaseError(FormatText("Field %s not found", {field_name}));
        if (query->RecordCount() > 1) {
          AddMySQLMessages();
          DatabaseError(LoadResString(my_messages::sMultipleFieldsFound));
        }
        type = query->FieldByName("Type")->GetAsString();
        query->Close();
      },
      [&] { query->Free(); });
  ScanMembers(type, list);
}

// ---- the server-side record count ----

int TCustomMyDataSet::GetRecCount() {
  const bool result_param = ParamCount() > 0 && Params().Items(0)->ParamType() == ptResult;
  if (GetFetchAll() || !Options().GetQueryRecCount() || result_param) return TCustomDADataSet::GetRecCount();
  // The whole statement as a derived table counts what it gives, GROUP BY,
  // DISTINCT, LIMIT and UNION included; its order is of no account.
  std::string sql = SQLSetOrderBy(GetFinalSQL(), "");
  std::unique_ptr<TParser> parser = TMyParser::ParserClass().Create(sql);
  parser->SetOmitBlank(true);
  parser->SetOmitComment(true);
  if (parser->ToLexem(mySELECT) != mySELECT) return 0;
  // The statement ends at its ";": what follows is another one, or a comment.
  if (parser->ToLexem(mySemicolon) == mySemicolon) sql.resize(static_cast<size_t>(parser->CurrPos()) - 1);
  while (!sql.empty() && static_cast<unsigned char>(sql.back()) <= ' ') sql.pop_back();
  const std::string count_sql = "SELECT COUNT(*) FROM (" + sql + "\n) AS `rec_count`";
  CheckUpdateQuery(stCustom);
  auto* query = dynamic_cast<TCustomMyDataSet*>(UpdateQuery());
  if (!query) return 0;
  query->SQL().SetText(count_sql);
  for (int i = 0; i < Params().Count(); ++i) {
    if (TDAParam* target = query->Params().FindParam(Params().Items(i)->Name())) target->Assign(Params().Items(i));
  }
  int count = 0;
  RunTraced(query->SQL().Text(), &query->Params(), "Get RecCount", [&] {
    query->Open();
    count = query->IsEmpty() ? 0 : query->Fields().Fields(0)->GetAsInteger();
    query->Close();
  });
  server_rec_count_ = count;
  return count;
}

int TCustomMyDataSet::GetRecordCount() {
  if (GetActive() && !GetFetchAll() && Options().GetQueryRecCount()) return server_rec_count_;
  return TCustomDADataSet::GetRecordCount();
}

// ---- XML ----

void TCustomMyDataSet::WriteFieldXMLDataType(TField* field, TFieldDesc* desc, const std::string& alias,
                                             XmlTextWriter& writer) {
  TCustomDADataSet::WriteFieldXMLDataType(field, desc, alias, writer);
  auto* my_desc = dynamic_cast<TMySQLFieldDesc*>(desc);
  if (my_desc && my_desc->GetIsAutoIncrement() && !(field->Required() && !field->ReadOnly())) {
    writer.WriteAttributeString("rs:maybenull", "false");
  }
}

void TCustomMyDataSet::WriteFieldXMLAttributeType(TField* field, TFieldDesc* desc, const std::string& alias,
                                                  XmlTextWriter& writer) {
  TCustomDADataSet::WriteFieldXMLAttributeType(field, desc, alias, writer);
  auto* my_desc = dynamic_cast<TMySQLFieldDesc*>(desc);
  if (my_desc && my_desc->GetMySQLType() == mftTimestamp) writer.WriteAttributeString("rs:rowver", "true");
}

}  // namespace dac
