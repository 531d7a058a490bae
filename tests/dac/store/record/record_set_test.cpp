// The record set base: its lifecycle with failing steps, record editing with
// the values records refer to (under ASan and LSan), bookmarks and hooks.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/runtime/host_hooks.h"
#include "tests/dac/store/test_record_set.h"

namespace dac {
namespace {

using testing::TTestData;

// Opening describes the fields; each step can be made to fail.
class TLifecycleData : public TTestData {
 public:
  bool fail_open = false;
  bool fail_close = false;
  bool fail_put = false;
  int opens = 0;
  int closes = 0;
  int unprepares = 0;

  TLifecycleData() { columns = {{"ID", dtInteger, 4}}; }
  ~TLifecycleData() override {
    fail_close = false;
    Close();
  }
  void PutRecord(void* rec_buf) override {
    if (fail_put) throw Exception("put failed");
    TTestData::PutRecord(rec_buf);
  }
  std::string State() const {
    return Format("active %d prepared %d fields %d rows %zu tree %d opens %d closes %d unprepares %d", GetActive(),
                  GetPrepared(), GetFieldCount(), rows.size(), GetFilterExpression() != nullptr, opens, closes,
                  unprepares);
  }

 protected:
  void InternalOpen() override {
    InitFields();
    if (fail_open) throw Exception("open failed");
    ++opens;
  }
  void InternalClose() override {
    ++closes;
    if (fail_close) throw Exception("close failed");
  }
  void InternalUnPrepare() override { ++unprepares; }
};

TEST(RecordSetLifecycle, Steps) {
  TLifecycleData d;
  auto fails = [](const std::function<void()>& step, const std::string& message) {
    return [step, message] {
      try {
        step();
        ADD_FAILURE() << "no failure";
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), message);
      }
    };
  };
  const std::pair<std::function<void()>, const char*> steps[] = {
      {[&] { d.SetFilterText("ID > 0"); d.Open(); d.AppendBlankRecord(); },
       "active 1 prepared 0 fields 1 rows 1 tree 1 opens 1 closes 0 unprepares 0"},
      {[&] { d.Open(); }, "active 1 prepared 0 fields 1 rows 1 tree 1 opens 1 closes 0 unprepares 0"},
      {[&] { d.Close(); }, "active 0 prepared 0 fields 0 rows 0 tree 0 opens 1 closes 1 unprepares 0"},
      {[&] { d.InitFields(); d.Close(); }, "active 0 prepared 0 fields 0 rows 0 tree 0 opens 1 closes 1 unprepares 0"},
      {[&] { d.Prepare(); d.Reopen(); d.Close(); },
       "active 0 prepared 1 fields 1 rows 0 tree 0 opens 2 closes 2 unprepares 0"},
      {[&] { d.UnPrepare(); d.UnPrepare(); },
       "active 0 prepared 0 fields 0 rows 0 tree 0 opens 2 closes 2 unprepares 1"},
      {[&] { d.InitFields(); d.SetAutoInitFields(false); d.Close(); d.SetAutoInitFields(true); },
       "active 0 prepared 0 fields 1 rows 0 tree 0 opens 2 closes 2 unprepares 1"},
      {fails([&] { d.fail_open = true; d.Open(); }, "open failed"),
       "active 0 prepared 0 fields 1 rows 0 tree 0 opens 2 closes 2 unprepares 1"},
      // A filter that does not parse after a successful open closes what was opened.
      {fails([&] { d.fail_open = false; d.SetFilterText("ID = = 1"); d.Open(); }, "Illegal filter expression"),
       "active 0 prepared 0 fields 1 rows 0 tree 0 opens 3 closes 3 unprepares 1"},
      {fails([&] { d.SetFilterText("ID <> 1"); d.Open(); d.AppendBlankRecord(); d.fail_close = true; d.Close(); },
             "close failed"),
       "active 0 prepared 0 fields 0 rows 0 tree 0 opens 4 closes 4 unprepares 1"},
  };
  for (const auto& [step, state] : steps) {
    step();
    EXPECT_EQ(d.State(), state);
  }
  EXPECT_EQ(d.GetFilterText(), "ID <> 1");
  EXPECT_TRUE(d.GetBOF() && d.GetEOF());
}

