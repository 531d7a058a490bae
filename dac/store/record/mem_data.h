// TMemData, the in-memory record set: all rows of a result as a doubly
// linked list of items from its TBlockManager, a cursor with BOF/EOF
// semantics that steps over the rows the filter hides, record numbers kept
// cheaply while rows come and go, bookmarks, ordering by IndexFieldNames,
// and the comparison of field values that sorting and locating share.
// Server record sets derive from it: they fill it through the fetch
// operations and override Fetch to bring more rows on demand.
//
// Order and numbering: the list is a TItemOrder, chunks of item pointers
// that know which of their items the filter shows. A visible item's record
// number (1 to RecordCount in list order) follows from the chunks' running
// counts, so no change renumbers other items, and positioning by number,
// finding a row's number and placing a row in sort order each cost a few
// chunk lookups, never a walk over the list. RecordNoOffset stays 0.
//
// Cached updates: with CachedUpdates on, inserts, edits and deletes change
// only the items. Each changed item is listed once, in the order of its
// first change, with its Status and UpdateResult; an edited one keeps a
// Rollback item holding its record from before the first edit. ApplyUpdates
// hands the listed rows to ApplyRecord one by one; CommitUpdates forgets the
// applied changes, CancelUpdates and RevertRecord undo them.
//
// Construction is two-phase: construct, then Create (which runs InitData).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <unordered_map>

#include "dac/store/record/block_manager.h"
#include "dac/store/record/data.h"
#include "dac/store/record/item_order.h"

namespace dac {

// One column of the sort order.
struct TSortColumn {
  TFieldDesc* FieldDesc = nullptr;
  bool DescendingOrder = false;
  bool CaseSensitive = true;
};
using TSortColumns = std::vector<TSortColumn>;

// A changed item of the cached-update list, in the order of first change.
struct TCacheItem {
  PItemHeader Item = nullptr;
  TCacheItem* Next = nullptr;
  TCacheItem* Prev = nullptr;
  // The item holding the record as it was before the first edit, or null.
  PItemHeader Rollback = nullptr;
  // Out of the list while an apply walk may still hold it; Next is kept.
  bool Unlinked = false;
  // Applied inside a transaction that has not ended yet.
  bool Tentative = false;
};

class TMemData : public TData {
  DAC_DECLARE_CLASS();

 public:
  TMemData();
  // Closes the record set as this class knows it; a subclass closes first.
  ~TMemData() override;

  // The second step of construction.
  void Create();

  // ---- Lifecycle ----

  // Then checks every row against the filter text, so that the rows the
  // open brought are counted and numbered as the filter shows them.
  void Open() override;
  // Not while updates are being applied.
  void Close() override;
  // Sorts again when there are sort columns.
  void Reopen() override;
  // Also sizes the block manager's records and parses IndexFieldNames.
  void InitFields() override;
  void ClearFields() override;

  // ---- Position ----

  // Only without a current item.
  bool GetEOF() override;
  bool GetBOF() override;
  int GetRecordCount() override;
  // 0 without a current item.
  int GetRecordNo() override;
  // Onto the n-th visible row (1-based), fetching while there are fewer;
  // nothing when there is none.
  void SetRecordNo(int n) override;
  void SetToBegin() override;
  void SetToEnd() override;
  // Nothing: positioning by number needs no preparation (it once filled a
  // cache of the visible items).
  void PrepareRecNoCache() {}

  // ---- Records ----

