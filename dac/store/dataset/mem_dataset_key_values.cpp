// TMemDataSet::CopyFieldValue: a searched value in the native form the
// record set compares with a field (TMemData::CompareFieldValue), each
// number at its column's own width.
#include <cstring>
#include <string>

#include "dac/framework/values/text_conversions.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/runtime/marshal.h"
#include "dac/store/runtime/unaligned.h"
#include "platform/code_page.h"

namespace dac {

namespace {

[[noreturn]] void CannotConvert() { throw EConvertError("Cannot convert type"); }

// A zero-filled buffer, never smaller than 8 bytes.
void* NewKey(size_t size) {
  const size_t room = std::max<size_t>(size, 8);
  void* buffer = Marshal::AllocHGlobal(room);
  std::memset(buffer, 0, room);
  return buffer;
}

void* TextKey(const std::string& text) {
  void* buffer = NewKey(text.size() + 1);
  std::memcpy(buffer, text.data(), text.size());
  return buffer;
}

void* WideTextKey(const WideString& text) {
  void* buffer = NewKey((text.size() + 1) * 2);
  std::memcpy(buffer, text.data(), text.size() * 2);
  return buffer;
}

// A 16-bit length and the bytes, as byte fields compare.
void* BytesKey(const void* bytes, size_t length) {
  if (length > UINT16_MAX) CannotConvert();
  void* buffer = NewKey(length + 2);
  StoreAt<uint16_t>(buffer, 0, static_cast<uint16_t>(length));
  if (length > 0) std::memcpy(static_cast<uint8_t*>(buffer) + 2, bytes, length);
  return buffer;
}

template <typename T>
void* FixedKey(T value) {
  void* buffer = NewKey(sizeof value);
  StoreAt<T>(buffer, 0, value);
  return buffer;
}

// The value at the width of its column; a value outside the column's range
// (or of no number kind) cannot be a key of it.
template <typename T, typename Convert>
void* IntegerKey(Convert convert) {
  try {
    return FixedKey<T>(convert());
  } catch (const EConvertError&) {
    CannotConvert();
  }
}

// The columns a text compares with as 8-bit text.
bool IsText8Like(uint16_t type) {
  const TValueFamily family = FamilyOf(type);
  return IsAnsiTextType(type) || family == TValueFamily::kGuid || family == TValueFamily::kBlob ||
         family == TValueFamily::kVariant;
}

// The text read as the value a typed column holds; Empty for a column that takes no such conversion.
Variant TextAsColumnValue(const std::string& text, uint16_t type) {
  switch (type) {
    case dtInt8:
    case dtSmallint:
    case dtInteger:
    case dtWord:
    case dtLargeint:
    case dtUInt32: return Variant(StrToInt64(text));
    case dtFloat:
    case dtCurrency:
    case dtBCD: return Variant(StrToFloat(text));
    case dtFmtBCD: return Variant(StrToBcd(text));
    case dtDate: return Variant::FromDateTime(StrToDate(text));
    case dtTime: return Variant::FromDateTime(StrToTime(text));
    case dtDateTime: return Variant::FromDateTime(StrToDateTime(text));
    case dtBoolean: return Variant(StrToBool(text));
    default: return Variant();
  }
}

// A value of no text kind in the column's native form; a variant column
// takes text only.
void* NativeKey(const Variant& value, uint16_t type, int& value_type) {
  if (IsText8Like(type) && type != dtVariant) {
    value_type = dtString;
    return TextKey(value.AsString());
  }
  if (IsWideTextType(type)) {
    value_type = dtWideString;
    return WideTextKey(value.AsWideString());
  }
  if (IsBytesDataType(type)) {
    if (!value.IsBytes()) CannotConvert();
    const TBytes& bytes = value.AsBytes();
    return BytesKey(bytes.data(), bytes.size());
  }
  switch (type) {
    case dtInt8: return IntegerKey<int8_t>([&] { return value.AsInt8(); });
    case dtSmallint: return IntegerKey<int16_t>([&] { return value.AsInt16(); });
    case dtInteger: return IntegerKey<int32_t>([&] { return value.AsInt32(); });
    case dtWord: return IntegerKey<uint16_t>([&] { return value.AsUInt16(); });
    case dtUInt32: return IntegerKey<uint32_t>([&] { return value.AsUInt32(); });
    case dtLargeint: return IntegerKey<int64_t>([&] { return value.AsInt64(); });
    case dtFloat:
    case dtCurrency:
    case dtBCD: return FixedKey<double>(value.AsDouble());
    case dtDate:
    case dtTime:
    case dtDateTime: return FixedKey<double>(value.AsDateTime());
    // Booleans compare as 16 bits.
    case dtBoolean: return FixedKey<uint16_t>(value.AsBoolean() ? 1 : 0);
    case dtFmtBCD: return FixedKey<Bcd>(value.AsBcd());
    default: CannotConvert();
  }
}

}  // namespace

void TMemDataSet::CopyFieldValue(const Variant& value, void*& buffer, int& value_type, TFieldDesc* desc,
                                 bool use_field_type) {
  buffer = nullptr;
  const uint16_t type = desc->GetDataType();
  value_type = type;
  if (value.IsEmptyOrNull()) return;
  if (value.IsString()) {
    // Wide and byte columns take text as it is on both paths: a sorted wide
    // column compares UTF-16 text like an unsorted one.
    if (IsWideTextType(type)) {
      value_type = dtWideString;
      buffer = WideTextKey(value.AsWideString());
      return;
    }
    if (IsBytesDataType(type)) {
      const std::string bytes = value.AsString();
      buffer = BytesKey(bytes.data(), bytes.size());
      return;
    }
    if (!use_field_type) {
      if (type == dtBoolean) {
        buffer = FixedKey<uint16_t>(StrToBool(value.AsString()) ? 1 : 0);
        return;
      }
      value_type = dtString;
      buffer = TextKey(value.AsString());
      return;
    }
    if (IsText8Like(type)) {
      value_type = dtString;
      buffer = TextKey(value.AsString());
      return;
    }
    const Variant typed = TextAsColumnValue(value.AsString(), type);
    if (typed.IsEmpty()) CannotConvert();
    CopyFieldValue(typed, buffer, value_type, desc, false);
    return;
  }
  buffer = NativeKey(value, type, value_type);
}

}  // namespace dac
