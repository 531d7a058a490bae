// TMemData: one value against a field of a record, per data type, and the
// text and byte comparers beneath. Sorting compares two records through it;
// the dataset's Locate compares a searched value with rows.
#include <cmath>
#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/string_compare.h"
#include "dac/store/runtime/unaligned.h"
#include "platform/code_page.h"
#include "platform/locale_compare.h"

namespace dac {

namespace {

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// A field's value in the comparable form of TData::GetFieldBuf, freed with it.
class FieldBuffer {
 public:
  FieldBuffer(TData& data, void* rec_buf, TFieldDesc* field) {
    value_ = static_cast<const uint8_t*>(data.GetFieldBuf(rec_buf, field, type_, blank_, native_));
  }
  ~FieldBuffer() {
    if (!native_) TData::FreeFieldBuf(const_cast<uint8_t*>(value_));
  }
  FieldBuffer(const FieldBuffer&) = delete;
  FieldBuffer& operator=(const FieldBuffer&) = delete;

  const uint8_t* Get() const { return value_; }
  int Type() const { return type_; }
  bool IsBlank() const { return blank_; }
  std::string Text() const { return value_ ? std::string(reinterpret_cast<const char*>(value_)) : std::string(); }
  std::u16string WideText() const { return WideTextAt(value_); }
  // 16-bit length and bytes; an absent heap buffer is empty.
  std::string_view Bytes() const { return BytesAt(value_); }

  static std::u16string WideTextAt(const void* text) {
    std::u16string result(text ? WideLengthAt(text) : 0, u'\0');
    if (!result.empty()) std::memcpy(result.data(), text, result.size() * 2);
    return result;
  }
  static std::string_view BytesAt(const void* value) {
    if (!value) return {};
    return std::string_view(static_cast<const char*>(value) + 2, LoadAt<uint16_t>(value));
  }

