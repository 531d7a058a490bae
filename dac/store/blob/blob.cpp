#include "dac/store/blob/blob.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/runtime/marshal.h"
#include "platform/code_page.h"
#include "platform/files.h"

namespace dac {

DAC_DEFINE_CLASS(TBlob, TSharedObject, ::dac::TMetaClassOf<TBlob>)

namespace {

constexpr char16_t kCR = 13;
constexpr char16_t kLF = 10;

// Pieces made ahead of a change and not yet linked into a blob; freed unless handed over.
class LoosePieces {
 public:
  LoosePieces() = default;
  LoosePieces(const LoosePieces&) = delete;
  LoosePieces& operator=(const LoosePieces&) = delete;
  ~LoosePieces() {
    for (PPieceHeader p : pieces_) Marshal::FreeHGlobal(p);
  }
  void Add(PPieceHeader piece) {
    try {
      pieces_.push_back(piece);
    } catch (...) {
      Marshal::FreeHGlobal(piece);
      throw;
    }
  }
  template <typename Fn>
  void ForEach(Fn fn) {
    for (PPieceHeader p : pieces_) fn(p);
  }
  // Hands every piece, in order, to the blob.
  void AppendTo(TBlob& blob) {
    for (size_t i = 0; i < pieces_.size(); ++i) {
      blob.AppendPiece(pieces_[i]);
      pieces_[i] = nullptr;
    }
    pieces_.clear();
  }

 private:
  std::vector<PPieceHeader> pieces_;
};

// Reads the content byte by byte across the pieces.
class PieceReader {
 public:
  PieceReader(PPieceHeader first, uint32_t total) : piece_(first), remaining_(total) { SkipEmpty(); }
  uint32_t Remaining() const { return remaining_; }
  uint8_t Next() {
    const uint8_t b = PieceData(piece_)[offset_++];
    --remaining_;
    SkipEmpty();
    return b;
  }
  // The unit that Next would return, without consuming it (remaining >= width).
  char16_t PeekUnit(uint32_t width) const {
    PPieceHeader p = piece_;
    uint32_t o = offset_;
    uint8_t bytes[2] = {0, 0};
    for (uint32_t i = 0; i < width; ++i) {
      while (o >= p->used) p = p->next, o = 0;
      bytes[i] = PieceData(p)[o++];
    }
    return static_cast<char16_t>(bytes[0] | (bytes[1] << 8));
  }
  char16_t NextUnit(uint32_t width) {
    const uint8_t low = Next();
    return width == 2 ? static_cast<char16_t>(low | (Next() << 8)) : low;
  }

