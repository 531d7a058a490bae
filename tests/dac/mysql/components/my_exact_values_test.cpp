// Every column type through the components, against the mariadb client on
// the same table: read with the default options, the exact options,
// UseUnicode and FieldsAsString, over the library's protocol and the client
// library, as text and as prepared rows; then written back through
// parameters, generated statements and cached updates, and compared again.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/fields.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/currency.h"
#include "dac/framework/values/decimal_text.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/components/my_command_component.h"
#include "dac/mysql/components/my_connection_options.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/mysql/provider/my_value_conversion.h"
#include "dac/store/blob/blob.h"
#include "platform/code_page.h"
#include "platform/date_time.h"
#include "tests/dac/mysql/my_dataset_test_support.h"
#include "tests/support/test_folder.h"

namespace dac {
namespace {

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

// Every type, at its limits and in its odd corners: zero, partial and
// impossible dates and the first day of year 1, microseconds, a DECIMAL
// beyond a double and a BCD, a TINYINT(1) other than 0 and 1, text with a
// NUL byte and beyond the BMP, bytes with NUL bytes, zero-filled floats.
const char kColumns[] =
    "id INT PRIMARY KEY, ti TINYINT, tu TINYINT UNSIGNED, si SMALLINT, su SMALLINT UNSIGNED, mi MEDIUMINT, "
    "mu MEDIUMINT UNSIGNED, i INT, iu INT UNSIGNED, bi BIGINT, bu BIGINT UNSIGNED, zf INT(6) ZEROFILL, t1 TINYINT(1), "
    "d65 DECIMAL(65,30), d52 DECIMAL(5,2), du DECIMAL(10,3) UNSIGNED, f FLOAT, f72 FLOAT(7,2), db DOUBLE, "
    "dt DATE, dtt DATETIME, dt6 DATETIME(6), ts TIMESTAMP(3) NULL, tm TIME, tm6 TIME(6), yr YEAR, "
    "b1 BIT(1), b8 BIT(8), b63 BIT(63), b64 BIT(64), e ENUM('a','b','c d'), st SET('x','y','z'), "
    "c CHAR(5), vc VARCHAR(20), tx TEXT, c4 CHAR(4), bn BINARY(4), vb VARBINARY(10), bl BLOB, js JSON, "
    "g GEOMETRY, note VARCHAR(10), dz DOUBLE(22,5) ZEROFILL, fz FLOAT(12,5) ZEROFILL";

const char* const kRows[] = {
    "1, -128, 255, -32768, 65535, -8388608, 16777215, -2147483648, 4294967295, -9223372036854775808, "
    "18446744073709551615, 42, 1, '12345678901234567890123456789012345.123456789012345678901234567891', 999.99, "
    "9999999.999, 3.4028234e38, 12345.67, -1.7976931348623157e308, '0000-00-00', '0000-00-00 00:00:00', "
    "'2024-02-29 13:45:10.123456', '2038-01-19 03:14:07.999', '-838:59:59', '838:59:59.999999', 2024, b'1', "
    "b'10101010', b'111111111111111111111111111111111111111111111111111111111111111', "
    "b'1111111111111111111111111111111111111111111111111111111111111111', 'c d', 'x,z', 'ab', 'a\\0b', "
    "'caf\xC3\xA9 \xF0\x9F\x98\x80 text', '\xC3\xA9\xF0\x9F\x98\x80', x'00112233', x'610062', x'00FF0A00', "
    "'{\"a\": [1, 2.5, \"x\"]}', ST_GeomFromText('POINT(1 2)'), 'one', 3.14152, 3.14152",
    "2, 127, 0, 32767, 0, 8388607, 0, 2147483647, 0, 9223372036854775807, 9223372036854775808, 0, 5, "
    "'-0.000000000000000000000000000001', -999.99, 0, -1.17549435e-38, -0.5, 2.2250738585072014e-308, "
    "'2024-00-15', '2024-02-30 12:00:00', '1000-01-01 00:00:00.000001', NULL, '-00:00:01.5', "
    "'-100:00:00.001', 1901, b'0', b'0', b'0', b'0', 'a', '', '', '', '', '', x'00000000', x'', x'', 'null', "
    "NULL, 'two', 0, 0",
    "3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
    "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
    "NULL, NULL, NULL, NULL, NULL, 'three', NULL, NULL",
    "4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
    "'0001-01-01', '0001-01-01 00:00:00', '0001-01-01 12:30:45.5', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
    "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 'four', 12345678.5, 0.00001",
};

// How the components are set up for a run.
struct Mode {
  const char* name;
  bool client_library = false;
  bool prepared = false;
  bool exact = false;  // FMTBCD, NullForZeroDate and EnableBoolean off
  bool unicode = false;
  bool fields_as_string = false;
};

std::string BitBytes(uint64_t bits, int width) {
  std::string bytes(static_cast<size_t>((width + 7) / 8), '\0');
  for (size_t i = bytes.size(); i-- > 0; bits >>= 8) bytes[i] = static_cast<char>(bits & 0xFF);
  return bytes;
}

// The field's value as text in the server's form for its column.
std::string ServerForm(TCustomMyDataSet& dataset, TField& field) {
  auto& desc = dynamic_cast<TMySQLFieldDesc&>(*dataset.GetFieldDesc(&field));
  const int decimals = desc.GetDecimals();
  switch (field.DataType()) {
    case ftWideString:
      return plat::Utf16ToUtf8(field.GetAsWideString());
    case ftBytes:
    case ftVarBytes: {
      const TBytes bytes = field.GetAsBytes();
      return std::string(bytes.begin(), bytes.end());
    }
    case ftBlob:
    case ftMemo: {
      TBlob* blob = dataset.GetBlob(&field);
      return blob->IsUnicode() ? plat::Utf16ToUtf8(blob->GetAsWideString()) : blob->GetAsString();
    }
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
      if (desc.GetMySQLType() == mftBit) return BitBytes(static_cast<uint64_t>(field.GetAsLargeInt()), desc.GetDisplayLength());
      return std::to_string(field.GetAsLargeInt());
    case ftBoolean:
      return field.GetAsBoolean() ? "1" : "0";
    case ftFMTBcd: {
      const std::string digits = DecimalToFixed(BcdToDecimal(field.GetAsBCD()), '.');
      if (desc.GetMySQLType() == mftBit) return BitBytes(std::stoull(digits), desc.GetDisplayLength());
      return digits;
    }
    case ftBCD:
      return field.GetAsString();
    case ftFloat:
      if (desc.GetMySQLType() == mftFloat || desc.GetMySQLType() == mftDouble) {
        TColumnTextForm form;
        form.mysql_type = desc.GetMySQLType();
        form.zero_fill = desc.GetIsZeroFill();
        form.length = desc.GetDisplayLength();
        form.decimals = decimals;
        return ServerFloatText(field.GetAsFloat(), form);
      }
      return ShortestDoubleText(field.GetAsFloat());
    case ftDate:
    case ftDateTime: {
      const double value = field.GetAsDateTime();
      const bool zero = value == ZeroDate;
      const plat::CalendarDate d = zero ? plat::CalendarDate{} : plat::DecodeDate(value);
      const plat::TimeOfDay t = zero ? plat::TimeOfDay{} : plat::DecodeTime(value);
      if (field.DataType() == ftDate) return ServerDateText(d.year, d.month, d.day);
      return ServerDateTimeText(d.year, d.month, d.day, t.hour, t.minute, t.second,
                                static_cast<uint32_t>(t.millisecond) * 1000, decimals);
    }
    case ftTime: {
      const double value = field.GetAsDateTime();
      const auto micros = static_cast<uint64_t>(std::nearbyint(std::fabs(value) * 86400e6));
      return ServerTimeText(value < 0, micros / 1000000, micros % 1000000, decimals);
    }
    default:
      return field.GetAsString();
  }
}

// The field holds the client's cell, or gives it as the server's text of
// a value it cannot hold.
::testing::AssertionResult Holds(TCustomMyDataSet& dataset, TField& field, const Cell& cell) {
  std::string exact;
  const auto failure = [&](const std::string& mine) {
    return ::testing::AssertionFailure() << field.FieldName() << ": " << mine << " for " << (cell ? *cell : "NULL");
  };
  if (dataset.GetFieldExactText(&field, exact)) {
    if (!cell || exact != *cell) return failure("exact text " + exact);
    if (field.GetAsString() != exact && field.DataType() != ftWideString) return failure("AsString " + field.GetAsString());
    return ::testing::AssertionSuccess();
  }
  if (!cell) return field.IsNull() ? ::testing::AssertionSuccess() : failure(field.GetAsString());
  if (field.IsNull()) return failure("NULL");
  const std::string mine = ServerForm(dataset, field);
  auto& desc = dynamic_cast<TMySQLFieldDesc&>(*dataset.GetFieldDesc(&field));
  const uint8_t type = desc.GetMySQLType();
  // Numbers may differ in their zeros only: zero fill, a scale's trailing zeros.
  const bool number = field.DataType() != ftString && field.DataType() != ftWideString &&
                      (type == mftDecimal || type == mftNewDecimal || type == mftLong || type == mftTiny ||
                       type == mftShort || type == mftInt24 || type == mftLongLong || type == mftYear);
  if (number ? SameDecimalValue(mine, *cell) : mine == *cell) return ::testing::AssertionSuccess();
  return failure(mine);
}

// Rows of the client compared cell by cell, each difference named.
::testing::AssertionResult SameRows(const Rows& actual, const Rows& expected) {
  if (actual.size() != expected.size())
    return ::testing::AssertionFailure() << actual.size() << " rows for " << expected.size();
  auto result = ::testing::AssertionSuccess();
  bool same = true;
  for (size_t r = 0; r < actual.size(); ++r) {
    for (size_t c = 0; c < std::max(actual[r].size(), expected[r].size()); ++c) {
      const Cell a = c < actual[r].size() ? actual[r][c] : Cell("<none>");
      const Cell e = c < expected[r].size() ? expected[r][c] : Cell("<none>");
      if (a == e) continue;
      if (same) result = ::testing::AssertionFailure();
      same = false;
      result << "row " << r + 1 << " column " << c + 1 << ": " << (a ? *a : "NULL") << " for " << (e ? *e : "NULL")
             << "\n";
    }
  }
  return result;
}

class MyExactValuesTest : public testing::MyDataSetTest {
 protected:
  void SetUp() override {
    MyDataSetTest::SetUp();
    if (IsSkipped()) return;
    Exec("SET SESSION sql_mode = 'ALLOW_INVALID_DATES'");
    // The rows' text is UTF-8.
    Exec("SET NAMES utf8mb4");
    Exec(std::string("CREATE TABLE ev (") + kColumns + ") CHARACTER SET utf8mb4");
    for (const char* row : kRows) Exec(std::string("INSERT INTO ev VALUES (") + row + ")");
  }

