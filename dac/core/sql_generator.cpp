#include "dac/core/sql_generator.h"

#include "dac/framework/exceptions.h"
#include "dac/store/data_types.h"

namespace dac {

DAC_DEFINE_CLASS(TDASQLGenerator, TObject, ::dac::TMetaClass)

TDASQLGenerator::TDASQLGenerator(TCustomDADataSet* data_set) : data_set_(data_set) {
  DAC_ASSERT(data_set != nullptr, "Assertion failure");
}

bool TDASQLGenerator::IsBlobDataType(uint16_t data_type) const {
  return data_type == dtBlob || data_type == dtMemo || data_type == dtWideMemo;
}

bool TDASQLGenerator::IsObjectDataType(uint16_t data_type) const {
  return data_type == dtObject || data_type == dtArray;
}

}  // namespace dac
