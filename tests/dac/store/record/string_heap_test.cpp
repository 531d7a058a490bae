#include "dac/store/record/string_heap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "dac/framework/classes/exceptions.h"

namespace dac {
namespace {

TEST(StringHeapClasses, SizeBoundaries) {
  TStringHeap heap;
  EXPECT_EQ(heap.NewBuf(0), nullptr);
  EXPECT_EQ(heap.NewBuf(-5), nullptr);
  EXPECT_TRUE(heap.Empty());
  void* one = heap.NewBuf(1);
  EXPECT_EQ(TStringHeap::BufSize(one), 8);
  EXPECT_EQ(TStringHeap::RefCountOf(one), 101);
  EXPECT_EQ(TStringHeap::BufSize(heap.NewBuf(8)), 8);
  EXPECT_EQ(TStringHeap::BufSize(heap.NewBuf(9)), 16);
  EXPECT_EQ(TStringHeap::BufSize(heap.NewBuf(2000)), 2000);  // class 250, small
  EXPECT_FALSE(heap.SysGetMem());
  void* large = heap.NewBuf(2001);
  EXPECT_EQ(TStringHeap::BufSize(large), 2001);
  EXPECT_TRUE(heap.SysGetMem());
  EXPECT_FALSE(heap.Empty());
  heap.DisposeBuf(large);  // back to the general heap (ASan checks the pairing)
  heap.Clear();
  EXPECT_TRUE(heap.Empty());
  EXPECT_FALSE(heap.SysGetMem());
}

TEST(StringHeapClasses, DisposedBufferIsReusedByItsClass) {
  TStringHeap heap;
  void* a = heap.NewBuf(20);
  heap.AddRef(a);
  heap.DisposeBuf(a);
  EXPECT_EQ(TStringHeap::RefCountOf(a), 101);
  heap.DisposeBuf(a);
  EXPECT_EQ(TStringHeap::RefCountOf(a), 100);
  EXPECT_NE(heap.NewBuf(9), a);   // another class
  EXPECT_EQ(heap.NewBuf(17), a);  // the same class (24 bytes)
  EXPECT_EQ(TStringHeap::RefCountOf(a), 101);
}

TEST(StringHeapClasses, ForeignOrFreedPointersAreRefused) {
  TStringHeap heap;
  void* a = heap.NewBuf(8);
  heap.DisposeBuf(a);
  try {
    heap.DisposeBuf(a);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "DisposeBuf failed");
  }
  try {
    heap.AddRef(a);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "AddRefStr failed");
  }
  heap.DisposeBuf(nullptr);
  heap.AddRef(nullptr);
}

TEST(StringHeapClasses, CountNeverWraps) {
  TStringHeap heap;
  void* a = heap.NewBuf(8);
  for (int i = 101; i < 65535; ++i) heap.AddRef(a);
  EXPECT_EQ(TStringHeap::RefCountOf(a), 65535);
  EXPECT_THROW(heap.AddRef(a), EAssertionFailed);
  EXPECT_EQ(TStringHeap::RefCountOf(a), 65535);
}

TEST(StringHeapPages, TailMovesOntoItsClassList) {
  TStringHeap heap;
  // Eight class-250 buffers take 8 * 2006 = 16048 bytes of the 16380; 332 remain.
  for (int i = 0; i < 8; ++i) heap.NewBuf(2000);
  // A ninth does not fit: the tail becomes a free buffer of ((332 - 6) / 8) * 8 = 320 bytes, class 40.
  heap.NewBuf(2000);
  void* tail = heap.NewBuf(320);
  EXPECT_EQ(TStringHeap::BufSize(tail), 320);
  EXPECT_EQ(TStringHeap::RefCountOf(tail), 101);
  void* next = heap.NewBuf(320);  // the class list is empty again: cut from the page
  EXPECT_NE(next, tail);
}

TEST(StringHeapPages, NoTailBelowFourteenBytes) {
  TStringHeap heap;
  // 16380 = 8 * 2006 + 318 + 14: after eight class-250 buffers, a 312-byte
  // request (318 with its header) leaves 14 bytes, which stay; one of 320 bytes
  // would leave 6, which it absorbs.
  for (int i = 0; i < 8; ++i) heap.NewBuf(2000);
  void* last = heap.NewBuf(320);
  EXPECT_EQ(TStringHeap::BufSize(last), 320);  // 332 - 326 = 6 < 8: nothing to absorb
  TStringHeap other;
  for (int i = 0; i < 8; ++i) other.NewBuf(2000);
  void* grown = other.NewBuf(312);  // 332 - 318 = 14: no absorption
  EXPECT_EQ(TStringHeap::BufSize(grown), 312);
  TStringHeap third;
  for (int i = 0; i < 8; ++i) third.NewBuf(2000);
  void* absorbing = third.NewBuf(304);  // 332 - 310 = 22: stays
  EXPECT_EQ(TStringHeap::BufSize(absorbing), 304);
  void* filler = third.NewBuf(8);  // 22 - 14 = 8 < 14: absorbs 8
  EXPECT_EQ(TStringHeap::BufSize(filler), 16);
  third.DisposeBuf(filler);
  EXPECT_EQ(third.NewBuf(16), filler);  // it now belongs to class 2
}

