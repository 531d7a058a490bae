#include "dac/store/record/block_manager.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TBlockManager, TObject, ::dac::TMetaClassOf<TBlockManager>)

namespace {

constexpr size_t kItemAlign = alignof(TItemHeader);

constexpr size_t RoundUp(size_t size) { return (size + kItemAlign - 1) / kItemAlign * kItemAlign; }

constexpr size_t kItemsOffset = RoundUp(sizeof(TBlockHeader));

}  // namespace

TBlockManager::~TBlockManager() { FreeAllBlock(); }

void TBlockManager::SetRecordSize(int32_t value) {
  DAC_ASSERT(value >= 0, "Negative record size");
  DAC_ASSERT(value == record_size_ || first_block_ == nullptr, "Record size changed while blocks exist");
  record_size_ = value;
}

void TBlockManager::SetDefaultItemCount(uint16_t value) {
  DAC_ASSERT(value >= 1, "Default item count below 1");
  default_item_count_ = value;
}

size_t TBlockManager::ItemStride() const { return RoundUp(sizeof(TItemHeader) + static_cast<size_t>(record_size_)); }

size_t TBlockManager::BlockBytes(uint16_t item_count) const { return kItemsOffset + item_count * ItemStride(); }

uint8_t* TBlockManager::FirstItemAddress(PBlockHeader block) { return reinterpret_cast<uint8_t*>(block) + kItemsOffset; }

PItemHeader TBlockManager::BlockItem(PBlockHeader block, int index) const {
  DAC_ASSERT(block && index >= 0 && index < block->ItemCount, "Item index outside the block");
  return reinterpret_cast<PItemHeader>(FirstItemAddress(block) + static_cast<size_t>(index) * ItemStride());
}

// ---- Blocks ----

void TBlockManager::AllocBlock(PBlockHeader& block, int64_t item_count) {
  if (item_count < 1 || item_count > UINT16_MAX) {
    throw Exception(Format("Cannot allocate a block of %lld items: a block holds 1 to 65535",
                           static_cast<long long>(item_count)));
  }
  const auto count = static_cast<uint16_t>(item_count);
  void* memory = std::malloc(BlockBytes(count));
  if (!memory) throw std::bad_alloc();
  auto* header = static_cast<PBlockHeader>(memory);
  header->ItemCount = count;
  header->UsedItems = count;
  header->Prev = nullptr;
  header->Next = first_block_;
  if (first_block_) first_block_->Prev = header;
  first_block_ = header;
  blocks_by_address_.emplace(FirstItemAddress(header), header);
  for (int i = 0; i < count; ++i) {
    PItemHeader item = BlockItem(header, i);
    item->Prev = item->Next = nullptr;
    MarkInUse(item, header);
  }
  block = header;
}

void TBlockManager::FreeBlock(PBlockHeader block) {
  DAC_ASSERT(block && blocks_by_address_.count(FirstItemAddress(block)) == 1, "Block not of this manager");
  for (int i = 0; i < block->ItemCount; ++i) {
    PItemHeader item = BlockItem(block, i);
    if (item->Flag == kItemFree) UnlinkFree(item);
  }
  if (block->Prev) {
    block->Prev->Next = block->Next;
  } else {
    first_block_ = block->Next;
  }
  if (block->Next) block->Next->Prev = block->Prev;
  blocks_by_address_.erase(FirstItemAddress(block));
  std::free(block);
}

void TBlockManager::FreeAllBlock() {
  while (first_block_) {
    PBlockHeader next = first_block_->Next;
    std::free(first_block_);
    first_block_ = next;
  }
  blocks_by_address_.clear();
  first_free_ = nullptr;
}

void TBlockManager::AddFreeBlock() {
  PBlockHeader block = nullptr;
  AllocBlock(block, default_item_count_);
  for (int i = 0; i < block->ItemCount; ++i) {
    PItemHeader item = BlockItem(block, i);
    item->Flag = kItemFree;
    PushFree(item);
  }
  block->UsedItems = 0;
}