 private:
  void SkipEmpty() {
    while (piece_ && offset_ >= piece_->used) piece_ = piece_->next, offset_ = 0;
  }
  PPieceHeader piece_;
  uint32_t offset_ = 0;
  uint32_t remaining_;
};

}  // namespace

TBlob::TBlob(bool is_unicode) : is_unicode_(is_unicode) {}

TBlob::~TBlob() {
  marker_ = 0;
  FreeAllPieces();
  if (rollback_) rollback_->Free();
}

void TBlob::CheckValid() const {
  if (marker_ != 0xDD) throw Exception("Invalid BLOB");
}

void TBlob::CheckCached() const {
  if (!cached_) throw Exception("Blob must be in cached mode");
}

void TBlob::SetPieceSize(uint32_t size) {
  DAC_ASSERT(size >= 4, "Assertion failure");
  piece_size_ = size;
}

// --- pieces ---------------------------------------------------------------

void TBlob::AllocPiece(PPieceHeader& piece, uint32_t size) {
  DAC_ASSERT(size > 0, "Assertion failure");
  piece = static_cast<PPieceHeader>(Marshal::AllocHGlobal(kPieceHeaderSize + size));
  piece->blob = nullptr;
  piece->size = size;
  piece->used = 0;
  piece->prev = nullptr;
  piece->next = nullptr;
  piece->reserved = 0;
}

void TBlob::ReallocPiece(PPieceHeader& piece, uint32_t size) {
  if (size == 0) {
    FreePiece(piece);
    piece = nullptr;
    return;
  }
  const bool was_first = piece->blob == this && first_piece_ == piece;
  auto moved = static_cast<PPieceHeader>(Marshal::ReallocHGlobal(piece, kPieceHeaderSize + size));
  moved->size = size;
  moved->used = std::min(moved->used, size);
  if (moved->prev) moved->prev->next = moved;
  if (moved->next) moved->next->prev = moved;
  if (was_first) first_piece_ = moved;
  piece = moved;
}

void TBlob::FreePiece(PPieceHeader piece) {
  if (!piece) return;
  if (piece->blob) DeletePiece(piece);
  Marshal::FreeHGlobal(piece);
}

PPieceHeader TBlob::LastPiece() const {
  PPieceHeader last = first_piece_;
  while (last && last->next) last = last->next;
  return last;
}

void TBlob::AppendPiece(PPieceHeader piece) {
  PPieceHeader last = LastPiece();
  piece->blob = this;
  piece->prev = last;
  piece->next = nullptr;
  if (last) {
    last->next = piece;
  } else {
    first_piece_ = piece;
  }
}

void TBlob::DeletePiece(PPieceHeader piece) {
  DAC_ASSERT(piece->blob == this, "Assertion failure");
  if (piece->prev) {
    piece->prev->next = piece->next;
  } else {
    first_piece_ = piece->next;
  }
  if (piece->next) piece->next->prev = piece->prev;
  piece->prev = nullptr;
  piece->next = nullptr;
  piece->blob = nullptr;
}

void TBlob::CompressPiece(PPieceHeader& piece) { ReallocPiece(piece, piece->used); }

void TBlob::FreeAllPieces() {
  while (first_piece_) FreePiece(first_piece_);
}

void TBlob::SwapPieces(TBlob& other) {
  std::swap(first_piece_, other.first_piece_);
  for (PPieceHeader p = first_piece_; p; p = p->next) p->blob = this;
  for (PPieceHeader p = other.first_piece_; p; p = p->next) p->blob = &other;
}

uint32_t TBlob::GetDataSize() const {
  uint64_t size = 0;
  for (PPieceHeader p = first_piece_; p; p = p->next) size += p->used;
  return static_cast<uint32_t>(size);
}

// --- content --------------------------------------------------------------

uint32_t TBlob::GetSize() { return GetDataSize(); }

void TBlob::SaveRollbackIfNeeded() {
  if (cached_ && !rollback_) SaveToRollback();
}

void TBlob::SaveToRollback() {
  CheckCached();
  MoveToRollback(MakeShared<TBlob>(is_unicode_));
}

void TBlob::MoveToRollback(SharedRef<TBlob> copy) {
  copy->modified_ = modified_;
  copy->piece_size_ = piece_size_;
  if (first_piece_) {
    const uint32_t size = GetSize();
    LoosePieces whole;
    if (size > 0) {
      PPieceHeader piece = nullptr;
      AllocPiece(piece, size);
      whole.Add(piece);
      piece->used = Read(0, size, PieceData(piece));
    }
    SwapPieces(*copy);
    whole.AppendTo(*this);
  }
  rollback_ = copy.Detach();
}

void TBlob::Commit() {
  if (!rollback_) return;
  TBlob* copy = std::exchange(rollback_, nullptr);
  copy->Free();
}

void TBlob::Cancel() {
  if (!rollback_) return;
  SwapPieces(*rollback_);
  modified_ = rollback_->modified_;
  TBlob* copy = std::exchange(rollback_, nullptr);
  copy->Free();
}

uint32_t TBlob::ReadPieces(uint32_t position, uint32_t count, void* dest) const {
  const uint32_t size = GetDataSize();
  if (!first_piece_ || position >= size) return 0;
  if (count == 0 || count > size - position) count = size - position;
  uint8_t* out = static_cast<uint8_t*>(dest);
  uint32_t offset = 0;  // content position of the current piece
  uint32_t done = 0;
  for (PPieceHeader p = first_piece_; p && done < count; p = p->next) {
    const uint32_t piece_end = offset + p->used;
    const uint32_t from = position + done;
    if (from < piece_end) {
      const uint32_t n = std::min(piece_end - from, count - done);
      std::memcpy(out + done, PieceData(p) + (from - offset), n);
      done += n;
    }
    offset = piece_end;
  }
  return done;
}

uint32_t TBlob::Read(uint32_t position, uint32_t count, void* dest) {
  CheckValid();
  CheckValue();
  return ReadPieces(position, count, dest);
}

void TBlob::Write(uint32_t position, uint32_t count, const void* source) {
  CheckValid();
  SaveRollbackIfNeeded();
  const uint32_t size = GetDataSize();
  position = std::min(position, size);
  if (static_cast<uint64_t>(position) + count > std::numeric_limits<uint32_t>::max())
    throw Exception("BLOB size limit exceeded");
  const uint8_t* src = static_cast<const uint8_t*>(source);
  const uint32_t end = position + count;

  PPieceHeader last_content = nullptr;
  for (PPieceHeader p = first_piece_; p; p = p->next) {
    if (p->used) last_content = p;
  }
  PPieceHeader append_from = last_content ? last_content : first_piece_;
  uint64_t room = 0;
  for (PPieceHeader p = append_from; p; p = p->next) room += p->size - p->used;

  // New pieces first, so that a failed allocation leaves the content as it was.
  LoosePieces fresh;
  const uint32_t append = end > size ? end - size : 0;
  for (uint64_t missing = append > room ? append - room : 0; missing > 0;) {
    PPieceHeader piece = nullptr;
    AllocPiece(piece, std::min(count, piece_size_));
    fresh.Add(piece);
    missing -= std::min<uint64_t>(missing, piece->size);
  }

  // Bytes inside the content overwrite it.
  uint32_t offset = 0;
  const uint32_t overwrite_end = std::min(end, size);
  for (PPieceHeader p = first_piece_; p && offset < overwrite_end; p = p->next) {
    const uint32_t piece_end = offset + p->used;
    const uint32_t from = std::max(position, offset);
    const uint32_t to = std::min(overwrite_end, piece_end);
    if (from < to) std::memcpy(PieceData(p) + (from - offset), src + (from - position), to - from);
    offset = piece_end;
  }

  // The rest goes into spare capacity from the last content piece on, then into the new pieces.
  uint32_t at = std::max(size, position);
  for (PPieceHeader p = append_from; p && at < end; p = p->next) {
    DAC_ASSERT(p == append_from || p->used == 0, "Assertion failure");  // no gap inside the content
    const uint32_t n = std::min(p->size - p->used, end - at);
    std::memcpy(PieceData(p) + p->used, src + (at - position), n);
    p->used += n;
    at += n;
  }
  fresh.ForEach([&](PPieceHeader p) {
    const uint32_t n = std::min(p->size, end - at);
    std::memcpy(PieceData(p), src + (at - position), n);
    p->used = n;
    at += n;
  });
  fresh.AppendTo(*this);
  modified_ = true;
}

void TBlob::Clear() {
  SaveRollbackIfNeeded();
  FreeAllPieces();
  modified_ = true;
}

void TBlob::Truncate(uint32_t new_size) {
  SaveRollbackIfNeeded();
  if (new_size == 0) {
    Clear();
    return;
  }
  uint32_t offset = 0;
  for (PPieceHeader p = first_piece_; p; p = p->next) {
    const uint32_t used = p->used;
    if (offset >= new_size) {
      p->used = 0;
    } else if (offset + used > new_size) {
      p->used = new_size - offset;
    }
    offset += used;
  }
  modified_ = true;
}

void TBlob::SetSize(uint32_t size) {
  const uint32_t current = GetDataSize();
  if (size < current) {
    Truncate(size);
  } else if (size > current) {
    // A change like any other: the rollback copy is made first.
    SaveRollbackIfNeeded();
    PPieceHeader piece = nullptr;
    AllocPiece(piece, size - current);
    std::memset(PieceData(piece), 0, piece->size);
    piece->used = piece->size;
    AppendPiece(piece);
    modified_ = true;
  }
}

void TBlob::Defrag() {
  if (!first_piece_) return;
  const uint32_t total = GetDataSize();
  if (total == 0) {
    FreeAllPieces();
    return;
  }
  if (!first_piece_->next && first_piece_->size == total) return;
  PPieceHeader head = first_piece_;
  ReallocPiece(head, total);
  uint32_t offset = head->used;
  while (PPieceHeader p = head->next) {
    std::memcpy(PieceData(head) + offset, PieceData(p), p->used);
    offset += p->used;
    FreePiece(p);
  }
  head->used = total;
}

void TBlob::Compress() {
  PPieceHeader p = first_piece_;
  while (p) {
    PPieceHeader next = p->next;
    if (p->used == 0) {
      FreePiece(p);
    } else if (p->used < p->size) {
      CompressPiece(p);
    }
    p = next;
  }
}

void TBlob::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const int64_t total = stream.GetSize();
  if (total > std::numeric_limits<uint32_t>::max()) throw Exception("BLOB size limit exceeded");
  // Read first, so that a failing stream leaves the content as it was.
  LoosePieces fresh;
  for (int64_t rest = total; rest > 0;) {
    PPieceHeader piece = nullptr;
    AllocPiece(piece, static_cast<uint32_t>(std::min<int64_t>(rest, piece_size_)));
    fresh.Add(piece);
    stream.ReadBuffer(PieceData(piece), piece->size);
    piece->used = piece->size;
    rest -= piece->size;
  }
  Clear();
  fresh.AppendTo(*this);
  modified_ = true;
}

