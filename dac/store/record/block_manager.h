// The rows of an in-memory record set live in items: a header followed by
// RecordSize bytes of record. TBlockManager takes items from the general
// heap in blocks, keeps the free ones on a list per block, and returns a
// block to the heap as soon as its last item is freed, so no empty block
// stays cached.
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

// 16 bytes. The item's place in its record set's order, its cached-update
// state and its filter verdict; the record follows. (Which block holds the
// item follows from its address; the rollback copy of an edited row is kept
// with its cache item.)
struct TItemHeader {
  // In use: the chunk of the owner's order that lists the item (TItemOrder).
  // Free: 1 + the index of the next free item of its block, 0 at the end.
  uint32_t Link;
  // Set on every allocation from a counter of the manager (48 bits): a
  // bookmark keeps it to tell a reused item from the one it named.
  uint32_t SerialLow;
  uint16_t SerialHigh;
  TItemStatus Status;
  TUpdateRecAction UpdateResult;
  uint8_t Flag;  // TBlockManager::kItemInUse or kItemFree
  // Not used by the in-memory record set: its order keeps the verdicts.
  TItemFilterState FilterResult;
  uint16_t Reserved;

  uint64_t Serial() const { return uint64_t{SerialHigh} << 32 | SerialLow; }
};
using PItemHeader = TItemHeader*;
static_assert(sizeof(TItemHeader) == 16, "items stay small");

struct TBlockHeader {
  uint16_t ItemCount;
  uint16_t UsedItems;
  // 1 + the index of the first free item, 0 when every item is in use.
  uint16_t FirstFree;
  // Every block of the manager.
  TBlockHeader* Prev;
  TBlockHeader* Next;
  // The blocks with free items, the one freed into last first.
  TBlockHeader* PrevPartial;
  TBlockHeader* NextPartial;
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
  // Items per block made when no block has a free item; at least 1.
  uint16_t GetDefaultItemCount() const { return default_item_count_; }
  void SetDefaultItemCount(uint16_t value);
  // Each further block AddFreeBlock makes holds twice the items of the one
  // before, up to this many (not below DefaultItemCount); FreeAllBlock
  // starts again from DefaultItemCount. Default: DefaultItemCount, no growth.
  uint16_t GetMaxItemCount() const { return max_item_count_; }
  void SetMaxItemCount(uint16_t value);

  PBlockHeader GetFirstBlock() const { return first_block_; }
  // The item AllocItem hands out next (null when a new block is needed),
  // and the free items after it.
  PItemHeader GetFirstFree() const;
  PItemHeader NextFree(PItemHeader item) const;
  // Bytes from one item to the next in a block.
  size_t ItemStride() const;

  // A block of item_count items linked in front of the block list, every
  // item initialised as AllocItem does and counted in use (UsedItems =
  // ItemCount); ReleaseUnusedItems gives back what the caller does not fill.
  // Exception for a count outside 1..65535; std::bad_alloc when the heap is out.
  void AllocBlock(PBlockHeader& block, int64_t item_count);
  // Unlinks the block and returns its memory with its free items. Items of
  // it still in use become invalid.
  void FreeBlock(PBlockHeader block);
  // Returns every block.
  void FreeAllBlock();
  // A block of free items, put on its free list from the first to the last,
  // so its last item is handed out first.
  void AddFreeBlock();

  // The item freed last (a new block first when there is none), marked in
  // use: unmodified, no update result, not checked, a new serial. Link is
  // left for the caller.
  void AllocItem(PItemHeader& item);
  // Puts the item on its block's free list, or returns its block when it was
  // the block's last item in use. An address that is no item in use of this
  // manager (a double free, a foreign pointer) is an assertion failure.
  void FreeItem(PItemHeader item);
  // Unmodified, no update result; nothing else.
  void InitItem(PItemHeader item);

  // The index-th item (0-based) of a block.
  PItemHeader BlockItem(PBlockHeader block, int index) const;
  // A block filled in place holds `used` items from its start: the others
  // go to its free list and UsedItems becomes `used`. A block with no item
  // used is returned to the heap.
  void ReleaseUnusedItems(PBlockHeader block, int used);

  // The live block whose item area holds the address, or null. Reads no
  // freed memory, so a bookmark may ask with any address.
  PBlockHeader BlockOf(const void* address) const;
  // Whether the address is an item in use of one of this manager's blocks.
  bool IsLiveItem(const void* address) const;

  static void* GetRecordPtr(PItemHeader item) { return reinterpret_cast<uint8_t*>(item) + sizeof(TItemHeader); }
  void PutRecord(PItemHeader item, const void* rec) const;
  void GetRecord(PItemHeader item, void* rec) const;
  void CopyRecord(PItemHeader source, PItemHeader dest) const;

 private:
  static uint8_t* FirstItemAddress(PBlockHeader block);
  size_t BlockBytes(uint16_t item_count) const;
  int IndexOf(PBlockHeader block, PItemHeader item) const;
  void PushFree(PBlockHeader block, PItemHeader item);
  // Into (out of) the list of blocks with free items; to its front.
  void LinkPartial(PBlockHeader block);
  void UnlinkPartial(PBlockHeader block);
  void MarkInUse(PItemHeader item);

  PBlockHeader first_block_ = nullptr;
  PBlockHeader first_partial_ = nullptr;
  int32_t record_size_ = 0;
  uint16_t default_item_count_ = kDefaultItemCount;
  uint16_t max_item_count_ = kDefaultItemCount;
  uint16_t next_item_count_ = kDefaultItemCount;
  uint64_t next_serial_ = 1;
  // Live blocks by the address of their first item, for BlockOf.
  std::map<const uint8_t*, PBlockHeader> blocks_by_address_;
};

}  // namespace dac
