#include "dac/framework/values/text_conversions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/decimal_text.h"
#include "platform/ascii.h"
#include "platform/format_settings.h"
#include "platform/locale_compare.h"

namespace dac {

namespace {

const plat::FormatSettings& Settings() { return plat::ProcessFormatSettings(); }

std::string Quoted(std::string_view text) { return "'" + Excerpt(text) + "'"; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// General-form text with `precision` significant digits.
std::string GeneralFloat(double value, int precision) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, value);
  // buffer: [-]d.ddddde[+-]xx
  std::string text = buffer;
  const bool negative = text[0] == '-';
  if (negative) text.erase(0, 1);
  const size_t e = text.find('e');
  std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
  const int exp10 = std::atoi(text.c_str() + e + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  // Digits before the point, as the class library counts the exponent.
  const int point = exp10 + 1;
  const char sep = Settings().decimal_separator;
  std::string out = negative ? "-" : "";
  if (point > precision || point < -3) {
    out += digits[0];
    if (digits.size() > 1) out += sep + digits.substr(1);
    out += 'E';
    out += std::to_string(exp10);
  } else if (point <= 0) {
    out += '0';
    out += sep;
    out += std::string(static_cast<size_t>(-point), '0') + digits;
  } else if (static_cast<size_t>(point) >= digits.size()) {
    out += digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
  } else {
    out += digits.substr(0, static_cast<size_t>(point)) + sep + digits.substr(static_cast<size_t>(point));
  }
  return out;
}

// --- date and time text -------------------------------------------------

std::string Padded(int value, int width) {
  std::string s = std::to_string(value);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
  return text.size() - at >= prefix.size() && plat::SameText(text.substr(at, prefix.size()), prefix);
}

bool UsesTwelveHourClock(std::string_view format) {
  char quote = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
               StartsWithNoCase(format, i, "ampm")) {
      return true;
    }
  }
  return false;
}

void AppendFormatted(std::string& out, std::string_view format, DateTime value, int depth);

// 1 January 0001 to the end of 31 December 9999, and the zero date (written
// with zeros).
void CheckDateRange(DateTime value) {
  if (!(value > -693594.0 && value < 2958466.0) && !plat::IsZeroDateTime(value))
    throw EConvertError(Format("%g is not a valid date and time", value));
}

// The value being written, decoded once for all the tokens of its format.
struct DateParts {
  DateTime value;
  int depth;
  plat::CalendarDate date;
  plat::TimeOfDay time;
  bool twelve_hour;
};

// A date token (Y, M, D or C) repeated run times at i, appended; the
// characters it takes.
size_t AppendDateToken(std::string& out, char token, size_t run, const DateParts& parts) {
  const plat::FormatSettings& fs = Settings();
  const plat::CalendarDate& date = parts.date;
  if (token == 'Y') {
    out += run <= 2 ? Padded(date.year % 100, 2) : Padded(date.year, 4);
  } else if (token == 'M') {
    if (run == 1) out += std::to_string(date.month);
    else if (run == 2) out += Padded(date.month, 2);
    else if (run == 3) out += fs.short_month_names[static_cast<size_t>(date.month - 1)];
    else out += fs.long_month_names[static_cast<size_t>(date.month - 1)];
  } else if (token == 'D') {
    const size_t weekday = static_cast<size_t>(plat::DayOfWeek(parts.value) - 1);
    if (run == 1) out += std::to_string(date.day);
    else if (run == 2) out += Padded(date.day, 2);
    else if (run == 3) out += fs.short_day_names[weekday];
    else if (run == 4) out += fs.long_day_names[weekday];
    else AppendFormatted(out, run == 5 ? fs.short_date_format : fs.long_date_format, parts.value, parts.depth + 1);
  } else {  // 'C'
    const plat::TimeOfDay& time = parts.time;
    AppendFormatted(out, fs.short_date_format, parts.value, parts.depth + 1);
    if (time.hour || time.minute || time.second || time.millisecond) {
      out += ' ';
      AppendFormatted(out, fs.long_time_format, parts.value, parts.depth + 1);
    }
    return 1;
  }
  return run;
}

