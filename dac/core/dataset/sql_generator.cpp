#include "dac/core/dataset/sql_generator.h"

#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/param_info.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/core/server/table_info.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/record/mem_data.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TDASQLGenerator, TObject, ::dac::TMetaClass)

namespace {

constexpr const char* kLineBreak = "\r\n";
constexpr const char* kIndent = "  ";

// The position of the descriptor in the record store's field list; -1 when absent.
int IndexOfDesc(TData& data, const TFieldDesc* desc) {
  TFieldDescs& descs = data.GetFieldDescs();
  for (int i = 0; i < descs.Count(); ++i) {
    if (descs.GetItems(i) == desc) return i;
  }
  return -1;
}

// Whether test holds for an attribute that follows the object descriptor
// in the record store's field list.
template <typename Test>
bool AnyAttribute(TData& data, const TFieldDesc* object_desc, Test test) {
  TFieldDescs& descs = data.GetFieldDescs();
  for (int i = IndexOfDesc(data, object_desc) + 1; i > 0 && i < descs.Count(); ++i) {
    TFieldDesc* attribute = descs.GetItems(i);
    if (attribute->GetParentField() != object_desc) break;
    if (test(attribute)) return true;
  }
  return false;
}

}  // namespace

TDASQLGenerator::TDASQLGenerator(TCustomDADataSet* data_set) : data_set_(data_set) {
  DAC_ASSERT(data_set != nullptr, "Assertion failure");
}

TDASQLGenerator::~TDASQLGenerator() = default;

TDAParamsInfo* TDASQLGenerator::ParamsInfo() {
  if (!params_info_) params_info_ = std::make_unique<TDAParamsInfo>(GetParamInfoClass());
  return params_info_.get();
}

// ---- helpers ----

TData* TDASQLGenerator::Data() const { return data_set_->Data(); }

void* TDASQLGenerator::OldRecBuf() {
  if (old_rec_buf_) return old_rec_buf_;
  if (data_set_->GetInDeferredPost()) {
    old_rec_buf_ = data_set_->GetOldDeferredPostBuf();
  } else if (data_set_->GetInCacheProcessing()) {
    old_rec_buf_ = data_set_->GetOldCacheRecBuf();
  } else {
    old_rec_buf_ = data_set_->GetOldRecord();
  }
  return old_rec_buf_;
}

void* TDASQLGenerator::NewRecBuf() {
  if (new_rec_buf_) return new_rec_buf_;
  if (data_set_->GetInCacheProcessing()) {
    new_rec_buf_ = data_set_->GetNewCacheRecBuf();
  } else {
    TRecordBuffer buffer = nullptr;
    data_set_->GetActiveRecBuf(buffer);
    new_rec_buf_ = buffer;
  }
  return new_rec_buf_;
}

std::string TDASQLGenerator::QuoteName(const std::string& name) const {
  DAC_ASSERT(data_set_ != nullptr, "Assertion failure");
  return data_set_->QuoteName(name);
}

std::string TDASQLGenerator::UnQuoteName(const std::string& name) const {
  DAC_ASSERT(data_set_ != nullptr, "Assertion failure");
  return data_set_->UnQuoteName(name);
}

bool TDASQLGenerator::QuoteNames() const { return data_set_->Options().GetQuoteNames(); }

std::string TDASQLGenerator::NormalizedTableName(const std::string& name) const {
  return table_info_->GetInfoClass().NormalizeName(name, QuoteNames());
}

std::string TDASQLGenerator::NormalizedAliasOrName(const TDKTableInfo& table_info) const {
  const std::string& alias = table_info.GetTableAlias();
  return table_info.GetInfoClass().NormalizeName(alias.empty() ? table_info.GetTableName() : alias, QuoteNames());
}

// ---- parts and types ----

void TDASQLGenerator::Clear() {
  for (StringBuilder* part : {&header_, &field_list_, &middle_, &value_list_, &condition_, &footer_}) {
    part->SetActualLength(0);
  }
  old_rec_buf_ = nullptr;
  new_rec_buf_ = nullptr;
}

std::string TDASQLGenerator::AssembleSB(TStatementType) {
  StringBuilder sql(header_.Length() + field_list_.Length() + middle_.Length() + value_list_.Length() +
                    condition_.Length() + footer_.Length() + 1);
  for (const StringBuilder* part : {&header_, &field_list_, &middle_, &value_list_, &condition_, &footer_}) {
    sql.Append(*part);
  }
  return sql.ToString();
}

