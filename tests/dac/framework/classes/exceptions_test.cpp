#include "dac/framework/classes/exceptions.h"

#include <gtest/gtest.h>

#include "dac/framework/classes/meta_class.h"

namespace dac {
namespace {

TEST(Assertion, ThrowsNamingTextUnitAndLine) {
  try {
    DAC_ASSERT(1 + 1 == 3, "Sum failed");
    FAIL() << "no exception";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Sum failed");
    EXPECT_EQ(e.Unit(), "exceptions_test.cpp");
    EXPECT_GT(e.Line(), 0);
    EXPECT_EQ(e.Message(), "Sum failed (exceptions_test.cpp, line " + std::to_string(e.Line()) + ")");
  }
  EXPECT_NO_THROW(DAC_ASSERT(true, "never"));
  // Every library error is an Exception and a std::exception.
  EXPECT_THROW(DAC_ASSERT(false, ""), Exception);
  EXPECT_THROW(throw EConvertError("x"), std::exception);
}

TEST(Excerpt, QuotesShortTextWholeAndLongTextByItsStart) {
  EXPECT_EQ(Excerpt(""), "");
  EXPECT_EQ(Excerpt(std::string(64, 'a')), std::string(64, 'a'));
  EXPECT_EQ(Excerpt(std::string(65, 'a')), std::string(64, 'a') + "...");
  EXPECT_EQ(Excerpt(std::string(1 << 20, 'b')), std::string(64, 'b') + "...");
}

TEST(Format, BuildsMessagesOfAnyLength) {
  EXPECT_EQ(Format("'%d.%d' is not a valid timestamp", 0, -1), "'0.-1' is not a valid timestamp");
  const std::string long_text(5000, 'x');
  EXPECT_EQ(Format("<%s>", long_text.c_str()).size(), 5002u);
}

// A small tree of classes, and a "foreign" metaclass with the same name as
// one of them, standing for the same class from another module.
class TAnimal : public TObject {
  DAC_DECLARE_CLASS();
};
class TDog : public TAnimal {
  DAC_DECLARE_CLASS();
};
DAC_DEFINE_CLASS(TAnimal, TObject, TMetaClassOf<TAnimal>)
DAC_DEFINE_CLASS(TDog, TAnimal, TMetaClassOf<TDog>)

TEST(MetaClass, NamesParentsAndCreation) {
  EXPECT_EQ(TDog::ClassInfo().ClassName(), "TDog");
  EXPECT_EQ(TDog::ClassInfo().ClassParent(), &TAnimal::ClassInfo());
  const TMetaClass& cls = TDog::ClassInfo();
  std::unique_ptr<TObject> made(cls.Create());
  EXPECT_EQ(made->ClassName(), "TDog");
  EXPECT_TRUE(made->InheritsFrom(TAnimal::ClassInfo()));
  EXPECT_FALSE(TAnimal().InheritsFrom(TDog::ClassInfo()));
  TMetaClass abstract("TAbstract", &TObject::ClassInfo());
  EXPECT_THROW(abstract.Create(), NotSupportedException);
}

TEST(MetaClass, IsClassComparesNamesUpTheChain) {
  TDog dog;
  const TMetaClass foreign_animal("TAnimal", &TObject::ClassInfo());
  const TMetaClass foreign_cat("TCat", &TObject::ClassInfo());
  EXPECT_TRUE(IsClass(&dog, foreign_animal));
  EXPECT_TRUE(IsClass(&dog, TObject::ClassInfo()));
  EXPECT_FALSE(IsClass(&dog, foreign_cat));
  EXPECT_FALSE(IsClass(nullptr, TObject::ClassInfo()));
  const TMetaClass lower_case("tanimal", nullptr);
  EXPECT_FALSE(IsClass(&dog, lower_case));
}

}  // namespace
}  // namespace dac
