#include "dac/store/record/string_heap.h"

#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/runtime/marshal.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

DAC_DEFINE_CLASS(TStringHeap, TObject, ::dac::TMetaClassOf<TStringHeap>)

namespace {

constexpr int kHeader = 6;
constexpr size_t kLink = sizeof(void*);  // the page link in front of each page's area
// A page tail below this holds no buffer: the last buffer absorbs it.
constexpr int32_t kMinTail = 14;

int32_t LoadSize(const uint8_t* data) { return LoadAt<int32_t>(data - kHeader); }
void StoreSize(uint8_t* data, int32_t size) { StoreAt(data - kHeader, 0, size); }
uint16_t LoadCount(const uint8_t* data) { return LoadAt<uint16_t>(data - 2); }
void StoreCount(uint8_t* data, uint16_t count) { StoreAt(data - 2, 0, count); }
uint8_t* LoadLink(const uint8_t* at) { return LoadAt<uint8_t*>(at); }
void StoreLink(uint8_t* at, uint8_t* link) { StoreAt(at, 0, link); }

// Holds the heap's critical section for a scope when thread safety is on.
class OptionalLock {
 public:
  explicit OptionalLock(plat::CriticalSection* section) : section_(section) {
    if (section_) section_->lock();
  }
  ~OptionalLock() {
    if (section_) section_->unlock();
  }
  OptionalLock(const OptionalLock&) = delete;
  OptionalLock& operator=(const OptionalLock&) = delete;

 private:
  plat::CriticalSection* section_;
};

}  // namespace

TStringHeap::TStringHeap() = default;

TStringHeap::~TStringHeap() { Clear(); }

void TStringHeap::SetThreadSafety(bool value) {
  if (value == GetThreadSafety()) return;
  if (value) {
    DAC_ASSERT(!lock_, "Assertion failure");
    lock_ = std::make_unique<plat::CriticalSection>();
  } else {
    lock_.reset();
  }
}

uint8_t* TStringHeap::NewPage() {
  auto* page = static_cast<uint8_t*>(Marshal::AllocHGlobal(kLink + kPageArea));
  StoreLink(page, root_);
  root_ = page;
  free_ = kPageArea;
  return page;
}

void TStringHeap::PushFree(uint8_t* data, int size_class) {
  StoreCount(data, kFreeMark);
  StoreLink(data, small_tabs_[static_cast<size_t>(size_class)]);
  small_tabs_[static_cast<size_t>(size_class)] = data;
}

void* TStringHeap::NewSmall(int granules) {
  if (uint8_t* reused = small_tabs_[static_cast<size_t>(granules)]) {
    small_tabs_[static_cast<size_t>(granules)] = LoadLink(reused);
    StoreCount(reused, kOneReference);
    return reused;
  }
  const int32_t needed = granules * kGranule + kHeader;
  if (!root_) {
    NewPage();
  } else if (free_ < needed) {
    // The rest of the page becomes a free buffer of its own class, when it can hold one.
    const int32_t tail_capacity = (free_ - kHeader) / kGranule * kGranule;
    if (tail_capacity >= kGranule) {
      uint8_t* tail = root_ + kLink + (kPageArea - free_) + kHeader;
      StoreSize(tail, tail_capacity);
      PushFree(tail, tail_capacity / kGranule);
    }
    NewPage();
  }
  uint8_t* data = root_ + kLink + (kPageArea - free_) + kHeader;
  int32_t capacity = granules * kGranule;
  free_ -= needed;
  // A tail too small for any buffer is absorbed, except by the largest class,
  // which must stay small so that DisposeBuf keeps it off the general heap.
  if (free_ < kMinTail && granules < kSmallClasses) {
    const int32_t extra = free_ / kGranule * kGranule;
    capacity += extra;
    free_ -= extra;
  }
  StoreSize(data, capacity);
  StoreCount(data, kOneReference);
  return data;
}

