// Stored routine calls: definitions split and parsed into parameters, call
// texts built, and a call run against the test server with its OUT values
// read back into the parameters.
#include "dac/mysql/provider/my_proc_call.h"

#include <gtest/gtest.h>

#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_record_set.h"
#include "tests/dac/mysql/my_provider_test_support.h"

namespace dac {
namespace {

// Each parameter as "direction name type size".
std::vector<std::string> Described(const TParamDescs& params) {
  std::vector<std::string> out;
  for (int i = 0; i < params.Count(); ++i) {
    const TParamDesc& p = *params.Items(i);
    out.push_back(std::to_string(p.GetParamType()) + " " + p.GetName() + " " + std::to_string(p.GetDataType()) + " " +
                  std::to_string(p.GetSize()));
  }
  return out;
}

TEST(MyProcCall, DefinitionsSplitIntoParameterListAndReturnType) {
  struct Case {
    std::string create;
    std::string params, returns;
  };
  const Case cases[] = {
      {"CREATE DEFINER=`u`@`%` PROCEDURE `p`(IN a INT, INOUT b VARCHAR(10))\nBEGIN SELECT (1); END",
       "IN a INT, INOUT b VARCHAR(10)", ""},
      {"CREATE FUNCTION f(x DECIMAL(10, 2)) RETURNS decimal(10, 2)\nDETERMINISTIC RETURN x", "x DECIMAL(10, 2)",
       "decimal(10, 2)"},
      {"CREATE FUNCTION f() RETURNS INT RETURN 1", "", "INT"},
      {"CREATE FUNCTION f /* ( */ (s TEXT) RETURNS varchar(20) CHARSET utf8mb4 RETURN s", "s TEXT", "varchar(20)"},
      {"CREATE PROCEDURE p() SELECT 'RETURNS x'", "", ""},
  };
  for (const Case& c : cases) {
    const TMyParamBlockResult split = SplitRoutineDefinition(c.create);
    EXPECT_EQ(split.param_list, c.params) << c.create;
    EXPECT_EQ(split.return_type, c.returns) << c.create;
  }
}

TEST(MyProcCall, ParametersTheirTypesAndSizes) {
  TParamDescs params;
  TMyParamTypeNotes notes;
  ParseRoutineParams("INT UNSIGNED", true, false, "f", params, notes);
  ParseRoutineParams(
      "IN a INT, INOUT `b c` VARCHAR(20) CHARSET utf8, OUT d TINYINT(1), e tinyint(4) unsigned, OUT status DATETIME, "
      "f TEXT, g SET('x','y'), h DECIMAL(10,2), i YEAR, j LONGBLOB",
      false, false, "p", params, notes);
  const std::vector<std::string> expected = {
      "4 Result 4 0", "1 a 4 0",   "3 b c 1 20", "2 d 10 0", "1 e 2 0",  "2 status 8 0",
      "1 f 14 0",     "1 g 1 0",   "1 h 5 0",    "1 i 9 0",  "1 j 13 0",
  };
  EXPECT_EQ(Described(params), expected);
  ASSERT_EQ(notes.size(), expected.size());
  EXPECT_TRUE(notes[0].is_unsigned);
  EXPECT_EQ(notes[4].type, "TINYINT");
  EXPECT_TRUE(notes[4].is_unsigned);

  TParamDescs wide;
  ParseRoutineParams("a VARCHAR(5), b TEXT", false, true, "p", wide, notes);
  EXPECT_EQ(Described(wide), (std::vector<std::string>{"1 a 25 5", "1 b 30 0"}));
  // Other names of the types, two-word ones, bytes, decimals by the numeric type, blank lists.
  TParamDescs more;
  TMyParamTypeNotes more_notes;
  ParseRoutineParams(
      "a VARBINARY(8), b JSON, c NATIONAL VARCHAR(5), d CHARACTER VARYING(6), e DOUBLE PRECISION, f INT8, "
      "g LONG VARCHAR, h BIGINT UNSIGNED, i DECIMAL(10,2), j NCHAR(2)",
      false, false, "p", more, more_notes, ntFmtBCD);
  EXPECT_EQ(Described(more), (std::vector<std::string>{"1 a 22 8", "1 b 14 0", "1 c 1 5", "1 d 1 6", "1 e 5 0",
                                                        "1 f 11 0", "1 g 14 0", "1 h 28 0", "1 i 28 0",
                                                        "1 j 1 2"}));
  EXPECT_EQ(more_notes[8].widths, "10,2");
  for (const char* blank : {"", " ", "/* none */", "\n  -- nothing\n"}) {
    TParamDescs none;
    ParseRoutineParams(blank, false, false, "p", none, more_notes);
    EXPECT_EQ(none.Count(), 0) << blank;
  }
  try {
    ParseRoutineParams("a JSONB", false, false, "p", wide, notes);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Unknown column type \"JSONB\" in \"a JSONB\"");
  }
}

// Definitions no server writes: errors that quote a short excerpt, no
// symbol taken for a name, and no widths that are not numbers in a CAST.
TEST(MyProcCall, DefinitionsNoServerWritesRaiseShortErrorsOrLoseTheirOddWidths) {
  const auto error_of = [](const std::string& list) {
    TParamDescs params;
    TMyParamTypeNotes notes;
    try {
      ParseRoutineParams(list, false, false, "p", params, notes);
    } catch (const EAssertionFailed& e) {
      return e.Text();
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::string("no error");
  };
  const std::string long_type(100000, 'T');
  EXPECT_EQ(error_of("a " + long_type + ", b INT"),
            "Unknown column type \"" + std::string(64, 'T') + "...\" in \"a " + std::string(62, 'T') + "...\"");
  EXPECT_EQ(error_of("a INT, , b INT"), ", in a INT, , b INT, Name = p");
  EXPECT_EQ(error_of("IN , INT"), ", in IN , INT, Name = p");
  EXPECT_EQ(error_of("a = INT"), "= in a = INT, Name = p");
  EXPECT_EQ(error_of("a INT, 'b' INT" + std::string(100, ' ')),
            "'b' in a INT, 'b' INT" + std::string(64 - 14, ' ') + "..., Name = p");

  TParamDescs params;
  TMyParamTypeNotes notes;
  ParseRoutineParams("OUT d DECIMAL(5,1), OUT e DECIMAL(@x := 1), OUT t TIME(3) ; DROP, OUT u DATETIME('a')", false,
                     false, "p", params, notes);
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0].widths, "5,1");
  EXPECT_EQ(notes[1].widths, "");
  EXPECT_EQ(notes[2].widths, "3");
  EXPECT_EQ(notes[3].widths, "");
  EXPECT_EQ(BuildProcCallText("p", false, params, notes, false),
            "CALL p(@d, @e, @t, @u); SELECT CAST(@d AS DECIMAL(5,1)) AS `@d`, CAST(@e AS DECIMAL) AS `@e`, "
            "CAST(@t AS TIME(3)) AS `@t`, CAST(@u AS DATETIME) AS `@u`");
}

