// TData: raw and checked transfer of one field's value, dates, and the
// comparable form of GetFieldBuf.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/decimal_text.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/runtime/date_routines.h"
#include "dac/store/runtime/line_ends.h"
#include "dac/store/runtime/marshal.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

namespace {

[[noreturn, gnu::cold]] void DestinationTooSmall() {
  AssertionFailed("Destination too small for the field value", __FILE__, __LINE__);
}

inline void RequireRoom(size_t dest_size, size_t needed) {
  if (dest_size < needed) [[unlikely]] DestinationTooSmall();
}

// A fixed-size value: the common sizes without a call.
inline void CopyValue(void* dest, const void* source, size_t size) {
  switch (size) {
    case 1: std::memcpy(dest, source, 1); return;
    case 2: std::memcpy(dest, source, 2); return;
    case 4: std::memcpy(dest, source, 4); return;
    case 8: std::memcpy(dest, source, 8); return;
    default: std::memcpy(dest, source, size); return;
  }
}

// Text and terminator, cut to dest_size bytes.
void CopyText8(const void* text, size_t chars, void* dest, size_t dest_size) {
  if (dest_size == 0) return;
  chars = std::min(chars, dest_size - 1);
  std::memcpy(dest, text, chars);
  StoreAt<char>(dest, chars, 0);
}

void CopyText16(const void* text, size_t chars, void* dest, size_t dest_size) {
  if (dest_size < 2) return;
  chars = std::min(chars, dest_size / 2 - 1);
  std::memcpy(dest, text, chars * 2);
  StoreAt<char16_t>(dest, chars * 2, 0);
}

int ClampCount(size_t n) { return static_cast<int>(std::min<size_t>(n, INT32_MAX)); }

struct HGlobalFree {
  void operator()(void* p) const { Marshal::FreeHGlobal(p); }
};
using TempBuffer = std::unique_ptr<uint8_t, HGlobalFree>;

TempBuffer NewTemp(size_t size) {
  TempBuffer buffer(static_cast<uint8_t*>(Marshal::AllocHGlobal(std::max<size_t>(size, 1))));
  std::memset(buffer.get(), 0, std::max<size_t>(size, 1));
  return buffer;
}

}  // namespace

double RoundFloatToScale(double value, int scale) {
  char digits[64];
  std::snprintf(digits, sizeof digits, "%.17e", value);
  Decimal decimal;
  if (!ParseDecimal(digits, '.', decimal)) return value;  // NaN, infinity
  const std::string fixed = DecimalToFixed(RoundDecimal(decimal, scale), '.', scale);
  double rounded = value;
  std::from_chars(fixed.data(), fixed.data() + fixed.size(), rounded);
  return rounded;
}

// ---- Raw access ----

