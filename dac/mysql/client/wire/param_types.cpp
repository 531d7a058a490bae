#include "dac/mysql/client/wire/param_types.h"

#include <cmath>
#include <cstdint>

#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/currency.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_types.h"
#include "platform/code_page.h"
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
    case dtExtVarBytes:
      return mftBlob;
    // Decimals, GUIDs and variants go as their text, which the server reads
    // as the column needs it.
    case dtUnknown:
    case dtString:
    case dtBlob:
    case dtMemo:
    case dtExtString:
    case dtWideString:
    case dtExtWideString:
    case dtCurrency:
    case dtBCD:
    case dtFmtBCD:
    case dtGuid:
    case dtVariant:
    case dtWideMemo:
      return mftVarString;
    // Objects, references, arrays and nested tables have no MySQL form.
    case dtObject:
    case dtReference:
    case dtArray:
    case dtTable:
      throw EDatabaseError(Format("Data type is not supported: a parameter of type %d has no MySQL form", data_type));
    default:
      AssertionFailed(Format("Invalid internal field type $%X (%d)", data_type, data_type), __FILE__, __LINE__);
  }
}

bool IsUnsignedParamType(uint16_t data_type) { return data_type == dtWord || data_type == dtUInt32; }

std::string BCDParamDescToStr(const TParamDesc& param) {
  const Variant value = param.GetValue();
  const bool currency = (param.GetDataType() == dtBCD || param.GetDataType() == dtCurrency) && !value.IsString();
  std::string text = currency ? CurrToStr(value.AsCurrency()) : value.AsString();
  const char separator = plat::ProcessFormatSettings().decimal_separator;
  if (separator != '.') {
    const size_t at = text.find(separator);
    if (at != std::string::npos) text[at] = '.';
  }
  return text;
}

namespace {

bool IsTextType(uint16_t type) {
  return type == dtUnknown || type == dtString || type == dtExtString || type == dtMemo || type == dtWideString ||
         type == dtExtWideString || type == dtWideMemo;
}

}  // namespace

BytesParamValue BytesParamValueOf(const TParamDesc& param, bool use_unicode) {
  const Variant value = param.GetValue();
  const uint16_t type = param.GetDataType();
  const bool as_text = IsTextType(type) || type == dtGuid || type == dtVariant;
  BytesParamValue out;
  if (type == dtCurrency || type == dtBCD || type == dtFmtBCD) {
    out.bytes = BCDParamDescToStr(param);
  } else if (value.IsBytes()) {
    const TBytes& bytes = value.AsBytes();
    out.bytes.assign(bytes.begin(), bytes.end());
  } else if (value.Type() == varByRef) {
    TBlob* blob = dynamic_cast<TBlob*>(param.GetObject());
    DAC_ASSERT(blob != nullptr, "Parameter object is not a blob");
    if (as_text && use_unicode)
      out.bytes = blob->IsUnicode() ? plat::Utf16ToUtf8(blob->GetAsWideString()) : plat::AnsiToUtf8(blob->GetAsString());
    else if (as_text && blob->IsUnicode())
      out.bytes = blob->GetAsString();
    else
      out.pieces = blob;
  } else if (as_text && use_unicode) {
    out.bytes = value.Type() == varOleStr ? plat::Utf16ToUtf8(value.AsWideString()) : plat::AnsiToUtf8(value.AsString());
  } else {
    out.bytes = value.AsString();
  }
  return out;
}

MYSQL_TIME TimeSpanToMYSQL_TIME(double value) {
  int64_t ms = std::llround(std::fabs(value) * static_cast<double>(plat::kMSecsPerDay));
  const int64_t days = ms / plat::kMSecsPerDay;
  if (days > INT32_MAX) throw EConvertError("Time value out of range");
  ms %= plat::kMSecsPerDay;
  MYSQL_TIME time;
  time.neg = value < 0 && (days > 0 || ms > 0);
  time.day = static_cast<uint32_t>(days);
  time.hour = static_cast<uint32_t>(ms / 3600000);
  time.minute = static_cast<uint32_t>(ms / 60000 % 60);
  time.second = static_cast<uint32_t>(ms / 1000 % 60);
  time.second_part = static_cast<uint32_t>(ms % 1000 * 1000);
  time.time_type = 2;
  return time;
}

}  // namespace dac
