#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dac/framework/classes/component.h"
#include "dac/framework/data/filer.h"
#include "dac/framework/data/params.h"
#include "tests/dac/framework/error_text.h"

namespace dac {
namespace {

// A component that files a parameter collection, a binary blob and a few
// plain values, and notes when it was loaded.
class Filed : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  explicit Filed(TComponent* owner) : TComponent(owner), params(this) {}
  void DefineProperties(TFiler& filer) override {
    TComponent::DefineProperties(filer);
    filer.DefineProperty(
        "ParamData", [this](TReader& r) { r.ReadCollection(params); },
        [this](TWriter& w) { w.WriteCollection(params); }, params.Count() > 0);
    filer.DefineBinaryProperty(
        "Data",
        [this](TStream& s) {
          blob.resize(static_cast<size_t>(s.GetSize()));
          s.ReadBuffer(blob.data(), s.GetSize());
        },
        [this](TStream& s) { s.WriteBuffer(blob.data(), static_cast<int64_t>(blob.size())); }, !blob.empty());
    filer.DefineProperty(
        "Count", [this](TReader& r) { count = r.ReadInteger(); }, [this](TWriter& w) { w.WriteInteger(count); },
        count != 0);
    filer.DefineProperty(
        "Flag", [this](TReader& r) { flag = r.ReadBoolean(); }, [this](TWriter& w) { w.WriteBoolean(flag); }, flag);
  }
  void Loaded() override {
    TComponent::Loaded();
    loaded = true;
  }