namespace {

// Text of the four text types, where it lies and its length in units.
struct TextAt {
  const void* chars;
  size_t length;
};

// The heap buffer a heap text's slot points to; it is never none here.
const void* HeapText(TFieldDesc* field, const uint8_t* slot) {
  const void* text = LoadAt<const void*>(slot);
  DAC_ASSERT(text, "String heap value of " + field->GetName() + " is nil");
  return text;
}

inline TextAt StoredText(TFieldDesc* field, const uint8_t* slot) {
  const size_t size = field->GetSize();
  switch (field->GetDataType()) {
    case dtString: return {slot, strnlen(reinterpret_cast<const char*>(slot), size)};
    case dtWideString: return {slot, WideLengthAt(slot, size >= 2 ? size / 2 - 1 : 0)};
    case dtExtWideString: {
      const void* text = HeapText(field, slot);
      return {text, WideLengthAt(text)};
    }
    default: {  // dtExtString
      const void* text = HeapText(field, slot);
      return {text, std::strlen(static_cast<const char*>(text))};
    }
  }
}

// A text field's value to dest, cut to dest_size bytes and terminated.
[[gnu::noinline]] void CopyStoredText(TFieldDesc* field, const uint8_t* slot, bool convert_eol, void* dest,
                                      size_t dest_size) {
  const uint16_t type = field->GetDataType();
  const TextAt text = StoredText(field, slot);
  const size_t size = field->GetSize();
  if (IsWideTextType(type)) {
    if (!convert_eol) return CopyText16(text.chars, text.length, dest, dest_size);
    if (dest_size >= 2) AddCRUnicode(text.chars, dest, ClampCount(dest_size / 2 - 1), ClampCount(text.length));
    return;
  }
  if (!convert_eol) {
    // In place, the last byte of the slot is the terminator's.
    const size_t length = type == dtString ? std::min(text.length, size > 0 ? size - 1 : 0) : text.length;
    return CopyText8(text.chars, length, dest, dest_size);
  }
  if (dest_size > 0) AddCRString(text.chars, dest, ClampCount(dest_size - 1), ClampCount(text.length));
}

// CopyStoredText of a dtString slot without line-end conversion: the text
// stops at its terminator, the slot's last byte and dest_size.
inline void CopySlotText8(const uint8_t* slot, size_t size, void* dest, size_t dest_size) {
  if (dest_size == 0) return;
  const size_t length = size > 0 ? strnlen(reinterpret_cast<const char*>(slot), std::min(size, dest_size) - 1) : 0;
  std::memcpy(dest, slot, length);
  StoreAt<char>(dest, length, 0);
}

// Called, so that the fixed-size types need no frame in GetFieldData.
[[gnu::noinline]] void CopyTextField(TData& data, TFieldDesc* field, const uint8_t* slot, void* dest,
                                     size_t dest_size) {
  const bool convert_eol = data.NeedConvertEOL();
  if (!convert_eol && field->GetDataType() == dtString) return CopySlotText8(slot, field->GetSize(), dest, dest_size);
  CopyStoredText(field, slot, convert_eol, dest, dest_size);
}

[[gnu::noinline]] void CopyVariant(const uint8_t* slot, void* dest, size_t dest_size) {
  RequireRoom(dest_size, sizeof(Variant));
  auto* holder = TSharedObject::At<TVariantObject>(slot);
  *static_cast<Variant*>(dest) = holder ? holder->Value() : Variant();
}

[[gnu::noinline]] void CopyExtVarBytes(const uint8_t* slot, void* dest, size_t dest_size) {
  RequireRoom(dest_size, 2);
  const uint8_t* buffer = LoadAt<const uint8_t*>(slot);
  const size_t length = buffer ? std::min<size_t>(LoadAt<uint16_t>(buffer), dest_size - 2) : 0;
  StoreAt<uint16_t>(dest, 0, static_cast<uint16_t>(length));
  if (length > 0) std::memcpy(static_cast<uint8_t*>(dest) + 2, buffer + 2, length);
}

}  // namespace

void TData::GetFieldData(TFieldDesc* field, void* rec_buf, void* dest, size_t dest_size) {
  // The common types stay in this frame; the rest is called.
  const uint8_t* slot = Slot(rec_buf, field);
  const uint16_t type = field->GetDataType();
  switch (type) {
    case dtString:
    case dtExtString:
    case dtWideString:
    case dtExtWideString: return CopyTextField(*this, field, slot, dest, dest_size);
    case dtDate:
      RequireRoom(dest_size, DataTypeTraits(dtDate).value_size);
      return GetDateFromBuf(rec_buf, field->GetOffset(), dest, dfDate);
    case dtTime:
      // The whole span: a TIME is not bound to one day.
      RequireRoom(dest_size, DataTypeTraits(dtTime).value_size);
      return GetDateFromBuf(rec_buf, field->GetOffset(), dest, dfDateTime);
    case dtDateTime:
      RequireRoom(dest_size, DataTypeTraits(dtDateTime).value_size);
      return GetDateFromBuf(rec_buf, field->GetOffset(), dest, dfMSecs);
    case dtVariant: return CopyVariant(slot, dest, dest_size);
    case dtExtVarBytes: return CopyExtVarBytes(slot, dest, dest_size);
    case dtUInt32:
      RequireRoom(dest_size, 8);
      StoreAt<uint64_t>(dest, 0, LoadAt<uint32_t>(slot));
      return;
    default: {
      // Raw bytes: the packed decimal's record, or the slot.
      const size_t size = type == dtFmtBCD ? DataTypeTraits(type).value_size : field->GetSize();
      RequireRoom(dest_size, size);
      CopyValue(dest, slot, size);
      return;
    }
  }
}

