#include "dac/framework/data/date_time_fields.h"

#include <cmath>
#include <cstdio>

#include "dac/framework/data/field_write.h"
#include "dac/framework/values/text_conversions.h"
#include "platform/date_time.h"

namespace dac {

namespace {

constexpr double kMicrosPerDay = 86400.0 * 1e6;

// A time as a span: [-]H:mm:ss with the fraction's digits (at most six,
// trailing zeros dropped).
std::string TimeSpanText(DateTime value) {
  if (!std::isfinite(value)) return std::string();
  const double micros = std::nearbyint(std::fabs(value) * kMicrosPerDay);
  const auto total = static_cast<uint64_t>(micros);
  const uint64_t seconds = total / 1000000;
  const uint64_t fraction = total % 1000000;
  char text[64];
  std::snprintf(text, sizeof text, "%s%llu:%02llu:%02llu", value < 0 && total > 0 ? "-" : "",
                static_cast<unsigned long long>(seconds / 3600), static_cast<unsigned long long>(seconds / 60 % 60),
                static_cast<unsigned long long>(seconds % 60));
  std::string out = text;
  if (fraction > 0) {
    std::snprintf(text, sizeof text, ".%06llu", static_cast<unsigned long long>(fraction));
    std::string digits = text;
    while (digits.back() == '0') digits.pop_back();
    out += digits;
  }
  return out;
}

bool IsTimeOfDay(DateTime value) {
  if (!(value >= 0 && value < 1)) return false;
  const double micros = std::nearbyint(value * kMicrosPerDay);
  return std::fmod(micros, 1e6) == 0 && micros < kMicrosPerDay;
}

// "[-]H:MM[:SS[.fraction]]" with any number of hours; false for anything else.
bool TryTimeSpan(const std::string& text, DateTime& out) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  const auto number = [&](size_t max_digits, uint64_t& value) {
    const size_t start = i;
    value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < max_digits)
      value = value * 10 + static_cast<uint64_t>(text[i++] - '0');
    return i > start;
  };
  uint64_t hours = 0, minutes = 0, seconds = 0;
  if (!number(9, hours) || i >= text.size() || text[i++] != ':' || !number(2, minutes) || minutes > 59) return false;
  double fraction = 0;
  if (i < text.size() && text[i] == ':') {
    ++i;
    if (!number(2, seconds) || seconds > 59) return false;
    if (i < text.size() && text[i] == '.') {
      ++i;
      double scale = 0.1;
      const size_t start = i;
      for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) fraction += (text[i] - '0') * scale;
      if (i == start) return false;
    }
  }
  if (i != text.size()) return false;
  const double span = (static_cast<double>(hours * 3600 + minutes * 60 + seconds) + fraction) / plat::kSecsPerDay;
  out = negative ? -span : span;
  return true;
}

}  // namespace

std::string TimeFieldText(DateTime value) { return IsTimeOfDay(value) ? TimeToStr(value) : TimeSpanText(value); }

DAC_DEFINE_CLASS(TDateTimeField, TField, ::dac::TComponentClassOf<TDateTimeField>)
DAC_DEFINE_CLASS(TDateField, TDateTimeField, ::dac::TComponentClassOf<TDateField>)
DAC_DEFINE_CLASS(TTimeField, TDateTimeField, ::dac::TComponentClassOf<TTimeField>)

TDateTimeField::TDateTimeField(TComponent* owner) : TDateTimeField(owner, ftDateTime) {}

TDateTimeField::TDateTimeField(TComponent* owner, TFieldType type) : TField(owner) { SetDataType(type); }

TDateField::TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}

TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}

DateTime TDateTimeField::GetAsDateTime() {
  DateTime value = 0;
  return GetData(&value, false) ? value : 0;
}

void TDateTimeField::SetAsDateTime(DateTime value) { WriteFieldData(*this, &value, false); }

std::string TDateTimeField::GetAsString() {
  if (std::string exact; ExactText(exact)) return exact;
  DateTime value = 0;
  if (!GetData(&value, false)) return std::string();
  if (DataType() == ftDate) return DateToStr(value);
  if (DataType() == ftTime) return TimeFieldText(value);
  return DateTimeToStr(value);
}

void TDateTimeField::SetAsString(const std::string& value) {
  if (ClearIfEmpty(value)) return;
  if (DataType() == ftDate) {
    SetAsDateTime(StrToDate(value));
  } else if (DataType() == ftTime) {
    DateTime span = 0;
    SetAsDateTime(TryTimeSpan(value, span) ? span : StrToTime(value));
  } else {
    SetAsDateTime(StrToDateTime(value));
  }
}

}  // namespace dac
