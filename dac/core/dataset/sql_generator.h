// TDASQLGenerator: builds the statements with which a dataset writes its
// edited rows back to its updating table and reads them again. A dataset
// owns one, made by its CreateSQLGenerator; a provider derives its own and
// overrides the name, parameter and condition steps.
//
// Every statement is assembled from six text parts, always in this order:
// header, field list, middle, value list, condition, footer. Each
// placeholder written registers one parameter in the target collection and
// one TDAParamInfo (field, old value or new, batch index), so that the
// dataset can later copy the row's values into the parameters.
//
//   TDAParams params;
//   std::string sql = data_set->SQLGenerator()->GenerateSQL(stUpdate, true, &params, -1);
//   // sql: "UPDATE dept\r\nSET\r\n  NAME = ?\r\nWHERE\r\n  ID = ?"
//   // params: NAME, Old_ID; ParamsInfo() says which field and value each carries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dac/core/server/server_types.h"
#include "dac/framework/classes/meta_class.h"
#include "dac/framework/data/dataset_types.h"
#include "dac/store/runtime/string_builder.h"

namespace dac {

class TCustomDADataSet;
class TDAParams;
class TDAParamsInfo;
class TDKFieldDesc;
class TDKTableInfo;
class TData;
class TFieldDesc;
struct TKeyAndDataFields;

class TDASQLGenerator : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // The dataset must be given (assertion).
  explicit TDASQLGenerator(TCustomDADataSet* data_set);
  ~TDASQLGenerator() override;
  TDASQLGenerator(const TDASQLGenerator&) = delete;
  TDASQLGenerator& operator=(const TDASQLGenerator&) = delete;

  TCustomDADataSet* DataSet() const { return data_set_; }
  // One entry per parameter of the last generated statement (of the class
  // GetParamInfoClass names, made on first use).
  TDAParamsInfo* ParamsInfo();
  // The table of the last generated statement.
  TDKTableInfo* TableInfo() const { return table_info_; }

