#include "dac/mysql/client/transport/mysql_net.h"

#include <gtest/gtest.h>

#include <memory>

#include "dac/mysql/client/wire/client_errors.h"
#include "tests/dac/mysql/client/wire_test_support.h"

namespace dac {
namespace {

using testing::Bytes;
using testing::CompressedFrame;
using testing::ErrorCodeOf;
using testing::Frame;
using testing::MemoryVio;
using testing::SplitCompressed;
using testing::SplitPackets;

class NetTest : public ::testing::Test {
 protected:
  NetTest() {
    auto vio = std::make_unique<MemoryVio>();
    vio_ = vio.get();
    vio_->Connect();
    net_.SetVio(std::move(vio));
    net_.NewCommand();
  }

  TBytes Pattern(size_t size) {
    TBytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
  }

  // Sends payload and returns the physical packets written.
  std::vector<testing::PhysicalPacket> SendPayload(const TBytes& payload) {
    vio_->ClearOutput();
    net_.Writer().WriteBytes(payload);
    net_.Send();
    return SplitPackets(vio_->Output());
  }

  TMySqlNet net_;
  MemoryVio* vio_;
};

// A peer that sends nothing (it ended, or the time-out passed) is asked once
// per receive: one time-out is one wait, however the packet is looked for.
TEST(NetReceiveTest, ASilentPeerIsAskedOnceAndTheConnectionIsLost) {
  class CountingVio : public MemoryVio {
   public:
    int ReadNoWait(uint8_t* buffer, int offset, int count) override {
      ++reads;
      return MemoryVio::ReadNoWait(buffer, offset, count);
    }
    int reads = 0;
  };
  for (const TBytes& input : {TBytes{}, TBytes{5, 0}}) {
    auto vio = std::make_unique<CountingVio>();
    CountingVio* counting = vio.get();
    vio->AddInput(input);
    vio->Connect();
    TMySqlNet net;
    net.SetVio(std::move(vio));
    net.NewCommand();
    EXPECT_EQ(ErrorCodeOf([&] { net.Receive(); }), kCrServerLost) << input.size();
    EXPECT_EQ(counting->reads, input.empty() ? 1 : 2) << input.size();
  }
}

TEST_F(NetTest, PayloadsAroundTheBufferLengthGoOutAsOnePacketEach) {
  uint8_t expected_sequence = 0;
  for (size_t size : {1u, 8187u, 8188u, 8189u, 8192u, 100000u}) {
    const TBytes payload = Pattern(size);
    const auto packets = SendPayload(payload);
    ASSERT_EQ(packets.size(), 1u) << size;
    EXPECT_EQ(packets[0].length, size);
    EXPECT_EQ(packets[0].sequence, expected_sequence++);
    EXPECT_EQ(packets[0].payload, payload);
  }
  // Nothing staged: nothing sent.
  vio_->ClearOutput();
  net_.Send();
  EXPECT_TRUE(vio_->Output().empty());
}

TEST_F(NetTest, ExactMultiplesOfTheMaximumPieceEndWithAnEmptyPacket) {
  for (size_t size : {static_cast<size_t>(MaxPacketLength), static_cast<size_t>(MaxPacketLength) + 10,
                      2 * static_cast<size_t>(MaxPacketLength)}) {
    net_.NewCommand();
    const TBytes payload = Pattern(size);
    const auto packets = SendPayload(payload);
    const size_t full = size / MaxPacketLength;
    ASSERT_EQ(packets.size(), full + 1) << size;
    TBytes joined;
    for (size_t i = 0; i < packets.size(); ++i) {
      EXPECT_EQ(packets[i].sequence, i);
      EXPECT_EQ(packets[i].length, i < full ? static_cast<uint32_t>(MaxPacketLength) : size % MaxPacketLength);
      testing::Append(joined, packets[i].payload);
    }
    EXPECT_EQ(joined, payload);

    // And back: Receive joins the pieces into one logical packet.
    MemoryVio* echo = new MemoryVio(vio_->Output());
    TMySqlNet reader;
    echo->Connect();
    reader.SetVio(std::unique_ptr<TMySqlVio>(echo));
    reader.NewCommand();
    reader.Receive();
    ASSERT_EQ(reader.GetLength(), static_cast<int>(size));
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), reader.GetData()));
  }
}

TEST_F(NetTest, SequenceNumbersWrapAndAMismatchIs1156) {
  net_.SetSequence(255);
  net_.Writer().WriteByte(1);
  net_.Send();
  net_.Writer().WriteByte(2);
  net_.Send();
  const auto packets = SplitPackets(vio_->Output());
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0].sequence, 255);
  EXPECT_EQ(packets[1].sequence, 0);

  vio_->AddInput(Frame(Bytes("ok"), 1));
  vio_->AddInput(Frame(Bytes("late"), 5));
  net_.Receive();
  EXPECT_EQ(net_.Reader().ReadString(2), "ok");
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { net_.Receive(); }, &message), 1156);
  EXPECT_EQ(message, "\r\nReceiveHeader: Net packets out of order: received[5], expected[2]");
}

