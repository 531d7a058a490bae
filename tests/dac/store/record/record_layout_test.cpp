#include <gtest/gtest.h>

#include <random>
#include <set>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/data.h"
#include "platform/ascii.h"
#include "tests/dac/store/test_record_set.h"

namespace dac {
namespace {

using testing::Column;
using testing::TTestData;

TEST(RecordLayout, OffsetsWideStringPaddingAndOddSize) {
  TTestData data;
  data.columns = {{"S", dtString, 3}, {"W", dtWideString, 8}, {"I", dtInteger, 4}};
  data.Init();
  EXPECT_EQ(data.FieldByName("S")->GetOffset(), 0u);
  EXPECT_EQ(data.FieldByName("W")->GetOffset(), 4u);
  EXPECT_EQ(data.FieldByName("I")->GetOffset(), 12u);
  EXPECT_EQ(data.GetDataSize(), 16);
  EXPECT_EQ(data.GetRecordSize(), 19);
  EXPECT_EQ(data.GetCalcRecordSize(), 0);
}

TEST(RecordLayout, RecordSizeIsMadeOdd) {
  TTestData three;
  three.columns = {{"A", dtInteger, 4}, {"B", dtInteger, 4}, {"C", dtSmallint, 2}};
  EXPECT_EQ(three.Init().GetRecordSize(), 13);
  TTestData two;
  two.columns = {{"A", dtBytes, 6, 6}, {"B", dtInteger, 4}};
  EXPECT_EQ(two.Init().GetRecordSize(), 13);
}

TEST(RecordLayout, CalculatedFieldsFollowTheRecord) {
  TTestData data;
  data.columns = {{"A", dtInteger, 4},
                  {"W", dtWideString, 4, 1, 0, false, fdkCalculated},
                  {"B", dtInteger, 4},
                  {"I", dtInteger, 4, 0, 0, false, fdkCalculated},
                  {"S", dtString, 3, 2, 0, false, fdkCalculated}};
  data.Init();
  EXPECT_EQ(data.GetDataSize(), 8);
  EXPECT_EQ(data.GetRecordSize(), 13);  // 8 + 5 indicators
  EXPECT_EQ(data.FieldByName("W")->GetOffset(), 14u);  // 13 rounded up to even
  EXPECT_EQ(data.FieldByName("I")->GetOffset(), 18u);
  EXPECT_EQ(data.FieldByName("S")->GetOffset(), 22u);
  EXPECT_EQ(data.GetCalcDataSize(), 12);
  EXPECT_EQ(data.GetCalcRecordSize(), 13);
  // Their null indicators lie in the record like all others.
  TTestData::Record record(data, false, false);
  EXPECT_TRUE(data.GetNull(4, record.get()));
  data.SetNull(4, record.get(), false);
  EXPECT_EQ(record.bytes()[data.GetDataSize() + 3], 0);
}

TEST(RecordLayout, MisdescribedFieldsAreRefused) {
  TTestData small;
  small.columns = {{"I", dtInteger, 2}};
  EXPECT_THROW(small.Init(), EAssertionFailed);
  TTestData reference;
  reference.columns = {{"B", dtBlob, 4}};
  EXPECT_THROW(reference.Init(), EAssertionFailed);
  TTestData var_bytes;
  var_bytes.columns = {{"V", dtVarBytes, 10, 10}};
  EXPECT_THROW(var_bytes.Init(), EAssertionFailed);
}

TEST(RecordLayout, InitRecordZeroFillsAndSetsNull) {
  TTestData data;
  data.columns = {{"S", dtString, 5}, {"I", dtInteger, 4}};
  data.Init();
  void* buf = nullptr;
  data.AllocRecBuf(buf);
  std::memset(buf, 0xAB, static_cast<size_t>(data.GetRecordSize()));
  data.InitRecord(buf);
  const auto* bytes = static_cast<const uint8_t*>(buf);
  for (int i = 0; i < data.GetRecordSize(); ++i) {
    const bool indicator = i >= data.GetDataSize() && i < data.GetDataSize() + 2;
    EXPECT_EQ(bytes[i], indicator ? 1 : 0) << i;
  }
  EXPECT_TRUE(data.GetNull(1, buf));
  EXPECT_TRUE(data.GetNull(2, buf));
  EXPECT_THROW(data.GetNull(3, buf), EAssertionFailed);
  EXPECT_THROW(data.GetNull(0, buf), EAssertionFailed);
  data.FreeRecBuf(buf);
}

std::vector<std::string> UniqueNames(const std::vector<std::string>& names, TTestData* keep = nullptr) {
  TTestData local;
  TTestData& data = keep ? *keep : local;
  data.columns.clear();
  for (const std::string& name : names) data.columns.push_back({name, dtInteger, 4});
  data.Init();
  std::vector<std::string> out;
  for (int i = 0; i < data.GetFieldDescs().Count(); ++i) out.push_back(data.GetFieldDescs().GetItems(i)->GetName());
  return out;
}

using Names = std::vector<std::string>;

TEST(RecordLayoutNames, MadeUnique) {
  TTestData data;
  EXPECT_EQ(UniqueNames({"X", "X", "X"}, &data), (Names{"X", "X_1", "X_2"}));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(data.GetFieldDescs().GetItems(i)->GetDuplicate());
  EXPECT_EQ(UniqueNames({"", ""}), (Names{"_0", "_1"}));
  EXPECT_EQ(UniqueNames({"X", "x"}), (Names{"X", "x_1"}));
  EXPECT_EQ(UniqueNames({"B", "A"}, &data), (Names{"B", "A"}));
  EXPECT_FALSE(data.GetFieldDescs().GetItems(0)->GetDuplicate());
  // A generated name that another column bears renames that one, recursively.
  EXPECT_EQ(UniqueNames({"X", "X", "X_1"}), (Names{"X", "X_1", "X_1_1"}));
  EXPECT_EQ(UniqueNames({"X", "X", "X_1", "X_1_1"}), (Names{"X", "X_1", "X_1_1", "X_1_1_1"}));
  EXPECT_EQ(UniqueNames({"X", "X", "X_1", "X_1"}), (Names{"X", "X_1", "X_1_1", "X_1_2"}));
  // A nameless column before a group leaves the group's first name alone.
  EXPECT_EQ(UniqueNames({"X", "", "X"}), (Names{"X", "_0", "X_1"}));
}

TEST(RecordLayoutNames, RandomListsGetUniqueNames) {
  const char* const pool[] = {"", "X", "x", "X_1", "x_2", "X_1_1", "_0", "_1", "Y", "X_0", "_0_1"};
  std::mt19937 rng(5);
  std::uniform_int_distribution<size_t> pick(0, std::size(pool) - 1);
  std::uniform_int_distribution<int> count(1, 12);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> names;
    for (int n = count(rng); n > 0; --n) names.push_back(pool[pick(rng)]);
    std::set<std::string> seen;
    for (const std::string& name : UniqueNames(names)) {
      EXPECT_FALSE(name.empty());
      EXPECT_TRUE(seen.insert(plat::AsciiUpperCase(name)).second) << "duplicate " << name << " in round " << round;
    }
  }
}

TEST(RecordLayoutNames, CachedFieldsJoinBeforeNaming) {
  TTestData data;
  data.columns = {{"A", dtInteger, 4}};
  data.SetOnGetCachedFields([&data] {
    auto desc = std::make_unique<TFieldDesc>();
    desc->SetName("a");
    desc->SetDataType(dtInteger);
    desc->SetSize(4);
    desc->SetFieldDescKind(fdkCached);
    desc->SetFieldNo(static_cast<uint16_t>(data.GetFieldDescs().Count() + 1));
    data.GetFieldDescs().Add(std::move(desc));
  });
  data.Init();
  EXPECT_EQ(data.GetFieldDescs().GetItems(1)->GetName(), "a_1");
  EXPECT_EQ(data.GetFieldDescs().GetItems(1)->GetOffset(), 4u);
  // Without AutoInitFields the descriptors stay; only the layout is made again.
  data.SetAutoInitFields(false);
  data.columns.clear();
  data.Init();
  EXPECT_EQ(data.GetFieldCount(), 2);
  EXPECT_EQ(data.GetRecordSize(), 11);
}

class ObjectColumns : public ::testing::Test {
 protected:
  void SetUp() override {
    phone_ = MakeType("PHONE", dtObject);
    AddAttribute(phone_.get(), "NUM", dtString, 20);
    phones_ = MakeType("PHONES_T", dtArray);
    phones_->SetSize(3);
    AddAttribute(phones_.get(), "ELEMENT", dtObject, 0, phone_.get());
    person_ = MakeType("PERSON", dtObject);
    AddAttribute(person_.get(), "NAME", dtString, 30, nullptr, true);
    AddAttribute(person_.get(), "PHONES", dtArray, 0, phones_.get());
  }

