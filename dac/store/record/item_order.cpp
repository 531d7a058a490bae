#include "dac/store/record/item_order.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "dac/framework/classes/exceptions.h"

namespace dac {

namespace {

constexpr uint32_t kWords = TItemOrder::kChunkItems / 64;
// A chunk this small joins a neighbour that has room for it.
constexpr uint32_t kSmallChunk = TItemOrder::kChunkItems / 8;

// Inline: without a target that has the instruction, std::popcount is a library call.
uint32_t Ones(uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555ull;
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0full;
  return static_cast<uint32_t>((x * 0x0101010101010101ull) >> 56);
}

uint64_t Below(uint32_t bit) { return bit == 0 ? 0 : (~uint64_t{0} >> (64 - bit)); }

// Bits [slot, size) move up by one; `value` goes into slot.
void InsertBit(uint64_t* bits, uint32_t slot, uint32_t size, bool value) {
  const uint32_t first = slot / 64;
  const uint32_t last = std::min(size / 64, kWords - 1);
  for (uint32_t w = last; w > first; --w) bits[w] = bits[w] << 1 | bits[w - 1] >> 63;
  const uint64_t low = Below(slot % 64);
  const uint64_t word = bits[first];
  bits[first] = (word & low) | (word & ~low) << 1 | uint64_t{value} << (slot % 64);
}

// Bit slot goes; bits (slot, size) move down by one.
void EraseBit(uint64_t* bits, uint32_t slot, uint32_t size) {
  const uint32_t first = slot / 64;
  const uint32_t last = (size - 1) / 64;
  const uint64_t low = Below(slot % 64);
  const uint64_t word = bits[first];
  bits[first] = (word & low) | ((word >> 1) & ~low);
  for (uint32_t w = first; w < last; ++w) {
    bits[w] |= (bits[w + 1] & 1) << 63;
    bits[w + 1] >>= 1;
  }
}

uint32_t CountBelow(const uint64_t* bits, uint32_t slot) {
  uint32_t n = 0;
  for (uint32_t w = 0; w < slot / 64; ++w) n += Ones(bits[w]);
  return n + Ones(bits[slot / 64] & Below(slot % 64));
}

// The place of the k-th (0-based) set bit of a word that has more than k.
uint32_t SelectInWord(uint64_t word, uint32_t k) {
  uint32_t at = 0;
  // Halves, quarters and eighths by their counts; then at most 7 bits cleared.
  for (uint32_t width = 32; width >= 8; width /= 2) {
    const uint32_t low = Ones(word & Below(width));
    if (k >= low) {
      k -= low;
      word >>= width;
      at += width;
    }
  }
  for (; k > 0; --k) word &= word - 1;
  return at + static_cast<uint32_t>(std::countr_zero(word));
}

// The slot of the k-th (0-based) set bit.
uint32_t Select(const uint64_t* bits, uint32_t k) {
  for (uint32_t w = 0;; ++w) {
    const uint32_t n = Ones(bits[w]);
    if (k < n) return w * 64 + SelectInWord(bits[w], k);
    k -= n;
  }
}

// The first set bit at or after `from` below `end`, or end.
uint32_t NextSet(const uint64_t* bits, uint32_t from, uint32_t end) {
  if (from >= end) return end;
  uint32_t w = from / 64;
  uint64_t word = bits[w] & ~Below(from % 64);
  for (;;) {
    if (word != 0) return std::min(end, w * 64 + static_cast<uint32_t>(std::countr_zero(word)));
    if (++w * 64 >= end) return end;
    word = bits[w];
  }
}

// The last set bit at or before `from`, or UINT32_MAX.
uint32_t PriorSet(const uint64_t* bits, uint32_t from) {
  uint32_t w = from / 64;
  uint64_t word = bits[w] & (Below(from % 64) | uint64_t{1} << (from % 64));
  for (;;) {
    if (word != 0) return w * 64 + 63 - static_cast<uint32_t>(std::countl_zero(word));
    if (w == 0) return UINT32_MAX;
    word = bits[--w];
  }
}

// A probe's item and the record after it (the lines a comparison reads), fetched ahead.
void PrefetchProbe(const TItemHeader* item) {
  // As addresses: the last lines may lie past the item's block, which a fetch ahead may name.
  const auto at = reinterpret_cast<uintptr_t>(item);
  __builtin_prefetch(item);
  __builtin_prefetch(reinterpret_cast<const void*>(at + 64));
  __builtin_prefetch(reinterpret_cast<const void*>(at + 120));
}

// What a chunk-level probe reads first: the counts and the first items.
void PrefetchChunk(const TItemChunk* chunk) {
  __builtin_prefetch(chunk);
  __builtin_prefetch(chunk->items);
}

// The first of the chunks [low, high) whose leading item (item_of) is not
// before; high when every one is. Both chunks the next probe may be are
// fetched while this one is compared.
template <typename ItemOf>
size_t FirstChunkNotBefore(const std::vector<TItemChunk*>& chunks, size_t low, size_t high, ItemOf item_of,
                           const std::function<bool(PItemHeader)>& before) {
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if (low < mid) PrefetchChunk(chunks[low + (mid - low) / 2]);
    if (mid + 1 < high) PrefetchChunk(chunks[mid + 1 + (high - mid - 1) / 2]);
    if (before(item_of(mid))) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

// The first index of [low, high) whose item `before` is false for (high
// when none): while one probe is compared, the items of both possible next
// probes are fetched, so that the misses of a search over scattered rows
// overlap.
template <typename ItemAt, typename Before>
size_t SearchItems(size_t low, size_t high, ItemAt item_at, const Before& before) {
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if (low < mid) PrefetchProbe(item_at(low + (mid - low) / 2));
    if (mid + 1 < high) PrefetchProbe(item_at(mid + 1 + (high - mid - 1) / 2));
    if (before(item_at(mid))) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

}  // namespace

TItemOrder::~TItemOrder() { Clear(); }

void TItemOrder::Clear() {
  ++version_;
  ++places_version_;
  for (TItemChunk* chunk : chunks_) delete chunk;
  chunks_.clear();
  by_id_.clear();
  free_ids_.clear();
  Invalidate();
  last_found_ = {};
  numbered_ = {};
  size_ = visible_ = 0;
}

PItemHeader TItemOrder::Front() const { return size_ ? chunks_.front()->items[0] : nullptr; }
PItemHeader TItemOrder::Back() const { return size_ ? chunks_.back()->items[chunks_.back()->size - 1] : nullptr; }

TItemPlace TItemOrder::FrontPlace() const { return size_ ? TItemPlace{chunks_.front(), 0} : TItemPlace{}; }

TItemPlace TItemOrder::BackPlace() const {
  return size_ ? TItemPlace{chunks_.back(), chunks_.back()->size - 1} : TItemPlace{};
}

// ---- chunks ----

TItemChunk* TItemOrder::NewChunk(size_t index) {
  auto* chunk = new TItemChunk();
  if (free_ids_.empty()) {
    chunk->id = static_cast<uint32_t>(by_id_.size());
    by_id_.push_back(chunk);
  } else {
    chunk->id = free_ids_.back();
    free_ids_.pop_back();
    by_id_[chunk->id] = chunk;
  }
  chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(index), chunk);
  Renumber(index);
  if (index + 1 == chunks_.size() && trees_valid_) {
    // A chunk at the end (appending): its tree nodes hold the counts of the
    // chunks they cover before it; its own count is 0.
    const size_t node = chunks_.size();
    const size_t first = node - (node & (~node + 1));
    size_tree_.push_back(static_cast<int64_t>(ItemsBefore(node - 1) - ItemsBefore(first)));
    visible_tree_.push_back(static_cast<int64_t>(VisibleBefore(node - 1) - VisibleBefore(first)));
  } else {
    Invalidate();
  }
  ++places_version_;
  return chunk;
}

void TItemOrder::DeleteChunk(size_t index) {
  TItemChunk* chunk = chunks_[index];
  if (last_found_.chunk == chunk) last_found_ = {};
  if (numbered_.chunk == chunk) numbered_ = {};
  by_id_[chunk->id] = nullptr;
  free_ids_.push_back(chunk->id);
  chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(index));
  delete chunk;
  Renumber(index);
  Invalidate();
  ++places_version_;
}

void TItemOrder::Renumber(size_t from) {
  for (size_t i = from; i < chunks_.size(); ++i) chunks_[i]->index = static_cast<uint32_t>(i);
}

void TItemOrder::Split(size_t index) {
  TItemChunk* left = chunks_[index];
  TItemChunk* right = NewChunk(index + 1);
  const uint32_t half = left->size / 2;
  const uint32_t moved = left->size - half;
  std::memcpy(right->items, left->items + half, moved * sizeof(PItemHeader));
  for (uint32_t i = 0; i < moved; ++i) {
    right->items[i]->Link = right->id;
    if (left->Visible(half + i)) right->bits[i / 64] |= uint64_t{1} << (i % 64);
  }
  for (uint32_t w = half / 64; w < kWords; ++w) left->bits[w] &= w == half / 64 ? Below(half % 64) : 0;
  right->size = moved;
  right->visible = 0;
  for (uint64_t word : right->bits) right->visible += Ones(word);
  left->size = half;
  left->visible -= right->visible;
  if (last_found_.chunk == left) last_found_ = {};
  Invalidate();
}

void TItemOrder::MergeSmall(size_t index) {
  TItemChunk* chunk = chunks_[index];
  if (chunk->size >= kSmallChunk) return;
  size_t left = 0;
  if (index > 0 && chunks_[index - 1]->size + chunk->size <= kChunkItems) {
    left = index - 1;
  } else if (index + 1 < chunks_.size() && chunks_[index + 1]->size + chunk->size <= kChunkItems) {
    left = index;
  } else {
    return;
  }
  TItemChunk* into = chunks_[left];
  TItemChunk* from = chunks_[left + 1];
  for (uint32_t i = 0; i < from->size; ++i) {
    const uint32_t slot = into->size + i;
    into->items[slot] = from->items[i];
    from->items[i]->Link = into->id;
    if (from->Visible(i)) into->bits[slot / 64] |= uint64_t{1} << (slot % 64);
  }
  into->size += from->size;
  into->visible += from->visible;
  from->size = from->visible = 0;
  if (last_found_.chunk == into) last_found_ = {};
  DeleteChunk(left + 1);
}

void TItemOrder::BuildTrees() const {
  const size_t n = chunks_.size();
  size_tree_.assign(n + 1, 0);
  visible_tree_.assign(n + 1, 0);
  for (size_t i = 1; i <= n; ++i) {
    size_tree_[i] += chunks_[i - 1]->size;
    visible_tree_[i] += chunks_[i - 1]->visible;
    const size_t parent = i + (i & (~i + 1));
    if (parent <= n) {
      size_tree_[parent] += size_tree_[i];
      visible_tree_[parent] += visible_tree_[i];
    }
  }
  trees_valid_ = true;
}

void TItemOrder::CountChange(const TItemChunk* chunk, int64_t items, int64_t visible) {
  if (!trees_valid_) return;
  for (size_t i = chunk->index + size_t{1}; i < size_tree_.size(); i += i & (~i + 1)) {
    size_tree_[i] += items;
    visible_tree_[i] += visible;
  }
}

size_t TItemOrder::ItemsBefore(size_t index) const {
  if (!trees_valid_) BuildTrees();
  int64_t sum = 0;
  for (size_t i = index; i > 0; i -= i & (~i + 1)) sum += size_tree_[i];
  return static_cast<size_t>(sum);
}

size_t TItemOrder::VisibleBefore(size_t index) const {
  if (!trees_valid_) BuildTrees();
  int64_t sum = 0;
  for (size_t i = index; i > 0; i -= i & (~i + 1)) sum += visible_tree_[i];
  return static_cast<size_t>(sum);
}

size_t TItemOrder::ChunkOfIndex(const std::vector<int64_t>& tree, size_t& index) const {
  // The most chunks whose count stays at or below the index.
  const size_t n = tree.size() - 1;
  size_t chunks = 0;
  auto rest = static_cast<int64_t>(index);
  for (size_t step = std::bit_floor(n); step > 0; step >>= 1) {
    if (chunks + step <= n && tree[chunks + step] <= rest) {
      chunks += step;
      rest -= tree[chunks];
    }
  }
  index = static_cast<size_t>(rest);
  return chunks;
}

// ---- places ----

TItemPlace TItemOrder::Find(PItemHeader item) const {
  // Near the last place found first: walks and the cursor's neighbours cost
  // no look at the item itself, which may lie anywhere in memory.
  if (TItemChunk* near = last_found_.chunk) {
    const uint32_t at = last_found_.slot;
    for (uint32_t slot : {at + 1, at, at - 1}) {
      if (slot < near->size && near->items[slot] == item) return last_found_ = {near, slot};
    }
    if (at + 1 >= near->size && near->index + size_t{1} < chunks_.size() &&
        chunks_[near->index + 1]->items[0] == item) {
      return last_found_ = {chunks_[near->index + 1], 0};
    }
  }
  DAC_ASSERT(item && item->Link < by_id_.size() && by_id_[item->Link], "Item not in the order");
  TItemChunk* chunk = ChunkOf(item);
  PItemHeader* end = chunk->items + chunk->size;
  PItemHeader* found = std::find(chunk->items, end, item);
  DAC_ASSERT(found != end, "Item not in its chunk");
  return last_found_ = {chunk, static_cast<uint32_t>(found - chunk->items)};
}

TItemPlace TItemOrder::Next(TItemPlace place) const {
  if (place.slot + 1 < place.chunk->size) return {place.chunk, place.slot + 1};
  const size_t index = place.chunk->index + 1;
  return index < chunks_.size() ? TItemPlace{chunks_[index], 0} : TItemPlace{};
}

TItemPlace TItemOrder::Prior(TItemPlace place) const {
  if (place.slot > 0) return {place.chunk, place.slot - 1};
  if (place.chunk->index == 0) return {};
  TItemChunk* chunk = chunks_[place.chunk->index - 1];
  return {chunk, chunk->size - 1};
}

bool TItemOrder::IsVisible(TItemPlace place) const { return place.chunk->Visible(place.slot); }

TItemPlace TItemOrder::VisibleFrom(TItemPlace place, bool forward) const {
  if (!place) return {};
  TItemChunk* chunk = place.chunk;
  uint32_t slot = place.slot;
  for (;;) {
    if (chunk->visible > 0) {
      if (forward) {
        const uint32_t found = NextSet(chunk->bits, slot, chunk->size);
        if (found < chunk->size) return {chunk, found};
      } else {
        const uint32_t found = PriorSet(chunk->bits, slot);
        if (found != UINT32_MAX) return {chunk, found};
      }
    }
    if (forward) {
      if (chunk->index + 1 >= chunks_.size()) return {};
      chunk = chunks_[chunk->index + 1];
      slot = 0;
    } else {
      if (chunk->index == 0) return {};
      chunk = chunks_[chunk->index - 1];
      slot = chunk->size - 1;
    }
  }
}

size_t TItemOrder::IndexOf(TItemPlace place) const { return ItemsBefore(place.chunk->index) + place.slot; }

TItemPlace TItemOrder::PlaceAt(size_t index) const {
  if (index >= size_) return {};
  if (!trees_valid_) BuildTrees();
  const size_t chunk = ChunkOfIndex(size_tree_, index);
  return {chunks_[chunk], static_cast<uint32_t>(index)};
}

size_t TItemOrder::PartitionPoint(size_t low, size_t high, const std::function<bool(PItemHeader)>& before) const {
  if (low >= high) return low;
  if (!trees_valid_) BuildTrees();
  size_t low_slot = low;
  const size_t low_chunk = ChunkOfIndex(size_tree_, low_slot);
  size_t last_slot = high - 1;
  const size_t high_chunk = ChunkOfIndex(size_tree_, last_slot);
  // The first chunk after low's whose first item is not before: the point
  // lies in the chunk ahead of it (or at its start).
  const size_t first = FirstChunkNotBefore(
      chunks_, low_chunk + 1, high_chunk + 1, [this](size_t mid) { return chunks_[mid]->items[0]; }, before);
  const size_t chunk = first - 1;
  const TItemChunk* in = chunks_[chunk];
  const size_t from = chunk == low_chunk ? low_slot : 0;
  const size_t to = chunk == high_chunk ? last_slot + 1 : in->size;
  const size_t point = SearchItems(from, to, [in](size_t slot) { return in->items[slot]; }, before);
  return ItemsBefore(chunk) + point;
}

size_t TItemOrder::RecordNoOf(TItemPlace place) const {
  const TItemChunk* chunk = place.chunk;
  if (!chunk->Visible(place.slot)) return 0;
  const size_t below = chunk->visible == chunk->size ? place.slot : CountBelow(chunk->bits, place.slot);
  return NumberedChunk(chunk) + below + 1;
}

size_t TItemOrder::NumberedChunk(const TItemChunk* chunk) const {
  if (numbered_.chunk != chunk || numbered_.version != version_) {
    numbered_ = {chunk, version_, VisibleBefore(chunk->index)};
  }
  return numbered_.before;
}

TItemPlace TItemOrder::PlaceOfRecordNo(size_t n) const {
  if (n < 1 || n > visible_) return {};
  size_t rest = n - 1;
  // Searches and walks by number mostly stay within the chunk of the last look-up.
  const TItemChunk* chunk = numbered_.chunk;
  if (chunk && numbered_.version == version_ && rest >= numbered_.before && rest - numbered_.before < chunk->visible) {
    rest -= numbered_.before;
  } else {
    if (!trees_valid_) BuildTrees();
    const size_t index = ChunkOfIndex(visible_tree_, rest);
    chunk = chunks_[index];
    numbered_ = {chunk, version_, n - 1 - rest};
  }
  const auto rank = static_cast<uint32_t>(rest);
  auto* in = const_cast<TItemChunk*>(chunk);
  return {in, chunk->visible == chunk->size ? rank : Select(chunk->bits, rank)};
}

PItemHeader TItemOrder::VisibleItemOfRank(const TItemChunk* chunk, size_t rank) {
  const auto r = static_cast<uint32_t>(rank);
  return chunk->items[chunk->visible == chunk->size ? r : Select(chunk->bits, r)];
}

PItemHeader TItemOrder::FirstVisibleFrom(size_t index) const {
  if (chunks_[index]->visible > 0) return VisibleItemOfRank(chunks_[index], 0);
  // A chunk the filter empties: the next visible item is found by its number.
  size_t rest = VisibleBefore(index);
  const size_t chunk = ChunkOfIndex(visible_tree_, rest);
  return VisibleItemOfRank(chunks_[chunk], rest);
}

size_t TItemOrder::VisiblePartitionPoint(size_t first, size_t last,
                                         const std::function<bool(PItemHeader)>& before) const {
  if (first < 1 || first > last || last > visible_) return first;
  if (!trees_valid_) BuildTrees();
  size_t first_rank = first - 1;
  const size_t first_chunk = ChunkOfIndex(visible_tree_, first_rank);
  size_t last_rank = last - 1;
  const size_t last_chunk = ChunkOfIndex(visible_tree_, last_rank);
  if (!before(VisibleItemOfRank(chunks_[first_chunk], first_rank))) return first;
  // The first chunk after first's whose first visible item (that of a later
  // chunk for an emptied one) is not before: the point lies in the chunk ahead of it.
  const size_t low = FirstChunkNotBefore(
      chunks_, first_chunk + 1, last_chunk + 1, [this](size_t mid) { return FirstVisibleFrom(mid); }, before);
  // That chunk has visible items: an emptied one would have shared its verdict with the next.
  const size_t chunk = low - 1;
  const TItemChunk* in = chunks_[chunk];
  const size_t rank_low = (chunk == first_chunk ? first_rank : 0) + 1;  // the rank before it is before
  const size_t rank_high = chunk == last_chunk ? last_rank + 1 : in->visible;
  const size_t point =
      in->visible == in->size
          ? SearchItems(rank_low, rank_high, [in](size_t slot) { return in->items[slot]; }, before)
          : SearchItems(rank_low, rank_high, [in](size_t rank) { return VisibleItemOfRank(in, rank); }, before);
  return VisibleBefore(chunk) + point + 1;
}

// ---- changes ----

TItemPlace TItemOrder::PushBack(PItemHeader item, bool visible) {
  ++version_;
  ++places_version_;
  if (chunks_.empty() || chunks_.back()->size >= kFilledItems) NewChunk(chunks_.size());
  TItemChunk* chunk = chunks_.back();
  const uint32_t slot = chunk->size++;
  chunk->items[slot] = item;
  if (visible) {
    chunk->bits[slot / 64] |= uint64_t{1} << (slot % 64);
    ++chunk->visible;
    ++visible_;
  }
  item->Link = chunk->id;
  ++size_;
  CountChange(chunk, 1, visible ? 1 : 0);
  return last_found_ = {chunk, slot};
}

TItemPlace TItemOrder::Insert(TItemPlace at, PItemHeader item, bool visible) {
  ++version_;
  ++places_version_;
  if (!at) return PushBack(item, visible);
  if (at.chunk->size == kChunkItems) {
    TItemChunk* left = at.chunk;
    Split(left->index);
    if (at.slot > left->size) at = {chunks_[left->index + 1], at.slot - left->size};
  }
  TItemChunk* chunk = at.chunk;
  std::memmove(chunk->items + at.slot + 1, chunk->items + at.slot, (chunk->size - at.slot) * sizeof(PItemHeader));
  InsertBit(chunk->bits, at.slot, chunk->size, visible);
  chunk->items[at.slot] = item;
  ++chunk->size;
  item->Link = chunk->id;
  ++size_;
  if (visible) {
    ++chunk->visible;
    ++visible_;
  }
  CountChange(chunk, 1, visible ? 1 : 0);
  return last_found_ = at;
}

void TItemOrder::Erase(TItemPlace place) {
  ++version_;
  ++places_version_;
  TItemChunk* chunk = place.chunk;
  const bool visible = chunk->Visible(place.slot);
  EraseBit(chunk->bits, place.slot, chunk->size);
  std::memmove(chunk->items + place.slot, chunk->items + place.slot + 1,
               (chunk->size - place.slot - 1) * sizeof(PItemHeader));
  --chunk->size;
  --size_;
  if (visible) {
    --chunk->visible;
    --visible_;
  }
  last_found_ = {};
  CountChange(chunk, -1, visible ? -1 : 0);
  if (chunk->size == 0) {
    DeleteChunk(chunk->index);
  } else {
    MergeSmall(chunk->index);
  }
}

void TItemOrder::SetVisible(TItemPlace place, bool visible) {
  TItemChunk* chunk = place.chunk;
  if (chunk->Visible(place.slot) == visible) return;
  ++version_;
  const uint64_t bit = uint64_t{1} << (place.slot % 64);
  if (visible) {
    chunk->bits[place.slot / 64] |= bit;
    ++chunk->visible;
    ++visible_;
  } else {
    chunk->bits[place.slot / 64] &= ~bit;
    --chunk->visible;
    --visible_;
  }
  CountChange(chunk, 0, visible ? 1 : -1);
}

}  // namespace dac
