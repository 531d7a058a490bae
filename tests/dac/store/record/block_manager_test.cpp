// Items in blocks: the allocator's states, its guards against bad frees, and
// a long random run against a model.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/block_manager.h"

namespace dac {
namespace {

int BlockCount(const TBlockManager& manager) {
  int n = 0;
  for (PBlockHeader b = manager.GetFirstBlock(); b; b = b->Next) ++n;
  return n;
}

int FreeCount(const TBlockManager& manager) {
  int n = 0;
  for (PItemHeader i = manager.GetFirstFree(); i; i = manager.NextFree(i)) ++n;
  return n;
}

// The assertion a bad free raises names this unit.
void ExpectAssertion(const std::function<void()>& action) {
  try {
    action();
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(e.Unit().find("block_manager"), std::string::npos) << e.Message();
    EXPECT_GT(e.Line(), 0);
  }
}

TEST(BlockManager, BlocksComeAndGo) {
  TBlockManager manager;
  manager.SetRecordSize(13);
  std::vector<PItemHeader> items(11);
  for (PItemHeader& item : items) manager.AllocItem(item);
  EXPECT_EQ(BlockCount(manager), 2);
  EXPECT_EQ(FreeCount(manager), 9);
  // The 11th came from a fresh block: its last item is handed out first.
  EXPECT_EQ(items[10], manager.BlockItem(manager.BlockOf(items[10]), 9));
  EXPECT_EQ(manager.BlockOf(items[10])->UsedItems, 1);
  manager.FreeItem(items[10]);
  EXPECT_EQ(BlockCount(manager), 1);
  EXPECT_EQ(FreeCount(manager), 0);

  items[3]->Status = isDeleted;
  items[3]->UpdateResult = urSkip;
  items[3]->Link = 7;
  items[3]->FilterResult = fsOmitted;
  manager.InitItem(items[3]);
  EXPECT_TRUE(items[3]->Status == isUnmodified && items[3]->UpdateResult == urNone);
  EXPECT_TRUE(items[3]->Link == 7 && items[3]->FilterResult == fsOmitted);
  for (int i = 0; i < 10; ++i) manager.FreeItem(items[i]);
  EXPECT_EQ(manager.GetFirstBlock(), nullptr);
  EXPECT_EQ(manager.GetFirstFree(), nullptr);
}

TEST(BlockManager, RecordsOfNoBytesAndOfSome) {
  TBlockManager manager;
  PItemHeader a = nullptr;
  PItemHeader b = nullptr;
  manager.AllocItem(a);
  manager.AllocItem(b);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(b) - reinterpret_cast<uint8_t*>(a), -int(sizeof(TItemHeader)));
  manager.FreeAllBlock();
  manager.SetRecordSize(5);
  manager.AllocItem(a);
  manager.AllocItem(b);
  manager.PutRecord(a, "abcd");
  manager.CopyRecord(a, b);
  EXPECT_STREQ(static_cast<const char*>(TBlockManager::GetRecordPtr(b)), "abcd");
  EXPECT_THROW(manager.SetRecordSize(7), EAssertionFailed);
}

TEST(BlockManager, BlocksFilledInPlace) {
  TBlockManager manager;
  manager.SetRecordSize(3);
  PBlockHeader block = nullptr;
  for (int64_t count : {0LL, -1LL, 65536LL, 1LL << 40}) {
    EXPECT_THROW(manager.AllocBlock(block, count), Exception) << count;
  }
  EXPECT_EQ(manager.GetFirstBlock(), nullptr);
  manager.AllocBlock(block, 65535);
  EXPECT_EQ(block->ItemCount, 65535);
  manager.ReleaseUnusedItems(block, 0);
  EXPECT_EQ(manager.GetFirstBlock(), nullptr);

  manager.AllocBlock(block, 25);
  PItemHeader seventh = manager.BlockItem(block, 6);
  EXPECT_TRUE(manager.IsLiveItem(seventh));
  EXPECT_EQ(manager.BlockOf(seventh), block);
  manager.ReleaseUnusedItems(block, 7);
  EXPECT_EQ(block->UsedItems, 7);
  EXPECT_EQ(FreeCount(manager), 18);
  EXPECT_FALSE(manager.IsLiveItem(manager.BlockItem(block, 7)));
  EXPECT_TRUE(manager.IsLiveItem(seventh));
}

TEST(BlockManager, BadFreesAndTheLiveItemCheck) {
  TBlockManager manager;
  TBlockManager other;
  manager.SetRecordSize(9);
  PItemHeader kept = nullptr;
  PItemHeader freed = nullptr;
  PItemHeader foreign = nullptr;
  manager.AllocItem(kept);
  manager.AllocItem(freed);
  other.AllocItem(foreign);
  manager.FreeItem(freed);
  ExpectAssertion([&] { manager.FreeItem(freed); });  // double free, block still there
  ExpectAssertion([&] { manager.FreeItem(foreign); });
  ExpectAssertion([&] { manager.FreeItem(reinterpret_cast<PItemHeader>(TBlockManager::GetRecordPtr(kept))); });
  TItemHeader on_stack{};
  on_stack.Flag = TBlockManager::kItemInUse;
  ExpectAssertion([&] { manager.FreeItem(&on_stack); });

  // The block goes back to the heap with its last item; the stale pointer is refused unread.
  const uint64_t serial = kept->Serial();
  PItemHeader stale = kept;
  manager.FreeItem(kept);
  EXPECT_FALSE(manager.IsLiveItem(stale));
  ExpectAssertion([&] { manager.FreeItem(stale); });

  // A reused item is live again but carries a new serial.
  PItemHeader first = nullptr;
  PItemHeader second = nullptr;
  manager.AllocItem(first);
  manager.AllocItem(second);
  manager.FreeItem(second);
  PItemHeader reused = nullptr;
  manager.AllocItem(reused);
  EXPECT_EQ(reused, second);
  EXPECT_TRUE(manager.IsLiveItem(reused));
  EXPECT_NE(reused->Serial(), serial);
  EXPECT_GT(reused->Serial(), first->Serial());
}

// Random allocations, frees, blocks filled in place and drops of everything,
// checked after every step against the set of items the model holds.
TEST(BlockManager, RandomRunAgainstAModel) {
  TBlockManager manager;
  manager.SetRecordSize(11);
  std::mt19937 random(1811);
  std::map<PItemHeader, uint64_t> in_use;  // item -> the stamp written into its record
  uint64_t stamp = 0;
  auto take = [&](PItemHeader item) {
    ASSERT_EQ(in_use.count(item), 0u);
    ++stamp;
    std::memcpy(TBlockManager::GetRecordPtr(item), &stamp, sizeof stamp);
    in_use[item] = stamp;
  };
  for (int step = 0; step < 10000; ++step) {
    const unsigned action = random() % 100;
    if (action < 50) {
      PItemHeader item = nullptr;
      manager.AllocItem(item);
      take(item);
    } else if (action < 93 && !in_use.empty()) {
      auto it = in_use.begin();
      std::advance(it, static_cast<long>(random() % in_use.size()));
      uint64_t seen = 0;
      std::memcpy(&seen, TBlockManager::GetRecordPtr(it->first), sizeof seen);
      ASSERT_EQ(seen, it->second);
      manager.FreeItem(it->first);
      in_use.erase(it);
    } else if (action < 99) {
      PBlockHeader block = nullptr;
      const int count = 1 + static_cast<int>(random() % 30);
      const int used = static_cast<int>(random() % (count + 1));
      manager.AllocBlock(block, count);
      for (int i = 0; i < used; ++i) take(manager.BlockItem(block, i));
      manager.ReleaseUnusedItems(block, used);
    } else {
      manager.FreeAllBlock();
      in_use.clear();
    }
    int spare = 0;
    size_t used_items = 0;
    for (PBlockHeader b = manager.GetFirstBlock(); b; b = b->Next) {
      ASSERT_GT(b->UsedItems, 0) << "an empty block was kept";
      spare += b->ItemCount - b->UsedItems;
      used_items += b->UsedItems;
    }
    ASSERT_EQ(FreeCount(manager), spare);
    ASSERT_EQ(used_items, in_use.size());
    for (PItemHeader i = manager.GetFirstFree(); i; i = manager.NextFree(i)) ASSERT_EQ(i->Flag, TBlockManager::kItemFree);
    for (const auto& entry : in_use) ASSERT_TRUE(manager.IsLiveItem(entry.first));
  }
}

}  // namespace
}  // namespace dac
