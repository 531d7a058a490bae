#include <gtest/gtest.h>

#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/runtime/bit_converter.h"
#include "dac/store/runtime/buffer.h"
#include "dac/store/runtime/encoding.h"
#include "dac/store/runtime/marshal.h"
#include "dac/store/runtime/memory_stream.h"
#include "dac/store/runtime/string_builder.h"

namespace dac {
namespace {

TEST(BitConverterClass, LittleEndianImagesAndCheckedOffsets) {
  const TBytes b = BitConverter::GetBytes(int32_t{0x01020304});
  EXPECT_EQ(b, (TBytes{4, 3, 2, 1}));
  EXPECT_EQ(BitConverter::ToInt32(b, 0), 0x01020304);
  EXPECT_EQ(BitConverter::ToUInt16(b, 2), 0x0102);
  EXPECT_EQ(BitConverter::GetBytes(int16_t{-2}), (TBytes{0xFE, 0xFF}));
  EXPECT_EQ(BitConverter::ToDouble(BitConverter::GetBytes(2.5), 0), 2.5);
  EXPECT_EQ(BitConverter::ToSingle(BitConverter::GetBytes(1.5f), 0), 1.5f);
  EXPECT_EQ(BitConverter::ToInt64(BitConverter::GetBytes(int64_t{-5}), 0), -5);
  EXPECT_EQ(BitConverter::Int64BitsToDouble(BitConverter::DoubleToInt64Bits(-0.75)), -0.75);
  EXPECT_EQ(BitConverter::DoubleToInt64Bits(1.0), 0x3FF0000000000000);
  EXPECT_THROW(BitConverter::ToInt32(b, 1), ArgumentException);
  EXPECT_THROW(BitConverter::ToInt16(b, -1), ArgumentException);
  EXPECT_THROW(BitConverter::ToInt64(b, 0), ArgumentException);
  EXPECT_THROW(BitConverter::ToUInt32(TBytes{}, 0), ArgumentException);
  EXPECT_EQ(BitConverter::ToInt32(b.data(), 0), 0x01020304);
}

TEST(BufferClass, BlockCopyChecksBothRanges) {
  TBytes a{1, 2, 3, 4};
  TBytes d(3);
  Buffer::BlockCopy(a, 1, d, 0, 3);
  EXPECT_EQ(d, (TBytes{2, 3, 4}));
  Buffer::BlockCopy(a, 0, a, 1, 3);  // overlapping within one array
  EXPECT_EQ(a, (TBytes{1, 1, 2, 3}));
  EXPECT_THROW(Buffer::BlockCopy(a, 2, d, 0, 3), ArgumentException);
  EXPECT_THROW(Buffer::BlockCopy(a, 0, d, 1, 3), ArgumentException);
}

TEST(MarshalClass, MemoryStringsAndCopies) {
  void* block = Marshal::AllocHGlobal(16);
  Marshal::WriteInt32(block, 3, 0x11223344);
  EXPECT_EQ(Marshal::ReadByte(block, 3), 0x44);
  EXPECT_EQ(Marshal::ReadInt32(block, 3), 0x11223344);
  Marshal::WriteInt64(block, 2.0);
  EXPECT_EQ(Marshal::ReadInt64(block), 0x4000000000000000);
  Marshal::WriteIntPtr(block, 8, block);
  EXPECT_EQ(Marshal::ReadIntPtr(block, 8), block);
  block = Marshal::ReallocHGlobal(block, 64);
  Marshal::FreeHGlobal(block);

  const char text[] = "abc\0def";
  EXPECT_EQ(Marshal::PtrToStringAnsi(text, 0), "abc");
  EXPECT_EQ(Marshal::PtrToStringAnsi(text, 7), std::string("abc\0def", 7));
  EXPECT_EQ(Marshal::PtrToStringAnsi(nullptr, 3), "");
  const char16_t wide[] = u"xy\0z";
  EXPECT_EQ(Marshal::PtrToStringUni(wide, 0), u"xy");
  EXPECT_EQ(Marshal::PtrToStringUni(wide, 4), std::u16string(u"xy\0z", 4));

  TBytes bytes{1, 2, 3, 4};
  uint8_t raw[4] = {};
  Marshal::Copy(bytes, 1, raw, 3);
  EXPECT_EQ(raw[2], 4);
  Marshal::Copy(raw, bytes, 0, 2);
  EXPECT_EQ(bytes, (TBytes{2, 3, 3, 4}));
  EXPECT_THROW(Marshal::Copy(bytes, 2, raw, 3), ArgumentException);
  EXPECT_THROW(Marshal::Copy(raw, bytes, 3, 2), ArgumentException);
  Marshal::Copy(bytes, 4, raw, 0);  // nothing for length 0
}

class Counted : public TInterfacedObject {
 public:
  explicit Counted(bool* freed) : freed_(freed) {}
  ~Counted() override { *freed_ = true; }

