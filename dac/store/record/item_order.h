// The order of an in-memory record set's items: the list as chunks of item
// pointers, each chunk knowing which of its items are visible. Walking the
// list steps through a chunk; the n-th item, the n-th visible item, an
// item's place and its record number are found through the chunks' running
// counts, so no operation on one item costs a walk over the list.
//
// An item in the list names its chunk in TItemHeader::Link; its slot in the
// chunk is found by looking, starting where the last look ended (so walks
// cost nothing extra). A TItemPlace is valid until the next change of the
// order.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <vector>

#include "dac/store/record/block_manager.h"

namespace dac {

struct TItemChunk;

// Where an item stands: its chunk and slot; null chunk for "past the end".
struct TItemPlace {
  TItemChunk* chunk = nullptr;
  uint32_t slot = 0;
  explicit operator bool() const { return chunk != nullptr; }
  bool operator==(const TItemPlace&) const = default;
};

class TItemOrder {
 public:
  // Items per chunk. Rows appended or put in order fill a chunk only to
  // kFilledItems: inserts in the middle find room without splitting it.
  static constexpr uint32_t kChunkItems = 512;
  static constexpr uint32_t kFilledItems = kChunkItems / 8 * 7;

  TItemOrder() = default;
  ~TItemOrder();
  TItemOrder(const TItemOrder&) = delete;
  TItemOrder& operator=(const TItemOrder&) = delete;

  // Forgets every item (their memory is the block manager's).
  void Clear();
  bool Empty() const { return size_ == 0; }
  // Changes with every change of the order or of what it shows; the places
  // version only when items move (places found before stay valid while it
  // stands).
  uint64_t Version() const { return version_; }
  uint64_t PlacesVersion() const { return places_version_; }
  size_t Size() const { return size_; }
  size_t VisibleCount() const { return visible_; }

  PItemHeader Front() const;
  PItemHeader Back() const;
  TItemPlace FrontPlace() const;
  TItemPlace BackPlace() const;
  // The item at a place (which must be valid).
  static PItemHeader ItemAt(TItemPlace place);

  // The item's place; it must be in the list.
  TItemPlace Find(PItemHeader item) const;
  TItemPlace Next(TItemPlace place) const;
  TItemPlace Prior(TItemPlace place) const;
  // The first visible place from `place` on (itself included) forward or
  // backward; a null place for none.
  TItemPlace VisibleFrom(TItemPlace place, bool forward) const;
  TItemPlace FirstVisible() const { return VisibleFrom(FrontPlace(), true); }
  TItemPlace LastVisible() const { return VisibleFrom(BackPlace(), false); }
  bool IsVisible(TItemPlace place) const;

  // 0-based among all items, and the place of such an index.
  size_t IndexOf(TItemPlace place) const;
  TItemPlace PlaceAt(size_t index) const;
  // The first index of [low, high) whose item `before` is false for, where
  // it is true for the items of a prefix of the range (high when for all):
  // a binary search over the chunks' first items, then inside one chunk,
  // so that the probes need no count look-ups.
  size_t PartitionPoint(size_t low, size_t high, const std::function<bool(PItemHeader)>& before) const;
  // 1-based among the visible items (0 for a hidden one), and the place of
  // the n-th visible item (null when there is none).
  size_t RecordNoOf(TItemPlace place) const;
  TItemPlace PlaceOfRecordNo(size_t n) const;
  // The first record number of first..last (1-based, visible items) whose
  // item `before` is false for, where it is true for the items of a prefix
  // of that range (last + 1 when for all): a binary search over the chunks'
  // first visible items, then inside one chunk, so that the probes need no
  // count look-ups.
  size_t VisiblePartitionPoint(size_t first, size_t last, const std::function<bool(PItemHeader)>& before) const;

  // The item in front of `at` (a null place: at the end); its place.
  TItemPlace Insert(TItemPlace at, PItemHeader item, bool visible);
  TItemPlace PushBack(PItemHeader item, bool visible);
  // Takes the item at the place out of the order.
  void Erase(TItemPlace place);
  // Counts the item as visible or not; the item's count changes when it did.
  void SetVisible(TItemPlace place, bool visible);
  // The order becomes the items item(0) .. item(count - 1), the visible
  // ones as visible(i) says.
  template <typename Item, typename Visible>
  void Assign(size_t count, Item item, Visible visible) {
    Clear();
    // The items are anywhere in memory: those ahead are fetched meanwhile.
    constexpr size_t kAhead = 16;
    for (size_t i = 0; i < count; ++i) {
      if (i + kAhead < count) __builtin_prefetch(item(i + kAhead), 1);
      PushBack(item(i), visible(i));
    }
  }

  // Every item counted again as visible(item) says, front to back.
  template <typename Visible>
  void Reclassify(Visible visible);
  // The same a chunk at a time: judge(items, count, ahead, ahead_count,
  // bits) sets bit i % 64 of bits[i / 64] for a visible items[i]; ahead are
  // the items that follow in the list (the next chunk's), to fetch ahead.
  template <typename Judge>
  void ReclassifyChunks(Judge judge);
  // The header of an item and the start of its record, which may reach into the next line.
  static void PrefetchItem(const TItemHeader* item) {
    __builtin_prefetch(item);
    __builtin_prefetch(reinterpret_cast<const char*>(item) + 64);
  }

  // Calls visit(item) for every item front to back.
  template <typename Visit>
  void ForEach(Visit visit) const;

