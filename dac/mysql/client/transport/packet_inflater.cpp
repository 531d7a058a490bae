#include "dac/mysql/client/transport/packet_inflater.h"

#include <libdeflate.h>

#include "dac/mysql/client/wire/client_errors.h"

namespace dac {

void PacketInflater::Free::operator()(libdeflate_decompressor* decompressor) const {
  libdeflate_free_decompressor(decompressor);
}

PacketInflater::PacketInflater() = default;
PacketInflater::~PacketInflater() = default;

bool PacketInflater::Inflate(const uint8_t* source, size_t source_length, uint8_t* output, size_t output_length) {
  if (!decompressor_) {
    decompressor_.reset(libdeflate_alloc_decompressor());
    if (!decompressor_) throw EMySqlException(kErNetUncompressError);
  }
  // Without a place for the length produced, anything but exactly
  // output_length bytes is a failure.
  return libdeflate_zlib_decompress(decompressor_.get(), source, source_length, output, output_length, nullptr) ==
         LIBDEFLATE_SUCCESS;
}

}  // namespace dac
