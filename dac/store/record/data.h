// TData, the abstract record set: its lifecycle (prepare, open, close), its
// field descriptors and the layout of a record buffer, the operations that
// move one field's value in and out of a buffer, record editing with the
// ownership of the values records refer to, the bookmark base, and filter
// expressions. A concrete record set (the in-memory one and those above it)
// implements the record operations and calls Close in its own destructor;
// ~TData calls no virtual operation.
//
// Record buffer layout (InitFields):
//   data area      DataSize bytes: every fdkData / fdkCached descriptor in list
//                  order at its Offset, Size bytes each; dtWideString on an
//                  even offset. Child descriptors take no room.
//   indicators     GetIndicatorSize() bytes (one per descriptor, children
//                  included): byte FieldNo - 1 is 1 when the field is null.
//   fill           one byte when needed to make RecordSize odd.
// Calculated fields follow in a second area of CalcRecordSize bytes, their
// offsets counted from RecordSize; AllocRecBuf allocates RecordSize bytes.
//
// Slots of the reference types hold one counted reference each
// (kReferenceSlotSize bytes): a TBlob for dtBlob, dtMemo and dtWideMemo, a
// TVariantObject for dtVariant, a string-heap buffer or null for
// dtExtString, dtExtVarBytes and dtExtWideString; structured columns hold
// their TDBObject. The complex-field operations create, share, copy and
// release them.
//
// Field numbers are 1-based. A subclass describes its columns in
// InternalInitFields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/variant.h"
#include "dac/store/record/data_types.h"
#include "dac/store/record/field_desc.h"
#include "dac/store/record/object_type.h"
#include "dac/store/record/record_set_types.h"
#include "dac/store/record/string_heap.h"

namespace dac {

class TBlob;
class TDBObject;
class TSharedObject;
class TFilterTree;
struct TExpressionNode;
struct TFilterCode;
struct TFilterOp;

// The record store's common failure: Exception with the message.
[[noreturn]] void DataError(const std::string& message);

// The value rounded to `scale` decimals as formatting it in fixed notation
// with 18 significant digits and reading it back does: how dtFloat and
// dtCurrency values are stored.
double RoundFloatToScale(double value, int scale);

class TData : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TData();
  // Frees the filter tree, the descriptors and the string heap; the
  // concrete class has closed the record set by then.
  ~TData() override;
  TData(const TData&) = delete;
  TData& operator=(const TData&) = delete;

  // ---- Lifecycle ----
  //
  // Preparing is optional and survives Close. With AutoInitFields the field
  // descriptors (built by InitFields, which the opening subclass calls) are
  // dropped again by UnPrepare and by Close of an unprepared record set.

  // InternalPrepare, then prepared.
  virtual void Prepare();
  // Only when prepared: not prepared, fields cleared (AutoInitFields), InternalUnPrepare.
  virtual void UnPrepare();
  // Only when not active: InitData, InternalOpen, then the filter tree of
  // FilterText. On a failure the record set stays closed with its data
  // freed and no filter tree (a failing filter after a successful
  // InternalOpen also runs InternalClose), and the failure passes on.
  virtual void Open();
  // InternalClose when active; then, also when that fails: not active,
  // FreeData, fields cleared (AutoInitFields, not prepared), no filter tree.
  virtual void Close();
  // True: Reopen is a full Close and Open.
  virtual bool IsFullReopen();
  virtual void Reopen();
  bool GetActive() const { return active_; }
  bool GetPrepared() const { return prepared_; }

  // ---- Position ----

  virtual bool GetEOF();
  virtual bool GetBOF();
  virtual int GetRecordCount();  // -1: unknown
  virtual int GetRecordNo();     // -1: unknown
  virtual void SetRecordNo(int value);
  // BOF true, EOF false; SetToEnd the reverse.
  virtual void SetToBegin();
  virtual void SetToEnd();
  // Added to an item's order to give its record number.
  int32_t GetRecordNoOffset() const { return record_no_offset_; }

  // ---- Records ----

  // Copies the current record into rec_buf.
  virtual void GetRecord(void* rec_buf) = 0;
  virtual void GetNextRecord(void* rec_buf) = 0;
  virtual void GetPriorRecord(void* rec_buf) = 0;
  // Stores rec_buf as the current record.
  virtual void PutRecord(void* rec_buf) = 0;
  virtual void AppendRecord(void* rec_buf) = 0;
  virtual void InsertRecord(void* rec_buf) = 0;
  virtual void UpdateRecord(void* rec_buf) = 0;
  virtual void DeleteRecord() = 0;

