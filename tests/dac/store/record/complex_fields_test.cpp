// The values record buffers refer to: created, shared between record copies,
// copied and released, with no leak and no double release (ASan/LSan).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data.h"
#include "dac/store/runtime/unaligned.h"
#include "tests/dac/store/test_record_set.h"

namespace dac {
namespace {

using testing::TTestData;

class ComplexFields : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.columns = {{"ID", dtInteger, 4},
                     {"M", dtMemo, kReferenceSlotSize},
                     {"WM", dtWideMemo, kReferenceSlotSize},
                     {"V", dtVariant, kReferenceSlotSize},
                     {"ES", dtExtString, kReferenceSlotSize},
                     {"EVB", dtExtVarBytes, kReferenceSlotSize},
                     {"EWS", dtExtWideString, kReferenceSlotSize},
                     {"CALC", dtVariant, kReferenceSlotSize, 0, 0, false, fdkCalculated}};
    data_.Init();
  }

  void* NewRecord(bool with_blob) {
    void* buf = nullptr;
    data_.AllocRecBuf(buf);
    data_.InitRecord(buf);
    data_.CreateComplexFields(buf, with_blob);
    return buf;
  }
  void* CopyOf(void* source) {
    void* buf = nullptr;
    data_.AllocRecBuf(buf);
    std::memcpy(buf, source, static_cast<size_t>(data_.GetRecordSize()));
    return buf;
  }
  void Fill(void* buf) {
    Put(buf, "M", Variant("memo"));
    Put(buf, "WM", Variant(u"wide"));
    Put(buf, "V", Variant("variant"));
    Put(buf, "ES", Variant("heap"));
    Put(buf, "EVB", Variant(TBytes{1, 2, 3}));
    Put(buf, "EWS", Variant(u"heap wide"));
  }
  void Put(void* buf, const char* name, const Variant& value) {
    data_.PutFieldAsVariant(data_.FieldByName(name)->GetFieldNo(), buf, value);
  }
  Variant Get(void* buf, const char* name) {
    Variant value;
    data_.GetFieldAsVariant(data_.FieldByName(name)->GetFieldNo(), buf, value);
    return value;
  }
  template <typename T = TSharedObject>
  T* Object(void* buf, const char* name) {
    return dynamic_cast<T*>(TSharedObject::FromGCHandle(LoadAt<void*>(buf, data_.FieldByName(name)->GetOffset())));
  }
  void* Pointer(void* buf, const char* name) { return LoadAt<void*>(buf, data_.FieldByName(name)->GetOffset()); }

  TTestData data_;
};

TEST_F(ComplexFields, CreatedPerType) {
  EXPECT_TRUE(data_.GetHasComplexFields());
  EXPECT_TRUE(data_.HasBlobFields());
  EXPECT_TRUE(data_.HasFields({dtExtWideString, dtBCD}));
  EXPECT_FALSE(data_.HasFields({dtBCD}));
  void* buf = NewRecord(true);
  auto* memo = Object<TBlob>(buf, "M");
  ASSERT_NE(memo, nullptr);
  EXPECT_FALSE(memo->IsUnicode());
  EXPECT_TRUE(Object<TBlob>(buf, "WM")->IsUnicode());
  memo->SetAsString("a");
  memo->SetAsString("b");
  EXPECT_TRUE(memo->CanRollback());  // made with rollback enabled
  EXPECT_NE(Object<TVariantObject>(buf, "V"), nullptr);
  EXPECT_EQ(Pointer(buf, "ES"), nullptr);
  data_.FreeComplexFields(buf, true);
  data_.FreeComplexFields(buf, true);  // the slots were cleared: nothing is released twice
  data_.FreeRecBuf(buf);

  void* without_blobs = NewRecord(false);
  EXPECT_EQ(Object(without_blobs, "M"), nullptr);
  EXPECT_NE(Object(without_blobs, "V"), nullptr);
  data_.FreeComplexFields(without_blobs, true);
  data_.FreeRecBuf(without_blobs);
}

