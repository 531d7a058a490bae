#include "dac/mysql/provider/my_type_mapping.h"

#include <string>

#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_type_traits.h"

namespace dac {

namespace {

bool IsBlobType(uint8_t mysql_type) {
  return mysql_type == mftTinyBlob || mysql_type == mftMediumBlob || mysql_type == mftLongBlob ||
         mysql_type == mftBlob || mysql_type == mftGeometry;
}

uint16_t DecimalType(TDANumericType numeric_type) {
  switch (numeric_type) {
    case ntBCD:
      return dtBCD;
    case ntFmtBCD:
      return dtFmtBCD;
    default:
      return dtFloat;
  }
}

// The data type of a known MySQL type; dtUnknown for any other.
uint16_t DataTypeOf(uint8_t mysql_type, int32_t length, bool is_binary, bool is_unsigned, bool enable_boolean,
                    TDANumericType numeric_type, bool& fixed) {
  switch (mysql_type) {
    case mftDecimal:
    case mftNewDecimal:
      return DecimalType(numeric_type);
    case mftTiny:
      if (length == 1 && enable_boolean) return dtBoolean;
      return is_unsigned ? dtWord : dtInt8;
    case mftShort:
      return is_unsigned ? dtWord : dtSmallint;
    case mftLong:
      return is_unsigned ? dtUInt32 : dtInteger;
    case mftInt24:
      return dtInteger;
    case mftFloat:
    case mftDouble:
      return dtFloat;
    // Unsigned 64-bit values and 64 bits go beyond int64: exact as decimals.
    case mftLongLong:
      return is_unsigned ? dtFmtBCD : dtLargeint;
    case mftBit:
      return length >= 64 ? dtFmtBCD : dtLargeint;
    // Bytes stay bytes, NUL bytes and all; BINARY(n) values are always n
    // bytes, but computed ones are not, so both are variable.
    case mftString:
      if (is_binary) return dtVarBytes;
      fixed = true;
      return dtString;
    case mftVarChar:
    case mftVarString:
      return is_binary ? dtVarBytes : dtString;
    case mftNull:
    case mftEnum:
    case mftSet:
      return dtString;
    case mftTimestamp:
    case mftDateTime:
      return dtDateTime;
    case mftDate:
      return dtDate;
    case mftTime:
      return dtTime;
    case mftYear:
      return dtWord;
    case mftTinyBlob:
    case mftMediumBlob:
    case mftLongBlob:
    case mftBlob:
    case mftGeometry:
      return is_binary ? dtBlob : dtMemo;
    default:
      return dtUnknown;
  }
}

}  // namespace

bool ConvertMySQLTypeToInternalFormat(uint8_t mysql_type, int32_t length, bool is_binary, bool is_unsigned,
                                      bool enable_boolean, bool use_unicode, TDANumericType numeric_type,
                                      uint16_t& data_type, bool& fixed) {
  fixed = false;
  data_type = DataTypeOf(mysql_type, length, is_binary, is_unsigned, enable_boolean, numeric_type, fixed);
  if (data_type == dtUnknown) {
    AssertionFailed("Unknown MySQL datatype (" + std::to_string(mysql_type) + ")", __FILE__, __LINE__);
  }
  if (use_unicode && data_type == dtString) data_type = dtWideString;
  if (use_unicode && data_type == dtMemo) data_type = dtWideMemo;
  return true;
}

bool IsLargeDataTypeUsed(const TMySQLFieldDesc& field) { return IsBlobType(field.GetMySQLType()); }

bool IsLargeDataTypeUsed(const TParamDesc& param) { return IsBlobDataType(param.GetDataType()); }

bool IsTextFetchType(uint16_t data_type) { return DataTypeTraits(data_type).mysql_text_fetch; }

namespace {

int32_t BlobFetchSize(uint8_t mysql_type) {
  switch (mysql_type) {
    case mftTinyBlob:
      return 259;
    case mftMediumBlob:
    case mftLongBlob:
    case mftBlob:
    case mftString:
    case mftGeometry:
      return static_cast<int32_t>(DefaultPieceSize) + 4;
    default:
      return 0;
  }
}

}  // namespace

void AddFetchBlockSize(int32_t& size, const TMySQLFieldDesc& field) {
  int32_t added = 0;
  switch (field.GetDataType()) {
    case dtFloat:
    case dtBCD:
    case dtFmtBCD:
      added = field.GetLength() + field.GetScale() + 9;
      break;
    case dtDate:
    case dtTime:
    case dtDateTime:
      added = 40;
      break;
    case dtBlob:
    case dtMemo:
    case dtWideMemo:
      added = BlobFetchSize(field.GetMySQLType());
      // Other MySQL types of these data types take no fetch buffer.
      if (added == 0) return;
      break;
    case dtExtString:
      added = field.GetLength() + 6;
      break;
    case dtWideString:
    case dtExtWideString:
      added = field.GetLength() * 3 + 7;
      break;
    default:
      AssertionFailed("Data type " + std::to_string(field.GetDataType()) + " has no fetch buffer", __FILE__, __LINE__);
  }
  DAC_ASSERT(added >= 5, "Fetch buffer below 5 bytes");
  size += added;
}

}  // namespace dac
