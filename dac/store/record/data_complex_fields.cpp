// TData: the life of the values a record buffer refers to (blobs, variant
// holders, string-heap buffers), and record editing, which hands them
// between the stored record and the caller's buffer. Each slot holds one
// reference.
#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

namespace {

// Only top-level data slots hold references: child descriptors have no slot,
// and the calculated area lies beyond the record.
bool HasReferenceSlot(const TFieldDesc& desc) {
  return !desc.HasParent() && desc.GetFieldDescKind() != fdkCalculated;
}

// A record buffer of the record set, freed on every way out.
class ScopedRecBuf {
 public:
  explicit ScopedRecBuf(TData& data) : data_(data) { data.AllocRecBuf(buf_); }
  ~ScopedRecBuf() { data_.FreeRecBuf(buf_); }
  ScopedRecBuf(const ScopedRecBuf&) = delete;
  ScopedRecBuf& operator=(const ScopedRecBuf&) = delete;
  void* get() const { return buf_; }

 private:
  TData& data_;
  void* buf_ = nullptr;
};

}  // namespace

void TData::CreateComplexFields(void* rec_buf, bool with_blob) {
  for (int i = 0; i < field_descs_.Count(); ++i) CreateComplexField(rec_buf, i, with_blob);
}

void TData::CreateComplexField(void* rec_buf, int index, bool with_blob) {
  TFieldDesc* desc = field_descs_.GetItems(index);
  if (!HasReferenceSlot(*desc)) return;
  uint8_t* slot = Slot(rec_buf, desc);
  const uint16_t type = desc->GetDataType();
  if (IsBlobDataType(type)) {
    if (!with_blob) return;
    auto* blob = new TBlob(type == dtWideMemo);
    blob->EnableRollback();
    StoreAt<void*>(slot, 0, blob->GetGCHandle());
  } else if (type == dtVariant) {
    StoreAt<void*>(slot, 0, (new TVariantObject())->GetGCHandle());
  } else if (IsHeapDataType(type)) {
    StoreAt<void*>(slot, 0, nullptr);
  }
}

void TData::FreeComplexFields(void* rec_buf, bool with_blob) {
  for (int i = 0; i < field_descs_.Count(); ++i) {
    TFieldDesc* desc = field_descs_.GetItems(i);
    const uint16_t type = desc->GetDataType();
    if (!HasReferenceSlot(*desc) || !IsComplexFieldType(type)) continue;
    uint8_t* slot = Slot(rec_buf, desc);
    if (IsHeapDataType(type)) {
      // After the heap was cleared its buffers are gone with it.
      if (!string_heap_.Empty()) string_heap_.DisposeBuf(LoadAt<void*>(slot));
    } else {
      if (IsBlobFieldType(type) && !with_blob) continue;
      FreeShared(TSharedObject::At(slot));
    }
    // The buffer owns no reference any more: a second release finds nothing.
    StoreAt<void*>(slot, 0, nullptr);
  }
}

void TData::AddRefComplexFields(void* rec_buf) {
  for (int i = 0; i < field_descs_.Count(); ++i) {
    TFieldDesc* desc = field_descs_.GetItems(i);
    const uint16_t type = desc->GetDataType();
    if (!HasReferenceSlot(*desc) || !IsComplexFieldType(type)) continue;
    const uint8_t* slot = Slot(rec_buf, desc);
    if (IsHeapDataType(type)) {
      string_heap_.AddRef(LoadAt<void*>(slot));
    } else {
      TSharedObject* object = TSharedObject::At(slot);
      DAC_ASSERT(object, "Shared object for " + desc->GetName() + "=nil");
      object->AddRef();
    }
  }
}

void TData::CopyComplexFields(void* source, void* dest, bool with_blob) {
  DAC_ASSERT(!with_blob, "Blobs are not copied");
  for (int i = 0; i < field_descs_.Count(); ++i) {
    TFieldDesc* desc = field_descs_.GetItems(i);
    if (!HasReferenceSlot(*desc)) continue;
    const uint8_t* from = Slot(source, desc);
    uint8_t* to = Slot(dest, desc);
    switch (desc->GetDataType()) {
      case dtVariant: {
        auto* source_holder = TSharedObject::At<TVariantObject>(from);
        auto* dest_holder = TSharedObject::At<TVariantObject>(to);
        DAC_ASSERT(dest_holder, "Shared object for " + desc->GetName() + "=nil");
        dest_holder->Value() = source_holder ? source_holder->Value() : Variant();
        break;
      }
      case dtExtString:
        StoreAt<void*>(to, 0, string_heap_.AllocStr(LoadAt<const char*>(from)));
        break;
      case dtExtWideString:
        StoreAt<void*>(to, 0, string_heap_.AllocWideStr(LoadAt<const char16_t*>(from)));
        break;
      case dtExtVarBytes: {
        const uint8_t* bytes = LoadAt<const uint8_t*>(from);
        void* copy = nullptr;
        if (bytes) {
          const int length = LoadAt<uint16_t>(bytes) + 2;
          copy = string_heap_.NewBuf(length);
          std::memcpy(copy, bytes, static_cast<size_t>(length));
        }
        StoreAt<void*>(to, 0, copy);
        break;
      }
      default: break;
    }
  }
}

void TData::ForEachBlob(void* rec_buf, void (TBlob::*operation)()) {
  for (int i = 0; i < field_descs_.Count(); ++i) {
    TFieldDesc* desc = field_descs_.GetItems(i);
    if (!HasReferenceSlot(*desc) || !IsBlobFieldType(desc->GetDataType())) continue;
    if (auto* blob = TSharedObject::At<TBlob>(Slot(rec_buf, desc))) (blob->*operation)();
  }
}

// ---- Editing ----

void TData::AppendBlankRecord() {
  ScopedRecBuf record(*this);
  InitRecord(record.get());
  AppendRecord(record.get());
}

void TData::EditRecord(void* rec_buf) {
  ScopedRecBuf copy(*this);
  GetRecord(copy.get());
  CreateComplexFields(copy.get(), false);
  try {
    CopyComplexFields(rec_buf, copy.get(), false);
    PutRecord(copy.get());
  } catch (...) {
    // The copies never reached the stored record.
    FreeComplexFields(copy.get(), false);
    throw;
  }
}

void TData::PostRecord(void* rec_buf) {
  ScopedRecBuf old_version(*this);
  GetRecord(old_version.get());
  // Should the update fail, the old values still belong to the stored record.
  UpdateRecord(rec_buf);
  if (HasBlobFields()) ForEachBlob(rec_buf, &TBlob::Commit);
  FreeComplexFields(old_version.get(), false);
}

void TData::CancelRecord(void* rec_buf) {
  if (HasBlobFields()) ForEachBlob(rec_buf, &TBlob::Cancel);
  FreeComplexFields(rec_buf, false);
}

}  // namespace dac