size_t TData::GetFieldDataSize(TFieldDesc* field, void* rec_buf) {
  const uint16_t type = field->GetDataType();
  if (type == dtExtVarBytes) {
    const uint8_t* buffer = LoadAt<const uint8_t*>(Slot(rec_buf, field));
    return buffer ? LoadAt<uint16_t>(buffer) + 2u : 2u;
  }
  if (!IsAnsiTextType(type) && !IsWideTextType(type)) {
    const uint16_t value_size = DataTypeTraits(type).value_size;
    return value_size != 0 ? value_size : field->GetSize();
  }
  const uint8_t* slot = Slot(rec_buf, field);
  const bool wide = IsWideTextType(type);
  if (IsHeapDataType(type) && !LoadAt<const void*>(slot)) return wide ? 2 : 1;
  const TextAt text = StoredText(field, slot);
  size_t length = text.length;
  if (NeedConvertEOL()) {
    length = static_cast<size_t>(wide ? AddCRUnicodeLength(text.chars, ClampCount(length))
                                      : AddCRStringLength(text.chars, ClampCount(length)));
  } else if (const size_t size = field->GetSize(); type == dtString) {
    length = std::min(length, size > 0 ? size - 1 : 0);
  }
  return (length + 1) * (wide ? 2 : 1);
}

namespace {

// The slot's buffer replaced by a copy made before: the source may be the old
// buffer itself.
void ReplaceHeapBuffer(TStringHeap& heap, uint8_t* slot, void* copy) {
  heap.DisposeBuf(LoadAt<void*>(slot));
  StoreAt<void*>(slot, 0, copy);
}

void* HeapCopy(TStringHeap& heap, uint16_t type, const void* source) {
  if (type == dtExtString) return heap.AllocStr(static_cast<const char*>(source));
  if (type == dtExtWideString) return heap.AllocWideStr(source ? static_cast<const char16_t*>(source) : u"");
  if (!source) return nullptr;
  const int length = LoadAt<uint16_t>(source) + 2;
  void* copy = heap.NewBuf(length);
  std::memcpy(copy, source, static_cast<size_t>(length));
  return copy;
}

}  // namespace

void TData::PutFieldData(TFieldDesc* field, void* rec_buf, const void* source) {
  uint8_t* slot = Slot(rec_buf, field);
  const size_t size = field->GetSize();
  const uint16_t type = field->GetDataType();
  switch (type) {
    case dtString: {
      if (size == 0) return;
      const size_t length = strnlen(static_cast<const char*>(source), size - 1);
      std::memcpy(slot, source, length);
      slot[length] = 0;
      return;
    }
    case dtFloat: {
      double value = LoadAt<double>(source);
      if (field->GetScale() >= 1) value = RoundFloatToScale(value, field->GetScale());
      StoreAt<double>(slot, 0, value);
      return;
    }
    case dtDate: return PutDateToBuf(rec_buf, field->GetOffset(), source, dfDate);
    case dtTime: return PutDateToBuf(rec_buf, field->GetOffset(), source, dfDateTime);
    case dtDateTime: return PutDateToBuf(rec_buf, field->GetOffset(), source, dfMSecs);
    case dtVariant: {
      auto* holder = TSharedObject::At<TVariantObject>(slot);
      DAC_ASSERT(holder, "Shared object for " + field->GetName() + "=nil");
      holder->Value() = *static_cast<const Variant*>(source);
      return;
    }
    case dtExtString:
    case dtExtVarBytes:
    case dtExtWideString: return ReplaceHeapBuffer(string_heap_, slot, HeapCopy(string_heap_, type, source));
    case dtWideString: {
      if (size < 2) return;
      const size_t length = WideLengthAt(source, std::min<size_t>(field->GetLength(), size / 2 - 1));
      std::memcpy(slot, source, length * 2);
      StoreAt<char16_t>(slot, length * 2, 0);
      return;
    }
    default: std::memcpy(slot, source, size); return;
  }
}

