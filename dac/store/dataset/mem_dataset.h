// TMemDataSet: the dataset over a record set (normally a TMemData). It lays
// out the framework's record buffers around the record set's records, makes
// field definitions from the field descriptors, reads and writes fields,
// navigates, edits with blobs, filters, keeps calculated and lookup values
// in the record set (as descriptors of their own), locates with a binary
// search over sorted columns, drives cached updates, exports the rows as
// rowset XML and hands out blob streams. It never talks to a server: the
// data-access layer derives from it and overrides PerformAppend,
// PerformUpdate and PerformDelete.
//
// Construction is two-phase (MakeComponent): Init runs the framework's step
// and then CreateIRecordSet, so a descendant's own Init finds the record set.
// The dataset frees the record set attached last when it is destroyed.
//
// Record buffer (RecBufSize bytes through Marshal):
//   record data      the record set's RecordSize bytes
//   calculated data  its CalcRecordSize bytes (none with CacheCalcFields)
//   record info      7 bytes at RecInfoOfs: RecordNumber int32, UpdateStatus,
//                    BookmarkFlag, RefComplexFields (1: the buffer owns the
//                    blob, variant and heap values it refers to)
//   bookmark         sizeof(TRecBookmark) bytes at BookmarkOfs
// A buffer read by GetRecord refers to the row's values without owning them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dac/framework/data/dataset.h"
#include "dac/store/record/data.h"
#include "dac/store/record/record_set_types.h"

namespace dac {

class TBlob;
class TBlobField;
class TBlobStream;
class TMemData;
class XmlTextWriter;

// The record set's data type to a field type and back (38 standard field
// types; other codes give dtUnknown). An unknown data type fails the
// assertion "Unknown data type" in GetFieldType.
TFieldType GetFieldType(uint16_t data_type);
uint16_t GetDataType(TFieldType field_type);

// Process-wide switches. The first sends a dataset-change event after an
// open (default true); the second makes a failing update record handler
// count the record as failed without raising "Update failed" (default false).
extern bool SendDataSetChangeEventAfterOpen;
extern bool DoNotRaiseExcetionOnUaFail;

// The update action a handler answers to run the default apply.
constexpr TUpdateAction uaDefault = static_cast<TUpdateAction>(10);

using TUpdateRecordEvent = std::function<void(TDataSet*, TUpdateKind, TUpdateAction&)>;
using TUpdateErrorEvent = std::function<void(TDataSet*, EDatabaseError&, TUpdateKind, TUpdateAction&)>;

class TMemDataSet : public TDataSet {
  DAC_DECLARE_CLASS();

 public:
  explicit TMemDataSet(TComponent* owner);

  // Runs the framework's step, then CreateIRecordSet.
  void Init() override;

  // ---- record set and preparation ----
  TData* Data() const { return record_set_; }
  // When not prepared: the record set's Prepare, then CreateFieldDefs.
  virtual void Prepare();
  // Closes, unprepares the record set and marks the definitions out of date.
  virtual void UnPrepare();
  bool GetPrepared() const;
  void SetPrepared(bool value);
  // "DataSet is not prepared".
  void CheckPrepared() const;

  // ---- settings ----
  bool GetCachedUpdates() const { return cached_updates_; }
  // Only while closed.
  void SetCachedUpdates(bool value);
  bool GetLocalUpdate() const { return local_update_; }
  void SetLocalUpdate(bool value) { local_update_ = value; }
  bool GetRequiredFields() const { return required_fields_; }
  void SetRequiredFields(bool value) { required_fields_ = value; }
  bool GetNumberRange() const { return number_range_; }
  void SetNumberRange(bool value) { number_range_ = value; }
  bool GetCacheCalcFields() const { return cache_calc_fields_; }
  void SetCacheCalcFields(bool value) { cache_calc_fields_ = value; }
  // Unprepares, stores and forwards the value to the record set.
  void SetSparseArrays(bool value) override;
  const std::string& GetIndexFieldNames() const { return index_field_names_; }
  // The record set sorts at once while open; the current record stays.
  void SetIndexFieldNames(const std::string& names);