 private:
  bool* freed_;
};

TEST(MarshalClass, InterfaceReferences) {
  bool freed = false;
  auto* object = new Counted(&freed);
  IUnknown* unknown = Marshal::GetIUnknownForObject(object);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(Marshal::AddRef(unknown), 2);
  EXPECT_EQ(Marshal::Release(unknown), 1);
  EXPECT_FALSE(freed);
  EXPECT_EQ(Marshal::Release(unknown), 0);
  EXPECT_TRUE(freed);
  TObject plain;
  EXPECT_EQ(Marshal::GetIUnknownForObject(&plain), nullptr);
  EXPECT_EQ(Marshal::GetIUnknownForObject(nullptr), nullptr);
}

TEST(EncodingClasses, CodePageUtf16AndUtf8) {
  const Encoding& def = Encoding::Default();
  EXPECT_EQ(def.GetBytes(std::string("a\xE9")), (TBytes{'a', 0xE9}));
  EXPECT_EQ(def.GetBytes(std::u16string(u"a")), (TBytes{'a', 0}));
  EXPECT_EQ(def.GetString(TBytes{'h', 'i'}), "hi");
  EXPECT_EQ(def.GetWideString(TBytes{0x80}), u"\u20AC");
  const Encoding& uni = Encoding::Unicode();
  EXPECT_EQ(uni.GetWideString(TBytes{'a', 0, 'b', 0, 'c'}), u"ab");  // count div 2
  EXPECT_EQ(uni.GetString(TBytes{0xAC, 0x20}), "\x80");
  EXPECT_EQ(uni.GetWideString(TBytes{}, 0, 0), u"");
  const Encoding& utf8 = Encoding::UTF8();
  EXPECT_EQ(utf8.GetBytes(std::string("\xE9")), (TBytes{0xC3, 0xA9}));
  EXPECT_EQ(utf8.GetBytes(std::u16string(u"\u20AC")), (TBytes{0xE2, 0x82, 0xAC}));
  EXPECT_EQ(utf8.GetString(TBytes{0xC3, 0xA9, 0xD0, 0x96}), "\xE9?");
  EXPECT_EQ(utf8.GetWideString(TBytes{0xD0, 0x96}), u"\u0416");
}

TEST(EncodingClasses, RangedFormsCheckTheirRanges) {
  TBytes bytes(4);
  EXPECT_EQ(Encoding::Default().GetBytes(std::string("abcd"), 1, 2, bytes, 1), 2);
  EXPECT_EQ(bytes, (TBytes{0, 'b', 'c', 0}));
  EXPECT_EQ(Encoding::Default().GetBytes(std::string("abcd"), 1, 0, bytes, 9), 0);  // nothing for a count below 1
  EXPECT_EQ(Encoding::UTF8().GetBytes(std::u16string(u"xy"), 1, 1, bytes, 2), 2);  // copied unchanged
  EXPECT_EQ(bytes, (TBytes{0, 'b', 'y', 0}));
  EXPECT_THROW(Encoding::Default().GetBytes(std::string("ab"), 1, 2, bytes, 0), ArgumentException);
  EXPECT_THROW(Encoding::Default().GetBytes(std::string("abcd"), 0, 3, bytes, 2), ArgumentException);
  EXPECT_THROW(Encoding::Unicode().GetBytes(std::u16string(u"abc"), 0, 3, bytes, 0), ArgumentException);
  EXPECT_THROW(Encoding::Default().GetString(bytes, 3, 2), ArgumentException);
  EXPECT_EQ(Encoding::Default().GetString(bytes, 4, 0), "");
}

TEST(StringBuilderClass, GrowthRuleAndEdits) {
  StringBuilder sb(4);
  sb.Append("abcdef");
  EXPECT_EQ(sb.Capacity(), 8);  // 0 + 6 + 4 / 2
  EXPECT_EQ(sb.ToString(), "abcdef");
  sb.Append('g');
  sb.Append('-', 3);
  sb.Append("xyz", 1, 2);
  EXPECT_EQ(sb.ToString(), "abcdefg---yz");
  sb.Append(sb);
  EXPECT_EQ(sb.ToString(), "abcdefg---yzabcdefg---yz");
  sb.SetActualLength(0);
  EXPECT_EQ(sb.ToString(), "");
  sb.Append("ababab");
  sb.Replace("ab", "xyz");
  EXPECT_EQ(sb.ToString(), "xyzxyzxyz");
  sb.Replace("x", "xx");  // no loop on the inserted text
  EXPECT_EQ(sb.ToString(), "xxyzxxyzxxyz");
  sb.Replace("xxyz", "");
  EXPECT_EQ(sb.ToString(), "");
  sb.Append("world");
  sb.Insert(0, "hello ");
  sb.Insert(sb.Length(), "!");
  EXPECT_EQ(std::string(sb.Data(), static_cast<size_t>(sb.Length())), "hello world!");
  EXPECT_THROW(sb.Insert(100, "x"), ArgumentException);
  EXPECT_THROW(sb.Append("ab", 1, 5), ArgumentException);
  EXPECT_THROW(sb.Replace("", "x"), ArgumentException);
  StringBuilder started("abc", 2);
  EXPECT_EQ(started.ToString(), "abc");
}

TEST(MemoryStreamRuntime, ReadsAreLimitedByTheBuffer) {
  MemoryStream ms(16);
  ms.Write(TBytes{1, 2, 3, 4}, 0, 4);
  EXPECT_EQ(ms.GetLength(), 4);
  EXPECT_EQ(ms.Seek(0, 0), 0);
  TBytes out(10, 0xFF);
  EXPECT_EQ(ms.Read(out, 0, 10), 10);  // the 16-byte buffer, not the length 4
  EXPECT_EQ(out, (TBytes{1, 2, 3, 4, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ms.Seek(5, 2), 11);
  EXPECT_EQ(ms.Seek(-3, 0), 0);
  EXPECT_EQ(ms.Seek(100, 1), 16);
  EXPECT_THROW(ms.ReadByte(), ArgumentException);
  EXPECT_THROW(ms.Read(out, 8, 5), ArgumentException);
  EXPECT_THROW(ms.Write(out, -1, 2), ArgumentException);
}

TEST(MemoryStreamRuntime, SetLengthKeepsSmallBuffersAndZeroesTheTail) {
  MemoryStream ms(200);
  ms.Write(TBytes(150, 7), 0, 150);
  ms.SetLength(100);
  EXPECT_EQ(ms.GetBuffer().size(), 200u);
  ms.SetLength(150);
  EXPECT_EQ(ms.GetBuffer()[120], 0);  // no stale bytes
  MemoryStream big(100000);
  big.SetLength(70000);
  EXPECT_EQ(big.GetBuffer().size(), 70000u);
  MemoryStream grow;
  grow.SetPosition(3);
  EXPECT_EQ(grow.GetLength(), 3);
  grow.WriteByte(9);
  EXPECT_EQ(grow.GetBuffer(), (TBytes{0, 0, 0, 9}));
  grow.SetPosition(0);
  EXPECT_EQ(grow.ReadByte(), 0);
  grow.Close();
  EXPECT_EQ(grow.GetBuffer().size(), 0u);
  EXPECT_EQ(grow.GetLength(), 0);
}

TEST(MemoryStreamRuntime, BytesPlacedInTheBufferCanBeReadBack) {
  MemoryStream ms(8);
  std::memcpy(ms.GetBuffer().data(), "packet!!", 8);
  char out[8];
  EXPECT_EQ(ms.Read(out, 0, 8), 8);
  EXPECT_EQ(std::memcmp(out, "packet!!", 8), 0);
}

}  // namespace
}  // namespace dac
