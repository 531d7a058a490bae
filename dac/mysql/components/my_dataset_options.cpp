#include "dac/mysql/components/my_dataset_options.h"

#include "dac/core/server/record_set.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/provider/my_property_codes.h"

namespace dac {

DAC_DEFINE_CLASS(TMyDataSetOptions, TDADataSetOptions, ::dac::TMetaClass)

TMyDataSetOptions::TMyDataSetOptions(TCustomDADataSet* owner) : TDADataSetOptions(owner) {
  SetLongStrings(true);
  SetRequiredFields(false);
  SetFieldsOrigin(true);
}

void TMyDataSetOptions::SetRecordSetSwitch(bool& stored, bool value, int prop, bool redefine_fields) {
  if (value == stored) return;
  if (Owner()) Owner()->CheckInactive();
  stored = value;
  if (!Owner()) return;
  if (TDKRecordSet* record_set = Owner()->GetIRecordSet()) record_set->SetProp(prop, value);
  if (redefine_fields) Owner()->FieldDefs().SetUpdated(false);
}

void TMyDataSetOptions::SetFieldsAsString(bool value) {
  SetRecordSetSwitch(fields_as_string_, value, prMyFieldsAsString, true);
}

void TMyDataSetOptions::SetNullForZeroDate(bool value) {
  SetRecordSetSwitch(null_for_zero_date_, value, prMyNullForZeroDate, false);
}

void TMyDataSetOptions::SetEnableBoolean(bool value) {
  SetRecordSetSwitch(enable_boolean_, value, prMyEnableBoolean, true);
}

void TMyDataSetOptions::SetCreateConnection(bool value) {
  SetRecordSetSwitch(create_connection_, value, prMyCreateConnection, false);
}

void TMyDataSetOptions::SetAutoRefresh(bool value) {
  if (value == auto_refresh_) return;
  auto_refresh_ = value;
  if (auto* data_set = dynamic_cast<TCustomMyDataSet*>(Owner())) data_set->UpdateAutoRefreshTimer();
}

void TMyDataSetOptions::SetAutoRefreshInterval(int32_t seconds) {
  if (seconds == auto_refresh_interval_) return;
  auto_refresh_interval_ = seconds;
  if (auto* data_set = dynamic_cast<TCustomMyDataSet*>(Owner())) data_set->UpdateAutoRefreshTimer();
}

void TMyDataSetOptions::AssignTo(TPersistent* dest) const {
  TDADataSetOptions::AssignTo(dest);
  auto* other = dynamic_cast<TMyDataSetOptions*>(dest);
  if (!other) return;
  other->SetLongStrings(GetLongStrings());
  other->SetFullRefresh(GetFullRefresh());
  other->SetFieldsAsString(fields_as_string_);
  other->SetCompressBlobMode(GetCompressBlobMode());
  other->SetNullForZeroDate(null_for_zero_date_);
  other->SetEnableBoolean(enable_boolean_);
  other->SetFieldsOrigin(GetFieldsOrigin());
  other->SetCreateConnection(create_connection_);
}

}  // namespace dac