  // The mariadb client's rows of a statement, unescaped; NULL as none.
  Rows Mariadb(const std::string& sql, const std::string& charset = "utf8mb4") {
    const std::string file = folder_.path() + "/statement.sql";
    std::ofstream(file, std::ios::binary) << sql;
    const std::string command = "mariadb --no-defaults -N -B --default-character-set=" + charset + " -h " +
                                settings.host + " -P " + std::to_string(settings.port) + " -u " + settings.user +
                                " '-p" + settings.password + "' " + settings.database + " < '" + file + "'";
    FILE* out = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, n);
    EXPECT_EQ(::pclose(out), 0) << command;
    Rows rows;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      std::vector<Cell> row;
      std::string cell;
      const std::string line = text.substr(start, end - start);
      for (size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == '\t') {
          row.push_back(cell == "NULL" ? Cell() : Cell(cell));
          cell.clear();
        } else if (line[i] == '\\' && i + 1 < line.size()) {
          const char c = line[++i];
          cell += c == '0' ? '\0' : c == 't' ? '\t' : c == 'n' ? '\n' : c;
        } else {
          cell += line[i];
        }
      }
      rows.push_back(row);
    }
    return rows;
  }

  // The connection and a query set up as the mode says.
  void Apply(const Mode& mode) {
    connection->Disconnect();
    connection->GetOptions().SetDirect(!mode.client_library);
    connection->GetOptions().SetUseUnicode(mode.unicode);
    connection->GetOptions().SetCharset(mode.unicode ? "utf8mb4" : "");
    connection->GetOptions().SetNumericType(mode.exact ? ntFmtBCD : ntFloat);
    connection->Connect();
    Exec("SET SESSION sql_mode = 'ALLOW_INVALID_DATES'");
    query->Close();
    query->UnPrepare();
    query->MyOptions().SetNullForZeroDate(!mode.exact);
    query->MyOptions().SetEnableBoolean(!mode.exact);
    query->MyOptions().SetFieldsAsString(mode.fields_as_string);
  }

  void OpenTable(const Mode& mode, const std::string& table = "ev") {
    query->SQL().SetText("SELECT * FROM " + table + " ORDER BY id");
    if (mode.prepared) query->Prepare();
    query->Open();
  }

  // The session's character set, for the client to read in the same one.
  std::string SessionCharset() { return Value("SELECT @@character_set_results"); }

  void ExpectHolds(const Rows& expected) {
    ASSERT_EQ(query->RecordCount(), static_cast<int>(expected.size()));
    int row = 0;
    for (query->First(); !query->GetEOF(); query->Next(), ++row) {
      ASSERT_EQ(static_cast<size_t>(query->Fields().Count()), expected[static_cast<size_t>(row)].size());
      for (int i = 0; i < query->Fields().Count(); ++i)
        EXPECT_TRUE(Holds(*query, *query->Fields().Fields(i), expected[static_cast<size_t>(row)][static_cast<size_t>(i)]))
            << "row " << row + 1;
    }
  }

  // Every column in the client's form, FLOAT columns also to their last bit.
  Rows Table(const std::string& table) { return Mariadb("SELECT *, f + 0e0, f72 + 0e0 FROM " + table + " ORDER BY id"); }

  plat::testing::TestFolder folder_;
};

