#include "tests/dac/core/support/test_da_dataset.h"

#include "dac/core/dataset/sql_clauses.h"
#include "dac/core/server/record_set.h"
#include "tests/dac/core/support/test_dialect.h"

namespace dac::test {

DAC_DEFINE_CLASS(TestDADataSet, TCustomDADataSet, TComponentClassOf<TestDADataSet>)

namespace {

const TParserClass& Dialect() { return TestDialectParser::ParserClass(); }

}  // namespace

bool TestDADataSet::GetCanModify() {
  return TCustomDADataSet::GetCanModify() || (!GetReadOnly() && !GetUniDirectional());
}

std::unique_ptr<ITimerService> TestDADataSet::MakeDetailTimerService() {
  return std::make_unique<FakeService>(detail_clock);
}

void TestDADataSet::GetKeyAndDataFields(TKeyAndDataFields& fields, bool) {
  fields = {};
  if (!Data()) return;
  TFieldDescs& descs = Data()->GetFieldDescs();
  for (int i = 0; i < descs.Count(); ++i) {
    auto* desc = dynamic_cast<TDKFieldDesc*>(descs.GetItems(i));
    if (!desc) continue;
    (desc->GetIsKey() ? fields.KeyFieldDescs : fields.DataFieldDescs).push_back(desc);
  }
}

std::string TestDADataSet::SQLAddWhere(const std::string& sql, const std::string& condition) {
  return AddWhereClause(sql, condition, Dialect(), false, kSelectCode, kWhereCode);
}

std::string TestDADataSet::SQLDeleteWhere(const std::string& sql) {
  return SetWhereClause(sql, "", Dialect(), kSelectCode, kWhereCode);
}

std::string TestDADataSet::SQLGetWhere(const std::string& sql) {
  return GetWhereClause(sql, Dialect(), false, kSelectCode, kWhereCode);
}

std::string TestDADataSet::SQLSetOrderBy(const std::string& sql, const std::string& fields) {
  return SetOrderByClause(sql, fields, Dialect(), kSelectCode, kOrderCode, kByCode);
}

std::string TestDADataSet::SQLGetOrderBy(const std::string& sql) {
  return GetOrderByClause(sql, Dialect(), kSelectCode, kOrderCode, kByCode);
}

}  // namespace dac::test