// The am/pm marker at i ("am/pm", "a/p" or "ampm"), appended; the characters
// it takes, 1 for a lone "a".
size_t AppendDayHalf(std::string& out, std::string_view format, size_t i, bool pm) {
  if (StartsWithNoCase(format, i, "am/pm")) {
    out.append(format.substr(pm ? i + 3 : i, 2));
    return 5;
  }
  if (StartsWithNoCase(format, i, "a/p")) {
    out += format[pm ? i + 2 : i];
    return 3;
  }
  if (StartsWithNoCase(format, i, "ampm")) {
    out += pm ? Settings().time_pm_string : Settings().time_am_string;
    return 4;
  }
  out += format[i];
  return 1;
}

// A time token (H, N, S, Z, T or A) at i, appended; the characters it takes.
size_t AppendTimeToken(std::string& out, std::string_view format, size_t i, char token, size_t run,
                       const DateParts& parts) {
  const plat::TimeOfDay& time = parts.time;
  const auto two = [&out, run](int n) {
    out += run >= 2 ? Padded(n, 2) : std::to_string(n);
    return run >= 2 ? size_t{2} : size_t{1};
  };
  switch (token) {
    case 'H': {
      int hour = time.hour;
      if (parts.twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
      return two(hour);
    }
    case 'N': return two(time.minute);
    case 'S': return two(time.second);
    case 'Z':
      out += run >= 3 ? Padded(time.millisecond, 3) : std::to_string(time.millisecond);
      return run >= 3 ? 3 : 1;
    case 'T': {
      const plat::FormatSettings& fs = Settings();
      AppendFormatted(out, run >= 2 ? fs.long_time_format : fs.short_time_format, parts.value, parts.depth + 1);
      return run >= 2 ? 2 : 1;
    }
    default: return AppendDayHalf(out, format, i, time.hour >= 12);  // 'A'
  }
}

void AppendFormatted(std::string& out, std::string_view format, DateTime value, int depth) {
  if (depth > 2) return;  // nested formats ("c", "ddddd", "t") go two levels at most
  const DateParts parts{value, depth, plat::DecodeDate(value), plat::DecodeTime(value), UsesTwelveHourClock(format)};
  char last_token = 0;
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    const char token = plat::AsciiUpper(c);
    size_t run = 1;
    while (i + run < format.size() && plat::AsciiUpper(format[i + run]) == token) ++run;
    if (c == '"' || c == '\'') {
      const size_t end = format.find(c, i + 1);
      const size_t stop = end == std::string_view::npos ? format.size() : end;
      out.append(format.substr(i + 1, stop - i - 1));
      i = stop == format.size() ? stop : stop + 1;
      continue;
    }
    if (token >= 'A' && token <= 'Z') {
      // An M after an hour is the minute.
      const char effective = token == 'M' && last_token == 'H' ? 'N' : token;
      last_token = token;
      if (std::string_view("YMDC").find(effective) != std::string_view::npos) {
        i += AppendDateToken(out, effective, run, parts);
        continue;
      }
      if (std::string_view("HNSZTA").find(effective) != std::string_view::npos) {
        i += AppendTimeToken(out, format, i, effective, run, parts);
        continue;
      }
    }
    if (c == '/') {
      out += Settings().date_separator;
    } else if (c == ':') {
      out += Settings().time_separator;
    } else {
      out += c;
    }
    i += 1;
  }
}

// A reader over the text being parsed.
struct Scanner {
  std::string_view text;
  size_t pos = 0;

  bool AtEnd() const { return pos >= text.size(); }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(text[pos])) ++pos;
  }
  bool Take(char c) {
    if (!AtEnd() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  // Up to max_digits decimal digits; false when there are none.
  bool Number(int& value, int& digit_count, int max_digits) {
    value = 0;
    digit_count = 0;
    while (!AtEnd() && text[pos] >= '0' && text[pos] <= '9' && digit_count < max_digits) {
      value = value * 10 + (text[pos++] - '0');
      ++digit_count;
    }
    return digit_count > 0;
  }
};

// The order of day, month and year in the short date format, as "MDY" etc.,
// and the separator written between them in that format.
void DateOrder(std::string& order, char& literal_separator) {
  const std::string& format = Settings().short_date_format;
  order.clear();
  literal_separator = 0;
  for (char c : format) {
    const char u = plat::AsciiUpper(c);
    if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos) {
      order += u;
    } else if (u != 'D' && u != 'M' && u != 'Y' && !literal_separator && c != '"' && c != '\'') {
      literal_separator = c == '/' ? Settings().date_separator : c;
    }
  }
  if (order.size() != 3) order = "MDY";
}

