// The MySQL stored procedure component on the test server: routines
// described by name, parameters kept or taken from the description, OUT
// values read back and a function's result.
#include "dac/mysql/components/my_stored_proc.h"

#include <gtest/gtest.h>

#include "dac/core/da_param.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/field.h"
#include "tests/dac/mysql/my_dataset_test_support.h"

namespace dac {
namespace {

class MyStoredProcTest : public testing::MyDataSetTest {
 protected:
  void SetUp() override {
    MyDataSetTest::SetUp();
    if (IsSkipped()) return;
    Exec("DROP PROCEDURE IF EXISTS sp_p");
    Exec("DROP FUNCTION IF EXISTS sp_f");
    Exec("DROP TABLE IF EXISTS sp_t");
    Exec("CREATE TABLE sp_t (n INT)");
    Exec("INSERT INTO sp_t VALUES (1), (2)");
    Exec("CREATE PROCEDURE sp_p(IN a INT, INOUT b VARCHAR(10), OUT c INT) BEGIN SET b = CONCAT(b, a); "
         "SET c = a * 10; DELETE FROM sp_t; END");
    Exec("CREATE FUNCTION sp_f(x INT) RETURNS INT DETERMINISTIC RETURN x * 2");
    proc = MakeComponent<TMyStoredProc>(nullptr);
    proc->SetConnection(connection);
  }
  void TearDown() override {
    if (proc) proc->Free();
    MyDataSetTest::TearDown();
  }
  std::string Described() {
    std::string text;
    for (int i = 0; i < proc->Params().Count(); ++i) {
      const TDAParam* p = proc->Params().Items(i);
      text += (i ? "," : "") + p->Name() + ":" + std::to_string(p->ParamType());
    }
    return text;
  }

