// Wire values to record-store values: number texts, binary numbers, and
// date and time texts and packed forms, as tables of cases.
#include "dac/mysql/provider/my_value_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_records.h"
#include "platform/date_time.h"
#include "tests/dac/framework/error_text.h"

namespace dac {
namespace {

double Date(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0, int ms = 0) {
  double out = 0;
  EXPECT_TRUE(plat::TryEncodeDateTime(y, m, d, hh, mm, ss, ms, out));
  return out;
}

TEST(MyValueConversion, IntegerTextsWrapAsTheirFieldWould) {
  EXPECT_EQ(IntegerFromText("-2147483648", false), INT32_MIN);
  EXPECT_EQ(IntegerFromText("4294967295", false), -1);
  EXPECT_EQ(IntegerFromText("4294967295", true), 4294967295LL);
  EXPECT_EQ(IntegerFromText("18446744073709551615", true), -1);
  EXPECT_EQ(IntegerFromText("", true), 0);
  EXPECT_EQ(IntegerFromBinary(reinterpret_cast<const uint8_t*>("\xFE"), 1, true), -2);
  EXPECT_EQ(IntegerFromBinary(reinterpret_cast<const uint8_t*>("\xFE"), 1, false), 254);
  EXPECT_EQ(IntegerFromBinary(reinterpret_cast<const uint8_t*>("\x00\x80"), 2, true), -32768);
  EXPECT_EQ(IntegerFromBinary(reinterpret_cast<const uint8_t*>("\xFF\xFF\xFF\xFF"), 4, false), 4294967295LL);
  EXPECT_THROW(IntegerFromBinary(reinterpret_cast<const uint8_t*>("abc"), 3, true), EAssertionFailed);
  EXPECT_EQ(BitFromBytes(reinterpret_cast<const uint8_t*>("\x02\x01"), 2), 513u);
}

TEST(MyValueConversion, FloatTexts) {
  struct Case {
    std::string text;
    double value;
  };
  const std::string long_decimal = "1234567890123456789012345678901234567890.5";
  for (const Case& c : {Case{"1.5", 1.5}, Case{"-0.25", -0.25}, Case{"+3", 3}, Case{"1e3", 1000},
                        Case{"-2.25E-10", -2.25e-10}, Case{".5", 0.5}, Case{long_decimal, 1.2345678901234568e39}}) {
    EXPECT_DOUBLE_EQ(FloatFromText(c.text), c.value) << c.text;
  }
  EXPECT_EQ(ErrorOf([] { FloatFromText("1.2.3"); }), "'1.2.3' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([] { FloatFromText("12a"); }), "'12a' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([] { FloatFromText(""); }), "'' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([] { FloatFromText("1e+x"); }), "'+x' is not a valid integer value");
  // A long text comes back by its start only.
  EXPECT_EQ(ErrorOf([] { FloatFromText("1e" + std::string(100000, '5') + "x"); }),
            "'" + std::string(64, '5') + "...' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { FloatFromText(std::string(100000, '5') + "x"); }),
            "'" + std::string(36, '5') + "' is not a valid floating point value");
  const uint8_t single[] = {0x00, 0x00, 0xC0, 0x3F};
  EXPECT_EQ(FloatFromBinary(single, 4), 1.5);
  EXPECT_EQ(ErrorOf([&] { FloatFromBinary(single, 3); }).find("Float Len = 3") != std::string::npos, true);
}

TEST(MyValueConversion, DateAndTimeTexts) {
  struct Case {
    uint8_t type;
    int length;
    std::string text;
    bool converted;
    double value;
  };
  const std::vector<Case> cases = {
      {mftDate, 10, "2004-02-29", true, Date(2004, 2, 29)},
      {mftDate, 10, "0000-00-00", false, 0},
      {mftDate, 10, "2004-02-30", false, 0},
      {mftDate, 10, "2004-0", false, 0},
      {mftDateTime, 19, "1999-12-31 23:59:58", true, Date(1999, 12, 31, 23, 59, 58)},
      {mftDateTime, 23, "1999-12-31 23:59:58.125", true, Date(1999, 12, 31, 23, 59, 58, 125)},
      {mftTimestamp, 14, "20040229123456", true, Date(2004, 2, 29, 12, 34, 56)},
      {mftTimestamp, 12, "040229123456", true, Date(2004, 2, 29, 12, 34, 56)},
      {mftTimestamp, 8, "19991231", true, Date(1999, 12, 31)},
      {mftTimestamp, 6, "691231", true, Date(2069, 12, 31)},
      {mftTimestamp, 2, "70", true, Date(1970, 1, 1)},
      {mftTimestamp, 19, "2004-02-29 12:34:56", true, Date(2004, 2, 29, 12, 34, 56)},
      {mftTimestamp, 26, "2004-02-29 12:34:56.500000", true, Date(2004, 2, 29, 12, 34, 56, 500)},
      {mftTime, 10, "-12:30:00", true, -(12.0 / 24) - 1800.0 / 86400},
      {mftTime, 10, "838:59:59", true, 838.0 / 24 + (59 * 60 + 59) / 86400.0},
      {mftTime, 10, "00:00:01", true, 1.0 / 86400},
      {mftTime, 17, "-838:59:59.999999", true, -(838 * 3600 + 59 * 60 + 59.999999) / 86400},
      {mftTime, 11, "-00:00:01.5", true, -1.5 / 86400},
  };
  for (const Case& c : cases) {
    double out = -1;
    EXPECT_EQ(DateTimeFromText(c.type, c.length, c.text, "f", out), c.converted) << c.text;
    if (c.converted) {
      EXPECT_NEAR(out, c.value, 1e-9) << c.text;
    }
  }
  double out = 0;
  EXPECT_EQ(ErrorOf([&] { DateTimeFromText(mftTime, 10, "123456:00", "start", out); }),
            "Wrong time format. Field start, value 123456:00");
  EXPECT_EQ(ErrorOf([&] { DateTimeFromText(mftTime, 10, std::string(100000, '7'), std::string(300, 'f'), out); }),
            "Wrong time format. Field " + std::string(64, 'f') + "..., value " + std::string(64, '7') + "...");
  EXPECT_NE(ErrorOf([&] { DateTimeFromText(mftTimestamp, 9, "123", "f", out); })
                .find("Invalid FIELD_TYPE_TIMESTAMP Field.Length (9)"),
            std::string::npos);
}

TEST(MyValueConversion, PackedDatesAndTimes) {
  struct Case {
    uint8_t type;
    std::vector<uint8_t> bytes;
    bool converted;
    double value;
  };
  const std::vector<Case> cases = {
      {mftDate, {0xD4, 0x07, 2, 29}, true, Date(2004, 2, 29)},
      {mftDate, {}, false, 0},
      {mftDateTime, {0xD4, 0x07, 2, 29, 12, 34, 56}, true, Date(2004, 2, 29, 12, 34, 56)},
      {mftTimestamp, {0xD4, 0x07, 2, 29, 12, 34, 56, 0x20, 0xA1, 0x07, 0x00}, true, Date(2004, 2, 29, 12, 34, 56, 500)},
      {mftDateTime, {0xD4, 0x07, 2, 30, 0, 0, 0}, false, 0},
      {mftTime, {}, true, 7.0},
      {mftTime, {0, 1, 0, 0, 0, 12, 0, 0}, true, 1.5},
      {mftTime, {1, 0, 0, 0, 0, 12, 30, 0}, true, -(12.0 / 24) - 1800.0 / 86400},
      {mftTime, {0, 0, 0, 0, 0, 0, 0, 1, 0xE8, 0x03, 0, 0}, true, 1.001 / 86400},
      // Microseconds and whole days: -838:59:59.999999.
      {mftTime, {1, 34, 0, 0, 0, 22, 59, 59, 0x3F, 0x42, 0x0F, 0}, true, -(838 * 3600 + 59 * 60 + 59.999999) / 86400},
      {mftTime, {0, 0, 0, 0, 0, 24, 0, 0}, false, 0},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    double out = -1;
    EXPECT_EQ(DateTimeFromBinary(c.type, c.bytes.data(), c.bytes.size(), 7.0, out), c.converted) << i;
    if (c.converted) {
      EXPECT_NEAR(out, c.value, 1e-9) << i;
    }
  }
  const uint8_t five[] = {1, 2, 3, 4, 5};
  double out = 0;
  EXPECT_NE(ErrorOf([&] { DateTimeFromBinary(mftDate, five, 5, 0, out); }).find("FIELD_TYPE_DATETIME Len = 5"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { DateTimeFromBinary(mftTime, five, 5, 0, out); })
                .find("Error DateTimeFromStrPrep function Len = 5"),
            std::string::npos);
}

// What a row of a hostile server may bring in a FLOAT or DOUBLE column read
// as text: no column holds a NaN or an infinity, and none becomes digits.
TEST(MyValueConversion, FloatsWithoutDigitsHaveWordsAsText) {
  struct Case {
    uint8_t type;
    std::vector<uint8_t> bytes;
    const char* text;
  };
  const std::vector<Case> cases = {
      {mftDouble, {0, 0, 0, 0, 0, 0, 0xF8, 0x7F}, "nan"},
      {mftDouble, {1, 0, 0, 0, 0, 0, 0xF0, 0xFF}, "nan"},
      {mftDouble, {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}, "inf"},
      {mftFloat, {0, 0, 0x80, 0xFF}, "-inf"},
      {mftFloat, {0, 0, 0xC0, 0x7F}, "nan"},
      {mftFloat, {0, 0, 0xC0, 0x3F}, "1.5"},
  };
  for (int32_t decimals : {2, 31}) {
    for (const Case& c : cases) {
      TColumnTextForm form;
      form.mysql_type = c.type;
      form.decimals = decimals;
      EXPECT_EQ(TextOfBinary(form, c.bytes.data(), c.bytes.size()).value_or("none"),
                decimals == 2 && std::string(c.text) == "1.5" ? "1.50" : c.text)
          << c.text << " " << decimals;
    }
  }
}

}  // namespace
}  // namespace dac
