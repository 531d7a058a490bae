// TData: field values as variants, with the accepted kinds of each data type.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/runtime/date_routines.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

namespace {

[[noreturn]] void Refuse() { throw EConvertError("Cannot convert type"); }

void Accept(const Variant& value, std::initializer_list<VarType> kinds) {
  if (std::find(kinds.begin(), kinds.end(), value.Type()) == kinds.end()) Refuse();
}

// An integer in [min, max]; text must hold an integer.
int64_t IntegerFrom(const Variant& value, int64_t min, int64_t max) {
  int64_t n = 0;
  if (value.IsString()) {
    if (!TryStrToInt64(value.AsString(), n)) Refuse();
  } else {
    try {
      n = value.AsInt64();
    } catch (const EConvertError&) {
      Refuse();
    }
  }
  if (n < min || n > max) Refuse();
  return n;
}

WideString ReadWide(const void* text, size_t chars) {
  WideString out(chars, u'\0');
  std::memcpy(out.data(), text, chars * 2);
  return out;
}

template <typename Text>
void TrimControlAndBlanks(Text& text) {
  while (!text.empty() && static_cast<uint32_t>(static_cast<std::make_unsigned_t<typename Text::value_type>>(
                              text.back())) < 33) {
    text.pop_back();
  }
}

DateTime MSecsToDateTime(double msecs) {
  TimeStamp stamp;
  if (!plat::TryMSecsToTimeStamp(msecs, stamp)) throw EConvertError(Format("'%.0f' is not a valid timestamp", msecs));
  return TimeStampToDateTime(stamp);
}

TBytes BytesFrom(const Variant& value) {
  if (value.Type() != varBytes) Refuse();
  return value.AsBytes();
}

}  // namespace

// ---- Reading ----

namespace {

// The text types' value: in place (a child's heap text comes in place too)
// or from the heap.
Variant TextVariant(uint16_t type, const uint8_t* value, size_t size, bool child, bool trim) {
  const bool in_place = !IsHeapDataType(type) || child;
  if (CharsOf(type) == TCharKind::kWide) {
    if (in_place) {
      WideString text = ReadWide(value, WideLengthAt(value, size / 2));
      if (trim && !IsHeapDataType(type)) TrimControlAndBlanks(text);
      return Variant(std::move(text));
    }
    const void* text = LoadAt<const void*>(value);
    return Variant(text ? ReadWide(text, WideLengthAt(text)) : WideString());
  }
  if (in_place) {
    std::string text(reinterpret_cast<const char*>(value), strnlen(reinterpret_cast<const char*>(value), size));
    if (type == dtString && trim) TrimControlAndBlanks(text);
    return Variant(std::move(text));
  }
  const char* text = LoadAt<const char*>(value);
  return Variant(std::string(text ? text : ""));
}

// The byte types' value: Length bytes in place, or a 16-bit length and the
// bytes in place or on the heap, never beyond the room they have.
Variant BytesVariant(TFieldDesc* field, const uint8_t* value, size_t size, bool child) {
  const uint16_t type = field->GetDataType();
  if (type == dtBytes) return Variant(TBytes(value, value + field->GetLength()));
  const uint8_t* buffer = value;
  size_t room = size >= 2 ? size - 2 : 0;
  if (type == dtExtVarBytes && !child) {
    buffer = LoadAt<const uint8_t*>(value);
    if (!buffer) return Variant(TBytes());
    room = static_cast<size_t>(std::max(TStringHeap::BufSize(buffer) - 2, 0));
  }
  const size_t length = std::min<size_t>(LoadAt<uint16_t>(buffer), room);
  return Variant(TBytes(buffer + 2, buffer + 2 + length));
}

}  // namespace

