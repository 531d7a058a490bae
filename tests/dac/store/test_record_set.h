// A record set for tests: describes the columns it is given and keeps its
// records in a list with a cursor; and a structured-column value that keeps
// its attributes in a map.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data.h"
#include "dac/store/record/db_object.h"

namespace dac::testing {

struct Column {
  std::string name;
  uint16_t type = dtUnknown;
  uint16_t size = 0;
  uint16_t length = 0;
  uint16_t scale = 0;
  bool fixed = false;
  TFieldDescKind kind = fdkData;
  TObjectType* object_type = nullptr;  // structured columns: expanded into child descriptors
  bool read_only = false;
};

// A record set of Base that describes the columns it is given.
template <typename Base>
class TColumnsData : public Base {
 public:
  std::vector<Column> columns;

 protected:
  void InternalInitFields() override {
    for (const Column& column : columns) {
      auto desc = std::make_unique<TFieldDesc>();
      desc->SetName(column.name);
      desc->SetFullName(column.name);
      desc->SetDataType(column.type);
      desc->SetSize(column.size);
      desc->SetLength(column.length);
      desc->SetScale(column.scale);
      desc->SetFixed(column.fixed);
      desc->SetFieldDescKind(column.kind);
      desc->SetReadOnly(column.read_only);
      desc->SetObjectType(column.object_type);
      desc->SetFieldNo(static_cast<uint16_t>(this->GetFieldDescs().Count() + 1));
      TFieldDesc* added = this->GetFieldDescs().Add(std::move(desc));
      if (column.object_type) this->InitObjectFields(column.object_type, added);
    }
  }
};

class TTestData : public TColumnsData<TData> {
 public:
  bool convert_eol = false;

  ~TTestData() override {
    try {
      Close();
    } catch (...) {
    }
  }

  bool NeedConvertEOL() override { return convert_eol; }

  // The stored records (each owns its complex values) and the cursor.
  std::vector<void*> rows;
  size_t current = 0;

  void GetRecord(void* rec_buf) override { std::memcpy(rec_buf, Current(), Size()); }
  void GetNextRecord(void* rec_buf) override {
    if (current + 1 < rows.size()) ++current;
    GetRecord(rec_buf);
  }
  void GetPriorRecord(void* rec_buf) override {
    if (current > 0) --current;
    GetRecord(rec_buf);
  }
  void PutRecord(void* rec_buf) override { std::memcpy(Current(), rec_buf, Size()); }
  void AppendRecord(void* rec_buf) override {
    current = rows.size();
    InsertRecord(rec_buf);
  }
  void InsertRecord(void* rec_buf) override {
    InternalAppend(rec_buf);
    void* row = nullptr;
    AllocRecBuf(row);
    std::memcpy(row, rec_buf, Size());
    if (HasBlobFields()) ForEachBlob(row, &TBlob::Commit);  // a stored row starts without rollback
    current = std::min(current, rows.size());
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(current), row);
  }
  void UpdateRecord(void* rec_buf) override {
    InternalUpdate(rec_buf);
    PutRecord(rec_buf);
  }
  void DeleteRecord() override {
    InternalDelete();
    FreeRow(Current());
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(current));
  }

  // Lays the columns out; returns this for chaining in tests.
  TTestData& Init() {
    InitFields();
    return *this;
  }

  // A zero-filled, all-null record; freed with its complex values by ~Record.
  class Record {
   public:
    Record(TData& data, bool complex, bool with_blob) : data_(data), complex_(complex), with_blob_(with_blob) {
      data.AllocRecBuf(buf_);
      data.InitRecord(buf_);
      if (complex) data.CreateComplexFields(buf_, with_blob);
    }
    ~Record() {
      if (complex_) data_.FreeComplexFields(buf_, with_blob_);
      data_.FreeRecBuf(buf_);
    }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    void* get() const { return buf_; }
    uint8_t* bytes() const { return static_cast<uint8_t*>(buf_); }

   private:
    TData& data_;
    bool complex_;
    bool with_blob_;
    void* buf_ = nullptr;
  };

 protected:
  void FreeData() override {
    for (void* row : rows) FreeRow(row);
    rows.clear();
    current = 0;
    TData::FreeData();
  }

 private:
  size_t Size() const { return static_cast<size_t>(GetRecordSize()); }
  void* Current() const {
    DAC_ASSERT(current < rows.size(), "No current record");
    return rows[current];
  }
  void FreeRow(void* row) {
    FreeComplexFields(row, true);
    FreeRecBuf(row);
  }
};

// Attribute values by path, kept in the form the record store exchanges.
class TMapObject : public TDBObject {
 public:
  std::map<std::string, std::vector<uint8_t>> values;
  std::map<std::string, Variant> variants;
  std::vector<std::string> text_paths;  // values cut as text (terminated) when the room is short
  size_t last_dest_size = 0;

  void SetText(const std::string& path, const std::string& text) {
    values[path] = std::vector<uint8_t>(text.begin(), text.end());
    values[path].push_back(0);
    text_paths.push_back(path);
  }
  template <typename T>
  void SetValue(const std::string& path, T value) {
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    values[path] = bytes;
  }

  void GetAttributeValue(const std::string& name, void* dest, size_t dest_size, bool& is_blank) override {
    last_dest_size = dest_size;
    if (auto v = variants.find(name); v != variants.end()) {
      is_blank = false;
      if (dest) *static_cast<Variant*>(dest) = v->second;
      return;
    }
    auto it = values.find(name);
    is_blank = it == values.end();
    if (is_blank || !dest) return;
    const bool text = std::find(text_paths.begin(), text_paths.end(), name) != text_paths.end();
    size_t n = std::min(it->second.size(), dest_size);
    std::memcpy(dest, it->second.data(), n);
    if (text && n > 0 && n < it->second.size()) static_cast<uint8_t*>(dest)[n - 1] = 0;
  }

  // Stores the value as given: text up to its terminator, else `width` bytes per path.
  std::map<std::string, size_t> widths;
  void SetAttributeValue(const std::string& name, const void* source) override {
    if (!source) {
      values.erase(name);
      variants.erase(name);
      return;
    }
    if (auto w = widths.find(name); w != widths.end()) {
      if (w->second == 0) {
        variants[name] = *static_cast<const Variant*>(source);
        return;
      }
      const auto* bytes = static_cast<const uint8_t*>(source);
      values[name] = std::vector<uint8_t>(bytes, bytes + w->second);
      return;
    }
    SetText(name, static_cast<const char*>(source));
  }

 protected:
  ~TMapObject() override = default;
};

}  // namespace dac::testing
