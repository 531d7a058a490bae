// What the MySQL dataset learns about its columns from the test server:
// number ranges, default values, ENUM and SET members and the record count
// counted on the server.
#include <gtest/gtest.h>

#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/field.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/mysql/components/my_connection_options.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "platform/date_time.h"
#include "tests/dac/mysql/my_dataset_test_support.h"

namespace dac {
namespace {

class MyDataSetFieldsTest : public testing::MyDataSetTest {
 protected:
  void SetUp() override {
    MyDataSetTest::SetUp();
    if (IsSkipped()) return;
    Exec("DROP TABLE IF EXISTS f_t");
    Exec("CREATE TABLE f_t (id INT PRIMARY KEY, l INT, u TINYINT UNSIGNED, "
         "e ENUM('a', 'it''s', ''), s SET('x', 'y'), v VARCHAR(5) DEFAULT 'dv', "
         "t TIME DEFAULT '-01:30:00', d DATETIME DEFAULT '2007-01-02 03:04:05', b TINYINT(1) DEFAULT 1, "
         "dd DECIMAL(5,2), du DECIMAL(5,2) UNSIGNED)");
    Exec("INSERT INTO f_t (id, l, u) VALUES (1, 1, 1), (2, 2, 2), (3, 3, 3)");
  }
  bool AcceptsFloat(const std::string& field, double value) {
    query->Edit();
    try {
      query->FieldByName(field)->SetAsFloat(value);
    } catch (const EDatabaseError&) {
      query->Cancel();
      return false;
    }
    query->Cancel();
    return true;
  }
  bool Accepts(const std::string& field, int value) {
    query->Edit();
    try {
      query->FieldByName(field)->SetAsInteger(value);
    } catch (const EDatabaseError&) {
      query->Cancel();
      return false;
    }
    query->Cancel();
    return true;
  }
};

TEST_F(MyDataSetFieldsTest, NumberRangesFollowTheColumnTypes) {
  query->Options().SetNumberRange(true);
  Open(query, "SELECT * FROM f_t");
  EXPECT_TRUE(Accepts("l", -2147483647));
  EXPECT_TRUE(Accepts("l", -2147483647 - 1));
  EXPECT_TRUE(Accepts("u", 255));
  EXPECT_FALSE(Accepts("u", 256));
  EXPECT_FALSE(Accepts("u", -1));
  // A DECIMAL's range is its digits, as float, BCD and FMTBCD fields.
  for (const TDANumericType type : {ntFloat, ntBCD, ntFmtBCD}) {
    SCOPED_TRACE(static_cast<int>(type));
    query->Close();
    connection->Disconnect();
    connection->GetOptions().SetNumericType(type);
    Open(query, "SELECT * FROM f_t");
    EXPECT_TRUE(AcceptsFloat("dd", 999.99));
    EXPECT_TRUE(AcceptsFloat("dd", -999.99));
    EXPECT_FALSE(AcceptsFloat("dd", 1000));
    EXPECT_FALSE(AcceptsFloat("dd", -1000));
    EXPECT_TRUE(AcceptsFloat("du", 0));
    EXPECT_TRUE(AcceptsFloat("du", 999.99));
    EXPECT_FALSE(AcceptsFloat("du", -1));
  }
}

TEST_F(MyDataSetFieldsTest, EnumAndSetMembersComeFromTheColumnType) {
  Open(query, "SELECT * FROM f_t");
  TStringList list;
  query->GetFieldEnum(list, "e");
  EXPECT_EQ(list.Text(), "a\r\nit's\r\n\r\n");
  query->GetFieldEnum(list, "s", "f_t");
  EXPECT_EQ(list.Text(), "x\r\ny\r\n");
  query->GetFieldEnum(list, "v");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_THROW(query->GetFieldEnum(list, ""), EDatabaseError);
  try {
    query->GetFieldEnum(list, "no%such'col", "f_t");
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Field no%such'col not found");
  }
}

TEST_F(MyDataSetFieldsTest, DefaultValuesComeFromTheServer) {
  query->MyOptions().SetDefaultValues(true);
  Open(query, "SELECT * FROM f_t");
  EXPECT_EQ(query->FieldByName("v")->DefaultExpression(), "dv");
  EXPECT_EQ(query->FieldByName("b")->DefaultExpression(), "True");
  plat::DateTime d = 0;
  ASSERT_TRUE(plat::TryEncodeDateTime(2007, 1, 2, 3, 4, 5, 0, d));
  EXPECT_EQ(query->FieldByName("d")->DefaultExpression(), DateTimeToStr(d));
  EXPECT_EQ(query->FieldByName("t")->DefaultExpression(), "-1:30:00");
  EXPECT_EQ(query->FieldByName("l")->DefaultExpression(), "");
}

TEST_F(MyDataSetFieldsTest, RecordCountIsCountedOnTheServer) {
  query->SetFetchAll(false);
  query->SetFetchRows(1);
  query->Options().SetQueryRecCount(true);
  Open(query, "SELECT id, l FROM f_t WHERE id > :low ORDER BY id");
  query->Close();
  query->ParamByName("low")->SetAsInteger(1);
  query->Open();
  EXPECT_EQ(query->RecordCount(), 2);
  // Whatever the statement gives is counted: groups, distinct rows, a
  // limit, both sides of a union.
  const std::pair<std::string, int> cases[] = {
      {"SELECT l, COUNT(*) FROM f_t GROUP BY l ORDER BY l", 3},
      {"SELECT DISTINCT u % 2 FROM f_t ORDER BY 1", 2},
      {"SELECT id FROM f_t ORDER BY id LIMIT 2", 2},
      {"SELECT id FROM f_t UNION ALL SELECT id FROM f_t ORDER BY id", 6},
      {"SELECT id FROM f_t WHERE id > 1; -- the rest", 2},
  };
  for (const auto& [sql, count] : cases) {
    SCOPED_TRACE(sql);
    query->Close();
    Open(query, sql);
    EXPECT_EQ(query->RecordCount(), count);
  }
}

}  // namespace
}  // namespace dac
