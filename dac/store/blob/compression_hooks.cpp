#include "dac/store/blob/compression_hooks.h"

#include "dac/framework/classes/exceptions.h"

namespace dac {

std::atomic<CompressFunc> CompressProc{nullptr};
std::atomic<CompressFunc> UncompressProc{nullptr};

void CheckZLib() {
  if (!CompressProc) throw Exception("Compressor function is not linked");
  if (!UncompressProc) throw Exception("Uncompressor function is not linked");
}

void DoCompress(void* dest, unsigned long* dest_length, const void* source, unsigned long source_length) {
  const CompressFunc compress = CompressProc.load();
  DAC_ASSERT(compress != nullptr, "Compressor function is not linked");
  const int result = compress(static_cast<unsigned char*>(dest), dest_length,
                              static_cast<const unsigned char*>(source), source_length);
  if (result != 0) throw Exception(Format("Compression failed with error %d", result));
}

void DoUncompress(void* dest, unsigned long* dest_length, const void* source, unsigned long source_length) {
  const CompressFunc uncompress = UncompressProc.load();
  DAC_ASSERT(uncompress != nullptr, "Uncompressor function is not linked");
  const int result = uncompress(static_cast<unsigned char*>(dest), dest_length,
                                static_cast<const unsigned char*>(source), source_length);
  if (result != 0) throw Exception(Format("Uncompression failed with error %d", result));
}

}  // namespace dac
