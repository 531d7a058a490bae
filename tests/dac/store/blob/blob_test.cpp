#include "dac/store/blob/blob.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/streams.h"
#include "platform/files.h"
#include "platform/temp_file.h"

namespace dac {
namespace {

std::vector<uint8_t> Pattern(size_t n, uint32_t seed = 1) {
  std::vector<uint8_t> bytes(n);
  std::mt19937 gen(seed);
  for (auto& b : bytes) b = static_cast<uint8_t>(gen());
  return bytes;
}

std::string Content(TBlob& blob) {
  std::string out(blob.GetSize(), '\0');
  EXPECT_EQ(blob.Read(0, 0, out.data()), out.size());
  return out;
}

std::vector<std::pair<uint32_t, uint32_t>> Pieces(const TBlob& blob) {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  for (PPieceHeader p = blob.FirstPiece(); p; p = NextPiece(p)) out.emplace_back(p->size, *PieceUsedPtr(p));
  return out;
}

using BlobRef = SharedRef<TBlob>;

TEST(SharedObjectCounts, FreeDecrementsThenDestroys) {
  static bool destroyed = false;
  class Probe : public TSharedObject {
   protected:
    ~Probe() override { destroyed = true; }
  };
  destroyed = false;
  auto* probe = new Probe;
  EXPECT_EQ(probe->RefCount(), 1);
  probe->AddRef();
  probe->Free();
  EXPECT_EQ(probe->RefCount(), 1);
  EXPECT_FALSE(destroyed);
  probe->Free();
  EXPECT_TRUE(destroyed);
  FreeShared(nullptr);  // null is ignored
}

TEST(SharedObjectCounts, HolderAndGCHandle) {
  auto blob = MakeShared<TBlob>();
  {
    BlobRef second = blob;
    EXPECT_EQ(blob->RefCount(), 2);
  }
  EXPECT_EQ(blob->RefCount(), 1);
  void* handle = blob->GetGCHandle();
  EXPECT_EQ(TSharedObject::FromGCHandle(handle), blob.get());
  EXPECT_EQ(blob->ClassName(), "TBlob");
  EXPECT_TRUE(IsClass(blob.get(), TSharedObject::ClassInfo()));
  auto holder = MakeShared<TVariantObject>();
  holder->Value() = Variant("kept");
  EXPECT_EQ(holder->Value(), Variant("kept"));
}

TEST(BlobBasics, NewBlobIsEmpty) {
  auto blob = MakeShared<TBlob>();
  EXPECT_EQ(blob->RefCount(), 1);
  EXPECT_EQ(blob->FirstPiece(), nullptr);
  EXPECT_EQ(blob->GetSize(), 0u);
  char c;
  EXPECT_EQ(blob->Read(0, 10, &c), 0u);
  EXPECT_EQ(blob->GetAsString(), "");
  EXPECT_FALSE(blob->GetModified());
}

TEST(BlobBasics, HundredThousandBytesInTwoPieces) {
  auto blob = MakeShared<TBlob>();
  const auto data = Pattern(100000);
  blob->Write(0, 100000, data.data());
  EXPECT_EQ(Pieces(*blob), (std::vector<std::pair<uint32_t, uint32_t>>{{65514, 65514}, {65514, 34486}}));
  std::vector<uint8_t> back(100000);
  EXPECT_EQ(blob->Read(0, 100000, back.data()), 100000u);
  EXPECT_EQ(back, data);
  EXPECT_TRUE(blob->GetModified());

  blob->Truncate(100);
  EXPECT_EQ(Pieces(*blob), (std::vector<std::pair<uint32_t, uint32_t>>{{65514, 100}, {65514, 0}}));
  const auto fresh = Pattern(200, 7);
  blob->Write(50, 200, fresh.data());
  ASSERT_EQ(blob->GetSize(), 250u);
  const std::string content = Content(*blob);
  EXPECT_EQ(std::memcmp(content.data(), data.data(), 50), 0);
  EXPECT_EQ(std::memcmp(content.data() + 50, fresh.data(), 200), 0);
}

TEST(BlobBasics, PositionsSizesAndReads) {
  auto blob = MakeShared<TBlob>();
  blob->SetAsString("hello");
  blob->Write(99, 3, "!!!");  // beyond the size: appended
  EXPECT_EQ(blob->GetAsString(), "hello!!!");
  char buf[8] = {};
  EXPECT_EQ(blob->Read(6, 100, buf), 2u);
  EXPECT_EQ(blob->Read(9, 1, buf), 0u);
  blob->SetSize(10);
  EXPECT_EQ(blob->GetAsString(), std::string("hello!!!\0\0", 10));
  blob->SetSize(4);
  EXPECT_EQ(blob->GetAsString(), "hell");
  blob->Truncate(0);
  EXPECT_EQ(blob->FirstPiece(), nullptr);
  blob->SetAsString("0123456789");
  EXPECT_THROW(blob->Write(10, UINT32_MAX - 5, buf), Exception);  // past the 32-bit size
  EXPECT_EQ(blob->GetSize(), 10u);
}

TEST(BlobBasics, SmallPiecesDefragAndCompress) {
  auto blob = MakeShared<TBlob>();
  blob->SetPieceSize(8);
  const std::string text = "abcdefghijklmnopqrstuvwxyz";
  for (char c : text) blob->Write(blob->GetSize(), 1, &c);  // appends fill spare room first
  EXPECT_EQ(Pieces(*blob).size(), 26u);  // each one-byte request gets a piece of min(1, 8)
  EXPECT_EQ(Content(*blob), text);
  blob->Truncate(10);
  blob->Compress();
  EXPECT_EQ(Pieces(*blob).size(), 10u);
  blob->Defrag();
  EXPECT_EQ(Pieces(*blob), (std::vector<std::pair<uint32_t, uint32_t>>{{10, 10}}));
  EXPECT_EQ(Content(*blob), "abcdefghij");
  blob->Write(3, 20, "0123456789ABCDEFGHIJ");
  EXPECT_EQ(Content(*blob), "abc0123456789ABCDEFGHIJ");
}

TEST(BlobRollback, CancelRestoresAndCommitKeeps) {
  auto blob = MakeShared<TBlob>();
  blob->SetAsString("original");
  blob->SetModified(false);
  blob->EnableRollback();
  blob->Write(0, 3, "NEW");
  EXPECT_TRUE(blob->CanRollback());
  blob->Write(3, 1, "-");  // no second copy
  EXPECT_EQ(blob->GetAsString(), "NEW-inal");
  blob->Cancel();
  EXPECT_EQ(blob->GetAsString(), "original");
  EXPECT_FALSE(blob->GetModified());
  EXPECT_FALSE(blob->CanRollback());

  blob->Clear();
  EXPECT_EQ(blob->GetSize(), 0u);
  blob->Commit();
  EXPECT_FALSE(blob->CanRollback());
  EXPECT_EQ(blob->GetSize(), 0u);
  blob->SetSize(3);  // growing is a change too
  blob->Cancel();
  EXPECT_EQ(blob->GetSize(), 0u);
}

TEST(BlobRollback, ChangesNeedCachedMode) {
  auto blob = MakeShared<TBlob>();
  EXPECT_THROW(blob->SaveToRollback(), Exception);
  blob->EnableRollback();
  blob->SetSize(5);
  blob->Truncate(0);
  blob->Commit();
  // Pieces that hold nothing still move to the copy.
  blob->SetPieceSize(4);
  blob->Write(0, 4, "abcd");
  blob->Commit();
  blob->Truncate(1);
  blob->Commit();
  blob->SetSize(0);
  blob->Cancel();
  EXPECT_EQ(blob->GetAsString(), "a");
}

TEST(BlobUnicode, ViewsAndTheIsUnicodeRule) {
  auto wide = MakeShared<TBlob>(true);
  wide->SetAsString("caf\xE9 \x80");
  EXPECT_EQ(wide->GetSize(), 12u);
  EXPECT_EQ(wide->GetAsWideString(), u"caf\u00E9 \u20AC");
  EXPECT_EQ(wide->GetAsString(), "caf\xE9 \x80");
  EXPECT_EQ(wide->TranslatePosition(3), 6u);
  EXPECT_EQ(wide->GetSizeAnsi(), 6u);
  try {
    wide->SetIsUnicode(false);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cannot change IsUnicode if Size > 0");
  }
  EXPECT_TRUE(wide->IsUnicode());
  auto narrow = MakeShared<TBlob>();
  narrow->SetAsWideString(u"\u0416x");
  EXPECT_EQ(narrow->GetAsString(), "?x");
  EXPECT_THROW(narrow->GetSizeAnsi(), EAssertionFailed);
  narrow->Clear();
  narrow->SetIsUnicode(true);
  EXPECT_TRUE(narrow->IsUnicode());
}

TEST(BlobLineEnds, AddAndRemoveCR) {
  auto blob = MakeShared<TBlob>();
  blob->SetAsString("a\nb\r\nc");
  blob->AddCR();
  EXPECT_EQ(blob->GetAsString(), "a\r\nb\r\nc");
  blob->RemoveCR();
  EXPECT_EQ(blob->GetAsString(), "a\nb\nc");
  blob->SetAsString("x\ry\r");
  blob->AddCR();
  EXPECT_EQ(blob->GetAsString(), "x\ry\r\n");  // only the final CR of 8-bit text gains an LF

  auto wide = MakeShared<TBlob>(true);
  wide->SetAsWideString(u"x\ny\r");
  wide->AddCR();
  EXPECT_EQ(wide->GetAsWideString(), u"x\r\ny\r");  // a wide final CR stays alone
  wide->RemoveCR();
  EXPECT_EQ(wide->GetAsWideString(), u"x\ny\r");
}

TEST(BlobLineEnds, PairsSplitAcrossSmallPieces) {
  for (uint32_t piece_size : {4u, 5u, 6u, 7u}) {
    auto blob = MakeShared<TBlob>();
    blob->SetPieceSize(piece_size);
    const std::string text = "ab\r\ncd\r\n\r\n\ne\r\nf\n\r\ng\r";
    for (char c : text) blob->Write(blob->GetSize(), 1, &c);  // one byte per piece
    blob->AddCR();
    EXPECT_EQ(blob->GetAsString(), "ab\r\ncd\r\n\r\n\r\ne\r\nf\r\n\r\ng\r\n") << piece_size;
    blob->RemoveCR();
    EXPECT_EQ(blob->GetAsString(), "ab\ncd\n\n\ne\nf\n\ng\n") << piece_size;

    auto wide = MakeShared<TBlob>(true);
    wide->SetPieceSize(piece_size);
    const std::u16string wtext = u"a\r\n\nb\r\r\n\u0a0d";
    const auto* bytes = reinterpret_cast<const uint8_t*>(wtext.data());
    for (size_t i = 0; i < wtext.size() * 2; ++i) wide->Write(wide->GetSize(), 1, bytes + i);  // units straddle pieces
    wide->AddCR();
    EXPECT_EQ(wide->GetAsWideString(), u"a\r\n\r\nb\r\r\n\u0a0d") << piece_size;
    wide->RemoveCR();
    EXPECT_EQ(wide->GetAsWideString(), u"a\n\nb\r\n\u0a0d") << piece_size;
  }
}

TEST(BlobLineEnds, LargeConversionUnderSanitizers) {
  auto blob = MakeShared<TBlob>();
  std::string text;
  for (int i = 0; i < 30000; ++i) text += (i % 3 == 0) ? "\n" : (i % 3 == 1) ? "ab\r\n" : "xyz";
  blob->SetAsString(text);
  blob->AddCR();
  blob->RemoveCR();
  std::string expected;
  for (int i = 0; i < 30000; ++i) expected += (i % 3 == 0) ? "\n" : (i % 3 == 1) ? "ab\n" : "xyz";
  EXPECT_EQ(blob->GetAsString(), expected);
}

TEST(BlobStreams, LoadSaveAssignAndFiles) {
  TMemoryStream stream;
  const auto data = Pattern(70000, 3);
  stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));  // position left at the end
  auto blob = MakeShared<TBlob>();
  blob->LoadFromStream(stream);  // the whole stream, from position 0
  EXPECT_EQ(blob->GetSize(), 70000u);
  EXPECT_EQ(Pieces(*blob).size(), 2u);
  EXPECT_TRUE(blob->GetModified());