Variant TData::ValueAsVariant(TFieldDesc* field, const uint8_t* value, size_t size, bool child) {
  const uint16_t type = field->GetDataType();
  if (IsTextOrGuidType(type)) {
    return TextVariant(type, value, size, child, field->GetFixed() ? trim_fixed_char_ : trim_var_char_);
  }
  if (IsBytesDataType(type)) return BytesVariant(field, value, size, child);
  switch (type) {
    case dtInt8: {
      if (child || size == 1) return Variant(LoadAt<int8_t>(value));
      const int16_t wide = LoadAt<int16_t>(value);
      if (wide >= INT8_MIN && wide <= INT8_MAX) return Variant(static_cast<int8_t>(wide));
      return Variant(wide);
    }
    case dtSmallint: return Variant(LoadAt<int16_t>(value));
    case dtInteger: return Variant(LoadAt<int32_t>(value));
    case dtWord: return Variant(LoadAt<uint16_t>(value));
    case dtUInt32:
      if (child) return Variant(static_cast<uint32_t>(LoadAt<uint64_t>(value)));
      return Variant(LoadAt<uint32_t>(value));
    case dtBoolean: return Variant(LoadAt<int16_t>(value) != 0);
    case dtLargeint: return Variant(LoadAt<int64_t>(value));
    case dtFloat:
    case dtCurrency: return Variant(LoadAt<double>(value));
    case dtDate:
    case dtTime:
    case dtDateTime:
      if (child) return Variant::FromDateTime(MSecsToDateTime(LoadAt<double>(value)));
      return Variant::FromDateTime(LoadAt<double>(value));
    case dtMemo:
    case dtWideMemo: {
      TBlob* blob = TSharedObject::At<TBlob>(value);
      if (type == dtMemo) return Variant(blob ? blob->GetAsString() : std::string());
      return Variant(blob ? blob->GetAsWideString() : WideString());
    }
    case dtVariant: {
      auto* holder = TSharedObject::At<TVariantObject>(value);
      return holder ? holder->Value() : Variant();
    }
    case dtBCD: return Variant(Currency::FromRaw(LoadAt<int64_t>(value)));
    case dtFmtBCD: {
      Bcd bcd;
      std::memcpy(&bcd, value, sizeof bcd);
      return Variant(bcd);
    }
    default: throw EConvertError(Format("Cannot convert type %d", type));
  }
}

void TData::GetFieldAsVariant(uint16_t field_no, void* rec_buf, Variant& value) {
  TFieldDesc* field = CheckedField(field_no);
  if (!field->HasParent()) {
    if (GetNull(field_no, rec_buf)) {
      value = Variant::Null();
      return;
    }
    value = ValueAsVariant(field, Slot(rec_buf, field), field->GetSize(), false);
    return;
  }
  bool is_blank = true;
  if (field->GetDataType() == dtVariant) {
    Variant held;
    GetChildField(field, rec_buf, &held, sizeof held, is_blank);
    value = is_blank ? Variant::Null() : held;
    return;
  }
  std::vector<uint8_t> buffer(ChildValueCapacity(*field), 0);
  GetChildField(field, rec_buf, buffer.data(), buffer.size(), is_blank);
  value = is_blank ? Variant::Null() : ValueAsVariant(field, buffer.data(), buffer.size(), true);
}

// ---- Writing ----

namespace {

// The kinds a fixed-size numeric type accepts, and the value in the slot's form.
struct NumericForm {
  uint8_t bytes[8] = {};
  size_t size = 0;
};

template <typename T>
NumericForm Form(T value) {
  NumericForm form;
  std::memcpy(form.bytes, &value, sizeof value);
  form.size = sizeof value;
  return form;
}

double FloatFrom(const Variant& value, int scale) {
  const VarType kind = value.Type();
  if (kind == varSmallint || kind == varInteger || kind == varByte) return value.AsDouble();
  double d = 0;
  if (kind == varSingle || kind == varDouble || kind == varCurrency) {
    d = value.AsDouble();
  } else if (value.IsString()) {
    if (!TryStrToFloat(value.AsString(), d)) Refuse();
  } else {
    Refuse();
  }
  return scale >= 1 ? RoundFloatToScale(d, scale) : d;
}

// The fixed-size numeric types.
NumericForm NumericValue(const TFieldDesc* field, const Variant& value) {
  switch (field->GetDataType()) {
    case dtSmallint:
      Accept(value, {varSmallint, varInteger, varByte, varWord});
      return Form<int16_t>(static_cast<int16_t>(IntegerFrom(value, INT16_MIN, INT16_MAX)));
    case dtWord:
      Accept(value, {varSmallint, varInteger, varByte, varWord});
      return Form<uint16_t>(static_cast<uint16_t>(IntegerFrom(value, 0, UINT16_MAX)));
    case dtInteger:
      Accept(value, {varSmallint, varInteger, varSingle, varDouble, varCurrency, varByte, varWord, varString, varOleStr});
      return Form<int32_t>(static_cast<int32_t>(IntegerFrom(value, INT32_MIN, INT32_MAX)));
    case dtLargeint:
      Accept(value, {varInt64, varUInt64});
      return Form<int64_t>(IntegerFrom(value, INT64_MIN, INT64_MAX));
    case dtBoolean:
      Accept(value, {varBoolean});
      return Form<int16_t>(value.AsBoolean() ? 1 : 0);
    case dtFloat:
    case dtCurrency: return Form<double>(FloatFrom(value, field->GetScale()));
    case dtBCD:
      try {
        return Form<int64_t>(value.AsCurrency().raw);
      } catch (const EConvertError&) {
        Refuse();
      }
    default: Refuse();
  }
}

}  // namespace