TEST(MyProcCall, CallTexts) {
  TParamDescs params;
  TMyParamTypeNotes notes;
  ParseRoutineParams("IN a INT, INOUT b VARCHAR(10), OUT c DATE", false, false, "p", params, notes);
  EXPECT_EQ(BuildProcCallText("p", false, params, notes, false),
            "SET @b = :b; CALL p(:a, @b, @c); SELECT @b AS `@b`, CAST(@c AS DATE) AS `@c`");
  // Without the declared types every value is read back as it is.
  EXPECT_EQ(BuildProcCallText("my proc", false, params, {}, false),
            "SET @b = :b; CALL `my proc`(:a, @b, @c); SELECT @b AS `@b`, @c AS `@c`");

  TParamDescs function;
  TMyParamTypeNotes function_notes;
  ParseRoutineParams("INT", true, false, "f", function, function_notes);
  ParseRoutineParams("x INT", false, false, "f", function, function_notes);
  EXPECT_EQ(BuildProcCallText("f", true, function, function_notes, true), "SELECT `f`(:x)");

  TParamDescs casts;
  TMyParamTypeNotes cast_notes;
  ParseRoutineParams("OUT u INT UNSIGNED, OUT s BIGINT, OUT y YEAR, OUT d DECIMAL(5,1), OUT b BLOB, OUT t TIME",
                     false, false, "p", casts, cast_notes);
  EXPECT_EQ(BuildProcCallText("p", false, casts, cast_notes, false),
            "CALL p(@u, @s, @y, @d, @b, @t); SELECT CAST(@u AS UNSIGNED) AS `@u`, CAST(@s AS SIGNED) AS `@s`, "
            "CAST(@y AS UNSIGNED) AS `@y`, CAST(@d AS DECIMAL(5,1)) AS `@d`, CAST(@b AS BINARY) AS `@b`, "
            "CAST(@t AS TIME) AS `@t`");
}

