#include "dac/framework/data/field_classes.h"

#include "dac/framework/data/binary_fields.h"
#include "dac/framework/data/blob_fields.h"
#include "dac/framework/data/boolean_field.h"
#include "dac/framework/data/date_time_fields.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/object_fields.h"
#include "dac/framework/data/string_fields.h"
#include "dac/framework/data/variant_field.h"

namespace dac {

namespace {

template <typename T>
const TComponentClass* ClassOf() {
  return &static_cast<const TComponentClass&>(T::ClassInfo());
}

}  // namespace

const TComponentClass* DefaultFieldClass(TFieldType type) {
  switch (type) {
    case ftString:
    case ftFixedChar: return ClassOf<TStringField>();
    case ftSmallint: return ClassOf<TSmallintField>();
    case ftInteger: return ClassOf<TIntegerField>();
    case ftWord: return ClassOf<TWordField>();
    case ftBoolean: return ClassOf<TBooleanField>();
    case ftFloat: return ClassOf<TFloatField>();
    case ftCurrency: return ClassOf<TCurrencyField>();
    case ftBCD: return ClassOf<TBCDField>();
    case ftDate: return ClassOf<TDateField>();
    case ftTime: return ClassOf<TTimeField>();
    case ftDateTime: return ClassOf<TDateTimeField>();
    case ftBytes: return ClassOf<TBytesField>();
    case ftVarBytes: return ClassOf<TVarBytesField>();
    case ftAutoInc: return ClassOf<TAutoIncField>();
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob: return ClassOf<TBlobField>();
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob: return ClassOf<TMemoField>();
    case ftWideString: return ClassOf<TWideStringField>();
    case ftLargeint: return ClassOf<TLargeintField>();
    case ftADT: return ClassOf<TADTField>();
    case ftArray: return ClassOf<TArrayField>();
    case ftReference: return ClassOf<TReferenceField>();
    case ftDataSet: return ClassOf<TDataSetField>();
    case ftVariant: return ClassOf<TVariantField>();
    case ftGuid: return ClassOf<TGuidField>();
    case ftFMTBcd: return ClassOf<TFMTBCDField>();
    default: return nullptr;
  }
}

}  // namespace dac
