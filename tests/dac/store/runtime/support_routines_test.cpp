#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/blob/compression_hooks.h"
#include "dac/store/runtime/buffer_routines.h"
#include "dac/store/runtime/date_routines.h"
#include "dac/store/runtime/string_compare.h"
#include "dac/store/runtime/utf8_decode.h"
#include "dac/store/runtime/variant_routines.h"
#include "platform/date_time.h"
#include "tests/dac/store/zlib_hooks.h"

namespace dac {
namespace {

struct Utf8Case {
  std::string input;
  int dest_bytes;
  bool add_null;
  std::u16string expected;  // the units written, zero included
};

TEST(Utf8ToWsTable, DecodesWithinTheRoom) {
  const std::vector<Utf8Case> cases = {
      {"abc", 16, false, u"abc"},
      {"\xC3\xA9", 16, false, u"\u00E9"},
      {"\xE2\x82\xAC", 16, false, u"\u20AC"},
      {"\xF0\x9F\x98\x80", 16, false, u"\U0001F600"},  // four bytes: a surrogate pair
      {"\xF0\x9F\x98\x80", 2, false, u""},              // the pair does not fit
      {"a\xF0\x9F\x98\x80", 4, false, u"a"},
      {"abc", 4, true, std::u16string(u"a\0", 2)},      // the zero replaces b
      {"abc", 16, true, std::u16string(u"abc\0", 4)},
      {"ab\0cd", 16, false, u"ab"},                     // a zero byte ends the input
      {"abc", 5, false, u"ab"},                         // an odd byte of room stays unused
      {"abc", 1, true, u""},                            // no room for even the zero
      {"\xF0\x9F\x98\x80", 4, true, std::u16string(u"\0", 1)},  // the zero replaces the whole pair
  };
  for (const Utf8Case& c : cases) {
    std::vector<uint8_t> dest(32, 0xEE);
    const int n = Utf8ToWs(dest.data(), 2, c.dest_bytes, c.input.data(), 0, static_cast<int>(c.input.size()), c.add_null);
    ASSERT_EQ(n, static_cast<int>(c.expected.size() * 2)) << c.input;
    std::u16string got(c.expected.size(), u'\0');
    std::memcpy(got.data(), dest.data() + 2, static_cast<size_t>(n));
    EXPECT_EQ(got, c.expected) << c.input;
    EXPECT_EQ(dest[1], 0xEE);  // nothing before the offset
    EXPECT_EQ(dest[static_cast<size_t>(2 + c.dest_bytes)], 0xEE) << c.input;  // nothing past the room
  }
}

TEST(Utf8ToWsTable, MalformedInputFails) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\xC3", "Utf8ToWs: Incomplete multibyte char"},
      {"\xE2\x82", "Utf8ToWs: Incomplete multibyte char"},
      {"\xF0\x9F\x98", "Utf8ToWs: Incomplete multibyte char"},
      {"\x80", "Utf8ToWs: Malformed trail byte or out of range char"},  // stray continuation byte
      {"a\xBF", "Utf8ToWs: Malformed trail byte or out of range char"},
      {"\xF5\x80\x80\x80", "Utf8ToWs: Malformed trail byte or out of range char"},
      {"\xF4\x90\x80\x80", "Utf8ToWs: Malformed trail byte or out of range char"},  // above U+10FFFF
      {"\xE2\x41\x82", "Utf8ToWs: Malformed trail byte or out of range char"},
      {"\xE2\x82\x41", "Utf8ToWs: Malformed trail byte"},
      {"\xC3\x41", "Utf8ToWs: Malformed trail byte"},
  };
  char16_t dest[8];
  for (const auto& [input, text] : cases) {
    try {
      Utf8ToWs(dest, 0, sizeof dest, input.data(), 0, static_cast<int>(input.size()), false);
      ADD_FAILURE() << "accepted " << input;
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Text(), text);
    }
  }
  EXPECT_THROW(Utf8ToWs(nullptr, 0, 4, "a", 0, 1, false), EAssertionFailed);
  EXPECT_THROW(Utf8ToWs(dest, 0, 4, nullptr, 0, 1, false), EAssertionFailed);
}

