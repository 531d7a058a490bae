#include "dac/core/dataset/dataset_options.h"

#include "dac/core/dataset/dataset_component.h"
#include "dac/core/server/record_set.h"
#include "dac/store/runtime/win32_timer.h"

namespace dac {

DAC_DEFINE_CLASS(TDADataSetOptions, TPersistent, TMetaClass)

TPersistent* TDADataSetOptions::GetOwner() const { return owner_; }

void TDADataSetOptions::FieldDefsOutOfDate(bool rebuild_when_open) {
  if (!owner_) return;
  owner_->FieldDefs().SetUpdated(false);
  if (rebuild_when_open && owner_->GetActive()) owner_->FieldDefs().Update();
}

void TDADataSetOptions::SetRequiredFields(bool value) {
  if (value == required_fields_) return;
  required_fields_ = value;
  if (!owner_) return;
  owner_->SetRequiredFields(value);
  FieldDefsOutOfDate(true);
}

void TDADataSetOptions::SetNumberRange(bool value) {
  number_range_ = value;
  if (owner_) owner_->SetNumberRange(value);
}

void TDADataSetOptions::SetTrimFixedChar(bool value) {
  trim_fixed_char_ = value;
  if (owner_ && owner_->Data()) owner_->Data()->SetTrimFixedChar(value);
}

void TDADataSetOptions::SetTrimVarChar(bool value) {
  trim_var_char_ = value;
  if (owner_ && owner_->Data()) owner_->Data()->SetTrimVarChar(value);
}

void TDADataSetOptions::SetLongStrings(bool value) {
  if (owner_) owner_->CheckInactive();
  long_strings_ = value;
  if (owner_ && owner_->GetIRecordSet()) owner_->GetIRecordSet()->SetProp(prLongStrings, value);
  FieldDefsOutOfDate(false);
}

void TDADataSetOptions::SetFlatBuffers(bool value) {
  if (owner_) owner_->CheckInactive();
  flat_buffers_ = value;
  if (owner_ && owner_->GetIRecordSet()) owner_->GetIRecordSet()->SetProp(prFlatBuffers, value);
}

void TDADataSetOptions::SetAutoPrepare(bool value) {
  if (value == auto_prepare_) return;
  if (owner_) owner_->UnPrepare();
  auto_prepare_ = value;
}

void TDADataSetOptions::SetDetailDelay(int32_t value) {
  detail_delay_ = value;
  if (!owner_) return;
  owner_->CheckRefreshDetailTimer();
  owner_->DetailRefreshTimer()->SetInterval(static_cast<uint32_t>(std::max(value, 0)));
}

void TDADataSetOptions::SetLocalMasterDetail(bool value) {
  if (value == local_master_detail_) return;
  if (owner_) owner_->CheckInactive();
  local_master_detail_ = value;
  if (!owner_) return;
  TData* data = owner_->Data();
  if (!value) {
    if (data) data->SetFilterMDFunc(nullptr);
    return;
  }
  TCustomDADataSet* owner = owner_;
  if (data) data->SetFilterMDFunc([owner](void* rec_buf) { return owner->LocalDetailFilter(rec_buf); });
  owner_->AssembleSQL();
}

bool TDADataSetOptions::GetCacheCalcFields() const { return owner_ && owner_->GetCacheCalcFields(); }

void TDADataSetOptions::SetCacheCalcFields(bool value) {
  if (!owner_ || value == owner_->GetCacheCalcFields()) return;
  owner_->CheckInactive();
  owner_->SetCacheCalcFields(value);
}

void TDADataSetOptions::SetCompressBlobMode(TCompressBlobMode value) {
  if (value == compress_blob_mode_) return;
  if (owner_) owner_->CheckInactive();
  compress_blob_mode_ = value;
  if (owner_ && owner_->GetIRecordSet()) owner_->GetIRecordSet()->SetProp(prCompressBlobMode, static_cast<int32_t>(value));
  FieldDefsOutOfDate(false);
}

void TDADataSetOptions::AssignTo(TPersistent* dest) const {
  auto* options = dynamic_cast<TDADataSetOptions*>(dest);
  if (!options) return TPersistent::AssignTo(dest);
  options->SetRequiredFields(required_fields_);
  options->SetStrictUpdate(strict_update_);
  options->SetNumberRange(number_range_);
  options->SetQueryRecCount(query_rec_count_);
  options->SetAutoPrepare(auto_prepare_);
  options->SetReturnParams(return_params_);
  options->SetTrimFixedChar(trim_fixed_char_);
  options->SetTrimVarChar(trim_var_char_);
  options->SetLongStrings(long_strings_);
  options->SetFlatBuffers(flat_buffers_);
  options->SetDetailDelay(detail_delay_);
  options->SetSetFieldsReadOnly(set_fields_read_only_);
  options->SetQuoteNames(quote_names_);
  options->SetCompressBlobMode(compress_blob_mode_);
  options->SetLocalMasterDetail(local_master_detail_);
  options->SetCacheCalcFields(GetCacheCalcFields());
  options->SetFullRefresh(full_refresh_);
  options->SetUpdateAllFields(update_all_fields_);
}

}  // namespace dac
