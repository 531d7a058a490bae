#include "dac/mysql/components/my_sql_generator.h"

#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/server/record_set.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/data/field.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "dac/mysql/provider/my_messages.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/mysql/provider/my_table_info.h"
#include "dac/mysql/provider/my_type_mapping.h"
#include "dac/store/record/data_type_traits.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TMyParamInfo, TDAParamInfo, ::dac::TMetaClassOf<TMyParamInfo>)
DAC_DEFINE_CLASS(TMySQLGenerator, TDASQLGenerator, ::dac::TMetaClass)

namespace {

constexpr const char* kLineBreak = "\r\n";

bool IsTimestamp(const TFieldDesc* desc) {
  const auto* my_desc = dynamic_cast<const TMySQLFieldDesc*>(desc);
  return my_desc && my_desc->GetMySQLType() == mftTimestamp;
}

}  // namespace

void TMyParamInfo::AssignTo(TPersistent* dest) const {
  TDAParamInfo::AssignTo(dest);
  if (auto* other = dynamic_cast<TMyParamInfo*>(dest)) {
    other->builder_ = builder_;
    other->position_ = position_;
  }
}

TMySQLGenerator::TMySQLGenerator(TCustomDADataSet* data_set) : TDASQLGenerator(data_set) {
  DAC_ASSERT(dynamic_cast<TCustomMyDataSet*>(data_set) != nullptr, "A MySQL dataset expected");
}

TCustomMyDataSet& TMySQLGenerator::MyDataSet() const { return *static_cast<TCustomMyDataSet*>(DataSet()); }

std::string TMySQLGenerator::GetActualFieldName(TDKFieldDesc* field_desc, bool is_refresh) {
  return MyDataSet().GetActualFieldName(field_desc, is_refresh);
}

void TMySQLGenerator::AddParam(StringBuilder& sb, TFieldDesc* field_desc, TStatementType statement_type,
                               TParamType param_type, int index, bool old) {
  TDASQLGenerator::AddParam(sb, field_desc, statement_type, param_type, index, old);
  if (!TargetParams()) return;
  auto* info = static_cast<TMyParamInfo*>(ParamsInfo()->Items(ParamsInfo()->Count() - 1));
  info->SetBuilder(&sb);
  info->SetPosition(sb.Length() - 1);
}

int TMySQLGenerator::GetParamOffset(int index) {
  auto* info = dynamic_cast<TMyParamInfo*>(ParamsInfo()->Items(index));
  DAC_ASSERT(info != nullptr, "Parameter information of the MySQL generator expected");
  const StringBuilder* builder = info->GetBuilder();
  int start = Header().Length();
  if (builder != &FieldList()) {
    start += FieldList().Length() + Middle().Length();
    if (builder != &ValueList()) {
      start += ValueList().Length();
      DAC_ASSERT(builder == &Condition(), "A placeholder outside the field, value and condition parts");
    }
  }
  return start + info->GetPosition() + 1;
}

void TMySQLGenerator::AddFieldToCondition(StringBuilder& sb, TDKFieldDesc* field_desc, TStatementType statement_type,
                                          bool skip_unchanged, int index) {
  DAC_ASSERT(dynamic_cast<TMySQLFieldDesc*>(field_desc) != nullptr, "A MySQL field descriptor expected");
  if (skip_unchanged && statement_type == stRefresh && IsTimestamp(field_desc) && FieldIsNull(field_desc, true)) {
    if (sb.Length() > 0) sb.Append(" AND ");
    sb.Append(GetActualFieldName(field_desc, true));
    sb.Append(" = '00000000'");
    return;
  }
  // Every field written, the statement is one for any values: a NULL old
  // value has to match as well, which only the null-safe comparison does.
  if (!skip_unchanged && (statement_type == stUpdate || statement_type == stDelete)) {
    if (sb.Length() > 0) sb.Append(" AND ");
    sb.Append(GetActualFieldName(field_desc, false));
    sb.Append(" <=> ");
    AddParam(sb, field_desc, statement_type, ptInput, index, true);
    return;
  }
  TDASQLGenerator::AddFieldToCondition(sb, field_desc, statement_type, skip_unchanged, index);
}

TDKFieldDesc* TMySQLGenerator::FirstTimestamp(const TKeyAndDataFields& fields) {
  for (TDKFieldDesc* desc : fields.DataFieldDescs) {
    if (IsTimestamp(desc)) return desc;
  }
  return nullptr;
}

void TMySQLGenerator::GenerateConditions(StringBuilder& sb, TStatementType statement_type, bool skip_unchanged,
                                         const TKeyAndDataFields& fields, int index) {
  if (statement_type == stRefreshQuick) return AddRefreshQuickCondition(sb, fields);
  // Without a key the conditions match every row equal to the one edited:
  // the statement changes that one row, however many are alike.
  if ((statement_type == stUpdate || statement_type == stDelete) && fields.KeyFieldDescs.empty()) {
    Footer().Append(kLineBreak);
    Footer().Append("LIMIT 1");
  }
  if ((statement_type == stUpdate || statement_type == stDelete) && MyDataSet().MyOptions().GetCheckRowVersion()) {
    return AddRowVersionConditions(sb, statement_type, skip_unchanged, fields, index);
  }
  TDASQLGenerator::GenerateConditions(sb, statement_type, skip_unchanged, fields, index);
}