namespace {

void ReplaceHeapBuffer(TStringHeap& heap, uint8_t* slot, void* copy) {
  heap.DisposeBuf(LoadAt<void*>(slot));
  StoreAt<void*>(slot, 0, copy);
}

// The text types: in place cut to the slot, on the heap whole.
void PutTextToSlot(TStringHeap& heap, TFieldDesc* field, uint8_t* slot, const Variant& value) {
  const size_t size = field->GetSize();
  switch (field->GetDataType()) {
    case dtWideString: {
      const WideString text = value.AsWideString();
      const size_t length = std::min(text.size(), size / 2 - 1);
      std::memcpy(slot, text.data(), length * 2);
      StoreAt<char16_t>(slot, length * 2, 0);
      return;
    }
    case dtExtString: return ReplaceHeapBuffer(heap, slot, heap.AllocStr(value.AsString().c_str()));
    case dtExtWideString: return ReplaceHeapBuffer(heap, slot, heap.AllocWideStr(value.AsWideString().c_str()));
    default: {  // dtString, dtGuid
      const std::string text = value.AsString();
      const size_t length = std::min(text.size(), size - 1);
      std::memcpy(slot, text.data(), length);
      slot[length] = 0;
      return;
    }
  }
}

// The byte types: exactly Length bytes, up to Length, or up to 64 KB on the heap.
void PutBytesToSlot(TStringHeap& heap, TFieldDesc* field, uint8_t* slot, const Variant& value) {
  const uint16_t type = field->GetDataType();
  if (type == dtBytes) {
    DAC_ASSERT(value.Type() == varBytes, "Invalid VType");
    const TBytes& bytes = value.AsBytes();
    DAC_ASSERT(bytes.size() == field->GetLength(), "Invalid data size");
    std::memcpy(slot, bytes.data(), bytes.size());
    return;
  }
  const TBytes bytes = BytesFrom(value);
  if (bytes.size() > (type == dtVarBytes ? field->GetLength() : UINT16_MAX)) Refuse();
  uint8_t* target = slot;
  if (type == dtExtVarBytes) target = static_cast<uint8_t*>(heap.NewBuf(static_cast<int>(bytes.size()) + 2));
  StoreAt<uint16_t>(target, 0, static_cast<uint16_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(target + 2, bytes.data(), bytes.size());
  if (type == dtExtVarBytes) ReplaceHeapBuffer(heap, slot, target);
}

void PutBlobToSlot(TFieldDesc* field, uint8_t* slot, const Variant& value) {
  TBlob* blob = TSharedObject::At<TBlob>(slot);
  DAC_ASSERT(blob, "Shared object for " + field->GetName() + "=nil");
  if (field->GetDataType() == dtWideMemo) {
    blob->SetAsWideString(value.AsWideString());
  } else {
    blob->SetAsString(value.AsString());
  }
}

}  // namespace

void TData::PutVariantToSlot(TFieldDesc* field, void* rec_buf, const Variant& value) {
  uint8_t* slot = Slot(rec_buf, field);
  const size_t size = field->GetSize();
  const uint16_t type = field->GetDataType();
  switch (type) {
    case dtString:
    case dtGuid:
    case dtWideString:
    case dtExtString:
    case dtExtWideString: return PutTextToSlot(string_heap_, field, slot, value);
    case dtBytes:
    case dtVarBytes:
    case dtExtVarBytes: return PutBytesToSlot(string_heap_, field, slot, value);
    case dtBlob:
    case dtMemo:
    case dtWideMemo: return PutBlobToSlot(field, slot, value);
    case dtInt8: {
      DAC_ASSERT(size == 1 || size == 2, "Invalid size of " + field->GetName());
      const int64_t n = IntegerFrom(value, INT8_MIN, INT8_MAX);
      if (size == 1) {
        StoreAt<int8_t>(slot, 0, static_cast<int8_t>(n));
      } else {
        StoreAt<int16_t>(slot, 0, static_cast<int16_t>(n));
      }
      return;
    }
    case dtDate:
    case dtTime:
    case dtDateTime: {
      const DateTime date = value.AsDateTime();
      PutDateToBuf(rec_buf, field->GetOffset(), &date, dfDateTime);
      return;
    }
    case dtVariant: {
      auto* holder = TSharedObject::At<TVariantObject>(slot);
      DAC_ASSERT(holder, "Shared object for " + field->GetName() + "=nil");
      holder->Value() = value;
      return;
    }
    case dtUInt32:
      Accept(value, {varLongWord});
      StoreAt<uint32_t>(slot, 0, value.AsUInt32());
      return;
    case dtFmtBCD: {
      const Bcd bcd = StrToBcd(value.AsString());
      std::memcpy(slot, &bcd, sizeof bcd);
      return;
    }
    default: {
      const NumericForm form = NumericValue(field, value);
      std::memcpy(slot, form.bytes, form.size);
      return;
    }
  }
}

namespace {

std::vector<uint8_t> ChildText(uint16_t type, const Variant& value) {
  std::vector<uint8_t> buffer;
  if (CharsOf(type) == TCharKind::kWide) {
    const WideString text = value.AsWideString();
    buffer.resize((text.size() + 1) * 2, 0);
    std::memcpy(buffer.data(), text.data(), text.size() * 2);
  } else {
    const std::string text = value.AsString();
    buffer.assign(text.begin(), text.end());
    buffer.push_back(0);
  }
  return buffer;
}

std::vector<uint8_t> ChildBytes(TFieldDesc* field, const Variant& value) {
  const uint16_t type = field->GetDataType();
  if (type == dtBytes) {
    DAC_ASSERT(value.Type() == varBytes, "Invalid VType");
    std::vector<uint8_t> buffer = value.AsBytes();
    DAC_ASSERT(buffer.size() == field->GetLength(), "Invalid data size");
    return buffer;
  }
  const TBytes bytes = BytesFrom(value);
  if (bytes.size() > (type == dtVarBytes ? field->GetLength() : UINT16_MAX)) Refuse();
  std::vector<uint8_t> buffer(bytes.size() + 2);
  StoreAt<uint16_t>(buffer.data(), 0, static_cast<uint16_t>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), buffer.begin() + 2);
  return buffer;
}

template <typename T>
std::vector<uint8_t> ChildNumber(T number) {
  const NumericForm form = Form<T>(number);
  return std::vector<uint8_t>(form.bytes, form.bytes + form.size);
}

}  // namespace

