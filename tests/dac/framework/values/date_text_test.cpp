#include <gtest/gtest.h>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/text_conversions.h"
#include "platform/clock.h"
#include "tests/dac/framework/settings_guard.h"

namespace dac {
namespace {

DateTime Make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  DateTime v = 0;
  EXPECT_TRUE(plat::TryEncodeDateTime(y, mo, d, h, mi, s, ms, v));
  return v;
}

TEST(DateText, DateBlankTimeAndMidnightLeftOut) {
  EXPECT_EQ(DateTimeToStr(Make(2024, 2, 29, 13, 5, 9)), "2/29/2024 13:05:09");
  EXPECT_EQ(DateTimeToStr(Make(2024, 2, 29)), "2/29/2024");
  EXPECT_EQ(DateTimeToStr(Make(1899, 12, 29, 6)), "12/29/1899 6:00:00");  // before day 0
  EXPECT_EQ(DateToStr(Make(2000, 1, 2, 3)), "1/2/2000");
  EXPECT_EQ(TimeToStr(Make(2000, 1, 2, 3, 4, 5)), "3:04:05");
  EXPECT_THROW(DateTimeToStr(1e12), EConvertError);
}

TEST(DateText, FormatNotation) {
  const DateTime v = Make(2009, 3, 7, 15, 4, 5, 60);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v), "2009-03-07 15:04:05.060");
  EXPECT_EQ(FormatDateTime("d/m/yy", v), "7/3/09");
  EXPECT_EQ(FormatDateTime("h:mm", v), "15:04");  // m after h is the minute
  EXPECT_EQ(FormatDateTime("ddd dddd mmm mmmm", v), "Sat Saturday Mar March");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", v), "3:04 pm");
  EXPECT_EQ(FormatDateTime("hh AMPM", Make(2009, 3, 7, 0, 30)), "12 AM");
  EXPECT_EQ(FormatDateTime("\"y=\"yyyy 'd'", v), "y=2009 d");
  EXPECT_EQ(FormatDateTime("c", v), "3/7/2009 15:04:05");
}

TEST(DateText, ParsingFollowsTheShortDateOrder) {
  EXPECT_EQ(StrToDateTime("2/29/2024 13:05:09"), Make(2024, 2, 29, 13, 5, 9));
  EXPECT_EQ(StrToDateTime(" 2/29/2024 "), Make(2024, 2, 29));
  EXPECT_EQ(StrToDateTime("12/29/1899 06:00"), -1.25);
  EXPECT_EQ(StrToDateTime("1:02:03.5 PM"), Make(1899, 12, 30, 13, 2, 3, 500));
  EXPECT_EQ(StrToDate("1/2/2000"), Make(2000, 1, 2));
  EXPECT_EQ(StrToTime("23:59:59.999"), Make(1899, 12, 30, 23, 59, 59, 999));
  DateTime v = 0;
  for (const char* bad : {"", "2/30/2024", "13/1/2000", "1/1/2000 25:00", "1/1/2000 x", "1/1", "12", "13:00 PM"})
    EXPECT_FALSE(TryStrToDateTime(bad, v)) << bad;
  EXPECT_FALSE(TryStrToDate("1/1/2000 10:00", v));
  EXPECT_FALSE(TryStrToTime("1/1/2000", v));
  try {
    StrToDateTime("nope");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'nope' is not a valid date and time");
  }
}

TEST(DateText, TwoDigitYearsUseTheCenturyWindow) {
  plat::ManualClock clock;
  clock.SetNow(plat::LocalTime{2026, 6, 1, 0, 0, 0, 0, 1});
  plat::ScopedProcessClock scoped(clock);
  EXPECT_EQ(StrToDate("1/1/30"), Make(2030, 1, 1));
  EXPECT_EQ(StrToDate("1/1/99"), Make(1999, 1, 1));
  EXPECT_EQ(StrToDate("1/1/0099"), Make(99, 1, 1));  // four digits are taken as written
}

TEST(DateText, OtherShortDateFormats) {
  SettingsGuard guard;
  plat::FormatSettings& fs = plat::ProcessFormatSettings();
  fs.short_date_format = "yyyy-mm-dd";
  fs.long_time_format = "hh:nn:ss";
  const DateTime v = Make(2024, 12, 31, 8, 9, 10);
  EXPECT_EQ(DateTimeToStr(v), "2024-12-31 08:09:10");
  EXPECT_EQ(StrToDateTime("2024-12-31 08:09:10"), v);
  fs.short_date_format = "dd.mm.yyyy";
  fs.date_separator = '.';
  EXPECT_EQ(DateToStr(v), "31.12.2024");
  EXPECT_EQ(StrToDate("31.12.2024"), Make(2024, 12, 31));
}

TEST(BoolText, NumbersAndWords) {
  bool b = false;
  EXPECT_TRUE(TryStrToBool("TRUE", b) && b);
  EXPECT_TRUE(TryStrToBool("false", b) && !b);
  EXPECT_TRUE(TryStrToBool("0", b) && !b);
  EXPECT_TRUE(TryStrToBool("2.5", b) && b);
  b = true;
  EXPECT_FALSE(TryStrToBool("", b));
  EXPECT_FALSE(TryStrToBool("yes", b));
  EXPECT_TRUE(b);  // untouched
  try {
    StrToBool("maybe");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'maybe' is not a valid boolean value");
  }
  EXPECT_EQ(BoolToStr(true), "True");
  EXPECT_EQ(BoolToStr(false), "False");
}

TEST(BoolText, SettingsWordsAndEmptyLists) {
  SettingsGuard guard;
  plat::FormatSettings& fs = plat::ProcessFormatSettings();
  fs.true_bool_strs = {"Yes", "Oui"};
  fs.false_bool_strs = {};
  bool b = false;
  EXPECT_TRUE(TryStrToBool("oui", b) && b);
  EXPECT_TRUE(TryStrToBool("FALSE", b) && !b);  // an empty list stands for "False"
  EXPECT_FALSE(TryStrToBool("true", b));
  EXPECT_EQ(BoolToStr(true), "Yes");
  EXPECT_EQ(BoolToStr(false), "False");
}

}  // namespace
}  // namespace dac