const Mode kModes[] = {
    {"default"},
    {"default prepared", false, true},
    {"default client library", true},
    {"default client library prepared", true, true},
    {"exact", false, false, true, true},
    {"exact prepared", false, true, true, true},
    {"exact client library", true, false, true, true},
    {"exact client library prepared", true, true, true, true},
    {"unicode", false, false, false, true},
    {"unicode client library prepared", true, true, false, true},
    {"fields as string", false, false, false, false, true},
    {"fields as string prepared", false, true, false, false, true},
    {"fields as string unicode client library", true, false, false, true, true},
    {"fields as string unicode client library prepared", true, true, false, true, true},
};

TEST_F(MyExactValuesTest, EveryTypeReadsAsTheClientShowsIt) {
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    Apply(mode);
    const Rows expected = Mariadb("SELECT * FROM ev ORDER BY id", SessionCharset());
    ASSERT_EQ(expected.size(), 4u);
    OpenTable(mode);
    ExpectHolds(expected);
    if (mode.fields_as_string) {
      // Numbers and dates are the server's text itself, with nothing kept aside.
      query->First();
      for (const char* name : {"d65", "f", "db", "dt6", "tm6", "bu", "zf", "dt"}) {
        std::string exact;
        EXPECT_FALSE(query->GetFieldExactText(query->FieldByName(name), exact)) << name;
      }
      EXPECT_EQ(query->FieldByName("f")->GetAsString(), "3.40282e38");
      EXPECT_EQ(query->FieldByName("db")->GetAsString(), "-1.7976931348623157e308");
    }
    query->Close();
  }
}

