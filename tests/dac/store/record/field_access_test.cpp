// Raw, checked and variant access to every data type of a record buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data.h"
#include "dac/store/runtime/unaligned.h"
#include "platform/date_time.h"
#include "tests/dac/framework/settings_guard.h"
#include "tests/dac/store/test_record_set.h"

namespace dac {
namespace {

using testing::TTestData;

class FieldAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.columns = {
        {"S", dtString, 11, 10},
        {"FX", dtString, 11, 10, 0, true},
        {"I8", dtInt8, 1},
        {"I8W", dtInt8, 2},
        {"SI", dtSmallint, 2},
        {"I", dtInteger, 4},
        {"F", dtFloat, 8, 0, 2},
        {"D", dtDate, 8},
        {"T", dtTime, 8},
        {"DT", dtDateTime, 8},
        {"W", dtWord, 2},
        {"B", dtBoolean, 2},
        {"L", dtLargeint, 8},
        {"C", dtCurrency, 8, 0, 2},
        {"BL", dtBlob, kReferenceSlotSize},
        {"M", dtMemo, kReferenceSlotSize},
        {"V", dtVariant, kReferenceSlotSize},
        {"ES", dtExtString, kReferenceSlotSize},
        {"BY", dtBytes, 4, 4},
        {"VB", dtVarBytes, 6, 4},
        {"EVB", dtExtVarBytes, kReferenceSlotSize},
        {"U", dtUInt32, 4},
        {"WS", dtWideString, 12, 8},
        {"EWS", dtExtWideString, kReferenceSlotSize},
        {"BCD", dtBCD, 8},
        {"FB", dtFmtBCD, 34},
        {"G", dtGuid, 39, 38},
        {"WM", dtWideMemo, kReferenceSlotSize},
        {"UNK", dtUnknown, 0},
        {"OBJ", dtObject, kReferenceSlotSize},
    };
    data_.Init();
    record_ = std::make_unique<TTestData::Record>(data_, true, true);
  }

  uint16_t No(const char* name) { return data_.FieldByName(name)->GetFieldNo(); }
  TFieldDesc* Desc(const char* name) { return data_.FieldByName(name); }
  void* Rec() { return record_->get(); }

  void Put(const char* name, const Variant& value) { data_.PutFieldAsVariant(No(name), Rec(), value); }
  Variant Get(const char* name) {
    Variant value;
    data_.GetFieldAsVariant(No(name), Rec(), value);
    return value;
  }
  // The message of the EConvertError a put raises, "" when none.
  std::string PutError(const char* name, const Variant& value) {
    try {
      Put(name, value);
    } catch (const EConvertError& e) {
      return e.Message();
    }
    return "";
  }

  TTestData data_;
  std::unique_ptr<TTestData::Record> record_;
};

// ---- Variant access ----

TEST_F(FieldAccess, VariantRoundTrips) {
  struct Case {
    const char* field;
    Variant in;
    Variant out;
  };
  const Bcd bcd = StrToBcd("123.45");
  const Case cases[] = {
      {"S", Variant("abc"), Variant("abc")},
      {"S", Variant(int32_t{12}), Variant("12")},
      {"S", Variant("0123456789ABC"), Variant("0123456789")},  // cut to Size - 1
      {"I8", Variant(int32_t{-100}), Variant(int8_t{-100})},
      {"I8W", Variant("7"), Variant(int8_t{7})},
      {"SI", Variant(int16_t{-300}), Variant(int16_t{-300})},
      {"SI", Variant(uint8_t{200}), Variant(int16_t{200})},
      {"I", Variant("12"), Variant(int32_t{12})},
      {"I", Variant(2.5), Variant(int32_t{2})},
      {"I", Variant(Currency::FromInt(7)), Variant(int32_t{7})},
      {"I", Variant(u"-9"), Variant(int32_t{-9})},
      {"W", Variant(int32_t{65535}), Variant(uint16_t{65535})},
      {"L", Variant(int64_t{-5000000000}), Variant(int64_t{-5000000000})},
      {"U", Variant(uint32_t{4000000000u}), Variant(uint32_t{4000000000u})},
      {"B", Variant(true), Variant(true)},
      {"F", Variant(1.23456), Variant(1.23)},
      {"F", Variant("2.5"), Variant(2.5)},
      {"F", Variant(int16_t{3}), Variant(3.0)},
      {"C", Variant(Currency::FromRaw(12345)), Variant(1.23)},
      {"D", Variant::FromDateTime(45000.0), Variant::FromDateTime(45000.0)},
      {"DT", Variant("3/4/2020"), Variant::FromDateTime(43894.0)},
      {"DT", Variant::FromDateTime(-1.25), Variant::FromDateTime(-1.25)},
      {"M", Variant("memo text"), Variant("memo text")},
      {"WM", Variant(u"wide memo"), Variant(u"wide memo")},
      {"V", Variant(int64_t{42}), Variant(int64_t{42})},
      {"ES", Variant("heap text"), Variant("heap text")},
      {"EWS", Variant(u"heap wide"), Variant(u"heap wide")},
      {"WS", Variant(u"abcdefghij"), Variant(u"abcde")},  // Size / 2 - 1 characters
      {"BY", Variant(TBytes{1, 2, 3, 4}), Variant(TBytes{1, 2, 3, 4})},
      {"VB", Variant(TBytes{9, 8}), Variant(TBytes{9, 8})},
      {"EVB", Variant(TBytes(1000, 7)), Variant(TBytes(1000, 7))},
      {"BCD", Variant(Currency::FromRaw(123456)), Variant(Currency::FromRaw(123456))},
      {"FB", Variant("123.45"), Variant(bcd)},
      {"G", Variant(std::string(50, 'g')), Variant(std::string(38, 'g'))},
  };
  for (const Case& c : cases) {
    Put(c.field, c.in);
    EXPECT_FALSE(data_.GetNull(No(c.field), Rec())) << c.field;
    const Variant got = Get(c.field);
    EXPECT_EQ(got.Type(), c.out.Type()) << c.field << " " << VarToStr(c.in);
    EXPECT_TRUE(got == c.out) << c.field << ": " << VarToStr(got) << " from " << VarToStr(c.in);
  }
}

