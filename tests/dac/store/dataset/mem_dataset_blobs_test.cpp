// Blob streams over the dataset's records and the blob access beside them:
// modes and states, ranges, old values, and streams that outlive their
// record, its row or the dataset (the sanitizer build checks those).
#include <gtest/gtest.h>

#include "dac/framework/data/blob_fields.h"
#include "dac/store/blob/blob.h"
#include "dac/store/dataset/blob_stream.h"
#include "tests/dac/store/test_mem_dataset.h"

namespace dac {
namespace {

using testing::MakeDataSet;

auto MemoDataSet() {
  auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"M", dtMemo, kReferenceSlotSize}});
  ds->AddSource({{1, "first memo"}, {2, "second"}, {3, "third"}});
  ds->Open();
  return ds;
}

std::string ReadAll(TStream& stream, int64_t count = 100) {
  std::string text(static_cast<size_t>(count), '\0');
  text.resize(static_cast<size_t>(stream.Read(text.data(), count)));
  return text;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

TEST(MemDataSetBlobs, StreamModesRangesAndOldValues) {
  auto ds = MemoDataSet();
  TField* memo = ds->F("M");
  int changes = 0;
  memo->SetOnChange([&](TField*) { ++changes; });
  EXPECT_EQ(ErrorOf([&] { ds->CreateBlobStream(memo, bmWrite); }), "Dataset not in edit or insert mode");

  // Reading: what is left of the blob, then nothing; no change event.
  auto read = ds->CreateBlobStream(memo, bmRead);
  read->SetPosition(6);
  EXPECT_EQ(ReadAll(*read), "memo");
  EXPECT_EQ(ReadAll(*read), "");
  read->Seek(-4, SeekOrigin::End);
  EXPECT_EQ(ReadAll(*read, 2), "me");
  EXPECT_EQ(ErrorOf([&] { read->Seek(-20, SeekOrigin::Current); }), "Invalid BLOB position");
  EXPECT_EQ(read->GetPosition(), 8);
  read.reset();
  EXPECT_EQ(changes, 0);

  ds->Edit();
  auto both = ds->CreateBlobStream(memo, bmReadWrite);
  EXPECT_EQ(both->GetPosition(), 0);
  EXPECT_EQ(ReadAll(*both, 5), "first");
  both->SetPosition(0);
  both->WriteBuffer("FIRST", 5);
  EXPECT_EQ(ErrorOf([&] { both->Seek(int64_t{1} << 31, SeekOrigin::Beginning); }), "Invalid BLOB position");
  both->Seek(INT32_MAX, SeekOrigin::Beginning);
  EXPECT_EQ(ErrorOf([&] { both->Write("x", 1); }), "Invalid BLOB position");
  both.reset();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(memo->AsString(), "FIRST memo");
  // Written, the old value is still the content before the edit.
  EXPECT_EQ(memo->OldValue().AsString(), "first memo");
  auto write = ds->CreateBlobStream(memo, bmWrite);
  EXPECT_EQ(write->GetSize(), 0);
  write.reset();
  ds->Cancel();
  EXPECT_EQ(memo->AsString(), "first memo");
}

TEST(MemDataSetBlobs, StreamsLetGoOfRecordsThatLeave) {
  auto ds = MemoDataSet();
  TField* memo = ds->F("M");
  auto stream = ds->CreateBlobStream(memo, bmRead);
  ds->Next();
  ds->Next();
  // The record's buffer now holds another record: the stream reads nothing.
  EXPECT_EQ(ReadAll(*stream), "");
  EXPECT_EQ(stream->GetSize(), 0);

  auto on_deleted = ds->CreateBlobStream(memo, bmRead);
  ds->Delete();
  EXPECT_EQ(ReadAll(*on_deleted), "");

  ds->Append();
  auto on_cancelled = ds->CreateBlobStream(memo, bmWrite);
  on_cancelled->WriteBuffer("draft", 5);
  ds->Cancel();
  EXPECT_EQ(on_cancelled->Write("more", 4), 0);

  auto on_closed = ds->CreateBlobStream(memo, bmRead);
  ds->Close();
  EXPECT_EQ(ReadAll(*on_closed), "");
  ds->Open();
  auto outliving = ds->CreateBlobStream(ds->F("M"), bmRead);
  ds.reset();
  EXPECT_EQ(ReadAll(*outliving), "");
  EXPECT_EQ(ReadAll(*stream), "");
}

TEST(MemDataSetBlobs, BlobObjectsOfTheCurrentRecord) {
  auto ds = MemoDataSet();
  TBlob* blob = ds->GetBlob("M");
  EXPECT_EQ(blob->GetAsString(), "first memo");
  EXPECT_EQ(ds->GetBlob(ds->F("M")), blob);
  EXPECT_EQ(ErrorOf([&] { ds->GetBlob("ID"); }), "Field is not BLOB");

  // In an edit the row's blob takes the content, so a cancel still restores it.
  SharedRef<TBlob> other = MakeShared<TBlob>();
  other->SetAsString("replaced");
  ds->Edit();
  EXPECT_TRUE(ds->SetBlob(ds->F("M"), other.get()));
  EXPECT_EQ(ds->Text("M"), "replaced");
  ds->Cancel();
  EXPECT_EQ(ds->Text("M"), "first memo");
  // A new record owns its blob: it takes the object itself.
  ds->Append();
  EXPECT_TRUE(TMemDSUtils::SetBlob(ds.get(), ds->F("M"), other.get()));
  EXPECT_EQ(TMemDSUtils::GetBlob(ds.get(), ds->GetFieldDesc(ds->F("M"))), other.get());
  ds->Post();
  EXPECT_EQ(ds->Values("M"), "first memo|second|third|replaced");
}

}  // namespace
}  // namespace dac
