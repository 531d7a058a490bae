#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/framework/classes/component.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/params.h"
#include "dac/framework/data/string_fields.h"
#include "tests/dac/framework/error_text.h"
#include "tests/dac/framework/stub_dataset.h"

namespace dac {
namespace {

// Counts the calls of the virtual type setter.
class CountingParam : public TParam {
  DAC_DECLARE_CLASS();

 public:
  void SetDataType(TFieldType type) override {
    types.push_back(type);
    TParam::SetDataType(type);
  }
  std::vector<TFieldType> types;
};
DAC_DEFINE_CLASS(CountingParam, TParam, ::dac::TMetaClassOf<CountingParam>)

class CountingParams : public TParams {
 public:
  CountingParams() : TParams(CountingParam::ClassInfo(), nullptr) {}
};

// What the dataset does after building statements: every parameter
// made its own reference.
void ResetParamRefs(TParams& params) {
  for (int i = 0; i < params.Count(); ++i) {
    TParam* param = params.Items(i);
    const std::string name = param->Name();
    param->SetName("");
    param->ParamRef();
    param->SetName(name);
  }
}

TEST(Params, SameNamesShareValueBoundAndTypeButNotDirection) {
  TParams params;
  TParam* first = params.CreateParam(ftInteger, "ID", ptInput);
  TParam* second = params.CreateParam(ftString, "id", ptOutput);
  EXPECT_EQ(params.Items(1), second);  // Items gives the item itself
  EXPECT_EQ(second->ParamRef(), first);
  second->SetValue(Variant(7));
  EXPECT_EQ(first->AsInteger(), 7);
  EXPECT_TRUE(first->Bound());
  first->Clear();
  EXPECT_TRUE(second->IsNull());
  // One name, one type: the one set last, through either.
  EXPECT_EQ(first->DataType(), ftString);
  first->SetAsInteger(5);
  EXPECT_EQ(second->DataType(), ftInteger);
  EXPECT_EQ(second->ParamType(), ptOutput);

  // Renaming to another name keeps the reference.
  second->SetName("other");
  EXPECT_EQ(second->ParamRef(), first);

  // Separated, each keeps the type it had.
  TParams two;
  TParam* a = two.CreateParam(ftUnknown, "a", ptInput);
  TParam* b = two.CreateParam(ftUnknown, "a", ptInput);
  a->SetAsInteger(6);
  EXPECT_EQ(b->DataType(), ftInteger);
  ResetParamRefs(two);
  EXPECT_EQ(b->DataType(), ftInteger);
  b->SetAsString("x");
  EXPECT_EQ(a->DataType(), ftInteger);
  EXPECT_EQ(a->AsInteger(), 6);
}

TEST(Params, ClearingTheNameSeparatesEvenOnceResolved) {
  for (const bool resolved_first : {false, true}) {
    SCOPED_TRACE(resolved_first);
    TParams params;
    params.CreateParam(ftInteger, "A", ptInput)->SetAsInteger(1);
    TParam* b = params.CreateParam(ftInteger, "a", ptInput);
    TParam* c = params.CreateParam(ftInteger, "A", ptInput);
    if (resolved_first) {
      EXPECT_EQ(b->AsInteger(), 1);
    }
    ResetParamRefs(params);
    b->SetAsInteger(2);
    c->SetAsInteger(3);
    EXPECT_EQ(params.GetParamValues("a"), Variant(1));
    EXPECT_EQ(b->ParamRef(), b);
    EXPECT_EQ(b->AsInteger(), 2);
    EXPECT_EQ(c->AsInteger(), 3);
  }
}

TEST(Params, AReferencedParameterThatLeavesIsLetGo) {
  TParams params;
  TParams elsewhere;
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    TParam* shared = params.CreateParam(ftInteger, "X", ptInput);
    TParam* user = params.CreateParam(ftInteger, "X", ptInput);
    user->SetAsInteger(5);  // written into shared
    EXPECT_EQ(user->ParamRef(), shared);
    if (way == 0) params.Delete(0);
    if (way == 1) delete shared;
    if (way == 2) shared->SetCollection(&elsewhere);
    EXPECT_EQ(user->ParamRef(), user);  // no read of the departed one
    EXPECT_TRUE(user->IsNull());
    user->SetAsInteger(6);
    if (way == 2) {
      EXPECT_EQ(shared->ParamRef(), shared);
      EXPECT_EQ(shared->AsInteger(), 5);
    }
    params.Clear();
  }
}

TEST(Params, NotFoundNamesTheOwner) {
  auto* owner = MakeComponent<StubDataSet>(nullptr);
  owner->SetName("Query1");
  TParams owned(owner);
  TParams free_standing;
  EXPECT_EQ(ErrorOf([&] { owned.ParamByName("X"); }), "Query1: Parameter X not found");
  EXPECT_EQ(ErrorOf([&] { free_standing.GetParamValues("X"); }), "Parameter X not found");
  owner->Free();
}

TEST(Params, TypedSettersGoThroughTheVirtualTypeSetter) {
  CountingParams params;
  auto* p = static_cast<CountingParam*>(params.Add());
  p->SetAsInteger(1);
  p->SetAsString("s");
  p->SetAsBlob("b");
  p->SetAsMemo("m");
  p->SetAsSQLTimeStamp({2004, 3, 5, 7, 8, 9, 250});
  p->SetAsBCD(Currency::FromInt(2));
  EXPECT_EQ(p->types, (std::vector<TFieldType>{ftInteger, ftString, ftBlob, ftMemo, ftDateTime, ftBCD}));
  p->SetAsSQLTimeStamp({2004, 3, 5, 7, 8, 9, 250});
  const TSQLTimeStamp stamp = p->AsSQLTimeStamp();
  EXPECT_EQ(stamp.Day, 5);
  EXPECT_EQ(stamp.Fractions, 250u);
  EXPECT_EQ(ErrorOf([&] { p->SetAsSQLTimeStamp({2004, 2, 30, 0, 0, 0, 0}); }), "Invalid argument to date encode");

  auto* q = static_cast<CountingParam*>(params.Add());
  q->SetValue(Variant(int64_t{3}));  // an unknown type follows the value
  q->SetText("4");
  EXPECT_EQ(q->types, (std::vector<TFieldType>{ftLargeint}));
  EXPECT_EQ(q->AsInteger(), 4);
}

TEST(Params, CopiesWriteTheirOwnValues) {
  TParams source;
  source.CreateParam(ftInteger, "A", ptInput)->SetAsInteger(1);
  TParam* second = source.CreateParam(ftInteger, "A", ptOutput);
  ResetParamRefs(source);
  second->SetAsInteger(2);

  TParams copy;
  copy.Assign(&source);
  EXPECT_EQ(copy.Items(0)->AsInteger(), 1);
  EXPECT_EQ(copy.Items(1)->AsInteger(), 2);
  EXPECT_EQ(copy.Items(1)->ParamType(), ptOutput);
  EXPECT_TRUE(copy.IsEqual(source));

  TParams target;
  target.CreateParam(ftUnknown, "A", ptInput);
  target.CreateParam(ftString, "B", ptInput);
  target.AssignValues(source);
  // Both of the source's "A" are given to the one here: the last stays.
  EXPECT_EQ(target.GetParamValues("A;B"), Variant(std::vector<Variant>{Variant(2), Variant::Null()}));
  target.SetParamValues("B;A", Variant(std::vector<Variant>{Variant("b"), Variant(9)}));
  EXPECT_EQ(target.Items(1)->AsString(), "b");

  TStringList lines;
  lines.SetText("x\ny");
  target.Items(0)->Assign(&lines);
  EXPECT_EQ(target.Items(0)->DataType(), ftMemo);
  EXPECT_EQ(target.Items(0)->AsString(), "x\r\ny\r\n");
}

TEST(Params, FieldsGiveTheirTypeNameAndValue) {
  auto* dataset = MakeComponent<StubDataSet>(nullptr);
  auto* fixed = static_cast<TStringField*>(dataset->FieldDefs().Add("CODE", ftFixedChar, 4)->CreateField(dataset));
  TField* memo = dataset->FieldDefs().Add("NOTE", ftMemo, 300)->CreateField(dataset);
  fixed->SetAsString("ab");
  TParams params;
  TParam* p = params.CreateParam(ftUnknown, "", ptInput);
  p->AssignField(fixed);
  EXPECT_EQ(p->Name(), "CODE");
  EXPECT_EQ(p->DataType(), ftFixedChar);
  EXPECT_EQ(p->AsString(), "ab");
  p->AssignFieldValue(memo, memo->Value());
  EXPECT_EQ(p->DataType(), ftString);
  EXPECT_TRUE(p->IsNull());
  EXPECT_TRUE(p->Bound());

  p->SetAsString("xy");
  fixed->Assign(p);
  EXPECT_EQ(fixed->AsString(), "xy");
  dataset->Free();
}

}  // namespace
}  // namespace dac
