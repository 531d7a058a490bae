// Numbers, dates and booleans to text and back, in the process-wide format
// settings (platform/format_settings.h). Failures of the plain forms raise
// EConvertError; the Try forms answer false and leave the output alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace dac {

using plat::DateTime;

// General form with 15 significant digits: fixed notation unless the
// exponent calls for scientific ("1E20", "1.5E-7"); "NAN", "INF", "-INF".
std::string FloatToStr(double value);
// The same with 7 significant digits, for single-precision values.
std::string SingleToStr(float value);
bool TryStrToFloat(std::string_view text, double& out);
double StrToFloat(std::string_view text);  // "'%s' is not a valid floating point value"

// Decimal integers with optional sign, blanks around allowed.
bool TryStrToInt64(std::string_view text, int64_t& out);
int64_t StrToInt64(std::string_view text);  // "'%s' is not a valid integer value"
int32_t StrToInt(std::string_view text);

// The date in the short date format, then a blank and the time in the long
// time format; the time is left out at exactly midnight.
std::string DateTimeToStr(DateTime value);
std::string DateToStr(DateTime value);
std::string TimeToStr(DateTime value);
// The class library's format notation: d dd ddd dddd m mm mmm mmmm yy yyyy
// h hh n nn s ss z zzz am/pm a/p ampm, '/' and ':' as the separators of the
// settings, quoted literals; m right after h means minutes.
std::string FormatDateTime(std::string_view format, DateTime value);

// A date in the order of the short date format (with its separator), then
// optionally a time h:n[:s[.zzz]] with an optional AM/PM; or a time alone
// (on day 0). Years of one or two digits fall in the century window.
bool TryStrToDateTime(std::string_view text, DateTime& out);
bool TryStrToDate(std::string_view text, DateTime& out);
bool TryStrToTime(std::string_view text, DateTime& out);
DateTime StrToDateTime(std::string_view text);  // "'%s' is not a valid date and time"
DateTime StrToDate(std::string_view text);      // "'%s' is not a valid date"
DateTime StrToTime(std::string_view text);      // "'%s' is not a valid time"

// A number gives true when it is not 0; otherwise the settings' boolean
// words, compared without case in the locale.
bool TryStrToBool(std::string_view text, bool& out);
bool StrToBool(std::string_view text);  // "'%s' is not a valid boolean value"
// The first boolean word of the settings ("True" / "False").
std::string BoolToStr(bool value);

}  // namespace dac