class MyProcCallServerTest : public ::testing::TestWithParam<testing::ApiUnderTest> {};

TEST_P(MyProcCallServerTest, CallsBuiltFromTheServersDefinitionsRunAndReadTheirOutValues) {
  REQUIRE_TEST_SERVER(s);
  auto connection = testing::OpenConnection(GetParam(), s);
  // Routines of this API's run alone: the runs may go at the same time.
  const std::string p = "proc_p_" + GetParam().name;
  const std::string f = "proc_f_" + GetParam().name;
  connection->ExecStatement("DROP PROCEDURE IF EXISTS " + p);
  connection->ExecStatement("DROP FUNCTION IF EXISTS " + f);
  connection->ExecStatement("CREATE TEMPORARY TABLE proc_t (n INT)");
  connection->ExecStatement("INSERT INTO proc_t VALUES (1), (2)");
  connection->ExecStatement(
      "CREATE PROCEDURE " + p + "(IN a INT, INOUT b VARCHAR(10), OUT c DATE) BEGIN SET b = CONCAT(b, a); "
      "SET c = '2004-02-29'; DELETE FROM proc_t; END");
  connection->ExecStatement("CREATE FUNCTION " + f + "(x INT) RETURNS INT DETERMINISTIC RETURN x * 2");

  TParamDescs params;
  EXPECT_EQ(connection->CreateProcCall(true, params, p, false),
            "SET @b = :b; CALL " + p + "(:a, @b, @c); SELECT @b AS `@b`, CAST(@c AS DATE) AS `@c`");
  EXPECT_EQ(Described(params), (std::vector<std::string>{"1 a 4 0", "3 b 1 10", "2 c 6 0"}));
  TParamDescs function;
  EXPECT_EQ(connection->CreateProcCall(true, function, f, false), "SELECT " + f + "(:x)");
  EXPECT_EQ(Described(function), (std::vector<std::string>{"4 Result 4 0", "1 x 4 0"}));
  // A name that is no routine, whatever it holds, calls nothing with nothing.
  TParamDescs none;
  EXPECT_EQ(connection->CreateProcCall(true, none, "x') OR ('1' = '1", false), "CALL `x') OR ('1' = '1`()");

  // The call runs with the INOUT value set first, then the inputs.
  std::unique_ptr<TMySQLRecordset> rs(static_cast<TMySQLRecordset*>(TMySQLRecordset::ClassInfo().Create()));
  rs->SetConnection(connection.get());
  rs->SetProp(prMyStoredProc, true);
  rs->SetProp(prFetchAll, true);
  rs->SetProp(prMyCreateConnection, false);
  TMySQLCommand& command = rs->Command();
  for (const char* name : {"a", "b", "c"}) {
    TParamDesc* param = command.AddParam();
    param->SetName(name);
    param->SetParamType(std::string(name) == "a" ? pdInput : std::string(name) == "b" ? pdInputOutput : pdOutput);
    param->SetDataType(std::string(name) == "a" ? dtInteger : std::string(name) == "b" ? dtString : dtDate);
  }
  command.GetParam(0)->SetValue(Variant(7));
  command.GetParam(1)->SetValue(Variant("x"));
  command.CreateProcCall(p);
  EXPECT_EQ(command.GetSQL(), "SET @b = :b; CALL " + p + "(:a, @b, @c); SELECT @b AS `@b`, @c AS `@c`");
  rs->SetSQL("SET @b = ?; CALL " + p + "(?, @b, @c); SELECT @b AS `@b`, CAST(@c AS DATE) AS `@c`");
  bool read_back = false;
  command.SetReadParams([&] { read_back = true; });
  rs->Open();
  EXPECT_TRUE(read_back);
  EXPECT_EQ(command.GetParam(1)->GetValue().AsString(), "x7");
  EXPECT_EQ(command.GetParam(2)->GetValue().AsDouble(), 38046.0);  // 2004-02-29
  // The rows affected are the call's.
  Variant rows;
  command.GetProp(prRowsProcessed, rows);
  EXPECT_EQ(rows.AsInt32(), 2);
  rs->Close();
  connection->ExecStatement("DROP PROCEDURE " + p);
  connection->ExecStatement("DROP FUNCTION " + f);
}

INSTANTIATE_TEST_SUITE_P(Api, MyProcCallServerTest,
                         ::testing::Values(testing::DirectApi(), testing::ClientApi(false)), testing::ApiName);

}  // namespace
}  // namespace dac