TEST_F(FieldAccess, VariantRefusals) {
  const std::string refused = "Cannot convert type";
  struct Case {
    const char* field;
    Variant value;
  };
  const Case cases[] = {
      {"I8", Variant(int32_t{200})},
      {"I8", Variant("x")},
      {"SI", Variant(int32_t{70000})},
      {"SI", Variant(1.0)},
      {"SI", Variant(int8_t{1})},
      {"W", Variant(int32_t{-1})},
      {"I", Variant::FromDateTime(1.0)},
      {"I", Variant(int64_t{1})},
      {"I", Variant(3e9)},
      {"I", Variant("12.5")},
      {"L", Variant(int32_t{1})},
      {"U", Variant(int32_t{1})},
      {"B", Variant(int32_t{1})},
      {"F", Variant(true)},
      {"F", Variant(uint16_t{1})},
      {"F", Variant("abc")},
      {"VB", Variant(TBytes(5, 1))},
      {"VB", Variant("ab")},
      {"EVB", Variant(TBytes(70000, 1))},
      {"UNK", Variant(int32_t{1})},
      {"OBJ", Variant(int32_t{1})},
  };
  for (const Case& c : cases) EXPECT_EQ(PutError(c.field, c.value), refused) << c.field << " " << VarToStr(c.value);
}

TEST_F(FieldAccess, RefusedPutsWriteNothing) {
  Put("VB", Variant(TBytes{1, 2}));
  Put("SI", Variant(int16_t{5}));
  Put("EVB", Variant(TBytes{3}));
  const std::vector<uint8_t> before(record_->bytes(), record_->bytes() + data_.GetRecordSize());
  PutError("VB", Variant(TBytes(5, 9)));
  PutError("SI", Variant(int32_t{70000}));
  PutError("EVB", Variant(TBytes(65536, 9)));
  EXPECT_EQ(std::vector<uint8_t>(record_->bytes(), record_->bytes() + data_.GetRecordSize()), before);
  EXPECT_TRUE(Get("VB") == Variant(TBytes{1, 2}));
  EXPECT_TRUE(Get("EVB") == Variant(TBytes{3}));
}

TEST_F(FieldAccess, ByteArrayChecksAreAssertions) {
  try {
    Put("BY", Variant(TBytes{1, 2, 3}));
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Invalid data size");
  }
  try {
    Put("BY", Variant("abcd"));
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Invalid VType");
  }
}

TEST_F(FieldAccess, ReadingRefusalsNameTheType) {
  Put("BL", Variant("blob bytes"));
  for (const char* field : {"BL", "UNK", "OBJ"}) {
    data_.SetNull(No(field), Rec(), false);
    try {
      Get(field);
      FAIL() << field;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "Cannot convert type " + std::to_string(Desc(field)->GetDataType()));
    }
  }
  data_.SetNull(No("BL"), Rec(), true);
  EXPECT_TRUE(Get("BL").IsNull());  // null comes before the refusal
}

TEST_F(FieldAccess, NullAndEmptyVariants) {
  Put("I", Variant(int32_t{1}));
  Put("I", Variant::Null());
  EXPECT_TRUE(data_.GetNull(No("I"), Rec()));
  EXPECT_TRUE(Get("I").IsNull());
  Put("S", Variant("x"));
  Put("S", Variant());
  EXPECT_TRUE(Get("S").IsNull());
  Put("S", Variant(""));  // the variant path stores empty text
  EXPECT_FALSE(data_.GetNull(No("S"), Rec()));
  EXPECT_TRUE(Get("S") == Variant(""));
}