bool TDASQLGenerator::IsBlobDataType(uint16_t data_type) const { return dac::IsBlobDataType(data_type); }

bool TDASQLGenerator::IsObjectDataType(uint16_t data_type) const {
  return data_type == dtObject || data_type == dtArray;
}

// ---- values of the row ----

bool TDASQLGenerator::FieldIsNull(TFieldDesc* field_desc, bool old_value, TData* data, void* old_rec_buf,
                                  void* new_rec_buf) {
  if (!data_set_->GetActive()) return true;
  if (IsObjectDataType(field_desc->GetDataType())) {
    return !AnyAttribute(*data, field_desc, [&](TFieldDesc* attribute) {
      return !FieldIsNull(attribute, old_value, data, old_rec_buf, new_rec_buf);
    });
  }
  void* buffer = old_value ? old_rec_buf : new_rec_buf;
  // Without a row (an empty dataset) there is no value.
  return !buffer || data->GetNull(field_desc->GetFieldNo(), buffer);
}

bool TDASQLGenerator::FieldIsNull(TFieldDesc* field_desc, bool old_value) {
  return FieldIsNull(field_desc, old_value, Data(), OldRecBuf(), NewRecBuf());
}

namespace {

std::string BlobBytes(TBlob& blob) {
  std::string bytes(blob.GetSize(), '\0');
  if (!bytes.empty()) bytes.resize(blob.Read(0, static_cast<uint32_t>(bytes.size()), bytes.data()));
  return bytes;
}

// Both null, or both holding the same bytes.
bool SameBlobValue(TData& data, uint16_t field_no, void* old_rec_buf, void* new_rec_buf) {
  const bool old_null = data.GetNull(field_no, old_rec_buf);
  if (old_null != data.GetNull(field_no, new_rec_buf)) return false;
  if (old_null) return true;
  auto* old_blob = dynamic_cast<TBlob*>(data.GetObject(field_no, old_rec_buf));
  auto* new_blob = dynamic_cast<TBlob*>(data.GetObject(field_no, new_rec_buf));
  if (old_blob == new_blob) return true;
  if (!old_blob || !new_blob) return false;
  return old_blob->GetSize() == new_blob->GetSize() && BlobBytes(*old_blob) == BlobBytes(*new_blob);
}

}  // namespace

bool TDASQLGenerator::FieldModified(TFieldDesc* field_desc, TData* data, void* old_rec_buf, void* new_rec_buf) {
  // Without a row (a closed or empty dataset) nothing was modified.
  if (!old_rec_buf || !new_rec_buf) return false;
  const uint16_t type = field_desc->GetDataType();
  if (IsBlobDataType(type)) {
    const uint16_t field_no = field_desc->GetFieldNo();
    // An edited cached row holds blobs of its own beside those of its old
    // version: what counts is whether the value differs.
    if (data_set_->GetInCacheProcessing()) return !SameBlobValue(*data, field_no, old_rec_buf, new_rec_buf);
    auto* blob = dynamic_cast<TBlob*>(data->GetObject(field_no, new_rec_buf));
    return blob && blob->GetModified();
  }
  if (IsObjectDataType(type)) {
    return AnyAttribute(*data, field_desc, [&](TFieldDesc* attribute) {
      return FieldModified(attribute, data, old_rec_buf, new_rec_buf);
    });
  }
  auto* mem_data = dynamic_cast<TMemData*>(data);
  DAC_ASSERT(mem_data != nullptr, "The record store cannot compare records");
  return mem_data->CompareFields(new_rec_buf, old_rec_buf, field_desc) != 0;
}

bool TDASQLGenerator::FieldModified(TFieldDesc* field_desc) {
  return FieldModified(field_desc, Data(), OldRecBuf(), NewRecBuf());
}

// ---- names ----

std::string TDASQLGenerator::GetActualFieldNameEx(TDKFieldDesc* field_desc, TDKTableInfo* table_info) {
  std::string name = field_desc->GetActualName();
  const TDKTableInfo* own = field_desc->GetTableInfo();
  const bool same_table = table_info == own || (table_info && own && table_info->GetTableName() == own->GetTableName());
  if (!same_table || !own || own->GetTableName().empty()) return name;
  // Only a name qualified by the table loses its first part: "dept.ID", not "deptx.ID".
  const std::string& table = own->GetTableName();
  if (name.compare(0, table.size(), table) == 0 && name.size() > table.size() && name[table.size()] == '.') {
    name.erase(0, name.find('.') + 1);
  }
  return name;
}

