// The field class the framework makes for each field type.
#pragma once

#include "dac/framework/data/field_type.h"

namespace dac {

class TComponentClass;

// nullptr for the types no field holds (ftUnknown, ftCursor, ftInterface,
// ftIDispatch, ftTimeStamp) and for types past the table.
const TComponentClass* DefaultFieldClass(TFieldType type);

}  // namespace dac