TEST_F(MyExactValuesTest, WhatTheTypesCannotHoldIsKeptAsTheServersText) {
  // The default options: each of these values is beyond its field's type.
  Apply(kModes[0]);
  OpenTable(kModes[0]);
  const std::pair<std::string, std::string> first[] = {
      {"d65", "12345678901234567890123456789012345.123456789012345678901234567891"},
      {"dt", "0000-00-00"},
      {"dtt", "0000-00-00 00:00:00"},
      {"dt6", "2024-02-29 13:45:10.123456"},
      {"vc", std::string("a\0b", 3)},
  };
  for (const auto& [name, text] : first) {
    std::string exact;
    ASSERT_TRUE(query->GetFieldExactText(query->FieldByName(name), exact)) << name;
    EXPECT_EQ(query->FieldByName(name)->GetAsString(), text);
  }
  EXPECT_TRUE(query->FieldByName("dt")->IsNull());  // NullForZeroDate
  query->Next();
  EXPECT_EQ(query->FieldByName("t1")->GetAsString(), "5");
  EXPECT_TRUE(query->FieldByName("t1")->GetAsBoolean());
  EXPECT_EQ(query->FieldByName("dt")->GetAsString(), "2024-00-15");
  EXPECT_EQ(query->FieldByName("dtt")->GetAsString(), "2024-02-30 12:00:00");
  // An edit ends the exact text: the field gives its own value again.
  query->Edit();
  double day = 0;
  ASSERT_TRUE(plat::TryEncodeDate(2001, 2, 3, day));
  query->FieldByName("dt6")->SetAsDateTime(day);
  EXPECT_EQ(query->FieldByName("dt6")->GetAsString(), "2/3/2001");
  EXPECT_EQ(query->FieldByName("dt")->GetAsString(), "2024-00-15");
  query->Cancel();
  EXPECT_EQ(query->FieldByName("dt6")->GetAsString(), "1000-01-01 00:00:00.000001");

  // The exact options hold what the default options cannot, all but 65 digits.
  Apply(kModes[4]);
  OpenTable(kModes[4]);
  std::string exact;
  EXPECT_TRUE(query->GetFieldExactText(query->FieldByName("d65"), exact));
  for (const char* name : {"t1", "bu", "b64", "tm6", "c4"})
    EXPECT_FALSE(query->GetFieldExactText(query->FieldByName(name), exact)) << name;
  // The zero date is the zero date; its text is the server's still.
  EXPECT_EQ(query->FieldByName("dt")->GetAsDateTime(), ZeroDate);
  EXPECT_EQ(query->FieldByName("dt")->GetAsString(), "0000-00-00");
  EXPECT_EQ(query->FieldByName("bu")->GetAsString(), "18446744073709551615");
  EXPECT_EQ(query->FieldByName("c4")->GetAsWideString(), u"\u00E9\U0001F600");
  EXPECT_EQ(query->FieldByName("tm")->GetAsString(), "-838:59:59");
  EXPECT_NEAR(query->FieldByName("tm6")->GetAsFloat(), 838.0 / 24 + 3599.999999 / 86400, 1e-12);
}

