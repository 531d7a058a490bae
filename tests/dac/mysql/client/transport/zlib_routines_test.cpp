#include "dac/mysql/client/transport/zlib_routines.h"

#include <gtest/gtest.h>

#include <string>

#include "dac/store/blob/compression_hooks.h"

namespace dac {
namespace {

TEST(ZlibRoutinesTest, InstalledAsTheRecordStoreHooksTheyRoundTrip) {
  const CompressFunc old_compress = CompressProc, old_uncompress = UncompressProc;
  CompressProc = MySqlCompress;
  UncompressProc = MySqlUncompress;
  const std::string text(5000, 'r');
  std::string packed(6000, '\0');
  unsigned long packed_length = packed.size();
  DoCompress(packed.data(), &packed_length, text.data(), text.size());
  EXPECT_LT(packed_length, text.size());
  std::string back(text.size(), '\0');
  unsigned long back_length = back.size();
  DoUncompress(back.data(), &back_length, packed.data(), packed_length);
  EXPECT_EQ(back_length, text.size());
  EXPECT_EQ(back, text);
  CompressProc = old_compress;
  UncompressProc = old_uncompress;
}

}  // namespace
}  // namespace dac
