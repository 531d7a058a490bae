// The record set's data types against the framework's field types.
#include <array>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/dataset/mem_dataset.h"

namespace dac {

namespace {

constexpr std::array<TFieldType, dtWideMemo + 1> kFieldTypes = {
    ftUnknown,    // dtUnknown
    ftString,     // dtString
    ftSmallint,   // dtInt8
    ftSmallint,   // dtSmallint
    ftInteger,    // dtInteger
    ftFloat,      // dtFloat
    ftDate,       // dtDate
    ftTime,       // dtTime
    ftDateTime,   // dtDateTime
    ftWord,       // dtWord
    ftBoolean,    // dtBoolean
    ftLargeint,   // dtLargeint
    ftCurrency,   // dtCurrency
    ftBlob,       // dtBlob
    ftMemo,       // dtMemo
    ftADT,        // dtObject
    ftReference,  // dtReference
    ftArray,      // dtArray
    ftDataSet,    // dtTable
    ftVariant,    // dtVariant
    ftString,     // dtExtString
    ftBytes,      // dtBytes
    ftVarBytes,   // dtVarBytes
    ftVarBytes,   // dtExtVarBytes
    ftLargeint,   // dtUInt32
    ftWideString, // dtWideString
    ftWideString, // dtExtWideString
    ftBCD,        // dtBCD
    ftFMTBcd,     // dtFmtBCD
    ftGuid,       // dtGuid
    ftMemo,       // dtWideMemo
};

// Indexed by field type.
constexpr std::array<uint16_t, kFieldTypeCount> kDataTypes = {
    dtUnknown,    // ftUnknown
    dtString,     // ftString
    dtSmallint,   // ftSmallint
    dtInteger,    // ftInteger
    dtWord,       // ftWord
    dtBoolean,    // ftBoolean
    dtFloat,      // ftFloat
    dtCurrency,   // ftCurrency
    dtBCD,        // ftBCD
    dtDate,       // ftDate
    dtTime,       // ftTime
    dtDateTime,   // ftDateTime
    dtBytes,      // ftBytes
    dtVarBytes,   // ftVarBytes
    dtInteger,    // ftAutoInc
    dtBlob,       // ftBlob
    dtMemo,       // ftMemo
    dtUnknown,    // ftGraphic
    dtUnknown,    // ftFmtMemo
    dtUnknown,    // ftParadoxOle
    dtUnknown,    // ftDBaseOle
    dtUnknown,    // ftTypedBinary
    dtUnknown,    // ftCursor
    dtString,     // ftFixedChar
    dtWideString, // ftWideString
    dtLargeint,   // ftLargeint
    dtObject,     // ftADT
    dtArray,      // ftArray
    dtReference,  // ftReference
    dtTable,      // ftDataSet
    dtUnknown,    // ftOraBlob
    dtUnknown,    // ftOraClob
    dtVariant,    // ftVariant
    dtUnknown,    // ftInterface
    dtUnknown,    // ftIDispatch
    dtGuid,       // ftGuid
    dtUnknown,    // ftTimeStamp
    dtFmtBCD,     // ftFMTBcd
};

}  // namespace

TFieldType GetFieldType(uint16_t data_type) {
  if (data_type < kFieldTypes.size()) return kFieldTypes[data_type];
  AssertionFailed("Unknown data type", __FILE__, __LINE__);
}

uint16_t GetDataType(TFieldType field_type) {
  return field_type < kDataTypes.size() ? kDataTypes[field_type] : dtUnknown;
}

}  // namespace dac
