// Rows read back from the server: one record refreshed (or checked against
// what the server holds now), the rows a quick refresh brings (changed or
// new), and the rows the server no longer has dropped from the store.
#include "dac/core/access_utils.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/sql_generator.h"
#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/scoped_value.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/field.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/mem_data.h"

namespace dac {

namespace {

constexpr TStatementTypes kRefreshes{stRefresh, stRefreshQuick, stRefreshCheckDeleted};

// One value, or a value array for several keys.
Variant KeyValues(const std::vector<TField*>& fields) {
  if (fields.size() == 1) return fields.front()->Value();
  std::vector<Variant> values;
  for (TField* field : fields) values.push_back(field->Value());
  return Variant(std::move(values));
}

}  // namespace

// ---- one record ----

void TCustomDADataSet::InternalRefreshRecord() {
  // A pending change goes before the row is read again.
  if (GetCachedUpdates() && UpdateStatus() == usModified && !GetInCacheProcessing()) RevertRecord();
  if (TRecordBuffer buffer = ActiveBuffer()) FreeRefComplexFields(buffer);
  PerformSQL("", {stRefresh});
}

void TCustomDADataSet::RefreshRecord() {
  CheckActive();
  switch (GetState()) {
    case dsEdit: Cancel(); break;
    case dsInsert: Cancel(); return;
    case dsSetKey: Post(); break;
    default: break;
  }
  if (IsEmpty()) return;
  UpdateCursorPos();
  InternalRefreshRecord();
  if (rows_affected_ == 0) {
    if (options_->GetRemoveOnRefresh()) MemData()->RemoveRecord();
    Resync({});
  } else if (rows_affected_ > 0) {
    Resync({});
  }
}

void TCustomDADataSet::TakeRefreshedRow(TCustomDADataSet& query, TStatementTypes statement_types) {
  rows_affected_ = query.RecordCount();
  if (options_->GetStrictUpdate() && rows_affected_ != 1) {
    DatabaseError(FormatMessage(SRefreshFailed, {rows_affected_}), this);
  }
  if (query.IsEmpty()) return;
  query.First();
  CopyRecord(*query.Data(), query.ActiveBuffer(), statement_types);
}

// ---- quick refresh and deleted rows ----

std::vector<TField*> TCustomDADataSet::KeyFieldsOf(TCustomDADataSet& query, std::string& names) {
  std::vector<TField*> own;
  Variant unused;
  GetCurrentKeys(own, unused);
  std::vector<TField*> found;
  names.clear();
  for (TField* field : own) {
    TField* match = query.FindField(field->FieldName());
    // A refresh text of the user's that does not return the key.
    if (!match) DatabaseError(FormatMessage(SFieldNotFound, {field->FieldName()}), this);
    found.push_back(match);
    names += (names.empty() ? "" : ";") + match->FieldName();
  }
  return found;
}

// Walks the record store itself, so that a removed row leaves the cursor on
// the row that followed it, which is checked next.
void TCustomDADataSet::DropDeletedRows(TCustomDADataSet& query) {
  std::string names;
  const std::vector<TField*> query_keys = KeyFieldsOf(query, names);
  std::vector<TField*> own_keys;
  Variant unused;
  GetCurrentKeys(own_keys, unused);
  std::vector<TFieldDesc*> descs;
  for (TField* field : own_keys) descs.push_back(TMemDataSet::GetFieldDesc(field));
  const std::string saved_index = query.GetIndexFieldNames();
  query.SetIndexFieldNames(names);
  TMemData& store = *MemData();
  void* buffer = nullptr;
  store.AllocRecBuf(buffer);
  const auto key_values = [&] {
    std::vector<Variant> values(descs.size());
    for (size_t i = 0; i < descs.size(); ++i) store.GetFieldAsVariant(descs[i]->GetFieldNo(), buffer, values[i]);
    return values.size() == 1 ? values.front() : Variant(std::move(values));
  };
  WithCleanup(
      [&] {
        store.SetToBegin();
        store.GetNextRecord(buffer);
        PItemHeader kept = nullptr;
        while (!store.GetEOF()) {
          if (query.Locate(query_keys, key_values(), {})) {
            kept = store.GetCurrentItem();
            store.GetNextRecord(buffer);
            continue;
          }
          store.RemoveRecord();
          // The last row gone: the cursor stands on the one before, already kept.
          if (store.GetEOF() || !store.GetCurrentItem() || store.GetCurrentItem() == kept) break;
          store.GetRecord(buffer);
        }
      },
      [&] {
        store.FreeRecBuf(buffer);
        query.Close();
        query.SetIndexFieldNames(saved_index);
      });
  CursorPosChanged();
  Resync({});
}

void TCustomDADataSet::MergeChangedRows(TCustomDADataSet& query, TStatementTypes statement_types) {
  rows_affected_ = query.RecordCount();
  UpdateCursorPos();
  std::string names;
  const std::vector<TField*> query_keys = KeyFieldsOf(query, names);
  std::vector<TField*> own_keys;
  Variant unused;
  GetCurrentKeys(own_keys, unused);
  TFieldDescs& query_descs = query.Data()->GetFieldDescs();
  for (query.First(); !query.GetEOF(); query.Next()) {
    if (!LocateEx(own_keys, KeyValues(query_keys), {})) {
      // A new row: the store takes it without telling the server.
      TScopedValue<bool> local(local_update_, true);
      Data()->AppendBlankRecord();
      Resync({});
    }
    CopyRecord(*query.Data(), query.ActiveBuffer(), statement_types);
    for (int i = 0; i < query_descs.Count(); ++i) {
      TFieldDesc* desc = query_descs.GetItems(i);
      if (!IsRefreshQuickField(desc)) continue;
      Variant value;
      query.Data()->GetFieldAsVariant(desc->GetFieldNo(), query.ActiveBuffer(), value);
      SaveMaxRefreshQuickValue(desc, value);
    }
  }
  if (!MemData()->GetSortColumns().empty()) MemData()->SortItems();
  CursorPosChanged();
  Resync({});
}

// ---- the record copy ----

// The column of this dataset a fetched column fills: by name, or by the
// position a generated refresh names it after ("_3").
TFieldDesc* TCustomDADataSet::RefreshTarget(const std::string& name) {
  if (TFieldDesc* desc = Data()->FindField(name)) return desc;
  const int position = sql_generator_->DecodeFieldIndex(name);
  return position >= 0 && position < Data()->GetFieldCount() ? Data()->GetFieldDescs().GetItems(position) : nullptr;
}

void TCustomDADataSet::CopyRecord(TData& source, void* source_buf, TStatementTypes statement_types) {
  const bool refresh = !(statement_types & kRefreshes).Empty();
  void* target = GetInCacheProcessing() ? GetNewCacheRecBuf() : ActiveBuffer();
  TFieldDescs& descs = source.GetFieldDescs();
  for (int i = 0; i < descs.Count(); ++i) {
    TFieldDesc* from = descs.GetItems(i);
    if (from->HasParent()) continue;
    TFieldDesc* to = RefreshTarget(from->GetName());
    if (!to) continue;
    const uint16_t type = to->GetDataType();
    if (Data()->IsBlobFieldType(type) || type == dtVariant) {
      if (refresh) CopyObjectValue(source, source_buf, from, to, target);
      continue;
    }
    CopyVariantValue(source, source_buf, from, to, target, statement_types);
  }
  if (!refresh || GetInDeferredPost() || GetInCacheProcessing()) return;
  UpdateCursorPos();
  Data()->PutRecord(target);
}

// The fetched object is shared: the target lets its own go and holds one
// more reference on the fetched one.
void TCustomDADataSet::CopyObjectValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to,
                                       void* target) {
  auto* target_slot = static_cast<uint8_t*>(target) + to->GetOffset();
  TSharedObject* fetched = TSharedObject::At(static_cast<uint8_t*>(source_buf) + from->GetOffset());
  if (TSharedObject* own = TSharedObject::At(target_slot); own && own != fetched) {
    own->Release();
    StoreAt<void*>(target_slot, 0, nullptr);
  }
  if (fetched && TSharedObject::At(target_slot) != fetched) {
    fetched->AddRef();
    StoreAt<void*>(target_slot, 0, fetched->GetGCHandle());
  }
  const bool null = source.GetNull(from->GetFieldNo(), source_buf);
  Data()->SetNull(to->GetFieldNo(), target, null);
  auto* blob = dynamic_cast<TBlob*>(fetched);
  if (!blob) return;
  if (null) blob->SetModified(false);
  if (GetState() == dsEdit || GetState() == dsInsert) blob->EnableRollback();
}

