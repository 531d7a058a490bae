// The protocol's zlib routines as the blob compression hooks, for one scope.
#pragma once

#include "dac/mysql/client/transport/zlib_routines.h"
#include "dac/store/blob/compression_hooks.h"

namespace dac::testing {

class ZlibHooks {
 public:
  ZlibHooks() : compress_(CompressProc), uncompress_(UncompressProc) {
    CompressProc = MySqlCompress;
    UncompressProc = MySqlUncompress;
  }
  ~ZlibHooks() {
    CompressProc = compress_;
    UncompressProc = uncompress_;
  }
  ZlibHooks(const ZlibHooks&) = delete;
  ZlibHooks& operator=(const ZlibHooks&) = delete;

 private:
  CompressFunc compress_;
  CompressFunc uncompress_;
};

}  // namespace dac::testing
