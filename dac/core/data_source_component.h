// TDKDataSource: the library's data source component.
#pragma once

#include "dac/framework/data/data_source.h"

namespace dac {

class TDKDataSource : public TDataSource {
  DAC_DECLARE_CLASS();

 public:
  explicit TDKDataSource(TComponent* owner);

  // Set while the component is made in a designer; cleared once it is loaded.
  bool GetDesignCreate() const { return design_create_; }
  void SetDesignCreate(bool value) { design_create_ = value; }
  void Loaded() override;

 protected:
  // To another data source: its dataset, AutoEdit and Enabled.
  void AssignTo(TPersistent* dest) const override;

 private:
  bool design_create_ = false;
};

}  // namespace dac
