// A dataset over rows held in a vector, for the framework's tests. A row is
// its id (the bookmark) and the data part of a record buffer; a buffer holds
// per data field a null flag and the native value, then the calculated area,
// the row id and the bookmark flag. OnFilterRecord filters while Filtered;
// Locate and Lookup scan the rows.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dac/framework/data/data_link.h"
#include "dac/framework/data/data_source.h"
#include "dac/framework/data/dataset.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/string_fields.h"

namespace dac {

class RowDataSet : public TDataSet {
 public:
  struct Column {
    std::string name;
    TFieldType type;
    int size = 0;
  };

  explicit RowDataSet(TComponent* owner) : TDataSet(owner) {}

  std::vector<Column> columns;
  // InternalPost fails ("Post failed") while this counts down to 0.
  int post_failures = 0;
  // What GetDataSource answers.
  TDataSource* master = nullptr;
  int field_def_reads = 0;
  int closes = 0;
  int live_buffers = 0;

  void AddRows(const std::vector<std::vector<Variant>>& rows) {
    for (const auto& row : rows) {
      Append();
      for (size_t i = 0; i < row.size(); ++i) Fields().Fields(static_cast<int>(i))->SetValue(row[i]);
      Post();
    }
  }
  // The row ids of the ring's records, in ring order.
  std::vector<int> RingIds() const {
    std::vector<int> ids;
    for (int i = 0; i < RingRecordCount(); ++i) ids.push_back(IdOf(Buffer(i)));
    return ids;
  }
  int ActiveSlot() const { return ActiveRecord(); }
  bool Calculating() const { return CalcBuffer() != nullptr; }

  TDataSource* GetDataSource() const override { return master; }
  int GetRecNo() override { return IsEmpty() ? 0 : IndexOf(IdOf(ActiveBuffer())) + 1; }
  int GetRecordCount() override { return static_cast<int>(rows_.size()); }
  bool IsSequenced() override { return true; }

  bool GetFieldData(TField* field, void* buffer) override {
    const uint8_t* slot = Slot(field);
    if (!slot || !slot[0]) return false;
    if (buffer) std::memcpy(buffer, slot + 1, static_cast<size_t>(field->DataSize()));
    return true;
  }
  void SetFieldData(TField* field, const void* buffer) override {
    const TDataSetState state = GetState();
    const bool quiet = state == dsCalcFields || state == dsFilter || state == dsNewValue;
    if (!(quiet || state == dsEdit || state == dsInsert) || (field->FieldNo() > 0 && state == dsCalcFields)) {
      DatabaseError("Dataset not in edit or insert mode", this);
    }
    if (field->ReadOnly() && field->FieldNo() > 0) {
      DatabaseErrorFmt(this, "Field '%s' cannot be modified", field->DisplayName().c_str());
    }
    field->Validate(buffer);
    uint8_t* slot = Slot(field);
    slot[0] = buffer != nullptr;
    if (buffer) std::memcpy(slot + 1, buffer, static_cast<size_t>(field->DataSize()));
    if (!quiet) DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
  }

  bool Locate(const std::string& key_fields, const Variant& key_values, TLocateOptions) override {
    CheckBrowseMode();
    const int index = Find(key_fields, key_values);
    if (index < 0) return false;
    DoBeforeScroll();
    cursor_ = index;
    Resync({rmExact, rmCenter});
    DoAfterScroll();
    return true;
  }
  Variant Lookup(const std::string& key_fields, const Variant& key_values, const std::string& result_fields) override {
    const int index = Find(key_fields, key_values);
    if (index < 0) return Variant::Null();
    TTempState filter(*this, dsFilter);
    filter_buffer_ = TempBuffer();
    return GetFieldValues(result_fields);
  }

