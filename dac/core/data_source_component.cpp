#include "dac/core/data_source_component.h"

namespace dac {

DAC_DEFINE_CLASS(TDKDataSource, TDataSource, TComponentClassOf<TDKDataSource>)

TDKDataSource::TDKDataSource(TComponent* owner) : TDataSource(owner) {}

void TDKDataSource::Loaded() {
  TDataSource::Loaded();
  design_create_ = false;
}

void TDKDataSource::AssignTo(TPersistent* dest) const {
  auto* other = dynamic_cast<TDataSource*>(dest);
  if (!other) return TDataSource::AssignTo(dest);
  other->SetDataSet(DataSet());
  other->SetAutoEdit(AutoEdit());
  other->SetEnabled(Enabled());
}

}  // namespace dac
