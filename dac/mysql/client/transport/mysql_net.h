// Packet framing over one transport: stages one outgoing logical packet and
// frames it at Send (4-byte headers, pieces of at most 0xFFFFFF bytes, the
// 7-byte compressed header when compression is on); reads logical packets
// back, joining pieces and inflating compressed packets; checks sequence
// numbers; turns error packets into EMySqlException. What a payload holds is
// protocol.h's business: reads go through Reader(), writes through Writer().
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/transport/mysql_vio.h"
#include "dac/mysql/client/transport/packet_inflater.h"
#include "dac/mysql/client/wire/packet_reader.h"
#include "dac/mysql/client/wire/packet_writer.h"
#include "dac/store/runtime/memory_stream.h"

namespace dac {

constexpr int kNetHeaderSize = 4;
constexpr int kCompHeaderSize = 3;
// Initial capacity of the packet buffer.
constexpr int BufferLength = 8192;
// Largest payload of one physical packet.
constexpr int32_t MaxPacketLength = 0xFFFFFF;
// Compressed packets of this many bytes or fewer go out stored.
constexpr int kMinCompressLength = 50;
// The maximum packet size announced to the server, and the default cap on a
// received logical packet. It may change while threads run (the connection
// pool's validation thread opens connections): new connections take the
// value of the moment, open ones keep theirs.
extern std::atomic<int32_t> MaxAllowedPacket;

class TMySqlNet : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TMySqlNet();
  ~TMySqlNet() override;
  TMySqlNet(const TMySqlNet&) = delete;
  TMySqlNet& operator=(const TMySqlNet&) = delete;

  // The packet buffer. While writing, its first kNetHeaderSize bytes are
  // the header's place and the payload follows; after a receive it holds the
  // payload from offset 0.
  TBytes& GetBuffer() {
    TakeIntoBuffer();
    return buffer_.GetBuffer();
  }
  // The received packet's payload, or the packet being staged. A received
  // packet that came whole may be read where it arrived (the transport's
  // buffer): valid until the next receive.
  const uint8_t* GetData() const { return received_ ? received_ : buffer_.GetBuffer().data(); }
  int GetLength() const { return received_ ? received_length_ : buffer_.GetLength(); }
  void SetLength(int length) {
    TakeIntoBuffer();
    buffer_.SetLength(length);
  }
  int GetPosition() const { return received_ ? 0 : buffer_.GetPosition(); }
  void SetPosition(int position);
  // Position and length := kNetHeaderSize: an empty staged payload.
  void Clear();
  // Sequence numbers 0, then Clear: the start of every command.
  void NewCommand();

  // Closes and frees the current transport, then keeps the new one.
  void SetVio(std::unique_ptr<TMySqlVio> vio);
  TMySqlVio* GetVio() const { return vio_.get(); }
  // Closes the buffers and closes and frees the transport.
  void Close();

  bool GetCompress() const { return compress_; }
  void SetCompress(bool value) { compress_ = value; }
  uint8_t GetSequence() const { return sequence_; }
  void SetSequence(uint8_t value) { sequence_ = compressed_sequence_ = value; }
  // Largest logical packet accepted (2020 beyond it).
  int32_t GetMaxPacketSize() const { return max_packet_size_; }
  void SetMaxPacketSize(int32_t value) { max_packet_size_ = value; }

  // Appends to the staged payload; protocol.h builds packets through it.
  PacketWriter Writer() {
    TakeIntoBuffer();
    return PacketWriter(buffer_);
  }

  // Frames and sends the staged payload (nothing when it is empty): pieces
  // of at most MaxPacketLength, and after an exact multiple of it the empty
  // packet that ends the payload. Then Clear.
  void Send();
  // A packet with an empty payload (the staged payload must be empty).
  void SendEmpty();

  // One logical packet, read from position 0 (GetData, GetLength, Reader).
  // An error packet raises the server's error; a packet beyond
  // GetMaxPacketSize raises 2020.
  void Receive() {
    if (!ReceiveWholeAtHand()) ReceiveTheLongWay();
  }
  // One logical packet into bytes; its length. An empty packet is malformed
  // (2027); one of MaxPacketLength bytes or more is read past and refused
  // with 2020 "Cannot retrieve huge data in FetchAll mode".
  int ReceiveBuffer(TBytes& bytes);
  // Reads past one logical packet in chunks, keeping at most head_size of
  // its first bytes in head; an error packet raises. The packet's length.
  int64_t SkipPacket(uint8_t* head, int head_size);

  // A reader over the received payload from the current position.
  PacketReader Reader() const;

 private:
  // The common case of Receive, inline: an uncompressed packet, not an
  // error, that lies whole in the transport's read-ahead buffer already is
  // taken where it is. False, with nothing changed, for anything else. It
  // reads nothing: a read that waits and fails is the long way's, once.
  bool ReceiveWholeAtHand() {
    received_ = nullptr;
    if (compress_ || !vio_) return false;
    const uint8_t* at = vio_->PeekBuffered(kNetHeaderSize);
    if (!at) return false;
    const int length = static_cast<int>(at[0] | (at[1] << 8) | (at[2] << 16));
    if (length >= MaxPacketLength || length > max_packet_size_ || at[3] != sequence_) return false;
    at = vio_->PeekBuffered(kNetHeaderSize + length);
    if (!at || (length > 0 && at[kNetHeaderSize] == 0xFF)) return false;
    compressed_sequence_ = ++sequence_;
    vio_->Consume(kNetHeaderSize + length);
    received_ = at + kNetHeaderSize;
    received_length_ = length;
    return true;
  }
  void ReceiveTheLongWay();
  // A packet that lies whole in the transport's read-ahead (or, compressed,
  // in the inflated bytes) is taken where it is; false when it does not.
  bool ReceiveInPlace();
  // A received packet read in place moves into the packet buffer.
  void TakeIntoBuffer();
  void CheckSequence(uint8_t received, const char* where) {
    const uint8_t expected = sequence_++;
    compressed_sequence_ = sequence_;
    if (received != expected) OutOfOrder(received, expected, where);
  }
  [[noreturn]] static void OutOfOrder(uint8_t received, uint8_t expected, const char* where);
  void VioRead(uint8_t* dest, int count);
  void VioWrite(const uint8_t* source, int count);
  int ReceiveHeader();
  void ReceiveCompressedPacket();
  void RawReceive(uint8_t* dest, int count);
  // One physical packet (header and payload) onto the wire or into the
  // compressed stream.
  void Emit(const uint8_t* bytes, int count);
  void FlushCompressed();
  void WriteHeaderAt(uint8_t* at, int length);

  std::unique_ptr<TMySqlVio> vio_;
  MemoryStream buffer_;
  // The payload of a packet received in place; null when GetData is buffer_'s.
  const uint8_t* received_ = nullptr;
  int received_length_ = 0;
  // Compressed mode: inflated bytes not yet handed out.
  TBytes inflated_;
  size_t inflated_position_ = 0;
  // Compressed mode: the uncompressed bytes of the compressed packet being
  // built, after 7 reserved header bytes.
  TBytes deflate_pending_;
  TBytes scratch_;
  PacketInflater inflater_;
  uint8_t sequence_ = 0;
  uint8_t compressed_sequence_ = 0;
  bool compress_ = false;
  int32_t max_packet_size_;
};

}  // namespace dac
