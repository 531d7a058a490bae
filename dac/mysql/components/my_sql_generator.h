// TMySQLGenerator: the update statements of a MySQL dataset. It keeps the
// base assembly and changes five steps: column names come from the MySQL
// dataset, every placeholder's place in the statement is remembered (the
// MySQL command substitutes values by position), TIMESTAMP columns get
// their own conditions (zero timestamps, row versions, quick refresh), and
// it writes the row-lock statement.
//
//   std::string sql = generator.GenerateSQL(stDelete, true, &params);
//   for (int i = 0; i < params.Count(); ++i) offsets.push_back(generator.GetParamOffset(i));
#pragma once

#include <cstdint>
#include <string>

#include "dac/core/dataset/param_info.h"
#include "dac/core/dataset/sql_generator.h"

namespace dac {

class TCustomMyDataSet;

enum TLockRecordType : uint8_t { lrImmediately, lrDelayed };

// Where a parameter's placeholder was written: the text part and the index
// of its last character there.
class TMyParamInfo : public TDAParamInfo {
  DAC_DECLARE_CLASS();

 public:
  TMyParamInfo() = default;

  StringBuilder* GetBuilder() const { return builder_; }
  void SetBuilder(StringBuilder* value) { builder_ = value; }
  int32_t GetPosition() const { return position_; }
  void SetPosition(int32_t value) { position_ = value; }

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  StringBuilder* builder_ = nullptr;
  int32_t position_ = 0;
};

class TMySQLGenerator : public TDASQLGenerator {
  DAC_DECLARE_CLASS();

 public:
  // The dataset must be a MySQL dataset (assertion).
  explicit TMySQLGenerator(TCustomDADataSet* data_set);

  TLockRecordType GetLockRecordType() const { return lock_record_type_; }
  void SetLockRecordType(TLockRecordType value) { lock_record_type_ = value; }

  // The 1-based position in the assembled statement of the placeholder of
  // parameter index (of the last generated statement).
  int GetParamOffset(int index);

  // The MySQL dataset's name of the column.
  std::string GetActualFieldName(TDKFieldDesc* field_desc, bool is_refresh) override;
  // The base's placeholder, then its place remembered.
  void AddParam(StringBuilder& sb, TFieldDesc* field_desc, TStatementType statement_type, TParamType param_type,
                int index, bool old) override;
  // A refresh of a TIMESTAMP column whose old value is NULL matches the
  // zero timestamp instead of IS NULL. With every field written, an update
  // or delete compares with <=>, so that a NULL old value matches.
  void AddFieldToCondition(StringBuilder& sb, TDKFieldDesc* field_desc, TStatementType statement_type,
                           bool skip_unchanged, int index) override;
  // A value read as NULL with an exact text (a zero date under
  // NullForZeroDate) is the server's value still, not NULL.
  bool FieldIsNull(TFieldDesc* field_desc, bool old_value, TData* data, void* old_rec_buf,
                   void* new_rec_buf) override;
  using TDASQLGenerator::FieldIsNull;
  // With every field written (UpdateAllFields), an unmodified field whose
  // value may not round trip stays out (see RoundTrips).
  void AddFieldToUpdateSQL(TDKFieldDesc* field_desc, bool skip_unchanged, int index) override;
  // "SELECT NULL FROM <table> WHERE <keys> FOR UPDATE" (or LOCK IN SHARE MODE).
  void GenerateLockSQL(const TKeyAndDataFields& fields, int index) override;
  // Quick refresh: the rows whose TIMESTAMP is at least the latest seen.
  // CheckRowVersion: an update or delete also matches the row's version
  // (its TIMESTAMP, else every non-blob data column). An update or delete
  // without key fields ends in LIMIT 1.
  void GenerateConditions(StringBuilder& sb, TStatementType statement_type, bool skip_unchanged,
                          const TKeyAndDataFields& fields, int index) override;
  const TMetaClass& GetParamInfoClass() const override { return TMyParamInfo::ClassInfo(); }

 private:
  TCustomMyDataSet& MyDataSet() const;
  bool RoundTrips(TDKFieldDesc* field_desc);
  // The first data column of type TIMESTAMP, or null.
  static TDKFieldDesc* FirstTimestamp(const TKeyAndDataFields& fields);
  void AddRefreshQuickCondition(StringBuilder& sb, const TKeyAndDataFields& fields);
  void AddRowVersionConditions(StringBuilder& sb, TStatementType statement_type, bool skip_unchanged,
                               const TKeyAndDataFields& fields, int index);

  TLockRecordType lock_record_type_ = lrImmediately;
};

}  // namespace dac