void* TStringHeap::NewBuf(int size) {
  if (size <= 0) return nullptr;
  OptionalLock guard(lock_.get());
  empty_ = false;
  const int granules = static_cast<int>((static_cast<int64_t>(size) + kGranule - 1) / kGranule);
  if (UseSmallTabs(granules)) return NewSmall(granules);
  sys_get_mem_ = true;
  auto* block = static_cast<uint8_t*>(Marshal::AllocHGlobal(static_cast<size_t>(size) + kHeader));
  uint8_t* data = block + kHeader;
  StoreSize(data, size);
  StoreCount(data, kOneReference);
  return data;
}

void TStringHeap::DisposeBuf(void* buf) {
  if (!buf) return;
  OptionalLock guard(lock_.get());
  auto* data = static_cast<uint8_t*>(buf);
  const uint16_t count = LoadCount(data);
  DAC_ASSERT(count >= kOneReference, "DisposeBuf failed");
  if (count > kOneReference) {
    StoreCount(data, static_cast<uint16_t>(count - 1));
    return;
  }
  const int64_t granules = (static_cast<int64_t>(LoadSize(data)) + kGranule - 1) / kGranule;
  DAC_ASSERT(granules > 0, "SmallTab in DisposeBuf failed");
  if (granules <= kSmallClasses) {
    PushFree(data, static_cast<int>(granules));
  } else {
    StoreCount(data, kFreeMark);
    Marshal::FreeHGlobal(data - kHeader);
  }
}

void TStringHeap::AddRef(void* buf) {
  if (!buf) return;
  OptionalLock guard(lock_.get());
  auto* data = static_cast<uint8_t*>(buf);
  const uint16_t count = LoadCount(data);
  DAC_ASSERT(count >= kOneReference && count < UINT16_MAX, "AddRefStr failed");
  StoreCount(data, static_cast<uint16_t>(count + 1));
}

char* TStringHeap::AllocStr(const char* text, bool trim, int len) {
  if (!text) return nullptr;
  size_t n = len < 0 ? std::strlen(text) : static_cast<size_t>(len);
  if (trim) {
    while (n > 0 && text[n - 1] == ' ') --n;
  }
  if (n >= static_cast<size_t>(INT32_MAX)) throw ArgumentException("String too long for the string heap");
  auto* buf = static_cast<char*>(NewBuf(static_cast<int>(n + 1)));
  std::memcpy(buf, text, n);
  buf[n] = 0;
  return buf;
}

char16_t* TStringHeap::AllocWideStr(const char16_t* text, bool trim, int len) {
  if (!text) return nullptr;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
  size_t n = len < 0 ? WideLengthAt(text) : static_cast<size_t>(len);
  if (trim) {
    while (n > 0 && bytes[(n - 1) * 2] == ' ' && bytes[(n - 1) * 2 + 1] == 0) --n;
  }
  if (n >= static_cast<size_t>(INT32_MAX / 2 - 1)) throw ArgumentException("String too long for the string heap");
  auto* buf = static_cast<uint8_t*>(NewBuf(static_cast<int>((n + 1) * 2)));
  std::memcpy(buf, bytes, n * 2);
  buf[n * 2] = 0;
  buf[n * 2 + 1] = 0;
  return reinterpret_cast<char16_t*>(buf);
}

char* TStringHeap::ReAllocStr(char* buf, bool trim) {
  char* copy = AllocStr(buf, trim, -1);
  DisposeBuf(buf);
  return copy;
}

char16_t* TStringHeap::ReAllocWideStr(char16_t* buf, bool trim) {
  // Copied as wide text: an 8-bit copy would stop at the first zero byte.
  char16_t* copy = AllocWideStr(buf, trim, -1);
  DisposeBuf(buf);
  return copy;
}

void TStringHeap::Clear() {
  OptionalLock guard(lock_.get());
  if (empty_) return;
  while (root_) {
    uint8_t* previous = LoadLink(root_);
    Marshal::FreeHGlobal(root_);
    root_ = previous;
  }
  free_ = kPageArea;
  small_tabs_.fill(nullptr);
  empty_ = true;
  sys_get_mem_ = false;
}

int32_t TStringHeap::BufSize(const void* buf) { return LoadSize(static_cast<const uint8_t*>(buf)); }
uint16_t TStringHeap::RefCountOf(const void* buf) { return LoadCount(static_cast<const uint8_t*>(buf)); }

}  // namespace dac
