#include "dac/core/update_sql.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/core/sql_component.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/core/support/test_sql_owner.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

using Texts = std::vector<std::string>;

// Names the stand-in dataset as the class whose components may fill the slots.
class TestUpdateSQL : public TCustomDAUpdateSQL {
  DAC_DECLARE_CLASS();

 public:
  using TCustomDAUpdateSQL::TCustomDAUpdateSQL;
  const TMetaClass& DataSetClass() const override { return TestSQLOwner::ClassInfo(); }
};

DAC_DEFINE_CLASS(TestUpdateSQL, TCustomDAUpdateSQL, TComponentClassOf<TestUpdateSQL>)

class UpdateSQLTest : public ::testing::Test {
 protected:
  ~UpdateSQLTest() override {
    for (TComponent* component : owned_) component->Free();
  }
  template <typename T>
  T* Make() {
    owned_.insert(owned_.begin(), MakeComponent<T>(nullptr));
    return static_cast<T*>(owned_.front());
  }

  std::vector<TComponent*> owned_;
};

TEST_F(UpdateSQLTest, SlotsTakeOnlyDataSetsAndSQLComponents) {
  auto* data_set = Make<TestSQLOwner>();
  auto* other_set = Make<TestSQLOwner>();
  auto* sql = MakeComponent<TCustomDASQL>(nullptr);
  auto* update = Make<TestUpdateSQL>();
  update->SetDataSet(data_set);
  data_set->update_object = update;

  EXPECT_EQ(ErrorOf([&] { update->SetModifyObject(Make<TComponent>()); }),
            "Only TestSQLOwner and TCustomDASQL objects are allowed in update properties");
  EXPECT_EQ(ErrorOf([&] { update->SetModifyObject(data_set); }),
            "Circular references are not allowed between TCustomDADataset and TCustomDAUpdateSQL objects");
  update->SetDeleteObject(sql);
  update->SetInsertObject(other_set);
  update->SetRefreshObject(sql);
  sql->Free();
  EXPECT_EQ(update->DeleteObject(), nullptr);
  EXPECT_EQ(update->RefreshObject(), nullptr);
  EXPECT_EQ(update->InsertObject(), other_set);

  // A kind's text runs through the dataset as that kind's statement type.
  update->GetSQL(TUpdateKind::ukModify)->SetText("UPDATE t SET a = :a");
  update->Apply(TUpdateKind::ukModify);
  EXPECT_EQ(data_set->calls.back(), "perform 4 UPDATE t SET a = :a\r\n");
  EXPECT_EQ(update->GetSQLIndex(stLock), nullptr);
  EXPECT_EQ(AssertionTextOf([] { UpdateKindToStatementType(static_cast<TUpdateKind>(7)); }), "Unknown update kind 7");

  auto* copy = Make<TestUpdateSQL>();
  copy->Assign(update);
  EXPECT_EQ(copy->ModifySQL()->Text(), "UPDATE t SET a = :a\r\n");
  EXPECT_EQ(copy->GetDataSet(), data_set);
  EXPECT_EQ(copy->InsertObject(), other_set);
  // The copy's checks run: the base class names no dataset class.
  EXPECT_EQ(AssertionTextOf([&] { Make<TCustomDAUpdateSQL>()->Assign(update); }), "Must be overrided");
  EXPECT_EQ(ErrorOf([&] { Make<TestUpdateSQL>()->ExecSQL(TUpdateKind::ukDelete); }), "DataSet must be defined");

  // Freed, the update object leaves the dataset that uses it.
  std::erase(owned_, update);
  update->Free();
  EXPECT_EQ(data_set->update_object, nullptr);
}

}  // namespace
}  // namespace dac::test
