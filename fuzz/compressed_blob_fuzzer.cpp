// A blob value as a server delivers it, stored as it came: a value that
// starts with the compressed form's GUID is read through its header, size
// field and zlib stream, whole and in part, then decompressed for good; any
// other value is compressed and must read back as it was. Every failure is
// the blob's own error and leaves the stored bytes as they were.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/compressed_blob.h"
#include "fuzz/fuzz_support.h"
#include "tests/dac/store/zlib_hooks.h"

namespace fuzz {
namespace {

using Blob = dac::SharedRef<dac::TCompressedBlob>;

std::string Stored(const dac::TCompressedBlob& blob) {
  std::string bytes;
  for (dac::PPieceHeader p = blob.FirstPiece(); p; p = p->next)
    bytes.append(reinterpret_cast<const char*>(dac::PieceData(p)), p->used);
  return bytes;
}

void ReadCompressed(dac::TCompressedBlob& blob) {
  const std::string stored = Stored(blob);
  std::string whole;
  try {
    whole.resize(blob.GetSize());
    blob.Read(0, 0, whole.data());
  } catch (const dac::Exception&) {
    Require(Stored(blob) == stored, "a failed read changed the stored form");
    return;
  }
  // Any read but a whole one decompresses the blob for good.
  char part[5];
  blob.Read(whole.size() > 1 ? 1 : 0, sizeof part, part);
  Require(!blob.GetCompressed() && blob.GetAsString() == whole, "decompressing gave other bytes than a whole read");
}

void CompressAndReadBack(dac::TCompressedBlob& blob, const std::string& value) {
  blob.SetCompressed(true);
  std::string back(blob.GetSize(), '\0');
  blob.Read(0, 0, back.data());
  Require(back == value, "a compressed value reads back otherwise");
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  dac::CompressProc = dac::testing::ZCompress;
  dac::UncompressProc = dac::testing::ZUncompress;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string value(fuzz::AsText(data, size));
  fuzz::Blob blob = dac::MakeShared<dac::TCompressedBlob>();
  blob->Write(0, static_cast<uint32_t>(value.size()), value.data());
  if (blob->GetCompressed())
    fuzz::ReadCompressed(*blob);
  else
    fuzz::CompressAndReadBack(*blob, value);
  return 0;
}