void TData::PutVariantToChild(TFieldDesc* field, void* rec_buf, const Variant& value) {
  const uint16_t type = field->GetDataType();
  std::vector<uint8_t> buffer;
  if (IsTextOrGuidType(type)) {
    buffer = ChildText(type, value);
  } else if (IsBytesDataType(type)) {
    buffer = ChildBytes(field, value);
  } else if (IsBlobDataType(type)) {
    Refuse();
  } else if (type == dtVariant) {
    return PutChildField(field, rec_buf, &value);
  } else if (type == dtInt8) {
    buffer.push_back(static_cast<uint8_t>(static_cast<int8_t>(IntegerFrom(value, INT8_MIN, INT8_MAX))));
  } else if (type == dtUInt32) {
    Accept(value, {varLongWord});
    buffer = ChildNumber<uint64_t>(value.AsUInt32());
  } else if (FamilyOf(type) == TValueFamily::kDate) {
    buffer = ChildNumber<double>(plat::TimeStampToMSecs(plat::DateTimeToTimeStamp(value.AsDateTime())));
  } else if (type == dtFmtBCD) {
    const Bcd bcd = StrToBcd(value.AsString());
    buffer.resize(sizeof bcd);
    std::memcpy(buffer.data(), &bcd, sizeof bcd);
  } else {
    const NumericForm form = NumericValue(field, value);
    buffer.assign(form.bytes, form.bytes + form.size);
  }
  PutChildField(field, rec_buf, buffer.data());
}

void TData::PutFieldAsVariant(uint16_t field_no, void* rec_buf, const Variant& value) {
  TFieldDesc* field = CheckedField(field_no);
  if (value.IsEmptyOrNull()) {
    SetNull(field_no, rec_buf, true);
    return;
  }
  if (field->HasParent()) {
    PutVariantToChild(field, rec_buf, value);
    return;
  }
  PutVariantToSlot(field, rec_buf, value);
  WriteIndicator(field, rec_buf, false);
}

}  // namespace dac
