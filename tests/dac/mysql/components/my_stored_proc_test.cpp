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

TEST_F(MyStoredProcTest, AFunctionGivesItsResultParameter) {
  proc->SetStoredProcName("sp_f");
  EXPECT_EQ(Described(), "Result:4,x:1");
  EXPECT_EQ(proc->Params().Items(0)->ParamType(), ptResult);
  proc->ParamByName("x")->SetAsInteger(21);
  proc->ExecProc();
  EXPECT_EQ(proc->ParamByName("Result")->GetAsInteger(), 42);
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
