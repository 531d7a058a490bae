#include "tests/dac/core/support/fake_record_set.h"

#include <algorithm>
#include <memory>

#include "dac/store/blob/blob.h"

namespace dac::test {

DAC_DEFINE_CLASS(FakeRecordSet, TDKRecordSet, TDKRecordSetClassOf<FakeRecordSet>)

namespace {

uint16_t SlotSize(const FakeColumn& column) {
  switch (column.data_type) {
    case dtString: return static_cast<uint16_t>(column.length + 1);
    case dtBoolean:
    case dtSmallint: return 2;
    case dtInteger: return 4;
    case dtFloat:
    case dtLargeint:
    case dtDateTime: return 8;
    case dtBlob:
    case dtMemo: return kReferenceSlotSize;
    default:
      AssertionFailed("The fake record set has no slot for type " + std::to_string(column.data_type), __FILE__,
                      __LINE__);
  }
}

}  // namespace

void FakeRecordSet::CreateCommand() {
  auto command = std::make_unique<FakeCommand>();
  command->on_answer = [this](const FakeAnswer& answer) { TakeAnswer(answer); };
  SetCommand(std::move(command));
}

FakeCommand& FakeRecordSet::Command() const { return static_cast<FakeCommand&>(*GetCommand()); }

void FakeRecordSet::TakeAnswer(const FakeAnswer& answer) {
  const bool result = !answer.columns.empty() || !answer.rows.empty();
  command_type_ = result ? ctCursor : ctStatement;
  columns_ = answer.columns;
  rows_ = answer.rows;
  next_row_ = 0;
}

void FakeRecordSet::InternalPrepare() {
  TDKRecordSet::InternalPrepare();
  auto* connection = dynamic_cast<FakeConnection*>(Command().GetConnection());
  if (!connection) return;
  const FakeAnswer& answer = connection->Server().AnswerFor(Command().GetSQL());
  command_type_ = answer.columns.empty() ? ctStatement : ctCursor;
  columns_ = answer.columns;
}

void FakeRecordSet::InternalInitFields() {
  if (fail_init_fields) throw Exception("The columns cannot be described");
  GetTablesInfo().Clear();
  for (const FakeColumn& column : columns_) {
    auto desc = std::make_unique<TDKFieldDesc>();
    desc->SetName(column.name);
    desc->SetFullName(column.name);
    desc->SetActualName(column.name);
    desc->SetDataType(column.data_type);
    desc->SetLength(column.length);
    desc->SetSize(SlotSize(column));
    desc->SetIsKey(column.key);
    desc->SetFieldNo(static_cast<uint16_t>(GetFieldDescs().Count() + 1));
    if (!column.table.empty()) {
      TDKTableInfo* table = GetTablesInfo().FindByName(column.table);
      if (!table) {
        table = GetTablesInfo().Add();
        table->SetTableName(column.table);
      }
      desc->SetTableInfo(table);
    }
    GetFieldDescs().Add(std::move(desc));
  }
}

void FakeRecordSet::InternalClose() {
  TCursorState state = Command().GetCursorState();
  if (state != csInactive) Command().SetCursorState(GetPrepared() ? csPrepared : csInactive);
}

void FakeRecordSet::DropCache() { ClearItems(); }

bool FakeRecordSet::Fetch(bool) {
  FakeCommand& command = Command();
  TCursorState state = command.GetCursorState();
  if (state == csInactive || state == csFetched) return false;
  ++block_reads;
  if (state == csExecuted) command.SetCursorState(fetch_all_ ? csFetchingAll : csFetching);
  bool cancel = false;
  DoBeforeFetch(cancel);
  size_t used = 0;
  try {
    if (!cancel) {
      const size_t block = static_cast<size_t>(std::max(fetch_rows_, 1));
      used = std::min(block, rows_.size() - next_row_);
      if (used > 0) {
        if (uni_directional_) DropCache();
        PBlockHeader items = nullptr;
        GetBlockMan().AllocBlock(items, static_cast<int64_t>(block));
        for (size_t i = 0; i < used; ++i) {
          void* rec = Rec(GetBlockMan().BlockItem(items, static_cast<int>(i)));
          InitRecord(rec);
          CreateComplexFields(rec, true);
          const std::vector<Variant>& row = rows_[next_row_++];
          for (size_t f = 0; f < row.size(); ++f) PutFieldAsVariant(static_cast<uint16_t>(f + 1), rec, row[f]);
        }
        LinkFetchedItems(items, static_cast<int>(used));
      }
      if (used < block) command.SetCursorState(csFetched);
    }
  } catch (...) {
    command.SetCursorState(csFetched);
    eof_ = true;
    DoAfterFetch();
    throw;
  }
  DoAfterFetch();
  return used > 0;
}

}  // namespace dac::test