  // A new all-null record appended.
  void AppendBlankRecord();
  // The editing protocol of the dataset layer, for a rec_buf that holds the
  // current record's references: EditRecord gives the stored record copies
  // of its own of variant, string-heap and byte-buffer values (blobs stay
  // shared), so rec_buf owns the old ones. PostRecord stores rec_buf,
  // commits its blobs and releases the copies; when the update fails they
  // still belong to the stored record and nothing is released. CancelRecord
  // brings back the blobs' contents and releases rec_buf's values.
  void EditRecord(void* rec_buf);
  void PostRecord(void* rec_buf);
  virtual void CancelRecord(void* rec_buf);

  // ---- Bookmarks ----
  //
  // The base knows only the bookmark's order: the record number, -1 for none.

  virtual void GetBookmark(TRecBookmark* bookmark);
  virtual void SetToBookmark(TRecBookmark* bookmark);
  // A bookmark is given and has an order.
  virtual bool BookmarkValid(TRecBookmark* bookmark);
  // -1, 0 or 1 by order; an absent bookmark sorts after every present one.
  virtual int CompareBookmarks(TRecBookmark* a, TRecBookmark* b);

  // ---- Cached updates (nothing in the base) ----

  bool GetCachedUpdates() const { return cached_updates_; }
  // Switching off cancels the pending updates first (and changes nothing
  // when that fails); switching on shows unmodified, updated and appended rows.
  void SetCachedUpdates(bool value);
  virtual bool GetUpdatesPending();
  // The statuses of the items shown while cached updates are on.
  TItemTypes GetFilterItemTypes() const { return filter_item_types_; }
  virtual void SetFilterItemTypes(TItemTypes value);
  virtual TItemStatus GetUpdateStatus();
  virtual TUpdateRecAction GetUpdateResult();
  virtual void SetCacheRecBuf(void* new_buf, void* old_buf);
  virtual void ApplyUpdates();
  virtual void CommitUpdates();
  virtual void CancelUpdates();
  virtual void RestoreUpdates();
  virtual void RevertRecord();
  // Calls OnApplyRecord with the same arguments when it is set.
  virtual void ApplyRecord(TUpdateRecKind kind, TUpdateRecAction& action, bool last_item);
  virtual void GetOldRecord(void* rec_buf);

  // ---- Events ----

  void SetOnAppend(TOnModifyRecord handler) { on_append_ = std::move(handler); }
  void SetOnDelete(TOnModifyRecord handler) { on_delete_ = std::move(handler); }
  void SetOnUpdate(TOnModifyRecord handler) { on_update_ = std::move(handler); }
  void SetOnApplyRecord(TOnApplyRecord handler) { on_apply_record_ = std::move(handler); }
  const TOnGetCachedBuffer& GetOnGetCachedBuffer() const { return on_get_cached_buffer_; }
  void SetOnGetCachedBuffer(TOnGetCachedBuffer handler) { on_get_cached_buffer_ = std::move(handler); }

  // ---- Filter ----
  //
  // The filter text (see filter_expression.h) is parsed by Open and by a
  // change while open; Close frees the tree. A text that does not parse
  // leaves the text and the tree in force unchanged.

  const std::string& GetFilterText() const { return filter_text_; }
  virtual void SetFilterText(const std::string& value);
  // The tree of the text replaces the current one only once it is parsed.
  void CreateFilterExpression(const std::string& text);
  void FreeFilterExpression();
  // The root, or null without a filter text.
  TExpressionNode* GetFilterExpression() const;
  // Whether the record at FilterRecBuf passes the (sub)tree. Strings match
  // as patterns under "=" and LIKE unless FilterNoPartialCompare; with the
  // default options "x IS NULL" also holds for an empty string. A text
  // compared with a date field must be a date (else EConvertError).
  bool Eval(TExpressionNode* node);
  // A filter callback or a filter tree is present.
  bool Filtered() const;
  // Nothing here; the in-memory record set checks its rows again.
  virtual void FilterUpdated();
  void* GetFilterRecBuf() const { return filter_rec_buf_; }
  void SetFilterRecBuf(void* rec_buf) { filter_rec_buf_ = rec_buf; }
  bool GetFilterCaseInsensitive() const { return filter_case_insensitive_; }
  void SetFilterCaseInsensitive(bool value) { filter_case_insensitive_ = value; }
  bool GetFilterNoPartialCompare() const { return filter_no_partial_compare_; }
  void SetFilterNoPartialCompare(bool value) { filter_no_partial_compare_ = value; }
  const TFilterFunc& GetFilterFunc() const { return filter_func_; }
  void SetFilterFunc(TFilterFunc func) { filter_func_ = std::move(func); }
  const TFilterFunc& GetFilterMDFunc() const { return filter_md_func_; }
  void SetFilterMDFunc(TFilterFunc func) { filter_md_func_ = std::move(func); }