  // Copies the current record; moves on first when the filter hides it.
  void GetRecord(void* rec_buf) override;
  // Onto the next (prior) visible row, copied to rec_buf when given; past
  // the last (first) one the cursor stands at EOF (BOF).
  void GetNextRecord(void* rec_buf) override;
  void GetPriorRecord(void* rec_buf) override;
  // Writes the current record (which must exist) and checks it against the
  // filter again; the count follows.
  void PutRecord(void* rec_buf) override;
  // At the end (SetToEnd, then InsertRecord).
  void AppendRecord(void* rec_buf) override;
  // InternalAppend, then a new row in front of the cursor (at the end from
  // EOF, at the front from BOF), moved into place when sorting is on; the
  // cursor stands on it. Cached: an appended row, not passed to the server.
  void InsertRecord(void* rec_buf) override;
  // InternalUpdate, then the current record is written and kept in order.
  // Cached: an unmodified row becomes updated with a rollback copy of its
  // record (taking over the old contents of edited blobs); an appended row
  // stays appended until it is applied. DataError "Cannot edit a deleted
  // record" for a deleted row.
  void UpdateRecord(void* rec_buf) override;
  // InternalDelete, then RemoveRecord. Cached: the row becomes deleted (an
  // updated one with its values from before the edit); an appended row not
  // yet applied is removed.
  void DeleteRecord() override;
  // Takes the current row out of the store without telling the server; the
  // cursor moves to the next row, or the prior one when it was the last.
  // Cached: its pending change is reverted first.
  virtual void RemoveRecord();

  // The first step of every record operation on a row: true when the
  // filter (or, with cached updates, FilterItemTypes) hides it. Verdicts
  // are kept in the order (which rows it shows) and checked again when the
  // row's record or status, or the filter, changes.
  bool OmitRecord(PItemHeader item);

  // ---- Cached updates ----
  //
  // Record counts and numbers follow the rows as they enter and leave the
  // visible set (FilterItemTypes), whatever the change.

  // The buffers ApplyUpdates copies each row into: its new version and its
  // old one (both the record for inserts and deletes). ApplyRecord may
  // change the new buffer; for inserts and updates it is written back into
  // the row unless the row was changed, reverted or removed meanwhile.
  void SetCacheRecBuf(void* new_buf, void* old_buf) override;
  // Some listed change is not applied.
  bool GetUpdatesPending() override;
  // Of the current row; unmodified and urNone without one.
  TItemStatus GetUpdateStatus() override;
  TUpdateRecAction GetUpdateResult() override;
  // The walk over the listed rows: rows already applied are passed over;
  // urSuspended defers a row into a batch that the next other action
  // decides; urRetry applies the open batch (or the row) again; an exception
  // ends the walk with the cursor on its row and passes on. ApplyRecord may
  // revert or remove rows, its own or others: a removed row leaves the list
  // and the count at once, its memory goes after the walk. The cursor comes
  // back to where it was. Nothing without cached updates.
  void ApplyUpdates() override;
  // Applies first when updates are pending; then applied rows become
  // unmodified (deleted ones are removed) and leave the list; failed ones
  // stay, in order.
  void CommitUpdates() override;
  // Reverts every listed row.
  void CancelUpdates() override;
  // Applied but uncommitted rows count as pending again.
  void RestoreUpdates() override;
  // While on, the rows a walk applies are tentative: the transaction they
  // went to the server in may still roll back.
  void SetTentativeApply(bool value) { tentative_apply_ = value; }
  // That transaction committed: its rows stay applied.
  void ConfirmTentativeUpdates();
  // It rolled back, or its session was lost: its rows are pending again.
  void RestoreTentativeUpdates();
  // Reverts the current row: an appended row is removed, an updated one gets
  // its old record back, a deleted one is shown again. Its cache item is
  // found directly, not by a walk over the list.
  void RevertRecord() override;
  // The current row (the next visible one when it is hidden) as it was
  // before its edit.
  void GetOldRecord(void* rec_buf) override;
  // The item holding the row's record from before its first edit, or null.
  PItemHeader GetRollbackItem(PItemHeader item) const;

  // ---- Bookmarks ----
  //
  // A bookmark names its item by address and serial; while that very item
  // is still in use in the same generation of data it is found again, else
  // the bookmark's record number decides.

  void GetBookmark(TRecBookmark* bookmark) override;
  void SetToBookmark(TRecBookmark* bookmark) override;
  bool BookmarkValid(TRecBookmark* bookmark) override;
  int CompareBookmarks(TRecBookmark* a, TRecBookmark* b) override;

  // ---- Filter ----

  // While open, the rows are checked against the new text at once.
  void SetFilterText(const std::string& value) override;
  // Checks every row again and renumbers; EOF when none is visible.
  void FilterUpdated() override;
  void SetFilterItemTypes(TItemTypes value) override;

