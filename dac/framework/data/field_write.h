// The setters' way to SetData: a field of its dataset's own hands the value
// on in one call (SetData walks the parents and checks for a dataset).
#pragma once

#include "dac/framework/data/dataset_base.h"
#include "dac/framework/data/field.h"

namespace dac {

inline void WriteFieldData(TField& field, const void* buffer, bool native_format = true) {
  if (TDataSetBase* dataset = field.OwnDataSet()) return dataset->SetFieldData(&field, buffer, native_format);
  field.SetData(buffer, native_format);
}

}  // namespace dac