std::string TDASQLGenerator::GetActualFieldName(TDKFieldDesc* field_desc, bool is_refresh) {
  std::string name = QuoteName(GetActualFieldNameEx(field_desc, field_desc->GetTableInfo()));
  const bool prefixed = (is_refresh && data_set_->Options().GetFullRefresh()) || data_set_->GetReadOnly();
  if (prefixed && field_desc->GetTableInfo()) name = NormalizedAliasOrName(*field_desc->GetTableInfo()) + "." + name;
  return name;
}

std::string TDASQLGenerator::GenerateIndexName(const std::string& name) { return "_" + name; }

int TDASQLGenerator::DecodeFieldIndex(const std::string& name) {
  if (name.size() < 2 || name[0] != '_') return -1;
  return plat::ParseIntOr(std::string_view(name).substr(1), -1);
}

bool TDASQLGenerator::IsSubstituteParamName() { return true; }

// ---- pieces ----

void TDASQLGenerator::AddParam(StringBuilder& sb, TFieldDesc* field_desc, TStatementType statement_type,
                               TParamType param_type, int index, bool old) {
  std::string name = field_desc->GetName();
  if (old) name = "Old_" + name;
  if (index > -1) name = IndexedPrefix() + std::to_string(index) + "_" + name;
  name = QuoteName(name);
  const bool named_refresh =
      statement_type == stRefresh && (data_set_->ParamCount() > 0 || data_set_->Options().GetFullRefresh());
  if (params_ && IsSubstituteParamName() && !named_refresh) {
    sb.Append('?');
  } else {
    sb.Append(":" + name);
  }
  if (!params_) return;
  params_->CreateParam(ftUnknown, name, param_type);
  auto* info = static_cast<TDAParamInfo*>(ParamsInfo()->Add());
  info->SetField(data_set_->GetField(field_desc));
  info->SetOld(old);
  info->SetParamIndex(index);
}

void TDASQLGenerator::AddFieldToInsertSQL(TDKFieldDesc* field_desc, int index) {
  if (field_list_.Length() > 0) {
    field_list_.Append(", ");
    value_list_.Append(", ");
  }
  field_list_.Append(field_desc->ActualNameQuoted(*data_set_->GetIRecordSet(), QuoteNames()));
  AddParam(value_list_, field_desc, stInsert, ptInput, index, false);
}

void TDASQLGenerator::AddFieldToUpdateSQL(TDKFieldDesc* field_desc, bool, int index) {
  if (field_list_.Length() > 0) field_list_.Append(", ");
  field_list_.Append(field_desc->ActualNameQuoted(*data_set_->GetIRecordSet(), QuoteNames()));
  field_list_.Append(" = ");
  AddParam(field_list_, field_desc, stUpdate, ptInput, index, false);
}

void TDASQLGenerator::AddFieldToRefreshSQL(TDKFieldDesc* field_desc) {
  if (field_list_.Length() > 0) field_list_.Append(", ");
  if (const TDKTableInfo* table = field_desc->GetTableInfo()) field_list_.Append(NormalizedAliasOrName(*table) + ".");
  field_list_.Append(field_desc->ActualNameQuoted(*data_set_->GetIRecordSet(), QuoteNames()));
  if (!data_set_->ComponentState().Contains(csDesigning)) {
    field_list_.Append(" AS " + GenerateIndexName(std::to_string(IndexOfDesc(*Data(), field_desc))));
  }
}

void TDASQLGenerator::AddFieldToCondition(StringBuilder& sb, TDKFieldDesc* field_desc, TStatementType statement_type,
                                          bool skip_unchanged, int index) {
  if (sb.Length() > 0) sb.Append(" AND ");
  DAC_ASSERT(field_desc != nullptr, "Assertion failure");
  sb.Append(GetActualFieldName(field_desc, statement_type == stRefresh));
  if (skip_unchanged && FieldIsNull(field_desc, statement_type != stRefresh)) {
    sb.Append(" IS NULL");
    return;
  }
  sb.Append(" = ");
  const bool old = statement_type == stRefresh ? data_set_->GetCachedUpdates() : true;
  AddParam(sb, field_desc, statement_type, ptInput, index, old);
}