// ---- Dates ----

namespace {

// TimeStampToMSecs(DateTimeToTimeStamp(value)) without the stamp. Within
// 2^52 milliseconds of the epoch every step is exact in 64-bit integers: the
// rounding is llround's (half away from zero; the fraction of a double that
// size is exact), the day stays inside 32 bits, and the day's milliseconds
// plus the time of day stay below 2^53, so the double sum the stamp makes is
// this integer. Anything else (far dates, infinities, NaN) takes the stamp.
inline double MSecsOfDateTime(DateTime value) {
  constexpr double kExactLimit = 4503599627370496.0;  // 2^52
  const double product = value * static_cast<double>(plat::kMSecsPerDay);
  if (!(product > -kExactLimit && product < kExactLimit)) [[unlikely]] {
    return plat::TimeStampToMSecs(plat::DateTimeToTimeStamp(value));
  }
  int64_t total = static_cast<int64_t>(product);
  const double fraction = product - static_cast<double>(total);
  constexpr int64_t kDeltaMSecs = int64_t{plat::kDateDelta} * plat::kMSecsPerDay;
  if (product >= 0) {
    // From 30 December 1899 on the day and the time of day add up to the total again.
    return static_cast<double>(total + (fraction >= 0.5 ? 1 : 0) + kDeltaMSecs);
  }
  if (fraction >= 0.5) {
    ++total;
  } else if (fraction <= -0.5) {
    --total;
  }
  // The day truncates towards zero; the time of day is the magnitude of the rest.
  const int64_t days = total / plat::kMSecsPerDay;
  const int64_t rest = total % plat::kMSecsPerDay;
  return static_cast<double>((days + plat::kDateDelta) * plat::kMSecsPerDay + (rest < 0 ? -rest : rest));
}

}  // namespace

void TData::GetDateFromBuf(const void* buf, uint32_t offset, void* date, TDateFormat format) {
  const DateTime value = LoadAt<double>(buf, offset);
  switch (format) {
    case dfMSecs: StoreAt<double>(date, 0, MSecsOfDateTime(value)); return;
    case dfDateTime: StoreAt<double>(date, 0, value); return;
    case dfTime: StoreAt<int32_t>(date, 0, plat::DateTimeToTimeStamp(value).time); return;
    case dfDate: StoreAt<int32_t>(date, 0, plat::DateTimeToTimeStamp(value).date); return;
  }
}

void TData::PutDateToBuf(void* buf, uint32_t offset, const void* date, TDateFormat format) {
  DateTime value = 0;
  switch (format) {
    case dfMSecs: {
      const double msecs = LoadAt<double>(date);
      TimeStamp stamp;
      if (!plat::TryMSecsToTimeStamp(msecs, stamp)) {
        throw EConvertError(Format("'%.0f' is not a valid timestamp", msecs));
      }
      value = TimeStampToDateTime(stamp);
      break;
    }
    case dfDateTime: value = LoadAt<double>(date); break;
    case dfTime: {
      TimeStamp stamp;
      stamp.date = plat::kDateDelta;
      stamp.time = LoadAt<int32_t>(date);
      if (stamp.time < 0 || stamp.time >= plat::kMSecsPerDay) {
        throw EConvertError(Format("'%d.%d' is not a valid timestamp", stamp.date, stamp.time));
      }
      value = TimeStampToDateTime(stamp);
      break;
    }
    case dfDate: {
      TimeStamp stamp;
      stamp.date = LoadAt<int32_t>(date);
      value = TimeStampToDateTime(stamp);
      break;
    }
  }
  StoreAt<double>(buf, offset, value);
}