  int32_t GetRecordSize() const { return record_size_; }
  int32_t GetCalcRecordSize() const { return calc_record_size_; }
  // Also the offset of the null indicators in a record buffer.
  int32_t GetDataSize() const { return data_size_; }
  int32_t GetCalcDataSize() const { return calc_data_size_; }
  TFieldDescs& GetFieldDescs() { return field_descs_; }
  TStringHeap& GetStringHeap() { return string_heap_; }

  // InitFields describes the fields anew. Default true.
  bool GetAutoInitFields() const { return auto_init_fields_; }
  void SetAutoInitFields(bool value) { auto_init_fields_ = value; }
  // While false, PutField of an empty text sets the field null. Default false.
  bool GetEnableEmptyStrings() const { return enable_empty_strings_; }
  void SetEnableEmptyStrings(bool value) { enable_empty_strings_ = value; }
  // Trailing blanks are removed on reading fixed (TrimFixedChar) or other
  // (TrimVarChar) text fields. Default false.
  bool GetTrimFixedChar() const { return trim_fixed_char_; }
  void SetTrimFixedChar(bool value) { trim_fixed_char_ = value; }
  bool GetTrimVarChar() const { return trim_var_char_; }
  void SetTrimVarChar(bool value) { trim_var_char_ = value; }
  // Arrays get one child descriptor per attribute instead of one per element.
  bool GetSparseArrays() const { return sparse_arrays_; }
  void SetSparseArrays(bool value) { sparse_arrays_ = value; }
  bool GetHasComplexFields() const { return has_complex_fields_; }
  // Called by InitFields after InternalInitFields, to add cached fields.
  void SetOnGetCachedFields(TOnGetCachedFields handler) { on_get_cached_fields_ = std::move(handler); }

  // ---- Fields and layout ----

  virtual std::string GetArrayFieldName(TObjectType* type, int index);  // "[index]"
  virtual int GetIndicatorSize();                                       // one byte per descriptor
  // True: text read by GetFieldData gets a carriage return before each bare line feed.
  virtual bool NeedConvertEOL();
  // The class of the descriptors InitObjectFields makes; a TFieldDesc subclass.
  virtual const TMetaClass& GetFieldDescType();
  virtual void InitFields();
  // Empties the descriptors, and drops the filter tree that refers to them.
  virtual void ClearFields();

  uint16_t GetFieldCount() const { return static_cast<uint16_t>(field_descs_.Count()); }
  TFieldDesc* FindField(std::string_view name) const { return field_descs_.FindField(name); }
  TFieldDesc* FieldByName(std::string_view name) const { return field_descs_.FieldByName(name); }

  virtual bool IsBlobFieldType(uint16_t type);     // 13, 14, 30
  virtual bool IsComplexFieldType(uint16_t type);  // 19, 20, 23, 26 and the blob types
  bool HasFields(std::initializer_list<uint16_t> types) const;
  bool HasBlobFields();
  void CheckHasComplexFields();

  // ---- Record buffers ----

  void AllocRecBuf(void*& rec_buf);
  void FreeRecBuf(void* rec_buf);
  // Zero-fills RecordSize bytes, then sets every field null.
  void InitRecord(void* rec_buf);