TEST_F(FieldAccess, ScaleRoundsFloatsOnlyFromFloatingKinds) {
  Put("F", Variant(2.675));  // 2.67499999... in binary
  EXPECT_TRUE(Get("F") == Variant(2.67));
  Put("F", Variant(-1.005));
  EXPECT_TRUE(Get("F") == Variant(-1.0));
  Put("F", Variant(0.125));
  EXPECT_TRUE(Get("F") == Variant(0.13));  // half away from zero
  double raw = 9.87654;
  data_.PutFieldData(Desc("F"), Rec(), &raw);
  EXPECT_EQ(LoadAt<double>(Rec(), Desc("F")->GetOffset()), 9.88);
  EXPECT_EQ(RoundFloatToScale(1e20 + 0.5, 3), 1e20);
  EXPECT_TRUE(std::isnan(RoundFloatToScale(NAN, 2)));
}

TEST_F(FieldAccess, VariantTextIsTrimmedByTheFlags) {
  Put("S", Variant("ab\t "));
  Put("FX", Variant("cd  "));
  EXPECT_TRUE(Get("S") == Variant("ab\t "));
  data_.SetTrimVarChar(true);
  EXPECT_TRUE(Get("S") == Variant("ab"));
  EXPECT_TRUE(Get("FX") == Variant("cd  "));
  data_.SetTrimFixedChar(true);
  EXPECT_TRUE(Get("FX") == Variant("cd"));
  Put("WS", Variant(u"ef \r"));
  EXPECT_TRUE(Get("WS") == Variant(u"ef"));
}

// ---- Raw access ----

TEST_F(FieldAccess, RawRoundTrips) {
  char text[32] = {};
  data_.PutFieldData(Desc("S"), Rec(), "hello world!");
  data_.GetFieldData(Desc("S"), Rec(), text, sizeof text);
  EXPECT_STREQ(text, "hello worl");

  int32_t day = 693594 + 100;
  data_.PutFieldData(Desc("D"), Rec(), &day);
  EXPECT_EQ(LoadAt<double>(Rec(), Desc("D")->GetOffset()), 100.0);
  int32_t day_out = 0;
  data_.GetFieldData(Desc("D"), Rec(), &day_out, sizeof day_out);
  EXPECT_EQ(day_out, day);

  // A time goes as its span of days, whatever its sign and length.
  for (const double span : {0.5, -1.5 / 86400, 838.0 / 24 + 3599.0 / 86400}) {
    data_.PutFieldData(Desc("T"), Rec(), &span);
    EXPECT_EQ(LoadAt<double>(Rec(), Desc("T")->GetOffset()), span);
    double time_out = 0;
    data_.GetFieldData(Desc("T"), Rec(), &time_out, sizeof time_out);
    EXPECT_EQ(time_out, span);
  }

  const double msecs = (693594.0 - 1) * 86400000.0 + 21600000.0;  // 1899-12-29 06:00
  data_.PutFieldData(Desc("DT"), Rec(), &msecs);
  EXPECT_EQ(LoadAt<double>(Rec(), Desc("DT")->GetOffset()), -1.25);
  double msecs_out = 0;
  data_.GetFieldData(Desc("DT"), Rec(), &msecs_out, sizeof msecs_out);
  EXPECT_EQ(msecs_out, msecs);

  const uint32_t big = 4000000000u;
  data_.PutFieldData(Desc("U"), Rec(), &big);
  uint64_t widened = 0;
  data_.GetFieldData(Desc("U"), Rec(), &widened, sizeof widened);
  EXPECT_EQ(widened, 4000000000u);

  data_.PutFieldData(Desc("WS"), Rec(), u"abcdefghij");
  char16_t wide[16] = {};
  data_.GetFieldData(Desc("WS"), Rec(), wide, sizeof wide);
  EXPECT_EQ(std::u16string(wide), u"abcde");  // Size / 2 - 1 characters

  data_.PutFieldData(Desc("ES"), Rec(), "first");
  data_.PutFieldData(Desc("ES"), Rec(), "second value");  // the old buffer goes back to the heap
  EXPECT_EQ(data_.GetFieldDataSize(Desc("ES"), Rec()), 13u);
  data_.GetFieldData(Desc("ES"), Rec(), text, sizeof text);
  EXPECT_STREQ(text, "second value");

  data_.PutFieldData(Desc("EWS"), Rec(), nullptr);  // none counts as empty
  data_.GetFieldData(Desc("EWS"), Rec(), wide, sizeof wide);
  EXPECT_EQ(wide[0], 0);

  const uint8_t var_bytes[] = {3, 0, 7, 8, 9};
  data_.PutFieldData(Desc("EVB"), Rec(), var_bytes);
  uint8_t bytes_out[8] = {};
  data_.GetFieldData(Desc("EVB"), Rec(), bytes_out, sizeof bytes_out);
  EXPECT_EQ(std::memcmp(bytes_out, var_bytes, 5), 0);
  data_.PutFieldData(Desc("EVB"), Rec(), nullptr);
  EXPECT_EQ(LoadAt<void*>(Rec(), Desc("EVB")->GetOffset()), nullptr);
  EXPECT_EQ(data_.GetFieldDataSize(Desc("EVB"), Rec()), 2u);

  const Variant held("held");
  data_.PutFieldData(Desc("V"), Rec(), &held);
  Variant held_out;
  data_.GetFieldData(Desc("V"), Rec(), &held_out, sizeof held_out);
  EXPECT_TRUE(held_out == held);

  const int16_t boolean = -1;  // the dataset layer writes -1 for true
  data_.PutFieldData(Desc("B"), Rec(), &boolean);
  data_.SetNull(No("B"), Rec(), false);
  EXPECT_TRUE(Get("B") == Variant(true));
}

