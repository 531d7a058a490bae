#include "dac/core/data_type_map.h"

#include <array>

#include "dac/framework/exceptions.h"
#include "dac/store/data_types.h"

namespace dac {

namespace {

// Indexed by the data-type code.
constexpr std::array<TFieldType, 31> kFieldTypes = {
    ftUnknown,   ftString,   ftSmallint, ftSmallint,   ftInteger,    ftFloat,   ftDate,     ftTime,
    ftDateTime,  ftWord,     ftBoolean,  ftLargeint,   ftCurrency,   ftBlob,    ftMemo,     ftADT,
    ftReference, ftArray,    ftDataSet,  ftVariant,    ftString,     ftBytes,   ftVarBytes, ftVarBytes,
    ftLargeint,  ftWideString, ftWideString, ftBCD,    ftFMTBcd,     ftGuid,    ftMemo,
};

// Indexed by the field type.
constexpr std::array<uint16_t, kFieldTypeCount> kDataTypes = {
    dtUnknown,   dtString,  dtSmallint, dtInteger,   dtWord,      dtBoolean, dtFloat,   dtCurrency,
    dtBCD,       dtDate,    dtTime,     dtDateTime,  dtBytes,     dtVarBytes, dtInteger, dtBlob,
    dtMemo,      dtUnknown, dtUnknown,  dtUnknown,   dtUnknown,   dtUnknown, dtUnknown, dtString,
    dtWideString, dtLargeint, dtObject, dtArray,     dtReference, dtTable,   dtUnknown, dtUnknown,
    dtVariant,   dtUnknown, dtUnknown,  dtGuid,      dtUnknown,   dtFmtBCD,
};

}  // namespace

TFieldType FieldTypeOfDataType(uint16_t data_type) {
  DAC_ASSERT(data_type < kFieldTypes.size(), "Unknown data type");
  return kFieldTypes[data_type];
}

uint16_t DataTypeOfFieldType(TFieldType field_type) {
  return field_type < kDataTypes.size() ? kDataTypes[field_type] : dtUnknown;
}

}  // namespace dac
