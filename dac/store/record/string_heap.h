// The record set's string heap: reference-counted buffers for values that do
// not fit the fixed record layout. Buffers up to 2000 bytes are cut from
// 16 KiB pages and recycled through one free list per 8-byte size class;
// larger ones come from the general heap. Clear frees every page at once.
//
// Each buffer is a pointer to its data with a header in front of it:
//   data - 6: 4-byte size (a small buffer's capacity, a multiple of 8; a large buffer's requested size)
//   data - 2: 2-byte count: 101 for one reference, 102 for two, ...; 100 marks a free buffer.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "dac/framework/classes/meta_class.h"
#include "platform/critical_section.h"

namespace dac {

class TStringHeap : public TObject {
  DAC_DECLARE_CLASS();

 public:
  static constexpr int kGranule = 8;
  static constexpr int kSmallClasses = 250;    // classes 1..250 hold 8..2000 bytes
  static constexpr int kPageArea = 16380;      // bytes for buffers in each page
  static constexpr uint16_t kOneReference = 101;
  static constexpr uint16_t kFreeMark = 100;

  TStringHeap();
  ~TStringHeap() override;
  TStringHeap(const TStringHeap&) = delete;
  TStringHeap& operator=(const TStringHeap&) = delete;

  // Null for a size of 0 or less. Out of memory is std::bad_alloc.
  void* NewBuf(int size);
  // Drops one reference; the last puts a small buffer on its class's free
  // list and returns a large one to the general heap. Null is ignored; a
  // pointer that is not a live buffer is an assertion failure "DisposeBuf failed".
  void DisposeBuf(void* buf);
  // One more reference; assertion failure "AddRefStr failed" for a pointer
  // that is not a live buffer or a count at its maximum.
  void AddRef(void* buf);

  // A copy of the text and a terminating zero; len -1 means up to the first
  // zero; trim drops trailing blanks. Null for a null text.
  char* AllocStr(const char* text, bool trim = false, int len = -1);
  char16_t* AllocWideStr(const char16_t* text, bool trim = false, int len = -1);
  // A fresh copy of the buffer's zero-terminated text, then the buffer is disposed.
  char* ReAllocStr(char* buf, bool trim);
  char16_t* ReAllocWideStr(char16_t* buf, bool trim);

  static bool UseSmallTabs(int granules) { return granules <= kSmallClasses; }
  // Frees every page; large buffers are not tracked and stay with their owners.
  void Clear();

  bool Empty() const { return empty_; }
  // A large buffer was taken from the general heap since the last Clear.
  bool SysGetMem() const { return sys_get_mem_; }
  bool GetThreadSafety() const { return lock_ != nullptr; }
  // With thread safety on, every operation runs under the heap's critical section.
  void SetThreadSafety(bool value);

  static int32_t BufSize(const void* buf);
  static uint16_t RefCountOf(const void* buf);

 private:
  uint8_t* NewPage();
  void PushFree(uint8_t* data, int size_class);
  void* NewSmall(int granules);

  std::array<uint8_t*, kSmallClasses + 1> small_tabs_{};
  int32_t free_ = kPageArea;
  uint8_t* root_ = nullptr;  // current page; its first word links to the previous one
  bool empty_ = true;
  bool sys_get_mem_ = false;
  std::unique_ptr<plat::CriticalSection> lock_;
};

}  // namespace dac