// Every fixed-size type through the checked path: PutField, then GetField
// gives the same bytes (dtUInt32 widened to 64 bits), the indicator cleared.
TEST_F(FieldAccess, CheckedRoundTripOfFixedSizeTypes) {
  auto bytes_of = [](auto value) {
    std::vector<uint8_t> out(sizeof value);
    std::memcpy(out.data(), &value, sizeof value);
    return out;
  };
  Bcd bcd = StrToBcd("-98.765");
  std::vector<uint8_t> var_bytes = {2, 0, 0xAA, 0xBB, 0, 0};
  std::vector<uint8_t> guid(39, 0);
  std::memcpy(guid.data(), "{01234567-89AB-CDEF-0123-456789ABCDEF}", 38);
  struct Case {
    const char* field;
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
  };
  const std::vector<Case> cases = {
      {"I8", bytes_of(int8_t{-5}), bytes_of(int8_t{-5})},
      {"I8W", bytes_of(int16_t{-5}), bytes_of(int16_t{-5})},
      {"SI", bytes_of(int16_t{-300}), bytes_of(int16_t{-300})},
      {"I", bytes_of(int32_t{123456}), bytes_of(int32_t{123456})},
      {"F", bytes_of(1.5), bytes_of(1.5)},
      {"D", bytes_of(int32_t{700000}), bytes_of(int32_t{700000})},
      {"T", bytes_of(-36.5), bytes_of(-36.5)},
      {"DT", bytes_of(700000.0 * 86400000.0 + 1234.0), bytes_of(700000.0 * 86400000.0 + 1234.0)},
      {"W", bytes_of(uint16_t{65000}), bytes_of(uint16_t{65000})},
      {"B", bytes_of(int16_t{1}), bytes_of(int16_t{1})},
      {"L", bytes_of(int64_t{-1} << 40), bytes_of(int64_t{-1} << 40)},
      {"C", bytes_of(2.345), bytes_of(2.345)},
      {"BY", {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"VB", var_bytes, var_bytes},
      {"U", bytes_of(uint32_t{4000000000u}), bytes_of(uint64_t{4000000000u})},
      {"BCD", bytes_of(int64_t{-987650}), bytes_of(int64_t{-987650})},
      {"FB", bytes_of(bcd), bytes_of(bcd)},
      {"G", guid, guid},
  };
  for (const Case& c : cases) {
    data_.PutField(No(c.field), Rec(), c.in.data());
    std::vector<uint8_t> out(c.out.size() + 4, 0xEE);
    bool is_blank = true;
    data_.GetField(No(c.field), Rec(), out.data(), c.out.size(), is_blank);
    EXPECT_FALSE(is_blank) << c.field;
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(c.out.size())), c.out) << c.field;
    EXPECT_EQ(out[c.out.size()], 0xEE) << c.field;  // nothing past the value
    EXPECT_EQ(data_.GetFieldDataSize(Desc(c.field), Rec()), c.out.size()) << c.field;
  }
  EXPECT_TRUE(Get("FB") == Variant(bcd));
  EXPECT_TRUE(Get("D") == Variant::FromDateTime(700000.0 - 693594.0));
  EXPECT_TRUE(Get("G") == Variant("{01234567-89AB-CDEF-0123-456789ABCDEF}"));
}

