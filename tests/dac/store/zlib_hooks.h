// zlib's compress and uncompress as the record store's compression hooks,
// and a guard that puts the hooks back as they were.
#pragma once

#include <zlib.h>

#include "dac/store/blob/compression_hooks.h"

namespace dac::testing {

// zlib's compress takes a const source in newer releases; adapt both to the hook type.
inline int ZCompress(unsigned char* d, unsigned long* dl, const unsigned char* s, unsigned long sl) {
  return compress(d, dl, s, sl);
}
inline int ZUncompress(unsigned char* d, unsigned long* dl, const unsigned char* s, unsigned long sl) {
  return uncompress(d, dl, s, sl);
}

class HooksGuard {
 public:
  HooksGuard() : compress_(CompressProc), uncompress_(UncompressProc) {}
  ~HooksGuard() {
    CompressProc = compress_;
    UncompressProc = uncompress_;
  }
  HooksGuard(const HooksGuard&) = delete;
  HooksGuard& operator=(const HooksGuard&) = delete;

 private:
  CompressFunc compress_;
  CompressFunc uncompress_;
};

}  // namespace dac::testing
