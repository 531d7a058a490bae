// How a parameter's data type travels to the server: its MySQL type byte
// with the unsigned flag, and the text of a decimal value. Shared by every
// way of executing a prepared statement.
#pragma once

#include <cstdint>
#include <string>

#include "dac/mysql/client/wire/client_records.h"

namespace dac {

class TBlob;
class TParamDesc;

// The flag byte that follows a parameter's type when it is unsigned.
constexpr uint8_t kParamUnsignedFlag = 0x80;

// The MySQL type of a data type: TINY for dtInt8 and dtBoolean, SHORT for
// dtSmallint, LONG for dtInteger, dtWord and dtUInt32, DOUBLE, LONGLONG,
// DATE, TIME, DATETIME, BLOB for the byte types, VAR_STRING for text,
// blobs, decimals and currency, GUIDs, variants and dtUnknown. Objects,
// references, arrays and tables raise EDatabaseError; any other code is an
// assertion failure "Invalid internal field type $%X (%d)".
uint8_t ConvertInternalTypeMySQLFormat(uint16_t data_type);

// dtWord and dtUInt32 go out unsigned; any other type signed.
bool IsUnsignedParamType(uint16_t data_type);

// A decimal parameter's value as text with a '.' separator: a dtBCD or
// dtCurrency value through the currency type (text given as it is), any
// other as it converts to text; the first locale separator becomes '.'.
std::string BCDParamDescToStr(const TParamDesc& param);

// What a text, byte, decimal, GUID or variant parameter sends: a decimal
// as BCDParamDescToStr writes it, a byte array as it is, a blob's content,
// else the value's text; text goes as UTF-8 when use_unicode (and
// a Unicode blob always). A blob that goes as it is comes as its pieces
// (bytes stays empty), so that nobody copies it whole.
struct BytesParamValue {
  std::string bytes;
  TBlob* pieces = nullptr;
};
BytesParamValue BytesParamValueOf(const TParamDesc& param, bool use_unicode);

// A dtTime value (days, fraction the time of day) as a TIME record: the
// sign, whole days and hours below 24, so that -01:30 and 36:00 keep
// their value. EConvertError beyond 2^31 days.
MYSQL_TIME TimeSpanToMYSQL_TIME(double value);

}  // namespace dac
