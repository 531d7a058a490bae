#include "dac/core/da_param.h"

#include <gtest/gtest.h>

#include <string>

#include "dac/framework/classes/stream_persist.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/filer.h"
#include "dac/store/blob/blob.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

// An object that keeps its content in a stream, as a picture does.
class Picture : public TPersistent, public IStreamPersist {
 public:
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream& stream) const override { stream.WriteBuffer("pixels", 6); }
};

TEST(DAParamTest, BlobsAreSharedNeverCopiedAndFreedOnce) {
  TDAParams params;
  TDAParam* a = params.CreateParam(ftBlob, "a", ptInput);
  TDAParam* b = params.CreateParam(ftUnknown, "b", ptInput);
  EXPECT_TRUE(a->IsNull());
  a->GetAsBlobRef()->Write(0, 1, "x");
  EXPECT_FALSE(a->IsNull());

  a->SetAsBlob("shared");
  b->Assign(a);
  ASSERT_EQ(b->GetParamObject(), a->GetParamObject());
  EXPECT_EQ(a->GetParamObject()->RefCount(), 2);
  b->GetAsBlobRef()->SetAsString("written by b");
  EXPECT_EQ(a->AsString(), "written by b");

  // Leaving the blob type releases the blob; coming back makes a new, empty one.
  b->SetDataType(ftInteger);
  EXPECT_EQ(b->GetParamObject(), nullptr);
  EXPECT_EQ(a->GetParamObject()->RefCount(), 1);
  b->SetDataType(ftMemo);
  ASSERT_NE(b->GetParamObject(), nullptr);
  EXPECT_NE(b->GetParamObject(), a->GetParamObject());
  EXPECT_TRUE(b->IsNull());

  // Sharing over a blob of its own releases that one; the same one twice counts once.
  b->SetParamObject(a->GetParamObject());
  b->SetParamObject(a->GetParamObject());
  EXPECT_EQ(a->GetParamObject()->RefCount(), 2);

  SharedRef<TBlob> outside = MakeShared<TBlob>(false);
  outside->SetAsString("outside");
  a->SetAsMemoRef(outside.get());
  EXPECT_EQ(a->DataType(), ftMemo);
  EXPECT_EQ(outside->RefCount(), 2);
  EXPECT_EQ(a->AsString(), "outside");
  EXPECT_EQ(b->GetParamObject()->RefCount(), 1);
  a->Clear();
  EXPECT_TRUE(a->IsNull());
  EXPECT_EQ(outside->GetSize(), 0u);
}

TEST(DAParamTest, ValuesArriveFromEveryKindOfSource) {
  TDAParams params;
  TDAParam* p = params.CreateParam(ftUnknown, "p", ptInput);
  TMemoryStream stream;
  stream.WriteBuffer("stream data", 11);
  p->LoadFromStream(stream, ftMemo);
  EXPECT_EQ(p->DataType(), ftMemo);
  EXPECT_EQ(p->AsString(), "stream data");
  EXPECT_EQ(ErrorOf([&] { p->LoadFromStream(stream, ftInteger); }), "Data type is not supported");
  EXPECT_EQ(AssertionTextOf([&] { p->LoadFromStream(stream, ftOraBlob); }), "Data type is not supported");

  p->SetBlobData(TBytes{'a', 'b', 'c', 'd'}, 3);
  EXPECT_EQ(p->DataType(), ftBlob);
  EXPECT_EQ(p->AsString(), "abc");
  p->SetBlobData("zero\0ended");
  EXPECT_EQ(p->AsString(), "zero");

  // A plain parameter's blob value goes into the blob; a null one empties it.
  TParams plain;
  TParam* source = plain.CreateParam(ftUnknown, "source", ptOutput);
  source->SetAsBlob("plain");
  p->Assign(source);
  EXPECT_EQ(p->AsString(), "plain");
  EXPECT_EQ(p->Name(), "source");
  EXPECT_EQ(p->ParamType(), ptInput);
  source->Clear();
  p->Assign(source);
  EXPECT_TRUE(p->IsNull());

  TStringList lines;
  lines.Add("one");
  p->Assign(&lines);
  EXPECT_EQ(p->DataType(), ftMemo);
  EXPECT_EQ(p->AsString(), "one\r\n");

  Picture picture;
  p->SetDataType(ftBlob);
  p->Assign(&picture);
  EXPECT_EQ(p->AsString(), "pixels");
  p->SetDataType(ftInteger);
  EXPECT_EQ(ErrorOf([&] { p->Assign(&picture); }), "Data type is not supported");

  p->SetAsDateTime(36526.5);
  EXPECT_EQ(p->AsString(), "1/1/2000 12:00:00");
  p->SetDataType(ftWideString);
  p->SetAsString("wide");
  EXPECT_EQ(p->Value().Type(), varOleStr);
}

TEST(DAParamTest, FilingKeepsTypesValuesAndExtendedTypes) {
  constexpr auto kProviderType = static_cast<TFieldType>(45);
  TDAParams params;
  params.CreateParam(ftBlob, "blob", ptInput)->SetAsBlob(std::string("bytes\0and more", 14));
  params.CreateParam(ftInteger, "count", ptOutput)->SetAsInteger(12);
  params.CreateParam(kProviderType, "cursor", ptOutput);

  TMemoryStream stream;
  TWriter(stream).WriteCollection(params);
  stream.SetPosition(0);
  TDAParams back;
  TReader(stream).ReadCollection(back);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Items(0)->DataType(), ftBlob);
  EXPECT_EQ(back.Items(0)->AsString(), std::string("bytes\0and more", 14));
  EXPECT_NE(back.Items(0)->GetParamObject(), nullptr);
  EXPECT_EQ(back.Items(1)->AsInteger(), 12);
  EXPECT_EQ(back.Items(1)->ParamType(), ptOutput);
  EXPECT_EQ(back.Items(2)->DataType(), kProviderType);
}

TEST(DAParamTest, AFiledValueItsParameterCannotTakeIsAReadErrorThatKeepsTheOldParameters) {
  TDAParams params;
  params.CreateParam(ftBlob, "blob", ptInput)->SetAsBlob("12345678");
  TMemoryStream written;
  TWriter(written).WriteCollection(params);
  std::string bytes(static_cast<const char*>(written.Memory()), static_cast<size_t>(written.GetSize()));
  // The blob's value becomes a date that has no text.
  const std::string value = std::string(1, char{vaString}) + std::string("\x08\0\0\0", 4) + "12345678";
  const double date = 1e300;
  const size_t at = bytes.find(value);
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, value.size(), std::string(1, char{vaDate}) + std::string(reinterpret_cast<const char*>(&date), 8));

  TDAParams back;
  back.CreateParam(ftString, "kept", ptInput)->SetAsString("old");
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  try {
    TReader(stream).ReadCollection(back);
    FAIL() << "no error";
  } catch (const EReadError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Invalid property value: ", 0), 0u) << e.what();
  }
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back.Items(0)->Name(), "kept");
  EXPECT_EQ(back.Items(0)->AsString(), "old");
}

}  // namespace
}  // namespace dac::test