void TDASQLGenerator::GenerateConditions(StringBuilder& sb, TStatementType statement_type, bool skip_unchanged,
                                         const TKeyAndDataFields& fields, int index) {
  if (!fields.KeyFieldDescs.empty()) {
    for (TDKFieldDesc* key : fields.KeyFieldDescs) AddFieldToCondition(sb, key, statement_type, skip_unchanged, index);
    return;
  }
  if (TField* identity = data_set_->IdentityField()) {
    auto* desc = dynamic_cast<TDKFieldDesc*>(data_set_->GetFieldDesc(identity));
    AddFieldToCondition(sb, desc, statement_type, skip_unchanged, index);
    return;
  }
  if (fields.DataFieldDescs.empty()) DatabaseError(LoadResString(SNoKeyFields));
  for (TDKFieldDesc* data : fields.DataFieldDescs) {
    if (!IsBlobDataType(data->GetDataType())) AddFieldToCondition(sb, data, statement_type, skip_unchanged, index);
  }
}

// ---- statements ----

void TDASQLGenerator::GenerateInsertSQL(const TKeyAndDataFields& fields, bool skip_unchanged, int index) {
  for (TDKFieldDesc* data : fields.DataFieldDescs) {
    if (skip_unchanged && FieldIsNull(data, false)) continue;
    AddFieldToInsertSQL(data, index);
  }
  header_.Append("INSERT INTO " + NormalizedTableName(table_info_->GetTableNameFull()));
  header_.Append(kLineBreak);
  header_.Append(kIndent);
  header_.Append('(');
  middle_.Append(')');
  middle_.Append(kLineBreak);
  middle_.Append("VALUES");
  middle_.Append(kLineBreak);
  middle_.Append(kIndent);
  middle_.Append('(');
  footer_.Append(')');
}

void TDASQLGenerator::GenerateUpdateSQL(const TKeyAndDataFields& fields, bool skip_unchanged, int index) {
  for (TDKFieldDesc* data : fields.DataFieldDescs) {
    if (skip_unchanged && !FieldModified(data)) continue;
    AddFieldToUpdateSQL(data, skip_unchanged, index);
  }
  if (field_list_.Length() == 0) {
    Clear();
    return;
  }
  header_.Append("UPDATE " + NormalizedTableName(table_info_->GetTableNameFull()));
  for (const char* piece : {kLineBreak, "SET", kLineBreak, kIndent}) header_.Append(piece);
  for (const char* piece : {kLineBreak, "WHERE", kLineBreak, kIndent}) middle_.Append(piece);
  GenerateConditions(condition_, stUpdate, skip_unchanged, fields, index);
}

void TDASQLGenerator::GenerateDeleteSQL(const TKeyAndDataFields& fields, bool skip_unchanged, int index) {
  header_.Append("DELETE FROM " + NormalizedTableName(table_info_->GetTableNameFull()));
  for (const char* piece : {kLineBreak, "WHERE", kLineBreak, kIndent}) header_.Append(piece);
  GenerateConditions(condition_, stDelete, skip_unchanged, fields, index);
}

void TDASQLGenerator::GenerateLockSQL(const TKeyAndDataFields&, int) {}

void TDASQLGenerator::GenerateRefreshSQLSelectPart(const TKeyAndDataFields& fields) {
  header_.Append("SELECT ");
  const TFieldDescArray& columns = fields.DataFieldDescs.empty() ? fields.KeyFieldDescs : fields.DataFieldDescs;
  for (TDKFieldDesc* column : columns) AddFieldToRefreshSQL(column);
}

void TDASQLGenerator::GenerateRefreshSQLFromPart() {
  // The qualified name: a table of another database is read from there.
  middle_.Append(NormalizedTableName(table_info_->GetTableNameFull()));
  if (!table_info_->GetTableAlias().empty()) {
    middle_.Append(' ');
    middle_.Append(NormalizedTableName(table_info_->GetTableAlias()));
  }
}

void TDASQLGenerator::GenerateRefreshSQL(const TKeyAndDataFields& fields, bool skip_unchanged) {
  GenerateConditions(condition_, stRefresh, skip_unchanged, fields, -1);
  if (data_set_->Options().GetFullRefresh() || data_set_->GetReadOnly()) {
    const std::string sql = data_set_->SQL().Text();
    if (condition_.Length() > 0) {
      header_.Append(data_set_->SQLAddWhere(sql, std::string(kLineBreak) + kIndent + condition_.ToString()));
      condition_.SetActualLength(0);
    } else {
      header_.Append(sql);
    }
    return;
  }
  GenerateRefreshSQLSelectPart(fields);
  middle_.Append(" FROM ");
  GenerateRefreshSQLFromPart();
  for (const char* piece : {kLineBreak, "WHERE", kLineBreak, kIndent}) middle_.Append(piece);
}