  // ---- field descriptors ----
  // Null for a field that has none (also after a reopen with fewer columns).
  virtual TFieldDesc* GetFieldDesc(TField* field);
  // Exception "Field %s not found" for a field without a descriptor.
  int GetFieldDescNo(TField* field);

  // ---- navigation and records ----
  int GetRecordCount() override;
  int GetRecNo() override;
  void SetRecNo(int value) override;
  bool IsSequenced() override { return true; }
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  void SetBlockReadSize(int n) override;
  void Cancel() override;
  TUpdateStatus UpdateStatus() override;
  // The buffer the current state reads fields from (see GetFieldData).
  bool GetActiveRecBuf(TRecordBuffer& buffer);
  // The current row's values before its edit, in the old-record buffer.
  TRecordBuffer GetOldRecord();

  // ---- field data ----
  bool GetFieldData(TField* field, void* buffer) override;
  using TDataSet::GetFieldData;
  bool GetFieldData(TField* field, void* buffer, bool native_format) override;
  void SetFieldData(TField* field, const void* buffer) override;
  void SetFieldData(TField* field, const void* buffer, bool native_format) override;
  void DataConvert(TField* field, const void* source, void* dest, bool to_native) override;
  Variant GetStateFieldValue(TDataSetState state, TField* field) override;

  // ---- locating ----
  bool Locate(const std::string& key_fields, const Variant& key_values, TLocateOptions options) override;
  bool Locate(const std::vector<TField*>& key_fields, const Variant& key_values, TLocateOptions options);
  bool LocateEx(const std::string& key_fields, const Variant& key_values, TLocateExOptions options);
  bool LocateEx(const std::vector<TField*>& key_fields, const Variant& key_values, TLocateExOptions options);
  // Null when no record holds the keys; the current record stays.
  Variant Lookup(const std::string& key_fields, const Variant& key_values, const std::string& result_fields) override;
  // The next (prior) record the filter accepts, from the first (last) with restart.
  bool FindRecord(bool restart, bool go_forward) override;

  // ---- filters ----
  void SetFiltered(bool value) override;
  void SetFilterText(const std::string& text) override;
  void SetFilterOptions(TFilterOptions options) override;
  void SetOnFilterRecord(TFilterRecordEvent handler) override;

  // ---- deferred post and cached updates ----
  // Writes the edited record through while the edit goes on; nothing with cached updates.
  void DeferredPost();
  virtual void ApplyUpdates();
  void CommitUpdates();
  void CancelUpdates();
  void RestoreUpdates();
  void RevertRecord();
  // The current record's apply result; a change not applied yet reads as applied.
  TUpdateAction UpdateResult();
  bool UpdatesPending();
  // "Not in cached update mode" outside cached updates.
  TUpdateRecordTypes GetUpdateRecordTypes();
  void SetUpdateRecordTypes(TUpdateRecordTypes value);
  void SetOnUpdateRecord(TUpdateRecordEvent handler) { on_update_record_ = std::move(handler); }
  void SetOnUpdateError(TUpdateErrorEvent handler) { on_update_error_ = std::move(handler); }
  // The apply state: true while cached updates are applied or committed;
  // the record's new and old values are then in these buffers.
  bool GetInCacheProcessing() const { return in_cache_processing_; }
  TRecordBuffer GetNewCacheRecBuf() const { return new_cache_rec_buf_; }
  TRecordBuffer GetOldCacheRecBuf() const { return old_cache_rec_buf_; }
  // After DeferredPost: the record's values as they were posted.
  bool GetInDeferredPost() const { return in_deferred_post_; }
  TRecordBuffer GetOldDeferredPostBuf() const { return old_deferred_post_buf_; }

  // ---- blobs ----
  // A TBlobStream over a blob field of the current record, owned by the caller.
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  // The blob of the current record; the caller gets no reference of its own.
  TBlob* GetBlob(const std::string& field_name);
  TBlob* GetBlob(TField* field);
  // Replaces the current record's blob; true when it is of the same class.
  bool SetBlob(TField* field, TBlob* blob);

  // ---- XML export ----
  // Replaces the file only once the whole document is written.
  void SaveToXML(const std::string& file_name);
  void SaveToXML(TStream& stream);

