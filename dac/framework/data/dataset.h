// TDataSet: the dataset proper. A descendant supplies records through the
// record-buffer protocol (the operations under "the descendant's side"); the
// base keeps a ring of record buffers around the cursor and builds on it the
// navigation, the states, the edit cycle with its events, fields with their
// calculated and lookup values, filters, bookmarks, and the data sources
// through which links follow the dataset.
//
// The ring: BufferCount buffers (at least 1, as many as the largest
// BufferCount of an attached link) hold consecutive records in dataset
// order, the active one among them; one more buffer is the TempBuffer. The
// descendant's cursor sits on one ring record (or anywhere after
// CursorPosChanged); UpdateCursorPos puts it back on the active record.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/dataset_base.h"
#include "dac/framework/data/index_defs.h"

namespace dac {

class TDataSet;
class TDataSource;
class TDataLink;
class TParams;

// A record buffer, laid out by the descendant.
using TRecordBuffer = uint8_t*;
// BookmarkSize bytes naming a record; empty for none.
using TBookmark = std::vector<uint8_t>;

using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
// The error of an edit, post or delete; the handler picks the action
// (daFail re-raises, daAbort aborts silently, daRetry runs it again).
using TDataSetErrorEvent = std::function<void(TDataSet*, EDatabaseError&, TDataAction&)>;
using TFilterRecordEvent = std::function<void(TDataSet*, bool& accept)>;

class TDataSet : public TDataSetBase {
  DAC_DECLARE_CLASS();

 public:
  explicit TDataSet(TComponent* owner);

  // ---- opening and closing ----
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool GetActive() const override;
  // While the component is being read the value is only remembered; Loaded applies it.
  virtual void SetActive(bool value);
  void Loaded() override;
  TDataSetState GetState() const override { return state_; }
  // EDatabaseError "Cannot perform this operation on a closed dataset".
  void CheckActive() const {
    if (!GetActive()) ClosedError();
  }
  // Closes the dataset instead of refusing while designing or updating.
  void CheckInactive() override;
  // Ends an edit or insert (Post when modified, else Cancel) and posts a key.
  void CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    if (state_ == dsEdit || state_ == dsInsert || state_ == dsSetKey) EndEditForBrowse();
  }
  // The definitions of the open cursor, else of an information-only cursor
  // opened and closed for the purpose (FieldDefs.Update).
  void InitFieldDefs() override;

  // ---- navigation ----
  void First();
  void Last();
  void Next();
  void Prior();
  // The distance actually moved.
  int MoveBy(int distance);
  // Both true for an empty dataset.
  bool GetBOF() const { return bof_; }
  bool GetEOF() const { return eof_; }
  bool IsEmpty() const { return record_count_ == 0; }
  // -1 in the base.
  virtual int GetRecNo() { return -1; }
  virtual void SetRecNo(int /*value*/) {}
  int RecNo() { return GetRecNo(); }
  virtual int GetRecordCount() { return -1; }
  int RecordCount() { return GetRecordCount(); }
  // Whether RecNo and RecordCount are meaningful; false in the base.
  virtual bool IsSequenced() { return false; }
  // Re-reads the ring around the cursor's record (else the next, else the
  // prior, else empty). rmExact: EDatabaseError "Record not found" when the
  // record is gone; rmCenter: the record in the middle of the ring.
  virtual void Resync(TResyncMode mode);
  // Puts the descendant's cursor back on the active record.
  void UpdateCursorPos() {
    if (record_count_ > 0 && current_record_ != active_record_) SetCurrentRecord(active_record_);
  }
  // The descendant's cursor left the ring's records.
  void CursorPosChanged() { current_record_ = -1; }

