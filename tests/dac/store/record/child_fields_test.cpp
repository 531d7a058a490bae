// Attributes of structured columns read and written through the column's object.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/data.h"
#include "dac/store/runtime/unaligned.h"
#include "tests/dac/store/test_record_set.h"

namespace dac {
namespace {

using testing::Column;
using testing::TMapObject;
using testing::TTestData;

class ChildFields : public ::testing::Test {
 protected:
  void SetUp() override {
    type_ = SharedRef<TObjectType>::Adopt(new TObjectType());
    type_->SetName("T");
    type_->SetDataType(dtObject);
    Attribute("NAME", dtString, 9000);
    Attribute("SHORT", dtString, 10);
    Attribute("N", dtInteger, 0);
    Attribute("WHEN", dtDateTime, 0);
    Attribute("ANY", dtVariant, 0);
    Attribute("FIX", dtString, 6, true);
    Column column{"OBJ", dtObject, kReferenceSlotSize};
    column.object_type = type_.get();
    data_.columns = {{"ID", dtInteger, 4}, column};
    data_.Init();
    record_ = std::make_unique<TTestData::Record>(data_, true, true);
  }
  void TearDown() override {
    if (object_) {
      StoreAt<void*>(record_->get(), data_.FieldByName("OBJ")->GetOffset(), nullptr);
      object_->Free();
    }
  }

  void Attribute(const std::string& name, uint16_t type, uint16_t length, bool fixed = false) {
    auto attribute = std::make_unique<TAttribute>(type_.get());
    attribute->SetName(name);
    attribute->SetDataType(type);
    attribute->SetLength(length);
    attribute->SetFixed(fixed);
    type_->AddAttribute(std::move(attribute));
  }
  // Puts an object into the column's slot.
  TMapObject* Attach() {
    object_ = new TMapObject();
    object_->SetObjectType(type_.get());
    StoreAt<void*>(record_->get(), data_.FieldByName("OBJ")->GetOffset(), object_->GetGCHandle());
    data_.SetNull(data_.FieldByName("OBJ")->GetFieldNo(), record_->get(), false);
    return object_;
  }
  uint16_t No(const char* name) { return data_.FieldByName(name)->GetFieldNo(); }
  Variant Get(const char* name) {
    Variant value;
    data_.GetFieldAsVariant(No(name), record_->get(), value);
    return value;
  }