void TBlob::SaveToStream(TStream& stream) {
  stream.SetSize(0);
  for (PPieceHeader p = first_piece_; p; p = p->next) stream.WriteBuffer(PieceData(p), p->used);
}

void TBlob::LoadFromFile(const std::string& path) {
  TFileStream file(path, FileMode::OpenRead);
  LoadFromStream(file);
}

void TBlob::SaveToFile(const std::string& path) {
  std::string content(GetDataSize(), '\0');
  ReadPieces(0, static_cast<uint32_t>(content.size()), content.data());
  try {
    plat::WriteFileAtomic(path, content);
  } catch (const plat::FileError& e) {
    throw EFCreateError("Cannot create file \"" + path + "\". " + e.reason());
  }
}

void TBlob::Assign(TBlob& source) {
  if (&source == this) return;  // clearing first would lose the content
  Clear();
  std::vector<uint8_t> buffer(65536);
  uint32_t position = 0;
  while (true) {
    const uint32_t n = source.Read(position, static_cast<uint32_t>(buffer.size()), buffer.data());
    if (n == 0) break;
    Write(position, n, buffer.data());
    position += n;
  }
}

void TBlob::SetIsUnicode(bool value) {
  if (value == is_unicode_) return;
  if (GetSize() != 0) throw Exception("Cannot change IsUnicode if Size > 0");
  is_unicode_ = value;
}

