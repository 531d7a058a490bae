#include "dac/store/compression_hooks.h"

#include "dac/framework/exceptions.h"

namespace dac {

CompressFunc CompressProc = nullptr;
CompressFunc UncompressProc = nullptr;

void CheckZLib() {
  if (!CompressProc) throw Exception("Compressor function is not linked");
  if (!UncompressProc) throw Exception("Uncompressor function is not linked");
}

void DoCompress(void* dest, unsigned long* dest_length, const void* source, unsigned long source_length) {
  DAC_ASSERT(CompressProc != nullptr, "Compressor function is not linked");
  const int result = CompressProc(static_cast<unsigned char*>(dest), dest_length,
                                  static_cast<const unsigned char*>(source), source_length);
  if (result != 0) throw Exception(Format("Compression failed with error %d", result));
}

void DoUncompress(void* dest, unsigned long* dest_length, const void* source, unsigned long source_length) {
  DAC_ASSERT(UncompressProc != nullptr, "Uncompressor function is not linked");
  const int result = UncompressProc(static_cast<unsigned char*>(dest), dest_length,
                                    static_cast<const unsigned char*>(source), source_length);
  if (result != 0) throw Exception(Format("Uncompression failed with error %d", result));
}

}  // namespace dac
