// The small types record sets share with their items, the dataset layer and
// the data-access layer. Enumerations keep their numbers: stored item headers
// and the layers above rely on them.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <type_traits>

namespace dac {

enum TUpdateRecKind : uint8_t { ukUpdate = 0, ukInsert = 1, ukDelete = 2 };

enum TUpdateRecAction : uint8_t {
  urFail = 0,
  urAbort = 1,
  urSkip = 2,
  urRetry = 3,
  urApplied = 4,
  urNone = 5,  // a change not applied yet
  urSuspended = 6,
};

enum TItemStatus : uint8_t { isUnmodified = 0, isUpdated = 1, isAppended = 2, isDeleted = 3 };

// The filter verdict an item caches.
enum TItemFilterState : uint8_t { fsNotChecked = 0, fsNotOmitted = 1, fsOmitted = 2 };

// Why a connection was lost: the operation that was running. The failover
// logic relies on the order.
enum TConnLostCause : uint8_t {
  clUnknown = 0,
  clExecute,
  clOpen,
  clRefresh,
  clApply,
  clServiceQuery,
  clTransStart,
  clConnectionApply,
  clConnect,  // 8
};

// How exact numbers reach the dataset layer.
enum TDANumericType : uint8_t { ntFloat = 0, ntBCD = 1, ntFmtBCD = 2 };

// A set of values of a small enumeration: value n is bit 1 << n.
template <typename Enum>
class TEnumSet {
 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<Enum> values) {
    for (Enum value : values) bits_ |= Bit(value);
  }
  constexpr bool Contains(Enum value) const { return (bits_ & Bit(value)) != 0; }
  constexpr void Include(Enum value) { bits_ |= Bit(value); }
  constexpr bool operator==(const TEnumSet&) const = default;

 private:
  static constexpr uint8_t Bit(Enum value) { return static_cast<uint8_t>(1u << value); }
  uint8_t bits_ = 0;
};

using TItemTypes = TEnumSet<TItemStatus>;

// How a value is compared with a field while sorting and locating. This
// layer reads lxCaseInsensitive, lxPartialKey (the value is a prefix) and
// lxPartialCompare (the value occurs anywhere in the field).
enum TLocateExOption : uint8_t {
  lxCaseInsensitive = 0,
  lxPartialKey = 1,
  lxNearest = 2,
  lxNext = 3,
  lxUp = 4,
  lxPartialCompare = 5,
};
using TLocateExOptions = TEnumSet<TLocateExOption>;

struct TItemHeader;

// A remembered position. The record set base uses only Order; the in-memory
// record set fills the rest: the refresh iteration of its data when the
// bookmark was taken, the item and the item's serial (TBlockManager), which
// tells a reused item from the one the bookmark named.
// Its bytes are the dataset's bookmark, which callers may compare as bytes:
// no padding, so two bookmarks of one row are the same bytes.
struct TRecBookmark {
  int32_t RefreshIteration = 0;
  int32_t Reserved1 = 0;
  TItemHeader* Item = nullptr;
  uint64_t ItemSerial = 0;
  int32_t Order = -1;  // record number when taken; -1: none
  int32_t Reserved2 = 0;
};
static_assert(std::has_unique_object_representations_v<TRecBookmark>, "a bookmark's bytes hold no padding");

// Event and callback types of a record set.
using TOnModifyRecord = std::function<void()>;
using TOnApplyRecord = std::function<void(TUpdateRecKind kind, TUpdateRecAction& action, bool last_item)>;
using TOnGetCachedFields = std::function<void()>;
// Fills the calculated values of buffer, from source when it is given.
using TOnGetCachedBuffer = std::function<void(void* buffer, void* source)>;
// True when the record passes.
using TFilterFunc = std::function<bool(void* rec_buf)>;

}  // namespace dac
