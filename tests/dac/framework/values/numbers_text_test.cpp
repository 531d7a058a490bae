#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/currency.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/framework/values/variant.h"
#include "tests/dac/framework/error_text.h"
#include "tests/dac/framework/settings_guard.h"

namespace dac {
namespace {

TEST(FloatText, GeneralFormWithFifteenDigits) {
  EXPECT_EQ(FloatToStr(0), "0");
  EXPECT_EQ(FloatToStr(-0.0), "0");
  EXPECT_EQ(FloatToStr(1.5), "1.5");
  EXPECT_EQ(FloatToStr(-12), "-12");
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");  // 15 digits hide the binary noise
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(1.5e20), "1.5E20");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(0.00001), "1E-5");
  EXPECT_EQ(FloatToStr(-1.5e-7), "-1.5E-7");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FloatToStr(std::nan("")), "NAN");
  EXPECT_EQ(SingleToStr(0.1f), "0.1");
}

TEST(FloatText, ParsingAndRefusals) {
  double v = 0;
  for (const char* ok : {"1.5", " -2.25 ", "+3", "1e3", "1.5E-2", ".5", "5."}) EXPECT_TRUE(TryStrToFloat(ok, v)) << ok;
  EXPECT_TRUE(TryStrToFloat("1e-400", v));
  EXPECT_EQ(v, 0);
  for (const char* bad : {"", " ", "1,5", "1.2.3", "abc", "1e", "1e+", "--1", "1 2", "1e400", "0x10"})
    EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
  EXPECT_EQ(StrToFloat("0.1"), 0.1);
  try {
    StrToFloat("x1");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x1' is not a valid floating point value");
  }
  // A long text comes back as its start only, whatever refuses it.
  const std::string long_text = std::string(100000, '1') + "x";
  const std::string excerpt = "'" + std::string(64, '1') + "...'";
  EXPECT_EQ(ErrorOf([&] { StrToFloat(long_text); }), excerpt + " is not a valid floating point value");
  EXPECT_EQ(ErrorOf([&] { StrToInt(long_text); }), excerpt + " is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { StrToCurr(long_text); }), excerpt + " is not a valid floating point value");
  EXPECT_EQ(ErrorOf([&] { StrToBcd(long_text); }), excerpt + " is not a valid BCD value");
  EXPECT_LT(ErrorOf([] { Variant(std::string(100000, '9')).AsInt32(); }).size(), 200u);
  for (double d : {0.1, 1.0 / 3, 6.02214076e23, -1e-300, 123.456}) {
    EXPECT_EQ(StrToFloat(FloatToStr(d)), std::stod(FloatToStr(d))) << d;
  }
}

TEST(FloatText, FollowsTheDecimalSeparator) {
  SettingsGuard guard;
  plat::ProcessFormatSettings().decimal_separator = ',';
  EXPECT_EQ(FloatToStr(1.5), "1,5");
  EXPECT_EQ(StrToFloat("2,5"), 2.5);
  double v = 0;
  EXPECT_FALSE(TryStrToFloat("2.5", v));
  EXPECT_EQ(CurrToStr(Currency::FromRaw(15000)), "1,5");
}

TEST(IntegerText, RangeAndForm) {
  int64_t v = 0;
  EXPECT_TRUE(TryStrToInt64(" -42 ", v));
  EXPECT_EQ(v, -42);
  EXPECT_TRUE(TryStrToInt64("-9223372036854775808", v));
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", v));
  EXPECT_FALSE(TryStrToInt64("1.0", v));
  EXPECT_FALSE(TryStrToInt64("", v));
  EXPECT_THROW(StrToInt("2147483648"), EConvertError);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(CurrencyText, ExactBothWays) {
  EXPECT_EQ(CurrToStr(Currency::FromRaw(0)), "0");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(125000)), "12.5");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(-1)), "-0.0001");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MAX)), "922337203685477.5807");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MIN)), "-922337203685477.5808");
  EXPECT_EQ(StrToCurr("922337203685477.5807").raw, INT64_MAX);
  EXPECT_EQ(StrToCurr("-922337203685477.5808").raw, INT64_MIN);
  EXPECT_EQ(StrToCurr("1.23456").raw, 12346);   // rounded to four places
  EXPECT_EQ(StrToCurr("-1.00005").raw, -10001);  // half away from zero
  EXPECT_EQ(StrToCurr("1e2").raw, 1000000);
  Currency c;
  EXPECT_FALSE(TryStrToCurr("922337203685477.5808", c));
  EXPECT_FALSE(TryStrToCurr("1e30", c));
  EXPECT_FALSE(TryStrToCurr("abc", c));
  EXPECT_THROW(StrToCurr(""), EConvertError);
}

TEST(CurrencyDouble, RoundsAndChecksTheRange) {
  EXPECT_EQ(DoubleToCurrency(1.23456).raw, 12346);
  EXPECT_EQ(DoubleToCurrency(0.00005).raw, 0);  // ties to even
  EXPECT_EQ(CurrencyToDouble(Currency::FromRaw(25000)), 2.5);
  EXPECT_THROW(DoubleToCurrency(1e20), EConvertError);
  EXPECT_THROW(DoubleToCurrency(std::nan("")), EConvertError);
}

