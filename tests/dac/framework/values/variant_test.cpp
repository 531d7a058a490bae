#include "dac/framework/values/variant.h"

#include <gtest/gtest.h>

#include <limits>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/meta_class.h"

namespace dac {
namespace {

TEST(Variant, TypeCodesKeepTheirNumbers) {
  EXPECT_EQ(Variant().Type(), 0);
  EXPECT_EQ(Variant::Null().Type(), 1);
  EXPECT_EQ(Variant(int16_t{1}).Type(), 2);
  EXPECT_EQ(Variant(1).Type(), 3);
  EXPECT_EQ(Variant(1.0f).Type(), 4);
  EXPECT_EQ(Variant(1.0).Type(), 5);
  EXPECT_EQ(Variant(Currency::FromInt(1)).Type(), 6);
  EXPECT_EQ(Variant::FromDateTime(1).Type(), 7);
  EXPECT_EQ(Variant(u"w").Type(), 8);
  EXPECT_EQ(Variant(true).Type(), 11);
  EXPECT_EQ(Variant(int8_t{1}).Type(), 16);
  EXPECT_EQ(Variant(uint8_t{1}).Type(), 17);
  EXPECT_EQ(Variant(uint16_t{1}).Type(), 18);
  EXPECT_EQ(Variant(uint32_t{1}).Type(), 19);
  EXPECT_EQ(Variant(int64_t{1}).Type(), 20);
  EXPECT_EQ(Variant(uint64_t{1}).Type(), 21);
  EXPECT_EQ(Variant("s").Type(), 0x100);
  EXPECT_EQ(Variant(TBytes{1, 2}).Type(), 0x2011);
  EXPECT_EQ(Variant(std::vector<Variant>{1, "a"}).Type(), 0x200C);
  EXPECT_EQ(Variant(StrToBcd("1.5")).Type(), varFMTBcd);
  TObject object;
  EXPECT_EQ(Variant::FromObject(&object).Type(), varByRef);
  EXPECT_EQ(Variant::FromObject(&object).AsObject(), &object);
}

TEST(Variant, IntegerConversionsCheckTheRange) {
  EXPECT_EQ(Variant(70000).AsInt32(), 70000);
  EXPECT_THROW(Variant(70000).AsInt16(), EConvertError);
  EXPECT_THROW(Variant(-1).AsUInt32(), EConvertError);
  EXPECT_THROW(Variant(256).AsUInt8(), EConvertError);
  EXPECT_EQ(Variant(uint64_t{UINT64_MAX}).AsUInt64(), UINT64_MAX);
  EXPECT_THROW(Variant(uint64_t{UINT64_MAX}).AsInt64(), EConvertError);
  EXPECT_EQ(Variant("18446744073709551615").AsUInt64(), UINT64_MAX);
  EXPECT_EQ(Variant(" 12 ").AsInt32(), 12);
  EXPECT_EQ(Variant("2.5").AsInt32(), 2);  // ties to even, as float conversions round
  EXPECT_EQ(Variant(3.5).AsInt32(), 4);
  EXPECT_EQ(Variant(Currency::FromRaw(25000)).AsInt32(), 2);
  EXPECT_EQ(Variant(Currency::FromRaw(-35000)).AsInt32(), -4);
  EXPECT_THROW(Variant(1e300).AsInt64(), EConvertError);
  EXPECT_THROW(Variant(std::numeric_limits<double>::quiet_NaN()).AsInt32(), EConvertError);
  EXPECT_EQ(Variant(true).AsInt32(), 1);
  EXPECT_EQ(Variant().AsInt32(), 0);
  EXPECT_THROW(Variant::Null().AsInt32(), EConvertError);
  EXPECT_THROW(Variant("x").AsInt32(), EConvertError);
  EXPECT_THROW(Variant(TBytes{1}).AsInt32(), EConvertError);
}

TEST(Variant, TextAndOtherConversions) {
  EXPECT_EQ(Variant(1.5).AsString(), "1.5");
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(Currency::FromRaw(12345)).AsString(), "1.2345");
  EXPECT_EQ(Variant::FromDateTime(36526.5).AsString(), "1/1/2000 12:00:00");
  EXPECT_EQ(Variant(u"\u00E9\u20AC").AsString(), "\xE9\x80");
  EXPECT_EQ(Variant("\xE9\x80").AsWideString(), u"\u00E9\u20AC");
  EXPECT_EQ(Variant(uint64_t{UINT64_MAX}).AsString(), "18446744073709551615");
  EXPECT_EQ(Variant("1/2/2000 3:00").AsDateTime(), 36527.125);
  EXPECT_EQ(Variant("12.5").AsCurrency().raw, 125000);
  EXPECT_EQ(Variant(int64_t{922337203685477}).AsCurrency().raw, 9223372036854770000);
  EXPECT_THROW(Variant(int64_t{922337203685478}).AsCurrency(), EConvertError);
  EXPECT_EQ(BcdToStr(Variant(-7).AsBcd()), "-7");
  EXPECT_EQ(BcdToStr(Variant("3.25").AsBcd()), "3.25");
  EXPECT_EQ(Variant(StrToBcd("2.5")).AsDouble(), 2.5);
  EXPECT_TRUE(Variant("true").AsBoolean());
  EXPECT_FALSE(Variant(0.0).AsBoolean());
  EXPECT_THROW(Variant("x").AsBoolean(), EConvertError);
  EXPECT_THROW(Variant(true).AsDateTime(), EConvertError);
  EXPECT_THROW(Variant(TBytes{65}).AsString(), EConvertError);
  EXPECT_THROW(Variant(1).AsBytes(), EConvertError);
  EXPECT_THROW(Variant::Null().AsString(), EConvertError);
  EXPECT_EQ(VarToStr(Variant::Null()), "");
  try {
    Variant("abc").AsDouble();
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Double)");
  }
}