  // ---- Raw access ----
  //
  // GetFieldData writes the field's value to dest, never more than dest_size
  // bytes: text and byte values are cut to fit (text stays terminated), and
  // a fixed-size value needs its full size. Forms by type:
  //   dtString, dtExtString     8-bit text and terminator (a dtString slot
  //                             gives at most Size - 1 characters);
  //                             NeedConvertEOL adds carriage returns
  //   dtWideString, dtExtWideString  UTF-16 and terminator (a slot gives at
  //                             most Size / 2 - 1 characters)
  //   dtDate                    int32 (dfDate); dtTime double days, a signed
  //                             span (dfDateTime); dtDateTime double (dfMSecs)
  //   dtVariant                 dest is a Variant, assigned the held value
  //   dtExtVarBytes             16-bit length and the bytes
  //   dtUInt32                  64-bit value
  //   dtFmtBCD                  the 34-byte record
  //   others                    the Size bytes of the slot (a reference
  //                             slot gives the pointer)
  // GetFieldDataSize gives the bytes the whole value takes in that form.
  virtual void GetFieldData(TFieldDesc* field, void* rec_buf, void* dest, size_t dest_size);
  size_t GetFieldDataSize(TFieldDesc* field, void* rec_buf);
  // The inverse: zero-terminated 8-bit text for dtString and dtExtString
  // (cut to the slot), zero-terminated UTF-16 for dtWideString (at most
  // Length characters and the slot) and dtExtWideString (null: empty), a
  // Variant for dtVariant, the 16-bit length and bytes for dtExtVarBytes
  // (null: no buffer), dates as above, Size bytes otherwise. dtFloat values
  // are rounded to Scale.
  virtual void PutFieldData(TFieldDesc* field, void* rec_buf, const void* source);

  virtual bool GetNull(uint16_t field_no, void* rec_buf);
  // Writes the indicator 0 or 1; setting a blob field null clears its blob.
  virtual void SetNull(uint16_t field_no, void* rec_buf, bool value);
  // True when a descendant reads values or tests for null with code of its
  // own (GetFieldData, GetNull or GetDateFromBuf overridden), so that what it
  // gives may differ from the record's bytes: a reader that takes values
  // straight from the slots (the XML export) then asks the record set. Such
  // a descendant says so here.
  virtual bool ReadsOwnValues() const { return false; }

  // ---- Checked access ----

  // is_blank reports null. Nothing is copied without dest, or for a null
  // field unless its type is complex (blobs and variants hand out their
  // reference). Text fields are trimmed by the trim flags.
  // Inline, so that a caller's loop keeps its values in its own registers;
  // the virtual GetNull and GetFieldData are called as always.
  [[gnu::always_inline]] void GetField(uint16_t field_no, void* rec_buf, void* dest, size_t dest_size,
                                       bool& is_blank) {
    TFieldDesc* field = CheckedField(field_no);
    const bool blank = GetNull(field_no, rec_buf);
    is_blank = blank;
    if (!dest) return;
    // The common case: a value of a top-level field that no trimming touches.
    if (!blank && !field->HasParent() && !MayTrim(*field)) return GetFieldData(field, rec_buf, dest, dest_size);
    GetFieldRest(field, rec_buf, dest, dest_size, is_blank);
  }
  // No source sets null; so does an empty text while EnableEmptyStrings is off.
  void PutField(uint16_t field_no, void* rec_buf, const void* source);
  // For a blob field: false, and the indicator cleared, when its blob holds
  // data; true otherwise.
  bool GetNullByBlob(uint16_t field_no, void* rec_buf);

  // The value in a comparable form: dates as a dfDateTime double, heap texts
  // as dtString / dtWideString, dtBytes with a 16-bit length in front, dtBCD
  // as a double, blobs as their zero-terminated 8-bit text (dtString);
  // data_type tells the form. native_buffer false means a temporary the
  // caller frees with FreeFieldBuf.
  void* GetFieldBuf(void* rec_buf, TFieldDesc* field, int& data_type, bool& is_blank, bool& native_buffer);
  static void FreeFieldBuf(void* buffer);

  // ---- Variant access ----

  // Null gives the Null variant. EConvertError "Cannot convert type <code>"
  // for dtUnknown, dtBlob and the structured types.
  virtual void GetFieldAsVariant(uint16_t field_no, void* rec_buf, Variant& value);
  // Empty or Null sets null. A value the type does not accept, or out of
  // its range or length, is refused with EConvertError "Cannot convert type"
  // and nothing is written.
  virtual void PutFieldAsVariant(uint16_t field_no, void* rec_buf, const Variant& value);

  // The double date-time at buf + offset to and from an outside form.
  // EConvertError for a value that gives no valid date-time.
  virtual void GetDateFromBuf(const void* buf, uint32_t offset, void* date, TDateFormat format);
  virtual void PutDateToBuf(void* buf, uint32_t offset, const void* date, TDateFormat format);

  // ---- Child fields (attributes of structured columns) ----

