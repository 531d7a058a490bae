// The MySQL update statements of a dataset open on the test server: texts
// of delete, lock and refresh statements, row versions, the quick refresh
// condition and where each placeholder stands.
#include "dac/mysql/components/my_sql_generator.h"

#include <gtest/gtest.h>

#include "dac/core/da_param.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/field.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "tests/dac/mysql/my_dataset_test_support.h"

namespace dac {
namespace {

class MySQLGeneratorTest : public testing::MyDataSetTest {
 protected:
  void SetUp() override {
    MyDataSetTest::SetUp();
    if (IsSkipped()) return;
    Exec("DROP TABLE IF EXISTS gen_t");
    Exec("CREATE TABLE gen_t (id INT PRIMARY KEY, name VARCHAR(20), note TEXT, ts TIMESTAMP NULL DEFAULT NULL)");
    Exec("INSERT INTO gen_t VALUES (1, 'a', 'n', '2024-05-06 07:08:09'), (2, 'b', NULL, NULL)");
    Open(query, "SELECT * FROM gen_t ORDER BY id");
  }
  TMySQLGenerator& Generator() { return *static_cast<TMySQLGenerator*>(query->SQLGenerator()); }
  std::string Generate(TStatementType type) { return Generator().GenerateSQL(type, true, &params); }
  std::string ParamNames() {
    std::string names;
    for (int i = 0; i < params.Count(); ++i) names += (i ? "," : "") + params.Items(i)->Name();
    return names;
  }

  TDAParams params;
};

TEST_F(MySQLGeneratorTest, RowVersionConditionsFollowTheTimestamp) {
  query->MyOptions().SetCheckRowVersion(true);
  EXPECT_EQ(Generate(stDelete), "DELETE FROM gen_t\r\nWHERE\r\n  id = ? AND ts = ?");
  EXPECT_EQ(ParamNames(), "Old_id,Old_ts");
  query->Next();  // ts is NULL: every non-blob data column but the key
  EXPECT_EQ(Generate(stDelete), "DELETE FROM gen_t\r\nWHERE\r\n  id = ? AND name = ? AND ts IS NULL");
  EXPECT_EQ(ParamNames(), "Old_id,Old_name");
  query->MyOptions().SetCheckRowVersion(false);
  EXPECT_EQ(Generate(stDelete), "DELETE FROM gen_t\r\nWHERE\r\n  id = ?");
}

TEST_F(MySQLGeneratorTest, EveryParamOffsetPointsAtItsPlaceholder) {
  query->MyOptions().SetCheckRowVersion(true);
  query->Edit();
  query->FieldByName("name")->SetAsString("changed");
  query->FieldByName("note")->SetAsString("other");
  for (TStatementType type : {stInsert, stUpdate, stDelete, stLock}) {
    SCOPED_TRACE(type);
    const std::string sql = Generate(type);
    ASSERT_GT(params.Count(), 0);
    for (int i = 0; i < params.Count(); ++i) {
      const int offset = Generator().GetParamOffset(i);
      ASSERT_GE(offset, 1);
      ASSERT_LE(offset, static_cast<int>(sql.size()));
      EXPECT_EQ(sql[static_cast<size_t>(offset - 1)], '?') << sql << " param " << i;
    }
  }
  query->Cancel();
}

TEST_F(MySQLGeneratorTest, LockStatementsEndInTheirLockClause) {
  EXPECT_EQ(Generate(stLock), "SELECT NULL FROM gen_t\r\nWHERE\r\n  id = ?\r\nFOR UPDATE");
  Generator().SetLockRecordType(lrDelayed);
  EXPECT_EQ(Generate(stLock), "SELECT NULL FROM gen_t\r\nWHERE\r\n  id = ?\r\nLOCK IN SHARE MODE");
  // The condition part starts after header and middle.
  EXPECT_EQ(Generator().GetParamOffset(0), static_cast<int>(std::string("SELECT NULL FROM gen_t\r\nWHERE\r\n  id = ?").size()));
}

TEST_F(MySQLGeneratorTest, QuickRefreshStartsAtTheLatestTimestampRead) {
  const std::string sql = Generator().GenerateSQL(stRefreshQuick, false, nullptr);
  EXPECT_NE(sql.find("WHERE"), std::string::npos) << sql;
  EXPECT_NE(sql.find("gen_t.ts >= '2024-05-06 07:08:09'"), std::string::npos) << sql;
  EXPECT_EQ(sql.find(" AND "), std::string::npos) << sql;
}

TEST_F(MySQLGeneratorTest, QuickRefreshWithoutTimestampIsRefused) {
  query->Close();
  Open(query, "SELECT id, name FROM gen_t");
  try {
    Generator().GenerateSQL(stRefreshQuick, false, nullptr);
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Timestamp field required");
  }
}

TEST_F(MySQLGeneratorTest, RefreshMatchesANullTimestampAsTheZeroTimestamp) {
  Exec("DROP TABLE IF EXISTS gen_nokey");
  Exec("CREATE TABLE gen_nokey (a INT, ts TIMESTAMP NULL DEFAULT NULL)");
  Exec("INSERT INTO gen_nokey VALUES (1, NULL)");
  query->Close();
  Open(query, "SELECT * FROM gen_nokey");
  EXPECT_EQ(Generate(stRefresh),
            "SELECT gen_nokey.a AS _0, gen_nokey.ts AS _1 FROM gen_nokey\r\nWHERE\r\n  gen_nokey.a = ? AND "
            "gen_nokey.ts = '00000000'");
}

}  // namespace
}  // namespace dac
