// The library's data-type codes and the small enumerations of the record
// layout. The codes are shared by every layer above the record store.
#pragma once

#include <cstdint>

namespace dac {

// Storage of each type in a record buffer (see TData):
constexpr uint16_t dtUnknown = 0;         // nothing usable
constexpr uint16_t dtString = 1;          // zero-terminated 8-bit text in place, Size bytes
constexpr uint16_t dtInt8 = 2;            // signed 8 bits (a 2-byte slot holds 16 bits)
constexpr uint16_t dtSmallint = 3;        // signed 16 bits
constexpr uint16_t dtInteger = 4;         // signed 32 bits
constexpr uint16_t dtFloat = 5;           // double
constexpr uint16_t dtDate = 6;            // double date-time (date part)
constexpr uint16_t dtTime = 7;            // double date-time (time part)
constexpr uint16_t dtDateTime = 8;        // double date-time
constexpr uint16_t dtWord = 9;            // unsigned 16 bits
constexpr uint16_t dtBoolean = 10;        // 16 bits, 0 false, written 0 or 1
constexpr uint16_t dtLargeint = 11;       // signed 64 bits
constexpr uint16_t dtCurrency = 12;       // double
constexpr uint16_t dtBlob = 13;           // reference to a TBlob
constexpr uint16_t dtMemo = 14;           // reference to a TBlob of 8-bit text
constexpr uint16_t dtObject = 15;         // structured object, attributes as child descriptors
constexpr uint16_t dtReference = 16;      // reference to an object
constexpr uint16_t dtArray = 17;          // array, elements as child descriptors
constexpr uint16_t dtTable = 18;          // nested table
constexpr uint16_t dtVariant = 19;        // reference to a TVariantObject
constexpr uint16_t dtExtString = 20;      // reference to a string-heap buffer of 8-bit text
constexpr uint16_t dtBytes = 21;          // Length bytes in place
constexpr uint16_t dtVarBytes = 22;       // 16-bit length, then up to Length bytes in place
constexpr uint16_t dtExtVarBytes = 23;    // reference to a string-heap buffer: 16-bit length and bytes
constexpr uint16_t dtUInt32 = 24;         // unsigned 32 bits, presented as 64 bits
constexpr uint16_t dtWideString = 25;     // zero-terminated UTF-16 in place, Size bytes, even offset
constexpr uint16_t dtExtWideString = 26;  // reference to a string-heap buffer of UTF-16 text
constexpr uint16_t dtBCD = 27;            // signed 64 bits, the value times 10,000
constexpr uint16_t dtFmtBCD = 28;         // the 34-byte packed decimal record
constexpr uint16_t dtGuid = 29;           // GUID as zero-terminated text in place, Size bytes
constexpr uint16_t dtWideMemo = 30;       // reference to a TBlob of UTF-16 text

// Bytes of a slot that holds a reference (types 13-20, 23, 26 and 30):
// pointer-sized. Record sets size such slots with this constant.
constexpr uint16_t kReferenceSlotSize = sizeof(void*);

// Structured types: 15 to 18.
inline bool IsStructuredDataType(uint16_t type) { return type >= dtObject && type <= dtTable; }

// The outside form of a date or time value.
enum TDateFormat : uint8_t {
  dfMSecs = 0,     // double: milliseconds, with 0001-01-01 as day 1
  dfDateTime = 1,  // double date-time as stored
  dfTime = 2,      // int32 milliseconds since midnight
  dfDate = 3,      // int32 day number, 0001-01-01 as day 1
};

enum TFieldDescKind : uint8_t {
  fdkData = 0,        // a column of the record
  fdkCached = 1,
  fdkCalculated = 2,  // kept in the area behind the record
};

}  // namespace dac