// ---- Checked access ----

namespace {

void TrimTrailingBlanks8(void* text, size_t capacity, int length) {
  if (capacity == 0) return;
  auto* chars = static_cast<char*>(text);
  size_t n = strnlen(chars, capacity);
  if (length >= 0) n = std::min(n, static_cast<size_t>(length));
  while (n > 0 && chars[n - 1] == ' ') chars[--n] = 0;
}

void TrimTrailingBlanks16(void* text, size_t capacity, int length) {
  if (capacity < 2) return;
  size_t n = WideLengthAt(text, capacity / 2);
  if (length >= 0) n = std::min(n, static_cast<size_t>(length));
  while (n > 0 && LoadAt<char16_t>(text, (n - 1) * 2) == u' ') StoreAt<char16_t>(text, --n * 2, 0);
}

}  // namespace

void TData::GetFieldRest(TFieldDesc* field, void* rec_buf, void* dest, size_t dest_size, bool& is_blank) {
  const uint16_t type = field->GetDataType();
  if (is_blank && (!IsComplexFieldType(type) || IsHeapDataType(type))) return;
  if (field->HasParent()) {
    GetChildField(field, rec_buf, dest, dest_size, is_blank);
  } else {
    GetFieldData(field, rec_buf, dest, dest_size);
  }
  if (is_blank || (type != dtString && type != dtWideString)) return;
  const bool fixed = field->GetFixed();
  if (!(fixed ? trim_fixed_char_ : trim_var_char_)) return;
  const int length = fixed ? field->GetLength() : -1;
  if (type == dtString) {
    TrimTrailingBlanks8(dest, dest_size, length);
  } else {
    TrimTrailingBlanks16(dest, dest_size, length);
  }
}

void TData::PutField(uint16_t field_no, void* rec_buf, const void* source) {
  TFieldDesc* field = CheckedField(field_no);
  if (!source) {
    SetNull(field_no, rec_buf, true);
    return;
  }
  if (field->HasParent()) {
    PutChildField(field, rec_buf, source);
    return;
  }
  const uint16_t type = field->GetDataType();
  if (!enable_empty_strings_) {
    const bool empty = IsTextDataType(type) &&
                       (IsWideTextType(type) ? LoadAt<char16_t>(source) == 0 : LoadAt<char>(source) == 0);
    if (empty) {
      SetNull(field_no, rec_buf, true);
      return;
    }
  }
  PutFieldData(field, rec_buf, source);
  WriteIndicator(field, rec_buf, false);
}

bool TData::GetNullByBlob(uint16_t field_no, void* rec_buf) {
  TFieldDesc* field = CheckedField(field_no);
  if (!IsBlobFieldType(field->GetDataType())) return true;
  void* handle = nullptr;
  if (field->HasParent()) {
    bool is_blank = true;
    GetChildField(field, rec_buf, &handle, sizeof handle, is_blank);
    if (is_blank) handle = nullptr;
  } else if (field->GetFieldDescKind() != fdkCalculated) {
    handle = LoadAt<void*>(Slot(rec_buf, field));
  }
  auto* blob = dynamic_cast<TBlob*>(TSharedObject::FromGCHandle(handle));
  if (!blob || blob->GetSize() == 0) return true;
  WriteIndicator(field, rec_buf, false);
  return false;
}

// ---- Comparable form ----

