// The rows of an in-memory record set live in items: a header followed by
// RecordSize bytes of record. TBlockManager takes items from the general
// heap in blocks, keeps the free ones on a list, and returns a block to the
// heap as soon as its last item is freed, so no empty block stays cached.
//
// Block layout: the TBlockHeader, then ItemCount items back to back, each
// ItemStride() bytes (header and record, rounded up to the header's
// alignment). Reach a record only through GetRecordPtr.
//
// Only the block manager and the in-memory record set write header fields;
// a fetch that fills a block in place uses AllocBlock, BlockItem and
// ReleaseUnusedItems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "dac/framework/classes/meta_class.h"
#include "dac/store/record/record_set_types.h"

namespace dac {

struct TBlockHeader;

struct TItemHeader {
  TBlockHeader* Block;
  // The owner's item list while in use; the free list while free.
  TItemHeader* Prev;
  TItemHeader* Next;
  // The item holding the record as it was before the first edit (cached updates), or null.
  TItemHeader* Rollback;
  TItemStatus Status;
  TUpdateRecAction UpdateResult;
  // Place among the visible items; the record number is Order plus the
  // record set's offset. 0 for an omitted or not yet numbered item.
  int32_t Order;
  uint8_t Flag;  // TBlockManager::kItemInUse or kItemFree
  TItemFilterState FilterResult;
  // Set on every allocation from a counter of the manager: a bookmark keeps
  // it to tell a reused item from the one it named.
  uint64_t Serial;
};
using PItemHeader = TItemHeader*;

struct TBlockHeader {
  uint16_t ItemCount;
  uint16_t UsedItems;
  TBlockHeader* Prev;
  TBlockHeader* Next;
};
using PBlockHeader = TBlockHeader*;

class TBlockManager : public TObject {
  DAC_DECLARE_CLASS();

 public:
  static constexpr uint8_t kItemInUse = 0xEE;
  static constexpr uint8_t kItemFree = 0xDD;
  static constexpr uint16_t kDefaultItemCount = 10;

  TBlockManager() = default;
  ~TBlockManager() override;  // FreeAllBlock
  TBlockManager(const TBlockManager&) = delete;
  TBlockManager& operator=(const TBlockManager&) = delete;

  // Record bytes per item; the owning record set sets it when it lays out
  // its fields. Changing it while blocks exist is an assertion failure.
  int32_t GetRecordSize() const { return record_size_; }
  void SetRecordSize(int32_t value);
  // Items per block made when the free list runs dry; at least 1.
  uint16_t GetDefaultItemCount() const { return default_item_count_; }
  void SetDefaultItemCount(uint16_t value);

  PBlockHeader GetFirstBlock() const { return first_block_; }
  PItemHeader GetFirstFree() const { return first_free_; }
  // Bytes from one item to the next in a block.
  size_t ItemStride() const;

  // A block of item_count items linked in front of the block list, every
  // item initialised as AllocItem does and counted in use (UsedItems =
  // ItemCount); ReleaseUnusedItems gives back what the caller does not fill.
  // Exception for a count outside 1..65535; std::bad_alloc when the heap is out.
  void AllocBlock(PBlockHeader& block, int64_t item_count);
  // Unlinks the block, takes its free items off the free list and returns
  // its memory. Items of it still in use become invalid.
  void FreeBlock(PBlockHeader block);
  // Returns every block; the free list becomes empty.
  void FreeAllBlock();
  // A block of DefaultItemCount items, all put on the front of the free
  // list from the first to the last, so its last item becomes FirstFree.
  void AddFreeBlock();

  // The item at FirstFree (a new block first when there is none), marked in
  // use: no rollback, unmodified, no update result, Order 0, not checked, a
  // new Serial. Prev and Next are left for the caller to link.
  void AllocItem(PItemHeader& item);
  // Puts the item on the free list, or returns its block when it was the
  // block's last item in use. An address that is no item in use of this
  // manager (a double free, a foreign pointer) is an assertion failure.
  void FreeItem(PItemHeader item);
  // No rollback, unmodified, no update result; nothing else.
  void InitItem(PItemHeader item);

  // The index-th item (0-based) of a block.
  PItemHeader BlockItem(PBlockHeader block, int index) const;
  // A block filled in place holds `used` items from its start: the others
  // go to the free list and UsedItems becomes `used`. A block with no item
  // used is returned to the heap.
  void ReleaseUnusedItems(PBlockHeader block, int used);

  // Whether the address is an item in use of one of this manager's blocks.
  // Reads no freed memory, so a bookmark may ask with any address.
  bool IsLiveItem(const void* address) const;

  static void* GetRecordPtr(PItemHeader item) { return reinterpret_cast<uint8_t*>(item) + sizeof(TItemHeader); }
  void PutRecord(PItemHeader item, const void* rec) const;
  void GetRecord(PItemHeader item, void* rec) const;
  void CopyRecord(PItemHeader source, PItemHeader dest) const;

 private:
  static uint8_t* FirstItemAddress(PBlockHeader block);
  size_t BlockBytes(uint16_t item_count) const;
  // The live block whose item area holds the address, or null.
  PBlockHeader BlockOf(const void* address) const;
  void PushFree(PItemHeader item);
  void UnlinkFree(PItemHeader item);
  void MarkInUse(PItemHeader item, PBlockHeader block);

  PItemHeader first_free_ = nullptr;
  PBlockHeader first_block_ = nullptr;
  int32_t record_size_ = 0;
  uint16_t default_item_count_ = kDefaultItemCount;
  uint64_t next_serial_ = 1;
  // Live blocks by the address of their first item, for IsLiveItem.
  std::map<const uint8_t*, PBlockHeader> blocks_by_address_;
};

}  // namespace dac