  // The top-level descriptor and the attribute path below it ("ITEMS[2].PRICE").
  void GetChildFieldInfo(TFieldDesc* field, TFieldDesc*& root, std::string& path);
  // Through the root column's TDBObject; no object reads as null.
  void GetChildField(TFieldDesc* field, void* rec_buf, void* dest, size_t dest_size, bool& is_blank);
  void PutChildField(TFieldDesc* field, void* rec_buf, const void* source);

  // ---- Complex fields ----

  virtual void CreateComplexFields(void* rec_buf, bool with_blob);
  // index: 0-based in the descriptor list. Blobs only with with_blob.
  virtual void CreateComplexField(void* rec_buf, int index, bool with_blob);
  // Releases the buffer's references (blobs only with with_blob) and clears their slots.
  virtual void FreeComplexFields(void* rec_buf, bool with_blob);
  // Gives dest its own copies of variant values, heap texts and byte
  // buffers; blobs stay shared (with_blob must be false).
  virtual void CopyComplexFields(void* source, void* dest, bool with_blob);
  // One more reference on every complex value of the buffer.
  virtual void AddRefComplexFields(void* rec_buf);

  // ---- Blob access ----
  //
  // For fields whose type passes IsBlobFieldType (else Exception "Field is
  // not BLOB"); the slot holds the object's handle. With use_rollback the
  // blob's rollback copy is used when it has one. A Unicode blob is seen
  // through its 8-bit view (one byte per character) unless raw is set, then
  // positions and sizes are bytes of UTF-16.

  // The object behind the field; an empty slot is an assertion failure.
  TSharedObject* GetObject(uint16_t field_no, void* rec_buf);
  // Stores the object's handle; no reference is taken or released.
  void SetObject(uint16_t field_no, void* rec_buf, TSharedObject* object);
  // Bytes copied to dest, never more than count (0: up to the end).
  uint32_t ReadBlob(uint16_t field_no, void* rec_buf, uint32_t position, uint32_t count, void* dest,
                    bool use_rollback = false, bool raw = false);
  // Marks the field not null.
  void WriteBlob(uint16_t field_no, void* rec_buf, uint32_t position, uint32_t count, const void* source,
                 bool raw = false);
  // Size 0 marks the field null.
  void TruncateBlob(uint16_t field_no, void* rec_buf, uint32_t size, bool raw = false);
  // 0 for a null field.
  uint32_t GetBlobSize(uint16_t field_no, void* rec_buf, bool use_rollback = false, bool raw = false);
  // Marks the field not null; growing appends zero bytes.
  void SetBlobSize(uint16_t field_no, void* rec_buf, uint32_t size, bool use_rollback = false, bool raw = false);

 protected:
  // For a record set that drops its server-side preparation but keeps its
  // rows (a disconnected record set): only the flag changes.
  void SetPrepared(bool value) { prepared_ = value; }
  // Steps of the lifecycle; nothing in the base.
  virtual void InternalPrepare();
  virtual void InternalUnPrepare();
  virtual void InternalOpen();
  virtual void InternalClose();
  // BOF and EOF true, no records counted.
  virtual void InitData();
  // Releases the records; the base only runs InitData.
  virtual void FreeData();
  // The server's side of a change; the base calls OnAppend, OnDelete, OnUpdate.
  virtual void InternalAppend(void* rec_buf);
  virtual void InternalDelete();
  virtual void InternalUpdate(void* rec_buf);

  // The subclass appends its descriptors (FieldNo = position + 1).
  virtual void InternalInitFields();
  // For a caller that checks many records against the filter text alone:
  // its compiled tree (null without a text), and whether each of `count`
  // records passes it (bit i % 64 of bits[i / 64]). records holds
  // kFilterAhead more pointers after them, only fetched ahead (filter_code.h).
  const TFilterCode* CompiledFilter();
  void PassCompiledFilter(const TFilterCode& code, const uint8_t* const* records, size_t count, uint64_t* bits);
  // Runs the operation (TBlob::Commit, TBlob::Cancel) on every blob the buffer holds.
  void ForEachBlob(void* rec_buf, void (TBlob::*operation)());
  // Appends the child descriptors of a structured column (recursively).
  void InitObjectFields(TObjectType* type, TFieldDesc* parent);

