// Compressed blobs with zlib's routines as the hooks: the stored form byte
// for byte, when compression is kept, whole and partial access, stored forms
// that lie (each failing with its message and leaving the bytes as they
// were), missing or failing hooks, and rollback copies.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/compressed_blob.h"
#include "tests/dac/store/zlib_hooks.h"

namespace dac {
namespace {

using Blob = SharedRef<TCompressedBlob>;

class CompressedBlobTest : public ::testing::Test {
 protected:
  CompressedBlobTest() {
    CompressProc = testing::ZCompress;
    UncompressProc = testing::ZUncompress;
  }
  testing::HooksGuard guard_;

  static std::string Pattern(size_t size, size_t from = 0) {
    std::string value;
    for (size_t i = from; i < from + size; ++i) value += static_cast<char>('a' + i % 7);
    return value;
  }
  static Blob Make(const std::string& content) {
    Blob blob = MakeShared<TCompressedBlob>();
    blob->Write(0, static_cast<uint32_t>(content.size()), content.data());
    return blob;
  }
  static std::string Stored(TCompressedBlob& blob) {
    std::string bytes;
    for (PPieceHeader p = blob.FirstPiece(); p; p = p->next) bytes.append(reinterpret_cast<char*>(PieceData(p)), p->used);
    return bytes;
  }
  static std::string Failure(const std::function<void()>& action) {
    try {
      action();
    } catch (const Exception& e) {
      return e.Message();
    }
    return "";
  }
};

TEST_F(CompressedBlobTest, StoredFormIsGuidSizeAndZlibStream) {
  const std::string value = Pattern(1000);
  Blob blob = Make(value);
  blob->SetCompressed(true);
  ASSERT_TRUE(blob->GetCompressed());
  const std::string stored = Stored(*blob);
  EXPECT_EQ(stored.substr(0, 20), std::string("\x39\x8C\x9D\xF1\x58\x55\x49\x38\xA6\x52\x87\xCE\xE0\xC6\xDA\x7E"
                                               "\xE8\x03\x00\x00",
                                               20));
  std::string restored(1000, '\0');
  unsigned long length = restored.size();
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(restored.data()), &length,
                       reinterpret_cast<const Bytef*>(stored.data()) + 20, stored.size() - 20),
            Z_OK);
  EXPECT_EQ(restored, value);
  EXPECT_EQ(blob->GetSize(), 1000u);
  EXPECT_EQ(blob->GetCompressedSize(), stored.size());
  EXPECT_EQ(blob->FirstPiece()->size, blob->FirstPiece()->used);
  EXPECT_EQ(blob->GetAsString(), value);
}

TEST_F(CompressedBlobTest, CompressionIsKeptFromFiftyOneBytesWhenItSaves) {
  std::string noise(1000, '\0');
  std::mt19937 rng(7);
  for (char& c : noise) c = static_cast<char>(rng());
  const struct {
    std::string value;
    bool compressed;
    bool modified;
  } cases[] = {{std::string(50, 'x'), false, false}, {std::string(51, 'x'), true, true}, {noise, false, true}};
  for (const auto& c : cases) {
    Blob blob = Make(c.value);
    blob->SetModified(false);
    blob->SetCompressed(true);
    EXPECT_EQ(blob->GetCompressed(), c.compressed) << c.value.size();
    EXPECT_EQ(blob->GetModified(), c.modified) << c.value.size();
    EXPECT_EQ(blob->GetSize(), c.value.size());
    EXPECT_EQ(blob->GetAsString(), c.value);
  }
  EXPECT_EQ(Failure([&] { Make(noise)->GetCompressedSize(); }), "Blob is not compressed");
  EXPECT_FALSE(Make("")->CompressFrom(noise.data(), 0x80000000u));  // beyond the size field, source untouched
}

TEST_F(CompressedBlobTest, WholeAccessKeepsTheFormPartialAccessDecompresses) {
  const std::string value = Pattern(200);
  Blob blob = Make(value);
  blob->SetCompressed(true);
  std::string out(200, '\0');
  EXPECT_EQ(blob->Read(0, 0, out.data()), 200u);
  EXPECT_EQ(blob->Read(0, 200, out.data()), 200u);
  EXPECT_EQ(out, value);
  EXPECT_TRUE(blob->GetCompressed());
  blob->SetSize(200);  // its own size: nothing to do
  EXPECT_TRUE(blob->GetCompressed());
  EXPECT_EQ(blob->Read(5, 10, out.data()), 10u);
  EXPECT_EQ(out.substr(0, 10), value.substr(5, 10));
  EXPECT_FALSE(blob->GetCompressed());

  blob->SetCompressed(true);
  const std::string other = Pattern(200, 1);
  blob->Write(0, 200, other.data());  // a whole rewrite stays compressed
  EXPECT_TRUE(blob->GetCompressed());
  EXPECT_EQ(blob->GetAsString(), other);
  blob->Write(1, 3, "XYZ");
  EXPECT_FALSE(blob->GetCompressed());
  EXPECT_EQ(blob->GetAsString(), other.substr(0, 1) + "XYZ" + other.substr(4));
  blob->SetCompressed(true);
  blob->Truncate(10);
  EXPECT_EQ(blob->GetAsString(), other.substr(0, 1) + "XYZ" + other.substr(4, 6));
}