  static SharedRef<TObjectType> MakeType(const std::string& name, uint16_t type) {
    auto t = SharedRef<TObjectType>::Adopt(new TObjectType());
    t->SetName(name);
    t->SetDataType(type);
    return t;
  }
  static void AddAttribute(TObjectType* owner, const std::string& name, uint16_t type, uint16_t length,
                           TObjectType* object_type = nullptr, bool fixed = false) {
    auto attribute = std::make_unique<TAttribute>(owner);
    attribute->SetName(name);
    attribute->SetDataType(type);
    attribute->SetLength(length);
    attribute->SetFixed(fixed);
    attribute->SetObjectType(object_type);
    owner->AddAttribute(std::move(attribute));
  }

  SharedRef<TObjectType> phone_, phones_, person_;
};

TEST_F(ObjectColumns, ChildDescriptorsTakeNoRoom) {
  TTestData data;
  data.columns = {{"ID", dtInteger, 4}};
  Column person{"P", dtObject, kReferenceSlotSize};
  person.object_type = person_.get();
  person.read_only = true;
  data.columns.push_back(person);
  data.columns.push_back({"TAIL", dtSmallint, 2});
  data.Init();
  std::vector<std::string> full_names;
  for (int i = 0; i < data.GetFieldCount(); ++i) {
    TFieldDesc* desc = data.GetFieldDescs().GetItems(i);
    EXPECT_EQ(desc->GetFieldNo(), i + 1);
    full_names.push_back(desc->GetFullName());
  }
  EXPECT_EQ(full_names, (Names{"ID", "P", "P.NAME", "P.PHONES", "P.PHONES[0]", "P.PHONES[0].NUM", "P.PHONES[1]",
                               "P.PHONES[1].NUM", "P.PHONES[2]", "P.PHONES[2].NUM", "TAIL"}));
  TFieldDesc* num = data.FindField("P.PHONES[1].NUM");
  ASSERT_NE(num, nullptr);
  EXPECT_EQ(num->GetName(), "NUM");
  EXPECT_EQ(num->GetLength(), 20);
  EXPECT_EQ(num->GetSize(), 0);
  EXPECT_TRUE(num->GetReadOnly());
  EXPECT_EQ(num->GetParentField()->GetName(), "[1]");
  EXPECT_TRUE(data.FindField("P.NAME")->GetFixed());
  EXPECT_EQ(data.FindField("P.PHONES[0]")->GetObjectType(), phone_.get());
  EXPECT_EQ(data.FieldByName("TAIL")->GetOffset(), 4u + kReferenceSlotSize);
  EXPECT_EQ(data.GetDataSize(), 6 + kReferenceSlotSize);
  EXPECT_EQ(data.GetRecordSize(), (6 + kReferenceSlotSize + 11) | 1);

  TFieldDesc* root = nullptr;
  std::string path;
  data.GetChildFieldInfo(num, root, path);
  EXPECT_EQ(root, data.FieldByName("P"));
  EXPECT_EQ(path, "PHONES[1].NUM");
  EXPECT_EQ(person_->FindAttribute(path), phone_->GetAttributes(0));
}

TEST_F(ObjectColumns, ArraysCappedOrSparse) {
  const int saved = MaxArrayItem;
  MaxArrayItem = 2;
  TTestData data;
  Column phones{"PH", dtArray, kReferenceSlotSize};
  phones.object_type = phones_.get();
  data.columns = {phones};
  data.Init();
  EXPECT_EQ(data.GetFieldCount(), 5);  // PH, [0], [0].NUM, [1], [1].NUM
  MaxArrayItem = saved;
  data.SetSparseArrays(true);
  data.Init();
  EXPECT_EQ(data.GetFieldCount(), 3);
  EXPECT_EQ(data.GetFieldDescs().GetItems(1)->GetFullName(), "PH[0]");
}

}  // namespace
}  // namespace dac