TEST(RecordSetBase, BookmarksEventsAndHooks) {
  TLifecycleData data;
  TRecBookmark one;
  TRecBookmark two;
  TRecBookmark none;
  one.Order = 1;
  two.Order = 2;
  EXPECT_EQ(data.CompareBookmarks(&one, &two), -1);
  EXPECT_EQ(data.CompareBookmarks(&two, &one), 1);
  EXPECT_EQ(data.CompareBookmarks(&one, &one), 0);
  EXPECT_EQ(data.CompareBookmarks(&one, nullptr), -1);
  EXPECT_EQ(data.CompareBookmarks(nullptr, &one), 1);
  EXPECT_EQ(data.CompareBookmarks(nullptr, nullptr), 0);
  EXPECT_FALSE(data.BookmarkValid(&none) || data.BookmarkValid(nullptr));

  int appended = 0;
  data.SetOnAppend([&] { ++appended; });
  data.SetOnApplyRecord([](TUpdateRecKind kind, TUpdateRecAction& action, bool last) {
    action = kind == ukDelete && last ? urApplied : urSkip;
  });
  data.Open();
  data.AppendBlankRecord();
  EXPECT_EQ(appended, 1);
  TUpdateRecAction action = urFail;
  data.ApplyRecord(ukDelete, action, true);
  EXPECT_EQ(action, urApplied);

  StartWait();  // no hooks: nothing happens
  StopWait();
  EXPECT_EQ(ApplicationTitle(), "");
  int waits = 0;
  StartWaitProc = [&] { ++waits; };
  ApplicationTitleProc = [] { return std::string("Host"); };
  StartWait();
  EXPECT_EQ(waits, 1);
  EXPECT_EQ(ApplicationTitle(), "Host");
  StartWaitProc = nullptr;
  ApplicationTitleProc = nullptr;
}

// The dataset's editing protocol over values of every reference kind; ASan
// and LSan watch for leaks and double releases.
class RecordEditing : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.columns = {{"V", dtVariant, kReferenceSlotSize},        {"ES", dtExtString, kReferenceSlotSize},
                     {"EVB", dtExtVarBytes, kReferenceSlotSize},  {"EWS", dtExtWideString, kReferenceSlotSize},
                     {"M", dtMemo, kReferenceSlotSize}};
    data_.Open();
    void* row = NewBuffer();
    data_.CreateComplexFields(row, true);
    Write(row, "old");
    data_.AppendRecord(row);  // the stored row takes over the references
    data_.FreeRecBuf(row);
    active_ = NewBuffer();
    data_.GetRecord(active_);  // shares the stored row's references
  }
  void TearDown() override { data_.FreeRecBuf(active_); }

  void* NewBuffer() {
    void* buf = nullptr;
    data_.AllocRecBuf(buf);
    data_.InitRecord(buf);
    return buf;
  }
  void Write(void* buf, const std::string& text) {
    for (uint16_t no = 1; no <= 5; ++no) {
      data_.PutFieldAsVariant(no, buf, no == 3 ? Variant(TBytes(text.begin(), text.end())) : Variant(text));
    }
  }
  // Every field of the stored row holds the text.
  void ExpectStored(const std::string& text) {
    void* buf = NewBuffer();
    data_.GetRecord(buf);
    for (uint16_t no = 1; no <= 5; ++no) {
      Variant value;
      data_.GetFieldAsVariant(no, buf, value);
      EXPECT_EQ(value, no == 3 ? Variant(TBytes(text.begin(), text.end())) : Variant(text)) << no;
    }
    data_.FreeRecBuf(buf);
  }

  TLifecycleData data_;
  void* active_ = nullptr;
};

TEST_F(RecordEditing, EditAndPost) {
  data_.EditRecord(active_);
  Write(active_, "new");
  data_.PostRecord(active_);
  ExpectStored("new");
}

TEST_F(RecordEditing, EditAndCancel) {
  data_.EditRecord(active_);
  Write(active_, "new");  // the blob is shared: its rollback copy keeps "old"
  data_.CancelRecord(active_);
  ExpectStored("old");
}

TEST_F(RecordEditing, FailedPostKeepsTheStoredRow) {
  data_.SetOnUpdate([] { throw std::runtime_error("server refused"); });
  data_.EditRecord(active_);
  Write(active_, "new");
  EXPECT_THROW(data_.PostRecord(active_), std::runtime_error);
  data_.CancelRecord(active_);
  ExpectStored("old");
}

TEST_F(RecordEditing, FailedEditReleasesItsCopies) {
  data_.fail_put = true;
  EXPECT_THROW(data_.EditRecord(active_), Exception);
  data_.fail_put = false;
  ExpectStored("old");
}

}  // namespace
}  // namespace dac