void TCustomDADataSet::CopyVariantValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to, void* target,
                                        TStatementTypes statement_types) {
  Variant value;
  source.GetFieldAsVariant(from->GetFieldNo(), source_buf, value);
  TField* field = GetField(to);
  if (!field) {
    // A provider's hidden descriptor follows the refreshed row.
    if (to->GetHidden() && !statement_types.Contains(stCheck))
      CopyHiddenValue(source, source_buf, from, to, target, [this](const std::string& name) { return RefreshTarget(name); });
    return;
  }
  if (statement_types.Contains(stCheck)) {
    const TDataSetState state = GetState();
    const bool editing = state == dsEdit || state == dsInsert || state == dsSetKey;
    if (!(value == (editing ? field->OldValue() : field->Value()))) {
      DatabaseError(LoadResString(SRecordChanged), this);
    }
    return;
  }
  if (GetInDeferredPost() || GetInCacheProcessing()) return ForceFieldValue(field, value);
  Data()->PutFieldAsVariant(to->GetFieldNo(), target, value);
}

void TCustomDADataSet::CopyHiddenValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to, void* target,
                                       const std::function<TFieldDesc*(const std::string&)>&) {
  Variant value;
  source.GetFieldAsVariant(from->GetFieldNo(), source_buf, value);
  Data()->PutFieldAsVariant(to->GetFieldNo(), target, value);
}

void TCustomDADataSet::ForceFieldValue(TField* field, const Variant& value) {
  // While cached records are applied the row is written in its new-value state.
  const bool cached = GetInCacheProcessing() && GetState() == dsBrowse;
  TTempState state(*this, cached ? dsNewValue : GetState());
  const bool read_only = field->ReadOnly();
  field->SetReadOnly(false);
  WithCleanup([&] { field->SetValue(value); }, [&] { field->SetReadOnly(read_only); });
}

}  // namespace dac