TEST_F(ComplexFields, SharedBetweenRecordCopies) {
  void* first = NewRecord(true);
  Fill(first);
  void* second = CopyOf(first);
  data_.AddRefComplexFields(second);
  EXPECT_EQ(Object(first, "M")->RefCount(), 2);
  EXPECT_EQ(Object(first, "V")->RefCount(), 2);
  EXPECT_EQ(TStringHeap::RefCountOf(Pointer(first, "ES")), 102);
  EXPECT_EQ(TStringHeap::RefCountOf(Pointer(first, "EVB")), 102);

  data_.FreeComplexFields(first, true);
  data_.FreeRecBuf(first);
  EXPECT_TRUE(Get(second, "M") == Variant("memo"));
  EXPECT_TRUE(Get(second, "ES") == Variant("heap"));
  EXPECT_TRUE(Get(second, "EWS") == Variant(u"heap wide"));
  EXPECT_EQ(Object(second, "M")->RefCount(), 1);
  EXPECT_EQ(TStringHeap::RefCountOf(Pointer(second, "EWS")), 101);
  data_.FreeComplexFields(second, true);
  data_.FreeRecBuf(second);
}

TEST_F(ComplexFields, CopiesOwnTheirValuesButShareBlobs) {
  void* source = NewRecord(true);
  Fill(source);
  // An edit copy: the stored record's bytes, new holders, then copies of the values.
  void* edit = CopyOf(source);
  data_.CreateComplexFields(edit, false);
  data_.CopyComplexFields(source, edit, false);
  EXPECT_EQ(Pointer(edit, "M"), Pointer(source, "M"));
  EXPECT_NE(Pointer(edit, "V"), Pointer(source, "V"));
  EXPECT_NE(Pointer(edit, "ES"), Pointer(source, "ES"));
  EXPECT_NE(Pointer(edit, "EVB"), Pointer(source, "EVB"));
  EXPECT_TRUE(Get(edit, "V") == Variant("variant"));
  EXPECT_TRUE(Get(edit, "EVB") == Variant(TBytes{1, 2, 3}));
  Put(edit, "ES", Variant("changed"));
  Put(edit, "V", Variant(int32_t{5}));
  EXPECT_TRUE(Get(source, "ES") == Variant("heap"));
  EXPECT_TRUE(Get(source, "V") == Variant("variant"));
  EXPECT_THROW(data_.CopyComplexFields(source, edit, true), EAssertionFailed);

  // An absent byte buffer stays absent.
  data_.PutFieldData(data_.FieldByName("EVB"), source, nullptr);
  data_.FreeComplexFields(edit, false);
  std::memcpy(edit, source, static_cast<size_t>(data_.GetRecordSize()));
  data_.CreateComplexFields(edit, false);
  data_.CopyComplexFields(source, edit, false);
  EXPECT_EQ(Pointer(edit, "EVB"), nullptr);

  data_.FreeComplexFields(edit, false);  // the shared blobs stay with the source
  data_.FreeRecBuf(edit);
  EXPECT_EQ(Object(source, "M")->RefCount(), 1);
  data_.FreeComplexFields(source, true);
  data_.FreeRecBuf(source);
}

TEST_F(ComplexFields, MissingSharedObjectIsNamed) {
  void* buf = NewRecord(false);
  try {
    data_.AddRefComplexFields(buf);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Shared object for M=nil");
  }
  data_.FreeComplexFields(buf, true);
  data_.FreeRecBuf(buf);
}

TEST_F(ComplexFields, ClearedHeapIsNotDisposedInto) {
  void* buf = NewRecord(true);
  Fill(buf);
  data_.GetStringHeap().Clear();
  data_.FreeComplexFields(buf, true);
  EXPECT_EQ(Pointer(buf, "ES"), nullptr);
  data_.FreeRecBuf(buf);
}

}  // namespace
}  // namespace dac
