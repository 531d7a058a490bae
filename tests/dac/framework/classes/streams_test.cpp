#include "dac/framework/classes/streams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/temp_file.h"

namespace dac {
namespace {

TEST(MemoryStreamClass, GrowsWithZerosAndKeepsPosition) {
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  s.SetPosition(6);
  s.WriteBuffer("z", 1);
  ASSERT_EQ(s.GetSize(), 7);
  EXPECT_EQ(std::memcmp(s.Memory(), "abc\0\0\0z", 7), 0);
  s.SetSize(2);
  EXPECT_EQ(s.GetPosition(), 2);
  s.SetSize(5);
  EXPECT_EQ(std::memcmp(s.Memory(), "ab\0\0\0", 5), 0);  // no stale bytes come back
  s.SetPosition(0);
  char buffer[8] = {};
  EXPECT_EQ(s.Read(buffer, 8), 5);
  EXPECT_THROW(s.ReadBuffer(buffer, 1), EReadError);
  EXPECT_THROW(s.SetPosition(-1), EStreamError);
}

TEST(MemoryStreamClass, PositionsAtTheEndOfTheRangeNeitherWrapNorWrite) {
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  s.SetPosition(INT64_MAX);
  EXPECT_THROW(s.WriteBuffer("z", 1), EWriteError);
  EXPECT_THROW(s.Seek(1, SeekOrigin::Current), EStreamError);
  EXPECT_THROW(s.Seek(INT64_MAX, SeekOrigin::End), EStreamError);
  EXPECT_EQ(s.GetSize(), 3);
  EXPECT_EQ(std::memcmp(s.Memory(), "abc", 3), 0);
}

TEST(FileStreamClass, WritesReadsAndReportsMissingFiles) {
  plat::TempFile temp;
  temp.Close();
  {
    TFileStream out(temp.path(), FileMode::Create);
    out.WriteBuffer("hello world", 11);
    out.SetSize(5);
    EXPECT_EQ(out.GetPosition(), 5);
  }
  TFileStream in(temp.path(), FileMode::OpenRead);
  EXPECT_EQ(in.GetSize(), 5);
  TMemoryStream copy;
  copy.CopyFrom(in, 0);
  EXPECT_EQ(std::string(static_cast<const char*>(copy.Memory()), 5), "hello");
  EXPECT_THROW(TFileStream("/nonexistent/dir/file", FileMode::OpenRead), EFOpenError);
  EXPECT_THROW(TFileStream("/nonexistent/dir/file", FileMode::Create), EFCreateError);
  std::remove(temp.path().c_str());
}

TEST(MemoryStreamClass, SavesAndLoadsFiles) {
  plat::TempFile temp;
  temp.Close();
  TMemoryStream s;
  s.WriteBuffer("data\0more", 9);
  s.SaveToFile(temp.path());
  TMemoryStream back;
  back.LoadFromFile(temp.path());
  ASSERT_EQ(back.GetSize(), 9);
  EXPECT_EQ(std::memcmp(back.Memory(), "data\0more", 9), 0);
  std::remove(temp.path().c_str());
}

}  // namespace
}  // namespace dac
