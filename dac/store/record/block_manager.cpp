#include "dac/store/record/block_manager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TBlockManager, TObject, ::dac::TMetaClassOf<TBlockManager>)

namespace {

constexpr size_t kItemAlign = alignof(TItemHeader);

constexpr size_t RoundUp(size_t size, size_t align) { return (size + align - 1) / align * align; }

constexpr size_t kItemsOffset = RoundUp(sizeof(TBlockHeader), alignof(std::max_align_t));

constexpr uint64_t kSerialLimit = uint64_t{1} << 48;

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
  max_item_count_ = std::max(max_item_count_, value);
  next_item_count_ = std::clamp(next_item_count_, value, max_item_count_);
}

void TBlockManager::SetMaxItemCount(uint16_t value) {
  max_item_count_ = std::max(value, default_item_count_);
  next_item_count_ = std::clamp(next_item_count_, default_item_count_, max_item_count_);
}

size_t TBlockManager::ItemStride() const {
  return RoundUp(sizeof(TItemHeader) + static_cast<size_t>(record_size_), kItemAlign);
}

size_t TBlockManager::BlockBytes(uint16_t item_count) const { return kItemsOffset + item_count * ItemStride(); }

uint8_t* TBlockManager::FirstItemAddress(PBlockHeader block) { return reinterpret_cast<uint8_t*>(block) + kItemsOffset; }

PItemHeader TBlockManager::BlockItem(PBlockHeader block, int index) const {
  DAC_ASSERT(block && index >= 0 && index < block->ItemCount, "Item index outside the block");
  return reinterpret_cast<PItemHeader>(FirstItemAddress(block) + static_cast<size_t>(index) * ItemStride());
}

int TBlockManager::IndexOf(PBlockHeader block, PItemHeader item) const {
  return static_cast<int>(static_cast<size_t>(reinterpret_cast<uint8_t*>(item) - FirstItemAddress(block)) /
                          ItemStride());
}

// ---- Blocks ----

void TBlockManager::LinkPartial(PBlockHeader block) {
  if (first_partial_ == block) return;
  if (block->PrevPartial || block->NextPartial) UnlinkPartial(block);
  block->PrevPartial = nullptr;
  block->NextPartial = first_partial_;
  if (first_partial_) first_partial_->PrevPartial = block;
  first_partial_ = block;
}

void TBlockManager::UnlinkPartial(PBlockHeader block) {
  if (block->PrevPartial) {
    block->PrevPartial->NextPartial = block->NextPartial;
  } else if (first_partial_ == block) {
    first_partial_ = block->NextPartial;
  }
  if (block->NextPartial) block->NextPartial->PrevPartial = block->PrevPartial;
  block->PrevPartial = block->NextPartial = nullptr;
}

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
  header->FirstFree = 0;
  header->Prev = nullptr;
  header->Next = first_block_;
  header->PrevPartial = header->NextPartial = nullptr;
  if (first_block_) first_block_->Prev = header;
  first_block_ = header;
  blocks_by_address_.emplace(FirstItemAddress(header), header);
  for (int i = 0; i < count; ++i) {
    PItemHeader item = BlockItem(header, i);
    item->Link = 0;
    item->Reserved = 0;
    MarkInUse(item);
  }
  block = header;
}

void TBlockManager::FreeBlock(PBlockHeader block) {
  DAC_ASSERT(block && blocks_by_address_.count(FirstItemAddress(block)) == 1, "Block not of this manager");
  UnlinkPartial(block);
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
  first_partial_ = nullptr;
  next_item_count_ = default_item_count_;
}

void TBlockManager::AddFreeBlock() {
  PBlockHeader block = nullptr;
  AllocBlock(block, next_item_count_);
  next_item_count_ = static_cast<uint16_t>(std::min<uint32_t>(uint32_t{next_item_count_} * 2, max_item_count_));
  for (int i = 0; i < block->ItemCount; ++i) {
    PItemHeader item = BlockItem(block, i);
    item->Flag = kItemFree;
    PushFree(block, item);
  }
  block->UsedItems = 0;
}

void TBlockManager::ReleaseUnusedItems(PBlockHeader block, int used) {
  DAC_ASSERT(block && used >= 0 && used <= block->ItemCount, "Used count outside the block");
  for (int i = used; i < block->ItemCount; ++i) {
    PItemHeader item = BlockItem(block, i);
    DAC_ASSERT(item->Flag == kItemInUse, "Released item not in use");
    item->Flag = kItemFree;
    PushFree(block, item);
    --block->UsedItems;
  }
  if (block->UsedItems == 0) FreeBlock(block);
}

// ---- Items ----

void TBlockManager::PushFree(PBlockHeader block, PItemHeader item) {
  item->Link = block->FirstFree;
  block->FirstFree = static_cast<uint16_t>(IndexOf(block, item) + 1);
  LinkPartial(block);
}

PItemHeader TBlockManager::GetFirstFree() const {
  return first_partial_ ? BlockItem(first_partial_, first_partial_->FirstFree - 1) : nullptr;
}

PItemHeader TBlockManager::NextFree(PItemHeader item) const {
  PBlockHeader block = BlockOf(item);
  DAC_ASSERT(block && item->Flag == kItemFree, "Not a free item");
  if (item->Link != 0) return BlockItem(block, static_cast<int>(item->Link) - 1);
  PBlockHeader next = block->NextPartial;
  return next ? BlockItem(next, next->FirstFree - 1) : nullptr;
}

void TBlockManager::MarkInUse(PItemHeader item) {
  DAC_ASSERT(next_serial_ < kSerialLimit, "Item serials exhausted");
  item->Flag = kItemInUse;
  item->Status = isUnmodified;
  item->UpdateResult = urNone;
  item->FilterResult = fsNotChecked;
  item->SerialLow = static_cast<uint32_t>(next_serial_);
  item->SerialHigh = static_cast<uint16_t>(next_serial_ >> 32);
  ++next_serial_;
}

void TBlockManager::AllocItem(PItemHeader& item) {
  if (!first_partial_) AddFreeBlock();
  PBlockHeader block = first_partial_;
  PItemHeader taken = BlockItem(block, block->FirstFree - 1);
  DAC_ASSERT(taken->Flag == kItemFree, "Free list item not free");
  block->FirstFree = static_cast<uint16_t>(taken->Link);
  if (block->FirstFree == 0) UnlinkPartial(block);
  taken->Link = 0;
  MarkInUse(taken);
  ++block->UsedItems;
  item = taken;
}

void TBlockManager::FreeItem(PItemHeader item) {
  DAC_ASSERT(IsLiveItem(item), "Freed item not in use");
  PBlockHeader block = BlockOf(item);
  if (block->UsedItems != 1) {
    item->Flag = kItemFree;
    PushFree(block, item);
    --block->UsedItems;
    return;
  }
  for (int i = 0; i < block->ItemCount; ++i) {
    PItemHeader other = BlockItem(block, i);
    DAC_ASSERT(other == item || other->Flag == kItemFree, "Item of an emptied block still in use");
  }
  FreeBlock(block);
}

void TBlockManager::InitItem(PItemHeader item) {
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
