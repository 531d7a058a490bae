#include "tests/dac/core/support/updating_data_set.h"

#include "dac/core/server/record_set.h"

namespace dac::test {

DAC_DEFINE_CLASS(UpdatingDataSet, TestDADataSet, TComponentClassOf<UpdatingDataSet>)

void UpdatingDataSet::GetKeyAndDataFields(TKeyAndDataFields& fields, bool) {
  fields = {};
  const int table = GetUpdatingTableIdx();
  if (!Data() || table < 0) return;
  const TDKTableInfo* updating = GetTablesInfo()->Items(table);
  TFieldDescs& descs = Data()->GetFieldDescs();
  for (int i = 0; i < descs.Count(); ++i) {
    auto* desc = dynamic_cast<TDKFieldDesc*>(descs.GetItems(i));
    if (!desc || desc->GetTableInfo() != updating) continue;
    if (desc->GetIsKey()) fields.KeyFieldDescs.push_back(desc);
    fields.DataFieldDescs.push_back(desc);
  }
}

}  // namespace dac::test