void TDASQLGenerator::GenerateRefreshQuickSQL(const TKeyAndDataFields& fields) {
  GenerateConditions(condition_, stRefreshQuick, false, fields, -1);
  header_.Append(data_set_->SQLAddWhere(data_set_->GetFinalSQL(), condition_.ToString()));
  condition_.SetActualLength(0);
}

void TDASQLGenerator::GenerateRefreshCheckDeletedSQL(const TKeyAndDataFields& fields) {
  const char left = data_set_->LeftQuote();
  const char right = data_set_->RightQuote();
  // Unquoted by the dataset's quote characters, whatever QuoteNames says.
  auto unquoted = [left, right](const std::string& name) {
    const std::string_view trimmed = plat::TrimBlanks(name);
    const bool quoted = trimmed.size() >= 3 && trimmed.front() == left && trimmed.back() == right;
    return std::string(quoted ? trimmed.substr(1, trimmed.size() - 2) : trimmed);
  };
  header_.Append("SELECT ");
  for (TDKFieldDesc* key : fields.KeyFieldDescs) {
    if (field_list_.Length() > 0) {
      field_list_.Append(", ");
      footer_.Append(", ");
    }
    const std::string name = GetActualFieldName(key, false);
    field_list_.Append(name);
    footer_.Append(name);
    if (!plat::SameText(unquoted(name), unquoted(key->GetName())))
      field_list_.Append(" AS " + table_info_->GetInfoClass().QuoteIdentifier(key->GetName(), QuoteNames()));
  }
  middle_.Append(" FROM " + NormalizedTableName(table_info_->GetTableNameFull()));
  const std::string where = data_set_->SQLGetWhere(data_set_->GetFinalSQL());
  if (!where.empty()) middle_.Append(" WHERE " + where);
  middle_.Append(" ORDER BY ");
}

const TMetaClass& TDASQLGenerator::GetParamInfoClass() const { return TDAParamInfo::ClassInfo(); }

std::string TDASQLGenerator::GenerateSQLforUpdTable(TDKTableInfo* table_info, const TKeyAndDataFields& fields,
                                                    TStatementType statement_type, bool skip_unchanged,
                                                    TDAParams* params, int index) {
  DAC_ASSERT(table_info != nullptr, "Assertion failure");
  if (table_info->GetTableName().empty()) DatabaseError(LoadResString(SBadTableInfoName));
  Clear();
  table_info_ = table_info;
  params_ = params;
  if (params) {
    params->BeginUpdate();
    params->Clear();
    ParamsInfo()->Clear();
  }
  // The collection stops updating and takes its own references whatever happens.
  struct EndParams {
    TDASQLGenerator& generator;
    ~EndParams() {
      TDAParams* target = generator.params_;
      generator.params_ = nullptr;
      if (!target) return;
      target->EndUpdate();
      ResetParamRefs(*target);
    }
  } end_params{*this};
  switch (statement_type) {
    case stInsert: GenerateInsertSQL(fields, skip_unchanged, index); break;
    case stUpdate: GenerateUpdateSQL(fields, skip_unchanged, index); break;
    case stDelete: GenerateDeleteSQL(fields, skip_unchanged, index); break;
    case stLock: GenerateLockSQL(fields, index); break;
    case stRefresh: GenerateRefreshSQL(fields, skip_unchanged); break;
    case stRefreshQuick: GenerateRefreshQuickSQL(fields); break;
    case stRefreshCheckDeleted: GenerateRefreshCheckDeletedSQL(fields); break;
    default: DatabaseError(LoadResString(SBadStatementType));
  }
  return AssembleSB(statement_type);
}

std::string TDASQLGenerator::GenerateSQL(TStatementType statement_type, bool skip_unchanged, TDAParams* params,
                                         int index) {
  const int table = data_set_->GetUpdatingTableIdx();
  if (table == -1) return "";
  TKeyAndDataFields fields;
  data_set_->GetKeyAndDataFields(fields, statement_type == stRefresh && data_set_->Options().GetFullRefresh());
  return GenerateSQLforUpdTable(data_set_->GetTablesInfo()->Items(table), fields, statement_type, skip_unchanged,
                                params, index);
}

}  // namespace dac
