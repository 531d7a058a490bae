// Blob fields of a record buffer through TData: the object behind a field,
// null marking, and the 8-bit view of a Unicode blob read into buffers of
// exactly the requested size (so that the sanitizer build sees any overrun).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dac/framework/classes/exceptions.h"
#include "tests/dac/store/test_mem_data.h"

namespace dac {
namespace {

class BlobAccessTest : public ::testing::Test {
 protected:
  BlobAccessTest() {
    d.Open();
    d.AllocRecBuf(rec);
    d.InitRecord(rec);
    d.CreateComplexFields(rec, true);
  }
  ~BlobAccessTest() override {
    d.FreeComplexFields(rec, true);
    d.FreeRecBuf(rec);
  }
  std::string Read(uint16_t field_no, uint32_t position, uint32_t count, bool raw = false) {
    // Exactly count bytes of room (the whole 8-bit size for count 0).
    const uint32_t room = count ? count : d.GetBlobSize(field_no, rec, false, raw);
    std::unique_ptr<char[]> buffer(new char[room]);
    const uint32_t n = d.ReadBlob(field_no, rec, position, count, buffer.get(), false, raw);
    return std::string(buffer.get(), n);
  }

  testing::TTestMemData d{{{"I", dtInteger, 4}, {"M", dtMemo, 8}, {"W", dtWideMemo, 8}}};
  void* rec = nullptr;
};

TEST_F(BlobAccessTest, ObjectsBehindFields) {
  for (auto access : {+[](TData& d, void* r) { d.GetObject(1, r); }, +[](TData& d, void* r) { d.SetObject(1, r, nullptr); }}) {
    try {
      access(d, rec);
      FAIL();
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Field is not BLOB");
    }
  }
  TSharedObject* memo = d.GetObject(2, rec);
  d.SetObject(2, rec, nullptr);
  try {
    d.GetObject(2, rec);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Object for field M(2) = nil");
  }
  d.SetObject(2, rec, memo);
  EXPECT_EQ(d.GetObject(2, rec), memo);
}

TEST_F(BlobAccessTest, NullMarking) {
  EXPECT_TRUE(d.GetNull(2, rec));
  d.WriteBlob(2, rec, 0, 5, "hello");
  EXPECT_FALSE(d.GetNull(2, rec));
  EXPECT_EQ(d.GetBlobSize(2, rec), 5u);
  EXPECT_EQ(d.GetBlobSize(2, rec, true), 0u);  // the rollback copy from before the write
  StoreAt<uint8_t>(rec, static_cast<size_t>(d.GetDataSize()) + 1, 1);  // null, with the content still there
  EXPECT_EQ(d.GetBlobSize(2, rec), 0u);
  d.SetBlobSize(2, rec, 7);
  EXPECT_FALSE(d.GetNull(2, rec));
  EXPECT_EQ(Read(2, 0, 0), std::string("hello\0\0", 7));
  d.TruncateBlob(2, rec, 0);
  EXPECT_TRUE(d.GetNull(2, rec));
}

TEST_F(BlobAccessTest, EightBitViewOfAUnicodeBlob) {
  d.WriteBlob(3, rec, 0, 5, "h\xE9llo");
  EXPECT_EQ(d.GetBlobSize(3, rec), 5u);
  EXPECT_EQ(d.GetBlobSize(3, rec, false, true), 10u);
  EXPECT_EQ(Read(3, 1, 3), "\xE9ll");
  EXPECT_EQ(Read(3, 2, 0), "llo");
  EXPECT_EQ(Read(3, 9, 3), "");
  EXPECT_EQ(Read(3, 0, 4, true), std::string("h\0\xE9\0", 4));
  d.WriteBlob(3, rec, 4, 2, "!?");
  EXPECT_EQ(Read(3, 0, 0), "h\xE9ll!?");
  d.TruncateBlob(3, rec, 2);
  EXPECT_EQ(Read(3, 0, 0), "h\xE9");
  d.SetBlobSize(3, rec, 4);
  EXPECT_EQ(d.GetBlobSize(3, rec, false, true), 8u);
  d.SetBlobSize(3, rec, 1);
  EXPECT_EQ(Read(3, 0, 0), "h");
}

// A blob left alone by the first edit of a row and changed by the second
// still comes back on cancel.
TEST(CachedUpdatesBlobs, EveryEditHandsTheOldContentToTheRollback) {
  testing::TTestMemData d({{"I", dtInteger, 4}, {"M", dtMemo, 8}});
  d.source = {{Variant(int32_t{1}), Variant("old")}};
  d.Open();
  d.SetCachedUpdates(true);
  d.SetToBegin();
  d.GetNextRecord(nullptr);
  auto edit = [&](uint16_t field_no, const Variant& value) {
    void* rec = nullptr;
    d.AllocRecBuf(rec);
    d.GetRecord(rec);
    d.EditRecord(rec);
    d.PutFieldAsVariant(field_no, rec, value);
    d.PostRecord(rec);
    d.FreeRecBuf(rec);
  };
  edit(1, Variant(int32_t{2}));
  edit(2, Variant("new"));
  EXPECT_EQ(d.Value(d.GetCurrentItem(), 2).AsString(), "new");
  d.CancelUpdates();
  EXPECT_EQ(d.Value(d.GetCurrentItem(), 2).AsString(), "old");
  edit(2, Variant("newer"));
  d.CommitUpdates();  // the copy of "old" goes with the rollback
  EXPECT_EQ(d.Value(d.GetCurrentItem(), 2).AsString(), "newer");
}

TEST(CachedUpdatesSwitch, OnShowsTheDefaultItemTypesOffCancels) {
  testing::TTestMemData d({{"I", dtInteger, 4}});
  d.source = {{Variant(int32_t{1})}, {Variant(int32_t{2})}};
  d.Open();
  d.SetFilterItemTypes({isDeleted});
  d.SetCachedUpdates(true);
  EXPECT_TRUE(d.GetFilterItemTypes() == TItemTypes({isUnmodified, isUpdated, isAppended}));
  d.SetToBegin();
  d.GetNextRecord(nullptr);
  d.DeleteRecord();
  d.SetFilterItemTypes({isDeleted});
  EXPECT_EQ(d.GetRecordCount(), 1);
  d.SetCachedUpdates(false);  // the delete is undone and every row shows again
  EXPECT_EQ(d.GetRecordCount(), 2);
  EXPECT_FALSE(d.GetUpdatesPending());
}

}  // namespace
}  // namespace dac