  // ---- buffers shared with the data-access layer ----
  // Releases what the buffer owns (blobs with with_blobs) and clears its flag.
  void FreeRefComplexFields(TRecordBuffer buffer, bool with_blobs = true);
  // Releases what the temporary buffer owns.
  void FreeRefBuffers();

 protected:
  friend class TBlobStream;
  friend class TMemDSUtils;

  // ---- the operations this class adds, in slot order ----
  // A TMemData handed to SetIRecordSet.
  virtual void CreateIRecordSet();
  // Stores the record set (not freeing the previous one) and wires its callbacks.
  virtual void SetIRecordSet(TData* value);
  virtual void DataReopen();
  virtual void CreateFieldDefs();
  // The name of an array element's definition: the index.
  virtual std::string GetObjectFieldDefName(TFieldDef* parent, int index, TObjectType* type);
  virtual int GetFielDefSize(TFieldType type, TFieldDesc* desc);
  virtual TFieldType GetFieldType(uint16_t data_type);
  virtual TFieldType GetFieldType(TFieldDesc* desc);
  // The range of an integer or float definition's field from its descriptor.
  virtual void SetNumberRange(TFieldDef* def);
  virtual void InternalDeferredPost();
  virtual void PerformAppend() {}
  virtual void PerformDelete() {}
  virtual void PerformUpdate() {}
  virtual void SetDefaultExpressionValue(TField* field);
  // A key value in the native form the record set compares (see
  // TMemData::CompareFieldValue), in a buffer from Marshal::AllocHGlobal
  // that the caller frees; none for Empty or Null. EConvertError "Cannot
  // convert type" for a value the descriptor's type cannot take.
  virtual void CopyFieldValue(const Variant& value, void*& buffer, int& value_type, TFieldDesc* desc,
                              bool use_field_type);
  virtual bool BatchUpdate() { return false; }
  virtual bool CanFlushBatch() { return false; }
  // A search found nothing in the rows read: true when more rows were
  // read (appended after them) for it to go on in. The record set here
  // holds all its rows; a dataset that reads them on demand reads on.
  virtual bool FetchMoreRows() { return false; }
  // Fails the assertion "Should be overridden".
  virtual void FlushBatch();
  // The rowset XML of one field: the data type attributes, the column
  // attributes (both on the element the writer has open; descendants write
  // theirs after calling these) and a row's value as UTF-8 text.
  virtual void WriteFieldXMLDataType(TField* field, TFieldDesc* desc, const std::string& alias, XmlTextWriter& writer);
  virtual void WriteFieldXMLAttributeType(TField* field, TFieldDesc* desc, const std::string& alias,
                                          XmlTextWriter& writer);
  virtual std::string GetFieldXMLValue(TField* field, TFieldDesc* desc);
  // True when a descendant's GetFieldXMLValue makes values of its own: the
  // export then asks it for every value, none taken from the record.
  virtual bool WritesOwnXMLValues() const { return false; }

  // ---- the framework's record-buffer protocol ----
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) override;
  int GetRecordSize() override;
  void GetBookmarkData(TRecordBuffer buffer, void* data) override;
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override;
  void InternalInitFieldDefs() override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  void InternalInitRecord(TRecordBuffer buffer) override;
  void InternalAddRecord(const void* buffer, bool append) override;
  void InternalEdit() override;
  void InternalInsert() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  void InternalPost() override;
  void ClearCalcFields(TRecordBuffer buffer) override;
  void InitRecord(TRecordBuffer buffer) override;
  bool KeepPostedRecord(TRecordBuffer buffer) override;
  void OpenCursor(bool info_query) override;
  void CloseCursor() override;
  void CheckFieldCompatibility(TField* field, TFieldDef* def) override;
  void DoAfterOpen() override;
  void DoOnNewRecord() override;
  void AssignTo(TPersistent* dest) const override;
  // Closes, unprepares and frees the record set.
  void BeforeDestruction() override;

