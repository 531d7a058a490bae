// Between MySQL column types and the record store's data types: how a
// result column is typed, which types travel as text, and how much fetch
// buffer a column takes. The other direction, a data type's MySQL type, is
// ConvertInternalTypeMySQLFormat (dac/mysql/client/wire/param_types.h).
#pragma once

#include <cstdint>

#include "dac/mysql/client/wire/param_types.h"
#include "dac/store/record/record_set_types.h"

namespace dac {

class TMySQLFieldDesc;
class TParamDesc;

// The character set of bytes, as the server names it in a column.
constexpr int32_t kBinaryCharsetNr = 63;

// The data type of a column: false (after an assertion failure "Unknown
// MySQL datatype (N)") for a type it does not know. fixed is set for the
// fixed-length STRING type. is_binary says the column holds bytes (its
// character set is binary): a CHAR or VARCHAR of bytes is dtVarBytes, a
// BLOB dtBlob; text stays text. BIGINT UNSIGNED and BIT(64), beyond
// int64, are dtFmtBCD of 20 digits. Under use_unicode text and memo types
// become their wide forms.
bool ConvertMySQLTypeToInternalFormat(uint8_t mysql_type, int32_t length, bool is_binary, bool is_unsigned,
                                      bool enable_boolean, bool use_unicode, TDANumericType numeric_type,
                                      uint16_t& data_type, bool& fixed);

// A column of one of the blob types, or a parameter of a blob or memo type.
bool IsLargeDataTypeUsed(const TMySQLFieldDesc& field);
bool IsLargeDataTypeUsed(const TParamDesc& param);

// Types that are fetched as text and converted afterwards.
bool IsTextFetchType(uint16_t data_type);

// Adds the fetch buffer the column needs to size; an assertion failure for
// a type fetched otherwise, or one that would add fewer than 5 bytes.
void AddFetchBlockSize(int32_t& size, const TMySQLFieldDesc& field);

}  // namespace dac
