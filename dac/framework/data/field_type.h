// The field types of datasets, fields and parameters. Held in 16 bits so
// that descendants can number types of their own from kFieldTypeCount on.
#pragma once

#include <cstdint>
#include <string>

namespace dac {

enum TFieldType : uint16_t {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid,
  ftTimeStamp,
  ftFMTBcd,
};

constexpr uint16_t kFieldTypeCount = 38;

// The type's word without "ft" ("String", "FMTBcd"); a type past the table
// is named by its number ("40").
std::string FieldTypeName(TFieldType type);

}  // namespace dac