  // ---- Fetching ----

  // Brings further rows; false when there are none (always here).
  virtual bool Fetch(bool fetch_back);
  // Links the first `used` items of a block from TBlockManager::AllocBlock,
  // filled with records by a fetch, after the last item: numbered on from
  // their predecessor, calculated values filled (UpdateCachedBuffer), then
  // checked against the filter and counted. The rest of the block goes back
  // to the block manager; a block with no item used is returned whole.
  void LinkFetchedItems(PBlockHeader block, int used);
  // Checks the items a fetch added against the filter, from `item` to the
  // end (backward to the front with fetch_back), and counts the visible
  // ones (the count always follows the verdicts; no_count is kept for
  // callers).
  void InitFetchedItems(PItemHeader item, bool no_count, bool fetch_back);
  // OnGetCachedBuffer (record, null) for the items from `from` (null: the
  // first) to `to` (null: the last), when it is set and the records have no
  // calculated area it could write beyond.
  void UpdateCachedBuffer(PItemHeader from, PItemHeader to);

  // ---- Sorting ----

  // Field names separated by "," or ";", each optionally in brackets (then
  // it may hold blanks) or quotes, followed by at most one of ASC / DESC and
  // one of CS / CIS, in either order and any case. While open the columns
  // are parsed and the rows sorted at once. Exceptions: "Invalid
  // IndexFieldNames format!", "Field %s not found"; the columns before the
  // error stay.
  const std::string& GetIndexFieldNames() const { return index_field_names_; }
  virtual void SetIndexFieldNames(const std::string& value);
  const TSortColumns& GetSortColumns() const { return sort_columns_; }
  // Orders the rows by the sort columns (stable). Rows stay where they are
  // in memory; only the order changes. The columns' values are read once
  // per row (text as collation keys), and only types the comparison below
  // does not know, calculated and child columns are compared through
  // CompareFields.
  virtual void SortItems();

  // ---- Comparison ----
  //
  // Negative, 0 or positive. Null sorts before every value.

  // By the sort columns in turn, a descending column negated; calculated
  // columns on copies filled through OnGetCachedBuffer.
  int CompareRecords(void* rec1, void* rec2);
  virtual int CompareFields(void* rec1, void* rec2, const TSortColumn& column);
  virtual int CompareFields(void* rec1, void* rec2, TFieldDesc* field, TLocateExOptions options);
  int CompareFields(void* rec1, void* rec2, TFieldDesc* field) { return CompareFields(rec1, rec2, field, {}); }
  // The value against the field's (non-null) value in rec_buf. The value is
  // in the form TData::GetFieldBuf gives and value_type is the type it
  // reports: zero-terminated text (1, 29) or UTF-16 text (25); dates as a
  // double date-time; dtBCD as a double; bytes (21-23) as a 16-bit length
  // and the bytes; dtVariant as a slot holding a TVariantObject; other types
  // as stored. A text against a field of another type compares the field's
  // text form (format settings). EAssertionFailed "Unknown ValueType = n"
  // for any other type.
  virtual int CompareFieldValue(const void* value, int value_type, TFieldDesc* field, void* rec_buf,
                                TLocateExOptions options);
  // Bytes in order (unsigned), the shorter first on a common prefix. With
  // lxPartialCompare: 0 when the value occurs in the field, else 1; with
  // lxPartialKey: 1 for a value longer than the field, else the field's
  // first value_len bytes decide.
  static int CompareBinValues(const void* value, size_t value_len, const void* field, size_t field_len,
                              TLocateExOptions options);

