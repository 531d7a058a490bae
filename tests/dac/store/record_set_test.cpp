// The record set base: its lifecycle with failing steps, record editing with
// the values records refer to (under ASan and LSan), bookmarks and hooks.
#include <gtest/gtest.h>

#include <stdexcept>

#include "dac/framework/exceptions.h"
#include "dac/store/blob.h"
#include "dac/store/filter_expression.h"
#include "dac/store/host_hooks.h"
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
  int frees = 0;

  TLifecycleData() { columns = {{"ID", dtInteger, 4}}; }
  ~TLifecycleData() override {
    fail_close = false;
    Close();
  }

  void PutRecord(void* rec_buf) override {
    if (fail_put) throw Exception("put failed");
    TTestData::PutRecord(rec_buf);
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
  void FreeData() override {
    ++frees;
    TTestData::FreeData();
  }
};

TEST(RecordSetLifecycle, OpenCloseAndPrepare) {
  TLifecycleData data;
  data.Open();
  data.Open();
  EXPECT_EQ(data.opens, 1);
  EXPECT_TRUE(data.GetActive());
  data.AppendBlankRecord();
  EXPECT_EQ(data.rows.size(), 1u);

  data.Close();
  EXPECT_FALSE(data.GetActive());
  EXPECT_EQ(data.closes, 1);
  EXPECT_TRUE(data.rows.empty());
  EXPECT_EQ(data.GetFieldCount(), 0);  // unprepared: fields dropped

  // Closing a closed record set frees again, and closes nothing.
  data.InitFields();
  const int frees = data.frees;
  data.Close();
  EXPECT_EQ(data.frees, frees + 1);
  EXPECT_EQ(data.closes, 1);
  EXPECT_EQ(data.GetFieldCount(), 0);

  data.Prepare();
  data.Open();
  data.Close();
  EXPECT_TRUE(data.GetPrepared());
  EXPECT_EQ(data.GetFieldCount(), 1);  // prepared: fields kept
  data.UnPrepare();
  data.UnPrepare();
  EXPECT_EQ(data.unprepares, 1);
  EXPECT_EQ(data.GetFieldCount(), 0);

  data.InitFields();
  data.SetAutoInitFields(false);
  data.Close();
  EXPECT_EQ(data.GetFieldCount(), 1);
  EXPECT_TRUE(data.IsFullReopen());
}

TEST(RecordSetLifecycle, FailuresLeaveItClosed) {
  TLifecycleData data;
  data.fail_open = true;
  data.SetFilterText("ID = 1");
  EXPECT_THROW(data.Open(), Exception);
  EXPECT_FALSE(data.GetActive());
  EXPECT_EQ(data.GetFilterExpression(), nullptr);
  EXPECT_EQ(data.closes, 0);
  EXPECT_TRUE(data.GetBOF() && data.GetEOF());

  // A filter that does not parse after a successful open closes what was opened.
  data.fail_open = false;
  data.SetFilterText("ID = = 1");
  try {
    data.Open();
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Illegal filter expression");
  }
  EXPECT_FALSE(data.GetActive());
  EXPECT_EQ(data.closes, 1);
  EXPECT_EQ(data.GetFilterText(), "ID = = 1");

  data.SetFilterText("ID > 0");
  data.Open();
  EXPECT_NE(data.GetFilterExpression(), nullptr);
  data.AppendBlankRecord();
  data.fail_close = true;
  EXPECT_THROW(data.Close(), Exception);
  EXPECT_FALSE(data.GetActive());
  EXPECT_TRUE(data.rows.empty());
  EXPECT_EQ(data.GetFilterExpression(), nullptr);
  EXPECT_EQ(data.GetFieldCount(), 0);

  data.fail_close = false;
  data.Reopen();
  EXPECT_TRUE(data.GetActive());
  EXPECT_NE(data.GetFilterExpression(), nullptr);
}

TEST(RecordSetBase, BookmarksEventsAndHooks) {
  TRecBookmark one;
  TRecBookmark two;
  one.Order = 1;
  two.Order = 2;
  TLifecycleData data;
  const struct {
    TRecBookmark* a;
    TRecBookmark* b;
    int expected;
  } cases[] = {{&one, &two, -1}, {&two, &one, 1}, {&one, &one, 0}, {&one, nullptr, -1}, {nullptr, &one, 1},
               {nullptr, nullptr, 0}};
  for (const auto& c : cases) EXPECT_EQ(data.CompareBookmarks(c.a, c.b), c.expected);
  TRecBookmark none;
  EXPECT_FALSE(data.BookmarkValid(&none));
  EXPECT_FALSE(data.BookmarkValid(nullptr));
  EXPECT_TRUE(data.BookmarkValid(&one));
  data.GetBookmark(&one);
  EXPECT_EQ(one.Order, -1);

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

  EXPECT_EQ(ApplicationTitle(), "");
  StartWait();
  StopWait();
  int waits = 0;
  StartWaitProc = [&] { ++waits; };
  StopWaitProc = [&] { --waits; };
  ApplicationTitleProc = [] { return std::string("Host"); };
  StartWait();
  EXPECT_EQ(waits, 1);
  StopWait();
  EXPECT_EQ(waits, 0);
  EXPECT_EQ(ApplicationTitle(), "Host");
  StartWaitProc = nullptr;
  StopWaitProc = nullptr;
  ApplicationTitleProc = nullptr;
}

// The dataset's editing protocol over values of every reference kind; ASan
// and LSan watch for leaks and double releases.
class RecordEditing : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.columns = {{"ID", dtInteger, 4},
                     {"V", dtVariant, kReferenceSlotSize},
                     {"ES", dtExtString, kReferenceSlotSize},
                     {"EVB", dtExtVarBytes, kReferenceSlotSize},
                     {"EWS", dtExtWideString, kReferenceSlotSize},
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
  void Put(void* buf, const char* name, const Variant& value) {
    data_.PutFieldAsVariant(data_.FieldByName(name)->GetFieldNo(), buf, value);
  }
  void Write(void* buf, const std::string& text) {
    Put(buf, "V", Variant(text));
    Put(buf, "ES", Variant(text));
    Put(buf, "EVB", Variant(TBytes(text.begin(), text.end())));
    Put(buf, "EWS", Variant(WideString(text.begin(), text.end())));
    Put(buf, "M", Variant(text));
  }
  // Every field of the stored row holds the text.
  void ExpectStored(const std::string& text) {
    void* buf = NewBuffer();
    data_.GetRecord(buf);
    for (const char* name : {"V", "ES", "EVB", "EWS", "M"}) {
      Variant value;
      data_.GetFieldAsVariant(data_.FieldByName(name)->GetFieldNo(), buf, value);
      EXPECT_EQ(name == std::string("EVB") ? std::string(value.AsBytes().begin(), value.AsBytes().end())
                                           : value.AsString(),
                text)
          << name;
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
