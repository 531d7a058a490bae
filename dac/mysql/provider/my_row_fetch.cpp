// TMySQLRecordset: reading rows of the text and the binary protocol into
// the record store, a block at a time, each value converted into its slot
// (my_row_conversion.cpp).
#include <algorithm>
#include <cstring>
#include <utility>

#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_messages.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/store/record/block_manager.h"
#include "dac/store/record/data_type_traits.h"
#include "platform/format_settings.h"

namespace dac {

namespace {

constexpr int32_t kStatementNoData = 100;
constexpr int32_t kStatementTruncated = 101;

// A value of a text or a binary row, read where it lies.
template <typename Values>
TWireValue RowValueOf(const Values& values, uint32_t column, bool binary) {
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
  row_values_.Read([&](const auto& values) {
    ConvertRow(Rec(TakeItem()), [&](uint32_t column) { return RowValueOf(values, column, false); });
  });
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
  row_values_.Read([&](const auto& values) {
    ConvertRow(Rec(TakeItem()), [&](uint32_t column) { return RowValueOf(values, column, true); });
  });
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

// ---- a row into the record ----

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

}  // namespace dac
