#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/binary_fields.h"
#include "dac/framework/data/blob_fields.h"
#include "dac/framework/data/date_time_fields.h"
#include "dac/framework/data/index_defs.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/object_fields.h"
#include "dac/framework/data/string_fields.h"
#include "platform/code_page.h"
#include "platform/date_time.h"
#include "tests/dac/framework/error_text.h"
#include "tests/dac/framework/settings_guard.h"
#include "tests/dac/framework/stub_dataset.h"

namespace dac {
namespace {

class Fields : public ::testing::Test {
 protected:
  Fields() : dataset_(MakeComponent<StubDataSet>(nullptr)) {}
  ~Fields() override { dataset_->Free(); }

  // A field made from a definition, as a dataset makes its default fields.
  TField* Make(TFieldType type, int size = 0, const std::string& name = "F") {
    TFieldDef* def = dataset_->FieldDefs().Add(name, type, size);
    return def->CreateField(dataset_);
  }
  std::vector<uint8_t> Native(TField* field) {
    std::vector<uint8_t> data(static_cast<size_t>(field->DataSize()));
    EXPECT_TRUE(field->GetData(data.data()));
    return data;
  }
  template <typename T>
  T NativeAs(TField* field) {
    T value{};
    std::memcpy(&value, Native(field).data(), sizeof value);
    return value;
  }

