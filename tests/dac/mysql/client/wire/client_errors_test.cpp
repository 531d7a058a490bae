#include "dac/mysql/client/wire/client_errors.h"

#include <gtest/gtest.h>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_records.h"

namespace dac {
namespace {

TEST(ClientErrorsTest, TableTextsAreExact) {
  EXPECT_EQ(GetError(2000), "Unknown MySQL error");
  EXPECT_EQ(GetError(2014), "Commands out of sync;  You can't run this command now");
  EXPECT_EQ(GetError(2016), "Can't wait for named pipe to host: %s  pipe: %s (%s)");
  EXPECT_EQ(GetError(2035), "Using unsupported buffer type: %s  (parameter: %s)");
  EXPECT_EQ(GetError(2037), "Can't open shared memory. Request event don't create  (%s)");
  EXPECT_EQ(GetError(2044), "Can't open shared memory. Server abandoded and don't sent the answer event (%s)");
  EXPECT_EQ(GetError(2047), "Invalid connection handle");
  EXPECT_EQ(GetError(1999), "");
  EXPECT_EQ(GetError(2048), "");
  for (int code = 2000; code <= 2047; ++code) EXPECT_FALSE(GetError(code).empty()) << code;
}

TEST(ClientErrorsTest, TheThreeExceptionForms) {
  const EMySqlException plain(2003);
  EXPECT_EQ(plain.Message(), "Can't connect to MySQL server on '%s' (%d)");
  EXPECT_EQ(plain.ErrorCode(), 2003);

  const EMySqlException formatted(2003, ErrorArgs{"db.example", 111}, "");
  EXPECT_EQ(formatted.Message(), "Can't connect to MySQL server on 'db.example' (111)");
  const EMySqlException with_extra(2002, ErrorArgs{std::string(100, 's'), 2}, "more");
  EXPECT_EQ(with_extra.Message(), "Can't connect to local MySQL server through socket '" + std::string(64, 's') +
                                      "' (2)\r\nmore");

  const EMySqlException extra_only(2013, "Socket error on read");
  EXPECT_EQ(extra_only.Message(), "Lost connection to MySQL server during query\r\nSocket error on read");
  const EMySqlException unformatted(2005, "x");
  EXPECT_EQ(unformatted.Message(), "Unknown MySQL Server Host '%-.64s' (%d)\r\nx");
  const EMySqlException server(1146, "#42S02Table 'a.b' doesn't exist");
  EXPECT_EQ(server.Message(), "\r\n#42S02Table 'a.b' doesn't exist");
  EXPECT_EQ(server.ErrorCode(), 1146);
}

TEST(ClientErrorsTest, FormattingNeverFails) {
  EXPECT_EQ(FormatErrorText("%d%% of %s", {50, "x"}), "50% of x");
  EXPECT_EQ(FormatErrorText("a %s b %d", {"only"}), "a only b %d");
  EXPECT_EQ(FormatErrorText("%X/%x/%5d|%-4s|", {255, 255, 42, "ab"}), "FF/ff/   42|ab  |");
  EXPECT_EQ(FormatErrorText("trailing %", {}), "trailing %");
  EXPECT_EQ(FormatErrorText("%q", {1}), "%q");
}

TEST(ClientRecordsTest, DecodeVersion) {
  int major = 0, minor = 0, release = 0;
  DecodeVersion("5.0.22-nt", major, minor, release);
  EXPECT_EQ((std::vector<int>{major, minor, release}), (std::vector<int>{5, 0, 22}));
  DecodeVersion("5.5.5-10.11.19-MariaDB-0+deb12u1", major, minor, release);
  EXPECT_EQ((std::vector<int>{major, minor, release}), (std::vector<int>{5, 5, 5}));
  DecodeVersion("4.1.3 Direct", major, minor, release);
  EXPECT_EQ(release, 3);
  EXPECT_THROW(DecodeVersion("4.1", major, minor, release), EConvertError);
  EXPECT_THROW(DecodeVersion("x.1.2", major, minor, release), EConvertError);
  EXPECT_THROW(DecodeVersion("", major, minor, release), EConvertError);
}

TEST(ClientRecordsTest, NumericFieldsAndFlags) {
  EXPECT_TRUE(IsNumField(mftTimestamp, 14));
  EXPECT_TRUE(IsNumField(mftTimestamp, 8));
  EXPECT_FALSE(IsNumField(mftTimestamp, 19));
  EXPECT_TRUE(IsNumField(mftInt24, 8));
  EXPECT_TRUE(IsNumField(mftYear, 4));
  EXPECT_FALSE(IsNumField(mftDate, 10));
  EXPECT_FALSE(IsNumField(mftNewDecimal, 10));

  const TMySqlFieldInfo f = MySqlFieldInfo("n", "on", "t", "ot", "db", "", 11, 2, 0, 0x2AB, 8, mftLong);
  EXPECT_EQ(f.flags, 0x2ABu | kNumFlag);
  EXPECT_TRUE(f.IsNotNull());
  EXPECT_TRUE(f.IsPrimaryKey());
  EXPECT_FALSE(f.IsUniqueKey());
  EXPECT_TRUE(f.IsMultipleKey());
  EXPECT_TRUE(f.IsUnsigned());
  EXPECT_FALSE(f.IsZeroFill());
  EXPECT_TRUE(f.IsBinary());
  EXPECT_TRUE(f.IsAutoIncrement());
  EXPECT_EQ(f.org_table, "ot");
  EXPECT_EQ(f.decimals, 2);
}

TEST(ClientErrorsTest, SqlStateOfServerAndClientErrors) {
  struct Case {
    int32_t code;
    std::string message;
    const char* state;
  };
  const Case cases[] = {
      {0, "", "00000"},
      {1146, "\r\n#42S02Table 't.x' doesn't exist", "42S02"},
      {3024, "#HY000Query execution was interrupted", "HY000"},
      {1045, "\r\nAccess denied (a pre-4.1 server sends no state)", "HY000"},
      {1064, "\r\n#4200", "HY000"},
      {kCrServerLost, "Lost connection to MySQL server during query\r\n#08S01 not a state", "HY000"},
  };
  for (const Case& c : cases) EXPECT_EQ(SqlStateOf(c.code, c.message), c.state) << c.code << " " << c.message;
}

TEST(ClientRecordsTest, DateTimeToMysqlTime) {
  plat::DateTime value;
  ASSERT_TRUE(plat::TryEncodeDateTime(2004, 2, 29, 13, 45, 10, 250, value));
  const MYSQL_TIME t = DateTimeToMYSQL_TIME(value);
  EXPECT_EQ(t.year, 2004u);
  EXPECT_EQ(t.month, 2u);
  EXPECT_EQ(t.day, 29u);
  EXPECT_EQ(t.hour, 13u);
  EXPECT_EQ(t.minute, 45u);
  EXPECT_EQ(t.second, 10u);
  EXPECT_EQ(t.second_part, 250000u);
  EXPECT_FALSE(t.neg);
  EXPECT_EQ(t.time_type, 1);
}

}  // namespace
}  // namespace dac
