#include "dac/mysql/client/transport/mysql_net.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/protocol.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlNet, TObject, TMetaClass)

std::atomic<int32_t> MaxAllowedPacket{0x40000000};

namespace {

constexpr int kCompressedHeaderSize = kNetHeaderSize + kCompHeaderSize;
// Skipped packets are read in pieces of this size.
constexpr int kSkipChunk = 65536;

void Store24(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
}

uint32_t Load24(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) | (static_cast<uint32_t>(at[2]) << 16);
}

}  // namespace

TMySqlNet::TMySqlNet() : buffer_(BufferLength), max_packet_size_(MaxAllowedPacket) { Clear(); }

TMySqlNet::~TMySqlNet() {
  try {
    if (vio_) vio_->Close();
  } catch (...) {
    // A destructor never throws.
  }
}

void TMySqlNet::SetPosition(int position) {
  TakeIntoBuffer();
  if (position < 0 || position > GetLength()) ThrowMalformed("position beyond the packet");
  buffer_.SetPosition(position);
}

void TMySqlNet::TakeIntoBuffer() {
  if (!received_) return;
  const uint8_t* data = received_;
  received_ = nullptr;
  buffer_.SetLength(received_length_);
  if (received_length_ > 0) std::memcpy(buffer_.GetBuffer().data(), data, static_cast<size_t>(received_length_));
  buffer_.SetPosition(0);
}

void TMySqlNet::Clear() {
  received_ = nullptr;
  buffer_.SetLength(kNetHeaderSize);
  buffer_.SetPosition(kNetHeaderSize);
}

void TMySqlNet::NewCommand() {
  received_ = nullptr;
  sequence_ = 0;
  compressed_sequence_ = 0;
  inflated_.clear();
  inflated_position_ = 0;
  Clear();
}

void TMySqlNet::SetVio(std::unique_ptr<TMySqlVio> vio) {
  if (vio_) vio_->Close();
  vio_ = std::move(vio);
}

void TMySqlNet::Close() {
  received_ = nullptr;
  buffer_.Close();
  inflated_.clear();
  inflated_.shrink_to_fit();
  inflated_position_ = 0;
  deflate_pending_.clear();
  deflate_pending_.shrink_to_fit();
  std::unique_ptr<TMySqlVio> vio = std::move(vio_);
  if (vio) vio->Close();
}

// ---- sending ----

void TMySqlNet::VioWrite(const uint8_t* source, int count) {
  if (count < 1) return;
  if (!vio_) throw EMySqlException(kCrServerLost);
  if (vio_->Write(source, 0, count) != count) throw EMySqlException(kCrServerLost, vio_->GetLastError());
}

void TMySqlNet::WriteHeaderAt(uint8_t* at, int length) {
  Store24(at, static_cast<uint32_t>(length));
  at[3] = sequence_++;
}

void TMySqlNet::Emit(const uint8_t* bytes, int count) {
  if (!compress_) {
    VioWrite(bytes, count);
    return;
  }
  // A compressed packet carries at most MaxPacketLength uncompressed bytes,
  // so a physical packet may be spread over two.
  while (count > 0) {
    if (deflate_pending_.empty()) deflate_pending_.resize(kCompressedHeaderSize);
    const int room = MaxPacketLength - static_cast<int>(deflate_pending_.size() - kCompressedHeaderSize);
    const int take = std::min(room, count);
    deflate_pending_.insert(deflate_pending_.end(), bytes, bytes + take);
    bytes += take;
    count -= take;
    if (take == room) FlushCompressed();
  }
}

void TMySqlNet::FlushCompressed() {
  if (deflate_pending_.size() <= static_cast<size_t>(kCompressedHeaderSize)) return;
  const size_t count = deflate_pending_.size() - kCompressedHeaderSize;
  const uint8_t* source = deflate_pending_.data() + kCompressedHeaderSize;
  bool deflated = false;
  if (count > static_cast<size_t>(kMinCompressLength)) {
    uLongf out_length = compressBound(static_cast<uLong>(count));
    scratch_.resize(kCompressedHeaderSize + out_length);
    const int rc = compress(scratch_.data() + kCompressedHeaderSize, &out_length, source, static_cast<uLong>(count));
    // Kept only when it is smaller: a 3-byte length must still hold it.
    if (rc == Z_OK && out_length < count) {
      scratch_.resize(kCompressedHeaderSize + out_length);
      Store24(scratch_.data(), static_cast<uint32_t>(out_length));
      Store24(scratch_.data() + 4, static_cast<uint32_t>(count));
      scratch_[3] = compressed_sequence_++;
      deflated = true;
      VioWrite(scratch_.data(), static_cast<int>(scratch_.size()));
    }
  }
  if (!deflated) {
    Store24(deflate_pending_.data(), static_cast<uint32_t>(count));
    Store24(deflate_pending_.data() + 4, 0);
    deflate_pending_[3] = compressed_sequence_++;
    VioWrite(deflate_pending_.data(), static_cast<int>(deflate_pending_.size()));
  }
  deflate_pending_.clear();
}