TEST(StringHeapPages, LargestClassNeverAbsorbsIntoTheGeneralHeap) {
  TStringHeap heap;
  // Seven class-250 buffers leave 16380 - 7 * 2006 = 2338 bytes; 310 + 14 more
  // leave 2014, so a class-250 buffer would leave 8 bytes to absorb. Grown to
  // 2008 it would read as large and its page address would reach free().
  for (int i = 0; i < 7; ++i) heap.NewBuf(2000);
  heap.NewBuf(304);
  heap.NewBuf(8);
  void* big = heap.NewBuf(2000);
  EXPECT_EQ(TStringHeap::BufSize(big), 2000);
  heap.DisposeBuf(big);  // onto class 250, never to the general heap
  EXPECT_FALSE(heap.SysGetMem());
  EXPECT_EQ(heap.NewBuf(1993), big);
}

TEST(StringHeapStrings, AllocTrimAndWide) {
  TStringHeap heap;
  char* s = heap.AllocStr("ab  ", true);
  EXPECT_STREQ(s, "ab");
  EXPECT_EQ(TStringHeap::BufSize(s), 8);  // a 3-byte request
  char* empty = heap.AllocStr("xyz", false, 0);
  EXPECT_EQ(empty[0], 0);
  EXPECT_EQ(heap.AllocStr(nullptr), nullptr);
  char* with_zero = heap.AllocStr("a\0b", false, 3);
  EXPECT_EQ(std::memcmp(with_zero, "a\0b\0", 4), 0);
  char16_t* w = heap.AllocWideStr(u"hi  ", true);
  EXPECT_EQ(std::u16string(w), u"hi");
  EXPECT_EQ(TStringHeap::BufSize(w), 8);  // (2 + 1) * 2 = 6 bytes
  // A re-allocation copies wide text as wide text: the zero high byte of 'A' does not end it.
  char16_t* again = heap.ReAllocWideStr(heap.AllocWideStr(u"ABC  "), true);
  EXPECT_EQ(std::u16string(again), u"ABC");
  char* re = heap.ReAllocStr(heap.AllocStr("xy "), true);
  EXPECT_STREQ(re, "xy");
}

TEST(StringHeapModel, RandomRunKeepsContentsApart) {
  TStringHeap heap;
  std::mt19937 gen(12345);
  struct Live {
    int size;
    int refs;
    uint8_t fill;
  };
  std::map<uint8_t*, Live> live;
  auto check_all = [&]() {
    for (const auto& [p, info] : live) {
      for (int i = 0; i < info.size; ++i) ASSERT_EQ(p[i], info.fill) << "buffer overlap or corruption";
      ASSERT_EQ(TStringHeap::RefCountOf(p), 100 + info.refs);
    }
  };
  for (int step = 0; step < 20000; ++step) {
    const int action = static_cast<int>(gen() % 100);
    if (action < 50 || live.empty()) {
      const int size = (gen() % 10 == 0) ? static_cast<int>(2001 + gen() % 3000) : static_cast<int>(1 + gen() % 2000);
      auto* p = static_cast<uint8_t*>(heap.NewBuf(size));
      ASSERT_EQ(live.count(p), 0u);
      const uint8_t fill = static_cast<uint8_t>(gen());
      std::memset(p, fill, static_cast<size_t>(size));
      live[p] = Live{size, 1, fill};
    } else {
      auto it = live.begin();
      std::advance(it, gen() % live.size());
      if (action < 65) {
        heap.AddRef(it->first);
        ++it->second.refs;
      } else if (action < 99) {
        heap.DisposeBuf(it->first);
        if (--it->second.refs == 0) live.erase(it);
      } else {
        // Clear: page buffers die with their pages; large ones stay with their owners.
        for (auto jt = live.begin(); jt != live.end();) {
          if (jt->second.size > 2000) {
            while (jt->second.refs-- > 0) heap.DisposeBuf(jt->first);
          }
          jt = live.erase(jt);
        }
        heap.Clear();
      }
    }
    if (step % 1000 == 0) check_all();
  }
  check_all();
  for (auto& [p, info] : live) {
    if (info.size > 2000) {
      while (info.refs-- > 0) heap.DisposeBuf(p);
    }
  }
}

TEST(StringHeapThreads, AddRefAndDisposeUnderTheLock) {
  TStringHeap heap;
  heap.SetThreadSafety(true);
  EXPECT_TRUE(heap.GetThreadSafety());
  std::vector<void*> shared;
  for (int i = 0; i < 64; ++i) shared.push_back(heap.NewBuf(1 + i * 40));
  constexpr int kRounds = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&heap, &shared, t]() {
      std::mt19937 gen(static_cast<unsigned>(t));
      for (int r = 0; r < kRounds; ++r) {
        void* p = shared[gen() % shared.size()];
        heap.AddRef(p);
        void* mine = heap.NewBuf(static_cast<int>(1 + gen() % 3000));
        heap.DisposeBuf(p);
        heap.DisposeBuf(mine);
      }
    });
  }
  for (auto& t : threads) t.join();
  for (void* p : shared) EXPECT_EQ(TStringHeap::RefCountOf(p), 101);
  for (void* p : shared) heap.DisposeBuf(p);
  heap.SetThreadSafety(false);
  EXPECT_FALSE(heap.GetThreadSafety());
}

}  // namespace
}  // namespace dac
