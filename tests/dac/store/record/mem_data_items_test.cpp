// Items of the in-memory record set: bookmarks whose item went away or was
// reused (under ASan), numbering on an insert at the front (which writes no
// other item), rows that a fetch links in, filtered and fetched on demand, and
// walks that read each shown row across chunks of the order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/dac/store/test_mem_data.h"

namespace dac {
namespace {

using testing::Row;
using testing::TTestMemData;

int32_t CurrentValue(TTestMemData& d) { return d.Value(d.GetCurrentItem(), 1).AsInt32(); }

TEST(MemDataItems, BookmarksNeverLandOnAFreedOrReusedItem) {
  TTestMemData d({{"V", dtInteger, 4}, {"T", dtExtString, kReferenceSlotSize}, {"M", dtMemo, kReferenceSlotSize}});
  d.Open();
  // Texts beyond the heap's pages and blobs: what closing must release.
  for (int i = 1; i <= 30; ++i) d.Append({i, std::string(i % 2 ? 3000 : 5, 'x'), "memo"});

  // Rows 1 to 10 filled the first block: deleting them returns it to the heap.
  d.SetRecordNo(5);
  TRecBookmark freed;
  d.GetBookmark(&freed);
  d.SetRecordNo(1);
  for (int i = 0; i < 10; ++i) d.DeleteRecord();
  EXPECT_FALSE(d.GetBlockMan().IsLiveItem(freed.Item));
  EXPECT_TRUE(d.BookmarkValid(&freed));
  d.SetToBookmark(&freed);
  EXPECT_EQ(CurrentValue(d), 15);  // by its number

  // A new row takes the item of the one just deleted.
  d.SetRecordNo(10);
  TRecBookmark reused;
  d.GetBookmark(&reused);
  d.DeleteRecord();
  d.Append({99, "new", "memo"});
  ASSERT_EQ(d.GetCurrentItem(), reused.Item);
  TRecBookmark fresh;
  d.GetBookmark(&fresh);
  EXPECT_NE(d.CompareBookmarks(&reused, &fresh), 0);
  d.SetToBookmark(&reused);
  EXPECT_EQ(CurrentValue(d), 21);
  d.SetToBookmark(&fresh);
  EXPECT_EQ(CurrentValue(d), 99);

  // Another generation of data: by number only.
  d.SetRecordNo(3);
  TRecBookmark before_reopen;
  d.GetBookmark(&before_reopen);
  d.source = {{Variant(7)}, {Variant(8)}, {Variant(9)}};
  d.Reopen();
  d.SetToBookmark(&before_reopen);
  EXPECT_EQ(CurrentValue(d), 9);
}

TEST(MemDataItems, InsertAtTheFrontTouchesNoOtherItem) {
  TTestMemData d({{"V", dtInteger, 4}});
  d.Open();
  for (int i = 1; i <= 100; ++i) d.Append({i});
  std::vector<PItemHeader> items;
  std::vector<TItemHeader> headers;
  for (PItemHeader item = d.GetFirstItem(); item; item = d.NextItem(item)) {
    items.push_back(item);
    headers.push_back(*item);
  }
  d.SetToBegin();
  void* rec = nullptr;
  d.AllocRecBuf(rec);
  testing::FillRecord(d, rec, {0});
  d.InsertRecord(rec);
  d.FreeRecBuf(rec);

  EXPECT_EQ(d.NextItem(d.GetFirstItem()), items.front());
  for (size_t i = 0; i < items.size(); ++i) {
    ASSERT_EQ(std::memcmp(items[i], &headers[i], sizeof(TItemHeader)), 0) << i;
  }
  int n = 0;
  for (d.SetToBegin(), d.GetNextRecord(nullptr); !d.GetEOF(); d.GetNextRecord(nullptr)) {
    ASSERT_EQ(d.GetRecordNo(), ++n);
    ASSERT_EQ(CurrentValue(d), n - 1);
  }
  EXPECT_EQ(d.GetRecordCount(), 101);
}

TEST(MemDataItems, FetchedRowsAreFilteredAndFetchedOnDemand) {
  TTestMemData d({{"V", dtInteger, 4}});
  for (int i = 1; i <= 50; ++i) d.source.push_back({Variant(i)});
  d.fetch_all = false;
  // Only the even rows show; the filter holds while the rows come in.
  d.SetFilterFunc([](void* rec) { return LoadAt<int32_t>(rec) % 2 == 0; });
  d.Open();
  EXPECT_EQ(d.GetRecordCount(), 3);  // 2, 4, 6 of the first block
  d.SetRecordNo(20);
  EXPECT_EQ(CurrentValue(d), 40);
  EXPECT_EQ(d.GetRecordNo(), 20);
  EXPECT_EQ(d.GetRecordCount(), 21);  // six blocks: rows 1 to 42
  d.SetRecordNo(25);
  EXPECT_EQ(CurrentValue(d), 50);
  d.SetRecordNo(26);
  EXPECT_EQ(CurrentValue(d), 50);  // there is no 26th row
  d.SetFilterFunc(nullptr);
  d.FilterUpdated();
  EXPECT_EQ(d.GetRecordCount(), 50);
  d.SetRecordNo(50);
  EXPECT_EQ(d.GetRecordNo(), 50);
}

TEST(MemDataItems, WalksReadEveryShownRowAcrossChunksBothWays) {
  // Enough rows for several chunks of the order; deletes leave chunks of
  // different fill and a filter hides rows, also at chunk ends.
  TTestMemData d({{"V", dtInteger, 4}, {"S", dtString, 9, 8}});
  for (int i = 0; i < 3000; ++i) d.source.push_back({Variant(i), Variant(std::to_string(i))});
  d.fetch_rows = 25;
  d.Open();
  for (int no = 1400; no >= 1; no -= 3) {
    d.SetRecordNo(no);
    d.DeleteRecord();
  }
  const auto shown = [](int32_t v) { return v % 5 != 0 && v % 512 != 511 && (v < 2000 || v > 2600); };
  d.SetFilterFunc([&](void* rec) { return shown(LoadAt<int32_t>(rec)); });
  d.FilterUpdated();
  // The model: the deleted rows are those the numbers named, counted before the filter.
  std::vector<int32_t> all;
  for (int i = 0; i < 3000; ++i) all.push_back(i);
  for (int no = 1400; no >= 1; no -= 3) all.erase(all.begin() + (no - 1));
  std::vector<int32_t> expected;
  for (int32_t v : all) {
    if (shown(v)) expected.push_back(v);
  }
  ASSERT_EQ(d.GetRecordCount(), static_cast<int>(expected.size()));

  void* rec = nullptr;
  d.AllocRecBuf(rec);
  const auto read = [&](std::vector<int32_t>& seen, std::vector<int>& numbers) {
    int32_t v = 0;
    char text[9];
    bool blank = true;
    d.GetField(1, rec, &v, sizeof v, blank);
    EXPECT_FALSE(blank);
    d.GetField(2, rec, text, sizeof text, blank);
    EXPECT_EQ(std::string(text), std::to_string(v));
    seen.push_back(v);
    numbers.push_back(d.GetRecordNo());
  };
  std::vector<int32_t> forward;
  std::vector<int> forward_numbers;
  for (d.SetToBegin(), d.GetNextRecord(rec); !d.GetEOF(); d.GetNextRecord(rec)) read(forward, forward_numbers);
  EXPECT_EQ(forward, expected);
  std::vector<int32_t> backward;
  std::vector<int> backward_numbers;
  for (d.SetToEnd(), d.GetPriorRecord(rec); !d.GetBOF(); d.GetPriorRecord(rec)) read(backward, backward_numbers);
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(backward, expected);
  for (size_t i = 0; i < forward_numbers.size(); ++i) ASSERT_EQ(forward_numbers[i], static_cast<int>(i) + 1);
  std::reverse(backward_numbers.begin(), backward_numbers.end());
  EXPECT_EQ(backward_numbers, forward_numbers);
  d.FreeRecBuf(rec);
}

}  // namespace
}  // namespace dac