  // ---- for descendants ----
  // The export's way to a scalar field's value in the record (see mem_dataset_xml.cpp).
  const uint8_t* NativeSlot(TField* field, TFieldDesc* desc, const TMetaClass& type, TRecordBuffer& record);
  bool ReadNativeValue(TField* field, TFieldDesc* desc, const TMetaClass& type, void* dest);
  // The record set as a TMemData, or null when it is none.
  TMemData* MemData() const { return mem_data_; }
  // "Not in cached update mode".
  void CheckCachedUpdateMode() const;
  // The record set's callbacks: a change reaching the server, one cached record applied.
  void DoPerformAppend();
  void DoPerformUpdate();
  void DoPerformDelete();
  void DoApplyRecord(TUpdateRecKind kind, TUpdateRecAction& action, bool last_item);
  // Descriptors of the calculated and lookup fields, and their values.
  void DoGetCachedFields();
  void DoGetCachedBuffer(void* dest, void* source);
  bool LocateRecord(const std::string& key_fields, const Variant& key_values, TLocateExOptions options,
                    bool save_position);
  bool LocateRecord(const std::vector<TField*>& key_fields, const Variant& key_values, TLocateExOptions options,
                    bool save_position);
  bool InternalLocateRecord(std::vector<TFieldDesc*> keys, const Variant& key_values, TLocateExOptions options,
                            bool save_position);
  TBlob* InternalGetBlob(TFieldDesc* desc);
  bool InternalSetBlob(TFieldDesc* desc, TBlob* blob);
  void ActivateFilters();
  void DeactivateFilters();

  // Record info of a buffer.
  int32_t RecordNumberOf(TRecordBuffer buffer) const;
  uint8_t UpdateStatusOf(TRecordBuffer buffer) const;
  bool OwnsComplexFields(TRecordBuffer buffer) const { return buffer[rec_info_ofs_ + kRefComplexFields] != 0; }
  void SetOwnsComplexFields(TRecordBuffer buffer, bool value) {
    buffer[rec_info_ofs_ + kRefComplexFields] = value ? 1 : 0;
  }
  // Where RefComplexFields lies in the record info.
  static constexpr int kRefComplexFields = 6;
  int32_t RecInfoOfs() const { return rec_info_ofs_; }
  int32_t BookmarkOfs() const { return bookmark_ofs_; }
  int32_t RecBufSize() const { return rec_buf_size_; }
  TRecordBuffer OldRecBuf() const { return old_rec_buf_; }

  TData* record_set_ = nullptr;  // FIRecordSet
  TMemData* mem_data_ = nullptr;  // the same, when it is a TMemData
  TRecordBuffer xml_record_ = nullptr;  // the row WriteXml is writing, while it writes it
  TRecordBuffer old_rec_buf_ = nullptr;
  TRecordBuffer filter_buffer_ = nullptr;
  bool cached_updates_ = false;
  bool local_update_ = false;
  bool in_inserting_ = false;
  bool in_editing_ = false;
  std::string index_field_names_;
  TUpdateRecordEvent on_update_record_;
  TUpdateErrorEvent on_update_error_;
  // Each calculated or lookup field with its descriptor's number.
  std::vector<std::pair<TField*, uint16_t>> calc_fields_mapping_;
  int32_t bookmark_ofs_ = 0;
  int32_t rec_info_ofs_ = 0;
  int32_t rec_buf_size_ = 0;
  bool in_cache_processing_ = false;
  TRecordBuffer new_cache_rec_buf_ = nullptr;
  TRecordBuffer old_cache_rec_buf_ = nullptr;
  bool in_deferred_post_ = false;
  TRecordBuffer old_deferred_post_buf_ = nullptr;
  bool required_fields_ = true;
  bool number_range_ = false;
  bool cache_calc_fields_ = false;

 private:
  // Restores the dataset's Modified flag on every way out.
  class KeepModified {
   public:
    explicit KeepModified(TMemDataSet& dataset) : dataset_(dataset), saved_(dataset.Modified()) {}
    ~KeepModified() { dataset_.SetModified(saved_); }
    KeepModified(const KeepModified&) = delete;
    KeepModified& operator=(const KeepModified&) = delete;

   private:
    TMemDataSet& dataset_;
    bool saved_;
  };

  // ---- opening (mem_dataset.cpp) ----
  // The assertion "FIRecordSet must be setted to this time" without a record set.
  void CheckRecordSet() const;
  void CreateChildDefs(TFieldDef* parent, TObjectType* type, int& next_field_no);
  bool FieldDefsStale() const;
  void SortRecordSet();
  void CopyObjectTypeNames(TFields& fields);

