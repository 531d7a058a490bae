#include "dac/core/dataset/refresh_row_merge.h"

#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/sql_generator.h"
#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
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

// The values of the descriptors in the store's record.
Variant RecordKeyValues(TMemData& store, const std::vector<TFieldDesc*>& descs, void* buffer) {
  std::vector<Variant> values(descs.size());
  for (size_t i = 0; i < descs.size(); ++i) store.GetFieldAsVariant(descs[i]->GetFieldNo(), buffer, values[i]);
  return values.size() == 1 ? values.front() : Variant(std::move(values));
}

}  // namespace

// ---- one row ----

void TRefreshRowMerge::TakeRow(TCustomDADataSet& query, TStatementTypes statement_types) {
  data_set_.SetRowsAffected(query.RecordCount());
  const int32_t rows = data_set_.RowsAffected();
  if (data_set_.Options().GetStrictUpdate() && rows != 1) {
    DatabaseError(FormatMessage(SRefreshFailed, {rows}), &data_set_);
  }
  if (query.IsEmpty()) return;
  query.First();
  CopyRecord(*query.Data(), query.ActiveBuffer(), statement_types);
}

// ---- quick refresh and deleted rows ----

std::vector<TField*> TRefreshRowMerge::KeyFieldsOf(TCustomDADataSet& query, std::string& names) {
  std::vector<TField*> own;
  Variant unused;
  data_set_.GetCurrentKeys(own, unused);
  std::vector<TField*> found;
  names.clear();
  for (TField* field : own) {
    TField* match = query.FindField(field->FieldName());
    // A refresh text of the user's that does not return the key.
    if (!match) DatabaseError(FormatMessage(SFieldNotFound, {field->FieldName()}), &data_set_);
    found.push_back(match);
    names += (names.empty() ? "" : ";") + match->FieldName();
  }
  return found;
}