  // ---- editing ----
  void Edit();
  void Insert();
  void Append();
  virtual void Post();
  virtual void Cancel();
  void Delete();
  void Refresh();
  // Asks the links to write their pending input (EDatabaseError "Dataset not
  // in edit or insert mode" outside edit, insert and set-key).
  void UpdateRecord() {
    if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey) NotEditingError();
    DataEvent(deUpdateRecord, 0);
  }
  bool Modified() const { return modified_; }
  // The update status of the current record; unmodified in the base.
  virtual TUpdateStatus UpdateStatus() { return usUnmodified; }

  // ---- fields ----
  // The fields were made from the definitions at open (none existed before).
  bool DefaultFields() const { return default_fields_; }
  int FieldCount() const { return Fields().Count(); }
  Variant GetFieldValues(const std::string& names) { return Fields().GetValues(names); }
  void SetFieldValues(const std::string& names, const Variant& values) { Fields().SetValues(names, values); }
  bool AutoCalcFields() const { return auto_calc_fields_; }
  void SetAutoCalcFields(bool value) { auto_calc_fields_ = value; }
  // Bytes of the calculated area: per calculated or lookup field, at its
  // Offset, one byte (non-zero: has a value) and then its DataSize bytes.
  int CalcFieldsSize() const { return calc_fields_size_; }
  bool ObjectView() const { return object_view_; }
  void SetObjectView(bool value);
  bool SparseArrays() const { return sparse_arrays_; }
  virtual void SetSparseArrays(bool value);
  // The datasets of the dataset fields.
  std::vector<TDataSet*> NestedDataSets() const;

  // ---- field data ----
  // The value in another state, through a temporary switch to that state;
  // Null for fields other than data and internal-calculated ones.
  Variant GetStateFieldValue(TDataSetState state, TField* field) override;
  // Data fields only.
  void SetStateFieldValue(TDataSetState state, TField* field, const Variant& value) override;
  // "Operation not supported" in the base.
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  virtual void CloseBlob(TField* /*field*/) {}
  // Reaches every attached source (and its links) unless controls are
  // disabled, a temporary state is on, or the dataset reads blocks. A field
  // change marks the dataset modified and recalculates the active record.
  void DataEvent(TDataEvent event, intptr_t info) override;

  // ---- searching and filters (the base evaluates no filter) ----
  // "Operation not supported" in the base.
  virtual bool Locate(const std::string& key_fields, const Variant& key_values, TLocateOptions options);
  const std::string& Filter() const { return filter_text_; }
  virtual void SetFilterText(const std::string& text);
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool value);
  TFilterOptions FilterOptions() const { return filter_options_; }
  virtual void SetFilterOptions(TFilterOptions options);
  const TFilterRecordEvent& OnFilterRecord() const { return on_filter_record_; }
  virtual void SetOnFilterRecord(TFilterRecordEvent handler);
  // The next record (go_forward) or prior one that the filter accepts,
  // from the first or last with restart; false in the base.
  virtual bool FindRecord(bool /*restart*/, bool /*go_forward*/) { return false; }
  bool FindFirst() { return FindRecord(true, true); }
  bool FindLast() { return FindRecord(true, false); }
  bool FindNext() { return FindRecord(false, true); }
  bool FindPrior() { return FindRecord(false, false); }
  bool Found() const { return found_; }

  // ---- bookmarks ----
  // Empty when the active record has none (empty, inserting).
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  static void FreeBookmark(TBookmark& bookmark) { bookmark.clear(); }
  // False in the base.
  virtual bool BookmarkValid(const TBookmark& /*bookmark*/) { return false; }
  // 0 in the base.
  virtual int CompareBookmarks(const TBookmark& /*a*/, const TBookmark& /*b*/) { return 0; }
  int BookmarkSize() const { return bookmark_size_; }

  // ---- block reading ----
  int BlockReadSize() const { return block_read_size_; }
  // n > 0: the block-read state, in which Next fills the active buffer and
  // links hear nothing; 0: back to browse with the ring read again.
  virtual void SetBlockReadSize(int n);

  // ---- controls ----
  // Counted; the last EnableControls sends one dataset-change event (and
  // update-state first when the state changed meanwhile).
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ > 0; }

  // ---- master and detail ----
  // The source this dataset follows as a detail; none in the base.
  virtual TDataSource* GetDataSource() const { return nullptr; }
  // The linked master and detail fields; both cleared in the base.
  virtual void GetDetailLinkFields(std::vector<TField*>& master_fields, std::vector<TField*>& detail_fields);

  // ---- provider operations ----
  virtual TParams* PSGetParams() { return nullptr; }
  virtual void PSSetParams(TParams* /*params*/) {}
  virtual void PSSetCommandText(const std::string& /*text*/) {}
  virtual std::string PSGetQuoteChar() { return ""; }
  virtual bool PSIsSQLBased() { return false; }
  virtual bool PSIsSQLSupported() { return false; }
  // "Operation not supported" in the base.
  virtual void PSExecute();
  virtual void PSReset() {}
  virtual bool PSInTransaction() { return false; }
  virtual void PSStartTransaction() {}
  virtual void PSEndTransaction(bool /*commit*/) {}
  virtual std::string PSGetTableName() { return ""; }
  // The fields flagged pfInKey, joined by ";".
  virtual std::string PSGetKeyFields();
  // The order of the rows as a new index definition; none in the base.
  virtual std::unique_ptr<TIndexDef> PSGetDefaultOrder();
  // Rows affected; a dataset of the rows goes to result_set when given.
  // "Operation not supported" in the base.
  virtual int PSExecuteStatement(const std::string& sql, TParams* params, TDataSet** result_set = nullptr);
  // True when the change was applied here; false in the base.
  virtual bool PSUpdateRecord(TUpdateKind /*kind*/, TDataSet* /*delta*/) { return false; }

  // ---- events ----
  void SetBeforeOpen(TDataSetNotifyEvent handler) { before_open_ = std::move(handler); }
  void SetAfterOpen(TDataSetNotifyEvent handler) { after_open_ = std::move(handler); }
  void SetBeforeClose(TDataSetNotifyEvent handler) { before_close_ = std::move(handler); }
  void SetAfterClose(TDataSetNotifyEvent handler) { after_close_ = std::move(handler); }
  void SetBeforeInsert(TDataSetNotifyEvent handler) { before_insert_ = std::move(handler); }
  void SetAfterInsert(TDataSetNotifyEvent handler) { after_insert_ = std::move(handler); }
  void SetBeforeEdit(TDataSetNotifyEvent handler) { before_edit_ = std::move(handler); }
  void SetAfterEdit(TDataSetNotifyEvent handler) { after_edit_ = std::move(handler); }
  void SetBeforePost(TDataSetNotifyEvent handler) { before_post_ = std::move(handler); }
  void SetAfterPost(TDataSetNotifyEvent handler) { after_post_ = std::move(handler); }
  void SetBeforeCancel(TDataSetNotifyEvent handler) { before_cancel_ = std::move(handler); }
  void SetAfterCancel(TDataSetNotifyEvent handler) { after_cancel_ = std::move(handler); }
  void SetBeforeDelete(TDataSetNotifyEvent handler) { before_delete_ = std::move(handler); }
  void SetAfterDelete(TDataSetNotifyEvent handler) { after_delete_ = std::move(handler); }
  void SetBeforeScroll(TDataSetNotifyEvent handler) { before_scroll_ = std::move(handler); }
  void SetAfterScroll(TDataSetNotifyEvent handler) { after_scroll_ = std::move(handler); }
  void SetBeforeRefresh(TDataSetNotifyEvent handler) { before_refresh_ = std::move(handler); }
  void SetAfterRefresh(TDataSetNotifyEvent handler) { after_refresh_ = std::move(handler); }
  void SetOnCalcFields(TDataSetNotifyEvent handler) { on_calc_fields_ = std::move(handler); }
  void SetOnNewRecord(TDataSetNotifyEvent handler) { on_new_record_ = std::move(handler); }
  void SetOnEditError(TDataSetErrorEvent handler) { on_edit_error_ = std::move(handler); }
  void SetOnPostError(TDataSetErrorEvent handler) { on_post_error_ = std::move(handler); }
  void SetOnDeleteError(TDataSetErrorEvent handler) { on_delete_error_ = std::move(handler); }

 protected:
  // ---- the descendant's side: buffers, reading, positioning, writing ----
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  // Frees and clears the pointer.
  virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
  // Reads the current (gmCurrent), next or prior record into buffer and
  // leaves the cursor on it; grBOF and grEOF past the ends. do_check: the
  // descendant may raise its own error instead of grError.
  virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) = 0;
  virtual int GetRecordSize() { return 0; }
  virtual void GetBookmarkData(TRecordBuffer buffer, void* data) = 0;
  virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
  virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalGotoBookmark(const void* bookmark) = 0;
  // The cursor onto the buffer's record (an inserted buffer: where it goes).
  virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
  virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
  virtual void InternalAddRecord(const void* /*buffer*/, bool /*append*/) {}
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalCancel() {}
  virtual void InternalDelete() = 0;
  virtual void InternalRefresh() {}
  // The base checks required fields: the first required, writable data
  // field that is null gets the focus and EDatabaseError "Field '%s' must
  // have a value".
  virtual void InternalPost() {
    if (Fields().AnyRequired()) CheckRequiredFields();
  }
  // Inside a catch handler: hands the exception to the application's hook.
  virtual void InternalHandleException();
  // The calculated area of buffer back to null; nothing in the base.
  virtual void ClearCalcFields(TRecordBuffer /*buffer*/) {}
  // InternalInitRecord, ClearCalcFields, flag inserted.
  virtual void InitRecord(TRecordBuffer buffer) {
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, bfInserted);
  }
  // After a post, in a ring of one record: true when reading the cursor's
  // record back would give exactly what the posted buffer holds, which the
  // descendant has then completed as such a read completes a buffer (record
  // info, bookmark). Post's resync then keeps the buffer. False in the base.
  virtual bool KeepPostedRecord(TRecordBuffer /*buffer*/) { return false; }

  // ---- steps that descendants extend ----
  // info_query: InternalInitFieldDefs only; else InternalOpen.
  virtual void OpenCursor(bool info_query);
  // InternalClose; the ring is freed.
  virtual void CloseCursor();
  virtual void BlockReadNext();
  // Binds fields to their definitions by full name ("Field %s not found"),
  // places the calculated fields in the calculated area; false unbinds.
  virtual void BindFields(bool binding);
  // Type mismatch beyond integer/auto-increment and string/fixed-char:
  // "Type mismatch for field '%s', expecting: %s actual: %s".
  virtual void CheckFieldCompatibility(TField* field, TFieldDef* def);

  virtual void DoBeforeOpen() { Run(before_open_); }
  virtual void DoAfterOpen() { Run(after_open_); }
  virtual void DoBeforeClose() { Run(before_close_); }
  virtual void DoAfterClose() { Run(after_close_); }
  virtual void DoBeforeInsert() { Run(before_insert_); }
  virtual void DoAfterInsert() { Run(after_insert_); }
  virtual void DoBeforeEdit() { Run(before_edit_); }
  virtual void DoAfterEdit() { Run(after_edit_); }
  virtual void DoBeforePost() { Run(before_post_); }
  virtual void DoAfterPost() { Run(after_post_); }
  virtual void DoBeforeCancel() { Run(before_cancel_); }
  virtual void DoAfterCancel() { Run(after_cancel_); }
  virtual void DoBeforeDelete() { Run(before_delete_); }
  virtual void DoAfterDelete() { Run(after_delete_); }
  virtual void DoBeforeScroll() { Run(before_scroll_); }
  virtual void DoAfterScroll() { Run(after_scroll_); }
  virtual void DoBeforeRefresh() { Run(before_refresh_); }
  virtual void DoAfterRefresh() { Run(after_refresh_); }
  virtual void DoOnCalcFields() { Run(on_calc_fields_); }
  virtual void DoOnNewRecord() { Run(on_new_record_); }

  // ---- for descendants ----
  // Fields from the definitions (children flattened unless ObjectView).
  void CreateFields();
  void DestroyFields() { Fields().Clear(); }
  // Calculated fields of buffer: the calculate-fields state on it,
  // ClearCalcFields, the lookup values, OnCalcFields. Nothing without
  // calculated or lookup fields.
  void CalculateFields(TRecordBuffer buffer);
  // A change clears Modified and sends update-state.
  void SetState(TDataSetState state) {
    if (state == state_) return;
    state_ = state;
    modified_ = false;
    DataEvent(deUpdateState, 0);
  }
  // A silent state switch: no events reach the sources meanwhile.
  TDataSetState SetTempState(TDataSetState state);
  void RestoreState(TDataSetState state);
  // A temporary state for its lifetime, restored on every way out.
  class TTempState {
   public:
    TTempState(TDataSet& dataset, TDataSetState state) : dataset_(dataset), saved_(dataset.SetTempState(state)) {}
    ~TTempState() { dataset_.RestoreState(saved_); }
    TTempState(const TTempState&) = delete;
    TTempState& operator=(const TTempState&) = delete;

   private:
    TDataSet& dataset_;
    TDataSetState saved_;
  };
  void SetModified(bool value) { modified_ = value; }
  void SetFound(bool value) { found_ = value; }
  void SetBookmarkSize(int size) { bookmark_size_ = size; }

  // The ring (see above). ActiveBuffer is null while the ring is freed.
  TRecordBuffer ActiveBuffer() const { return buffers_.empty() ? nullptr : buffers_[active_record_]; }
  TRecordBuffer TempBuffer() const { return buffers_.empty() ? nullptr : buffers_.back(); }
  // The buffer being calculated, null outside CalculateFields.
  TRecordBuffer CalcBuffer() const { return calc_buffer_; }
  TRecordBuffer Buffer(int index) const { return buffers_[static_cast<size_t>(index)]; }
  int ActiveRecord() const { return active_record_; }
  // Records in the ring.
  int RingRecordCount() const { return record_count_; }

  void BeforeDestruction() override;

 private:
  friend class TDataSource;
  friend class TDataLink;

  // lifecycle (dataset.cpp)
  [[noreturn]] void ClosedError() const;
  void OpenDataSet();
  void CloseDataSet();
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  void NotifySources(TDataEvent event, intptr_t info);
  // The sources hear the event unless the controls are disabled or a
  // temporary state or a block read runs (kept out of DataEvent, whose usual
  // way then needs no frame).
  [[gnu::noinline]] void NotifyEnabledSources(TDataEvent event, intptr_t info);
  // DataEvent's other ways: a field's change with calculated fields (data:
  // a data or internal field) or OnChange to run; a property or layout change.
  [[gnu::noinline]] void RunFieldChange(TField* field, bool data);
  [[gnu::noinline]] void RunDataEvent(TDataEvent event, intptr_t info);
  void UpdateCalcFields();
  void Run(const TDataSetNotifyEvent& handler) {
    if (handler) handler(this);
  }

  // ring (dataset_ring.cpp)
  int WantedBufferCount() const;
  void UpdateBufferCount();
  void AllocateRing(int count);
  void FreeRing();
  void ResizeRing(int count);
  void ClearBuffers() {
    record_count_ = 0;
    active_record_ = 0;
    current_record_ = -1;
    bof_ = true;
    eof_ = true;
  }
  void MoveBuffer(int from, int to);
  void SetCurrentRecord(int index);
  // Reads the record of mode into the free buffer after the ring's records;
  // false when there is none. Either way the cursor may have moved.
  bool ReadSpare(TGetMode mode, bool do_check);
  // The record read into the first buffer is the ring's only one.
  void ActivateBuffers();
  bool ReadNext();
  bool ReadPrior();
  // First (at_first) or Last: the ring read again from that end.
  void ReloadFromEnd(bool at_first);
  void ReadNextRecords() {
    while (record_count_ < buffer_count_ && ReadNext()) {
    }
  }
  void ReadPriorRecords() {
    while (record_count_ < buffer_count_ && ReadPrior()) {
    }
  }
  // Runs read, then sends event (also when read fails, before the error
  // goes on), with the places the ring's records moved when send_shift.
  void ReadAndNotify(const std::function<void()>& read, TDataEvent event, bool send_shift);
  // Post's resync may keep the posted buffer (KeepPostedRecord).
  bool KeepsPostedRecord(TResyncMode mode);
  // Resync's reading (apart: keeping the posted buffer needs no frame).
  [[gnu::noinline]] void ReadRing(TResyncMode mode);

  // editing (dataset_edit_cycle.cpp)
  [[noreturn]] void NotEditingError();
  // CheckBrowseMode's way out of edit, insert and set-key.
  void EndEditForBrowse();
  void CheckCanModify();
  void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& on_error);
  void BeginInsertAppend();
  // The active record's bookmark an insert returns to, held on the stack
  // (empty when there is none): one is taken for every insert.
  struct TBackMark {
    alignas(8) uint8_t inline_data[32];
    std::unique_ptr<uint8_t[]> heap;
    const uint8_t* data = nullptr;
    bool empty() const { return data == nullptr; }
  };
  void TakeBackMark(TBackMark& mark);
  // The active record is one the cursor can find again.
  bool ActiveBookmarked() {
    const bool has_records = state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert || state_ == dsBlockRead;
    // A ring with records has its buffers.
    return bookmark_size_ > 0 && has_records && !IsEmpty() &&
           GetBookmarkFlag(buffers_[static_cast<size_t>(active_record_)]) == bfCurrent;
  }
  // Makes room and starts the insert; a failure takes the new record out again.
  // (A template for the two callers in dataset_edit_cycle.cpp: no wrapper per insert.)
  template <typename MakeRoom>
  void EndInsertAppend(const TBackMark& back, const MakeRoom& make_room);
  void AbandonInsert(const TBackMark& back);
  // Set-key goes back to browse; true when an edit or insert is to end.
  bool EndingEdit();
  void CheckRequiredFields();

  // fields (dataset_fields.cpp)
  void CreateFlatFields(TFieldDefs& defs);
  void BindFieldList(TFields& fields, bool binding);
  void CalcLookupValues();
  void ReadFromFirst();

  TDataSetState state_ = dsInactive;
  bool streamed_active_ = false;
  bool default_fields_ = false;
  bool modified_ = false;
  bool found_ = false;
  bool bof_ = true;
  bool eof_ = true;

  // the ring: buffer_count_ ring buffers, then the temp buffer
  std::vector<TRecordBuffer> buffers_;
  int buffer_count_ = 0;
  int record_count_ = 0;
  int active_record_ = 0;
  int current_record_ = -1;
  // Places the ring's records moved during the running read.
  int ring_shift_ = 0;
  // The resync about to run is Post's (see KeepPostedRecord).
  bool resync_after_post_ = false;
  int bookmark_size_ = 0;
  TRecordBuffer calc_buffer_ = nullptr;

  int calc_fields_size_ = 0;
  bool internal_calc_fields_ = false;
  // Either of the two: the fields bound include calculated ones (BindFields).
  bool computes_fields_ = false;
  bool calculating_lookups_ = false;
  bool auto_calc_fields_ = true;
  bool object_view_ = false;
  bool sparse_arrays_ = false;

  std::string filter_text_;
  bool filtered_ = false;
  TFilterOptions filter_options_;
  TFilterRecordEvent on_filter_record_;
  int block_read_size_ = 0;

  int disable_count_ = 0;
  int temp_state_depth_ = 0;
  TDataSetState disable_state_ = dsInactive;
  TDataEvent enable_event_ = deDataSetChange;
  std::vector<TDataSource*> data_sources_;

  TDataSetNotifyEvent before_open_, after_open_, before_close_, after_close_;
  TDataSetNotifyEvent before_insert_, after_insert_, before_edit_, after_edit_;
  TDataSetNotifyEvent before_post_, after_post_, before_cancel_, after_cancel_;
  TDataSetNotifyEvent before_delete_, after_delete_, before_scroll_, after_scroll_;
  TDataSetNotifyEvent before_refresh_, after_refresh_, on_calc_fields_, on_new_record_;
  TDataSetErrorEvent on_edit_error_, on_post_error_, on_delete_error_;
};

}  // namespace dac
