// Inflating the compressed protocol's packets: each one a whole zlib stream
// (RFC 1950) of known inflated length. One inflater serves every packet of a
// connection, so that none allocates zlib's state anew, and the whole output
// is produced in one call, so that zlib keeps no window of it; the stream's
// check value is verified by a checksum routine that uses the processor's
// vector instructions where it has them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct z_stream_s;

namespace dac {

// Adler-32 (RFC 1950) of count bytes, continuing from adler (1 to start).
uint32_t Adler32(uint32_t adler, const uint8_t* bytes, size_t count);

class PacketInflater {
 public:
  PacketInflater();
  ~PacketInflater();
  PacketInflater(const PacketInflater&) = delete;
  PacketInflater& operator=(const PacketInflater&) = delete;

  // True when source is one zlib stream that inflates to exactly
  // output_length bytes at output and ends with their check value.
  bool Inflate(const uint8_t* source, size_t source_length, uint8_t* output, size_t output_length);

 private:
  struct End {
    void operator()(z_stream_s* stream) const;
  };
  std::unique_ptr<z_stream_s, End> stream_;
};

}  // namespace dac