TEST(DateRoutines, EncodingAndTimeStamps) {
  DateTime d = -1;
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d));
  EXPECT_TRUE(TryEncodeDate(1899, 12, 30, d));
  EXPECT_EQ(d, 0);
  EXPECT_TRUE(TryEncodeTime(23, 59, 59, 999, d));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, d));
  // 1899-12-30 12:00 is one value whichever way it is made.
  const DateTime noon = EncodeDateTime(1899, 12, 30, 12, 0, 0, 0);
  EXPECT_EQ(noon, TimeStampToDateTime(TimeStamp{43200000, 693594}));
  EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
  EXPECT_EQ(TimeStampToDateTime(TimeStamp{21600000, 693593}), -1.25);
  EXPECT_EQ(TimeStampToDateTime(TimeStamp{0, 1}), -693593);  // 1 January 0001
  try {
    EncodeDateTime(2001, 2, 29, 0, 0, 0, 0);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to date encode");
  }
  try {
    TimeStampToDateTime(TimeStamp{-1, 5});
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'5.-1' is not a valid timestamp");
  }
  EXPECT_EQ(TimeStampToDateTime(TimeStamp{0, 0}), plat::kZeroDateTime);  // the zero date
  EXPECT_THROW(TimeStampToDateTime(TimeStamp{1, 0}), EConvertError);
}

TEST(VarEqualRule, StringsNullsAndTypes) {
  EXPECT_TRUE(VarEqual(Variant(u"abc"), Variant("abc")));
  EXPECT_TRUE(VarEqual(Variant("abc"), Variant(u"abc")));
  EXPECT_FALSE(VarEqual(Variant(u"abc"), Variant("ABC")));
  EXPECT_TRUE(VarEqual(Variant::Null(), Variant::Null()));
  EXPECT_FALSE(VarEqual(Variant::Null(), Variant(0)));
  EXPECT_TRUE(VarEqual(Variant(TBytes{}), Variant(TBytes{})));
  EXPECT_FALSE(VarEqual(Variant(TBytes{1}), Variant(TBytes{2})));
  EXPECT_FALSE(VarEqual(Variant(1), Variant(int16_t{1})));  // the types must be equal
  EXPECT_TRUE(VarEqual(Variant(2.5), Variant(2.5)));
  EXPECT_FALSE(VarEqual(Variant("12"), Variant(12)));
}

TEST(OleVariantShims, WorkOnTheProjectsVariant) {
  Variant v(5);
  SetOleVariant(&v, Variant("x"));
  EXPECT_EQ(GetOleVariant(&v), Variant("x"));
  OleVarClear(v);
  EXPECT_TRUE(v.IsEmpty());
  const Variant array(std::vector<Variant>{1, 2});
  EXPECT_EQ(&VarArrayAsPSafeArray(array), &array);
  try {
    VarArrayAsPSafeArray(Variant(1));
    FAIL();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), 0x80070057u);
  }
}

TEST(StringCompares, LocaleOrderForBothWidths) {
  EXPECT_LT(AnsiStrCompS("a", "B"), 0);
  EXPECT_LT(AnsiStrCompS("a", "A"), 0);
  EXPECT_EQ(AnsiStrICompS("abc", "ABC"), 0);
  EXPECT_EQ(AnsiCompareTextS(std::string("a\0b", 3), std::string("A\0B", 3)), 0);
  EXPECT_NE(AnsiCompareStrS("a", "A"), 0);
  EXPECT_EQ(AnsiStrCompWS(u"x", u"x"), 0);
  EXPECT_EQ(AnsiStrICompWS(u"\u00C9", u"\u00E9"), 0);
  EXPECT_EQ(AnsiStrLCompWS(u"abcX", u"abcY", 3), 0);
  EXPECT_LT(AnsiStrLCompWS(u"abcX", u"abcY", 4), 0);
  EXPECT_EQ(AnsiStrLICompWS(u"ABc", u"abC", 3), 0);
  EXPECT_EQ(AnsiStrCompS("\xE9", "\xC9") < 0, AnsiStrCompWS(u"\u00E9", u"\u00C9") < 0);
  static_assert(!IsWin9x);
}