std::string TBlob::GetAsString() {
  if (is_unicode_) return plat::Utf16ToAnsi(GetAsWideString());
  std::string out(GetSize(), '\0');
  out.resize(Read(0, static_cast<uint32_t>(out.size()), out.data()));
  return out;
}

void TBlob::SetAsString(const std::string& value) {
  Clear();
  if (is_unicode_) {
    const WideString wide = plat::AnsiToUtf16(value);
    Write(0, static_cast<uint32_t>(wide.size() * 2), wide.data());
  } else {
    Write(0, static_cast<uint32_t>(value.size()), value.data());
  }
}

WideString TBlob::GetAsWideString() {
  if (!is_unicode_) return plat::AnsiToUtf16(GetAsString());
  std::vector<uint8_t> bytes(GetSize());
  bytes.resize(Read(0, static_cast<uint32_t>(bytes.size()), bytes.data()));
  WideString out(bytes.size() / 2, u'\0');
  if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

void TBlob::SetAsWideString(const WideString& value) {
  Clear();
  if (is_unicode_) {
    Write(0, static_cast<uint32_t>(value.size() * 2), value.data());
  } else {
    const std::string narrow = plat::Utf16ToAnsi(value);
    Write(0, static_cast<uint32_t>(narrow.size()), narrow.data());
  }
}

uint32_t TBlob::TranslatePosition(uint32_t position) const {
  DAC_ASSERT(is_unicode_, "Assertion failure");
  // Saturates: a position past the largest content stays past it.
  return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{position} * 2, std::numeric_limits<uint32_t>::max()));
}

