// Inflating the compressed protocol's packets: each one a whole zlib stream
// (RFC 1950) of known inflated length, inflated in one call by a
// whole-buffer decompressor (libdeflate), which also checks the stream's
// check value. It does in about half the time what zlib's streaming
// inflater does, and the packets are inflated whole anyway. One inflater
// serves every packet of a connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct libdeflate_decompressor;

namespace dac {

class PacketInflater {
 public:
  PacketInflater();
  ~PacketInflater();
  PacketInflater(const PacketInflater&) = delete;
  PacketInflater& operator=(const PacketInflater&) = delete;

  // True when source starts with one zlib stream that inflates to exactly
  // output_length bytes at output, its check value right. 1157 "uncompress
  // error" when no decompressor can be had.
  bool Inflate(const uint8_t* source, size_t source_length, uint8_t* output, size_t output_length);

 private:
  struct Free {
    void operator()(libdeflate_decompressor* decompressor) const;
  };
  std::unique_ptr<libdeflate_decompressor, Free> decompressor_;
};

}  // namespace dac
