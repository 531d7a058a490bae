#include "dac/framework/data/dataset_base.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/field_classes.h"
#include "dac/framework/values/text_conversions.h"

namespace dac {

namespace {

// A value's native bytes, zeroed: on the stack when they are few, so a
// conversion costs no allocation.
class NativeBytes {
 public:
  explicit NativeBytes(int size) : size_(static_cast<size_t>(std::max(size, 1))) {
    if (size_ > sizeof inline_) heap_.resize(size_);
    data_ = size_ > sizeof inline_ ? heap_.data() : inline_;
  }
  uint8_t* data() { return data_; }

 private:
  // Zeroed whole: a few stores, cheaper than clearing just the value's size.
  alignas(16) uint8_t inline_[64] = {};
  std::vector<uint8_t> heap_;
  uint8_t* data_ = nullptr;
  size_t size_;
};

// Date-times from 0001-01-01 to the end of 9999-12-31; before 1899-12-30
// the fraction counts away from zero, so 0001-01-01 runs down to -693594.
constexpr DateTime kMinDateTimeExcluded = -693594.0;
constexpr DateTime kMaxDateTimeExcluded = 2958466.0;

// The zero date, just below them, is one too.
plat::TimeStamp ToTimeStamp(DateTime value) {
  if (!(value > kMinDateTimeExcluded && value < kMaxDateTimeExcluded) && !plat::IsZeroDateTime(value)) {
    throw EConvertError(Format("'%s' is not a valid date and time", FloatToStr(value).c_str()));
  }
  return plat::DateTimeToTimeStamp(value);
}

DateTime FromTimeStamp(const plat::TimeStamp& stamp) {
  DateTime value = 0;
  if (stamp.time >= plat::kMSecsPerDay || !plat::TryTimeStampToDateTime(stamp, value)) {
    throw EConvertError(Format("'%d.%d' is not a valid timestamp", stamp.date, stamp.time));
  }
  return value;
}

template <typename T>
T Load(const void* source) {
  T value;
  std::memcpy(&value, source, sizeof value);
  return value;
}

template <typename T>
void Store(void* dest, T value) {
  std::memcpy(dest, &value, sizeof value);
}

// A date-time's native milliseconds to its value: plat::TryMSecsToTimeStamp
// and then FromTimeStamp, step for step (every field of a walk comes here).
[[noreturn, gnu::noinline]] void InvalidTimeStamp(double msecs) {
  throw EConvertError(Format("'%s' is not a valid timestamp", FloatToStr(msecs).c_str()));
}

DateTime DateTimeFromMSecs(double msecs) {
  if (!(msecs >= 0) || msecs >= 3652060.0 * static_cast<double>(plat::kMSecsPerDay)) InvalidTimeStamp(msecs);
  // std::llround of a value in [0, 2^53): the truncation and its fraction are exact.
  int64_t whole = static_cast<int64_t>(msecs);
  if (msecs - static_cast<double>(whole) >= 0.5) ++whole;
  if (whole == 0) return plat::kZeroDateTime;
  const auto date = static_cast<int32_t>(whole / plat::kMSecsPerDay);
  const auto time = static_cast<int32_t>(whole % plat::kMSecsPerDay);
  if (date <= 0) InvalidTimeStamp(msecs);
  const double day = static_cast<double>(date) - plat::kDateDelta;
  const double fraction = static_cast<double>(time) / static_cast<double>(plat::kMSecsPerDay);
  return day >= 0 ? day + fraction : day - fraction;
}

// Beyond the largest span a time holds (838:59:59.999999, the server's), a
// value is a date and time: the time of day is its time.
constexpr DateTime kLongestTimeSpan = 3020400.0 / 86400;

// A time is a signed span of days of its own, not bound to one day.
void DateToNative(TFieldType type, DateTime value, void* dest) {
  if (type == ftTime) {
    if (!std::isfinite(value)) throw EConvertError(Format("'%s' is not a valid time", FloatToStr(value).c_str()));
    if (std::fabs(value) > kLongestTimeSpan) value = std::fabs(value - std::trunc(value));
    Store(dest, value);
    return;
  }
  const plat::TimeStamp stamp = ToTimeStamp(value);
  if (type == ftDate) Store(dest, stamp.date);
  if (type == ftDateTime) Store(dest, plat::TimeStampToMSecs(stamp));
}

DateTime DateFromNative(TFieldType type, const void* source) {
  if (type == ftDate) return FromTimeStamp({0, Load<int32_t>(source)});
  if (type == ftTime) return Load<double>(source);
  return DateTimeFromMSecs(Load<double>(source));
}

// Zero-terminated UTF-16 of at most max_chars characters, buffers unaligned.
void WideToNative(const WideString& value, int max_chars, void* dest) {
  const size_t count = std::min(value.size(), static_cast<size_t>(std::max(max_chars, 0)));
  std::memcpy(dest, value.data(), count * sizeof(char16_t));
  Store(static_cast<char*>(dest) + count * sizeof(char16_t), char16_t{0});
}

WideString WideFromNative(const void* source, int max_chars) {
  WideString value;
  const auto* bytes = static_cast<const char*>(source);
  for (int i = 0; i < max_chars; ++i) {
    const auto c = Load<char16_t>(bytes + static_cast<size_t>(i) * sizeof(char16_t));
    if (c == 0) break;
    value.push_back(c);
  }
  return value;
}

}  // namespace

DAC_DEFINE_CLASS(TDataSetBase, TComponent, ::dac::TComponentClass)

TDataSetBase::TDataSetBase(TComponent* owner) : TComponent(owner), fields_(this), field_defs_(this) {}

TDataSetBase::~TDataSetBase() { fields_.Detach(); }

void TDataSetBase::BeforeDestruction() { fields_.Detach(); }

bool TDataSetBase::GetFieldData(int field_no, void* buffer) {
  TField* field = fields_.FieldByNumber(field_no);
  return field && GetFieldData(field, buffer);
}

// A variant field's two forms are one: a Variant object.
bool TDataSetBase::GetFieldData(TField* field, void* buffer, bool native_format) {
  if (native_format || !buffer || field->DataType() == ftVariant) return GetFieldData(field, buffer);
  const int size = field->DataSize();
  if (size <= 16) {
    // A date or time of a walk: its bytes on the stack, without NativeBytes.
    alignas(16) uint8_t native[16] = {};
    if (!GetFieldData(field, native)) return false;
    DataConvert(field, native, buffer, false);
    return true;
  }
  NativeBytes native(size);
  if (!GetFieldData(field, native.data())) return false;
  DataConvert(field, native.data(), buffer, false);
  return true;
}

void TDataSetBase::SetFieldData(TField* field, const void* buffer, bool native_format) {
  if (native_format || !buffer || field->DataType() == ftVariant) {
    SetFieldData(field, buffer);
    return;
  }
  NativeBytes native(field->DataSize());
  DataConvert(field, buffer, native.data(), true);
  SetFieldData(field, native.data());
}

void TDataSetBase::DataConvert(TField* field, const void* source, void* dest, bool to_native) {
  const TFieldType type = field->DataType();
  if (type == ftDateTime && !to_native) {
    // The one conversion of a walk, before the switch and what it keeps.
    Store(dest, DateTimeFromMSecs(Load<double>(source)));
    return;
  }
  switch (type) {
    case ftDate:
    case ftTime:
    case ftDateTime:
      if (to_native) {
        DateToNative(type, Load<DateTime>(source), dest);
      } else {
        Store(dest, DateFromNative(type, source));
      }
      return;
    case ftWideString:
      if (to_native) {
        WideToNative(*static_cast<const WideString*>(source), field->Size(), dest);
      } else {
        *static_cast<WideString*>(dest) = WideFromNative(source, field->Size() + 1);
      }
      return;
    case ftVariant:
      *static_cast<Variant*>(dest) = *static_cast<const Variant*>(source);
      return;
    default:
      std::memcpy(dest, source, static_cast<size_t>(field->DataSize()));
  }
}

Variant TDataSetBase::Lookup(const std::string&, const Variant&, const std::string&) {
  DatabaseError("Operation not supported", this);
}

const TComponentClass* TDataSetBase::GetFieldClass(TFieldType type) const { return DefaultFieldClass(type); }

void TDataSetBase::CheckInactive() {
  if (GetActive()) DatabaseError("Cannot perform this operation on an open dataset", this);
}

}  // namespace dac
