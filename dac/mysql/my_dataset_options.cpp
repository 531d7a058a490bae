#include "dac/mysql/my_dataset_options.h"

#include "dac/core/record_set.h"
#include "dac/mysql/my_dataset.h"
#include "dac/mysql/my_property_codes.h"

namespace dac {

DAC_DEFINE_CLASS(TMyDataSetOptions, TDADataSetOptions, ::dac::TMetaClass)

TMyDataSetOptions::TMyDataSetOptions(TCustomDADataSet* owner) : TDADataSetOptions(owner) {
  SetLongStrings(true);
  SetRequiredFields(false);
  SetFieldsOrigin(true);
}

void TMyDataSetOptions::SendToRecordSet(int prop, bool value) {
  if (Owner() && Owner()->GetIRecordSet()) Owner()->GetIRecordSet()->SetProp(prop, value);
}

void TMyDataSetOptions::SetFieldsAsString(bool value) {
  if (value == fields_as_string_) return;
  if (Owner()) Owner()->CheckInactive();
  fields_as_string_ = value;
  SendToRecordSet(prMyFieldsAsString, value);
  if (Owner()) Owner()->FieldDefs().SetUpdated(false);
}

void TMyDataSetOptions::SetNullForZeroDate(bool value) {
  if (value == null_for_zero_date_) return;
  if (Owner()) Owner()->CheckInactive();
  null_for_zero_date_ = value;
  SendToRecordSet(prMyNullForZeroDate, value);
}

void TMyDataSetOptions::SetEnableBoolean(bool value) {
  if (value == enable_boolean_) return;
  if (Owner()) Owner()->CheckInactive();
  enable_boolean_ = value;
  SendToRecordSet(prMyEnableBoolean, value);
  if (Owner()) Owner()->FieldDefs().SetUpdated(false);
}

void TMyDataSetOptions::SetCreateConnection(bool value) {
  if (value == create_connection_) return;
  if (Owner()) Owner()->CheckInactive();
  create_connection_ = value;
  SendToRecordSet(prMyCreateConnection, value);
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