  TMemoryStream out;
  out.WriteBuffer("old content that is longer", 26);
  blob->SaveToStream(out);
  ASSERT_EQ(out.GetSize(), 70000);
  EXPECT_EQ(std::memcmp(out.Memory(), data.data(), data.size()), 0);

  auto copy = MakeShared<TBlob>(true);
  copy->Assign(*blob);
  EXPECT_TRUE(copy->IsUnicode());  // not copied
  EXPECT_EQ(Content(*copy), Content(*blob));
  copy->Assign(*copy);  // assigning itself keeps the content
  EXPECT_EQ(copy->GetSize(), 70000u);

  plat::TempFile temp;
  temp.Close();
  blob->SaveToFile(temp.path());
  auto loaded = MakeShared<TBlob>();
  loaded->LoadFromFile(temp.path());
  EXPECT_EQ(Content(*loaded), Content(*blob));
  std::remove(temp.path().c_str());
  EXPECT_THROW(loaded->LoadFromFile(temp.path()), EFOpenError);
  EXPECT_EQ(loaded->GetSize(), 70000u);  // a failed load changes nothing
}

// A stream that fails half way through.
class FailingStream : public TMemoryStream {
 public:
  int64_t Read(void* buffer, int64_t count) override {
    return TMemoryStream::Read(buffer, count > 10 ? 10 : count) == 10 ? 10 : 0;
  }
};

