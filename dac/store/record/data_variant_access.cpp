// TData: field values as variants, with the accepted kinds of each data type.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data.h"
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

Variant TData::ValueAsVariant(TFieldDesc* field, const uint8_t* value, size_t size, bool child) {
  const uint16_t type = field->GetDataType();
  const bool trim = field->GetFixed() ? trim_fixed_char_ : trim_var_char_;
  switch (type) {
    case dtString:
    case dtGuid: {
      std::string text(reinterpret_cast<const char*>(value), strnlen(reinterpret_cast<const char*>(value), size));
      if (type == dtString && trim) TrimControlAndBlanks(text);
      return Variant(std::move(text));
    }
    case dtWideString: {
      WideString text = ReadWide(value, WideLengthAt(value, size / 2));
      if (trim) TrimControlAndBlanks(text);
      return Variant(std::move(text));
    }
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
    case dtExtString: {
      if (child) return Variant(std::string(reinterpret_cast<const char*>(value),
                                            strnlen(reinterpret_cast<const char*>(value), size)));
      const char* text = LoadAt<const char*>(value);
      return Variant(std::string(text ? text : ""));
    }
    case dtExtWideString: {
      if (child) return Variant(ReadWide(value, WideLengthAt(value, size / 2)));
      const void* text = LoadAt<const void*>(value);
      return Variant(text ? ReadWide(text, WideLengthAt(text)) : WideString());
    }
    case dtBytes: return Variant(TBytes(value, value + field->GetLength()));
    case dtVarBytes:
    case dtExtVarBytes: {
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

void TData::PutVariantToSlot(TFieldDesc* field, void* rec_buf, const Variant& value) {
  uint8_t* slot = Slot(rec_buf, field);
  const size_t size = field->GetSize();
  const uint16_t type = field->GetDataType();
  switch (type) {
    case dtString:
    case dtGuid: {
      const std::string text = value.AsString();
      const size_t length = std::min(text.size(), size - 1);
      std::memcpy(slot, text.data(), length);
      slot[length] = 0;
      return;
    }
    case dtWideString: {
      const WideString text = value.AsWideString();
      const size_t length = std::min(text.size(), size / 2 - 1);
      std::memcpy(slot, text.data(), length * 2);
      StoreAt<char16_t>(slot, length * 2, 0);
      return;
    }
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
    case dtBlob:
    case dtMemo:
    case dtWideMemo: {
      TBlob* blob = TSharedObject::At<TBlob>(slot);
      DAC_ASSERT(blob, "Shared object for " + field->GetName() + "=nil");
      if (type == dtWideMemo) {
        blob->SetAsWideString(value.AsWideString());
      } else {
        blob->SetAsString(value.AsString());
      }
      return;
    }
    case dtVariant: {
      auto* holder = TSharedObject::At<TVariantObject>(slot);
      DAC_ASSERT(holder, "Shared object for " + field->GetName() + "=nil");
      holder->Value() = value;
      return;
    }
    case dtExtString: {
      char* copy = string_heap_.AllocStr(value.AsString().c_str());
      string_heap_.DisposeBuf(LoadAt<void*>(slot));
      StoreAt<void*>(slot, 0, copy);
      return;
    }
    case dtExtWideString: {
      char16_t* copy = string_heap_.AllocWideStr(value.AsWideString().c_str());
      string_heap_.DisposeBuf(LoadAt<void*>(slot));
      StoreAt<void*>(slot, 0, copy);
      return;
    }
    case dtBytes: {
      DAC_ASSERT(value.Type() == varBytes, "Invalid VType");
      const TBytes& bytes = value.AsBytes();
      DAC_ASSERT(bytes.size() == field->GetLength(), "Invalid data size");
      std::memcpy(slot, bytes.data(), bytes.size());
      return;
    }
    case dtVarBytes: {
      const TBytes bytes = BytesFrom(value);
      if (bytes.size() > field->GetLength()) Refuse();
      StoreAt<uint16_t>(slot, 0, static_cast<uint16_t>(bytes.size()));
      if (!bytes.empty()) std::memcpy(slot + 2, bytes.data(), bytes.size());
      return;
    }
    case dtExtVarBytes: {
      const TBytes bytes = BytesFrom(value);
      if (bytes.size() > UINT16_MAX) Refuse();
      auto* copy = static_cast<uint8_t*>(string_heap_.NewBuf(static_cast<int>(bytes.size()) + 2));
      StoreAt<uint16_t>(copy, 0, static_cast<uint16_t>(bytes.size()));
      if (!bytes.empty()) std::memcpy(copy + 2, bytes.data(), bytes.size());
      string_heap_.DisposeBuf(LoadAt<void*>(slot));
      StoreAt<void*>(slot, 0, copy);
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

void TData::PutVariantToChild(TFieldDesc* field, void* rec_buf, const Variant& value) {
  const uint16_t type = field->GetDataType();
  std::vector<uint8_t> buffer;
  auto put_text8 = [&buffer](const std::string& text) {
    buffer.assign(text.begin(), text.end());
    buffer.push_back(0);
  };
  switch (type) {
    case dtString:
    case dtExtString:
    case dtGuid: put_text8(value.AsString()); break;
    case dtWideString:
    case dtExtWideString: {
      const WideString text = value.AsWideString();
      buffer.resize((text.size() + 1) * 2, 0);
      std::memcpy(buffer.data(), text.data(), text.size() * 2);
      break;
    }
    case dtInt8: buffer.push_back(static_cast<uint8_t>(static_cast<int8_t>(IntegerFrom(value, INT8_MIN, INT8_MAX)))); break;
    case dtUInt32: {
      Accept(value, {varLongWord});
      const NumericForm form = Form<uint64_t>(value.AsUInt32());
      buffer.assign(form.bytes, form.bytes + form.size);
      break;
    }
    case dtDate:
    case dtTime:
    case dtDateTime: {
      const NumericForm form = Form<double>(plat::TimeStampToMSecs(plat::DateTimeToTimeStamp(value.AsDateTime())));
      buffer.assign(form.bytes, form.bytes + form.size);
      break;
    }
    case dtVariant: PutChildField(field, rec_buf, &value); return;
    case dtBytes: {
      DAC_ASSERT(value.Type() == varBytes, "Invalid VType");
      buffer = value.AsBytes();
      DAC_ASSERT(buffer.size() == field->GetLength(), "Invalid data size");
      break;
    }
    case dtVarBytes:
    case dtExtVarBytes: {
      const TBytes bytes = BytesFrom(value);
      if (bytes.size() > (type == dtVarBytes ? field->GetLength() : UINT16_MAX)) Refuse();
      buffer.resize(bytes.size() + 2);
      StoreAt<uint16_t>(buffer.data(), 0, static_cast<uint16_t>(bytes.size()));
      std::copy(bytes.begin(), bytes.end(), buffer.begin() + 2);
      break;
    }
    case dtFmtBCD: {
      const Bcd bcd = StrToBcd(value.AsString());
      buffer.resize(sizeof bcd);
      std::memcpy(buffer.data(), &bcd, sizeof bcd);
      break;
    }
    case dtBlob:
    case dtMemo:
    case dtWideMemo: Refuse();
    default: {
      const NumericForm form = NumericValue(field, value);
      buffer.assign(form.bytes, form.bytes + form.size);
      break;
    }
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
