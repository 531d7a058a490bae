// TDADataSetOptions: the switches of a dataset component. Most are plain
// values the dataset reads when it needs them; the setters of the others
// pass the value on to the dataset, its record set or its record store at
// once. Those that change how the record set is built need a closed dataset
// (EDatabaseError "Cannot perform this operation on an open dataset").
#pragma once

#include <cstdint>

#include "dac/core/server/server_types.h"
#include "dac/framework/classes/persistent.h"

namespace dac {

class TCustomDADataSet;

class TDADataSetOptions : public TPersistent {
  DAC_DECLARE_CLASS();

 public:
  explicit TDADataSetOptions(TCustomDADataSet* owner) : owner_(owner) {}

  TPersistent* GetOwner() const override;
  TCustomDADataSet* Owner() const { return owner_; }

  // Only the columns of the updating table stay editable.
  bool GetSetFieldsReadOnly() const { return set_fields_read_only_; }
  void SetSetFieldsReadOnly(bool value) { set_fields_read_only_ = value; }
  // Copied into the dataset; the field definitions are made again.
  bool GetRequiredFields() const { return required_fields_; }
  void SetRequiredFields(bool value);
  // Update statements must touch exactly one row.
  bool GetStrictUpdate() const { return strict_update_; }
  void SetStrictUpdate(bool value) { strict_update_ = value; }
  // Copied into the dataset.
  bool GetNumberRange() const { return number_range_; }
  void SetNumberRange(bool value);
  // RecordCount is counted on the server.
  bool GetQueryRecCount() const { return query_rec_count_; }
  void SetQueryRecCount(bool value) { query_rec_count_ = value; }
  // The dataset prepares itself when it opens; a change unprepares it.
  bool GetAutoPrepare() const { return auto_prepare_; }
  void SetAutoPrepare(bool value);
  // Parameters are read back after an update statement.
  bool GetReturnParams() const { return return_params_; }
  void SetReturnParams(bool value) { return_params_ = value; }
  // Trailing blanks of fixed (other) text fields are removed; copied into the record store.
  bool GetTrimFixedChar() const { return trim_fixed_char_; }
  void SetTrimFixedChar(bool value);
  bool GetTrimVarChar() const { return trim_var_char_; }
  void SetTrimVarChar(bool value);
  // Closed dataset; sent to the record set.
  bool GetLongStrings() const { return long_strings_; }
  void SetLongStrings(bool value);
  bool GetRemoveOnRefresh() const { return remove_on_refresh_; }
  void SetRemoveOnRefresh(bool value) { remove_on_refresh_ = value; }
  // Closed dataset; sent to the record set.
  bool GetFlatBuffers() const { return flat_buffers_; }
  void SetFlatBuffers(bool value);
  // Identifiers in generated SQL are quoted.
  bool GetQuoteNames() const { return quote_names_; }
  void SetQuoteNames(bool value) { quote_names_ = value; }
  // Milliseconds a detail waits after its master moved before it refreshes.
  int32_t GetDetailDelay() const { return detail_delay_; }
  void SetDetailDelay(int32_t value);
  // Closed dataset; sent to the record set.
  TCompressBlobMode GetCompressBlobMode() const { return compress_blob_mode_; }
  void SetCompressBlobMode(TCompressBlobMode value);
  bool GetFullRefresh() const { return full_refresh_; }
  void SetFullRefresh(bool value) { full_refresh_ = value; }
  // Closed dataset: master and detail rows are matched in memory instead of in the SQL.
  bool GetLocalMasterDetail() const { return local_master_detail_; }
  void SetLocalMasterDetail(bool value);
  bool GetFieldsOrigin() const { return fields_origin_; }
  void SetFieldsOrigin(bool value) { fields_origin_ = value; }
  // Statements per batch while cached updates are applied.
  int32_t GetUpdateBatchSize() const { return update_batch_size_; }
  void SetUpdateBatchSize(int32_t value) { update_batch_size_ = value; }
  bool GetUpdateAllFields() const { return update_all_fields_; }
  void SetUpdateAllFields(bool value) { update_all_fields_ = value; }
  // The dataset's own flag (false without one); a change needs a closed dataset.
  bool GetCacheCalcFields() const;
  void SetCacheCalcFields(bool value);

 protected:
  // To other dataset options, through the setters, in a fixed order;
  // RemoveOnRefresh, FieldsOrigin and UpdateBatchSize stay.
  void AssignTo(TPersistent* dest) const override;

 private:
  // The owner's field definitions are made again at its next open (at once when open).
  void FieldDefsOutOfDate(bool rebuild_when_open);

  bool set_fields_read_only_ = false;
  bool required_fields_ = true;
  bool strict_update_ = true;
  bool number_range_ = false;
  bool query_rec_count_ = false;
  bool auto_prepare_ = false;
  bool return_params_ = false;
  bool trim_fixed_char_ = true;
  bool trim_var_char_ = false;
  bool long_strings_ = true;
  bool remove_on_refresh_ = true;
  bool flat_buffers_ = false;
  bool quote_names_ = false;
  int32_t detail_delay_ = 0;
  TCompressBlobMode compress_blob_mode_ = cbNone;
  bool full_refresh_ = false;
  bool local_master_detail_ = false;
  bool fields_origin_ = false;
  int32_t update_batch_size_ = 1;
  bool update_all_fields_ = false;
  TCustomDADataSet* owner_;
};

}  // namespace dac