  // ---- the operations a provider may replace, in slot order ----
  // Empties the six parts and forgets the record buffers.
  virtual void Clear();
  // The six parts in order (the statement type is for a provider).
  virtual std::string AssembleSB(TStatementType statement_type);
  // dtBlob, dtMemo and dtWideMemo.
  virtual bool IsBlobDataType(uint16_t data_type) const;
  // dtObject and dtArray.
  virtual bool IsObjectDataType(uint16_t data_type) const;
  // True for a closed dataset; an object is null when all its attributes are.
  virtual bool FieldIsNull(TFieldDesc* field_desc, bool old_value, TData* data, void* old_rec_buf, void* new_rec_buf);
  // With the dataset's record store and the row's buffers.
  virtual bool FieldIsNull(TFieldDesc* field_desc, bool old_value);
  // The new value differs from the old one (a blob: its object was written
  // or replaced; an object: one of its attributes changed).
  virtual bool FieldModified(TFieldDesc* field_desc, TData* data, void* old_rec_buf, void* new_rec_buf);
  virtual bool FieldModified(TFieldDesc* field_desc);
  // The column's name; the table prefix ("t.") dropped when table_info is
  // the column's own table.
  virtual std::string GetActualFieldNameEx(TDKFieldDesc* field_desc, TDKTableInfo* table_info);
  // Quoted as the dataset quotes; with the table's alias (or name) in front
  // for a full refresh and for a read-only dataset.
  virtual std::string GetActualFieldName(TDKFieldDesc* field_desc, bool is_refresh);
  // "_" + name: the alias a refresh column is read back by.
  virtual std::string GenerateIndexName(const std::string& name);
  // The number of such an alias; -1 for anything else.
  virtual int DecodeFieldIndex(const std::string& name);
  // Whether placeholders written for a target collection are "?".
  virtual bool IsSubstituteParamName();
  // Writes one placeholder into sb and registers its parameter: "Old_"
  // before the name of an old value, "P_<index>_" in a batch.
  virtual void AddParam(StringBuilder& sb, TFieldDesc* field_desc, TStatementType statement_type, TParamType param_type,
                        int index, bool old);
  virtual void AddFieldToInsertSQL(TDKFieldDesc* field_desc, int index);
  virtual void AddFieldToUpdateSQL(TDKFieldDesc* field_desc, bool skip_unchanged, int index);
  virtual void AddFieldToRefreshSQL(TDKFieldDesc* field_desc);
  // "col = <placeholder>", or "col IS NULL" when skip_unchanged and the
  // compared value is null.
  virtual void AddFieldToCondition(StringBuilder& sb, TDKFieldDesc* field_desc, TStatementType statement_type,
                                   bool skip_unchanged, int index);
  // skip_unchanged leaves out columns whose new value is null.
  virtual void GenerateInsertSQL(const TKeyAndDataFields& fields, bool skip_unchanged, int index);
  // skip_unchanged leaves out unmodified columns; none left: no statement.
  virtual void GenerateUpdateSQL(const TKeyAndDataFields& fields, bool skip_unchanged, int index);
  virtual void GenerateDeleteSQL(const TKeyAndDataFields& fields, bool skip_unchanged, int index);
  // Nothing here; a provider that locks rows writes its statement.
  virtual void GenerateLockSQL(const TKeyAndDataFields& fields, int index);
  virtual void GenerateRefreshSQLSelectPart(const TKeyAndDataFields& fields);
  virtual void GenerateRefreshSQLFromPart();
  virtual void GenerateRefreshSQL(const TKeyAndDataFields& fields, bool skip_unchanged);
  virtual void GenerateRefreshQuickSQL(const TKeyAndDataFields& fields);
  // The keys of the rows of the dataset's statement that still exist.
  virtual void GenerateRefreshCheckDeletedSQL(const TKeyAndDataFields& fields);
  // The key fields; else the identity field; else the non-blob data fields;
  // "Key fields not found" when there are no fields at all.
  virtual void GenerateConditions(StringBuilder& sb, TStatementType statement_type, bool skip_unchanged,
                                  const TKeyAndDataFields& fields, int index);
  // The class of the parameter information entries.
  virtual const TMetaClass& GetParamInfoClass() const;
  // The statement of the type for the table; "TableInfo name must be
  // provided" for a table without a name, "Bad statement type" for a type
  // that has no generated statement. params (may be null) receives the
  // parameters, each its own object even where names repeat.
  virtual std::string GenerateSQLforUpdTable(TDKTableInfo* table_info, const TKeyAndDataFields& fields,
                                             TStatementType statement_type, bool skip_unchanged, TDAParams* params,
                                             int index);
  // The statement for the dataset's updating table; "" without one.
  virtual std::string GenerateSQL(TStatementType statement_type, bool skip_unchanged, TDAParams* params,
                                  int index = -1);

  // ---- helpers ----
  // The dataset's record store.
  TData* Data() const;
  // The row's old values: the deferred post's, the applied cached update's,
  // or the current row's old record. Kept until Clear.
  void* OldRecBuf();
  // The row's new values: the applied cached update's, or the active buffer.
  void* NewRecBuf();
  // What a batch parameter's name starts with.
  static std::string IndexedPrefix() { return "P_"; }
  // The dataset's quoting.
  std::string QuoteName(const std::string& name) const;
  std::string UnQuoteName(const std::string& name) const;

 protected:
  // The six parts of the statement being built.
  StringBuilder& Header() { return header_; }
  StringBuilder& FieldList() { return field_list_; }
  StringBuilder& Middle() { return middle_; }
  StringBuilder& ValueList() { return value_list_; }
  StringBuilder& Condition() { return condition_; }
  StringBuilder& Footer() { return footer_; }
  // The collection receiving the parameters of the call running; may be null.
  TDAParams* TargetParams() const { return params_; }

 private:
  // The normalized name of the table (quoted with QuoteNames).
  std::string NormalizedTableName(const std::string& name) const;
  // The table's alias, else its name, normalized.
  std::string NormalizedAliasOrName(const TDKTableInfo& table_info) const;
  bool QuoteNames() const;

  TCustomDADataSet* data_set_;
  StringBuilder header_{100};
  StringBuilder field_list_{100};
  StringBuilder middle_{100};
  StringBuilder value_list_{100};
  StringBuilder condition_{100};
  StringBuilder footer_{100};
  void* old_rec_buf_ = nullptr;
  void* new_rec_buf_ = nullptr;
  TDAParams* params_ = nullptr;
  std::unique_ptr<TDAParamsInfo> params_info_;
  TDKTableInfo* table_info_ = nullptr;
};

}  // namespace dac