TEST_F(FieldAccess, FixedSizeValuesNeedTheirRoom) {
  int32_t value = 5;
  data_.PutFieldData(Desc("I"), Rec(), &value);
  int16_t small = 0;
  EXPECT_THROW(data_.GetFieldData(Desc("I"), Rec(), &small, sizeof small), EAssertionFailed);
  uint8_t bcd[33];
  EXPECT_THROW(data_.GetFieldData(Desc("FB"), Rec(), bcd, sizeof bcd), EAssertionFailed);
}

// Line feeds double under conversion; the destination is never overrun.
TEST_F(FieldAccess, LineEndConversionStaysInItsDestination) {
  data_.convert_eol = true;
  data_.PutFieldData(Desc("S"), Rec(), "\n\n\n\n\n\n\n\n\n\n");
  EXPECT_EQ(data_.GetFieldDataSize(Desc("S"), Rec()), 21u);
  {
    auto dest = std::make_unique<char[]>(11);  // ASan sees any byte past it
    data_.GetFieldData(Desc("S"), Rec(), dest.get(), 11);
    EXPECT_STREQ(dest.get(), "\r\n\r\n\r\n\r\n\r\n");
  }
  auto whole = std::make_unique<char[]>(21);
  data_.GetFieldData(Desc("S"), Rec(), whole.get(), 21);
  EXPECT_EQ(std::strlen(whole.get()), 20u);

  const std::string many(1000, '\n');
  data_.PutFieldData(Desc("ES"), Rec(), many.c_str());
  EXPECT_EQ(data_.GetFieldDataSize(Desc("ES"), Rec()), 2001u);
  auto small = std::make_unique<char[]>(100);
  data_.GetFieldData(Desc("ES"), Rec(), small.get(), 100);
  EXPECT_EQ(std::strlen(small.get()), 98u);  // a pair never splits

  data_.PutFieldData(Desc("WS"), Rec(), u"\n\n\n\n\n");
  EXPECT_EQ(data_.GetFieldDataSize(Desc("WS"), Rec()), 22u);
  auto wide = std::make_unique<char16_t[]>(4);
  data_.GetFieldData(Desc("WS"), Rec(), wide.get(), 8);
  EXPECT_EQ(std::u16string(wide.get()), u"\r\n");

  const std::u16string wide_many(300, u'\n');
  data_.PutFieldData(Desc("EWS"), Rec(), wide_many.c_str());
  EXPECT_EQ(data_.GetFieldDataSize(Desc("EWS"), Rec()), 1202u);
  auto wide_small = std::make_unique<char16_t[]>(7);
  data_.GetFieldData(Desc("EWS"), Rec(), wide_small.get(), 14);
  EXPECT_EQ(std::u16string(wide_small.get()), u"\r\n\r\n\r\n");
}

TEST_F(FieldAccess, ByteValuesAreCutToTheirDestination) {
  Put("EVB", Variant(TBytes(50, 5)));
  EXPECT_EQ(data_.GetFieldDataSize(Desc("EVB"), Rec()), 52u);
  auto dest = std::make_unique<uint8_t[]>(12);
  data_.GetFieldData(Desc("EVB"), Rec(), dest.get(), 12);
  EXPECT_EQ(LoadAt<uint16_t>(dest.get()), 10);
}

// ---- Checked access ----

TEST_F(FieldAccess, EmptyTextSetsNullUnlessEnabled) {
  for (const char* field : {"S", "ES"}) {
    data_.PutField(No(field), Rec(), "x");
    data_.PutField(No(field), Rec(), "");
    EXPECT_TRUE(data_.GetNull(No(field), Rec())) << field;
  }
  for (const char* field : {"WS", "EWS"}) {
    data_.PutField(No(field), Rec(), u"x");
    data_.PutField(No(field), Rec(), u"");
    EXPECT_TRUE(data_.GetNull(No(field), Rec())) << field;
  }
  data_.SetEnableEmptyStrings(true);
  data_.PutField(No("S"), Rec(), "");
  EXPECT_FALSE(data_.GetNull(No("S"), Rec()));
  data_.PutField(No("EWS"), Rec(), u"");
  EXPECT_FALSE(data_.GetNull(No("EWS"), Rec()));
  EXPECT_TRUE(Get("EWS") == Variant(u""));
  data_.PutField(No("S"), Rec(), nullptr);
  EXPECT_TRUE(data_.GetNull(No("S"), Rec()));
}

TEST_F(FieldAccess, GetFieldLeavesTheDestinationOfNullValues) {
  char dest[16] = "untouched";
  bool is_blank = false;
  data_.GetField(No("S"), Rec(), dest, sizeof dest, is_blank);
  EXPECT_TRUE(is_blank);
  EXPECT_STREQ(dest, "untouched");
  data_.GetField(No("ES"), Rec(), dest, sizeof dest, is_blank);  // a heap value is no reference
  EXPECT_STREQ(dest, "untouched");
  void* blob = nullptr;
  data_.GetField(No("M"), Rec(), &blob, sizeof blob, is_blank);  // a blob hands out its reference
  EXPECT_TRUE(is_blank);
  EXPECT_NE(blob, nullptr);
  EXPECT_THROW(data_.GetField(99, Rec(), dest, sizeof dest, is_blank), EAssertionFailed);
}