 private:
  // GetNull of a child field: through its root column's object.
  bool ChildNull(TFieldDesc* field, void* rec_buf);
  // Room for a child value read into a temporary.
  static size_t ChildValueCapacity(const TFieldDesc& field);
  static uint8_t* Slot(void* rec_buf, const TFieldDesc* field) {
    return static_cast<uint8_t*>(rec_buf) + field->GetOffset();
  }
  // Inline: every field read starts here.
  bool MayTrim(const TFieldDesc& field) const {
    const uint16_t type = field.GetDataType();
    return (type == dtString || type == dtWideString) && (field.GetFixed() ? trim_fixed_char_ : trim_var_char_);
  }
  // The rest of GetField, for what its common case leaves: children, nulls, trimmed text.
  void GetFieldRest(TFieldDesc* field, void* rec_buf, void* dest, size_t dest_size, bool& is_blank);
  TFieldDesc* CheckedField(uint16_t field_no) const {
    if (!field_descs_.HasFieldNo(field_no)) [[unlikely]] FieldNumberOutOfRange();
    return field_descs_.ByFieldNo(field_no);
  }
  [[noreturn]] static void FieldNumberOutOfRange();
  // The base null test of a top-level field: its indicator byte.
  bool IndicatorNull(uint16_t field_no, const void* rec_buf) const {
    return static_cast<const uint8_t*>(rec_buf)[static_cast<size_t>(data_size_) + field_no - 1] == 1;
  }
  // The blob of a blob field (use_rollback: its rollback copy when it has one).
  TBlob* BlobOf(uint16_t field_no, void* rec_buf, bool use_rollback);
  TDBObject* RootObject(TFieldDesc* root, void* rec_buf) const;
  void LayOut();
  void WriteIndicator(TFieldDesc* field, void* rec_buf, bool null);
  Variant ValueAsVariant(TFieldDesc* field, const uint8_t* value, size_t size, bool child);
  void PutVariantToSlot(TFieldDesc* field, void* rec_buf, const Variant& value);
  void PutVariantToChild(TFieldDesc* field, void* rec_buf, const Variant& value);
  // Cleanup of a failed Open; its own failures must not hide the open's.
  void UndoOpen(bool internal_open_done);

  // Filter evaluation.
  // The compiled form of the tree (filter_code.h) for the current options.
  const TFilterCode& FilterCode();
  uint32_t CompileFilter(TFilterCode& code, TExpressionNode* node, int depth);
  bool EvalFilterOp(const TFilterCode& code, uint32_t index);
  bool EvalNumberOp(const TFilterOp& op);
  bool EvalTextOp(const TFilterCode& code, const TFilterOp& op);
  // The tree's own evaluation.
  bool EvalTree(TExpressionNode* node);
  bool EvalChain(TExpressionNode* node);
  bool EvalComparison(TExpressionNode* node);
  Variant OperandValue(TExpressionNode* node, bool& is_date);
  bool FilterEqual(const Variant& left, const Variant& right, bool dates) const;

  int32_t record_size_ = 0;
  int32_t calc_record_size_ = 0;
  int32_t data_size_ = 0;
  int32_t calc_data_size_ = 0;
  TFieldDescs field_descs_;
  TStringHeap string_heap_;
  bool auto_init_fields_ = true;
  bool enable_empty_strings_ = false;
  bool trim_fixed_char_ = false;
  bool trim_var_char_ = false;
  bool has_complex_fields_ = false;
  bool sparse_arrays_ = false;
  // HasBlobFields as CheckHasComplexFields found it, for that many descriptors.
  bool has_blob_fields_ = false;
  int blob_fields_known_for_ = -1;
  TOnGetCachedFields on_get_cached_fields_;

  bool active_ = false;
  bool prepared_ = false;
  TOnModifyRecord on_append_;
  TOnModifyRecord on_delete_;
  TOnModifyRecord on_update_;
  TOnApplyRecord on_apply_record_;
  TOnGetCachedBuffer on_get_cached_buffer_;

  std::string filter_text_;
  std::unique_ptr<TFilterTree> filter_tree_;
  std::unique_ptr<TFilterCode> filter_code_;
  void* filter_rec_buf_ = nullptr;
  bool filter_case_insensitive_ = false;
  bool filter_no_partial_compare_ = false;
  TFilterFunc filter_func_;
  TFilterFunc filter_md_func_;
  // Right operands of the AND / OR chains under evaluation.
  std::vector<TExpressionNode*> eval_stack_;

 protected:
  // State the concrete record sets keep.
  bool bof_ = true;
  bool eof_ = true;
  int32_t record_no_offset_ = 0;
  int32_t record_count_ = 0;
  bool cached_updates_ = false;
  TItemTypes filter_item_types_{isUnmodified, isUpdated, isAppended};
};

}  // namespace dac