TEST_F(MyExactValuesTest, ParametersWriteTheValuesBack) {
  for (const Mode& mode : {kModes[0], kModes[5], kModes[7]}) {
    SCOPED_TRACE(mode.name);
    Apply(mode);
    Exec("DROP TABLE IF EXISTS ev2");
    Exec("CREATE TABLE ev2 LIKE ev");
    OpenTable(mode);
    auto* insert = MakeComponent<TMyCommand>(nullptr);
    insert->SetConnection(connection);
    std::string sql = "INSERT INTO ev2 VALUES (";
    for (int i = 0; i < query->Fields().Count(); ++i) sql += (i ? ", :p" : ":p") + std::to_string(i);
    insert->SQL().SetText(sql + ")");
    for (query->First(); !query->GetEOF(); query->Next()) {
      for (int i = 0; i < query->Fields().Count(); ++i) insert->Params().Items(i)->Assign(query->Fields().Fields(i));
      insert->Execute();
    }
    insert->Free();
    // FLOAT read as text comes rounded to the six digits the server writes;
    // text beyond the session's character set arrives as '?' (the server's
    // conversion).
    Rows written = Table("ev2"), read = Table("ev");
    for (auto* rows : {&written, &read}) {
      for (auto& row : *rows) {
        if (!mode.prepared) row.resize(row.size() - 2);
        if (!mode.unicode) row[34] = row[35] = "<other character set>";
      }
    }
    EXPECT_TRUE(SameRows(written, read));
    query->Close();
  }
}