TEST_F(CompressedBlobTest, LyingStoredFormsFailWithTheirMessageAndStayIntact) {
  std::string good;
  {
    Blob blob = Make(Pattern(1000));
    blob->SetCompressed(true);
    good = Stored(*blob);
  }
  auto with_size = [&](int32_t size) {
    std::string bytes = good;
    std::memcpy(bytes.data() + 16, &size, 4);
    return bytes;
  };
  std::string corrupt = good;
  for (size_t i = 22; i < corrupt.size(); i += 3) corrupt[i] = static_cast<char>(~corrupt[i]);
  std::string altered = good;
  altered[0] = 0;
  const struct {
    std::string stored;
    std::string message;
  } cases[] = {
      {corrupt, "Invalid compressed blob data"},
      {with_size(999), "Invalid compressed blob data"},
      {with_size(1001), "Invalid uncompressed blob size"},
      {with_size(-1), "Invalid compressed blob size"},
      {with_size(0), "Invalid compressed blob size"},
      {with_size(std::numeric_limits<int32_t>::max()), "Invalid compressed blob size"},
  };
  std::vector<char> out(2000);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Blob blob = Make(c.stored);
    ASSERT_TRUE(blob->GetCompressed());
    EXPECT_EQ(Failure([&] { blob->Read(0, 0, out.data()); }), c.message);
    EXPECT_EQ(Failure([&] { blob->SetCompressed(false); }), c.message);
    EXPECT_EQ(Failure([&] { blob->Read(1, 5, out.data()); }), c.message);
    EXPECT_EQ(Stored(*blob), c.stored);
  }
  // Not the header: an ordinary value, which UncompressTo refuses.
  for (const std::string& stored : {altered, good.substr(0, 20)}) {
    Blob blob = Make(stored);
    EXPECT_FALSE(blob->GetCompressed());
    uint32_t length = 1000;
    EXPECT_EQ(Failure([&] { blob->UncompressTo(out.data(), length); }),
              stored.size() == 20 ? "Invalid compressed blob size" : "Invalid compressed blob header");
    EXPECT_EQ(blob->GetAsString(), stored);
  }
}

TEST_F(CompressedBlobTest, MissingOrFailingHooks) {
  const std::string value = Pattern(1000);
  Blob blob = Make(value);
  CompressProc = nullptr;
  EXPECT_EQ(Failure([&] { blob->SetCompressed(true); }), "Compressor function is not linked");
  EXPECT_EQ(Stored(*blob), value);

  CompressProc = [](unsigned char*, unsigned long*, const unsigned char*, unsigned long) { return Z_MEM_ERROR; };
  blob->SetCompressed(true);
  EXPECT_FALSE(blob->GetCompressed());
  EXPECT_EQ(Stored(*blob), value);

  CompressProc = testing::ZCompress;
  blob->SetCompressed(true);
  UncompressProc = nullptr;
  EXPECT_EQ(Failure([&] { blob->GetAsString(); }), "Uncompressor function is not linked");
  EXPECT_TRUE(blob->GetCompressed());
  CompressProc = nullptr;
  blob->Write(0, 1000, value.data());  // a whole rewrite needs no compressor: stored plain
  EXPECT_EQ(Stored(*blob), value);
}

TEST_F(CompressedBlobTest, RollbackCopyKeepsTheStoredForm) {
  const std::string value = Pattern(1000);
  Blob blob = Make(value);
  blob->SetCompressed(true);
  const std::string stored = Stored(*blob);
  blob->EnableRollback();
  const std::string other = Pattern(1000, 1);
  blob->Write(0, 1000, other.data());
  EXPECT_EQ(blob->GetAsString(), other);
  auto* copy = dynamic_cast<TCompressedBlob*>(blob->GetRollback());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(Stored(*copy), stored);
  blob->Cancel();
  EXPECT_EQ(Stored(*blob), stored);
  EXPECT_EQ(blob->GetAsString(), value);
  blob->Truncate(0);
  blob->Commit();
  EXPECT_EQ(blob->GetSize(), 0u);
  EXPECT_FALSE(blob->CanRollback());
}

}  // namespace
}  // namespace dac