void TMySQLGenerator::AddRefreshQuickCondition(StringBuilder& sb, const TKeyAndDataFields& fields) {
  TDKFieldDesc* timestamp = FirstTimestamp(fields);
  if (!timestamp || !DataSet()->GetField(timestamp)) {
    AddMySQLMessages();
    DatabaseError(LoadResString(my_messages::STimestampFieldRequired));
  }
  const TMySQLConnection& server = MyDataSet().ServerConnection();
  double latest = 0;
  if (const auto* table = dynamic_cast<const TMyTableInfo*>(timestamp->GetTableInfo())) latest = table->GetMaxTimestamp();
  sb.Append(GetActualFieldName(timestamp, true));
  sb.Append(" >= ");
  sb.Append(ValueToSQL(dtDateTime, Variant(latest), false, false, false, server.GetServerPrimaryVer(),
                       server.GetEscaping()));
}

void TMySQLGenerator::AddRowVersionConditions(StringBuilder& sb, TStatementType statement_type, bool skip_unchanged,
                                              const TKeyAndDataFields& fields, int index) {
  std::vector<int> keys;
  for (TDKFieldDesc* key : fields.KeyFieldDescs) {
    AddFieldToCondition(sb, key, statement_type, skip_unchanged, index);
    keys.push_back(key->GetFieldNo());
  }
  TDKFieldDesc* timestamp = FirstTimestamp(fields);
  TField* field = timestamp ? DataSet()->GetField(timestamp) : nullptr;
  if (field && !field->IsNull()) return AddFieldToCondition(sb, timestamp, statement_type, skip_unchanged, index);
  DAC_ASSERT(!fields.DataFieldDescs.empty(), "Data fields expected for the row version");
  for (TDKFieldDesc* data : fields.DataFieldDescs) {
    if (IsBlobDataType(data->GetDataType())) continue;
    if (std::find(keys.begin(), keys.end(), data->GetFieldNo()) != keys.end()) continue;
    AddFieldToCondition(sb, data, statement_type, skip_unchanged, index);
  }
}

namespace {

// Text and memos, 8-bit or wide.
bool IsTextType(uint16_t type) {
  const TValueFamily family = FamilyOf(type);
  return family == TValueFamily::kText || (family == TValueFamily::kBlob && CharsOf(type) != TCharKind::kBytes);
}

}  // namespace

// What a full UPDATE may write back unmodified without changing it: not a
// FLOAT read as text (six digits of it), and text only when the session
// reads all of it (utf8mb4): in another character set the server sends '?'
// for what that set lacks.
bool TMySQLGenerator::RoundTrips(TDKFieldDesc* field_desc) {
  auto* desc = dynamic_cast<TMySQLFieldDesc*>(field_desc);
  if (!desc) return true;
  if (desc->GetMySQLType() == mftFloat) return false;
  if (!IsTextType(desc->GetDataType()) || desc->GetCharsetNr() == kBinaryCharsetNr) return true;
  const TMySQLConnection& server = MyDataSet().ServerConnection();
  return server.GetUnicodeMB4() || plat::AsciiLowerCase(server.GetCharset()) == "utf8mb4";
}

bool TMySQLGenerator::FieldIsNull(TFieldDesc* field_desc, bool old_value, TData* data, void* old_rec_buf,
                                  void* new_rec_buf) {
  void* buffer = old_value ? old_rec_buf : new_rec_buf;
  std::string text;
  if (auto* rs = dynamic_cast<TMySQLRecordset*>(data); rs && buffer && DataSet()->GetActive() &&
                                                       rs->GetExactText(field_desc->GetFieldNo(), buffer, text))
    return false;
  return TDASQLGenerator::FieldIsNull(field_desc, old_value, data, old_rec_buf, new_rec_buf);
}

void TMySQLGenerator::AddFieldToUpdateSQL(TDKFieldDesc* field_desc, bool skip_unchanged, int index) {
  if (!skip_unchanged && !RoundTrips(field_desc) && !FieldModified(field_desc)) return;
  TDASQLGenerator::AddFieldToUpdateSQL(field_desc, skip_unchanged, index);
}

void TMySQLGenerator::GenerateLockSQL(const TKeyAndDataFields& fields, int index) {
  const TDKTableInfo& table = *TableInfo();
  Header().Append("SELECT NULL FROM " +
                  table.GetInfoClass().NormalizeName(table.GetTableName(), DataSet()->Options().GetQuoteNames()));
  for (const char* piece : {kLineBreak, "WHERE", kLineBreak, "  "}) Middle().Append(piece);
  GenerateConditions(Condition(), stLock, false, fields, index);
  Footer().Append(kLineBreak);
  Footer().Append(lock_record_type_ == lrImmediately ? "FOR UPDATE" : "LOCK IN SHARE MODE");
}

}  // namespace dac
