// A dataset over one record for field tests: each field has a slot of its
// DataSize bytes and a null flag, blobs are strings, and SaveOld() keeps a
// copy that the old-value state reads.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dac/framework/data/dataset_base.h"
#include "dac/framework/data/field.h"

namespace dac {

class StubDataSet : public TDataSetBase {
 public:
  explicit StubDataSet(TComponent* owner) : TDataSetBase(owner) {}

  bool GetFieldData(TField* field, void* buffer) override {
    Slot& slot = SlotOf(field);
    if (slot.null) return false;
    if (!buffer) return true;
    if (field->DataType() == ftVariant) {
      *static_cast<Variant*>(buffer) = slot.variant;
    } else {
      std::copy(slot.data.begin(), slot.data.end(), static_cast<uint8_t*>(buffer));
    }
    return true;
  }
  void SetFieldData(TField* field, const void* buffer) override {
    field->Validate(buffer);
    Slot& slot = SlotOf(field);
    slot.null = buffer == nullptr;
    if (field->DataType() == ftVariant) {
      slot.variant = buffer ? *static_cast<const Variant*>(buffer) : Variant();
    } else if (buffer) {
      const auto* bytes = static_cast<const uint8_t*>(buffer);
      slot.data.assign(bytes, bytes + field->DataSize());
    }
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
  }
  TDataSetState GetState() const override { return state; }
  bool GetActive() const override { return active; }
  Variant GetStateFieldValue(TDataSetState in_state, TField* field) override {
    const TDataSetState saved = state;
    state = in_state;
    Variant value = field->Value();
    state = saved;
    return value;
  }
  void SetStateFieldValue(TDataSetState in_state, TField* field, const Variant& value) override {
    const TDataSetState saved = state;
    state = in_state;
    field->SetValue(value);
    state = saved;
  }
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override {
    return std::make_unique<BlobStream>(SlotOf(field), mode);
  }
  void DataEvent(TDataEvent event, intptr_t info) override {
    events.emplace_back(event, info);
    if (event == deFieldChange) reinterpret_cast<TField*>(info)->Change();
  }
  void SaveOld() { old_ = current_; }

  TDataSetState state = dsEdit;
  bool active = false;
  std::vector<std::pair<TDataEvent, intptr_t>> events;

 private:
  struct Slot {
    std::vector<uint8_t> data;
    Variant variant;
    bool null = true;
  };
  // Holds the blob's bytes in a memory stream and writes them back when it closes.
  class BlobStream : public TMemoryStream {
   public:
    BlobStream(Slot& slot, TBlobStreamMode mode) : slot_(slot), mode_(mode) {
      if (mode != bmWrite && !slot.null) WriteBuffer(slot.data.data(), static_cast<int64_t>(slot.data.size()));
      SetPosition(0);
    }
    ~BlobStream() override {
      if (mode_ == bmRead) return;
      const auto* bytes = static_cast<const uint8_t*>(Memory());
      slot_.data.assign(bytes, bytes + GetSize());
      slot_.null = GetSize() == 0;
    }

   private:
    Slot& slot_;
    TBlobStreamMode mode_;
  };
  Slot& SlotOf(TField* field) { return (state == dsOldValue ? old_ : current_)[field]; }

  std::map<TField*, Slot> current_;
  std::map<TField*, Slot> old_;
};

}  // namespace dac
