#include "dac/store/record/field_desc.h"

#include <gtest/gtest.h>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/db_object.h"
#include "dac/store/record/object_type.h"

namespace dac {
namespace {

// Counts destructions, so that tests see a type freed without a leak checker.
class TCountedType : public TObjectType {
 public:
  static inline int destroyed = 0;

 protected:
  ~TCountedType() override { ++destroyed; }
};

TAttribute* AddAttribute(TObjectType* owner, const std::string& name, uint16_t type, TObjectType* object_type = nullptr) {
  auto attribute = std::make_unique<TAttribute>(owner);
  attribute->SetName(name);
  attribute->SetDataType(type);
  attribute->SetObjectType(object_type);
  return owner->AddAttribute(std::move(attribute));
}

TFieldDesc* AddDesc(TFieldDescs& list, const std::string& name, TFieldDesc* parent = nullptr,
                    const std::string& full_name = "") {
  auto desc = std::make_unique<TFieldDesc>();
  desc->SetName(name);
  desc->SetFullName(full_name.empty() ? name : full_name);
  desc->SetParentField(parent);
  desc->SetFieldNo(static_cast<uint16_t>(list.Count() + 1));
  return list.Add(std::move(desc));
}

TEST(FieldDescriptors, AssignCopiesTheListedMembersOnly) {
  TFieldDesc source;
  source.SetName("N");
  source.SetFullName("P.N");
  source.SetActualName("col");
  source.SetDataType(dtInteger);
  source.SetLength(10);
  source.SetScale(2);
  source.SetFieldNo(3);
  source.SetSize(4);
  source.SetOffset(12);
  source.SetRequired(true);
  source.SetReadOnly(true);
  source.SetFixed(true);
  source.SetHidden(true);
  source.SetIsKey(true);
  source.SetFieldDescKind(fdkCalculated);
  TFieldDesc target;
  target.Assign(source);
  EXPECT_EQ(target.GetName(), "N");
  EXPECT_EQ(target.GetFullName(), "P.N");
  EXPECT_EQ(target.GetDataType(), dtInteger);
  EXPECT_EQ(target.GetLength(), 10);
  EXPECT_EQ(target.GetScale(), 2);
  EXPECT_EQ(target.GetFieldNo(), 3);
  EXPECT_EQ(target.GetSize(), 4);
  EXPECT_EQ(target.GetOffset(), 12u);
  EXPECT_TRUE(target.GetRequired());
  EXPECT_EQ(target.GetActualName(), "");
  EXPECT_FALSE(target.GetReadOnly());
  EXPECT_FALSE(target.GetFixed());
  EXPECT_FALSE(target.GetHidden());
  EXPECT_FALSE(target.GetIsKey());
  EXPECT_EQ(target.GetFieldDescKind(), fdkData);
}

TEST(FieldDescriptors, HoldOneReferenceOnTheirObjectType) {
  auto type = SharedRef<TObjectType>::Adopt(new TObjectType());
  {
    TFieldDesc desc;
    desc.SetObjectType(type.get());
    desc.SetObjectType(type.get());
    EXPECT_EQ(type->RefCount(), 2);
    TDBObject* object = new TDBObject();
    object->SetObjectType(type.get());
    EXPECT_EQ(type->RefCount(), 3);
    object->Free();
    EXPECT_EQ(type->RefCount(), 2);
  }
  EXPECT_EQ(type->RefCount(), 1);
}

TEST(FieldDescList, FindFieldByNameAndPath) {
  TFieldDescs list;
  TFieldDesc* id = AddDesc(list, "id");
  AddDesc(list, "ID");
  TFieldDesc* addr = AddDesc(list, "ADDR");
  TFieldDesc* child_name = AddDesc(list, "NAME", addr, "ADDR.NAME");
  TFieldDesc* city = AddDesc(list, "CITY", addr, "ADDR.CITY");
  TFieldDesc* name = AddDesc(list, "name");
  EXPECT_EQ(list.FindField("Id"), id);          // the first in list order
  EXPECT_EQ(list.FindField("NAME"), name);      // top-level names first
  EXPECT_EQ(list.FindField("addr.name"), child_name);
  EXPECT_EQ(list.FindField("city"), city);      // then children
  EXPECT_EQ(list.FindField("ADDR[0]"), nullptr);
  EXPECT_EQ(list.FindField(""), nullptr);
  EXPECT_EQ(list.IndexOf(city), 4);
  try {
    list.FieldByName("nope");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Field nope not found");
  }
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

class ObjectTypes : public ::testing::Test {
 protected:
  void SetUp() override {
    phone_ = new TObjectType();
    phone_->SetName("PHONE");
    phone_->SetDataType(dtObject);
    AddAttribute(phone_, "NUM", dtString);
    phone_array_ = new TObjectType();
    phone_array_->SetName("PHONE_ARR");
    phone_array_->SetDataType(dtArray);
    phone_array_->SetSize(3);
    AddAttribute(phone_array_, "ELEMENT", dtObject, phone_);
    address_ = new TObjectType();
    address_->SetName("ADDRESS");
    address_->SetDataType(dtObject);
    AddAttribute(address_, "City", dtString);
    person_ = new TObjectType();
    person_->SetName("PERSON");
    person_->SetDataType(dtObject);
    AddAttribute(person_, "NAME", dtString);
    AddAttribute(person_, "AGE", dtInteger);
    AddAttribute(person_, "ADDR", dtObject, address_);
    AddAttribute(person_, "PHONES", dtArray, phone_array_);
  }
  void TearDown() override {
    for (TObjectType* type : {phone_, phone_array_, address_, person_}) type->Free();
  }

  TObjectType* phone_ = nullptr;
  TObjectType* phone_array_ = nullptr;
  TObjectType* address_ = nullptr;
  TObjectType* person_ = nullptr;
};

TEST_F(ObjectTypes, FindAttributeWalksPaths) {
  EXPECT_EQ(person_->FindAttribute("name"), person_->GetAttributes(0));
  EXPECT_EQ(person_->FindAttribute("addr.city"), address_->GetAttributes(0));
  EXPECT_EQ(person_->FindAttribute(" addr. city"), address_->GetAttributes(0));
  EXPECT_EQ(person_->FindAttribute("phones[1].num"), phone_->GetAttributes(0));
  EXPECT_EQ(person_->FindAttribute("PHONES[2]"), phone_array_->GetAttributes(0));
  EXPECT_EQ(person_->FindAttribute("PHONES"), person_->GetAttributes(3));
  EXPECT_EQ(person_->FindAttribute("age.x"), nullptr);  // a point after a scalar
  EXPECT_EQ(person_->FindAttribute("phones[1"), nullptr);
  EXPECT_EQ(person_->FindAttribute("addr."), nullptr);
  EXPECT_EQ(person_->FindAttribute("addr.zip"), nullptr);
  EXPECT_EQ(person_->FindAttribute(""), nullptr);
  try {
    person_->AttributeByName("phones.x");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Attribute phones.x not found");
  }
}

TEST(ObjectTypeLifetime, SelfReferenceFormsNoCycle) {
  TCountedType::destroyed = 0;
  auto* leaf = new TObjectType();
  leaf->SetName("LEAF");
  auto* node = new TCountedType();
  node->SetName("NODE");
  AddAttribute(node, "NEXT", dtReference, node);  // same name: no reference on itself
  AddAttribute(node, "LEAF", dtObject, leaf);
  EXPECT_EQ(node->RefCount(), 1);
  EXPECT_EQ(leaf->RefCount(), 2);
  node->Free();  // the last outside reference
  EXPECT_EQ(TCountedType::destroyed, 1);
  EXPECT_EQ(leaf->RefCount(), 1);
  leaf->Free();
}

TEST(ObjectTypeLifetime, ReleasesExactlyTheReferenceItTook) {
  auto* other = new TObjectType();
  other->SetName("OTHER");
  auto* owner = new TObjectType();
  owner->SetName("OWNER");
  TAttribute* attribute = AddAttribute(owner, "A", dtObject, other);
  EXPECT_EQ(other->RefCount(), 2);
  owner->SetName("OTHER");  // names changing afterwards neither leak nor double-free
  attribute->SetObjectType(nullptr);
  EXPECT_EQ(other->RefCount(), 1);
  attribute->SetObjectType(other);  // now the same name: no reference
  EXPECT_EQ(other->RefCount(), 1);
  owner->SetName("OWNER");
  owner->Free();
  EXPECT_EQ(other->RefCount(), 1);
  other->Free();
}

TEST(ObjectTypeLifetime, AttributesBelongToTheirOwner) {
  auto type = SharedRef<TObjectType>::Adopt(new TObjectType());
  auto stranger = std::make_unique<TAttribute>(nullptr);
  EXPECT_THROW(type->AddAttribute(std::move(stranger)), EAssertionFailed);
}

TEST(DBObjects, BaseReportsBlankValues) {
  auto object = SharedRef<TDBObject>::Adopt(new TDBObject());
  bool is_blank = false;
  char dest[4] = {'x', 0, 0, 0};
  object->GetAttributeValue("A", dest, sizeof dest, is_blank);
  EXPECT_TRUE(is_blank);
  EXPECT_EQ(dest[0], 'x');
  object->SetAttributeValue("A", dest);
}

}  // namespace
}  // namespace dac
