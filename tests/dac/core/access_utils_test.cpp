#include "dac/core/access_utils.h"

#include <gtest/gtest.h>

#include "dac/core/da_param.h"
#include "dac/core/data_source_component.h"
#include "dac/core/macros.h"
#include "dac/core/sql_component.h"
#include "dac/store/lexer/parser.h"
#include "tests/dac/core/support/assertion_text.h"

namespace dac::test {
namespace {

TEST(AccessUtilsTest, ReachesTheComponentsItKnowsAndNamesTheOthers) {
  auto* sql = MakeComponent<TCustomDASQL>(nullptr);
  auto* source = MakeComponent<TDKDataSource>(nullptr);
  TDBAccessUtils::SetAutoCommit(sql, true);
  EXPECT_TRUE(TDBAccessUtils::GetAutoCommit(sql));
  TDBAccessUtils::SetLockDebug(sql, true);
  EXPECT_TRUE(sql->GetLockDebug());
  EXPECT_EQ(AssertionTextOf([&] { TDBAccessUtils::SetAutoCommit(source, true); }), "TDKDataSource");
  EXPECT_EQ(AssertionTextOf([&] { TDBAccessUtils::GetLockDebug(source); }), "Obj is TDKDataSource");
  EXPECT_EQ(AssertionTextOf([] { TDBAccessUtils::Execute(nullptr); }), "nil");

  TDBAccessUtils::SetDesignCreate(source, true);
  TDBAccessUtils::SetDesignCreate(sql, true);
  EXPECT_TRUE(TDBAccessUtils::GetDesignCreate(source) && TDBAccessUtils::GetDesignCreate(sql));
  source->Loaded();
  EXPECT_FALSE(TDBAccessUtils::GetDesignCreate(source));

  // Text set for the component's own use goes over as it is: no parameters, no macros.
  TDBAccessUtils::SetSQLText(sql, "UPDATE t SET a = :a WHERE &m", true, true, false);
  EXPECT_EQ(sql->FinalSQL(), "UPDATE t SET a = :a WHERE &m\r\n");
  EXPECT_EQ(sql->ParamCount() + sql->MacroCount(), 0);
  sql->SQL().SetText("UPDATE t SET a = :a WHERE &m");
  EXPECT_EQ(sql->ParamCount() + sql->MacroCount(), 2);
  EXPECT_EQ(&TDBAccessUtils::GetParserClass(sql->Macros()), &TParser::ParserClass());

  auto* copy = MakeComponent<TDKDataSource>(nullptr);
  source->SetAutoEdit(false);
  source->SetEnabled(false);
  copy->Assign(source);
  EXPECT_FALSE(copy->AutoEdit() || copy->Enabled());
  for (TComponent* component : std::initializer_list<TComponent*>{copy, source, sql}) component->Free();
}

}  // namespace
}  // namespace dac::test