Bcd Parse(const char* text) { return StrToBcd(text); }

TEST(BcdRecord, LayoutOfDigitsSignAndPlaces) {
  const Bcd b = Parse("-12.5");
  EXPECT_EQ(b.precision, 3);
  EXPECT_EQ(b.sign_special_places, 0x81);
  EXPECT_EQ(b.fraction[0], 0x12);
  EXPECT_EQ(b.fraction[1], 0x50);
  EXPECT_EQ(b.fraction[2], 0x00);
  EXPECT_EQ(BcdToStr(b), "-12.5");
  const Bcd kept = Parse("1.50");
  EXPECT_EQ(BcdScale(kept), 2);
  EXPECT_EQ(BcdToStr(kept), "1.5");
  EXPECT_EQ(BcdToStr(Parse("0")), "0");
  EXPECT_EQ(BcdToStr(Parse("-0.000")), "0");
  EXPECT_FALSE(BcdIsNegative(Parse("-0")));
}

TEST(BcdRecord, RoundTripsAtFullPrecision) {
  const std::string sixty_four(64, '9');
  EXPECT_EQ(BcdToStr(Parse(sixty_four.c_str())), sixty_four);
  const std::string with_scale = std::string(30, '7') + "." + std::string(34, '3');
  EXPECT_EQ(BcdToStr(Parse(with_scale.c_str())), with_scale);
  const std::string tiny = "-0." + std::string(62, '0') + "1";
  EXPECT_EQ(BcdToStr(Parse(tiny.c_str())), tiny);
  Bcd b;
  EXPECT_FALSE(TryStrToBcd(std::string(65, '1'), b));  // 65 integer digits do not fit
  // 64 integer digits leave no room for a fraction: it is rounded away.
  EXPECT_EQ(BcdToStr(Parse((std::string(64, '1') + ".6").c_str())), std::string(63, '1') + "2");
  EXPECT_THROW(StrToBcd("1.2.3"), EConvertError);
}

TEST(BcdRecord, NormaliseToPrecisionAndScale) {
  Bcd out;
  ASSERT_TRUE(NormalizeBcd(Parse("12.345"), out, 10, 2));
  EXPECT_EQ(out.precision, 10);
  EXPECT_EQ(BcdScale(out), 2);
  EXPECT_EQ(BcdToStr(out), "12.35");
  ASSERT_TRUE(NormalizeBcd(Parse("-0.5"), out, 5, 0));
  EXPECT_EQ(BcdToStr(out), "-1");
  ASSERT_TRUE(NormalizeBcd(Parse("7"), out, 6, 4));
  EXPECT_EQ(out.fraction[0], 0x07);  // digits 0 7 . 0 0 0 0
  EXPECT_EQ(out.fraction[1], 0x00);
  EXPECT_EQ(BcdToStr(out), "7");
  const Bcd before = out;
  EXPECT_FALSE(NormalizeBcd(Parse("123.4"), out, 4, 2));  // 3 integer digits, room for 2
  EXPECT_EQ(BcdCompare(out, before), 0);
  EXPECT_FALSE(NormalizeBcd(Parse("1"), out, 3, 4));
}

TEST(BcdRecord, CompareAndConvert) {
  EXPECT_EQ(BcdCompare(Parse("1.50"), Parse("1.5")), 0);
  EXPECT_LT(BcdCompare(Parse("-2"), Parse("-1.99")), 0);
  EXPECT_GT(BcdCompare(Parse("10"), Parse("9.999")), 0);
  EXPECT_LT(BcdCompare(Parse("-0.1"), Parse("0")), 0);
  EXPECT_EQ(BcdToCurrency(Parse("12.34567")).raw, 123457);
  Currency c;
  EXPECT_FALSE(TryBcdToCurrency(Parse("1e20"), c));
  EXPECT_EQ(BcdToStr(CurrencyToBcd(Currency::FromRaw(-15))), "-0.0015");
  EXPECT_EQ(BcdScale(CurrencyToBcd(Currency::FromRaw(10000))), 4);
  EXPECT_EQ(BcdToDouble(Parse("0.1")), 0.1);
  EXPECT_EQ(BcdToStr(DoubleToBcd(0.1)), "0.1");
  EXPECT_EQ(BcdToStr(DoubleToBcd(-1234.5)), "-1234.5");
  EXPECT_EQ(BcdToStr(IntegerToBcd(INT64_MIN)), "-9223372036854775808");
  EXPECT_THROW(DoubleToBcd(std::nan("")), EConvertError);
}

TEST(BcdRecord, BrokenRecordsAreRefused) {
  Bcd b = Parse("12");
  b.fraction[0] = 0x1A;  // a nibble above 9
  EXPECT_THROW(BcdToStr(b), EConvertError);
  b = Parse("12");
  b.precision = 65;
  EXPECT_THROW(BcdToStr(b), EConvertError);
  b = Parse("12");
  b.sign_special_places = 5;  // more places than digits
  EXPECT_THROW(BcdCompare(b, b), EConvertError);
}

}  // namespace
}  // namespace dac