 protected:
  TRecordBuffer AllocRecordBuffer() override {
    ++live_buffers;
    return new uint8_t[static_cast<size_t>(info_offset_ + kInfoSize)]();
  }
  void FreeRecordBuffer(TRecordBuffer& buffer) override {
    --live_buffers;
    delete[] buffer;
    buffer = nullptr;
  }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool) override {
    for (int pos = cursor_;;) {
      pos += mode == gmNext ? 1 : mode == gmPrior ? -1 : 0;
      if (pos < 0 || pos >= static_cast<int>(rows_.size())) {
        cursor_ = pos < 0 ? -1 : static_cast<int>(rows_.size());
        return pos < 0 ? grBOF : grEOF;
      }
      std::memcpy(buffer, rows_[static_cast<size_t>(pos)].data.data(), static_cast<size_t>(data_size_));
      std::memcpy(buffer + info_offset_, &rows_[static_cast<size_t>(pos)].id, sizeof(int32_t));
      buffer[info_offset_ + 4] = bfCurrent;
      cursor_ = pos;
      if (Accepts(buffer)) break;
      if (mode == gmCurrent) return grError;
    }
    CalculateFields(buffer);
    return grOK;
  }
  void GetBookmarkData(TRecordBuffer buffer, void* data) override { std::memcpy(data, buffer + info_offset_, 4); }
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override { std::memcpy(buffer + info_offset_, data, 4); }
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override {
    return static_cast<TBookmarkFlag>(buffer[info_offset_ + 4]);
  }
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override { buffer[info_offset_ + 4] = flag; }
  void InternalInitFieldDefs() override {
    ++field_def_reads;
    FieldDefs().Clear();
    for (const Column& column : columns) FieldDefs().Add(column.name, column.type, column.size);
    FieldDefs().SetUpdated(true);
  }
  void InternalOpen() override {
    InternalInitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    slots_.assign(columns.size(), -1);
    data_size_ = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
      slots_[i] = data_size_;
      const TField* field = Fields().FieldByNumber(static_cast<int>(i) + 1);
      data_size_ += 1 + (field ? field->DataSize() : 0);
    }
    info_offset_ = data_size_ + CalcFieldsSize();
    for (Row& row : rows_) row.data.resize(static_cast<size_t>(data_size_));
    SetBookmarkSize(4);
    cursor_ = -1;
    open_ = true;
  }
  void InternalClose() override {
    ++closes;
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    open_ = false;
  }
  bool IsCursorOpen() const override { return open_; }
  void InternalFirst() override { cursor_ = -1; }
  void InternalLast() override { cursor_ = static_cast<int>(rows_.size()); }
  void InternalGotoBookmark(const void* bookmark) override {
    int32_t id = 0;
    std::memcpy(&id, bookmark, sizeof id);
    const int index = IndexOf(id);
    cursor_ = index < 0 ? static_cast<int>(rows_.size()) : index;
  }
  void InternalSetToRecord(TRecordBuffer buffer) override { InternalGotoBookmark(buffer + info_offset_); }
  void InternalInitRecord(TRecordBuffer buffer) override {
    std::memset(buffer, 0, static_cast<size_t>(info_offset_ + kInfoSize));
  }
  void ClearCalcFields(TRecordBuffer buffer) override {
    std::memset(buffer + data_size_, 0, static_cast<size_t>(CalcFieldsSize()));
  }
  void InternalPost() override {
    TDataSet::InternalPost();
    if (post_failures > 0) {
      --post_failures;
      DatabaseError("Post failed", this);
    }
    Row row{0, std::vector<uint8_t>(ActiveBuffer(), ActiveBuffer() + data_size_)};
    if (GetState() == dsEdit) {
      rows_[static_cast<size_t>(IndexOf(IdOf(ActiveBuffer())))].data = row.data;
      return;
    }
    row.id = next_id_++;
    const bool at_end = GetBookmarkFlag(ActiveBuffer()) == bfEOF;
    cursor_ = at_end ? static_cast<int>(rows_.size()) : std::clamp(cursor_, 0, static_cast<int>(rows_.size()));
    rows_.insert(rows_.begin() + cursor_, row);
  }
  void InternalDelete() override { rows_.erase(rows_.begin() + cursor_); }

 private:
  struct Row {
    int32_t id;
    std::vector<uint8_t> data;
  };
  static constexpr int kInfoSize = 5;

  int IdOf(TRecordBuffer buffer) const {
    int32_t id = 0;
    std::memcpy(&id, buffer + info_offset_, sizeof id);
    return id;
  }
  int IndexOf(int id) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (rows_[i].id == id) return static_cast<int>(i);
    }
    return -1;
  }
  // The field's null flag and value in the buffer the state reads.
  uint8_t* Slot(TField* field) {
    TRecordBuffer buffer = nullptr;
    switch (GetState()) {
      case dsCalcFields:
        buffer = CalcBuffer();
        break;
      case dsFilter:
        buffer = filter_buffer_;
        break;
      case dsBrowse:
      case dsBlockRead:
      case dsOldValue:
        buffer = IsEmpty() ? nullptr : ActiveBuffer();
        break;
      case dsEdit:
      case dsInsert:
      case dsNewValue:
        buffer = ActiveBuffer();
        break;
      default:
        break;
    }
    if (!buffer) return nullptr;
    if (field->FieldNo() > 0) return buffer + slots_[static_cast<size_t>(field->FieldNo() - 1)];
    return buffer + data_size_ + field->Offset();
  }
  bool Accepts(TRecordBuffer buffer) {
    if (!Filtered() || !OnFilterRecord()) return true;
    bool accept = true;
    TTempState filter(*this, dsFilter);
    filter_buffer_ = buffer;
    OnFilterRecord()(this, accept);
    return accept;
  }
  // The first row whose key fields hold the values, read into the temp buffer; -1 when none.
  int Find(const std::string& key_fields, const Variant& key_values) {
    TRecordBuffer temp = TempBuffer();
    for (size_t i = 0; i < rows_.size(); ++i) {
      std::memcpy(temp, rows_[i].data.data(), static_cast<size_t>(data_size_));
      std::memcpy(temp + info_offset_, &rows_[i].id, sizeof(int32_t));
      CalculateFields(temp);
      TTempState filter(*this, dsFilter);
      filter_buffer_ = temp;
      if (GetFieldValues(key_fields) == key_values) return static_cast<int>(i);
    }
    return -1;
  }

  std::vector<Row> rows_;
  int32_t next_id_ = 1;
  std::vector<int> slots_;
  int data_size_ = 0;
  int info_offset_ = 0;
  int cursor_ = -1;
  bool open_ = false;
  TRecordBuffer filter_buffer_ = nullptr;
};

