#include "dac/core/server/record_set.h"

#include "dac/core/server/connection.h"
#include "dac/framework/classes/component.h"

namespace dac {

DAC_DEFINE_CLASS(TDKFieldDesc, TFieldDesc, ::dac::TMetaClassOf<TDKFieldDesc>)
DAC_DEFINE_CLASS(TDKRecordSet, TMemData, ::dac::TMetaClass)

// ---- field descriptors ----

const std::string& TDKFieldDesc::ActualNameQuoted(const TDKRecordSet& record_set, bool quote_names) {
  std::string& cached = actual_name_quoted_[quote_names ? 1 : 0];
  if (!cached.empty()) return cached;
  const TDKTableInfoClass& rules = table_info_ ? table_info_->GetInfoClass() : record_set.GetTableInfoClass();
  // The server's name of the column: one identifier, whatever it holds.
  cached = rules.QuoteIdentifier(GetActualName(), quote_names);
  return cached;
}

std::string GenerateTableName(const TDKFieldDesc& desc) {
  return desc.GetTableInfo() ? desc.GetTableInfo()->GetTableName() : std::string();
}

// ---- construction ----

TDKRecordSet::TDKRecordSet() = default;

TDKRecordSet::~TDKRecordSet() {
  try {
    Close();
  } catch (...) {
  }
  FreeCommand();
}

void TDKRecordSet::Create() {
  TMemData::Create();
  on_after_exec_fetch_ = nullptr;
  on_after_fetch_all_ = nullptr;
  tables_info_ = std::make_unique<TDKTablesInfo>(GetTableInfoClass());
  CreateCommand();
  long_strings_ = true;
  flat_buffers_ = true;
}

void TDKRecordSet::SetCommand(std::unique_ptr<TDKCommand> value) { command_ = std::move(value); }

void TDKRecordSet::SetComponent(TComponent* value) {
  if (command_) command_->SetComponent(value);
}

void TDKRecordSet::SetConnection(TDKConnection* value) {
  if (command_) command_->SetConnection(value);
}

void TDKRecordSet::SetSQL(const std::string& value) {
  if (command_) command_->SetSQL(value);
}

// ---- properties ----

bool TDKRecordSet::SetProp(int prop, const Variant& value) {
  switch (prop) {
    case prUniDirectional: uni_directional_ = value.AsBoolean(); return true;
    case prFetchRows: fetch_rows_ = value.AsInt32(); return true;
    case prFetchAll: fetch_all_ = value.AsBoolean(); return true;
    case prLongStrings: long_strings_ = value.AsBoolean(); return true;
    case prEnableEmptyStrings: SetEnableEmptyStrings(value.AsBoolean()); return true;
    case prFlatBuffers: flat_buffers_ = value.AsBoolean(); return true;
    case prIndexFieldNames: SetIndexFieldNames(value.AsString()); return true;
    case prCompressBlobMode: {
      const int32_t mode = value.AsInt32();
      DAC_ASSERT(mode >= cbNone && mode <= cbClientServer, "Compressed blob mode " + std::to_string(mode));
      if (command_) command_->SetCompressBlobMode(static_cast<TCompressBlobMode>(mode));
      return true;
    }
    default: DAC_UNKNOWN_PROP(prop);
  }
}

bool TDKRecordSet::GetProp(int prop, Variant& value) {
  if (prop != prFetchAll) DAC_UNKNOWN_PROP(prop);
  value = fetch_all_;
  return true;
}

// ---- lifecycle ----

void TDKRecordSet::InternalPrepare() { command_->Prepare(); }

void TDKRecordSet::InternalUnPrepare() { command_->Unprepare(); }

void TDKRecordSet::Prepare() {
  if (GetPrepared()) return;
  TMemData::Prepare();
  if (command_type_ != ctCursor) return;
  try {
    InitFields();
  } catch (...) {
    SetPrepared(false);
    try {
      InternalUnPrepare();
    } catch (...) {
      // The fields' error is the one to report.
    }
    throw;
  }
}

void TDKRecordSet::UnPrepare() {
  TMemData::UnPrepare();
  tables_info_->Clear();
}

void TDKRecordSet::InternalOpen() {
  try {
    TMemData::InternalOpen();
    eof_ = false;
    ExecFetch();
  } catch (...) {
    try {
      if (!GetPrepared()) InternalUnPrepare();
      if (CursorState() == csExecuted) command_->SetCursorState(csInactive);
    } catch (...) {
      // The opening error is the one to report.
    }
    throw;
  }
}

void TDKRecordSet::ExecFetch() {
  const TCommandType before = command_type_;
  ExecCommand();
  if (before != ctCursor || NeedInitFields()) InitFields();
  if (fetch_all_) {
    FetchAll();
  } else {
    Fetch(false);
  }
}

void TDKRecordSet::ExecCommand() {
  command_->Execute(1);
  fetch_break_ = false;
}

void TDKRecordSet::FetchAll() {
  while (Fetch(false)) {
  }
}

void TDKRecordSet::DoBeforeFetch(bool& cancel) {
  cancel = fetch_break_;
  if (on_before_fetch_) on_before_fetch_(cancel);
  if (cancel && CursorState() == csFetchingAll) command_->SetCursorState(csFetching);
}

void TDKRecordSet::DoAfterFetch() {
  if (on_after_fetch_) on_after_fetch_();
}

bool TDKRecordSet::CanDisconnect() const {
  DAC_ASSERT(command_ != nullptr, "The record set has no command");
  const TCursorState state = command_->GetCursorState();
  return state == csInactive || state == csFetched;
}

void TDKRecordSet::Disconnect() {
  InternalUnPrepare();
  SetPrepared(false);
}

bool TDKRecordSet::NeedConvertEOL() {
  return command_ && command_->GetConnection() && command_->GetConnection()->GetConvertEOL();
}

// ---- navigation ----

void TDKRecordSet::GetNextRecord(void* rec_buf) { FetchingStep(rec_buf, true); }

void TDKRecordSet::GetPriorRecord(void* rec_buf) {
  if (uni_directional_) {
    current_item_ = nullptr;
    bof_ = true;
    return;
  }
  if (!CanFetchBack()) return TMemData::GetPriorRecord(rec_buf);
  FetchingStep(rec_buf, false);
}

// Walks the cache in one direction and fetches a block whenever it runs
// out; a fetch that brings nothing leaves the cursor past that end.
void TDKRecordSet::FetchingStep(void* rec_buf, bool forward) {
  bool& reaching = forward ? eof_ : bof_;
  if (!current_item_ && reaching) return;
  const auto next = [this, forward](PItemHeader item) { return forward ? NextItem(item) : PriorItem(item); };
  const auto run_out = [&] {
    current_item_ = nullptr;
    reaching = true;
  };
  const auto end = [this, forward] { return forward ? GetFirstItem() : GetLastItem(); };
  PItemHeader item = nullptr;
  if (!GetFirstItem()) {
    if (!Fetch(!forward)) return run_out();
    item = end();
  } else {
    item = current_item_ ? next(current_item_) : end();
  }
  for (;;) {
    if (!item) {
      // Forward-only fetching replaced the cache: the old end is gone.
      PItemHeader last = forward ? GetLastItem() : GetFirstItem();
      if (!Fetch(!forward)) return run_out();
      if (uni_directional_) last = nullptr;
      item = last ? next(last) : end();
      continue;
    }
    if (OmitRecord(item)) {
      item = next(item);
      continue;
    }
    SetCurrent(item);
    if (rec_buf) GetRecord(rec_buf);
    return;
  }
}

void TDKRecordSet::SortItems() {
  if (!GetIndexFieldNames().empty()) FetchAll();
  TMemData::SortItems();
}

void TDKRecordSet::FilterUpdated() {
  const TCursorState state = CursorState();
  const bool more_to_come = state < csFetched && state != csInactive;
  TMemData::FilterUpdated();
  eof_ = eof_ && !more_to_come;
}

}  // namespace dac