  TMyStoredProc* proc = nullptr;
};

TEST_F(MyStoredProcTest, AProcedureRunsAndReturnsItsOutValues) {
  proc->SetStoredProcName(" sp_p ");
  EXPECT_EQ(proc->GetStoredProcName(), "sp_p");
  EXPECT_EQ(Described(), "a:1,b:3,c:2");
  proc->ParamByName("a")->SetAsInteger(4);
  proc->ParamByName("b")->SetAsString("x");
  proc->ExecProc();
  EXPECT_EQ(proc->ParamByName("b")->GetAsString(), "x4");
  EXPECT_EQ(proc->ParamByName("c")->GetAsInteger(), 40);
  EXPECT_EQ(proc->RowsAffected(), 2);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM sp_t"), "0");
  // A value set before the description stays after it.
  proc->SQL().Clear();
  proc->Params().CreateParam(ftInteger, "a", ptInput)->SetAsInteger(5);
  proc->PrepareSQL();
  EXPECT_EQ(Described(), "a:1,b:3,c:2");
  EXPECT_EQ(proc->ParamByName("a")->GetAsInteger(), 5);
}

// A procedure that returns result sets of its own before its OUT values:
// ExecProc reads them all, gives every OUT and INOUT value and leaves the
// session free; over both APIs, with the rows read at once or a block at a
// time.
TEST_F(MyStoredProcTest, AProcedureWithResultSetsGivesItsOutValuesAndFreesTheSession) {
  Exec("CREATE PROCEDURE `sp rs``1`(IN lo INT, INOUT tag VARCHAR(20), OUT total INT) BEGIN "
       "SELECT n FROM sp_t WHERE n >= lo ORDER BY n; SELECT 'two' AS w, tag; INSERT INTO sp_t VALUES (lo * 10); "
       "SELECT COUNT(*) INTO total FROM sp_t; SET tag = CONCAT(tag, '!'); END");
  auto other = testing::OpenConnection(testing::DirectApi(), settings);
  int rows = 2;
  for (const bool direct : {true, false}) {
    for (const bool fetch_all : {true, false}) {
      SCOPED_TRACE(std::string(direct ? "direct" : "client library") + (fetch_all ? "" : ", a row at a time"));
      connection->Disconnect();
      connection->GetOptions().SetDirect(direct);
      connection->Connect();
      proc->SetFetchAll(fetch_all);
      proc->SetFetchRows(1);
      proc->SetStoredProcName("sp rs`1");
      EXPECT_EQ(Described(), "lo:1,tag:3,total:2");
      proc->ParamByName("lo")->SetAsInteger(rows);
      proc->ParamByName("tag")->SetAsString("it's \\ \"x\"");
      proc->ExecProc();
      ++rows;
      EXPECT_EQ(proc->ParamByName("tag")->GetAsString(), "it's \\ \"x\"!");
      EXPECT_EQ(proc->ParamByName("total")->GetAsInteger(), rows);
      // The session takes the next statement; the other one sees the row written.
      EXPECT_EQ(Value("SELECT COUNT(*) FROM sp_t"), std::to_string(rows));
      EXPECT_EQ(testing::ApiQuery(other->GetAPI(), other->GetHandle(), "SELECT MAX(n) FROM sp_t")[0][0],
                std::to_string((rows - 1) * 10));
      proc->Close();
      proc->SetStoredProcName("");
    }
  }
  // Open and OpenNext walk the same results, a row at a time; a dataset
  // closed early lets the call run to its end.
  proc->SetFetchAll(false);
  proc->SetStoredProcName("sp rs`1");
  proc->ParamByName("lo")->SetAsInteger(25);
  proc->ParamByName("tag")->SetAsString("o");
  proc->Open();
  EXPECT_EQ(proc->FieldByName("n")->GetAsInteger(), 30);
  ASSERT_TRUE(proc->OpenNext());
  EXPECT_EQ(proc->FieldByName("tag")->GetAsString(), "o");
  ASSERT_TRUE(proc->OpenNext());
  EXPECT_EQ(proc->ParamByName("total")->GetAsInteger(), rows + 1);
  EXPECT_FALSE(proc->OpenNext());
  proc->ParamByName("lo")->SetAsInteger(26);
  proc->Open();
  proc->Close();
  EXPECT_EQ(testing::ApiQuery(other->GetAPI(), other->GetHandle(), "SELECT MAX(n) FROM sp_t")[0][0], "260");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM sp_t"), std::to_string(rows + 2));

  // The call runs in the connection's transaction, a row at a time or not.
  for (const bool fetch_all : {true, false}) {
    SCOPED_TRACE(fetch_all ? "rolled back" : "rolled back, a row at a time");
    proc->SetFetchAll(fetch_all);
    connection->StartTransaction();
    proc->ParamByName("lo")->SetAsInteger(70);
    proc->ExecProc();
    EXPECT_EQ(Value("SELECT COUNT(*) FROM sp_t WHERE n = 700"), "1");
    connection->Rollback();
    EXPECT_EQ(testing::ApiQuery(other->GetAPI(), other->GetHandle(), "SELECT COUNT(*) FROM sp_t WHERE n = 700")[0][0],
              "0");
  }

  // Prepared (a call with inputs only), the first result stays open, read
  // whole, and the session goes on at once.
  Exec("CREATE PROCEDURE sp_two(IN lo INT) BEGIN SELECT n FROM sp_t WHERE n >= lo ORDER BY n; SELECT 'x'; END");
  for (const bool direct : {true, false}) {
    SCOPED_TRACE(direct ? "direct, prepared" : "client library, prepared");
    connection->Disconnect();
    connection->GetOptions().SetDirect(direct);
    connection->Connect();
    proc->SetFetchAll(true);
    proc->SetStoredProcName("sp_two");
    proc->ParamByName("lo")->SetAsInteger(40);
    proc->Prepare();
    proc->ExecProc();
    EXPECT_EQ(proc->RecordCount(), 4);
    EXPECT_EQ(Value("SELECT 5"), "5");
    proc->Close();
    proc->UnPrepare();
  }
}

TEST_F(MyStoredProcTest, AFunctionGivesItsResultParameter) {
  proc->SetStoredProcName("sp_f");
  EXPECT_EQ(Described(), "Result:4,x:1");
  EXPECT_EQ(proc->Params().Items(0)->ParamType(), ptResult);
  proc->ParamByName("x")->SetAsInteger(21);
  proc->ExecProc();
  EXPECT_EQ(proc->ParamByName("Result")->GetAsInteger(), 42);
}

TEST_F(MyStoredProcTest, DeclaredTypesOfEveryKindAndBlankLists) {
  Exec("CREATE PROCEDURE sp_d(OUT c DECIMAL(10,2), OUT n NUMERIC(6,3), OUT t TIME(3)) "
       "BEGIN SET c = 4.5; SET n = -1.5; SET t = '-36:00:00.25'; END");
  Exec("CREATE PROCEDURE sp_types(IN vb VARBINARY(4), IN j JSON, IN nv NATIONAL VARCHAR(5), "
       "IN cv CHARACTER VARYING(5), IN u BIGINT UNSIGNED, OUT o VARBINARY(4), OUT len INT) "
       "BEGIN SET o = vb; SET len = LENGTH(j) + LENGTH(nv) + LENGTH(cv) + (u = 18446744073709551615); END");
  proc->SetStoredProcName("sp_d");
  proc->ExecProc();
  // The scale of the declaration: DECIMAL alone would round 4.5 to 5.
  EXPECT_EQ(proc->ParamByName("c")->GetAsFloat(), 4.5);
  EXPECT_EQ(proc->ParamByName("n")->GetAsFloat(), -1.5);
  EXPECT_NEAR(proc->ParamByName("t")->GetAsFloat(), -(36 * 3600 + 0.25) / 86400, 1e-12);

  proc->SetStoredProcName("sp_types");
  EXPECT_EQ(Described(), "vb:1,j:1,nv:1,cv:1,u:1,o:2,len:2");
  proc->ParamByName("vb")->SetAsBytes(TBytes{0, 1, 0, 2});
  proc->ParamByName("j")->SetAsString("[1]");
  proc->ParamByName("nv")->SetAsString("ab");
  proc->ParamByName("cv")->SetAsString("c");
  proc->ParamByName("u")->SetAsString("18446744073709551615");
  proc->ExecProc();
  EXPECT_EQ(proc->ParamByName("o")->AsBytes(), (TBytes{0, 1, 0, 2}));
  EXPECT_EQ(proc->ParamByName("len")->GetAsInteger(), 7);

  // A list of blanks or comments has no parameter.
  for (const std::string list : {"( )", "(/* none */)", "(\n)"}) {
    SCOPED_TRACE(list);
    Exec("DROP PROCEDURE IF EXISTS sp_blank");
    Exec("CREATE PROCEDURE sp_blank" + list + " BEGIN DELETE FROM sp_t; END");
    proc->SetStoredProcName("sp_blank");
    EXPECT_EQ(proc->Params().Count(), 0);
    proc->ExecProc();
    EXPECT_EQ(Value("SELECT COUNT(*) FROM sp_t"), "0");
  }
}

TEST_F(MyStoredProcTest, TheDatabaseKeepsItsCase) {
  // Two databases whose names differ in case only, each with its own sp_c.
  const std::string upper = "Dst_Case_" + settings.database.substr(4, 40);
  const std::string lower = "dst_case_" + settings.database.substr(4, 40);
  for (const std::string& db : {upper, lower}) {
    Exec("DROP DATABASE IF EXISTS `" + db + "`");
    Exec("CREATE DATABASE `" + db + "`");
  }
  Exec("CREATE PROCEDURE `" + upper + "`.sp_c(IN a INT, OUT b INT) SET b = a + 1");
  Exec("CREATE PROCEDURE `" + lower + "`.sp_c(IN z INT) BEGIN END");
  connection->SetDatabase(upper);
  proc->SetStoredProcName("sp_c");
  EXPECT_EQ(Described(), "a:1,b:2");
  proc->ParamByName("a")->SetAsInteger(41);
  proc->ExecProc();
  EXPECT_EQ(proc->ParamByName("b")->GetAsInteger(), 42);
  connection->SetDatabase(settings.database);
  for (const std::string& db : {upper, lower}) Exec("DROP DATABASE `" + db + "`");
}

TEST_F(MyStoredProcTest, AClosedConnectionDefersTheDescription) {
  connection->Disconnect();
  proc->SetStoredProcName("sp_f");
  EXPECT_EQ(proc->Params().Count(), 0);
  EXPECT_FALSE(connection->GetConnected());
  // Described on its own connection, which goes back to closed.
  TDAParams params;
  EXPECT_EQ(CreateProcCall(*connection, &params, "sp_f", false), "SELECT sp_f(:x)");
  EXPECT_EQ(params.Count(), 2);
  EXPECT_FALSE(connection->GetConnected());
  proc->SetStoredProcName("");
  EXPECT_THROW(proc->ExecProc(), EDatabaseError);
}

}  // namespace
}  // namespace dac