TEST_F(FieldAccess, GetFieldTrimsByTheFlags) {
  data_.PutField(No("FX"), Rec(), "ab        ");
  data_.PutField(No("S"), Rec(), "cd  ");
  char dest[16];
  bool is_blank = false;
  data_.SetTrimFixedChar(true);
  data_.GetField(No("FX"), Rec(), dest, sizeof dest, is_blank);
  EXPECT_STREQ(dest, "ab");
  data_.GetField(No("S"), Rec(), dest, sizeof dest, is_blank);
  EXPECT_STREQ(dest, "cd  ");
  data_.SetTrimVarChar(true);
  data_.GetField(No("S"), Rec(), dest, sizeof dest, is_blank);
  EXPECT_STREQ(dest, "cd");
  data_.PutField(No("WS"), Rec(), u"w  ");
  char16_t wide[8];
  data_.GetField(No("WS"), Rec(), wide, sizeof wide, is_blank);
  EXPECT_EQ(std::u16string(wide), u"w");
}

TEST_F(FieldAccess, BlobNullness) {
  EXPECT_TRUE(data_.GetNullByBlob(No("M"), Rec()));
  EXPECT_TRUE(data_.GetNullByBlob(No("I"), Rec()));
  void* handle = nullptr;
  bool is_blank = false;
  data_.GetField(No("M"), Rec(), &handle, sizeof handle, is_blank);
  auto* blob = dynamic_cast<TBlob*>(TSharedObject::FromGCHandle(handle));
  ASSERT_NE(blob, nullptr);
  blob->SetAsString("some");
  EXPECT_TRUE(data_.GetNull(No("M"), Rec()));
  EXPECT_FALSE(data_.GetNullByBlob(No("M"), Rec()));
  EXPECT_FALSE(data_.GetNull(No("M"), Rec()));
  data_.SetNull(No("M"), Rec(), true);  // clears the blob
  EXPECT_EQ(blob->GetSize(), 0u);
  EXPECT_TRUE(data_.GetNullByBlob(No("M"), Rec()));
}

// ---- Dates ----

TEST_F(FieldAccess, DateFormatsBeforeTheEpochWithATimeOfDay) {
  uint8_t buf[8];
  StoreAt<double>(buf, 0, -1.25);  // 1899-12-29 06:00
  double msecs = 0;
  int32_t day = 0;
  int32_t time = 0;
  double stored = 0;
  data_.GetDateFromBuf(buf, 0, &msecs, dfMSecs);
  data_.GetDateFromBuf(buf, 0, &day, dfDate);
  data_.GetDateFromBuf(buf, 0, &time, dfTime);
  data_.GetDateFromBuf(buf, 0, &stored, dfDateTime);
  EXPECT_EQ(day, 693593);
  EXPECT_EQ(time, 21600000);
  EXPECT_EQ(msecs, 693593.0 * 86400000.0 + 21600000.0);
  EXPECT_EQ(stored, -1.25);

  uint8_t out[8];
  data_.PutDateToBuf(out, 0, &msecs, dfMSecs);
  EXPECT_EQ(LoadAt<double>(out), -1.25);
  data_.PutDateToBuf(out, 0, &day, dfDate);
  EXPECT_EQ(LoadAt<double>(out), -1.0);
  data_.PutDateToBuf(out, 0, &time, dfTime);
  EXPECT_EQ(LoadAt<double>(out), 0.25);
  const double fraction_ms = msecs + 0.4;  // whole milliseconds
  data_.PutDateToBuf(out, 0, &fraction_ms, dfMSecs);
  EXPECT_EQ(LoadAt<double>(out), -1.25);

  int32_t first_day = 1;  // 0001-01-01
  data_.PutDateToBuf(out, 0, &first_day, dfDate);
  EXPECT_EQ(LoadAt<double>(out), -693593.0);
}