 private:
  TItemChunk* NewChunk(size_t index);
  void DeleteChunk(size_t index);
  // The chunk is full: its second half goes into a new chunk after it.
  void Split(size_t index);
  // A chunk that became small joins a neighbour when they fit together.
  void MergeSmall(size_t index);
  void Renumber(size_t from);
  // The running counts over the chunks are Fenwick trees: kept up to date
  // as counts within chunks change, made anew after chunks came or went.
  void Invalidate() { trees_valid_ = false; }
  void CountChange(const TItemChunk* chunk, int64_t items, int64_t visible);
  void BuildTrees() const;
  // Items (visible items) in the chunks before the index-th.
  size_t ItemsBefore(size_t index) const;
  size_t VisibleBefore(size_t index) const;
  // The chunk holding the item at `index` among all (visible) items, and the
  // index within it.
  size_t ChunkOfIndex(const std::vector<int64_t>& tree, size_t& index) const;
  void RecountTotal();
  TItemChunk* ChunkOf(PItemHeader item) const { return by_id_[item->Link]; }
  // The visible items before the chunk, remembered for the last chunk asked
  // about while the order stands.
  size_t NumberedChunk(const TItemChunk* chunk) const;
  // The chunk's visible item of the rank (0-based among its visible ones).
  static PItemHeader VisibleItemOfRank(const TItemChunk* chunk, size_t rank);
  // The first visible item of the chunk at the index or of one after it; there must be one.
  PItemHeader FirstVisibleFrom(size_t index) const;

  std::vector<TItemChunk*> chunks_;  // in order
  std::vector<TItemChunk*> by_id_;   // by chunk id (TItemHeader::Link); null when free
  std::vector<uint32_t> free_ids_;
  // 1-based Fenwick trees of the chunks' item and visible counts.
  mutable std::vector<int64_t> size_tree_;
  mutable std::vector<int64_t> visible_tree_;
  mutable bool trees_valid_ = false;
  mutable TItemPlace last_found_;
  // A chunk, the version of the order it was counted at and the visible
  // items before it then.
  struct Numbered {
    const TItemChunk* chunk = nullptr;
    uint64_t version = 0;
    size_t before = 0;
  };
  mutable Numbered numbered_;
  size_t size_ = 0;
  size_t visible_ = 0;
  uint64_t version_ = 0;
  uint64_t places_version_ = 0;
};

struct TItemChunk {
  uint32_t id = 0;
  uint32_t index = 0;  // among the chunks, in order
  uint32_t size = 0;
  uint32_t visible = 0;
  uint64_t bits[TItemOrder::kChunkItems / 64] = {};  // slot i visible: bit i
  PItemHeader items[TItemOrder::kChunkItems];

  bool Visible(uint32_t slot) const { return (bits[slot / 64] >> (slot % 64) & 1) != 0; }
};

inline PItemHeader TItemOrder::ItemAt(TItemPlace place) { return place.chunk->items[place.slot]; }

inline void TItemOrder::RecountTotal() {
  visible_ = 0;
  for (const TItemChunk* chunk : chunks_) visible_ += chunk->visible;
}

template <typename Judge>
void TItemOrder::ReclassifyChunks(Judge judge) {
  ++version_;
  Invalidate();
  try {
    for (size_t index = 0; index < chunks_.size(); ++index) {
      TItemChunk* chunk = chunks_[index];
      const TItemChunk* next = index + 1 < chunks_.size() ? chunks_[index + 1] : nullptr;
      uint64_t bits[kChunkItems / 64] = {};
      judge(static_cast<const PItemHeader*>(chunk->items), chunk->size,
            next ? static_cast<const PItemHeader*>(next->items) : nullptr, next ? next->size : 0, bits);
      // Only the chunk's own slots count.
      if (chunk->size % 64 != 0) bits[chunk->size / 64] &= (uint64_t{1} << (chunk->size % 64)) - 1;
      uint32_t count = 0;
      for (size_t w = 0; w < std::size(bits); ++w) {
        if (w * 64 >= chunk->size) bits[w] = 0;
        count += static_cast<uint32_t>(std::popcount(bits[w]));
      }
      std::copy(std::begin(bits), std::end(bits), std::begin(chunk->bits));
      chunk->visible = count;
    }
  } catch (...) {
    // The chunk being checked keeps its counts; the totals stay true.
    RecountTotal();
    throw;
  }
  RecountTotal();
}

template <typename Visible>
void TItemOrder::Reclassify(Visible visible) {
  ReclassifyChunks([&visible](const PItemHeader* items, uint32_t count, const PItemHeader* ahead, uint32_t ahead_count,
                              uint64_t* bits) {
    // In list order, which after a sort is no longer memory order: the items
    // ahead (into the next chunk) are fetched while this one is checked.
    constexpr uint32_t kAhead = 6;
    for (uint32_t i = 0; i < count; ++i) {
      if (i + kAhead < count) {
        PrefetchItem(items[i + kAhead]);
      } else if (i + kAhead - count < ahead_count) {
        PrefetchItem(ahead[i + kAhead - count]);
      }
      if (visible(items[i])) bits[i / 64] |= uint64_t{1} << (i % 64);
    }
  });
}

template <typename Visit>
void TItemOrder::ForEach(Visit visit) const {
  for (TItemChunk* chunk : chunks_) {
    for (uint32_t i = 0; i < chunk->size; ++i) visit(chunk->items[i]);
  }
}

}  // namespace dac