  // The locale comparers; lxCaseInsensitive picks the case-insensitive form.
  virtual int InternalAnsiStrComp(const char* a, const char* b, TLocateExOptions options);
  virtual int InternalAnsiCompareText(std::string_view a, std::string_view b, TLocateExOptions options);
  // At most a's length in characters of each.
  virtual int InternalWStrLComp(std::u16string_view a, std::u16string_view b, TLocateExOptions options);
  virtual int InternalWStrComp(std::u16string_view a, std::u16string_view b, TLocateExOptions options);
  // With lxPartialCompare 0 when a occurs in b, else 1. With lxPartialKey a
  // is compared with b's prefix of a's length (an empty a: all of b), 1 when
  // b is shorter. The wide form's partial key takes an empty a as equal.
  virtual int CompareStrValues(std::string_view a, std::string_view b, TLocateExOptions options);
  virtual int CompareWideStrValues(std::u16string_view a, std::u16string_view b, TLocateExOptions options);

  // ---- Items ----

  PItemHeader GetFirstItem() const { return order_.Front(); }
  PItemHeader GetLastItem() const { return order_.Back(); }
  // The neighbours of an item of the list (hidden ones included), or null.
  PItemHeader NextItem(PItemHeader item) const;
  PItemHeader PriorItem(PItemHeader item) const;
  PItemHeader GetCurrentItem() const { return current_item_; }
  // The first row of first..last (record numbers) whose item `before` is
  // false for, where it is true for the rows of a prefix of that range
  // (last + 1 when for all); by binary search, the cursor staying where it is.
  int PartitionRecords(int first, int last, const std::function<bool(PItemHeader)>& before) const {
    if (first < 1 || first > last || last > record_count_) return first;
    return static_cast<int>(order_.VisiblePartitionPoint(static_cast<size_t>(first), static_cast<size_t>(last), before));
  }
  TBlockManager& GetBlockMan() { return block_man_; }
  int32_t GetRefreshIteration() const { return refresh_iteration_; }

 protected:
  // No items, BOF and EOF, nothing counted, a new refresh iteration.
  void InitData() override;
  // Releases every record's values, the cache list, the string heap and
  // the blocks, then InitData.
  void FreeData() override;

  // A new item after the last one, not counted yet.
  PItemHeader AppendItem();
  // A new item in front of the cursor (see InsertRecord), not counted yet.
  PItemHeader InsertItem();
  // Takes the item out of the list, releasing its values and memory (after
  // the walk while updates are being applied); the cursor moves off it as
  // RemoveRecord says, and the count follows.
  void RemoveItem(PItemHeader item);
  // Every row released (values, rollback copies, the cache list) with the
  // blocks; the cursor on no row. For a forward-only fetch that replaces
  // the rows it holds.
  void ClearItems();
  // The values of every row and rollback copy (with free_fields), and the
  // cache list; the items and blocks stay.
  void ReleaseRowsAndCache(bool free_fields);
  // The new row of InsertRecord, with the status given: stored, blobs
  // committed, put in order and counted when visible.
  void AddRecord(void* rec_buf, TItemStatus status = isUnmodified);
  // Stores an edited current record, in order when sorting is on.
  void StoreUpdatedRecord(void* rec_buf);
  // Undoes the item's pending change (see RevertRecord); its cache item
  // (holding the rollback copy, or null) is the caller's.
  void RevertItem(PItemHeader item, TCacheItem* cache);
  // After a change of the item's status or record: its verdict is checked
  // again and the count follows.
  void Recount(PItemHeader item);
  // Moves the current item forward (direction > 0) past the records it
  // sorts after, or backward past those it sorts before (found by binary
  // search: the list is in sort order).
  void MoveSortedRecord(int direction);
  void UpdateIndexFields();
  // The cursor onto an item.
  void SetCurrent(PItemHeader item);
  // The item at place current, with its place and (when not negative) its
  // record number known.
  void SetCurrentPlaced(TItemPlace place, int32_t number);
  static void* Rec(PItemHeader item) { return TBlockManager::GetRecordPtr(item); }

  PItemHeader current_item_ = nullptr;
  TCacheItem* first_cache_item_ = nullptr;
  TCacheItem* last_cache_item_ = nullptr;
  TBlockManager block_man_;
  TItemOrder order_;
  TSortColumns sort_columns_;
  std::string index_field_names_;
  int32_t refresh_iteration_ = 0;
  void* new_cache_rec_buf_ = nullptr;
  void* old_cache_rec_buf_ = nullptr;

