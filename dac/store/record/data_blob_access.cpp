// TData: the objects behind blob fields, and blob reads and writes by
// position, with the 8-bit view of Unicode blobs.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data.h"
#include "dac/store/runtime/unaligned.h"
#include "platform/code_page.h"

namespace dac {

namespace {

void CheckBlobField(TData& data, TFieldDesc* field) {
  if (!data.IsBlobFieldType(field->GetDataType())) throw Exception("Field is not BLOB");
}

}  // namespace

TSharedObject* TData::GetObject(uint16_t field_no, void* rec_buf) {
  TFieldDesc* field = CheckedField(field_no);
  CheckBlobField(*this, field);
  void* handle = nullptr;
  bool is_blank = false;
  GetField(field_no, rec_buf, &handle, sizeof handle, is_blank);
  DAC_ASSERT(handle, "Object for field " + field->GetName() + "(" + std::to_string(field_no) + ") = nil");
  return TSharedObject::FromGCHandle(handle);
}

void TData::SetObject(uint16_t field_no, void* rec_buf, TSharedObject* object) {
  TFieldDesc* field = CheckedField(field_no);
  CheckBlobField(*this, field);
  // An attribute has no slot of its own: its object lives in the parent's.
  DAC_ASSERT(!field->HasParent(), "Object of an attribute field");
  StoreAt<void*>(Slot(rec_buf, field), 0, object ? object->GetGCHandle() : nullptr);
}

TBlob* TData::BlobOf(uint16_t field_no, void* rec_buf, bool use_rollback) {
  auto* blob = dynamic_cast<TBlob*>(GetObject(field_no, rec_buf));
  if (!blob) throw Exception("Invalid BLOB");
  return use_rollback && blob->GetRollback() ? blob->GetRollback() : blob;
}

uint32_t TData::ReadBlob(uint16_t field_no, void* rec_buf, uint32_t position, uint32_t count, void* dest,
                         bool use_rollback, bool raw) {
  TBlob* blob = BlobOf(field_no, rec_buf, use_rollback);
  if (!blob->IsUnicode() || raw) return blob->Read(position, count, dest);
  const uint32_t from = blob->TranslatePosition(position);
  const uint32_t size = blob->GetSize();
  if (from >= size) return 0;
  const uint32_t bytes = count == 0 ? size - from : std::min(blob->TranslatePosition(count), size - from);
  std::vector<uint8_t> block(bytes);
  const uint32_t read = blob->Read(from, bytes, block.data());
  std::u16string wide(read / 2, u'\0');
  if (!wide.empty()) std::memcpy(wide.data(), block.data(), wide.size() * 2);
  const std::string text = plat::Utf16ToAnsi(wide);
  // The caller's buffer holds count bytes.
  const size_t copied = count == 0 ? text.size() : std::min<size_t>(text.size(), count);
  if (copied > 0) std::memcpy(dest, text.data(), copied);
  return static_cast<uint32_t>(copied);
}

void TData::WriteBlob(uint16_t field_no, void* rec_buf, uint32_t position, uint32_t count, const void* source,
                      bool raw) {
  TBlob* blob = BlobOf(field_no, rec_buf, false);
  blob->EnableRollback();
  if (!blob->IsUnicode() || raw) {
    blob->Write(position, count, source);
  } else {
    const std::u16string wide = plat::AnsiToUtf16(std::string_view(static_cast<const char*>(source), count));
    blob->Write(blob->TranslatePosition(position), static_cast<uint32_t>(wide.size() * 2), wide.data());
  }
  SetNull(field_no, rec_buf, false);
}

void TData::TruncateBlob(uint16_t field_no, void* rec_buf, uint32_t size, bool raw) {
  TBlob* blob = BlobOf(field_no, rec_buf, false);
  blob->EnableRollback();
  if (blob->IsUnicode() && !raw) size = blob->TranslatePosition(size);
  blob->Truncate(size);
  if (size == 0) SetNull(field_no, rec_buf, true);
}

uint32_t TData::GetBlobSize(uint16_t field_no, void* rec_buf, bool use_rollback, bool raw) {
  if (GetNull(field_no, rec_buf)) return 0;
  TBlob* blob = BlobOf(field_no, rec_buf, use_rollback);
  return blob->IsUnicode() && !raw ? blob->GetSizeAnsi() : blob->GetSize();
}

void TData::SetBlobSize(uint16_t field_no, void* rec_buf, uint32_t size, bool use_rollback, bool raw) {
  SetNull(field_no, rec_buf, false);
  TBlob* blob = BlobOf(field_no, rec_buf, use_rollback);
  if (!blob->IsUnicode() || raw) {
    blob->SetSize(size);
    return;
  }
  const uint32_t ansi_size = blob->GetSizeAnsi();
  if (ansi_size < size) {
    const uint64_t grown = uint64_t{blob->GetSize()} + blob->TranslatePosition(size - ansi_size);
    if (grown > std::numeric_limits<uint32_t>::max()) throw Exception("BLOB size limit exceeded");
    blob->SetSize(static_cast<uint32_t>(grown));
  } else {
    blob->SetSize(blob->TranslatePosition(size));
  }
}

}  // namespace dac