TEST_F(MyExactValuesTest, GeneratedStatementsAndCachedUpdatesLeaveUnmodifiedValuesAsTheyWere) {
  struct Way {
    const char* name;
    Mode mode;
    bool cached;
    bool all_fields;
    const char* table;  // "evk": without a key, every column is in the WHERE
  };
  const Way ways[] = {
      {"default", kModes[0], false, false, "ev"},
      {"default, every field", kModes[0], false, true, "ev"},
      {"unicode, cached", kModes[8], true, false, "ev"},
      {"exact client library, every field", kModes[6], false, true, "ev"},
      {"exact, cached, every field", kModes[4], true, true, "ev"},
      // FLOAT is exact in prepared rows only, text beyond latin1 under Unicode only.
      {"unicode client library prepared, no key", kModes[9], false, false, "evk"},
      {"exact client library prepared, no key, every field", kModes[7], false, true, "evk"},
      {"exact prepared, no key, cached", kModes[5], true, false, "evk"},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    Apply(way.mode);
    Exec("DROP TABLE IF EXISTS evk");
    Exec("CREATE TABLE evk AS SELECT * FROM ev");
    const Rows before = Table(way.table);
    const auto run = [&] {
    query->Options().SetUpdateAllFields(way.all_fields);
    query->SetCachedUpdates(way.cached);
    OpenTable(way.mode, way.table);
    for (query->First(); !query->GetEOF(); query->Next()) {
      query->Edit();
      query->FieldByName("note")->SetAsString("edited");
      query->Post();
    }
    if (way.cached) query->ApplyUpdates();
    };
    try {
      run();
    } catch (const Exception& e) {
      ADD_FAILURE() << e.Message();
    }
    query->Close();
    query->SetCachedUpdates(false);
    Rows expected = before;
    const size_t note = 41;  // the note column
    for (auto& row : expected) row[note] = "edited";
    EXPECT_TRUE(SameRows(Table(way.table), expected));
    Exec("UPDATE ev SET note = NULL");
  }
}

}  // namespace
}  // namespace dac

namespace dac {
namespace {

// Values a program writes reach the server exactly, through text
// statements and prepared ones, over both APIs: doubles bit for bit,
// fractions of a second, currency, GUIDs and variants; a name used twice
// is one typed value; NaN is refused.
TEST_F(MyExactValuesTest, ParameterValuesReachTheServerExactly) {
  Exec("CREATE TABLE pv (n INT, d DOUBLE, dt DATETIME(6), tm TIME(6), cur DECIMAL(20,4), g CHAR(38), v VARCHAR(20))");
  const double doubles[] = {0.1 + 0.2, 5e-324, 1.7976931348623157e308, -1.0 / 3, 123456789012345680.0};
  double date_time = 0;
  ASSERT_TRUE(plat::TryEncodeDateTime(2024, 2, 29, 13, 14, 15, 678, date_time));
  for (const bool client_library : {false, true}) {
    for (const bool prepared : {false, true}) {
      SCOPED_TRACE(std::string(client_library ? "client library" : "direct") + (prepared ? " prepared" : ""));
      Mode mode;
      mode.client_library = client_library;
      Apply(mode);
      Exec("DELETE FROM pv");
      auto* insert = MakeComponent<TMyCommand>(nullptr);
      insert->SetConnection(connection);
      insert->SQL().SetText("INSERT INTO pv VALUES (:n, :d, :dt, :tm, :cur, :g, :v)");
      if (prepared) insert->Prepare();
      for (size_t i = 0; i < std::size(doubles); ++i) {
        insert->ParamByName("n")->SetAsInteger(static_cast<int32_t>(i));
        insert->ParamByName("d")->SetAsFloat(doubles[i]);
        insert->ParamByName("dt")->SetAsDateTime(date_time);
        insert->ParamByName("tm")->SetAsTime(i % 2 ? -1.5 / 86400 : (838 * 3600 + 59 * 60 + 59.999) / 86400);
        insert->ParamByName("cur")->SetAsCurrency(Currency::FromRaw(-123456789));
        insert->ParamByName("g")->SetDataType(ftGuid);
        insert->ParamByName("g")->SetAsVariant(Variant("{00000000-0000-0000-0000-000000000001}"));
        insert->ParamByName("v")->SetDataType(ftVariant);
        insert->ParamByName("v")->SetAsVariant(Variant(int64_t{-42}));
        insert->Execute();
      }
      // The zero date and the first day of year 1, each as itself.
      const std::pair<int32_t, double> days[] = {{90, ZeroDate}, {91, -693593.0}};
      for (const auto& [n, day] : days) {
        insert->ParamByName("n")->SetAsInteger(n);
        insert->ParamByName("dt")->SetAsDateTime(day);
        insert->Execute();
      }
      EXPECT_EQ(Mariadb("SELECT dt FROM pv WHERE n >= 90 ORDER BY n"),
                (Rows{{"0000-00-00 00:00:00.000000"}, {"0001-01-01 00:00:00.000000"}}));
      insert->ParamByName("d")->SetAsFloat(std::nan(""));
      EXPECT_THROW(insert->Execute(), Exception);
      insert->Free();
      // Read back as binary rows: the double itself.
      auto* read = MakeQuery();
      read->SQL().SetText("SELECT d FROM pv WHERE n < 90 ORDER BY n");
      read->Prepare();
      read->Open();
      size_t i = 0;
      for (read->First(); !read->GetEOF(); read->Next(), ++i) {
        ASSERT_LT(i, std::size(doubles));
        EXPECT_EQ(std::bit_cast<uint64_t>(read->Fields().Fields(0)->GetAsFloat()), std::bit_cast<uint64_t>(doubles[i]))
            << doubles[i];
      }
      EXPECT_EQ(i, std::size(doubles));
      read->Close();
      EXPECT_EQ(Mariadb("SELECT dt, tm, cur, g, v FROM pv WHERE n < 2 ORDER BY n"),
                (Rows{{"2024-02-29 13:14:15.678000", "838:59:59.999000", "-12345.6789",
                       "{00000000-0000-0000-0000-000000000001}", "-42"},
                      {"2024-02-29 13:14:15.678000", "-00:00:01.500000", "-12345.6789",
                       "{00000000-0000-0000-0000-000000000001}", "-42"}}));

      // One name, one value of one type, wherever it stands. (A prepared
      // "? + ?" is typed by the server only when it runs: text only.)
      auto* twice = MakeQuery();
      twice->SQL().SetText(prepared ? "SELECT n FROM pv WHERE n <= :k ORDER BY n LIMIT :k"
                                    : "SELECT :a + :a, n FROM pv WHERE n <= :k ORDER BY n LIMIT :k");
      if (prepared) twice->Prepare();
      if (!prepared) twice->ParamByName("a")->SetAsInteger(5);
      twice->ParamByName("k")->SetAsInteger(2);
      twice->Open();
      EXPECT_EQ(twice->RecordCount(), 2);
      if (!prepared) {
        EXPECT_EQ(twice->Fields().Fields(0)->GetAsString(), "10");
      }
      twice->Close();
    }
  }
}

}  // namespace
}  // namespace dac