void TBlockManager::ReleaseUnusedItems(PBlockHeader block, int used) {
  DAC_ASSERT(block && used >= 0 && used <= block->ItemCount, "Used count outside the block");
  for (int i = used; i < block->ItemCount; ++i) {
    PItemHeader item = BlockItem(block, i);
    DAC_ASSERT(item->Flag == kItemInUse, "Released item not in use");
    item->Flag = kItemFree;
    PushFree(item);
    --block->UsedItems;
  }
  if (block->UsedItems == 0) FreeBlock(block);
}

// ---- Items ----

void TBlockManager::PushFree(PItemHeader item) {
  item->Prev = nullptr;
  item->Next = first_free_;
  if (first_free_) first_free_->Prev = item;
  first_free_ = item;
}

void TBlockManager::UnlinkFree(PItemHeader item) {
  if (item->Prev) {
    item->Prev->Next = item->Next;
  } else {
    first_free_ = item->Next;
  }
  if (item->Next) item->Next->Prev = item->Prev;
}

void TBlockManager::MarkInUse(PItemHeader item, PBlockHeader block) {
  item->Block = block;
  item->Flag = kItemInUse;
  item->Rollback = nullptr;
  item->Status = isUnmodified;
  item->UpdateResult = urNone;
  item->Order = 0;
  item->FilterResult = fsNotChecked;
  item->Serial = next_serial_++;
}

void TBlockManager::AllocItem(PItemHeader& item) {
  if (!first_free_) AddFreeBlock();
  PItemHeader taken = first_free_;
  DAC_ASSERT(taken->Flag == kItemFree, "Free list item not free");
  first_free_ = taken->Next;
  if (first_free_) first_free_->Prev = nullptr;
  MarkInUse(taken, taken->Block);
  ++taken->Block->UsedItems;
  item = taken;
}

void TBlockManager::FreeItem(PItemHeader item) {
  DAC_ASSERT(IsLiveItem(item), "Freed item not in use");
  PBlockHeader block = item->Block;
  if (block->UsedItems != 1) {
    item->Flag = kItemFree;
    PushFree(item);
    --block->UsedItems;
    return;
  }
  for (int i = 0; i < block->ItemCount; ++i) {
    PItemHeader other = BlockItem(block, i);
    DAC_ASSERT(other == item || other->Flag == kItemFree, "Item of an emptied block still in use");
  }
  // Takes the other items off the free list; this one never joined it.
  FreeBlock(block);
}

void TBlockManager::InitItem(PItemHeader item) {
  item->Rollback = nullptr;
  item->Status = isUnmodified;
  item->UpdateResult = urNone;
}

PBlockHeader TBlockManager::BlockOf(const void* address) const {
  const auto* at = static_cast<const uint8_t*>(address);
  auto it = blocks_by_address_.upper_bound(at);
  if (it == blocks_by_address_.begin()) return nullptr;
  --it;
  const size_t offset = static_cast<size_t>(at - it->first);
  return offset < it->second->ItemCount * ItemStride() ? it->second : nullptr;
}

bool TBlockManager::IsLiveItem(const void* address) const {
  PBlockHeader block = BlockOf(address);
  if (!block) return false;
  const size_t offset = static_cast<size_t>(static_cast<const uint8_t*>(address) - FirstItemAddress(block));
  if (offset % ItemStride() != 0) return false;
  return static_cast<const TItemHeader*>(address)->Flag == kItemInUse;
}

void TBlockManager::PutRecord(PItemHeader item, const void* rec) const {
  std::memcpy(GetRecordPtr(item), rec, static_cast<size_t>(record_size_));
}

void TBlockManager::GetRecord(PItemHeader item, void* rec) const {
  std::memcpy(rec, GetRecordPtr(item), static_cast<size_t>(record_size_));
}

void TBlockManager::CopyRecord(PItemHeader source, PItemHeader dest) const {
  std::memcpy(GetRecordPtr(dest), GetRecordPtr(source), static_cast<size_t>(record_size_));
}

}  // namespace dac