  SettingsGuard settings_;
  StubDataSet* dataset_;
};

TEST_F(Fields, EveryClassTakesTextAndVariantsAndReportsNull) {
  const DateTime date = 38051;  // 5 March 2004
  const DateTime time = (7 * 3600 + 8 * 60 + 9) / 86400.0;
  struct Case {
    TFieldType type;
    int size;
    int data_size;
    std::string text;
    std::string shown;
    Variant value;
    bool empty_is_null;  // "" clears every field that does not hold text
  };
  const std::vector<Case> cases = {
      {ftString, 5, 6, "abcdefg", "abcde", Variant("abcde"), false},
      {ftFixedChar, 3, 4, "xy", "xy", Variant("xy"), false},
      {ftWideString, 4, 10, "h\xe9llo", "h\xe9ll", Variant(u"h\u00e9ll"), false},
      {ftGuid, 38, 39, "{00000000-0000-0000-0000-000000000001}", "{00000000-0000-0000-0000-000000000001}",
       Variant("{00000000-0000-0000-0000-000000000001}"), false},
      {ftSmallint, 0, 2, "-12", "-12", Variant(int16_t{-12}), true},
      {ftInteger, 0, 4, " 70000 ", "70000", Variant(70000), true},
      {ftWord, 0, 2, "65535", "65535", Variant(uint16_t{65535}), true},
      {ftAutoInc, 0, 4, "7", "7", Variant(7), true},
      {ftLargeint, 0, 8, "-9000000000", "-9000000000", Variant(int64_t{-9000000000}), true},
      {ftFloat, 0, 8, "2.5", "2.5", Variant(2.5), true},
      {ftCurrency, 0, 8, "1.25", "1.25", Variant(1.25), true},
      {ftBCD, 4, 8, "12.3456", "12.3456", Variant(Currency::FromRaw(123456)), true},
      {ftFMTBcd, 2, 34, "-1.50", "-1.5", Variant(StrToBcd("-1.5")), true},
      {ftBoolean, 0, 2, "true", "True", Variant(true), true},
      {ftDate, 0, 4, "3/5/2004", "3/5/2004", Variant::FromDateTime(date), true},
      {ftTime, 0, 8, "7:08:09", "7:08:09", Variant::FromDateTime(time), true},
      {ftDateTime, 0, 8, "3/5/2004 7:08:09", "3/5/2004 7:08:09", Variant::FromDateTime(date + time), true},
      {ftBytes, 3, 3, "ab", std::string("ab\0", 3), Variant(TBytes{'a', 'b', 0}), false},
      {ftVarBytes, 3, 5, "abcd", "abc", Variant(TBytes{'a', 'b', 'c'}), false},
      {ftVariant, 0, static_cast<int>(sizeof(Variant)), "x", "x", Variant("x"), false},
      {ftMemo, 0, 0, "memo\r\ntext", "memo\r\ntext", Variant("memo\r\ntext"), true},
      {ftBlob, 0, 0, std::string("a\0b", 3), std::string("a\0b", 3), Variant(std::string("a\0b", 3)), true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(FieldTypeName(c.type));
    TField* field = Make(c.type, c.size, "F" + std::to_string(n++));
    EXPECT_EQ(field->DataType(), c.type);
    EXPECT_EQ(field->DataSize(), c.data_size);
    EXPECT_TRUE(field->IsNull());
    EXPECT_EQ(field->AsString(), "");
    EXPECT_TRUE(field->Value().IsNull());

    field->SetAsString(c.text);
    EXPECT_FALSE(field->IsNull());
    EXPECT_EQ(field->AsString(), c.shown);
    EXPECT_EQ(field->AsWideString(), plat::AnsiToUtf16(c.shown));
    EXPECT_TRUE(field->Value() == c.value) << VarToStr(field->Value());

    field->Clear();
    EXPECT_TRUE(field->IsNull());
    field->SetValue(c.value);
    EXPECT_EQ(field->AsString(), c.shown);
    field->SetValue(Variant::Null());
    EXPECT_TRUE(field->IsNull());
    field->SetAsString(c.text);
    field->SetAsString("");
    EXPECT_EQ(field->IsNull(), c.empty_is_null);
  }
}

TEST_F(Fields, NativeFormsAreTheRecordStores) {
  TField* day = Make(ftDate, 0, "D");
  day->SetAsDateTime(-693593);  // 0001-01-01
  EXPECT_EQ(NativeAs<int32_t>(day), 1);
  day->SetAsDateTime(0);  // 1899-12-30
  EXPECT_EQ(NativeAs<int32_t>(day), 693594);

  TField* stamp = Make(ftDateTime, 0, "DT");
  stamp->SetAsDateTime(0);
  EXPECT_EQ(NativeAs<double>(stamp), 693594.0 * 86400000);
  stamp->SetAsDateTime(-1.25);  // 29 December 1899, 06:00: the fraction counts away from zero
  EXPECT_EQ(NativeAs<double>(stamp), 693593.0 * 86400000 + 6 * 3600000);
  EXPECT_EQ(stamp->AsDateTime(), -1.25);
  EXPECT_EQ(stamp->AsString(), "12/29/1899 6:00:00");
  stamp->SetAsDateTime(-693593.5);  // 0001-01-01, 12:00
  EXPECT_EQ(NativeAs<double>(stamp), 86400000.0 + 12 * 3600000);
  stamp->SetAsDateTime(plat::kZeroDateTime);  // the zero date: the stamp's 0
  EXPECT_EQ(NativeAs<double>(stamp), 0.0);
  EXPECT_EQ(stamp->AsDateTime(), plat::kZeroDateTime);
  EXPECT_EQ(stamp->AsString(), "0/0/0000");
  EXPECT_EQ(ErrorOf([&] { stamp->SetAsDateTime(-693594.5); }), "'-693594.5' is not a valid date and time");

  TField* clock = Make(ftTime, 0, "T");
  clock->SetAsDateTime(38051 + 0.25);  // the date is dropped
  EXPECT_EQ(NativeAs<double>(clock), 0.25);
  EXPECT_EQ(clock->AsDateTime(), 0.25);
  // A time is a span: signed, beyond a day, with its fraction of a second.
  struct Span {
    std::string text;
    DateTime value;
  };
  for (const Span& span : {Span{"838:59:59", (838 * 3600 + 59 * 60 + 59) / 86400.0},
                           Span{"-0:00:01.5", -1.5 / 86400}, Span{"36:00:00", 1.5},
                           Span{"-100:00:00.001", -(100 * 3600 + 0.001) / 86400},
                           Span{"13:14:15.678", (13 * 3600 + 14 * 60 + 15.678) / 86400},
                           Span{"-838:59:59.999999", -(838 * 3600 + 59 * 60 + 59.999999) / 86400}}) {
    SCOPED_TRACE(span.text);
    clock->SetAsString(span.text);
    EXPECT_NEAR(NativeAs<double>(clock), span.value, 1e-12);
    EXPECT_EQ(clock->AsString(), span.text);
    clock->SetAsDateTime(span.value);
    EXPECT_EQ(clock->AsString(), span.text);
  }
  EXPECT_EQ(ErrorOf([&] { clock->SetAsString("12:61"); }), "'12:61' is not a valid time");

  TField* money = Make(ftBCD, 4, "B");
  money->SetAsFloat(12.5);
  EXPECT_EQ(NativeAs<int64_t>(money), 125000);

  TField* flag = Make(ftBoolean, 0, "L");
  flag->SetAsBoolean(true);
  EXPECT_EQ(NativeAs<int16_t>(flag), 1);
  const int16_t two = 2;
  flag->SetData(&two);
  EXPECT_TRUE(flag->AsBoolean());

  TField* wide = Make(ftWideString, 3, "W");
  wide->SetAsWideString(u"ab");
  EXPECT_EQ(Native(wide), (std::vector<uint8_t>{'a', 0, 'b', 0, 0, 0, 0, 0}));
  WideString value;
  EXPECT_TRUE(wide->GetData(&value, false));
  EXPECT_EQ(value, u"ab");

  TField* bytes = Make(ftVarBytes, 3, "V");
  bytes->SetAsBytes({'a', 'b'});
  EXPECT_EQ(Native(bytes), (std::vector<uint8_t>{2, 0, 'a', 'b', 0}));
  const uint8_t overlong[5] = {9, 0, 'x', 'y', 'z'};  // a length beyond Size reads as Size
  bytes->SetData(overlong);
  EXPECT_EQ(bytes->AsString(), "xyz");

  // A stored day 0 is the zero date; a day before it is no date.
  const int32_t zero = 0;
  day->SetData(&zero);
  EXPECT_EQ(day->AsDateTime(), plat::kZeroDateTime);
  const int32_t before = -1;
  day->SetData(&before);
  EXPECT_EQ(ErrorOf([&] { day->AsDateTime(); }), "'-1.0' is not a valid timestamp");
}

TEST_F(Fields, RefusalsAndRangesHaveTheirTexts) {
  struct Case {
    TFieldType type;
    std::function<void(TField*)> action;
    std::string message;
  };
  const std::vector<Case> cases = {
      {ftInteger, [](TField* f) { f->AsDateTime(); }, "Field 'F' cannot be accessed as DateTime"},
      {ftBoolean, [](TField* f) { f->SetAsInteger(1); }, "Field 'F' cannot be accessed as Integer"},
      {ftDate, [](TField* f) { f->AsBoolean(); }, "Field 'F' cannot be accessed as Boolean"},
      {ftString, [](TField* f) { f->SetAsBCD(IntegerToBcd(1)); }, "Field 'F' cannot be accessed as BCD"},
      {ftMemo, [](TField* f) { f->AsFloat(); }, "Field 'F' cannot be accessed as Float"},
      {ftInteger, [](TField* f) { f->SetAsString("x"); }, "'x' is not a valid integer value"},
      {ftFloat, [](TField* f) { f->SetAsString("x"); }, "'x' is not a valid floating point value"},
      {ftBoolean, [](TField* f) { f->SetAsString("maybe"); }, "'maybe' is not a valid boolean value"},
      {ftDate, [](TField* f) { f->SetAsString("x"); }, "'x' is not a valid date"},
      {ftTime, [](TField* f) { f->SetAsString("x"); }, "'x' is not a valid time"},
      {ftDateTime, [](TField* f) { f->SetAsString("x"); }, "'x' is not a valid date and time"},
      {ftSmallint, [](TField* f) { f->SetAsInteger(40000); },
       "Value 40000 of field 'F' is outside the range -32768 to 32767"},
      {ftWord, [](TField* f) { f->SetAsString("-1"); }, "Value -1 of field 'F' is outside the range 0 to 65535"},
      {ftInteger, [](TField* f) { f->SetAsFloat(1e20); },
       "Value 1E20 of field 'F' is outside the range -2147483648 to 2147483647"},
      {ftInteger,
       [](TField* f) {
         auto* i = static_cast<TIntegerField*>(f);
         i->SetMinValue(1);
         i->SetMaxValue(10);
         i->SetAsInteger(11);
       },
       "Value 11 of field 'F' is outside the range 1 to 10"},
      {ftFloat,
       [](TField* f) {
         auto* d = static_cast<TFloatField*>(f);
         d->SetMinValue(-1.5);
         d->SetMaxValue(1.5);
         d->SetAsFloat(2);
       },
       "Value 2 of field 'F' is outside the range -1.5 to 1.5"},
      {ftLargeint,
       [](TField* f) {
         f->SetAsLargeInt(int64_t{1} << 40);
         f->AsInteger();
       },
       "Value 1099511627776 of field 'F' is outside the range -2147483648 to 2147483647"},
      {ftGuid, [](TField* f) { f->SetSize(10); }, "Invalid field size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    TField* field = Make(c.type, c.type == ftGuid ? 38 : 0);
    EXPECT_EQ(ErrorOf([&] { c.action(field); }), c.message);
    field->Free();
    dataset_->FieldDefs().Clear();
  }
}

TEST_F(Fields, ValidationSeesTheNewValueAndARefusalKeepsTheOld) {
  TField* field = Make(ftInteger);
  std::vector<std::string> seen;
  field->SetOnValidate([&](TField* f) {
    seen.push_back(f->AsString());
    if (f->AsInteger() < 0) DatabaseError("negative");
  });
  int changes = 0;
  field->SetOnChange([&](TField*) { ++changes; });
  field->SetAsInteger(5);
  EXPECT_EQ(ErrorOf([&] { field->SetAsInteger(-1); }), "negative");
  EXPECT_EQ(seen, (std::vector<std::string>{"5", "-1"}));
  EXPECT_EQ(field->AsInteger(), 5);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(field->AsString(), "5");  // validation is over: the record is read again

  dataset_->SaveOld();
  field->SetAsInteger(6);
  EXPECT_TRUE(field->OldValue() == Variant(5));
  field->SetNewValue(Variant(8));
  EXPECT_EQ(field->AsInteger(), 8);
}

TEST_F(Fields, ListsFindFieldsByNameAndValuesByLists) {
  dataset_->SetName("Stub");
  TField* a = Make(ftInteger, 0, "A");
  TField* b = Make(ftString, 10, "B");
  TFieldDef* def = dataset_->FieldDefs().Add("ADT", ftADT);
  def->ChildDefs().Add("X", ftInteger);
  def->ChildDefs().Add("Y", ftString, 4);
  auto* object = static_cast<TObjectField*>(def->CreateField(dataset_));

  EXPECT_EQ(dataset_->FindField("b"), b);
  EXPECT_EQ(dataset_->FindField("adt.y")->FullName(), "ADT.Y");
  EXPECT_EQ(object->FieldCount(), 2);
  EXPECT_EQ(dataset_->FieldDefs().FindFullName("ADT.X")->FullName(), "ADT.X");
  EXPECT_EQ(ErrorOf([&] { dataset_->FieldByName("nope"); }), "Stub: Field nope not found");
  EXPECT_EQ(ErrorOf([&] { Make(ftInteger, 0, "a"); }), "Stub: Duplicate name 'a' in TFieldDefs");
  EXPECT_EQ(dataset_->FieldDefs().Count(), 3);  // no half-made definition stays
  EXPECT_EQ(ErrorOf([&] { b->SetFieldName("A"); }), "Stub: Duplicate field name 'A'");
  EXPECT_EQ(ErrorOf([&] { TFieldDefs(dataset_).Add("C", ftCursor)->CreateField(dataset_); }),
            "Stub: Field 'C' is of an unsupported type");

  dataset_->Fields().SetValues("A; b", Variant(std::vector<Variant>{Variant(3), Variant("t")}));
  EXPECT_EQ(a->AsInteger(), 3);
  EXPECT_TRUE(dataset_->Fields().GetValues("b;A") == Variant(std::vector<Variant>{Variant("t"), Variant(3)}));
  object->SetValue(Variant(std::vector<Variant>{Variant(1), Variant("yy")}));
  EXPECT_EQ(dataset_->FieldByName("ADT.Y")->AsString(), "yy");

  b->SetIndex(0);
  EXPECT_EQ(dataset_->Fields().Fields(0), b);
  object->Free();  // its children go with it
  EXPECT_EQ(dataset_->FindField("ADT.X"), nullptr);
  EXPECT_EQ(dataset_->Fields().Count(), 2);

  dataset_->active = true;
  EXPECT_EQ(ErrorOf([&] { a->SetFieldName("Z"); }), "Stub: Cannot perform this operation on an open dataset");
  dataset_->active = false;
}

TEST_F(Fields, BlobsGoThroughTheDatasetsStreamAndEventsReachIt) {
  auto* blob = static_cast<TBlobField*>(Make(ftBlob, 0, "B"));
  TMemoryStream source;
  source.WriteBuffer("\x01\x02\x03", 3);
  source.SetPosition(2);  // the whole stream is taken all the same
  blob->LoadFromStream(source);
  EXPECT_EQ(blob->BlobSize(), 3);
  EXPECT_EQ(blob->AsBytes(), (TBytes{1, 2, 3}));
  TMemoryStream copy;
  blob->SaveToStream(copy);
  EXPECT_EQ(copy.GetSize(), 3);
  blob->SetModified(true);
  blob->Clear();
  EXPECT_TRUE(blob->IsNull());
  blob->SetBlobType(ftOraBlob);
  blob->SetBlobType(ftMemo);  // not one of this class's types
  EXPECT_EQ(blob->BlobType(), ftOraBlob);

  TField* field = Make(ftInteger, 0, "I");
  dataset_->events.clear();
  field->FocusControl();  // only for an open dataset
  dataset_->active = true;
  field->FocusControl();
  field->SetAsInteger(1);
  EXPECT_EQ(dataset_->events, (std::vector<std::pair<TDataEvent, intptr_t>>{
                                  {deFocusControl, reinterpret_cast<intptr_t>(field)},
                                  {deFieldChange, reinterpret_cast<intptr_t>(field)}}));
  EXPECT_TRUE(field->CanModify());
  field->SetReadOnly(true);
  EXPECT_FALSE(field->CanModify());
  dataset_->active = false;
}

TEST(ExtractFieldName, WalksASemicolonList) {
  const std::string names = " a ;b;; c";
  std::vector<std::string> parts;
  for (size_t pos = 1; pos <= names.size();) parts.push_back(ExtractFieldName(names, pos));
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "", "c"}));
  size_t pos = names.size() + 1;
  EXPECT_EQ(ExtractFieldName(names, pos), "");
}

TEST_F(Fields, DefinitionsAskTheirDatasetToUpdate) {
  struct Counting : StubDataSet {
    using StubDataSet::StubDataSet;
    void InitFieldDefs() override { FieldDefs().Add("N" + std::to_string(++inits), ftInteger); }
    void UpdateIndexDefs() override { ++index_updates; }
    int inits = 0;
    int index_updates = 0;
  };
  auto* dataset = MakeComponent<Counting>(nullptr);
  dataset->FieldDefs().SetUpdated(true);
  dataset->FieldDefs().Update();
  EXPECT_FALSE(dataset->FieldDefs().Updated());
  EXPECT_EQ(dataset->FieldDefs().Find("n1")->FieldNo(), 1);

  TIndexDefs indexes(dataset);
  indexes.Add("PK", "ID", {ixPrimary, ixUnique});
  indexes.Update();
  EXPECT_EQ(dataset->index_updates, 1);
  EXPECT_TRUE(indexes.Find("pk")->Options().Contains(ixUnique));
  EXPECT_EQ(ErrorOf([&] { indexes.Find("none"); }), "Index 'none' not found");
  dataset->Free();
}

}  // namespace
}  // namespace dac