uint32_t TBlob::GetSizeAnsi() {
  DAC_ASSERT(is_unicode_, "Assertion failure");
  return GetSize() / 2;
}

// --- line ends ------------------------------------------------------------

void TBlob::AddCR() { ConvertLineEnds(true); }
void TBlob::RemoveCR() { ConvertLineEnds(false); }

void TBlob::ConvertLineEnds(bool add) {
  CheckValid();
  CheckValue();
  const uint32_t width = is_unicode_ ? 2 : 1;
  const uint32_t min_room = 2 * width;  // room for a CR LF pair
  PieceReader reader(first_piece_, GetDataSize());
  // The converted content is built aside and replaces the old only when whole.
  LoosePieces out;
  PPieceHeader current = nullptr;
  // A new output piece starts when less than a pair's room is left.
  auto ensure_room = [&]() {
    if (current && current->size - current->used >= min_room) return;
    const uint64_t twice_rest = 2ull * reader.Remaining() + min_room;
    const uint32_t capacity = twice_rest < piece_size_ / 2 ? static_cast<uint32_t>(twice_rest) : piece_size_;
    AllocPiece(current, std::max(capacity, min_room));
    out.Add(current);
  };
  auto put = [&](char16_t unit) {
    uint8_t* at = PieceData(current) + current->used;
    at[0] = static_cast<uint8_t>(unit & 0xFF);
    if (width == 2) at[1] = static_cast<uint8_t>(unit >> 8);
    current->used += width;
  };
  auto emit = [&](char16_t unit) {
    ensure_room();
    put(unit);
  };
  auto emit_pair = [&](char16_t first, char16_t second) {
    ensure_room();
    put(first);
    put(second);
  };
  while (reader.Remaining() >= width) {
    const char16_t unit = reader.NextUnit(width);
    const bool lf_follows = reader.Remaining() >= width && reader.PeekUnit(width) == kLF;
    if (unit == kCR && lf_follows) {
      reader.NextUnit(width);
      if (add) {
        emit_pair(kCR, kLF);
      } else {
        emit(kLF);
      }
    } else if (add && unit == kLF) {
      emit_pair(kCR, kLF);
    } else if (add && unit == kCR && width == 1 && reader.Remaining() == 0) {
      emit_pair(kCR, kLF);  // an 8-bit content's final CR gets its LF
    } else {
      emit(unit);
    }
  }
  if (reader.Remaining() > 0) {
    // The odd last byte of a Unicode blob is kept as it is.
    ensure_room();
    PieceData(current)[current->used++] = reader.Next();
  }
  FreeAllPieces();
  out.AppendTo(*this);
  modified_ = true;
}

}  // namespace dac
