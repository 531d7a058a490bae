// A blob that can hold its content compressed, in the stored form servers
// keep too: one piece holding
//   offset  0  16 bytes  the header GUID (CompressedBlobHeader)
//   offset 16   4 bytes  the uncompressed size, signed, little-endian
//   offset 20            the stream made by CompressProc (zlib's format)
// The form is recognised by its content alone: a value whose first piece
// starts with the GUID and is longer than 20 bytes counts as compressed.
// Whole reads and whole rewrites work on the compressed form; any partial
// access decompresses the blob for good.
#pragma once

#include <array>
#include <cstdint>

#include "dac/store/blob/blob.h"

namespace dac {

// Where blob values are compressed: on this side, on the server's, or both.
enum TCompressBlobMode : uint8_t { cbNone = 0, cbClient = 1, cbServer = 2, cbClientServer = 3 };

// {F19D8C39-5558-3849-A652-87CEE0C6DA7E} in the in-memory GUID layout.
inline constexpr std::array<uint8_t, 16> CompressedBlobHeader = {0x39, 0x8C, 0x9D, 0xF1, 0x58, 0x55, 0x49, 0x38,
                                                                 0xA6, 0x52, 0x87, 0xCE, 0xE0, 0xC6, 0xDA, 0x7E};
constexpr uint32_t kCompressedBlobHeaderSize = 20;
// Shorter values are never compressed.
constexpr uint32_t kMinCompressedBlobSize = 51;

class TCompressedBlob : public TBlob {
  DAC_DECLARE_CLASS();

 public:
  explicit TCompressedBlob(bool is_unicode = false) : TBlob(is_unicode) {}

  // Never raises.
  bool GetCompressed() const;
  // true: compresses a value of 51 bytes or more, kept only when it saves
  // a byte (Modified is set either way; a failing compressor leaves the
  // value plain). false: decompresses; on any failure the blob stays
  // compressed as it was.
  void SetCompressed(bool value);
  // The stored bytes, header included. Exception "Blob is not compressed".
  uint32_t GetCompressedSize() const;
  // The size field as stored (assertion unless compressed).
  int32_t UnCompressedSize() const;
  // Replaces the content by the compressed form of source when that is
  // shorter than size; false (content untouched) when it is not, when size
  // does not fit the size field, or when the compressor fails.
  bool CompressFrom(const void* source, uint32_t size);
  // Decompresses into dest, which has room for dest_length bytes;
  // dest_length becomes the bytes produced. Exceptions "Invalid compressed
  // blob size", "... header", "... data" and those of CheckZLib.
  void UncompressTo(void* dest, uint32_t& dest_length);

  // Rollback copies are compressed blobs too, holding the stored form.
  void SaveToRollback() override;
  // Compressed: the uncompressed size, which must be positive and within
  // what the stream can expand to, else "Invalid compressed blob size".
  uint32_t GetSize() override;
  // 0 clears; a compressed blob set to another size is decompressed first.
  void SetSize(uint32_t size) override;
  // A whole read decompresses straight into dest ("Invalid uncompressed blob
  // size" when the stream gives another length); other reads decompress the
  // blob first.
  uint32_t Read(uint32_t position, uint32_t count, void* dest) override;
  // Rewriting a compressed value whole (position 0, count its size) stores
  // the new one compressed when it can; other writes decompress first.
  void Write(uint32_t position, uint32_t count, const void* source) override;
  void Truncate(uint32_t new_size) override;

 protected:
  ~TCompressedBlob() override = default;

 private:
  uint32_t CheckedUncompressedSize() const;
};

}  // namespace dac