void TMySqlNet::Send() {
  received_ = nullptr;
  const int payload = buffer_.GetLength() - kNetHeaderSize;
  if (payload > 0 && payload < MaxPacketLength && !compress_) {
    // One piece: its header in the room kept for it, one write.
    uint8_t* data = buffer_.GetBuffer().data();
    WriteHeaderAt(data, payload);
    try {
      VioWrite(data, payload + kNetHeaderSize);
    } catch (...) {
      Clear();
      throw;
    }
  } else if (payload > 0) {
    uint8_t* data = buffer_.GetBuffer().data();
    int offset = kNetHeaderSize;
    int remaining = payload;
    int piece;
    try {
      do {
        piece = std::min(remaining, MaxPacketLength);
        // Each header goes in front of its piece; beyond the first it borrows
        // the 4 bytes that end the previous piece, restored once sent.
        uint8_t* at = data + offset - kNetHeaderSize;
        uint8_t saved[kNetHeaderSize];
        std::memcpy(saved, at, kNetHeaderSize);
        WriteHeaderAt(at, piece);
        Emit(at, piece + kNetHeaderSize);
        std::memcpy(at, saved, kNetHeaderSize);
        offset += piece;
        remaining -= piece;
      } while (remaining > 0 || piece == MaxPacketLength);
      if (compress_) FlushCompressed();
    } catch (...) {
      deflate_pending_.clear();
      Clear();
      throw;
    }
  }
  Clear();
  if (compress_) sequence_ = compressed_sequence_;
}

void TMySqlNet::SendEmpty() {
  received_ = nullptr;
  DAC_ASSERT(buffer_.GetLength() == kNetHeaderSize, "SendEmpty with a staged payload");
  uint8_t header[kNetHeaderSize];
  WriteHeaderAt(header, 0);
  try {
    Emit(header, kNetHeaderSize);
    if (compress_) FlushCompressed();
  } catch (...) {
    deflate_pending_.clear();
    throw;
  }
  if (compress_) sequence_ = compressed_sequence_;
}

// ---- receiving ----

void TMySqlNet::VioRead(uint8_t* dest, int count) {
  if (count < 1) return;
  if (!vio_) throw EMySqlException(kCrServerLost);
  if (vio_->Read(dest, 0, count) != count) throw EMySqlException(kCrServerLost, vio_->GetLastError());
}

void TMySqlNet::ReceiveCompressedPacket() {
  uint8_t header[kCompressedHeaderSize];
  VioRead(header, kCompressedHeaderSize);
  const uint8_t expected = sequence_++;
  compressed_sequence_ = sequence_;
  if (header[3] != expected)
    throw EMySqlException(kErNetPacketsOutOfOrder,
                          Format("ReceiveCompHeader: Net packets out of order: received[%d], expected[%d]",
                                 header[3], expected));
  const uint32_t compressed_length = Load24(header);
  const uint32_t uncompressed_length = Load24(header + 4);
  inflated_position_ = 0;
  if (uncompressed_length == 0) {
    inflated_.resize(compressed_length);
    VioRead(inflated_.data(), static_cast<int>(compressed_length));
    return;
  }
  // Inflated where the transport holds it when it came whole, else from a copy.
  bool failed = false;
  const uint8_t* source = vio_ ? vio_->Peek(static_cast<int>(compressed_length), failed) : nullptr;
  if (failed) throw EMySqlException(kCrServerLost, vio_->GetLastError());
  if (source) {
    vio_->Consume(static_cast<int>(compressed_length));
  } else {
    scratch_.resize(compressed_length);
    VioRead(scratch_.data(), static_cast<int>(compressed_length));
    source = scratch_.data();
  }
  try {
    inflated_.resize(uncompressed_length);
  } catch (const std::bad_alloc&) {
    throw EMySqlException(kErNetUncompressError);
  }
  if (!inflater_.Inflate(source, compressed_length, inflated_.data(), uncompressed_length)) {
    inflated_.clear();
    ThrowMalformed("compressed packet does not inflate to its announced length");
  }
}

void TMySqlNet::RawReceive(uint8_t* dest, int count) {
  if (!compress_) {
    VioRead(dest, count);
    return;
  }
  while (count > 0) {
    if (inflated_position_ >= inflated_.size()) {
      ReceiveCompressedPacket();
      continue;
    }
    const size_t n = std::min(static_cast<size_t>(count), inflated_.size() - inflated_position_);
    std::memcpy(dest, inflated_.data() + inflated_position_, n);
    inflated_position_ += n;
    dest += n;
    count -= static_cast<int>(n);
  }
}

void TMySqlNet::OutOfOrder(uint8_t received, uint8_t expected, const char* where) {
  throw EMySqlException(kErNetPacketsOutOfOrder,
                        Format("%s: Net packets out of order: received[%d], expected[%d]", where, received, expected));
}

int TMySqlNet::ReceiveHeader() {
  uint8_t header[kNetHeaderSize];
  RawReceive(header, kNetHeaderSize);
  if (!compress_) CheckSequence(header[3], "ReceiveHeader");
  return static_cast<int>(Load24(header));
}

