#include "dac/mysql/client/transport/zlib_routines.h"

#include <zlib.h>

namespace dac {

int MySqlCompress(unsigned char* dest, unsigned long* dest_length, const unsigned char* source,
                  unsigned long source_length) {
  return compress(dest, dest_length, source, source_length);
}

int MySqlUncompress(unsigned char* dest, unsigned long* dest_length, const unsigned char* source,
                    unsigned long source_length) {
  return uncompress(dest, dest_length, source, source_length);
}

}  // namespace dac
