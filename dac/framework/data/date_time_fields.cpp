#include "dac/framework/data/date_time_fields.h"

#include "dac/framework/values/text_conversions.h"

namespace dac {

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

void TDateTimeField::SetAsDateTime(DateTime value) { SetData(&value, false); }

std::string TDateTimeField::GetAsString() {
  DateTime value = 0;
  if (!GetData(&value, false)) return std::string();
  if (DataType() == ftDate) return DateToStr(value);
  if (DataType() == ftTime) return TimeToStr(value);
  return DateTimeToStr(value);
}

void TDateTimeField::SetAsString(const std::string& value) {
  if (ClearIfEmpty(value)) return;
  if (DataType() == ftDate) {
    SetAsDateTime(StrToDate(value));
  } else if (DataType() == ftTime) {
    SetAsDateTime(StrToTime(value));
  } else {
    SetAsDateTime(StrToDateTime(value));
  }
}

}  // namespace dac
