// What each data-type code is: how a record keeps it, how wide it is, its
// characters, the Variant a read gives, and how the rowset export and the
// MySQL provider name it. One row per code, looked up by the code itself,
// so that the questions the layers ask of a type have one answer.
#pragma once

#include <array>
#include <cstdint>

#include "dac/framework/values/variant.h"
#include "dac/store/record/data_types.h"

namespace dac {

// Where a record keeps the value.
enum class TStorageKind : uint8_t {
  kNone,            // dtUnknown
  kInlineFixed,     // a number, date or decimal of a fixed width in the slot
  kInlineText,      // text or bytes in the slot, sized by the field's length
  kHeapReference,   // a pointer to a string-heap buffer
  kBlobReference,   // a reference to a TBlob
  kVariantObject,   // a reference to a TVariantObject
  kObject,          // a structured type: its attributes are child descriptors
};

// What the value's units are.
enum class TCharKind : uint8_t { kNone, kBytes, kAnsi, kWide };

// The value's kind as comparison, sorting and filtering read it.
enum class TValueFamily : uint8_t {
  kNone,
  kInteger,   // signed and unsigned integers
  kFloat,     // doubles: float and currency
  kDate,      // double date-times
  kBoolean,
  kDecimal,   // BCD (scaled int64) and the packed decimal
  kText,      // 8-bit or wide text, in place or on the heap
  kGuid,      // a GUID's text
  kBytes,     // bytes, in place or on the heap
  kBlob,      // blob and memo
  kVariant,
  kStructured,
};

// The export's dt:maxLength: none, the field's length or size, unbounded
// ("2147483647") or a GUID's 16 bytes.
enum class TXmlLength : uint8_t { kNone, kLength, kSize, kUnbounded, kGuid };

// The export's rs:precision: none, the field's length, or the type's digits.
enum class TXmlPrecision : uint8_t { kNone, kLength, kDigits };

struct TDataTypeTraits {
  TStorageKind storage;
  TValueFamily family;
  TCharKind chars;
  // The least bytes of a slot: the fixed value's (dtInt8 may have 2), a
  // reference's, a text's terminator or a byte value's length prefix.
  uint8_t slot_size;
  // The slot holds the field's Length bytes besides (dtBytes, dtVarBytes).
  bool slot_adds_length;
  // A 16-bit length before the bytes (dtVarBytes, dtExtVarBytes).
  bool length_prefix;
  // Bytes of the raw outside form (GetFieldData) when not the slot's size.
  uint16_t value_size;
  // The Variant kind a read gives; varEmpty when it gives none (and for
  // dtVariant, whose read gives the kind it holds).
  VarType variant_kind;
  // The MySQL provider fetches a column of the type as text.
  bool mysql_text_fetch;
  // The rowset export's attributes of a field of the type.
  const char* xml_type;    // dt:type; nullptr for a type the export refuses
  const char* xml_dbtype;  // rs:dbtype, or nullptr
  TXmlLength xml_max_length;
  TXmlPrecision xml_precision;
  const char* xml_digits;  // rs:precision of kDigits
  bool xml_scale;          // writes rs:scale
};

namespace data_type_traits_detail {

using S = TStorageKind;
using F = TValueFamily;
using C = TCharKind;
using L = TXmlLength;
using P = TXmlPrecision;
constexpr uint8_t kRef = static_cast<uint8_t>(kReferenceSlotSize);

constexpr TDataTypeTraits Fixed(F family, uint8_t width, VarType kind, const char* xml_type, L length, P precision,
                                const char* digits = nullptr) {
  return {S::kInlineFixed, family, C::kNone, width, false, false, 0, kind, false, xml_type, nullptr, length, precision,
          digits, false};
}

// Indexed by the code: the order of data_types.h. The columns: storage,
// family, chars, slot_size, slot_adds_length, length_prefix, value_size,
// variant_kind, mysql_text_fetch, xml_type, xml_dbtype, xml_max_length,
// xml_precision, xml_digits, xml_scale.
constexpr std::array<TDataTypeTraits, dtWideMemo + 1> kTable = {{
    /* dtUnknown */ {S::kNone, F::kNone, C::kNone, 0, false, false, 0, varEmpty, false, "string", nullptr, L::kNone,
                     P::kNone, nullptr, false},
    /* dtString */ {S::kInlineText, F::kText, C::kAnsi, 1, false, false, 0, varString, false, "string", "str",
                    L::kLength, P::kNone, nullptr, false},
    /* dtInt8 */ Fixed(F::kInteger, 1, varShortInt, "i1", L::kSize, P::kLength),
    /* dtSmallint */ Fixed(F::kInteger, 2, varSmallint, "i2", L::kSize, P::kDigits, "5"),
    /* dtInteger */ Fixed(F::kInteger, 4, varInteger, "int", L::kSize, P::kDigits, "10"),
    /* dtFloat */ Fixed(F::kFloat, 8, varDouble, "float", L::kSize, P::kLength),
    /* dtDate */ {S::kInlineFixed, F::kDate, C::kNone, 8, false, false, 4, varDate, true, "date", nullptr, L::kSize,
                  P::kLength, nullptr, true},
    /* dtTime */ {S::kInlineFixed, F::kDate, C::kNone, 8, false, false, 8, varDate, true, "time", nullptr, L::kSize,
                  P::kLength, nullptr, true},
    /* dtDateTime */ {S::kInlineFixed, F::kDate, C::kNone, 8, false, false, 8, varDate, true, "datetime",
                      "variantdate", L::kSize, P::kLength, nullptr, true},
    /* dtWord */ Fixed(F::kInteger, 2, varWord, "ui2", L::kSize, P::kLength),
    /* dtBoolean */ Fixed(F::kBoolean, 2, varBoolean, "boolean", L::kSize, P::kNone),
    /* dtLargeint */ Fixed(F::kInteger, 8, varInt64, "i8", L::kSize, P::kDigits, "19"),
    /* dtCurrency */ {S::kInlineFixed, F::kFloat, C::kNone, 8, false, false, 0, varDouble, false, "number", "currency",
                      L::kSize, P::kLength, nullptr, false},
    /* dtBlob */ {S::kBlobReference, F::kBlob, C::kBytes, kRef, false, false, 0, varEmpty, true, "bin.hex", nullptr,
                  L::kUnbounded, P::kNone, nullptr, false},
    /* dtMemo */ {S::kBlobReference, F::kBlob, C::kAnsi, kRef, false, false, 0, varString, true, "string", "str",
                  L::kUnbounded, P::kNone, nullptr, false},
    /* dtObject */ {S::kObject, F::kStructured, C::kNone, kRef, false, false, 0, varEmpty, false, nullptr, nullptr,
                    L::kNone, P::kNone, nullptr, false},
    /* dtReference */ {S::kObject, F::kStructured, C::kNone, kRef, false, false, 0, varEmpty, false, nullptr, nullptr,
                       L::kNone, P::kNone, nullptr, false},
    /* dtArray */ {S::kObject, F::kStructured, C::kNone, kRef, false, false, 0, varEmpty, false, nullptr, nullptr,
                   L::kNone, P::kNone, nullptr, false},
    /* dtTable */ {S::kObject, F::kStructured, C::kNone, kRef, false, false, 0, varEmpty, false, nullptr, nullptr,
                   L::kNone, P::kNone, nullptr, false},
    /* dtVariant */ {S::kVariantObject, F::kVariant, C::kNone, kRef, false, false, sizeof(Variant), varEmpty, false,
                     "string", nullptr, L::kNone, P::kNone, nullptr, false},
    /* dtExtString */ {S::kHeapReference, F::kText, C::kAnsi, kRef, false, false, 0, varString, true, "string", "str",
                       L::kLength, P::kNone, nullptr, false},
    /* dtBytes */ {S::kInlineText, F::kBytes, C::kBytes, 0, true, false, 0, varBytes, false, "bin.hex", nullptr,
                   L::kLength, P::kNone, nullptr, false},
    /* dtVarBytes */ {S::kInlineText, F::kBytes, C::kBytes, 2, true, true, 0, varBytes, false, "bin.hex", nullptr,
                      L::kLength, P::kNone, nullptr, false},
    /* dtExtVarBytes */ {S::kHeapReference, F::kBytes, C::kBytes, kRef, false, true, 0, varBytes, false, "bin.hex",
                         nullptr, L::kLength, P::kNone, nullptr, false},
    /* dtUInt32 */ {S::kInlineFixed, F::kInteger, C::kNone, 4, false, false, 8, varLongWord, false, "ui4", nullptr,
                    L::kSize, P::kLength, nullptr, false},
    /* dtWideString */ {S::kInlineText, F::kText, C::kWide, 2, false, false, 0, varOleStr, true, "string", nullptr,
                        L::kLength, P::kNone, nullptr, false},
    /* dtExtWideString */ {S::kHeapReference, F::kText, C::kWide, kRef, false, false, 0, varOleStr, true, "string",
                           nullptr, L::kLength, P::kNone, nullptr, false},
    /* dtBCD */ {S::kInlineFixed, F::kDecimal, C::kNone, 8, false, false, 0, varCurrency, true, "number", "currency",
                 L::kSize, P::kLength, nullptr, false},
    /* dtFmtBCD */ {S::kInlineFixed, F::kDecimal, C::kNone, 34, false, false, 34, varFMTBcd, true, "number",
                    "numeric", L::kSize, P::kLength, nullptr, true},
    /* dtGuid */ {S::kInlineText, F::kGuid, C::kAnsi, 1, false, false, 0, varString, false, "uuid", nullptr, L::kGuid,
                  P::kNone, nullptr, false},
    /* dtWideMemo */ {S::kBlobReference, F::kBlob, C::kWide, kRef, false, false, 0, varOleStr, true, "string", nullptr,
                      L::kUnbounded, P::kNone, nullptr, false},
}};

// A row out of place shifts the ones after it: anchors along the table.
static_assert(kTable[dtString].family == F::kText && kTable[dtInt8].slot_size == 1);
static_assert(kTable[dtCurrency].variant_kind == varDouble && kTable[dtBlob].storage == S::kBlobReference);
static_assert(kTable[dtVariant].storage == S::kVariantObject && kTable[dtExtVarBytes].length_prefix);
static_assert(kTable[dtFmtBCD].slot_size == 34 && kTable[dtWideMemo].chars == C::kWide);

}  // namespace data_type_traits_detail

// The row of a code; codes beyond the table read as dtUnknown's.
constexpr const TDataTypeTraits& DataTypeTraits(uint16_t type) {
  return data_type_traits_detail::kTable[type < data_type_traits_detail::kTable.size() ? type : dtUnknown];
}

constexpr TStorageKind StorageOf(uint16_t type) { return DataTypeTraits(type).storage; }
constexpr TValueFamily FamilyOf(uint16_t type) { return DataTypeTraits(type).family; }
constexpr TCharKind CharsOf(uint16_t type) { return DataTypeTraits(type).chars; }

namespace data_type_traits_detail {

// The codes whose row satisfies holds, as bits: a test of a code against a
// set then costs what comparing it with one code does.
template <typename Holds>
constexpr uint32_t TypesWhere(Holds holds) {
  static_assert(kTable.size() <= 32);
  uint32_t mask = 0;
  for (size_t type = 0; type < kTable.size(); ++type) {
    if (holds(kTable[type])) mask |= uint32_t{1} << type;
  }
  return mask;
}

constexpr bool InSet(uint32_t mask, uint16_t type) { return type < 32 && ((mask >> type) & 1u) != 0; }

constexpr uint32_t kText = TypesWhere([](const TDataTypeTraits& t) { return t.family == F::kText; });
constexpr uint32_t kAnsiText =
    TypesWhere([](const TDataTypeTraits& t) { return t.family == F::kText && t.chars == C::kAnsi; });
constexpr uint32_t kWideText =
    TypesWhere([](const TDataTypeTraits& t) { return t.family == F::kText && t.chars == C::kWide; });
constexpr uint32_t kTextOrGuid =
    TypesWhere([](const TDataTypeTraits& t) { return t.family == F::kText || t.family == F::kGuid; });
constexpr uint32_t kFixed = TypesWhere([](const TDataTypeTraits& t) { return t.storage == S::kInlineFixed; });
constexpr uint32_t kBytes = TypesWhere([](const TDataTypeTraits& t) { return t.family == F::kBytes; });
constexpr uint32_t kHeap = TypesWhere([](const TDataTypeTraits& t) { return t.storage == S::kHeapReference; });
constexpr uint32_t kBlob = TypesWhere([](const TDataTypeTraits& t) { return t.storage == S::kBlobReference; });

static_assert(kAnsiText == ((1u << dtString) | (1u << dtExtString)));
static_assert(kBlob == ((1u << dtBlob) | (1u << dtMemo) | (1u << dtWideMemo)));

}  // namespace data_type_traits_detail

// Text of 8-bit or wide characters, in place or on the heap (not GUIDs, not memos).
constexpr bool IsTextDataType(uint16_t type) {
  return data_type_traits_detail::InSet(data_type_traits_detail::kText, type);
}
constexpr bool IsAnsiTextType(uint16_t type) {
  return data_type_traits_detail::InSet(data_type_traits_detail::kAnsiText, type);
}
constexpr bool IsWideTextType(uint16_t type) {
  return data_type_traits_detail::InSet(data_type_traits_detail::kWideText, type);
}
// Text or a GUID's text: what reads and writes as a string.
constexpr bool IsTextOrGuidType(uint16_t type) {
  return data_type_traits_detail::InSet(data_type_traits_detail::kTextOrGuid, type);
}
// A number, date or decimal of a fixed width in its slot.
constexpr bool IsFixedDataType(uint16_t type) {
  return data_type_traits_detail::InSet(data_type_traits_detail::kFixed, type);
}
constexpr bool IsBytesDataType(uint16_t type) {
  return data_type_traits_detail::InSet(data_type_traits_detail::kBytes, type);
}
constexpr bool IsHeapDataType(uint16_t type) {
  return data_type_traits_detail::InSet(data_type_traits_detail::kHeap, type);
}
constexpr bool IsBlobDataType(uint16_t type) {
  return data_type_traits_detail::InSet(data_type_traits_detail::kBlob, type);
}

}  // namespace dac
