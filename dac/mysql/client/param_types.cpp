#include "dac/mysql/client/param_types.h"

#include "dac/core/param_desc.h"
#include "dac/framework/currency.h"
#include "dac/framework/exceptions.h"
#include "dac/mysql/client/client_records.h"
#include "dac/store/data_types.h"
#include "platform/format_settings.h"

namespace dac {

uint8_t ConvertInternalTypeMySQLFormat(uint16_t data_type) {
  switch (data_type) {
    case dtInt8:
    case dtBoolean:
      return mftTiny;
    case dtSmallint:
      return mftShort;
    case dtInteger:
    case dtWord:
    case dtUInt32:
      return mftLong;
    case dtFloat:
      return mftDouble;
    case dtLargeint:
      return mftLongLong;
    case dtDate:
      return mftDate;
    case dtTime:
      return mftTime;
    case dtDateTime:
      return mftDateTime;
    // Bytes go out as bytes, never through a character set.
    case dtBytes:
    case dtVarBytes:
      return mftBlob;
    case dtUnknown:
    case dtString:
    case dtBlob:
    case dtMemo:
    case dtExtString:
    case dtWideString:
    case dtExtWideString:
    case dtBCD:
    case dtFmtBCD:
    case dtWideMemo:
      return mftVarString;
    default:
      AssertionFailed(Format("Invalid internal field type $%X (%d)", data_type, data_type), __FILE__, __LINE__);
  }
}

bool IsUnsignedParamType(uint16_t data_type) { return data_type == dtWord || data_type == dtUInt32; }

std::string BCDParamDescToStr(const TParamDesc& param) {
  const Variant value = param.GetValue();
  std::string text = param.GetDataType() == dtBCD ? CurrToStr(value.AsCurrency()) : value.AsString();
  const char separator = plat::ProcessFormatSettings().decimal_separator;
  if (separator != '.') {
    const size_t at = text.find(separator);
    if (at != std::string::npos) text[at] = '.';
  }
  return text;
}

}  // namespace dac
