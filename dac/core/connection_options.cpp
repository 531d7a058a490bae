#include "dac/core/connection_options.h"

#include "dac/core/connection_component.h"
#include "dac/core/server/connection.h"

namespace dac {

DAC_DEFINE_CLASS(TDAConnectionOptions, TPersistent, TMetaClass)
DAC_DEFINE_CLASS(TPoolingOptions, TPersistent, TMetaClass)

TPersistent* TDAConnectionOptions::GetOwner() const { return owner_; }

void TDAConnectionOptions::SetDisconnectedMode(bool value) {
  if (value == disconnected_mode_) return;
  if (owner_) owner_->Disconnect();
  disconnected_mode_ = value;
  if (owner_ && owner_->GetIConnection()) owner_->GetIConnection()->SetProp(prDisconnectedMode, value);
}

void TDAConnectionOptions::AssignTo(TPersistent* dest) const {
  auto* options = dynamic_cast<TDAConnectionOptions*>(dest);
  if (!options) return TPersistent::AssignTo(dest);
  options->keep_design_connected_ = keep_design_connected_;
  options->SetDisconnectedMode(disconnected_mode_);
  options->local_failover_ = local_failover_;
}

TPersistent* TPoolingOptions::GetOwner() const { return owner_; }

void TPoolingOptions::AssignTo(TPersistent* dest) const {
  auto* options = dynamic_cast<TPoolingOptions*>(dest);
  if (!options) return TPersistent::AssignTo(dest);
  options->max_pool_size_ = max_pool_size_;
  options->min_pool_size_ = min_pool_size_;
  options->connection_lifetime_ = connection_lifetime_;
  options->validate_ = validate_;
}

}  // namespace dac
