// TData, the record set base: its field descriptors, the layout of a record
// buffer, and the operations that move one field's value in and out of it.
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
// InternalInitFields; the record set's lifecycle joins this class later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "dac/framework/meta_class.h"
#include "dac/framework/variant.h"
#include "dac/store/data_types.h"
#include "dac/store/field_desc.h"
#include "dac/store/object_type.h"
#include "dac/store/string_heap.h"

namespace dac {

class TDBObject;

// The value rounded to `scale` decimals as formatting it in fixed notation
// with 18 significant digits and reading it back does: how dtFloat and
// dtCurrency values are stored.
double RoundFloatToScale(double value, int scale);

class TData : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TData();
  ~TData() override;
  TData(const TData&) = delete;
  TData& operator=(const TData&) = delete;

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
  void SetOnGetCachedFields(std::function<void()> handler) { on_get_cached_fields_ = std::move(handler); }

  // ---- Fields and layout ----

  virtual std::string GetArrayFieldName(TObjectType* type, int index);  // "[index]"
  virtual int GetIndicatorSize();                                       // one byte per descriptor
  // True: text read by GetFieldData gets a carriage return before each bare line feed.
  virtual bool NeedConvertEOL();
  // The class of the descriptors InitObjectFields makes; a TFieldDesc subclass.
  virtual const TMetaClass& GetFieldDescType();
  virtual void InitFields();
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
  //   dtDate, dtTime            int32 (dfDate, dfTime); dtDateTime double (dfMSecs)
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

  // ---- Checked access ----

  // is_blank reports null. Nothing is copied without dest, or for a null
  // field unless its type is complex (blobs and variants hand out their
  // reference). Text fields are trimmed by the trim flags.
  void GetField(uint16_t field_no, void* rec_buf, void* dest, size_t dest_size, bool& is_blank);
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

 protected:
  // The subclass appends its descriptors (FieldNo = position + 1).
  virtual void InternalInitFields();
  // Appends the child descriptors of a structured column (recursively).
  void InitObjectFields(TObjectType* type, TFieldDesc* parent);

 private:
  // Room for a child value read into a temporary.
  static size_t ChildValueCapacity(const TFieldDesc& field);
  static uint8_t* Slot(void* rec_buf, const TFieldDesc* field) {
    return static_cast<uint8_t*>(rec_buf) + field->GetOffset();
  }
  TFieldDesc* CheckedField(uint16_t field_no) const;
  TDBObject* RootObject(TFieldDesc* root, void* rec_buf) const;
  void LayOut();
  void WriteIndicator(TFieldDesc* field, void* rec_buf, bool null);
  Variant ValueAsVariant(TFieldDesc* field, const uint8_t* value, size_t size, bool child);
  void PutVariantToSlot(TFieldDesc* field, void* rec_buf, const Variant& value);
  void PutVariantToChild(TFieldDesc* field, void* rec_buf, const Variant& value);

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
  std::function<void()> on_get_cached_fields_;
};

}  // namespace dac
