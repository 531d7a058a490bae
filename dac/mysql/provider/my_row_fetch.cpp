// TMySQLRecordset: reading rows of the text and the binary protocol into
// the record store, a block at a time, each value converted into its slot.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/currency.h"
#include "dac/framework/values/decimal_text.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_messages.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/mysql/provider/my_value_conversion.h"
#include "dac/store/blob/blob.h"
#include "dac/store/blob/compressed_blob.h"
#include "dac/store/record/block_manager.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/runtime/unaligned.h"
#include "dac/store/runtime/utf8_decode.h"
#include "platform/format_settings.h"

namespace dac {

namespace {

constexpr int32_t kStatementNoData = 100;
constexpr int32_t kStatementTruncated = 101;

// The value in the slot's width.
void StoreInteger(uint8_t* slot, uint16_t size, int64_t value) {
  switch (size) {
    case 1: StoreAt<int8_t>(slot, 0, static_cast<int8_t>(value)); break;
    case 2: StoreAt<int16_t>(slot, 0, static_cast<int16_t>(value)); break;
    case 4: StoreAt<int32_t>(slot, 0, static_cast<int32_t>(value)); break;
    default: StoreAt<int64_t>(slot, 0, value); break;
  }
}

// A value of a text or a binary row, read where it lies.
TWireValue RowValueOf(const TMySqlRowValues& values, uint32_t column, bool binary) {
  DAC_ASSERT(column < values.Count(), "column beyond the row");
  TWireValue value;
  value.is_null = values.IsNull(column);
  if (value.is_null) return value;
  value.data = values.Data(column);
  value.length = values.Length(column);
  value.binary = binary;
  return value;
}

enum TBindForm { kBindInteger, kBindFloat, kBindText };

// How the client library hands a prepared column over: integers and
// floats as numbers when the field holds them as numbers.
TBindForm BindFormOf(const TMySQLFieldDesc& field) {
  const TValueFamily family = FamilyOf(field.GetDataType());
  if (family == TValueFamily::kInteger || family == TValueFamily::kBoolean) {
    return field.GetMySQLType() == mftBit ? kBindText : kBindInteger;
  }
  if (field.GetDataType() != dtFloat) return kBindText;
  return field.GetMySQLType() == mftFloat || field.GetMySQLType() == mftDouble ? kBindFloat : kBindText;
}

// The decimal text with the locale's separator, for the conversions that read it.
std::string WithLocaleSeparator(std::string_view text, bool change) {
  std::string out(text);
  if (change) std::replace(out.begin(), out.end(), '.', plat::ProcessFormatSettings().decimal_separator);
  return out;
}

}  // namespace

// ---- the block of items ----

void TMySQLRecordset::FreeFetchBlock() {
  if (!fetch_block_) return;
  for (int i = 0; i < fetch_used_; ++i) FreeComplexFields(Rec(GetBlockMan().BlockItem(fetch_block_, i)), true);
  GetBlockMan().FreeBlock(std::exchange(fetch_block_, nullptr));
  fetch_used_ = 0;
}

// ---- fetching ----

bool TMySQLRecordset::Fetch(bool) {
  TMySQLCommand& command = Command();
  if (GetFieldDescs().Count() == 0) {
    FreeResult(false, true);
    DatabaseError(LoadResString(my_messages::SNoResultSet), GetComponent());
  }
  null_row_.assign(static_cast<size_t>(GetFieldDescs().Count()), 0);
  const TCursorState state = command.GetCursorState();
  if (state == csInactive || state == csFetched) return false;
  const bool prepared = command.GetPrepared();
  if (prepared ? stmt_exhausted_ : command.GetSQLResult() == nullptr) return false;
  DAC_ASSERT(state >= csExecuted, "The command has not run");
  if (state == csExecuted) command.SetCursorState(csFetching);
  bool cancel = false;
  DoBeforeFetch(cancel);
  if (cancel) {
    DoAfterFetch();
    return false;
  }
  int rows = 0;
  try {
    change_separator_ = plat::ProcessFormatSettings().decimal_separator != '.';
    // Decided once a fetch: statement rows in place, or into binds of ours.
    const bool in_place = prepared && API()._mysql_stmt_rows_in_place();
    if (prepared && !stmt_bound_) {
      if (in_place) {
        TMYSQL_BINDS binds;
        command.GetMySQLConnection()->CheckStmt(command.GetStmt(),
                                                API()._mysql_stmt_bind_result(command.GetStmt(), binds), GetComponent());
      } else {
        BindClientRow();
      }
      stmt_bound_ = true;
    }
    const auto read = [&] { return !prepared ? ReadTextRow() : in_place ? ReadBinaryRow() : ReadClientRow(); };
    while (rows < std::max(fetch_rows_, 1) && read()) ++rows;
    if (fetch_block_) {
      if (rows > 0) {
        LinkFetchedItems(std::exchange(fetch_block_, nullptr), rows);
        fetch_used_ = 0;
      } else {
        FreeFetchBlock();
      }
    }
    if (rows > 0 && command.GetIsStoredProc() && record_count_ == 1 && command.GetParamCount() > 0) ReadOutParams();
  } catch (...) {
    FreeFetchBlock();
    try {
      FreeResult(false, false);
    } catch (...) {
      // The fetch's own error is the one to report.
    }
    eof_ = true;
    DoAfterFetch();
    throw;
  }
  DoAfterFetch();
  return rows > 0;
}

// The item for the next row: a fresh block of FetchRows items at the first
// row of a fetch; forward-only, the rows cached before go first.
PItemHeader TMySQLRecordset::TakeItem() {
  if (!fetch_block_) {
    if (uni_directional_ && GetFirstItem()) ClearItems();
    GetBlockMan().AllocBlock(fetch_block_, std::max(fetch_rows_, 1));
  }
  PItemHeader item = GetBlockMan().BlockItem(fetch_block_, fetch_used_++);
  InitRecord(Rec(item));
  return item;
}

bool TMySQLRecordset::ReadTextRow() {
  TMySQLAPI& api = API();
  const PMySqlRes result = Command().GetSQLResult();
  const PMySqlRow row = api._mysql_fetch_row(result);
  if (!row) {
    // An error may have ended the stream.
    Check();
    FreeResult(true, true);
    return false;
  }
  // One call a row: the values are read where they lie.
  api._mysql_fetch_row_values(result, row, row_values_);
  ConvertRow(Rec(TakeItem()), [&](uint32_t column) { return RowValueOf(row_values_, column, false); });
  return true;
}

bool TMySQLRecordset::StatementRowCame(int32_t answer) {
  if (answer == kStatementNoData) {
    stmt_exhausted_ = true;
    FreeResult(false, true);
    Command().SetCursorState(csFetched);
    return false;
  }
  // A truncated value is read whole afterwards.
  if (answer != 0 && answer != kStatementTruncated) Command().CheckStmt(answer);
  return true;
}

bool TMySQLRecordset::ReadBinaryRow() {
  TMySQLAPI& api = API();
  TMySQLCommand& command = Command();
  PMySqlRow row = nullptr;
  if (!StatementRowCame(api._mysql_stmt_fetch(command.GetStmt(), row))) return false;
  api._mysql_fetch_row_values(nullptr, row, row_values_);
  ConvertRow(Rec(TakeItem()), [&](uint32_t column) { return RowValueOf(row_values_, column, true); });
  return true;
}

// ---- prepared rows through the client library ----

void TMySQLRecordset::BindClientRow() {
  const size_t count = static_cast<size_t>(ColumnCount());
  TClientRowBinds& row = client_binds_;
  row.binds.assign(count, MYSQL_BIND{});
  row.buffers.assign(count, {});
  row.lengths.assign(count, 0);
  row.nulls = std::make_unique<bool[]>(count);
  row.errors = std::make_unique<bool[]>(count);
  for (size_t i = 0; i < count; ++i) {
    auto& field = static_cast<TMySQLFieldDesc&>(*GetFieldDescs().GetItems(static_cast<int>(i)));
    MYSQL_BIND& bind = row.binds[i];
    // Numbers come as 64-bit values; everything else as text, which the
    // text rules read.
    switch (BindFormOf(field)) {
      case kBindInteger:
        bind.buffer_type = mftLongLong;
        row.buffers[i].resize(8);
        break;
      case kBindFloat:
        bind.buffer_type = mftDouble;
        row.buffers[i].resize(8);
        break;
      default:
        bind.buffer_type = mftString;
        row.buffers[i].resize(std::clamp<size_t>(field.GetLength() + 1u, 64, DefaultPieceSize));
        break;
    }
    bind.is_unsigned = field.GetIsUnsigned();
    bind.buffer = row.buffers[i].data();
    bind.buffer_length = row.buffers[i].size();
    bind.length = &row.lengths[i];
    bind.is_null = &row.nulls[i];
    bind.error = &row.errors[i];
  }
  command_->GetMySQLConnection()->CheckStmt(command_->GetStmt(), API()._mysql_stmt_bind_result(command_->GetStmt(), row.binds),
                                            GetComponent());
}

bool TMySQLRecordset::ReadClientRow() {
  TMySQLAPI& api = API();
  TMySQLCommand& command = Command();
  TClientRowBinds& row = client_binds_;
  if (!StatementRowCame(api.mysql_stmt_fetch(command.GetStmt()))) return false;
  // A value longer than its buffer is read whole into a buffer of its size.
  std::vector<std::vector<char>> whole(row.binds.size());
  for (size_t i = 0; i < row.binds.size(); ++i) {
    if (row.nulls[i] || row.lengths[i] <= row.binds[i].buffer_length) continue;
    whole[i].resize(row.lengths[i]);
    MYSQL_BIND bind = row.binds[i];
    unsigned long length = 0;
    bind.buffer = whole[i].data();
    bind.buffer_length = row.lengths[i];
    bind.length = &length;
    command.CheckStmt(api.mysql_stmt_fetch_column(command.GetStmt(), &bind, static_cast<uint32_t>(i), 0));
  }
  ConvertRow(Rec(TakeItem()), [&](uint32_t column) {
    TWireValue value;
    value.is_null = row.nulls[column];
    value.data = whole[column].empty() ? row.buffers[column].data() : whole[column].data();
    value.length = std::min<size_t>(row.lengths[column], whole[column].empty() ? row.buffers[column].size()
                                                                                : whole[column].size());
    value.binary = row.binds[column].buffer_type != mftString;
    if (value.binary) value.length = 8;
    return value;
  });
  return true;
}

// ---- converting a row ----

namespace {

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

template <typename ValueOf>
void TMySQLRecordset::ConvertRow(void* rec_buf, const ValueOf& value_of) {
  uint8_t* rec = static_cast<uint8_t*>(rec_buf);
  const int count = GetFieldDescs().Count();
  exact_row_.clear();
  for (int i = 0; i < count; ++i) {
    TFieldDesc* field = GetFieldDescs().GetItems(i);
    if (field == exact_desc_) continue;
    if (field->GetFieldDescKind() != fdkData) {
      null_row_[static_cast<size_t>(i)] = 1;
      continue;
    }
    auto* desc = dynamic_cast<TMySQLFieldDesc*>(field);
    DAC_ASSERT(desc != nullptr, "Not a MySQL field");
    const TWireValue value = value_of(static_cast<uint32_t>(desc->GetActualFieldNo()));
    null_row_[static_cast<size_t>(i)] = value.is_null ? 1 : 0;
    uint8_t* slot = rec + desc->GetOffset();
    if (!value.is_null) {
      exact_text_.reset();
      ConvertValue(*desc, value, slot);
      if (exact_text_) AddExactEntry(*desc, rec, null_row_[static_cast<size_t>(i)] != 0, *exact_text_);
    } else if (IsBlobFieldType(desc->GetDataType())) {
      PutBlob(*desc, nullptr, 0, slot);
    }
  }
  if (exact_desc_) StoreExactEntries(rec);
  std::memcpy(rec + GetDataSize(), null_row_.data(), null_row_.size());
}

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

// ---- the exact texts of a row ----

// An entry: the field's name (its length in 1 byte, then the name: a
// refresh copies the texts by name into a record of other columns), its
// null state (1), the length of its slot's image (2) and the image, the
// text's length (4) and the text.
void TMySQLRecordset::AddExactEntry(const TFieldDesc& field, const uint8_t* rec, bool is_null,
                                    const std::string& text) {
  const std::string image = is_null ? std::string() : SlotImage(field, rec);
  const std::string& name = field.GetName();
  const auto put = [&](uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) exact_row_ += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  const size_t entry = 1 + name.size() + 1 + 2 + image.size() + 4 + text.size();
  // The row's texts live in one heap value of at most 65535 bytes: one that
  // does not fit stays as the field holds it.
  if (name.size() > 255 || image.size() > 65535 || exact_row_.size() + entry > 65535) return;
  put(name.size(), 1);
  exact_row_ += name;
  put(is_null ? 1 : 0, 1);
  put(image.size(), 2);
  exact_row_ += image;
  put(text.size(), 4);
  exact_row_ += text;
}

void TMySQLRecordset::StoreExactEntries(uint8_t* rec) {
  const size_t index = static_cast<size_t>(exact_desc_->GetFieldNo() - 1);
  uint8_t* slot = rec + exact_desc_->GetOffset();
  if (exact_row_.empty()) {
    StoreAt<void*>(slot, 0, nullptr);
    null_row_[index] = 1;
    return;
  }
  auto* buffer = static_cast<uint8_t*>(GetStringHeap().NewBuf(static_cast<int>(exact_row_.size()) + 2));
  StoreAt<uint16_t>(buffer, 0, static_cast<uint16_t>(exact_row_.size()));
  std::memcpy(buffer + 2, exact_row_.data(), exact_row_.size());
  StoreAt<void*>(slot, 0, buffer);
  null_row_[index] = 0;
}

// The value as the slot holds it, for telling whether it is still the one read.
std::string TMySQLRecordset::SlotImage(const TFieldDesc& field, const uint8_t* rec) const {
  const uint8_t* slot = rec + field.GetOffset();
  const size_t size = field.GetSize();
  const auto wide = [](const void* text, size_t max_units) {
    size_t units = 0;
    while (units < max_units && LoadAt<char16_t>(text, units * 2) != 0) ++units;
    return std::string(static_cast<const char*>(text), units * 2);
  };
  switch (field.GetDataType()) {
    case dtString:
      return std::string(reinterpret_cast<const char*>(slot), strnlen(reinterpret_cast<const char*>(slot), size));
    case dtExtString: {
      const char* text = LoadAt<const char*>(slot);
      return text ? std::string(text) : std::string();
    }
    case dtWideString:
      return wide(slot, size / 2);
    case dtExtWideString: {
      const void* text = LoadAt<const void*>(slot);
      return text ? wide(text, SIZE_MAX / 2) : std::string();
    }
    case dtVarBytes:
      return std::string(reinterpret_cast<const char*>(slot), 2 + std::min<size_t>(LoadAt<uint16_t>(slot), size - 2));
    case dtExtVarBytes: {
      const uint8_t* buffer = LoadAt<const uint8_t*>(slot);
      return buffer ? std::string(reinterpret_cast<const char*>(buffer), 2 + LoadAt<uint16_t>(buffer)) : std::string();
    }
    default:
      return std::string(reinterpret_cast<const char*>(slot), size);
  }
}

namespace {

// The entries of a record's exact texts, as AddExactEntry writes them; a
// cut entry ends the list.
std::vector<TExactText> ParseExactTexts(const uint8_t* buffer) {
  std::vector<TExactText> texts;
  if (!buffer) return texts;
  const uint8_t* p = buffer + 2;
  const uint8_t* end = p + LoadAt<uint16_t>(buffer);
  const auto left = [&] { return static_cast<size_t>(end - p); };
  const auto get = [&](size_t bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(p[i]) << (8 * i);
    p += bytes;
    return value;
  };
  const auto take = [&](size_t bytes) {
    std::string out(reinterpret_cast<const char*>(p), bytes);
    p += bytes;
    return out;
  };
  while (left() >= 1) {
    TExactText entry;
    const size_t name_size = get(1);
    if (left() < name_size + 3) break;
    entry.name = take(name_size);
    entry.was_null = get(1) != 0;
    const size_t image_size = get(2);
    if (left() < image_size + 4) break;
    entry.image = take(image_size);
    const size_t text_size = get(4);
    if (left() < text_size) break;
    entry.text = take(text_size);
    texts.push_back(std::move(entry));
  }
  return texts;
}

}  // namespace

std::vector<TExactText> TMySQLRecordset::ExactTexts(const void* rec_buf) {
  if (!exact_desc_ || !rec_buf) return {};
  const auto* rec = static_cast<const uint8_t*>(rec_buf);
  if (rec[GetDataSize() + exact_desc_->GetFieldNo() - 1] != 0) return {};
  return ParseExactTexts(LoadAt<const uint8_t*>(rec + exact_desc_->GetOffset()));
}

void TMySQLRecordset::SetExactTexts(void* rec_buf, const std::vector<TExactText>& texts) {
  if (!exact_desc_ || !rec_buf) return;
  exact_row_.clear();
  const auto put = [&](uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) exact_row_ += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  for (const TExactText& entry : texts) {
    const size_t size = 1 + entry.name.size() + 1 + 2 + entry.image.size() + 4 + entry.text.size();
    if (entry.name.size() > 255 || entry.image.size() > 65535 || exact_row_.size() + size > 65535) continue;
    put(entry.name.size(), 1);
    exact_row_ += entry.name;
    put(entry.was_null ? 1 : 0, 1);
    put(entry.image.size(), 2);
    exact_row_ += entry.image;
    put(entry.text.size(), 4);
    exact_row_ += entry.text;
  }
  if (exact_row_.empty()) {
    PutFieldAsVariant(exact_desc_->GetFieldNo(), rec_buf, Variant::Null());
  } else {
    PutFieldAsVariant(exact_desc_->GetFieldNo(), rec_buf, Variant(TBytes(exact_row_.begin(), exact_row_.end())));
  }
  exact_row_.clear();
}

bool TMySQLRecordset::GetExactText(uint16_t field_no, const void* rec_buf, std::string& text) {
  if (!exact_desc_ || !rec_buf || field_no < 1 || field_no > GetFieldDescs().Count()) return false;
  const auto* rec = static_cast<const uint8_t*>(rec_buf);
  TFieldDesc& field = *GetFieldDescs().GetItems(field_no - 1);
  for (const TExactText& entry : ExactTexts(rec_buf)) {
    if (entry.name != field.GetName()) continue;
    // Only while the record holds the value read: an edit ends it.
    const bool is_null = rec[GetDataSize() + field_no - 1] != 0;
    if (is_null != entry.was_null || (!is_null && SlotImage(field, rec) != entry.image)) return false;
    text = entry.text;
    return true;
  }
  return false;
}

// The OUT values of a procedure call, read from its one row into the parameters.
void TMySQLRecordset::ReadOutParams() {
  TMySQLCommand& command = Command();
  void* rec = Rec(GetFirstItem());
  for (int i = 0; i < command.GetParamCount(); ++i) {
    TParamDesc* param = command.GetParam(i);
    TFieldDesc* field = nullptr;
    if (param->GetParamType() == pdResult) {
      field = GetFieldDescs().GetItems(0);
    } else if (param->GetParamType() == pdOutput || param->GetParamType() == pdInputOutput) {
      field = FindField("@" + param->GetName());
    }
    if (!field) continue;
    if (IsBlobFieldType(field->GetDataType())) {
      // The record's blob goes with the record: a blob parameter gets a copy
      // of its content, any other the text of it (user variables come back
      // as blobs whatever they hold).
      auto* blob = static_cast<TBlob*>(GetObject(field->GetFieldNo(), rec));
      TBlob* target = IsBlobFieldType(param->GetDataType()) ? dynamic_cast<TBlob*>(param->GetObject()) : nullptr;
      if (target) {
        target->Assign(*blob);
      } else {
        param->SetValue(GetNull(field->GetFieldNo(), rec) ? Variant::Null() : Variant(blob->GetAsString()));
      }
      continue;
    }
    Variant value;
    GetFieldAsVariant(field->GetFieldNo(), rec, value);
    param->SetValue(value);
  }
  // The rows affected are the call's, not those of the SELECT after it.
  command.SetPrevCount(true);
  if (command.GetReadParams()) command.GetReadParams()();
}

}  // namespace dac