TEST_F(FieldAccess, DateTimeMillisecondsAreTheTimeStampsOfEveryStoredValue) {
  // Whatever double a DATETIME slot holds, its milliseconds read as the time
  // stamp's: range ends, days before 1899 with times, ties of half a
  // millisecond, the edge of exact 64-bit arithmetic, huge values, NaN.
  constexpr double kMs = 86400000.0;
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> values = {0.0, -0.0, 4.9e-324, -4.9e-324, 1e-300, 0.5 / kMs, -0.5 / kMs, 1.5 / kMs,
                                -1.5 / kMs, 0.25, -0.25, -1.25, -1.75, 0.999999999, -0.999999999,
                                -693593.0,   // 0001-01-01
                                -693593.999999999, -693594.0, -693594.25, -693595.5,
                                2958465.0,  // 9999-12-31
                                2958465.99999999, 2958466.0, 1e6, -1e6, 1e9, -1e9, 1e18, -1e18, 1e300, -1e300,
                                std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(), inf, -inf,
                                nan, -nan};
  const double edge = 4503599627370496.0 / kMs;  // 2^52 milliseconds
  for (double v : {edge, -edge, 2147483647.0, -2147483648.0 - 693594.0}) {
    values.insert(values.end(), {std::nextafter(v, 0.0), v, std::nextafter(v, 2 * v)});
  }
  std::mt19937_64 rng(47);
  std::uniform_real_distribution<double> days(-1e8, 1e8);
  for (int i = 0; i < 20000; ++i) {
    const int64_t ms = static_cast<int64_t>(rng() % 800000000000000ull) - 400000000000000;
    values.insert(values.end(), {static_cast<double>(ms) / kMs, (static_cast<double>(ms) + 0.5) / kMs,
                                 (static_cast<double>(ms) - 0.5) / kMs, days(rng), std::bit_cast<double>(rng())});
  }
  const uint32_t offset = Desc("DT")->GetOffset();
  for (double value : values) {
    data_.PutDateToBuf(Rec(), offset, &value, dfDateTime);
    data_.SetNull(No("DT"), Rec(), false);
    double read = 0;
    bool is_blank = true;
    data_.GetField(No("DT"), Rec(), &read, sizeof read, is_blank);
    ASSERT_FALSE(is_blank);
    const double stamp = plat::TimeStampToMSecs(plat::DateTimeToTimeStamp(value));
    ASSERT_EQ(std::bit_cast<uint64_t>(read), std::bit_cast<uint64_t>(stamp)) << std::hexfloat << value;
  }
}

TEST_F(FieldAccess, TextStopsAtItsTerminatorTheSlotAndTheDestination) {
  const uint32_t offset = Desc("S")->GetOffset();  // Size 11
  for (const char* slot : {"", "a", "abc", "abcdefghij", "abcdefghijk"}) {
    for (size_t dest_size = 0; dest_size <= 14; ++dest_size) {
      char raw[11] = {};
      std::memcpy(raw, slot, std::strlen(slot));  // the last, without a terminator
      std::memcpy(static_cast<uint8_t*>(Rec()) + offset, raw, sizeof raw);
      data_.SetNull(No("S"), Rec(), false);
      char dest[16];
      std::memset(dest, 0x7f, sizeof dest);
      bool is_blank = true;
      data_.GetField(No("S"), Rec(), dest, dest_size, is_blank);
      char expected[16];
      std::memset(expected, 0x7f, sizeof expected);
      if (dest_size > 0) {
        const size_t n = std::min({strnlen(raw, sizeof raw), sizeof raw - 1, dest_size - 1});
        std::memcpy(expected, raw, n);
        expected[n] = 0;
      }
      ASSERT_EQ(std::string(dest, sizeof dest), std::string(expected, sizeof expected))
          << "slot " << slot << ", room " << dest_size;
    }
  }
}

// A record set with reads of its own: INTEGER null when negative, text with
// a mark in front, DATETIME milliseconds a day later.
class TOwnReadsData : public TTestData {
 public:
  bool GetNull(uint16_t field_no, void* rec_buf) override {
    TFieldDesc* field = FieldByName("I");
    if (field_no == field->GetFieldNo() && !TTestData::GetNull(field_no, rec_buf)) {
      return LoadAt<int32_t>(rec_buf, field->GetOffset()) < 0;
    }
    return TTestData::GetNull(field_no, rec_buf);
  }
  void GetFieldData(TFieldDesc* field, void* rec_buf, void* dest, size_t dest_size) override {
    TTestData::GetFieldData(field, rec_buf, dest, dest_size);
    if (field->GetDataType() == dtString && dest_size > 1 && LoadAt<char>(dest) != 0) StoreAt<char>(dest, 0, '#');
  }
  void GetDateFromBuf(const void* buf, uint32_t offset, void* date, TDateFormat format) override {
    TTestData::GetDateFromBuf(buf, offset, date, format);
    if (format == dfMSecs) StoreAt<double>(date, 0, LoadAt<double>(date) + 86400000.0);
  }
  bool ReadsOwnValues() const override { return true; }
};

