// The provider operations of the base: what a dataset that knows no SQL answers.
#include "dac/framework/data/dataset.h"
#include "dac/framework/data/field.h"

namespace dac {

void TDataSet::PSExecute() { DatabaseError("Operation not supported", this); }

int TDataSet::PSExecuteStatement(const std::string&, TParams*, TDataSet**) {
  DatabaseError("Operation not supported", this);
}

std::string TDataSet::PSGetKeyFields() {
  std::string names;
  for (int i = 0; i < Fields().Count(); ++i) {
    const TField* field = Fields().Fields(i);
    if (!field->ProviderFlags().Contains(pfInKey)) continue;
    if (!names.empty()) names += ';';
    names += field->FieldName();
  }
  return names;
}

std::unique_ptr<TIndexDef> TDataSet::PSGetDefaultOrder() { return nullptr; }

}  // namespace dac