// Walks the record store itself, so that a removed row leaves the cursor on
// the row that followed it, which is checked next.
void TRefreshRowMerge::DropDeleted(TCustomDADataSet& query) {
  std::string names;
  const std::vector<TField*> query_keys = KeyFieldsOf(query, names);
  std::vector<TField*> own_keys;
  Variant unused;
  data_set_.GetCurrentKeys(own_keys, unused);
  std::vector<TFieldDesc*> descs;
  for (TField* field : own_keys) descs.push_back(data_set_.TMemDataSet::GetFieldDesc(field));
  const std::string saved_index = query.GetIndexFieldNames();
  query.SetIndexFieldNames(names);
  TMemData& store = *data_set_.MemData();
  void* buffer = nullptr;
  store.AllocRecBuf(buffer);
  WithCleanup(
      [&] {
        store.SetToBegin();
        store.GetNextRecord(buffer);
        PItemHeader kept = nullptr;
        while (!store.GetEOF()) {
          if (query.Locate(query_keys, RecordKeyValues(store, descs, buffer), {})) {
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
  data_set_.CursorPosChanged();
  data_set_.Resync({});
}

void TRefreshRowMerge::MergeChanged(TCustomDADataSet& query, TStatementTypes statement_types) {
  data_set_.SetRowsAffected(query.RecordCount());
  data_set_.UpdateCursorPos();
  std::string names;
  const std::vector<TField*> query_keys = KeyFieldsOf(query, names);
  std::vector<TField*> own_keys;
  Variant unused;
  data_set_.GetCurrentKeys(own_keys, unused);
  TFieldDescs& query_descs = query.Data()->GetFieldDescs();
  for (query.First(); !query.GetEOF(); query.Next()) {
    if (!data_set_.LocateEx(own_keys, KeyValues(query_keys), {})) {
      // A new row: the store takes it without telling the server.
      const bool local = data_set_.GetLocalUpdate();
      data_set_.SetLocalUpdate(true);
      WithCleanup(
          [&] {
            data_set_.Data()->AppendBlankRecord();
            data_set_.Resync({});
          },
          [&] { data_set_.SetLocalUpdate(local); });
    }
    CopyRecord(*query.Data(), query.ActiveBuffer(), statement_types);
    for (int i = 0; i < query_descs.Count(); ++i) {
      TFieldDesc* desc = query_descs.GetItems(i);
      if (!data_set_.IsRefreshQuickField(desc)) continue;
      Variant value;
      query.Data()->GetFieldAsVariant(desc->GetFieldNo(), query.ActiveBuffer(), value);
      data_set_.SaveMaxRefreshQuickValue(desc, value);
    }
  }
  if (!data_set_.MemData()->GetSortColumns().empty()) data_set_.MemData()->SortItems();
  data_set_.CursorPosChanged();
  data_set_.Resync({});
}

// ---- the record copy ----

// The column of the dataset a fetched column fills: by name, or by the
// position a generated refresh names it after ("_3").
TFieldDesc* TRefreshRowMerge::Target(const std::string& name) {
  TData& data = *data_set_.Data();
  if (TFieldDesc* desc = data.FindField(name)) return desc;
  const int position = data_set_.SQLGenerator()->DecodeFieldIndex(name);
  return position >= 0 && position < data.GetFieldCount() ? data.GetFieldDescs().GetItems(position) : nullptr;
}

void TRefreshRowMerge::CopyRecord(TData& source, void* source_buf, TStatementTypes statement_types) {
  const bool refresh = !(statement_types & kRefreshes).Empty();
  const bool applying = data_set_.GetInCacheProcessing();
  void* target = applying ? data_set_.GetNewCacheRecBuf() : data_set_.ActiveBuffer();
  TFieldDescs& descs = source.GetFieldDescs();
  for (int i = 0; i < descs.Count(); ++i) {
    TFieldDesc* from = descs.GetItems(i);
    if (from->HasParent()) continue;
    TFieldDesc* to = Target(from->GetName());
    if (!to) continue;
    const uint16_t type = to->GetDataType();
    if (data_set_.Data()->IsBlobFieldType(type) || type == dtVariant) {
      if (refresh) CopyObjectValue(source, source_buf, from, to, target);
      continue;
    }
    CopyVariantValue(source, source_buf, from, to, target, statement_types);
  }
  if (!refresh || data_set_.GetInDeferredPost() || applying) return;
  data_set_.UpdateCursorPos();
  data_set_.Data()->PutRecord(target);
}

// The fetched object is shared: the target lets its own go and holds one
// more reference on the fetched one.
void TRefreshRowMerge::CopyObjectValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to,
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
  data_set_.Data()->SetNull(to->GetFieldNo(), target, null);
  auto* blob = dynamic_cast<TBlob*>(fetched);
  if (!blob) return;
  if (null) blob->SetModified(false);
  if (data_set_.GetState() == dsEdit || data_set_.GetState() == dsInsert) blob->EnableRollback();
}

void TRefreshRowMerge::CopyVariantValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to, void* target,
                                        TStatementTypes statement_types) {
  Variant value;
  source.GetFieldAsVariant(from->GetFieldNo(), source_buf, value);
  TField* field = data_set_.GetField(to);
  if (!field) {
    // A provider's hidden descriptor follows the refreshed row.
    if (to->GetHidden() && !statement_types.Contains(stCheck)) {
      data_set_.CopyHiddenValue(source, source_buf, from, to, target,
                                [this](const std::string& name) { return Target(name); });
    }
    return;
  }
  if (statement_types.Contains(stCheck)) return CheckValue(field, value);
  if (data_set_.GetInDeferredPost() || data_set_.GetInCacheProcessing()) return ForceFieldValue(field, value);
  data_set_.Data()->PutFieldAsVariant(to->GetFieldNo(), target, value);
}

void TRefreshRowMerge::CheckValue(TField* field, const Variant& value) {
  const TDataSetState state = data_set_.GetState();
  const bool editing = state == dsEdit || state == dsInsert || state == dsSetKey;
  if (!(value == (editing ? field->OldValue() : field->Value()))) {
    DatabaseError(LoadResString(SRecordChanged), &data_set_);
  }
}

void TRefreshRowMerge::ForceFieldValue(TField* field, const Variant& value) {
  // While cached records are applied the row is written in its new-value state.
  const bool cached = data_set_.GetInCacheProcessing() && data_set_.GetState() == dsBrowse;
  TCustomDADataSet::TTempState state(data_set_, cached ? dsNewValue : data_set_.GetState());
  const bool read_only = field->ReadOnly();
  field->SetReadOnly(false);
  WithCleanup([&] { field->SetValue(value); }, [&] { field->SetReadOnly(read_only); });
}

}  // namespace dac