TEST(BlobStreams, FailedLoadKeepsTheContent) {
  FailingStream stream;
  stream.WriteBuffer("0123456789abcdefghij", 20);
  auto blob = MakeShared<TBlob>();
  blob->SetAsString("keep");
  EXPECT_THROW(blob->LoadFromStream(stream), EReadError);
  EXPECT_EQ(blob->GetAsString(), "keep");
}

TEST(BlobPieces, RoutinesAndTheirAssertions) {
  PPieceHeader piece = nullptr;
  EXPECT_THROW(TBlob::AllocPiece(piece, 0), EAssertionFailed);
  auto a = MakeShared<TBlob>();
  auto b = MakeShared<TBlob>();
  TBlob::AllocPiece(piece, 16);
  EXPECT_EQ(piece->blob, nullptr);
  EXPECT_EQ(*PieceUsedPtr(piece), 0u);
  a->AppendPiece(piece);
  EXPECT_THROW(b->DeletePiece(piece), EAssertionFailed);
  std::memcpy(PieceData(piece), "0123456789", 10);
  piece->used = 10;
  a->ReallocPiece(piece, 4);
  EXPECT_EQ(a->FirstPiece(), piece);
  EXPECT_EQ(piece->used, 4u);
  EXPECT_EQ(a->GetAsString(), "0123");
  a->ReallocPiece(piece, 0);
  EXPECT_EQ(piece, nullptr);
  EXPECT_EQ(a->FirstPiece(), nullptr);
  EXPECT_EQ(PieceData(nullptr), nullptr);
  EXPECT_EQ(NextPiece(nullptr), nullptr);
}

}  // namespace
}  // namespace dac
