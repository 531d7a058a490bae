// The protocol's zlib routines in the shape of the record store's
// compression hooks (dac/store/blob/compression_hooks.h); the provider's start-up
// installs them there.
#pragma once

namespace dac {

// zlib's compress and uncompress: 0 on success, dest_length the bytes produced.
int MySqlCompress(unsigned char* dest, unsigned long* dest_length, const unsigned char* source,
                  unsigned long source_length);
int MySqlUncompress(unsigned char* dest, unsigned long* dest_length, const unsigned char* source,
                    unsigned long source_length);

}  // namespace dac
