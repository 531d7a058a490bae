#include "dac/framework/data/field_type.h"

#include <array>

namespace dac {

std::string FieldTypeName(TFieldType type) {
  static constexpr std::array<const char*, kFieldTypeCount> kNames = {
      "Unknown",    "String",    "Smallint", "Integer",     "Word",      "Boolean",   "Float",     "Currency",
      "BCD",        "Date",      "Time",     "DateTime",    "Bytes",     "VarBytes",  "AutoInc",   "Blob",
      "Memo",       "Graphic",   "FmtMemo",  "ParadoxOle",  "DBaseOle",  "TypedBinary", "Cursor",  "FixedChar",
      "WideString", "Largeint",  "ADT",      "Array",       "Reference", "DataSet",   "OraBlob",   "OraClob",
      "Variant",    "Interface", "IDispatch", "Guid",       "TimeStamp", "FMTBcd"};
  if (type < kFieldTypeCount) return kNames[type];
  return std::to_string(static_cast<unsigned>(type));
}

}  // namespace dac