bool TMySqlNet::ReceiveInPlace() {
  const uint8_t* at = nullptr;
  int length = 0;
  if (!compress_) {
    if (!vio_) return false;
    bool failed = false;
    at = vio_->Peek(kNetHeaderSize, failed);
    if (at) {
      length = static_cast<int>(Load24(at));
      // Pieces of a long packet are joined, and caps refused, the long way.
      if (length >= MaxPacketLength || length > max_packet_size_) return false;
      at = vio_->Peek(kNetHeaderSize + length, failed);
    }
    if (failed) throw EMySqlException(kCrServerLost, vio_->GetLastError());
    if (!at) return false;
    CheckSequence(at[3], "ReceiveHeader");
    vio_->Consume(kNetHeaderSize + length);
  } else {
    if (inflated_position_ >= inflated_.size()) ReceiveCompressedPacket();
    const size_t left = inflated_.size() - inflated_position_;
    if (left < static_cast<size_t>(kNetHeaderSize)) return false;
    at = inflated_.data() + inflated_position_;
    length = static_cast<int>(Load24(at));
    if (length >= MaxPacketLength || length > max_packet_size_ || left < static_cast<size_t>(kNetHeaderSize + length))
      return false;
    inflated_position_ += static_cast<size_t>(kNetHeaderSize + length);
  }
  received_ = at + kNetHeaderSize;
  received_length_ = length;
  return true;
}

void TMySqlNet::ReceiveTheLongWay() {
  received_ = nullptr;
  if (ReceiveInPlace()) {
    if (IsErrorPacket(received_, static_cast<size_t>(received_length_)))
      RaiseErrorPacket(received_, static_cast<size_t>(received_length_));
    return;
  }
  int64_t total = 0;
  int piece;
  do {
    piece = ReceiveHeader();
    if (total + piece > max_packet_size_) {
      buffer_.SetLength(0);
      throw EMySqlException(kCrNetPacketTooLarge);
    }
    try {
      buffer_.SetLength(static_cast<int>(total + piece));
    } catch (const std::bad_alloc&) {
      throw EMySqlException(kCrOutOfMemory);
    }
    RawReceive(GetBuffer().data() + total, piece);
    total += piece;
  } while (piece == MaxPacketLength);
  buffer_.SetPosition(0);
  if (IsErrorPacket(GetData(), static_cast<size_t>(total))) RaiseErrorPacket(GetData(), static_cast<size_t>(total));
}

int TMySqlNet::ReceiveBuffer(TBytes& bytes) {
  received_ = nullptr;
  const int length = ReceiveHeader();
  if (length < 1) ThrowMalformed("empty packet");
  if (length == MaxPacketLength) {
    // Read past every piece so the connection stays in step, then refuse.
    int piece = length;
    TBytes discard(static_cast<size_t>(kSkipChunk));
    for (;;) {
      for (int left = piece; left > 0;) {
        const int n = std::min(left, kSkipChunk);
        RawReceive(discard.data(), n);
        left -= n;
      }
      if (piece != MaxPacketLength) break;
      piece = ReceiveHeader();
    }
    throw EMySqlException(kCrNetPacketTooLarge, "Cannot retrieve huge data in FetchAll mode");
  }
  bytes.resize(static_cast<size_t>(length));
  RawReceive(bytes.data(), length);
  if (IsErrorPacket(bytes.data(), bytes.size())) RaiseErrorPacket(bytes.data(), bytes.size());
  return length;
}

int64_t TMySqlNet::SkipPacket(uint8_t* head, int head_size) {
  received_ = nullptr;
  int64_t total = 0;
  int piece;
  TBytes chunk;
  do {
    piece = ReceiveHeader();
    int left = piece;
    if (total == 0 && left > 0) {
      // Peek at the first byte: an error packet is read whole and raised.
      uint8_t first;
      RawReceive(&first, 1);
      if (first == 0xFF && piece < MaxPacketLength) {
        buffer_.SetLength(piece);
        GetBuffer()[0] = first;
        RawReceive(GetBuffer().data() + 1, piece - 1);
        RaiseErrorPacket(GetData(), static_cast<size_t>(piece));
      }
      if (head_size > 0) head[0] = first;
      total = 1;
      --left;
    }
    while (left > 0) {
      const int n = std::min(left, kSkipChunk);
      chunk.resize(static_cast<size_t>(n));
      RawReceive(chunk.data(), n);
      if (total < head_size) {
        const int keep = static_cast<int>(std::min<int64_t>(head_size - total, n));
        std::memcpy(head + total, chunk.data(), static_cast<size_t>(keep));
      }
      total += n;
      left -= n;
    }
    if (total > max_packet_size_) throw EMySqlException(kCrNetPacketTooLarge);
  } while (piece == MaxPacketLength);
  return total;
}

// ---- reading the received payload ----

PacketReader TMySqlNet::Reader() const {
  return PacketReader(GetData(), static_cast<size_t>(GetLength()), static_cast<size_t>(GetPosition()));
}

}  // namespace dac
