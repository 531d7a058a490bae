// TMyDataSetOptions: the switches of a MySQL dataset. Those that change how
// the record set reads rows need a closed dataset and go to the record set
// at once; AutoRefresh drives the dataset's refresh timer.
#pragma once

#include <cstdint>

#include "dac/core/dataset/dataset_options.h"

namespace dac {

class TMyDataSetOptions : public TDADataSetOptions {
  DAC_DECLARE_CLASS();

 public:
  // Long strings on, required fields off, field origins on.
  explicit TMyDataSetOptions(TCustomDADataSet* owner);

  // Every column is read as text; the field definitions are made again.
  bool GetFieldsAsString() const { return fields_as_string_; }
  void SetFieldsAsString(bool value);
  // The all-zero date reads as NULL (else as the zero date).
  bool GetNullForZeroDate() const { return null_for_zero_date_; }
  void SetNullForZeroDate(bool value);
  // Updates and deletes also match the row's version.
  bool GetCheckRowVersion() const { return check_row_version_; }
  void SetCheckRowVersion(bool value) { check_row_version_ = value; }
  // TINYINT(1) columns are booleans; the field definitions are made again.
  bool GetEnableBoolean() const { return enable_boolean_; }
  void SetEnableBoolean(bool value);
  // Fields take the columns' defaults from the server at open.
  bool GetDefaultValues() const { return default_values_; }
  void SetDefaultValues(bool value) { default_values_ = value; }
  // The dataset refreshes itself every AutoRefreshInterval seconds.
  bool GetAutoRefresh() const { return auto_refresh_; }
  void SetAutoRefresh(bool value);
  int32_t GetAutoRefreshInterval() const { return auto_refresh_interval_; }
  void SetAutoRefreshInterval(int32_t seconds);
  // A partly read result may run on a second connection.
  bool GetCreateConnection() const { return create_connection_; }
  void SetCreateConnection(bool value);

 protected:
  // The base options, then the MySQL switches that travel with them.
  void AssignTo(TPersistent* dest) const override;

 private:
  // Closed dataset; the value goes to the record set as prop, and the
  // field definitions are made again at the next open when they depend on it.
  void SetRecordSetSwitch(bool& stored, bool value, int prop, bool redefine_fields);

  bool fields_as_string_ = false;
  bool null_for_zero_date_ = true;
  bool check_row_version_ = false;
  bool enable_boolean_ = true;
  bool default_values_ = false;
  bool auto_refresh_ = false;
  int32_t auto_refresh_interval_ = 60;
  bool create_connection_ = true;
};

}  // namespace dac
