// Blob values: byte or UTF-16 content held as a linked list of heap pieces,
// with an optional rollback copy for editing and cached updates, 8-bit and
// UTF-16 views, and line-end conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "dac/framework/classes/streams.h"
#include "dac/framework/values/bytes.h"
#include "dac/store/runtime/shared_object.h"

namespace dac {

class TBlob;

// One piece: this header, then `size` data bytes, in one heap block. With
// 64-bit pointers the header is larger than the original 22 bytes, so reach
// the data and the used count only through PieceData and PieceUsedPtr.
struct TPieceHeader {
  TBlob* blob;          // the owner while linked into its list, else null
  uint32_t size;        // capacity of the data area
  uint32_t used;        // content bytes at the start of the data area
  TPieceHeader* prev;
  TPieceHeader* next;
  uint16_t reserved;
};
using PPieceHeader = TPieceHeader*;

// The data capacity of new pieces.
constexpr uint32_t DefaultPieceSize = 65514;
constexpr size_t kPieceHeaderSize = (sizeof(TPieceHeader) + 7) & ~size_t{7};

inline PPieceHeader NextPiece(PPieceHeader piece) { return piece ? piece->next : nullptr; }
inline uint8_t* PieceData(PPieceHeader piece) {
  return piece ? reinterpret_cast<uint8_t*>(piece) + kPieceHeaderSize : nullptr;
}
inline uint32_t* PieceUsedPtr(PPieceHeader piece) { return piece ? &piece->used : nullptr; }

class TBlob : public TSharedObject {
  DAC_DECLARE_CLASS();

 public:
  explicit TBlob(bool is_unicode = false);

  // The whole content as one string: 8-bit through the system code page for
  // a Unicode blob, wide through it for an 8-bit one.
  virtual std::string GetAsString();
  virtual void SetAsString(const std::string& value);
  virtual WideString GetAsWideString();
  virtual void SetAsWideString(const WideString& value);
  // A hook for descendants; nothing here.
  virtual void CheckValue() {}
  // Exception "Blob must be in cached mode" unless rollback is enabled.
  virtual void SaveToRollback();
  virtual uint32_t GetSize();
  // Smaller: Truncate; larger: zero bytes appended in one piece.
  virtual void SetSize(uint32_t size);
  // Exception "Cannot change IsUnicode if Size > 0" for a change of a non-empty blob.
  virtual void SetIsUnicode(bool value);
  // Bytes copied: count 0 means up to the end; 0 beyond the content.
  virtual uint32_t Read(uint32_t position, uint32_t count, void* dest);
  // A position beyond the content appends at its end.
  virtual void Write(uint32_t position, uint32_t count, const void* source);
  virtual void Clear();
  virtual void Truncate(uint32_t new_size);
  // Joins the content into one piece of exactly its size.
  virtual void Defrag();
  // Replaces the content by the whole stream, read from position 0.
  virtual void LoadFromStream(TStream& stream);
  // Empties the stream, then writes the content.
  virtual void SaveToStream(TStream& stream);
  // Drops the rollback copy, keeping the changes.
  virtual void Commit();
  // Brings back the content and Modified flag of the rollback copy.
  virtual void Cancel();

  bool IsUnicode() const { return is_unicode_; }
  bool GetModified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }
  PPieceHeader FirstPiece() const { return first_piece_; }
  // The sum of the pieces' used bytes.
  uint32_t GetDataSize() const;
  uint32_t GetPieceSize() const { return piece_size_; }
  // Capacity of pieces made from now on (tests use small ones).
  void SetPieceSize(uint32_t size);

  // Returns spare capacity: pieces shrink to their used bytes; empty ones go.
  void Compress();
  void LoadFromFile(const std::string& path);
  // Through a temporary file renamed into place.
  void SaveToFile(const std::string& path);
  // The source's content (not its IsUnicode) through a 65536-byte buffer.
  void Assign(TBlob& source);
  // Lone LF becomes CR LF (an 8-bit blob's final CR gets an LF too); RemoveCR
  // turns CR LF into LF. In bytes or UTF-16 units by IsUnicode.
  void AddCR();
  void RemoveCR();

  void EnableRollback() { cached_ = true; }
  bool CanRollback() const { return rollback_ != nullptr; }
  // The rollback copy, or null.
  TBlob* GetRollback() const { return rollback_; }
  // Hands the rollback copy, with its reference, to the caller; the blob keeps none.
  TBlob* TakeRollback() { return std::exchange(rollback_, nullptr); }
  void CheckCached() const;
  // Exception "Invalid BLOB" unless the blob is live.
  void CheckValid() const;

  // The 8-bit view of a Unicode blob: the code page is single-byte, so a
  // position is twice its byte count in UTF-16 and the size is half.
  uint32_t TranslatePosition(uint32_t position) const;
  uint32_t GetSizeAnsi();

  // Piece routines.
  static void AllocPiece(PPieceHeader& piece, uint32_t size);
  void ReallocPiece(PPieceHeader& piece, uint32_t size);
  void FreePiece(PPieceHeader piece);
  void AppendPiece(PPieceHeader piece);
  void DeletePiece(PPieceHeader piece);
  void CompressPiece(PPieceHeader& piece);

 protected:
  ~TBlob() override;

  // The rollback save of every changing operation.
  void SaveRollbackIfNeeded();
  // Reads the plain pieces, whatever a descendant makes of Read.
  uint32_t ReadPieces(uint32_t position, uint32_t count, void* dest) const;
  // Moves this blob's piece list to other, and other's to this one.
  void SwapPieces(TBlob& other);
  void FreeAllPieces();
  // Makes copy the rollback copy: it takes over the pieces, while the blob
  // keeps its content (as Read gives it) in one new piece.
  void MoveToRollback(SharedRef<TBlob> copy);

 private:
  void ConvertLineEnds(bool add);
  PPieceHeader LastPiece() const;

  bool is_unicode_;
  PPieceHeader first_piece_ = nullptr;
  bool cached_ = false;
  TBlob* rollback_ = nullptr;
  bool modified_ = false;
  uint32_t piece_size_ = DefaultPieceSize;
  uint8_t marker_ = 0xDD;
};

class TBlobUtils {
 public:
  TBlobUtils() = delete;
  static void SetModified(TBlob* blob, bool value) { blob->SetModified(value); }
};

}  // namespace dac
