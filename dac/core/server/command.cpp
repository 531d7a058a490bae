#include "dac/core/server/command.h"

#include "dac/core/server/connection.h"
#include "dac/core/server/new_instance.h"

namespace dac {

DAC_DEFINE_CLASS(TDKCommand, TObject, TMetaClass)

TParamDesc* TDKCommand::AddParam() { return params_.Add(NewInstance<TParamDesc>(GetParamDescType())); }

bool TDKCommand::SetProp(int prop, const Variant& value) {
  switch (prop) {
    case prAutoCommit:
      auto_commit_ = value.AsBoolean();
      return true;
    case prParamCheck:  // the base makes no parameter descriptions: nothing to switch
    case prSQLChanging:
      return true;
    default:
      DAC_UNKNOWN_PROP(prop);
  }
}

bool TDKCommand::GetProp(int prop, Variant& value) {
  switch (prop) {
    case prParamCheck:
      value = false;
      return true;
    case prExecuting:
      value = executing_.load();
      return true;
    default:
      DAC_UNKNOWN_PROP(prop);
  }
}

}  // namespace dac