namespace dac {
namespace {

// A refreshed record takes the server's texts of the refreshed values, by
// name, whatever columns the refresh statement gives in whatever order.
TEST_F(MyExactValuesTest, ARefreshBringsTheNewTexts) {
  Apply(kModes[0]);
  OpenTable(kModes[0]);
  EXPECT_EQ(query->FieldByName("dt6")->GetAsString(), "2024-02-29 13:45:10.123456");
  // The same milliseconds, other microseconds.
  Exec("UPDATE ev SET dt6 = '2024-02-29 13:45:10.123999', dt = '2024-00-16' WHERE id = 1");
  query->RefreshRecord();
  EXPECT_EQ(query->FieldByName("dt6")->GetAsString(), "2024-02-29 13:45:10.123999");
  EXPECT_EQ(query->FieldByName("dt")->GetAsString(), "2024-00-16");
  query->Close();
  query->GetUpdateSQLIndex(stRefresh)->SetText("SELECT dt, note, d65, id, dt6 FROM ev WHERE id = :id");
  query->Open();
  Exec("UPDATE ev SET dt6 = '2000-01-01 00:00:00.000001', dt = '0000-00-00' WHERE id = 1");
  query->RefreshRecord();
  EXPECT_EQ(query->FieldByName("dt6")->GetAsString(), "2000-01-01 00:00:00.000001");
  EXPECT_EQ(query->FieldByName("dt")->GetAsString(), "0000-00-00");
  EXPECT_EQ(query->FieldByName("d65")->GetAsString(),
            "12345678901234567890123456789012345.123456789012345678901234567891");
  EXPECT_EQ(query->FieldByName("vc")->GetAsString(), std::string("a\0b", 3));
  query->Close();
  query->GetUpdateSQLIndex(stRefresh)->Clear();
}

}  // namespace
}  // namespace dac
