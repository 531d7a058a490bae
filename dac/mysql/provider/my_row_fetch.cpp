// TMySQLRecordset: reading rows of the text and the binary protocol into
// the record store, a block at a time, each value converted into its slot.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/currency.h"
#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_messages.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/mysql/provider/my_value_conversion.h"
#include "dac/store/blob/blob.h"
#include "dac/store/blob/compressed_blob.h"
#include "dac/store/record/block_manager.h"
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

// A value of a text or a binary row through the API.
TWireValue WireValueOf(TMySQLAPI& api, PMySqlRow row, uint32_t column, const TMySqlLengths& lengths, bool binary) {
  TWireValue value;
  value.is_null = api._mysql_fetch_value_is_null(row, column);
  if (value.is_null) return value;
  int offset = 0;
  value.data = api._mysql_fetch_value_arr(row, column, offset) + offset;
  value.length = column < lengths.size() ? lengths[column] : 0;
  value.binary = binary;
  return value;
}

enum TBindForm { kBindInteger, kBindFloat, kBindText };

// How the client library hands a prepared column over: integers and
// floats as numbers when the field holds them as numbers.
TBindForm BindFormOf(const TMySQLFieldDesc& field) {
  switch (field.GetDataType()) {
    case dtInt8:
    case dtSmallint:
    case dtInteger:
    case dtWord:
    case dtBoolean:
    case dtLargeint:
    case dtUInt32:
      return field.GetMySQLType() == mftBit ? kBindText : kBindInteger;
    case dtFloat:
      return field.GetMySQLType() == mftFloat || field.GetMySQLType() == mftDouble ? kBindFloat : kBindText;
    default:
      return kBindText;
  }
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
    const bool direct = dynamic_cast<TMySQLAPIDirect*>(&API()) != nullptr;
    if (prepared && !stmt_bound_) {
      if (direct) {
        TMYSQL_BINDS binds;
        command.GetMySQLConnection()->CheckStmt(command.GetStmt(),
                                                API()._mysql_stmt_bind_result(command.GetStmt(), binds), GetComponent());
      } else {
        BindClientRow();
      }
      stmt_bound_ = true;
    }
    const auto read = [&] { return !prepared ? ReadTextRow() : direct ? ReadBinaryRow() : ReadClientRow(); };
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
  api._mysql_fetch_lengths(result, lengths_);
  ConvertRow(Rec(TakeItem()), [&](uint32_t column) { return WireValueOf(api, row, column, lengths_, false); });
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
  api._mysql_stmt_fetch_lengths(command.GetStmt(), lengths_);
  ConvertRow(Rec(TakeItem()), [&](uint32_t column) { return WireValueOf(api, row, column, lengths_, true); });
  return true;
}

// ---- prepared rows through the client library ----

void TMySQLRecordset::BindClientRow() {
  const size_t count = static_cast<size_t>(GetFieldDescs().Count());
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

template <typename ValueOf>
void TMySQLRecordset::ConvertRow(void* rec_buf, const ValueOf& value_of) {
  uint8_t* rec = static_cast<uint8_t*>(rec_buf);
  const int count = GetFieldDescs().Count();
  for (int i = 0; i < count; ++i) {
    TFieldDesc* field = GetFieldDescs().GetItems(i);
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
      ConvertValue(*desc, value, slot);
    } else if (IsBlobFieldType(desc->GetDataType())) {
      PutBlob(*desc, nullptr, 0, slot);
    }
  }
  std::memcpy(rec + GetDataSize(), null_row_.data(), null_row_.size());
}