TEST_F(NetTest, ErrorPacketsRaiseTheServersCodeAndMessage) {
  TBytes error = {0xFF, 0x28, 0x04};
  testing::Append(error, Bytes("#42000You have an error"));
  vio_->AddInput(Frame(error, 0));
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { net_.Receive(); }, &message), 1064);
  EXPECT_EQ(message, "\r\n#42000You have an error");

  // A short error packet is malformed, not a read past its end.
  vio_->AddInput(Frame({0xFF, 0x28}, 1));
  EXPECT_EQ(ErrorCodeOf([&] { net_.Receive(); }), kCrMalformedPacket);
  // An empty packet is no error.
  vio_->AddInput(Frame({}, 2));
  net_.Receive();
  EXPECT_EQ(net_.GetLength(), 0);
}

TEST_F(NetTest, LengthCodedIntegers) {
  struct Case {
    uint64_t value;
    TBytes bytes;
  };
  const Case cases[] = {
      {250, {250}},
      {251, {252, 0xFB, 0x00}},
      {0xFFFF, {252, 0xFF, 0xFF}},
      {0x10000, {253, 0x00, 0x00, 0x01}},
      {0xFFFFFF, {253, 0xFF, 0xFF, 0xFF}},
      {0x1000000, {254, 0, 0, 0, 1, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    net_.Clear();
    net_.Writer().WriteFieldLength(c.value);
    const TBytes written(net_.GetData() + kNetHeaderSize, net_.GetData() + net_.GetLength());
    EXPECT_EQ(written, c.bytes) << c.value;
    vio_->AddInput(Frame(c.bytes, net_.GetSequence()));
    net_.Clear();
    net_.Receive();
    EXPECT_EQ(net_.Reader().ReadFieldLength(), static_cast<int64_t>(c.value));
  }
  vio_->AddInput(Frame({0xFB, 0xFE, 0x01}, net_.GetSequence()));
  net_.Receive();
  PacketReader reader = net_.Reader();
  EXPECT_EQ(reader.ReadFieldLength(), NullLength);
  // 254 without its 8 bytes, and 255, are malformed.
  EXPECT_EQ(ErrorCodeOf([&] { reader.ReadFieldLength(); }), kCrMalformedPacket);
  vio_->AddInput(Frame({0xFF}, net_.GetSequence()));
  EXPECT_EQ(ErrorCodeOf([&] { net_.Receive(); }), kCrMalformedPacket);
}

TEST_F(NetTest, BoundedReadsAndCaps) {
  vio_->AddInput(Frame({1, 2, 3}, 0));
  net_.Receive();
  PacketReader reader = net_.Reader();
  EXPECT_EQ(ErrorCodeOf([&] { reader.ReadUInt32(); }), kCrMalformedPacket);
  EXPECT_EQ(reader.ReadInt24(), 0x030201u);
  EXPECT_EQ(reader.ReadString(), "");
  EXPECT_EQ(ErrorCodeOf([&] { reader.ReadByte(); }), kCrMalformedPacket);

  // A logical packet beyond the cap is refused.
  net_.SetMaxPacketSize(100);
  vio_->AddInput(Frame(TBytes(101, 'a'), 1));
  EXPECT_EQ(ErrorCodeOf([&] { net_.Receive(); }), kCrNetPacketTooLarge);
}

TEST_F(NetTest, ReceiveBufferRefusesEmptyAndHugePacketsButStaysInStep) {
  vio_->AddInput(Frame({}, 0));
  TBytes row;
  EXPECT_EQ(ErrorCodeOf([&] { net_.ReceiveBuffer(row); }), kCrMalformedPacket);

  vio_->AddInput(Frame(TBytes(MaxPacketLength, 'h'), 1));
  vio_->AddInput(Frame(TBytes(5, 'h'), 2));
  vio_->AddInput(Frame(Bytes("next"), 3));
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { net_.ReceiveBuffer(row); }, &message), kCrNetPacketTooLarge);
  EXPECT_NE(message.find("Cannot retrieve huge data in FetchAll mode"), std::string::npos);
  EXPECT_EQ(net_.ReceiveBuffer(row), 4);
  EXPECT_EQ(row, Bytes("next"));
}

TEST_F(NetTest, ShortTransportReadIsALostConnection) {
  vio_->AddInput({10, 0, 0, 0, 'a', 'b'});
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { net_.Receive(); }, &message), kCrServerLost);
  EXPECT_EQ(message, "Lost connection to MySQL server during query");
}