TEST(FieldAccessOverrides, GetFieldTakesTheDescendantsReads) {
  TOwnReadsData data;
  data.columns = {{"I", dtInteger, 4}, {"S", dtString, 11, 10}, {"DT", dtDateTime, 8}};
  data.Init();
  TTestData::Record record(data, false, false);
  void* rec = record.get();
  const int32_t negative = -5;
  const int32_t positive = 7;
  const double msecs = 693594.0 * 86400000.0 + 3600000.0;
  data.PutField(1, rec, &negative);
  data.PutField(2, rec, "abc  ");
  data.PutField(3, rec, &msecs);

  int32_t i = 0;
  bool is_blank = false;
  data.GetField(1, rec, &i, sizeof i, is_blank);
  EXPECT_TRUE(is_blank);
  EXPECT_EQ(i, 0);
  data.PutField(1, rec, &positive);
  data.GetField(1, rec, &i, sizeof i, is_blank);
  EXPECT_FALSE(is_blank);
  EXPECT_EQ(i, 7);

  char text[11];
  data.GetField(2, rec, text, sizeof text, is_blank);
  EXPECT_STREQ(text, "#bc  ");
  data.SetTrimVarChar(true);  // trimming follows the descendant's text
  data.GetField(2, rec, text, sizeof text, is_blank);
  EXPECT_STREQ(text, "#bc");

  double read = 0;
  data.GetField(3, rec, &read, sizeof read, is_blank);
  EXPECT_EQ(read, msecs + 86400000.0);
}

TEST_F(FieldAccess, ImpossibleDatesAreRefused) {
  uint8_t out[8] = {};
  const int32_t negative_day = -1;
  const int32_t negative_time = -1;
  const int32_t whole_day = 86400000;
  const double negative_msecs = -5;
  EXPECT_THROW(data_.PutDateToBuf(out, 0, &negative_day, dfDate), EConvertError);
  EXPECT_THROW(data_.PutDateToBuf(out, 0, &negative_time, dfTime), EConvertError);
  EXPECT_THROW(data_.PutDateToBuf(out, 0, &whole_day, dfTime), EConvertError);
  EXPECT_THROW(data_.PutDateToBuf(out, 0, &negative_msecs, dfMSecs), EConvertError);
}

// ---- Comparable form ----

TEST_F(FieldAccess, FieldBufForms) {
  Put("DT", Variant::FromDateTime(123.5));
  Put("ES", Variant("heap"));
  Put("BY", Variant(TBytes{1, 2, 3, 4}));
  Put("BCD", Variant(Currency::FromRaw(15000)));
  Put("M", Variant("memo"));
  Put("S", Variant("plain"));
  int type = 0;
  bool is_blank = true;
  bool native = false;

  void* buf = data_.GetFieldBuf(Rec(), Desc("DT"), type, is_blank, native);
  EXPECT_EQ(type, dtDateTime);
  EXPECT_FALSE(native);
  EXPECT_EQ(LoadAt<double>(buf), 123.5);
  TData::FreeFieldBuf(buf);

  buf = data_.GetFieldBuf(Rec(), Desc("ES"), type, is_blank, native);
  EXPECT_EQ(type, dtString);
  EXPECT_TRUE(native);
  EXPECT_STREQ(static_cast<const char*>(buf), "heap");

  data_.PutFieldData(Desc("EWS"), Rec(), nullptr);
  StoreAt<void*>(Rec(), Desc("EWS")->GetOffset(), nullptr);  // written raw as none, yet not null
  data_.SetNull(No("EWS"), Rec(), false);
  buf = data_.GetFieldBuf(Rec(), Desc("EWS"), type, is_blank, native);
  EXPECT_EQ(type, dtWideString);
  ASSERT_NE(buf, nullptr);
  EXPECT_EQ(LoadAt<char16_t>(buf), 0);

  buf = data_.GetFieldBuf(Rec(), Desc("BY"), type, is_blank, native);
  EXPECT_FALSE(native);
  EXPECT_EQ(LoadAt<uint16_t>(buf), 4);
  EXPECT_EQ(static_cast<uint8_t*>(buf)[5], 4);
  TData::FreeFieldBuf(buf);

  buf = data_.GetFieldBuf(Rec(), Desc("BCD"), type, is_blank, native);
  EXPECT_EQ(LoadAt<double>(buf), 1.5);
  TData::FreeFieldBuf(buf);

  buf = data_.GetFieldBuf(Rec(), Desc("M"), type, is_blank, native);
  EXPECT_EQ(type, dtString);
  EXPECT_STREQ(static_cast<const char*>(buf), "memo");
  TData::FreeFieldBuf(buf);

  buf = data_.GetFieldBuf(Rec(), Desc("S"), type, is_blank, native);
  EXPECT_TRUE(native);
  EXPECT_EQ(buf, record_->bytes() + Desc("S")->GetOffset());

  buf = data_.GetFieldBuf(Rec(), Desc("I"), type, is_blank, native);
  EXPECT_TRUE(is_blank);
  EXPECT_TRUE(native);
}

}  // namespace
}  // namespace dac