void TMySQLRecordset::ConvertValue(TMySQLFieldDesc& field, const TWireValue& wire, uint8_t* slot) {
  const char* value = wire.data;
  const size_t length = wire.length;
  const bool binary = wire.binary;
  const std::string_view text(value, length);
  const auto* bytes = reinterpret_cast<const uint8_t*>(value);
  const uint16_t type = field.GetDataType();
  const uint16_t size = field.GetSize();
  switch (type) {
    case dtString:
    case dtExtString:
    case dtVarBytes:
    case dtExtVarBytes:
    case dtWideString:
    case dtExtWideString: {
      // A number or date read as text (FieldsAsString) comes binary in a prepared row.
      if (binary)
        if (const auto text_form = TextOfBinary(field.GetMySQLType(), field.GetIsUnsigned(), bytes, length))
          return PutString(field, text_form->data(), text_form->size(), slot);
      return PutString(field, value, length, slot);
    }
    case dtInt8:
    case dtSmallint:
    case dtInteger:
    case dtWord:
    case dtBoolean:
    case dtLargeint:
    case dtUInt32: {
      if (field.GetMySQLType() == mftBit) {
        const uint64_t bits = BitFromBytes(bytes, length);
        if (type == dtBoolean) return StoreAt<int16_t>(slot, 0, length > 0 && bytes[length - 1] != 0 ? 1 : 0);
        return StoreInteger(slot, size, static_cast<int64_t>(bits));
      }
      const bool is_signed = type == dtInt8 || type == dtSmallint || type == dtInteger || type == dtLargeint;
      const int64_t number = binary ? IntegerFromBinary(bytes, length, is_signed || size == 8)
                                    : IntegerFromText(text, size == 8 || (type == dtUInt32 && size == 4));
      if (type == dtBoolean) return StoreAt<int16_t>(slot, 0, number != 0 ? 1 : 0);
      return StoreInteger(slot, size, number);
    }
    case dtFloat: {
      const bool binary_float = binary && (field.GetMySQLType() == mftFloat || field.GetMySQLType() == mftDouble);
      return StoreAt<double>(slot, 0, binary_float ? FloatFromBinary(bytes, length) : FloatFromText(text));
    }
    case dtDate:
    case dtTime:
    case dtDateTime:
      return PutDate(field, wire, slot);
    case dtBCD:
      return StoreAt<int64_t>(slot, 0, StrToCurr(WithLocaleSeparator(text, change_separator_)).raw);
    case dtFmtBCD: {
      Bcd normalized{};
      const Bcd parsed = StrToBcd(WithLocaleSeparator(text, change_separator_));
      if (!NormalizeBcd(parsed, normalized, field.GetLength(), field.GetScale())) normalized = parsed;
      return StoreAt<Bcd>(slot, 0, normalized);
    }
    case dtBlob:
    case dtMemo:
    case dtWideMemo:
      return PutBlob(field, value, length, slot);
    default:
      AssertionFailed("Unknown data type " + std::to_string(type), __FILE__, __LINE__);
  }
}

void TMySQLRecordset::PutString(TMySQLFieldDesc& field, const char* value, size_t length, uint8_t* slot) {
  const uint16_t type = field.GetDataType();
  if (field.GetLength() > 0 && length > field.GetLength() && !GetUseUnicode()) length = field.GetLength();
  const size_t slot_size = field.GetSize();
  switch (type) {
    case dtString: {
      // Never past the slot, whatever the server sent.
      length = std::min(length, slot_size - 1);
      std::memcpy(slot, value, length);
      slot[length] = 0;
      return;
    }
    case dtExtString: {
      auto* buffer = static_cast<char*>(GetStringHeap().NewBuf(static_cast<int>(length) + 1));
      std::memcpy(buffer, value, length);
      buffer[length] = 0;
      return StoreAt<void*>(slot, 0, buffer);
    }
    case dtVarBytes: {
      length = std::min(length, slot_size - 2);
      StoreAt<uint16_t>(slot, 0, static_cast<uint16_t>(length));
      std::memcpy(slot + 2, value, length);
      return;
    }
    case dtExtVarBytes: {
      length = std::min<size_t>(length, 65535);
      auto* buffer = static_cast<uint8_t*>(GetStringHeap().NewBuf(static_cast<int>(length) + 2));
      StoreAt<uint16_t>(buffer, 0, static_cast<uint16_t>(length));
      std::memcpy(buffer + 2, value, length);
      return StoreAt<void*>(slot, 0, buffer);
    }
    case dtWideString:
      Utf8ToWs(slot, 0, static_cast<int>(slot_size), value, 0, static_cast<int>(length), true);
      return;
    default: {
      std::vector<char16_t> scratch(length + 1);
      const int bytes = Utf8ToWs(scratch.data(), 0, static_cast<int>((length + 1) * 2), value, 0,
                                 static_cast<int>(length), true);
      void* buffer = GetStringHeap().NewBuf(bytes);
      if (buffer) std::memcpy(buffer, scratch.data(), static_cast<size_t>(bytes));
      return StoreAt<void*>(slot, 0, buffer);
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
  }
}

void TMySQLRecordset::PutDate(TMySQLFieldDesc& field, const TWireValue& value, uint8_t* slot) {
  double out = 0;
  const bool converted =
      value.binary ? DateTimeFromBinary(field.GetMySQLType(), reinterpret_cast<const uint8_t*>(value.data),
                                        value.length, null_for_zero_date_ ? 1.0 : ZeroDate, out)
                   : DateTimeFromText(field.GetMySQLType(), field.GetLength(), std::string_view(value.data, value.length),
                                      field.GetName(), out);
  if (!converted) {
    if (null_for_zero_date_) {
      null_row_[static_cast<size_t>(field.GetFieldNo() - 1)] = 1;
      return;
    }
    out = ZeroDate;
  }
  StoreAt<double>(slot, 0, out);
  // A quick refresh starts at the latest TIMESTAMP read from the table.
  if (field.GetMySQLType() != mftTimestamp) return;
  if (auto* table = dynamic_cast<TMyTableInfo*>(field.GetTableInfo()); table && out > table->GetMaxTimestamp())
    table->SetMaxTimestamp(out);
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
