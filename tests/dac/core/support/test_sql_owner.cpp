#include "tests/dac/core/support/test_sql_owner.h"

#include "dac/core/macros.h"

namespace dac::test {

DAC_DEFINE_CLASS(TestSQLOwner, TComponent, TComponentClassOf<TestSQLOwner>)

void TestSQLOwner::Init() {
  TComponent::Init();
  command = MakeComponent<TCustomDASQL>(this);
  command->SetDataSet(this);
}

std::string TestSQLOwner::OwnerFinalSQL() {
  calls.push_back("final");
  return command->GetFinalSQL();
}

void TestSQLOwner::OwnerScanMacros() {
  calls.push_back("scan");
  command->Macros().Scan(command->SQL().Text());
}

void TestSQLOwner::OwnerAssembleSQL() {
  calls.push_back("assemble");
  command->AssembleSQL();
}

void TestSQLOwner::OwnerSQLChanged() {
  calls.push_back("changed");
  saved_sql.clear();
}

bool TestSQLOwner::OwnerPerformSQL(const std::string& sql, TStatementTypes statement_types) {
  calls.push_back("perform " + std::to_string(statement_types.Bits()) + " " + sql);
  return true;
}

}  // namespace dac::test