  // ---- field data (mem_dataset_field_data.cpp) ----
  int CalcFieldNo(TField* field);
  // How field's value may go straight into the active buffer, else null.
  struct TDirectSlot;
  const TDirectSlot* DirectSlot(TField* field);
  // Makes the slots again when the record set's rows were laid out anew
  // since, and says so.
  [[gnu::noinline]] bool DirectSlotsStale();
  // SetFieldData's ways for a value no slot takes as it is.
  [[gnu::noinline]] void SetFieldDataOnGeneralWay(TField* field, const void* buffer);
  // A text written directly (or, empty, the general way), with its event.
  [[gnu::noinline]] void PutDirectText(TField* field, const char* text, TRecordBuffer record,
                                       const TDirectSlot& direct);
  static bool PutDirectDateTime(uint8_t* slot, DateTime value);
  // SetFieldData of a value not in the native form.
  [[gnu::noinline]] void SetForeignFieldData(TField* field, const void* buffer);
  [[gnu::noinline]] void SetForeignOnGeneralWay(TField* field, const void* buffer);
  // The general ways of SetFieldData, converted and native.
  void SetConvertedFieldData(TField* field, const void* buffer);
  void PutFieldData(TField* field, const void* buffer);
  [[gnu::noinline]] void MakeDirectSlots();

  // ---- buffers (mem_dataset_buffers.cpp) ----
  void SetRecInfo(TRecordBuffer buffer, int32_t record_number, uint8_t update_status, TBookmarkFlag flag);

  // ---- locating (mem_dataset_locate.cpp) ----
  // After a search: the ring read around the record found and the after-scroll event.
  bool ScrollToFound(bool found, TResyncMode mode);

  // ---- editing and filters (mem_dataset_editing.cpp) ----
  void ClearDeferredPost();
  // DoOnNewRecord's default values (apart: a record without them needs no frame for them).
  [[gnu::noinline]] void SetDefaultValues();
  // A blob field whose blob changed is marked modified (apart: a post without
  // blobs needs no frame for it).
  [[gnu::noinline]] void MarkModifiedBlobFields(TRecordBuffer active);
  bool RecordFilter(void* buffer);
  void SetFilterData(const std::string& text, TFilterOptions options);

  // ---- cached updates (mem_dataset_updates.cpp) ----
  void CopyRecordBuffer(TRecordBuffer source, TRecordBuffer dest);
  // Runs a walk of the record set with the new and old cache buffers in place.
  void WithCacheBuffers(const std::function<void()>& operation);
  // Runs an operation that may drop rows, then reads the ring again.
  void RunCachedOperation(const std::function<void()>& operation);
  void CheckRequiredFields();

  // ---- XML export (mem_dataset_xml.cpp) ----
  void WriteXml(TStream& stream);

  // ---- blob streams (blob_stream.cpp) ----
  void AttachBlobStream(TBlobStream* stream);
  void ForgetBlobStream(TBlobStream* stream);
  // Streams over the buffer (every stream for null) let go of it.
  void DetachBlobStreams(TRecordBuffer buffer);

  std::vector<TBlobStream*> blob_streams_;
  // Per descriptor number, how a direct write puts the field bound to it.
  struct TDirectSlot {
    enum Kind : uint8_t { kNone, kBytes2, kBytes4, kBytes8, kText, kDateTime };
    TField* field = nullptr;
    uint32_t offset = 0;
    uint32_t indicator = 0;
    uint16_t size = 0;
    Kind kind = kNone;
  };
  std::vector<TDirectSlot> direct_slots_;
  size_t direct_count_ = 0;
  // The record set's refresh iteration the slots were made for; 0: none.
  int32_t direct_iteration_ = 0;
  // The descriptor names the definitions were made from.
  std::vector<std::string> field_def_names_;
};

// Blob access for the data-access layer.
class TMemDSUtils {
 public:
  TMemDSUtils() = delete;
  static bool SetBlob(TMemDataSet* dataset, TField* field, TBlob* blob) { return dataset->SetBlob(field, blob); }
  static TBlob* GetBlob(TMemDataSet* dataset, TFieldDesc* desc) { return dataset->InternalGetBlob(desc); }
};

}  // namespace dac