 private:
  struct ApplyWalk;

  // ---- Cached updates ----
  // DataError while updates are being applied.
  void CheckNotApplying() const;
  void UpdateCachedRecord(void* rec_buf);
  void DeleteCachedRecord();
  void AddCacheItem(std::unique_ptr<TCacheItem> cache);
  // The cache item of the item, or null.
  TCacheItem* FindCacheItem(PItemHeader item) const;
  // Out of the list, and freed (after the walk while applying).
  void DropCacheItem(TCacheItem* cache);
  // The first cache item from `cache` on (Next from it) still in the list.
  static TCacheItem* Listed(TCacheItem* cache);
  void MakeRollback(TCacheItem* cache);
  // Blobs the rollback record shares with the item and that were edited:
  // the rollback record takes their copies from before the edit.
  void TakeBlobRollbacks(TCacheItem* cache);
  // The item gets its record from before the edit back; the rollback goes.
  void RestoreRollback(TCacheItem* cache);
  void FreeRollback(TCacheItem* cache);
  // Frees the item with its values.
  void ReleaseItem(PItemHeader item);
  void WalkCacheItems(ApplyWalk& walk);
  void ApplyItem(TCacheItem* cache, TUpdateRecAction& action);
  void RecordResult(TCacheItem* batch, TCacheItem* cache, TUpdateRecAction action);
  void ReleaseRemoved(ApplyWalk& walk);

  // GetNextRecord (forward) and GetPriorRecord.
  void Step(void* rec_buf, bool forward);
  // The item's place in the order (the cursor's is kept while places stand).
  TItemPlace PlaceOf(PItemHeader item);
  // PlaceOf without a call while the cursor's place is kept.
  TItemPlace KeptPlaceOf(PItemHeader item) {
    const bool kept = item == current_item_ && placed_item_ == item && placed_version_ == order_.PlacesVersion();
    return kept ? placed_ : PlaceOf(item);
  }
  // Every item checked again and counted.
  void RecountAll();
  // Whether the item's status (with cached updates) or the filter hides it, checked now.
  bool Hidden(PItemHeader item);
  void Counted() { record_count_ = static_cast<int32_t>(order_.VisibleCount()); }
  bool PassesFilter(PItemHeader item);
  bool BookmarkedItemLive(const TRecBookmark& bookmark) const;
  bool NeedFreeComplexFields();
  // Unlinks the item; the cursor moves off it.
  void DetachItem(PItemHeader item);
  // SortItems reading each column's values once per row: the places of the
  // items in sort order; false (nothing done) when a column needs CompareFields.
  bool SortByKeys(const std::vector<PItemHeader>& items, std::vector<uint32_t>& order);
  // The record with its calculated values, in buffer.
  void ExpandRecord(void* rec, std::vector<uint8_t>& buffer);
  // CompareRecords from the sort column `from` on, which is calculated.
  int CompareExpandedRecords(void* rec1, void* rec2, size_t from);
  int CompareText(const char* value, TFieldDesc* field, void* rec_buf, TLocateExOptions options);
  int CompareWideText(const char16_t* value, TFieldDesc* field, void* rec_buf, TLocateExOptions options);
  int CompareVariantValue(const void* value, TFieldDesc* field, void* rec_buf, TLocateExOptions options);
  // A non-string field as text in the format settings.
  std::string FieldText(TFieldDesc* field, void* rec_buf);

  // The place of placed_item_ while the order's places are at placed_version_.
  TItemPlace placed_;
  PItemHeader placed_item_ = nullptr;
  uint64_t placed_version_ = 0;
  // The record number of numbered_item_ while the order is at numbered_version_.
  int32_t numbered_no_ = 0;
  PItemHeader numbered_item_ = nullptr;
  uint64_t numbered_version_ = 0;
  // The apply walk under way, or null.
  ApplyWalk* apply_walk_ = nullptr;
  bool tentative_apply_ = false;
  // The cache item of each item in the cached-update list.
  std::unordered_map<PItemHeader, TCacheItem*> cache_of_;
};

}  // namespace dac