TEST_F(NetTest, ReadsAreJoinedFromSmallTransportChunks) {
  vio_->SetMaxChunk(3);
  const TBytes payload = Pattern(5000);
  vio_->AddInput(Frame(payload, 0));
  net_.Receive();
  ASSERT_EQ(net_.GetLength(), 5000);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), net_.GetData()));
}

class CompressedNetTest : public NetTest {
 protected:
  CompressedNetTest() { net_.SetCompress(true); }
};

TEST_F(CompressedNetTest, FiftyBytesGoOutStoredAndMoreDeflated) {
  // 46 payload bytes + 4 header bytes = 50.
  net_.Writer().WriteBytes(TBytes(46, 0));
  net_.Send();
  net_.Writer().WriteBytes(TBytes(47, 0));
  net_.Send();
  const auto packets = SplitCompressed(vio_->Output());
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0].uncompressed_length, 0u);
  EXPECT_EQ(packets[0].compressed_length, 50u);
  EXPECT_EQ(packets[0].sequence, 0);
  EXPECT_EQ(packets[1].uncompressed_length, 51u);
  EXPECT_LT(packets[1].compressed_length, 51u);
  EXPECT_EQ(packets[1].sequence, 1);
  const auto inner = SplitPackets(packets[1].content);
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_EQ(inner[0].payload, TBytes(47, 0));
}

TEST_F(CompressedNetTest, IncompressibleDataGoesOutStored) {
  TBytes noise(5000);
  uint32_t x = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
  net_.Writer().WriteBytes(noise);
  net_.Send();
  const auto packets = SplitCompressed(vio_->Output());
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].uncompressed_length, 0u);
  EXPECT_EQ(SplitPackets(packets[0].content)[0].payload, noise);
}

TEST_F(CompressedNetTest, LargePayloadsAreSpreadOverCompressedPacketsOfAtMostTheMaximum) {
  const TBytes payload = Pattern(MaxPacketLength);
  net_.Writer().WriteBytes(payload);
  net_.Send();
  const auto packets = SplitCompressed(vio_->Output());
  ASSERT_GE(packets.size(), 2u);
  TBytes stream;
  for (size_t i = 0; i < packets.size(); ++i) {
    EXPECT_EQ(packets[i].sequence, i);
    EXPECT_LE(packets[i].content.size(), static_cast<size_t>(MaxPacketLength));
    testing::Append(stream, packets[i].content);
  }
  const auto inner = SplitPackets(stream);
  ASSERT_EQ(inner.size(), 2u);
  EXPECT_EQ(inner[0].payload, payload);
  EXPECT_EQ(inner[1].length, 0u);
}

TEST_F(CompressedNetTest, SeveralLogicalPacketsInOneCompressedPacketAndOneAcrossSeveral) {
  TBytes two = Frame(Bytes("first"), 0);
  testing::Append(two, Frame(Bytes("second"), 1));
  vio_->AddInput(CompressedFrame(two, 0, false));
  net_.Receive();
  EXPECT_EQ(net_.Reader().ReadString(5), "first");
  net_.Receive();
  EXPECT_EQ(net_.Reader().ReadString(6), "second");

  const TBytes long_payload = Pattern(3000);
  const TBytes inner = Frame(long_payload, 9);  // inner sequence numbers are not checked
  const TBytes a(inner.begin(), inner.begin() + 2), b(inner.begin() + 2, inner.begin() + 1000),
      c(inner.begin() + 1000, inner.end());
  vio_->AddInput(CompressedFrame(a, 1, true));
  vio_->AddInput(CompressedFrame(b, 2, false));
  vio_->AddInput(CompressedFrame(c, 3, true));
  net_.Receive();
  ASSERT_EQ(net_.GetLength(), 3000);
  EXPECT_TRUE(std::equal(long_payload.begin(), long_payload.end(), net_.GetData()));
}

TEST_F(CompressedNetTest, BadCompressedPacketsAreMalformedOrOutOfOrder) {
  TBytes packet = CompressedFrame(Frame(TBytes(200, 'z'), 0), 0, false);
  packet[4] = 150;  // announces fewer bytes than it inflates to
  vio_->AddInput(packet);
  EXPECT_EQ(ErrorCodeOf([&] { net_.Receive(); }), kCrMalformedPacket);

  net_.NewCommand();
  TBytes garbage = {4, 0, 0, 0, 100, 0, 0, 1, 2, 3, 4};
  vio_->AddInput(garbage);
  EXPECT_EQ(ErrorCodeOf([&] { net_.Receive(); }), kCrMalformedPacket);

  net_.NewCommand();
  vio_->AddInput(CompressedFrame(Frame(Bytes("x"), 0), 7, true));
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { net_.Receive(); }, &message), 1156);
  EXPECT_NE(message.find("ReceiveCompHeader: Net packets out of order: received[7], expected[0]"),
            std::string::npos);
}

}  // namespace
}  // namespace dac