  TParams params;
  std::string blob;
  int32_t count = 0;
  bool flag = false;
  bool loaded = false;
};
DAC_DEFINE_CLASS(Filed, TComponent, ::dac::TComponentClassOf<Filed>)

std::vector<Variant> EveryKind() {
  return {Variant::Null(),
          Variant(true),
          Variant(int8_t{-8}),
          Variant(int16_t{-16}),
          Variant(-32),
          Variant(int64_t{-64}),
          Variant(uint8_t{8}),
          Variant(uint16_t{16}),
          Variant(uint32_t{32}),
          Variant(uint64_t{64}),
          Variant(1.5f),
          Variant(2.5),
          Variant(Currency::FromRaw(12345)),
          Variant::FromDateTime(38051.25),
          Variant("text"),
          Variant(u"wide \u00e9"),
          Variant(TBytes{0, 1, 255}),
          Variant(StrToBcd("-12.345")),
          Variant(std::vector<Variant>{Variant(1), Variant("a"), Variant::Null(), Variant()})};
}

std::string Written(Filed& source) {
  TMemoryStream stream;
  TWriter writer(stream);
  writer.WriteComponent(source);
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

void Read(Filed& target, const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  TReader reader(stream);
  reader.ReadComponent(target);
}

class Filing : public ::testing::Test {
 protected:
  Filing() : source_(MakeComponent<Filed>(nullptr)), target_(MakeComponent<Filed>(nullptr)) {
    source_->SetName("Query1");
    int n = 0;
    for (const Variant& value : EveryKind()) {
      TParam* param = source_->params.CreateParam(ftUnknown, "P" + std::to_string(n++), ptInput);
      param->SetValue(value);
    }
    // A second of one name, with a value of its own.
    TParam* same = source_->params.CreateParam(ftInteger, "p0", ptOutput);
    same->SetName("");
    same->ParamRef();
    same->SetName("p0");
    same->SetPrecision(10);
    same->SetValue(Variant(99));
    source_->blob = std::string("\0\1\2", 3);
    source_->count = -70000;
    source_->flag = true;
  }
  ~Filing() override {
    source_->Free();
    target_->Free();
  }
  Filed* source_;
  Filed* target_;
};

TEST_F(Filing, AComponentRoundTripsWithItsCollection) {
  target_->params.CreateParam(ftString, "old", ptInput);
  Read(*target_, Written(*source_));
  EXPECT_EQ(target_->Name(), "Query1");
  EXPECT_TRUE(target_->loaded);
  EXPECT_TRUE(target_->ComponentState().Empty());
  EXPECT_EQ(target_->blob, source_->blob);
  EXPECT_EQ(target_->count, -70000);
  EXPECT_TRUE(target_->flag);
  ASSERT_EQ(target_->params.Count(), source_->params.Count());
  for (int i = 0; i < source_->params.Count(); ++i) {
    TParam* want = source_->params.Items(i);
    TParam* got = target_->params.Items(i);
    SCOPED_TRACE(want->Name());
    EXPECT_EQ(got->Name(), want->Name());
    EXPECT_EQ(got->DataType(), want->DataType());
    EXPECT_EQ(got->ParamType(), want->ParamType());
    EXPECT_EQ(got->Precision(), want->Precision());
    EXPECT_EQ(got->Value().Type(), want->Value().Type());
    EXPECT_TRUE(got->Value() == want->Value());
  }
  // A filed value is the parameter's own, even beside one of the same name.
  EXPECT_TRUE(target_->params.ParamByName("P0")->IsNull());
  EXPECT_EQ(target_->params.Items(target_->params.Count() - 1)->AsInteger(), 99);
}

TEST_F(Filing, EveryTruncationRaisesAndACollectionIsReadWholeOrNotAtAll) {
  const std::string bytes = Written(*source_);
  for (size_t size = 0; size < bytes.size(); ++size) {
    SCOPED_TRACE(size);
    target_->params.Clear();
    target_->params.CreateParam(ftString, "kept", ptInput)->SetAsString("value");
    EXPECT_THROW(Read(*target_, bytes.substr(0, size)), EReadError);
    EXPECT_FALSE(target_->ComponentState().Contains(csLoading));
    if (target_->params.Count() == 1) {
      EXPECT_EQ(target_->params.Items(0)->AsString(), "value");
    } else {
      EXPECT_EQ(target_->params.Count(), source_->params.Count());
    }
  }
}

TEST_F(Filing, MalformedStreamsRaiseClearErrors) {
  const std::string bytes = Written(*source_);
  auto with = [&](size_t at, char byte) {
    std::string changed = bytes;
    changed[at] = byte;
    return ErrorOf([&] { Read(*target_, changed); });
  };
  EXPECT_EQ(with(0, 'X'), "Invalid stream format");
  const size_t count_at = bytes.find("Count");
  EXPECT_EQ(with(count_at, 'N'), "Property Nount does not exist");
  EXPECT_EQ(with(count_at + 5, char{vaString}), "Invalid property value");
  EXPECT_EQ(with(count_at + 5, char{99}), "Invalid stream format");
  const size_t length_at = bytes.find("\x04" "Data") + 6;  // the blob's 32-bit length
  EXPECT_EQ(with(length_at + 3, char{0x7f}), "Stream read error");
  const size_t type_at = bytes.find("DataType") + 8;  // vaInt8, then the type
  EXPECT_EQ(with(type_at + 1, char{60}), "Invalid property value");
}

std::string WrittenVariant(const Variant& value) {
  TMemoryStream stream;
  TWriter(stream).WriteVariant(value);
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

Variant ReadVariant(const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  return TReader(stream).ReadVariant();
}

Variant Nested(int depth) {
  Variant value(1);
  for (int i = 0; i < depth; ++i) value = Variant(std::vector<Variant>{value});
  return value;
}

// An array of one element, depth times over, around a final byte.
std::string NestedBytes(int depth, uint32_t count, const std::string& end) {
  std::string bytes;
  for (int i = 0; i < depth; ++i) {
    bytes += char{vaArray};
    bytes.append(reinterpret_cast<const char*>(&count), sizeof count);
  }
  return bytes + end;
}

TEST(VariantFiling, ArraysNestAtMostSixtyFourDeepBothWays) {
  const std::string deepest = WrittenVariant(Nested(64));
  EXPECT_EQ(WrittenVariant(ReadVariant(deepest)), deepest);
  EXPECT_EQ(ErrorOf([] { WrittenVariant(Nested(65)); }), "Variant arrays nest deeper than 64 levels");
  // Far deeper than any stack could follow: refused at the limit, in one piece.
  const std::string hostile = NestedBytes(100000, 1, std::string(1, char{vaNull}));
  EXPECT_EQ(ErrorOf([&] { ReadVariant(hostile); }), "Variant arrays nest deeper than 64 levels");
  EXPECT_THROW(ReadVariant(hostile), EReadError);
}

TEST(VariantFiling, ArraysHoldOnlyTheElementsTheStreamHas) {
  // Each level claims as many elements as bytes remain: nothing is held
  // for elements that never come, and the end of the stream is the error.
  const std::string claiming = NestedBytes(60, 4000, std::string(4000, char{vaNull}));
  EXPECT_EQ(ErrorOf([&] { ReadVariant(claiming); }), "Stream read error");
  EXPECT_EQ(ErrorOf([] { ReadVariant(NestedBytes(1, 10, "")); }), "Stream read error");
}

TEST(VariantFiling, SinglesKeepEveryBitNaNsIncluded) {
  for (uint32_t bits : {0x7fa00001u, 0xff8803f8u, 0x7fc00000u, 0x80000000u, 0x3f800000u}) {
    float single = 0;
    std::memcpy(&single, &bits, sizeof single);
    const std::string written = WrittenVariant(Variant(single));
    EXPECT_EQ(WrittenVariant(ReadVariant(written)), written) << std::hex << bits;
    const float back = ReadVariant(written).AsSingle();
    EXPECT_EQ(std::memcmp(&back, &single, sizeof back), 0) << std::hex << bits;
  }
}

}  // namespace
}  // namespace dac
