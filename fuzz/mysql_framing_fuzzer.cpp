// What a server sends after a command, framed (after a byte that turns
// compression on, caps the packet size, cuts the transport's reads short and
// picks how each packet is taken): logical packets are read until the bytes
// run out, joined from pieces and inflated where compressed. Every outcome is
// a packet within the cap or a protocol error.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/transport/mysql_net.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/server_bytes.h"

namespace fuzz {
namespace {

void ReadPackets(uint8_t setup, const uint8_t* data, size_t size) {
  auto vio = std::make_unique<ServerBytes>(data, size, setup & 0x2 ? 3 : SIZE_MAX);
  const ServerBytes& input = *vio;
  vio->Connect();
  dac::TMySqlNet net;
  net.SetVio(std::move(vio));
  net.SetCompress(setup & 0x1);
  const int32_t cap = int32_t{1} << (8 + (setup >> 4));
  net.SetMaxPacketSize(cap);
  net.NewCommand();
  dac::TBytes packet;
  uint8_t head[16];
  for (int turn = 0; !input.UsedUp(); ++turn) {
    switch ((setup >> 2 & 0x3) == 3 ? turn % 3 : setup >> 2 & 0x3) {
      case 0:
        net.Receive();
        Require(net.GetLength() <= cap, "a packet beyond the cap was taken");
        break;
      case 1:
        net.ReceiveBuffer(packet);
        break;
      default:
        net.SkipPacket(head, sizeof head);
        break;
    }
  }
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  try {
    fuzz::ReadPackets(data[0], data + 1, size - 1);
  } catch (const dac::EMySqlException&) {
  } catch (const fuzz::EndOfServerBytes&) {
  }
  return 0;
}