TEST(BufferRoutines, CopiesTrimsAndByteOrder) {
  EXPECT_EQ(Reverse4(0x11223344), 0x44332211u);
  uint8_t eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  Reverse8(eight);
  EXPECT_EQ(eight[0], 8);
  Reverse8(eight);
  EXPECT_EQ(eight[0], 1);
  EXPECT_EQ(eight[7], 8);
  char text[] = "ab  \0 ";
  StrTrim(text, 6);
  EXPECT_EQ(std::memcmp(text, "ab\0\0\0\0", 6), 0);
  char16_t wide[] = u"x y  ";
  StrTrimW(wide, -1);
  EXPECT_EQ(std::u16string(wide), u"x y");
  char16_t dest[4];
  StrLCopyW(dest, u"abcdef", 3);
  EXPECT_EQ(std::u16string(dest), u"abc");
  StrCopyW(dest, u"xy");
  EXPECT_EQ(StrLenW(dest), 2u);
  char buffer[8] = "1234567";
  CopyBuffer(buffer, buffer + 1, 3);  // overlap allowed
  EXPECT_STREQ(buffer, "1123567");
  EXPECT_THROW(CopyBufferAnsi("ab", buffer, 3), ArgumentException);
  TBytes a{1, 2, 3};
  TBytes b(2);
  ArrayCopy(a, 1, b, 0, 2);
  EXPECT_EQ(b, (TBytes{2, 3}));
  EXPECT_THROW(ArrayCopy(a, 2, b, 0, 2), ArgumentException);
  const uint8_t g1[16] = {1};
  uint8_t g2[16] = {1};
  EXPECT_TRUE(CompareGuid(g1, g2));
  g2[15] = 1;
  EXPECT_FALSE(CompareGuid(g1, g2));
  int value = 3;
  EXPECT_EQ(AllocOrdinal(value), &value);
  EXPECT_EQ(AllocGCHandle(&value, true), &value);
}

using testing::HooksGuard;
using testing::ZCompress;
using testing::ZUncompress;

TEST(CompressionHooks, EmptyUntilInstalled) {
  HooksGuard guard;
  CompressProc = nullptr;
  UncompressProc = nullptr;
  try {
    CheckZLib();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Compressor function is not linked");  // the compressor first
  }
  CompressProc = ZCompress;
  try {
    CheckZLib();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Uncompressor function is not linked");
  }
  unsigned long n = 0;
  try {
    DoUncompress(nullptr, &n, nullptr, 0);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Uncompressor function is not linked");
  }
}

TEST(CompressionHooks, RoundTripAndFailuresRaise) {
  HooksGuard guard;
  CompressProc = ZCompress;
  UncompressProc = ZUncompress;
  CheckZLib();
  const std::string input(1000, 'q');
  std::vector<unsigned char> packed(input.size() + input.size() / 5 + 12);
  unsigned long packed_size = packed.size();
  DoCompress(packed.data(), &packed_size, input.data(), input.size());
  EXPECT_LT(packed_size, input.size());
  std::string output(input.size(), '\0');
  unsigned long output_size = output.size();
  DoUncompress(output.data(), &output_size, packed.data(), packed_size);
  EXPECT_EQ(output_size, input.size());
  EXPECT_EQ(output, input);
  // Too little room, or garbage input: the hook's error is raised, not taken at its length.
  unsigned long tiny = 2;
  EXPECT_THROW(DoCompress(packed.data(), &tiny, input.data(), input.size()), Exception);
  const unsigned char garbage[] = {1, 2, 3, 4, 5};
  output_size = output.size();
  EXPECT_THROW(DoUncompress(output.data(), &output_size, garbage, sizeof garbage), Exception);
}

}  // namespace
}  // namespace dac