TEST(Variant, ChangeTypeKeepsOrRefuses) {
  EXPECT_EQ(Variant("42").ChangeType(varSmallint).Type(), varSmallint);
  EXPECT_EQ(Variant("42").ChangeType(varSmallint).AsInt16(), 42);
  EXPECT_EQ(Variant(42).ChangeType(varOleStr).AsWideString(), u"42");
  EXPECT_EQ(Variant(1.25).ChangeType(varCurrency).AsCurrency().raw, 12500);
  EXPECT_THROW(Variant(100000).ChangeType(varWord), EConvertError);
  EXPECT_THROW(Variant("x").ChangeType(varDate), EConvertError);
  EXPECT_TRUE(Variant(1).ChangeType(varNull).IsNull());
}

TEST(Variant, EqualityAcrossKinds) {
  EXPECT_EQ(Variant(1), Variant(1.0));
  EXPECT_EQ(Variant(int64_t{5}), Variant(Currency::FromInt(5)));
  EXPECT_EQ(Variant(uint64_t{UINT64_MAX}), Variant(uint64_t{UINT64_MAX}));
  EXPECT_FALSE(Variant(uint64_t{UINT64_MAX}) == Variant(int64_t{-1}));
  EXPECT_EQ(Variant(StrToBcd("1.50")), Variant(1.5));
  EXPECT_EQ(Variant("abc"), Variant(u"abc"));
  EXPECT_FALSE(Variant("abc") == Variant("ABC"));
  EXPECT_EQ(Variant("12"), Variant(12));
  EXPECT_FALSE(Variant("x") == Variant(12));  // never throws
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_FALSE(Variant::Null() == Variant(0));
  EXPECT_FALSE(Variant() == Variant::Null());
  EXPECT_EQ(Variant(TBytes{1, 2}), Variant(TBytes{1, 2}));
  EXPECT_FALSE(Variant(TBytes{1, 2}) == Variant(TBytes{1}));
  EXPECT_EQ(Variant(std::vector<Variant>{1, "a"}), Variant(std::vector<Variant>{1.0, u"a"}));
}

TEST(Variant, OrderForSortingAndLocating) {
  EXPECT_LT(VarCompare(Variant(), Variant::Null()), 0);
  EXPECT_LT(VarCompare(Variant::Null(), Variant(-1e300)), 0);
  EXPECT_LT(VarCompare(Variant(int64_t{INT64_MAX - 1}), Variant(int64_t{INT64_MAX})), 0);
  EXPECT_GT(VarCompare(Variant(uint64_t{UINT64_MAX}), Variant(int64_t{INT64_MAX})), 0);
  EXPECT_LT(VarCompare(Variant(Currency::FromRaw(1)), Variant(1)), 0);
  EXPECT_LT(VarCompare(Variant("a"), Variant("A")), 0);  // lower before upper
  EXPECT_LT(VarCompare(Variant("A"), Variant(u"b")), 0);
  EXPECT_LT(VarCompare(Variant("9"), Variant(10)), 0);   // text against a number: as a number
  EXPECT_GT(VarCompare(Variant("1/2/2000"), Variant::FromDateTime(36526)), 0);
  EXPECT_THROW(VarCompare(Variant("x"), Variant(1)), EConvertError);
  EXPECT_LT(VarCompare(Variant(TBytes{1, 2}), Variant(TBytes{1, 3})), 0);
  EXPECT_LT(VarCompare(Variant(TBytes{1}), Variant(TBytes{1, 0})), 0);
  EXPECT_THROW(VarCompare(Variant(TBytes{1}), Variant(1)), EConvertError);
  EXPECT_LT(VarCompare(Variant(std::vector<Variant>{1, "b"}), Variant(std::vector<Variant>{1, "c"})), 0);
  EXPECT_EQ(VarCompare(Variant(2), Variant(2.0f)), 0);
}

TEST(Variant, ArraysAreValues) {
  Variant a(std::vector<Variant>{1, 2, 3});
  Variant b = a;
  b.SetArrayElement(1, Variant("x"));
  EXPECT_EQ(a.ArrayElement(1), Variant(2));
  EXPECT_EQ(b.ArrayElement(1), Variant("x"));
  EXPECT_EQ(b.ArrayCount(), 3u);
  EXPECT_THROW(b.ArrayElement(3), ArgumentException);
  Variant bytes(TBytes{1, 2});
  EXPECT_EQ(bytes.ArrayElement(1).Type(), varByte);
  bytes.SetArrayElement(0, Variant(200));
  EXPECT_EQ(bytes.AsBytes()[0], 200);
  EXPECT_THROW(bytes.SetArrayElement(0, Variant(300)), EConvertError);
}

}  // namespace
}  // namespace dac