int WindowedYear(int year) {
  const int window = Settings().two_digit_year_century_window;
  const int current = plat::ProcessClock().Now().year;
  // Two-digit years fall in the hundred years starting `window` years ago.
  const int base = current - window;
  year += base / 100 * 100;
  if (window > 0 && year < base) year += 100;
  return year;
}

bool ScanDate(Scanner& s, DateTime& out) {
  std::string order;
  char literal_separator = 0;
  DateOrder(order, literal_separator);
  const char settings_separator = Settings().date_separator;
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    if (k > 0 && !s.Take(settings_separator) && !(literal_separator && s.Take(literal_separator))) return false;
    if (!s.Number(parts[k], digits[k], 4)) return false;
  }
  int year = 0, month = 0, day = 0;
  for (int k = 0; k < 3; ++k) {
    if (order[static_cast<size_t>(k)] == 'Y') {
      year = digits[k] <= 2 ? WindowedYear(parts[k]) : parts[k];
    } else if (order[static_cast<size_t>(k)] == 'M') {
      month = parts[k];
    } else {
      day = parts[k];
    }
  }
  return plat::TryEncodeDate(year, month, day, out);
}

bool ScanTime(Scanner& s, DateTime& out) {
  const plat::FormatSettings& fs = Settings();
  int hour = 0, minute = 0, second = 0, ms = 0, n = 0;
  if (!s.Number(hour, n, 2) || !s.Take(fs.time_separator) || !s.Number(minute, n, 2)) return false;
  if (s.Take(fs.time_separator)) {
    if (!s.Number(second, n, 2)) return false;
    if (s.Take(fs.decimal_separator)) {
      if (!s.Number(ms, n, 3)) return false;
      for (; n < 3; ++n) ms *= 10;  // ".5" is half a second
    }
  }
  s.SkipBlanks();
  auto take_word = [&s](const std::string& word) {
    if (!word.empty() && StartsWithNoCase(s.text, s.pos, word)) {
      s.pos += word.size();
      return true;
    }
    return false;
  };
  const bool am = take_word(fs.time_am_string) || take_word("AM");
  const bool pm = !am && (take_word(fs.time_pm_string) || take_word("PM"));
  if (am || pm) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (pm ? 12 : 0);
  }
  return plat::TryEncodeTime(hour, minute, second, ms, out);
}

DateTime Join(DateTime date, DateTime time) { return date >= 0 ? date + time : date - time; }

bool ParseWhole(std::string_view text, bool want_date, bool want_time, DateTime& out) {
  Scanner s{TrimBlanks(text)};
  DateTime date = 0;
  DateTime time = 0;
  if (want_date && ScanDate(s, date)) {
    s.SkipBlanks();
    if (s.AtEnd()) {
      out = date;
      return true;
    }
    if (!want_time || !ScanTime(s, time)) return false;
    s.SkipBlanks();
    if (!s.AtEnd()) return false;
    out = Join(date, time);
    return true;
  }
  if (!want_time) return false;
  s.pos = 0;
  if (!ScanTime(s, time)) return false;
  s.SkipBlanks();
  if (!s.AtEnd()) return false;
  out = time;
  return true;
}

}  // namespace

std::string FloatToStr(double value) { return GeneralFloat(value, 15); }
std::string SingleToStr(float value) { return GeneralFloat(value, 7); }

