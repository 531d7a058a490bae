#include "dac/store/blob/compressed_blob.h"

#include <cstring>
#include <limits>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/compression_hooks.h"

namespace dac {

DAC_DEFINE_CLASS(TCompressedBlob, TBlob, ::dac::TMetaClassOf<TCompressedBlob>)

namespace {

// A zlib stream never expands more than about 1032 times, so a larger size
// field is a lie that must not size an allocation.
constexpr uint64_t kMaxExpansion = 1032;

void StoreSize(uint8_t* at, int32_t size) {
  const auto bits = static_cast<uint32_t>(size);
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t LoadSize(const uint8_t* at) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(at[i]) << (8 * i);
  return static_cast<int32_t>(bits);
}

}  // namespace

bool TCompressedBlob::GetCompressed() const {
  PPieceHeader piece = FirstPiece();
  return piece && piece->used > kCompressedBlobHeaderSize &&
         std::memcmp(PieceData(piece), CompressedBlobHeader.data(), CompressedBlobHeader.size()) == 0;
}

int32_t TCompressedBlob::UnCompressedSize() const {
  DAC_ASSERT(GetCompressed(), "Assertion failure");
  return LoadSize(PieceData(FirstPiece()) + CompressedBlobHeader.size());
}

uint32_t TCompressedBlob::CheckedUncompressedSize() const {
  const int32_t size = UnCompressedSize();
  const uint64_t stream = GetDataSize() - kCompressedBlobHeaderSize;
  if (size <= 0 || static_cast<uint64_t>(size) > stream * kMaxExpansion) {
    throw Exception("Invalid compressed blob size");
  }
  return static_cast<uint32_t>(size);
}

uint32_t TCompressedBlob::GetCompressedSize() const {
  if (!GetCompressed()) throw Exception("Blob is not compressed");
  return GetDataSize();
}

uint32_t TCompressedBlob::GetSize() { return GetCompressed() ? CheckedUncompressedSize() : TBlob::GetSize(); }

bool TCompressedBlob::CompressFrom(const void* source, uint32_t size) {
  CheckZLib();
  if (size > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return false;
  const uint64_t room = uint64_t{size} + size / 5 + 12;
  PPieceHeader packed = nullptr;
  try {
    AllocPiece(packed, static_cast<uint32_t>(room + kCompressedBlobHeaderSize));
    unsigned long produced = room;
    DoCompress(PieceData(packed) + kCompressedBlobHeaderSize, &produced, source, size);
    if (produced > room || produced + kCompressedBlobHeaderSize >= size) {
      FreePiece(packed);
      return false;
    }
    uint8_t* data = PieceData(packed);
    std::memcpy(data, CompressedBlobHeader.data(), CompressedBlobHeader.size());
    StoreSize(data + CompressedBlobHeader.size(), static_cast<int32_t>(size));
    packed->used = static_cast<uint32_t>(produced + kCompressedBlobHeaderSize);
    CompressPiece(packed);
  } catch (...) {
    // Compression is optional: whatever failed, the value stays as it was.
    FreePiece(packed);
    return false;
  }
  FreeAllPieces();
  AppendPiece(packed);
  SetModified(true);
  return true;
}

void TCompressedBlob::UncompressTo(void* dest, uint32_t& dest_length) {
  DAC_ASSERT(FirstPiece(), "FFirstPiece = nil");
  Defrag();
  PPieceHeader piece = FirstPiece();
  DAC_ASSERT(piece && !piece->next, "Assertion failure");
  if (piece->used <= kCompressedBlobHeaderSize) throw Exception("Invalid compressed blob size");
  const uint8_t* data = PieceData(piece);
  if (std::memcmp(data, CompressedBlobHeader.data(), CompressedBlobHeader.size()) != 0) {
    throw Exception("Invalid compressed blob header");
  }
  CheckZLib();
  unsigned long produced = dest_length;
  try {
    DoUncompress(dest, &produced, data + kCompressedBlobHeaderSize, piece->used - kCompressedBlobHeaderSize);
  } catch (...) {
    throw Exception("Invalid compressed blob data");
  }
  if (produced > dest_length) throw Exception("Invalid compressed blob data");
  dest_length = static_cast<uint32_t>(produced);
}

void TCompressedBlob::SetCompressed(bool value) {
  if (!FirstPiece() || value == GetCompressed()) return;
  if (value) {
    const uint32_t size = GetDataSize();
    if (size < kMinCompressedBlobSize) return;
    Defrag();
    CompressFrom(PieceData(FirstPiece()), size);
    SetModified(true);
    return;
  }
  CheckValid();
  CheckValue();
  const uint32_t size = CheckedUncompressedSize();
  PPieceHeader plain = nullptr;
  AllocPiece(plain, size);
  try {
    uint32_t produced = size;
    UncompressTo(PieceData(plain), produced);
    plain->used = produced;
    if (produced != size) throw Exception("Invalid uncompressed blob size");
  } catch (...) {
    FreePiece(plain);
    throw;
  }
  FreeAllPieces();
  AppendPiece(plain);
  SetModified(true);
}

void TCompressedBlob::SaveToRollback() {
  CheckCached();
  MoveToRollback(SharedRef<TBlob>::Adopt(new TCompressedBlob(IsUnicode())));
}

void TCompressedBlob::SetSize(uint32_t size) {
  if (size != 0 && GetCompressed()) {
    // The inherited resize would cut or pad the stored form.
    if (size == CheckedUncompressedSize()) return;
    SetCompressed(false);
  }
  TBlob::SetSize(size);
}

uint32_t TCompressedBlob::Read(uint32_t position, uint32_t count, void* dest) {
  CheckValid();
  CheckValue();
  if (!GetCompressed()) return TBlob::Read(position, count, dest);
  const uint32_t size = CheckedUncompressedSize();
  if (position == 0 && (count == 0 || count == size)) {
    uint32_t produced = size;
    UncompressTo(dest, produced);
    if (produced != size) throw Exception("Invalid uncompressed blob size");
    return size;
  }
  if (position >= size) return 0;
  SetCompressed(false);
  return TBlob::Read(position, count, dest);
}

void TCompressedBlob::Write(uint32_t position, uint32_t count, const void* source) {
  CheckValid();
  if (GetCompressed()) {
    const int64_t size = UnCompressedSize();
    if (position == 0 && (count == size || size == 0)) {
      Clear();
      bool kept = false;
      try {
        kept = count >= kMinCompressedBlobSize && CompressFrom(source, count);
      } catch (const Exception&) {
        // Without a compressor the new value is stored plain.
      }
      if (kept) return;
    } else {
      SetCompressed(false);
    }
  }
  TBlob::Write(position, count, source);
}

void TCompressedBlob::Truncate(uint32_t new_size) {
  if (new_size != 0 && GetCompressed()) SetCompressed(false);
  TBlob::Truncate(new_size);
}

}  // namespace dac