 private:
  const uint8_t* value_ = nullptr;
  int type_ = 0;
  bool blank_ = false;
  bool native_ = true;
};

// Types whose stored value is already in the comparable form of TData::GetFieldBuf.
bool IsInPlaceComparable(uint16_t type) {
  switch (type) {
    case dtInt8:
    case dtSmallint:
    case dtInteger:
    case dtWord:
    case dtUInt32:
    case dtLargeint:
    case dtFloat:
    case dtCurrency:
    case dtBoolean: return true;
    default: return false;
  }
}

// A comparable form's type: a data-type code, or none.
bool IsFixedSizeType(int type) {
  return type >= 0 && type <= UINT16_MAX && IsFixedDataType(static_cast<uint16_t>(type));
}
bool IsBytesType(int type) { return type >= 0 && type <= UINT16_MAX && IsBytesDataType(static_cast<uint16_t>(type)); }

// Codes up to 32 removed at both ends.
template <typename Text>
Text TrimControls(const Text& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<uint32_t>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<uint32_t>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

// The variant codes that compare with each other as numbers.
bool IsNumericVarType(VarType type) { return (type >= 2 && type <= 6) || (type >= 14 && type <= 20); }

// Two fixed-size values of the type, the field's as the value's form has it.
int CompareFixed(int type, const void* value, const void* field) {
  switch (type) {
    case dtInt8: return Order(LoadAt<int8_t>(value), LoadAt<int8_t>(field));
    case dtSmallint: return Order(LoadAt<int16_t>(value), LoadAt<int16_t>(field));
    case dtInteger: return Order(LoadAt<int32_t>(value), LoadAt<int32_t>(field));
    case dtWord: return Order(LoadAt<uint16_t>(value), LoadAt<uint16_t>(field));
    case dtUInt32: return Order(LoadAt<uint32_t>(value), LoadAt<uint32_t>(field));
    case dtLargeint: return Order(LoadAt<int64_t>(value), LoadAt<int64_t>(field));
    case dtFloat:
    case dtCurrency: return Order(LoadAt<double>(value), LoadAt<double>(field));
    case dtDate:
    case dtTime:
    case dtDateTime: return plat::CompareDateTime(LoadAt<double>(value), LoadAt<double>(field));
    case dtBoolean: {
      const bool a = LoadAt<uint16_t>(value) != 0;
      const bool b = LoadAt<uint16_t>(field) != 0;
      return a == b ? 0 : (b ? -1 : 1);
    }
    case dtFmtBCD: return BcdCompare(LoadAt<Bcd>(value), LoadAt<Bcd>(field));
    default: AssertionFailed("Unknown ValueType = " + std::to_string(type), __FILE__, __LINE__);
  }
}

// A BCD value (a double) against the field's value scaled by 10,000.
int CompareBcd(const void* value, int64_t field_scaled) {
  const double scaled = std::round(LoadAt<double>(value) * 10000.0);
  if (!(std::fabs(scaled) < 0x1p63)) return scaled > 0 ? 1 : -1;  // beyond every scaled value
  return Order(static_cast<int64_t>(scaled), field_scaled);
}

// A child's BCD value comes as a double, like the value.
int64_t ScaledBcd(const void* child_value) {
  const double scaled = std::round(LoadAt<double>(child_value) * 10000.0);
  return std::fabs(scaled) < 0x1p63 ? static_cast<int64_t>(scaled) : (scaled > 0 ? INT64_MAX : INT64_MIN);
}

}  // namespace

int TMemData::CompareFields(void* rec1, void* rec2, TFieldDesc* field, TLocateExOptions options) {
  const uint16_t type = field->GetDataType();
  if (!field->HasParent() && IsInPlaceComparable(type)) {
    // GetFieldBuf would hand out the slot itself: no buffer to make or free.
    const bool null = GetNull(field->GetFieldNo(), rec1);
    const bool other_null = GetNull(field->GetFieldNo(), rec2);
    if (null) return other_null ? 0 : -1;
    if (other_null) return 1;
    return CompareFieldValue(static_cast<const uint8_t*>(rec1) + field->GetOffset(), type, field, rec2, options);
  }
  const FieldBuffer value(*this, rec1, field);
  const bool other_null = GetNull(field->GetFieldNo(), rec2);
  if (value.IsBlank()) return other_null ? 0 : -1;
  if (other_null) return 1;
  return CompareFieldValue(value.Get(), value.Type(), field, rec2, options);
}

int TMemData::CompareFieldValue(const void* value, int value_type, TFieldDesc* field, void* rec_buf,
                                TLocateExOptions options) {
  if (value_type >= 0 && value_type <= UINT16_MAX && IsInPlaceComparable(static_cast<uint16_t>(value_type)) &&
      !field->HasParent()) {
    return CompareFixed(value_type, value, static_cast<const uint8_t*>(rec_buf) + field->GetOffset());
  }
  switch (value_type) {
    case dtString:
    case dtGuid: return CompareText(static_cast<const char*>(value), field, rec_buf, options);
    case dtWideString: return CompareWideText(static_cast<const char16_t*>(value), field, rec_buf, options);
    case dtVariant: return CompareVariantValue(value, field, rec_buf, options);
    default: break;
  }
  if (IsBytesType(value_type)) {
    const std::string_view a = FieldBuffer::BytesAt(value);
    const std::string_view b = FieldBuffer(*this, rec_buf, field).Bytes();
    return CompareBinValues(a.data(), a.size(), b.data(), b.size(), options);
  }
  if (!IsFixedSizeType(value_type)) {
    AssertionFailed("Unknown ValueType = " + std::to_string(value_type), __FILE__, __LINE__);
  }
  if (!field->HasParent()) {
    // In place: dates are stored as the value's double, BCD scaled by 10,000.
    const uint8_t* slot = static_cast<const uint8_t*>(rec_buf) + field->GetOffset();
    if (value_type == dtBCD) return CompareBcd(value, LoadAt<int64_t>(slot));
    return CompareFixed(value_type, value, slot);
  }
  const FieldBuffer child(*this, rec_buf, field);
  if (value_type == dtBCD) return CompareBcd(value, ScaledBcd(child.Get()));
  return CompareFixed(value_type, value, child.Get());
}

std::string TMemData::FieldText(TFieldDesc* field, void* rec_buf) {
  const uint16_t type = field->GetDataType();
  switch (type) {
    case dtDate:
    case dtTime:
    case dtDateTime: {
      const double value = LoadAt<double>(FieldBuffer(*this, rec_buf, field).Get());
      return type == dtDate ? DateToStr(value) : (type == dtTime ? TimeToStr(value) : DateTimeToStr(value));
    }
    case dtWideString:
    case dtExtWideString: return plat::Utf16ToAnsi(FieldBuffer(*this, rec_buf, field).WideText());
    case dtBytes:
    case dtVarBytes:
    case dtExtVarBytes: return std::string(FieldBuffer(*this, rec_buf, field).Bytes());
    case dtString:
    case dtExtString:
    case dtGuid:
    case dtBlob:
    case dtMemo:
    case dtWideMemo: return FieldBuffer(*this, rec_buf, field).Text();
    default: {
      Variant held;
      GetFieldAsVariant(field->GetFieldNo(), rec_buf, held);
      return VarToStr(held);
    }
  }
}

int TMemData::CompareText(const char* value, TFieldDesc* field, void* rec_buf, TLocateExOptions options) {
  const bool text_field = IsAnsiTextType(field->GetDataType());
  const bool trim = text_field && (field->GetFixed() ? GetTrimFixedChar() : GetTrimVarChar());
  const bool partial = options.Contains(lxPartialKey) || options.Contains(lxPartialCompare);
  std::string field_text;
  if (text_field) {
    const FieldBuffer buffer(*this, rec_buf, field);
    const char* text = buffer.Get() ? reinterpret_cast<const char*>(buffer.Get()) : "";
    if (!partial && !trim) return InternalAnsiStrComp(value, text, options);
    field_text = text;
  } else {
    field_text = FieldText(field, rec_buf);
  }
  if (!trim) return CompareStrValues(value, field_text, options);
  return CompareStrValues(TrimControls(std::string(value)), TrimControls(field_text), options);
}

int TMemData::CompareWideText(const char16_t* value, TFieldDesc* field, void* rec_buf, TLocateExOptions options) {
  const bool text_field = IsWideTextType(field->GetDataType());
  const bool trim = text_field && (field->GetFixed() ? GetTrimFixedChar() : GetTrimVarChar());
  const bool partial = options.Contains(lxPartialKey) || options.Contains(lxPartialCompare);
  const std::u16string value_text = FieldBuffer::WideTextAt(value);
  const std::u16string field_text = text_field ? FieldBuffer(*this, rec_buf, field).WideText()
                                               : plat::AnsiToUtf16(FieldText(field, rec_buf));
  if (text_field && !partial && !trim) return InternalWStrComp(value_text, field_text, options);
  if (!trim) return CompareWideStrValues(value_text, field_text, options);
  return CompareWideStrValues(TrimControls(value_text), TrimControls(field_text), options);
}

int TMemData::CompareVariantValue(const void* value, TFieldDesc* field, void* rec_buf, TLocateExOptions options) {
  auto* holder = TSharedObject::At<TVariantObject>(value);
  const Variant a = holder ? holder->Value() : Variant();
  Variant b;
  GetFieldAsVariant(field->GetFieldNo(), rec_buf, b);
  const VarType ta = a.Type();
  const VarType tb = b.Type();
  const int by_type = ta > tb ? 1 : -1;
  if (a.IsBytes() || b.IsBytes()) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull() ? 0 : (b.IsNull() ? 1 : -1);
    if (ta != tb) return by_type;
    const TBytes& x = a.AsBytes();
    const TBytes& y = b.AsBytes();
    if (x.size() != y.size()) return Order(x.size(), y.size());
    return CompareBinValues(x.data(), x.size(), y.data(), y.size(), options);
  }
  if (ta == tb || (IsNumericVarType(ta) && IsNumericVarType(tb))) return VarCompare(a, b);
  if (a.IsString() || b.IsString()) return CompareStrValues(VarToStr(a), VarToStr(b), options);
  return by_type;
}

int TMemData::CompareBinValues(const void* value, size_t value_len, const void* field, size_t field_len,
                               TLocateExOptions options) {
  const auto* v = static_cast<const uint8_t*>(value);
  const auto* f = static_cast<const uint8_t*>(field);
  if (options.Contains(lxPartialCompare) || options.Contains(lxPartialKey)) {
    if (value_len > field_len) return 1;
    if (value_len == 0) return 0;
    if (options.Contains(lxPartialKey)) return Order(std::memcmp(v, f, value_len), 0);
    for (size_t at = 0; at + value_len <= field_len; ++at) {
      if (std::memcmp(f + at, v, value_len) == 0) return 0;
    }
    return 1;
  }
  const size_t common = std::min(value_len, field_len);
  const int by_bytes = common > 0 ? std::memcmp(v, f, common) : 0;
  return by_bytes != 0 ? Order(by_bytes, 0) : Order(value_len, field_len);
}

// ---- Text comparers ----

int TMemData::InternalAnsiStrComp(const char* a, const char* b, TLocateExOptions options) {
  return options.Contains(lxCaseInsensitive) ? AnsiStrICompS(a, b) : AnsiStrCompS(a, b);
}

int TMemData::InternalAnsiCompareText(std::string_view a, std::string_view b, TLocateExOptions options) {
  return options.Contains(lxCaseInsensitive) ? AnsiCompareTextS(a, b) : AnsiCompareStrS(a, b);
}

int TMemData::InternalWStrLComp(std::u16string_view a, std::u16string_view b, TLocateExOptions options) {
  const std::u16string x(a);
  const std::u16string y(b);
  return options.Contains(lxCaseInsensitive) ? AnsiStrLICompWS(x.c_str(), y.c_str(), x.size())
                                             : AnsiStrLCompWS(x.c_str(), y.c_str(), x.size());
}

int TMemData::InternalWStrComp(std::u16string_view a, std::u16string_view b, TLocateExOptions options) {
  return options.Contains(lxCaseInsensitive) ? AnsiCompareTextWS(a, b) : AnsiCompareStrWS(a, b);
}

int TMemData::CompareStrValues(std::string_view a, std::string_view b, TLocateExOptions options) {
  if (options.Contains(lxPartialCompare)) {
    if (!options.Contains(lxCaseInsensitive)) return b.find(a) == std::string_view::npos ? 1 : 0;
    return plat::AnsiTextUpper(b).find(plat::AnsiTextUpper(a)) == std::string::npos ? 1 : 0;
  }
  if (options.Contains(lxPartialKey)) {
    const size_t length = a.empty() ? b.size() : a.size();
    if (b.size() < length) return 1;
    return InternalAnsiCompareText(a, b.substr(0, length), options);
  }
  return InternalAnsiCompareText(a, b, options);
}

int TMemData::CompareWideStrValues(std::u16string_view a, std::u16string_view b, TLocateExOptions options) {
  if (options.Contains(lxPartialCompare)) {
    if (!options.Contains(lxCaseInsensitive)) return b.find(a) == std::u16string_view::npos ? 1 : 0;
    return plat::WideUpperCase(b).find(plat::WideUpperCase(a)) == std::u16string::npos ? 1 : 0;
  }
  if (options.Contains(lxPartialKey)) return a.size() > b.size() ? 1 : InternalWStrLComp(a, b, options);
  return InternalWStrComp(a, b, options);
}

}  // namespace dac
