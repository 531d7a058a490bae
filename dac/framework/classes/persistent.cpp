#include "dac/framework/classes/persistent.h"

#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TPersistent, TObject, ::dac::TMetaClassOf<TPersistent>)

void TPersistent::Assign(const TPersistent* source) {
  if (!source) AssignError(nullptr, this);
  source->AssignTo(this);
}

void TPersistent::DefineProperties(TFiler&) {}

void TPersistent::AssignTo(TPersistent* dest) const { AssignError(this, dest); }

void TPersistent::AssignError(const TPersistent* source, const TPersistent* dest) {
  const std::string from = source ? source->ClassName() : "nil";
  throw EConvertError(Format("Cannot assign %s to %s", from.c_str(), dest->ClassName().c_str()));
}

}  // namespace dac