  SharedRef<TObjectType> type_;
  TTestData data_;
  std::unique_ptr<TTestData::Record> record_;
  TMapObject* object_ = nullptr;
};

TEST_F(ChildFields, NoObjectReadsAsNull) {
  EXPECT_TRUE(data_.GetNull(No("OBJ.N"), record_->get()));
  EXPECT_TRUE(Get("OBJ.NAME").IsNull());
  data_.PutFieldAsVariant(No("OBJ.N"), record_->get(), Variant(int32_t{1}));  // nowhere to go, no failure
  EXPECT_TRUE(Get("OBJ.N").IsNull());
}

TEST_F(ChildFields, ValuesComeThroughTheObject) {
  TMapObject* object = Attach();
  object->SetText("SHORT", "abc");
  object->SetValue<int32_t>("N", 42);
  object->SetValue<double>("WHEN", 693594.0 * 86400000.0 + 43200000.0);  // milliseconds
  object->variants["ANY"] = Variant("held");
  EXPECT_FALSE(data_.GetNull(No("OBJ.N"), record_->get()));
  EXPECT_TRUE(Get("OBJ.SHORT") == Variant("abc"));
  EXPECT_TRUE(Get("OBJ.N") == Variant(int32_t{42}));
  EXPECT_TRUE(Get("OBJ.WHEN") == Variant::FromDateTime(0.5));
  EXPECT_TRUE(Get("OBJ.ANY") == Variant("held"));
  EXPECT_TRUE(Get("OBJ.NAME").IsNull());

  int type = 0;
  bool is_blank = true;
  bool native = true;
  void* buf = data_.GetFieldBuf(record_->get(), data_.FieldByName("OBJ.WHEN"), type, is_blank, native);
  EXPECT_FALSE(native);
  EXPECT_EQ(LoadAt<double>(buf), 0.5);
  TData::FreeFieldBuf(buf);
  buf = data_.GetFieldBuf(record_->get(), data_.FieldByName("OBJ.SHORT"), type, is_blank, native);
  EXPECT_STREQ(static_cast<const char*>(buf), "abc");
  TData::FreeFieldBuf(buf);
}

TEST_F(ChildFields, WritesReachTheObject) {
  TMapObject* object = Attach();
  object->widths["N"] = 4;
  object->widths["WHEN"] = 8;
  object->widths["ANY"] = 0;
  data_.PutFieldAsVariant(No("OBJ.N"), record_->get(), Variant(int16_t{7}));
  data_.PutFieldAsVariant(No("OBJ.SHORT"), record_->get(), Variant("text"));
  data_.PutFieldAsVariant(No("OBJ.WHEN"), record_->get(), Variant::FromDateTime(1.25));
  data_.PutFieldAsVariant(No("OBJ.ANY"), record_->get(), Variant(int64_t{9}));
  EXPECT_TRUE(Get("OBJ.N") == Variant(int32_t{7}));
  EXPECT_TRUE(Get("OBJ.SHORT") == Variant("text"));
  EXPECT_TRUE(Get("OBJ.WHEN") == Variant::FromDateTime(1.25));
  EXPECT_TRUE(Get("OBJ.ANY") == Variant(int64_t{9}));
  EXPECT_THROW(data_.PutFieldAsVariant(No("OBJ.N"), record_->get(), Variant(int64_t{1})), EConvertError);
  data_.PutField(No("OBJ.SHORT"), record_->get(), nullptr);  // null reaches the object too
  EXPECT_EQ(object->values.count("SHORT"), 0u);
  EXPECT_TRUE(Get("OBJ.SHORT").IsNull());
}

TEST_F(ChildFields, LongValuesNeverOverrun) {
  TMapObject* object = Attach();
  object->SetText("NAME", std::string(10000, 'n'));
  object->SetText("SHORT", std::string(6000, 's'));
  const Variant name = Get("OBJ.NAME");
  EXPECT_EQ(object->last_dest_size, 9001u);  // sized from the declared length
  EXPECT_EQ(name.AsString(), std::string(9000, 'n'));
  const Variant short_value = Get("OBJ.SHORT");
  EXPECT_EQ(object->last_dest_size, 4001u);
  EXPECT_EQ(short_value.AsString().size(), 4000u);

  auto dest = std::make_unique<char[]>(16);
  bool is_blank = true;
  data_.GetField(No("OBJ.NAME"), record_->get(), dest.get(), 16, is_blank);
  EXPECT_FALSE(is_blank);
  EXPECT_EQ(std::strlen(dest.get()), 15u);

  int type = 0;
  bool native = true;
  void* buf = data_.GetFieldBuf(record_->get(), data_.FieldByName("OBJ.NAME"), type, is_blank, native);
  EXPECT_EQ(std::strlen(static_cast<const char*>(buf)), 9000u);
  TData::FreeFieldBuf(buf);
}

TEST_F(ChildFields, FixedChildTextIsTrimmed) {
  TMapObject* object = Attach();
  object->SetText("FIX", "ab    ");
  data_.SetTrimFixedChar(true);
  EXPECT_TRUE(Get("OBJ.FIX") == Variant("ab"));
  char dest[16];
  bool is_blank = true;
  data_.GetField(No("OBJ.FIX"), record_->get(), dest, sizeof dest, is_blank);
  EXPECT_STREQ(dest, "ab");
}

}  // namespace
}  // namespace dac