// An open dataset named name with the columns id (Integer) and name
// (String 10) and rows i, "n<i>" for i from 1 to rows.
inline RowDataSet* MakeNames(int rows, const std::string& name = "DS") {
  auto* dataset = MakeComponent<RowDataSet>(nullptr);
  dataset->SetName(name);
  dataset->columns = {{"id", ftInteger}, {"name", ftString, 10}};
  dataset->Open();
  for (int i = 1; i <= rows; ++i) dataset->AddRows({{Variant(i), Variant("n" + std::to_string(i))}});
  return dataset;
}

// Closes the dataset and gives it persistent fields for its definitions.
inline void MakePersistentFields(RowDataSet* dataset) {
  dataset->Close();
  dataset->FieldDefs().Update();
  for (int i = 0; i < dataset->FieldDefs().Count(); ++i) dataset->FieldDefs().Items(i)->CreateField(dataset);
}

// Attaches link, wanting buffers records, through a new source owned by the dataset.
inline void Attach(TDataLink& link, TDataSet* dataset, int buffers = 1) {
  link.SetBufferCount(buffers);
  link.SetDataSource(MakeComponent<TDataSource>(dataset));
  link.DataSource()->SetDataSet(dataset);
}

// Joins field (a new field of the closed dataset's) as name of the given kind.
inline TField* AddField(TDataSet* dataset, TField* field, const std::string& name, TFieldKind kind) {
  field->SetFieldName(name);
  field->SetFieldKind(kind);
  field->SetDataSet(dataset);
  return field;
}

}  // namespace dac
