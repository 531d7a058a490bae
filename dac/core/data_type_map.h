// The two-way mapping between the record store's data-type codes and the
// framework's field types, as parameters cross between the components
// (field types) and the server commands (data-type codes).
#pragma once

#include <cstdint>

#include "dac/framework/field_type.h"

namespace dac {

// The field type of a data-type code; any other code is the assertion
// failure "Unknown data type".
TFieldType FieldTypeOfDataType(uint16_t data_type);
// The data-type code of a field type; dtUnknown for a type without one and
// for the types past the framework's table.
uint16_t DataTypeOfFieldType(TFieldType field_type);

}  // namespace dac
