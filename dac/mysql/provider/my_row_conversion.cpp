// TMySQLRecordset: a value of a row, as the text or the binary protocol
// gives it, converted into its slot of the record; the texts a slot cannot
// hold exactly are kept aside (my_exact_texts.cpp).
#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/currency.h"
#include "dac/framework/values/decimal_text.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/mysql/provider/my_value_conversion.h"
#include "dac/store/blob/blob.h"
#include "dac/store/blob/compressed_blob.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/runtime/unaligned.h"
#include "dac/store/runtime/utf8_decode.h"
#include "platform/format_settings.h"

namespace dac {

namespace {

// The value in the slot's width.
void StoreInteger(uint8_t* slot, uint16_t size, int64_t value) {
  switch (size) {
    case 1: StoreAt<int8_t>(slot, 0, static_cast<int8_t>(value)); break;
    case 2: StoreAt<int16_t>(slot, 0, static_cast<int16_t>(value)); break;
    case 4: StoreAt<int32_t>(slot, 0, static_cast<int32_t>(value)); break;
    default: StoreAt<int64_t>(slot, 0, value); break;
  }
}

// The decimal text with the locale's separator, for the conversions that read it.
std::string WithLocaleSeparator(std::string_view text, bool change) {
  std::string out(text);
  if (change) std::replace(out.begin(), out.end(), '.', plat::ProcessFormatSettings().decimal_separator);
  return out;
}

TColumnTextForm TextFormOf(const TMySQLFieldDesc& field) {
  TColumnTextForm form;
  form.mysql_type = field.GetMySQLType();
  form.is_unsigned = field.GetIsUnsigned();
  form.zero_fill = field.GetIsZeroFill();
  form.length = field.GetDisplayLength();
  form.decimals = field.GetDecimals();
  return form;
}

bool IsDecimalColumn(uint8_t type) { return type == mftDecimal || type == mftNewDecimal; }

// The decimal text of a currency value.
std::string CurrencyText(int64_t raw) {
  const uint64_t magnitude = raw < 0 ? 0 - static_cast<uint64_t>(raw) : static_cast<uint64_t>(raw);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  return (raw < 0 ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
}

// A fraction with digits beyond the milliseconds a date-time holds.
bool HasMicroseconds(std::string_view text, size_t point) {
  if (point >= text.size() || text[point] != '.') return false;
  for (size_t i = point + 4; i < text.size(); ++i)
    if (text[i] != '0') return true;
  return false;
}

}  // namespace

void TMySQLRecordset::ConvertValue(TMySQLFieldDesc& field, const TWireValue& wire, uint8_t* slot) {
  const char* value = wire.data;
  const size_t length = wire.length;
  const bool binary = wire.binary;
  const std::string_view text(value, length);
  const auto* bytes = reinterpret_cast<const uint8_t*>(value);
  const uint16_t type = field.GetDataType();
  switch (type) {
    case dtString:
    case dtExtString:
    case dtVarBytes:
    case dtExtVarBytes:
    case dtWideString:
    case dtExtWideString: {
      // A number or date read as text (FieldsAsString) comes binary in a
      // prepared row: it takes the server's text of it.
      std::optional<std::string> text_form;
      if (binary) text_form = TextOfBinary(TextFormOf(field), bytes, length);
      const std::string_view whole = text_form ? std::string_view(*text_form) : text;
      if (!PutString(field, whole.data(), whole.size(), slot)) exact_text_ = std::string(whole);
      return;
    }
    case dtInt8:
    case dtSmallint:
    case dtInteger:
    case dtWord:
    case dtBoolean:
    case dtLargeint:
    case dtUInt32: return PutInteger(field, wire, slot);
    case dtFloat: {
      const bool binary_float = binary && (field.GetMySQLType() == mftFloat || field.GetMySQLType() == mftDouble);
      const double number = binary_float ? FloatFromBinary(bytes, length) : FloatFromText(text);
      // A DECIMAL with more digits than a double tells apart; a negative
      // value the server rounded to zero ("-0.00"), which no zero prints as.
      if (IsDecimalColumn(field.GetMySQLType()) ? !SameDecimalValue(text, ShortestDoubleText(number))
                                                : !binary_float && number == 0 && text.starts_with('-'))
        exact_text_ = std::string(text);
      return StoreAt<double>(slot, 0, number);
    }
    case dtDate:
    case dtTime:
    case dtDateTime:
      return PutDate(field, wire, slot);
    case dtBCD: {
      const Currency number = StrToCurr(WithLocaleSeparator(text, change_separator_));
      if (!SameDecimalValue(text, CurrencyText(number.raw))) exact_text_ = std::string(text);
      return StoreAt<int64_t>(slot, 0, number.raw);
    }
    case dtFmtBCD:
      return PutFmtBcd(field, wire, slot);
    case dtBlob:
    case dtMemo:
    case dtWideMemo:
      return PutBlob(field, value, length, slot);
    default:
      AssertionFailed("Unknown data type " + std::to_string(type), __FILE__, __LINE__);
  }
}

void TMySQLRecordset::PutInteger(TMySQLFieldDesc& field, const TWireValue& wire, uint8_t* slot) {
  const size_t length = wire.length;
  const auto* bytes = reinterpret_cast<const uint8_t*>(wire.data);
  const uint16_t type = field.GetDataType();
  const uint16_t size = field.GetSize();
  if (field.GetMySQLType() == mftBit) {
    const uint64_t bits = BitFromBytes(bytes, length);
    if (type == dtBoolean) return StoreAt<int16_t>(slot, 0, length > 0 && bytes[length - 1] != 0 ? 1 : 0);
    return StoreInteger(slot, size, static_cast<int64_t>(bits));
  }
  const std::string_view text(wire.data, length);
  const bool is_signed = type == dtInt8 || type == dtSmallint || type == dtInteger || type == dtLargeint;
  const int64_t number = wire.binary ? IntegerFromBinary(bytes, length, is_signed || size == 8)
                                     : IntegerFromText(text, size == 8 || (type == dtUInt32 && size == 4));
  if (type == dtBoolean) {
    // A TINYINT(1) may hold any of its numbers: the boolean keeps only true or false.
    if (number != 0 && number != 1) exact_text_ = wire.binary ? std::to_string(number) : std::string(text);
    return StoreAt<int16_t>(slot, 0, number != 0 ? 1 : 0);
  }
  StoreInteger(slot, size, number);
}

void TMySQLRecordset::PutFmtBcd(TMySQLFieldDesc& field, const TWireValue& wire, uint8_t* slot) {
  const std::string_view text(wire.data, wire.length);
  const auto* bytes = reinterpret_cast<const uint8_t*>(wire.data);
  std::string digits;
  if (field.GetMySQLType() == mftBit) {
    digits = std::to_string(BitFromBytes(bytes, wire.length));
  } else if (field.GetMySQLType() == mftLongLong) {
    digits = wire.binary ? std::to_string(static_cast<uint64_t>(IntegerFromBinary(bytes, wire.length, false)))
                         : std::string(text);
  } else {
    digits = std::string(text);
  }
  Bcd parsed{};
  if (!TryStrToBcd(WithLocaleSeparator(digits, change_separator_), parsed)) {
    // More integer digits than a BCD holds: nothing of it fits.
    null_row_[static_cast<size_t>(field.GetFieldNo() - 1)] = 1;
    exact_text_ = digits;
    return;
  }
  Bcd normalized{};
  if (!NormalizeBcd(parsed, normalized, field.GetLength(), field.GetScale())) normalized = parsed;
  if (!SameDecimalValue(digits, DecimalToFixed(BcdToDecimal(normalized), '.'))) exact_text_ = digits;
  StoreAt<Bcd>(slot, 0, normalized);
}

bool TMySQLRecordset::PutString(TMySQLFieldDesc& field, const char* value, size_t length, uint8_t* slot) {
  const uint16_t type = field.GetDataType();
  const size_t whole = length;
  if (field.GetLength() > 0 && length > field.GetLength() && !GetUseUnicode()) length = field.GetLength();
  // Text ends at its first NUL in the record: such a value is kept whole as its exact text.
  const bool text_with_nul =
      type != dtVarBytes && type != dtExtVarBytes && std::memchr(value, 0, length) != nullptr;
  const size_t slot_size = field.GetSize();
  switch (type) {
    case dtString: {
      // Never past the slot, whatever the server sent.
      length = std::min(length, slot_size - 1);
      std::memcpy(slot, value, length);
      slot[length] = 0;
      return length == whole && !text_with_nul;
    }
    case dtExtString: {
      auto* buffer = static_cast<char*>(GetStringHeap().NewBuf(static_cast<int>(length) + 1));
      std::memcpy(buffer, value, length);
      buffer[length] = 0;
      StoreAt<void*>(slot, 0, buffer);
      return length == whole && !text_with_nul;
    }
    case dtVarBytes: {
      length = std::min(length, slot_size - 2);
      StoreAt<uint16_t>(slot, 0, static_cast<uint16_t>(length));
      std::memcpy(slot + 2, value, length);
      return length == whole;
    }
    case dtExtVarBytes: {
      length = std::min<size_t>(length, 65535);
      auto* buffer = static_cast<uint8_t*>(GetStringHeap().NewBuf(static_cast<int>(length) + 2));
      StoreAt<uint16_t>(buffer, 0, static_cast<uint16_t>(length));
      std::memcpy(buffer + 2, value, length);
      StoreAt<void*>(slot, 0, buffer);
      return length == whole;
    }
    case dtWideString: {
      const int written = Utf8ToWs(slot, 0, static_cast<int>(slot_size), value, 0, static_cast<int>(length), true);
      // A full slot may have cut the text.
      return !text_with_nul && static_cast<size_t>(written) < slot_size;
    }
    default: {
      std::vector<char16_t> scratch(length + 1);
      const int bytes = Utf8ToWs(scratch.data(), 0, static_cast<int>((length + 1) * 2), value, 0,
                                 static_cast<int>(length), true);
      void* buffer = GetStringHeap().NewBuf(bytes);
      if (buffer) std::memcpy(buffer, scratch.data(), static_cast<size_t>(bytes));
      StoreAt<void*>(slot, 0, buffer);
      return !text_with_nul;
    }
  }
}

void TMySQLRecordset::PutBlob(TMySQLFieldDesc& field, const char* value, size_t length, uint8_t* slot) {
  const TCompressBlobMode mode = Command().GetCompressBlobMode();
  const bool unicode = GetUseUnicode() && field.GetDataType() != dtBlob;
  TBlob* blob = mode != cbNone ? new TCompressedBlob(unicode) : new TBlob(unicode);
  blob->EnableRollback();
  // The slot owns the blob from here: a failure below frees it with the record.
  FreeShared(TSharedObject::At(slot));
  StoreAt<void*>(slot, 0, blob->GetGCHandle());
  if (length > 0) {
    if (unicode) {
      std::vector<char16_t> scratch(length + 1);
      const int bytes = Utf8ToWs(scratch.data(), 0, static_cast<int>((length + 1) * 2), value, 0,
                                 static_cast<int>(length), false);
      blob->Write(0, static_cast<uint32_t>(bytes), scratch.data());
    } else {
      blob->Write(0, static_cast<uint32_t>(length), value);
    }
    blob->SetModified(false);
    if (auto* compressed = dynamic_cast<TCompressedBlob*>(blob))
      compressed->SetCompressed(mode == cbClient || mode == cbClientServer);
    // The server's value is where an edit goes back to, not the empty blob before it.
    blob->Commit();
  }
}

void TMySQLRecordset::PutDate(TMySQLFieldDesc& field, const TWireValue& value, uint8_t* slot) {
  double out = 0;
  const std::string_view text(value.data, value.length);
  const auto* bytes = reinterpret_cast<const uint8_t*>(value.data);
  // 00:00:00 is a time like any other: the binary protocol sends it without bytes.
  const bool converted = value.binary ? DateTimeFromBinary(field.GetMySQLType(), bytes, value.length, 0.0, out)
                                      : DateTimeFromText(field.GetMySQLType(), field.GetLength(), text,
                                                         field.GetName(), out);
  // What a date-time cannot hold: a zero or impossible date, microseconds.
  const auto server_text = [&] {
    return value.binary ? TextOfBinary(TextFormOf(field), bytes, value.length).value_or(std::string())
                        : std::string(text);
  };
  if (!converted) {
    exact_text_ = server_text();
    if (null_for_zero_date_) {
      null_row_[static_cast<size_t>(field.GetFieldNo() - 1)] = 1;
      return;
    }
    out = ZeroDate;
  } else if (field.GetMySQLType() != mftTime) {
    const bool micro = value.binary ? value.length == 11 && IntegerFromBinary(bytes + 7, 4, false) % 1000 != 0
                                    : HasMicroseconds(text, 19);
    if (micro) exact_text_ = server_text();
  }
  StoreAt<double>(slot, 0, out);
  // A quick refresh starts at the latest TIMESTAMP read from the table.
  if (field.GetMySQLType() != mftTimestamp) return;
  if (auto* table = dynamic_cast<TMyTableInfo*>(field.GetTableInfo()); table && out > table->GetMaxTimestamp())
    table->SetMaxTimestamp(out);
}

}  // namespace dac
