// Date and time fields. Native forms: TDateTimeField a double of
// milliseconds, day number x 86,400,000 + milliseconds of the day [8];
// TDateField an int32 day number, 0001-01-01 being day 1 [4]; TTimeField
// a double of days, signed and not bound to one day, as a span of time
// (-1.5 seconds, 838 hours) [8]; a value beyond 838:59:59.999999 is a
// date and time, of which the time keeps the time of day. The value form
// is the runtime's date-time.
#pragma once

#include "dac/framework/data/field.h"

namespace dac {

// The text a time field gives for a value: the long time form for a time
// of day in whole seconds, else the span form ("-0:00:01.5", "838:59:59").
std::string TimeFieldText(DateTime value);

class TDateTimeField : public TField {
  DAC_DECLARE_CLASS();

 public:
  explicit TDateTimeField(TComponent* owner);

  int GetDataSize() const override { return DataType() == ftDate ? 4 : 8; }
  DateTime GetAsDateTime() override;
  void SetAsDateTime(DateTime value) override;
  double GetAsFloat() override { return GetAsDateTime(); }
  void SetAsFloat(double value) override { SetAsDateTime(value); }
  // In the format settings' short date and long time forms; a time outside
  // one day or with a fraction of a second as a span: sign, hours,
  // minutes, seconds and the fraction ("-0:00:01.5", "838:59:59").
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;

 protected:
  TDateTimeField(TComponent* owner, TFieldType type);
  Variant GetAsVariant() override { return Variant::FromDateTime(GetAsDateTime()); }
  void SetVarValue(const Variant& value) override { SetAsDateTime(value.AsDateTime()); }
};

class TDateField : public TDateTimeField {
  DAC_DECLARE_CLASS();

 public:
  explicit TDateField(TComponent* owner);
};

class TTimeField : public TDateTimeField {
  DAC_DECLARE_CLASS();

 public:
  explicit TTimeField(TComponent* owner);
};

}  // namespace dac