// Room for a child value: from the descriptor, and never less than the
// 4,000 characters the record store always allowed.
size_t TData::ChildValueCapacity(const TFieldDesc& field) {
  constexpr size_t kFloor = 4001;  // above every fixed value's size
  const TDataTypeTraits& traits = DataTypeTraits(field.GetDataType());
  const size_t length = field.GetLength();
  size_t needed = 0;
  if (traits.family == TValueFamily::kText || traits.family == TValueFamily::kGuid) {
    needed = (length + 1) * (traits.chars == TCharKind::kWide ? 2 : 1);
  } else if (traits.family == TValueFamily::kBytes) {
    needed = length + (traits.length_prefix ? 2 : 0);
  }
  return std::max(needed, kFloor);
}

namespace {

// The value's comparable form when it is not the stored one: dates as the
// double date-time, BCD as a double, bytes with their length before, blobs
// as their 8-bit text; none where the value already is comparable. Heap
// values and their type are turned to the in-place ones on the way.
TempBuffer ComparableForm(TData& data, void* rec_buf, TFieldDesc* field, bool child, uint8_t*& value,
                          int& data_type) {
  TempBuffer replacement;
  switch (data_type) {
    case dtDate:
    case dtTime:
    case dtDateTime:
      replacement = NewTemp(8);
      if (child) {
        data.PutDateToBuf(replacement.get(), 0, value, dfMSecs);  // a child's date comes as milliseconds
      } else {
        data.GetDateFromBuf(rec_buf, field->GetOffset(), replacement.get(), dfDateTime);
      }
      break;
    case dtExtString:
    case dtExtWideString:
      if (!child) {
        // An absent heap text (written raw as none) reads as empty text.
        static uint8_t empty_text[2] = {0, 0};
        value = LoadAt<uint8_t*>(value);
        if (!value) value = empty_text;
      }
      data_type = data_type == dtExtString ? dtString : dtWideString;
      break;
    case dtExtVarBytes:
      if (!child) value = LoadAt<uint8_t*>(value);
      break;
    case dtBytes: {
      const uint16_t length = field->GetLength();
      replacement = NewTemp(length + 2u);
      StoreAt<uint16_t>(replacement.get(), 0, length);
      std::memcpy(replacement.get() + 2, value, length);
      break;
    }
    case dtBCD:
      replacement = NewTemp(8);
      StoreAt<double>(replacement.get(), 0, static_cast<double>(LoadAt<int64_t>(value)) / 10000.0);
      break;
    case dtBlob:
    case dtMemo:
    case dtWideMemo: {
      auto* blob = TSharedObject::At<TBlob>(value);
      const std::string text = blob ? blob->GetAsString() : std::string();
      replacement = NewTemp(text.size() + 1);
      std::memcpy(replacement.get(), text.data(), text.size());
      data_type = dtString;
      break;
    }
    default: break;
  }
  return replacement;
}

}  // namespace

void* TData::GetFieldBuf(void* rec_buf, TFieldDesc* field, int& data_type, bool& is_blank, bool& native_buffer) {
  data_type = field->GetDataType();
  const bool child = field->HasParent();
  TempBuffer temp;
  uint8_t* value = nullptr;
  if (child) {
    if (data_type == dtVariant) throw EConvertError(Format("Cannot convert type %d", data_type));
    const size_t capacity = ChildValueCapacity(*field);
    temp = NewTemp(capacity);
    GetField(field->GetFieldNo(), rec_buf, temp.get(), capacity, is_blank);
    value = temp.get();
  } else {
    value = Slot(rec_buf, field);
    is_blank = GetNull(field->GetFieldNo(), rec_buf);
  }
  if (!is_blank) {
    if (TempBuffer replacement = ComparableForm(*this, rec_buf, field, child, value, data_type)) {
      temp = std::move(replacement);
      value = temp.get();
    }
  }
  native_buffer = !temp;
  return native_buffer ? value : temp.release();
}

void TData::FreeFieldBuf(void* buffer) { Marshal::FreeHGlobal(buffer); }

}  // namespace dac