bool TryStrToFloat(std::string_view text, double& out) {
  Decimal d;
  if (!ParseDecimal(text, Settings().decimal_separator, d)) return false;
  if (d.IsZero()) {
    out = 0;
    return true;
  }
  // Far below the smallest subnormal: zero; far above the largest double: overflow.
  const int64_t magnitude = static_cast<int64_t>(d.digits.size()) + d.exponent;
  if (magnitude < -400) {
    out = d.negative ? -0.0 : 0.0;
    return true;
  }
  if (magnitude > 400) return false;
  const std::string scientific = d.digits + "e" + std::to_string(d.exponent);
  double value = 0;
  const auto result = std::from_chars(scientific.data(), scientific.data() + scientific.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    if (magnitude > 0) return false;
    value = 0;
  } else if (result.ec != std::errc() || std::isinf(value)) {
    return false;
  }
  out = d.negative ? -value : value;
  return true;
}

double StrToFloat(std::string_view text) {
  double value = 0;
  if (!TryStrToFloat(text, value)) throw EConvertError(Quoted(text) + " is not a valid floating point value");
  return value;
}

bool TryStrToInt64(std::string_view text, int64_t& out) {
  const auto parsed = plat::ParseInt64(TrimBlanks(text));
  if (!parsed) return false;
  out = *parsed;
  return true;
}

int64_t StrToInt64(std::string_view text) {
  int64_t value = 0;
  if (!TryStrToInt64(text, value)) throw EConvertError(Quoted(text) + " is not a valid integer value");
  return value;
}

int32_t StrToInt(std::string_view text) {
  const int64_t value = StrToInt64(text);
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    throw EConvertError(Quoted(text) + " is not a valid integer value");
  return static_cast<int32_t>(value);
}

std::string FormatDateTime(std::string_view format, DateTime value) {
  CheckDateRange(value);
  std::string out;
  AppendFormatted(out, format, value, 0);
  return out;
}

std::string DateTimeToStr(DateTime value) { return FormatDateTime("c", value); }
std::string DateToStr(DateTime value) { return FormatDateTime(Settings().short_date_format, value); }
std::string TimeToStr(DateTime value) { return FormatDateTime(Settings().long_time_format, value); }

bool TryStrToDateTime(std::string_view text, DateTime& out) { return ParseWhole(text, true, true, out); }
bool TryStrToDate(std::string_view text, DateTime& out) { return ParseWhole(text, true, false, out); }
bool TryStrToTime(std::string_view text, DateTime& out) { return ParseWhole(text, false, true, out); }

DateTime StrToDateTime(std::string_view text) {
  DateTime value = 0;
  if (!TryStrToDateTime(text, value)) throw EConvertError(Quoted(text) + " is not a valid date and time");
  return value;
}

DateTime StrToDate(std::string_view text) {
  DateTime value = 0;
  if (!TryStrToDate(text, value)) throw EConvertError(Quoted(text) + " is not a valid date");
  return value;
}

DateTime StrToTime(std::string_view text) {
  DateTime value = 0;
  if (!TryStrToTime(text, value)) throw EConvertError(Quoted(text) + " is not a valid time");
  return value;
}

bool TryStrToBool(std::string_view text, bool& out) {
  double number = 0;
  if (TryStrToFloat(text, number)) {
    out = number != 0;
    return true;
  }
  const plat::FormatSettings& fs = Settings();
  auto matches = [text](const std::vector<std::string>& words, const char* fallback) {
    if (words.empty()) return plat::LocaleCompareAnsi(text, fallback, true) == 0;
    for (const std::string& word : words) {
      if (plat::LocaleCompareAnsi(text, word, true) == 0) return true;
    }
    return false;
  };
  if (matches(fs.true_bool_strs, "True")) {
    out = true;
    return true;
  }
  if (matches(fs.false_bool_strs, "False")) {
    out = false;
    return true;
  }
  return false;
}

bool StrToBool(std::string_view text) {
  bool value = false;
  if (!TryStrToBool(text, value)) throw EConvertError(Quoted(text) + " is not a valid boolean value");
  return value;
}

std::string BoolToStr(bool value) {
  const plat::FormatSettings& fs = Settings();
  const std::vector<std::string>& words = value ? fs.true_bool_strs : fs.false_bool_strs;
  if (!words.empty()) return words.front();
  return value ? "True" : "False";
}

}  // namespace dac
