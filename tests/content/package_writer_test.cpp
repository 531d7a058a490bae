#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "content/xor_file_stream.h"
#include "package_test_support.h"
#include "platform/ascii.h"
#include "platform/files.h"

namespace content {
namespace {

class PackageWriterTest : public package_test::TempFolder {};

std::string Bytes(size_t n, unsigned seed) {
  std::string out(n, '\0');
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>((i * seed + seed) & 0xFF);
  return out;
}

TEST_F(PackageWriterTest, RoundTripsSeveralEntries) {
  const std::string path = root_ + "/course.vrn";
  const std::string long_name(263, 'q');
  const std::vector<std::pair<std::string, std::string>> files = {
      {"index.html", "<html>start</html>"},
      {"empty.txt", ""},
      {"movie.swf", Bytes(5000, 7)},
      {long_name, Bytes(94, 3)},
      {"Users.CSV", std::string("a;b\0c", 5)},
  };
  {
    TXORFileStream writer(path, TXORFileStream::kCreate, kPackageKey);
    for (const auto& [name, data] : files) writer.AddFile(name, data);
    writer.Finish();
  }
  EXPECT_EQ(CountFiles(), 1u);  // no temporary file left beside it
  ASSERT_TRUE(IsXORFileStream(path));
  TXORFileStream reader(path, TXORFileStream::kRead, kPackageKey);
  for (const auto& [name, data] : files) {
    std::string stream;
    ASSERT_TRUE(reader.ReadToStream(name, stream)) << name;
    EXPECT_EQ(stream, data) << name;
    EXPECT_EQ(reader.GetFileSize(plat::AsciiUpperCase(name)), static_cast<int64_t>(data.size()));
  }
}

TEST_F(PackageWriterTest, RefusesNamesItCannotStore) {
  const std::string path = root_ + "/names.vrn";
  {
    TXORFileStream writer(path, TXORFileStream::kCreate, kPackageKey);
    for (const std::string& bad : {std::string(), std::string(264, 'x'), std::string("img/a.jpg"),
                                   std::string("img\\a.jpg"), std::string("a\0b", 3)})
      EXPECT_THROW(writer.AddFile(bad, "data"), PackageFormatError) << bad;
    writer.AddFile("good.txt", "kept");
  }
  TXORFileStream reader(path, TXORFileStream::kRead, kPackageKey);
  EXPECT_EQ(reader.ReadToString("good.txt"), "kept");
  EXPECT_THROW(reader.AddFile("more.txt", "x"), std::logic_error);
  EXPECT_THROW(reader.Finish(), std::logic_error);
}

// Writing goes to a temporary file; only a finished package replaces the old one.
TEST_F(PackageWriterTest, AbandonedWriterLeavesTheOldPackage) {
  const std::string path = root_ + "/course.vrn";
  { TXORFileStream(path, TXORFileStream::kCreate, kPackageKey).AddFile("old.txt", "old"); }
  try {
    TXORFileStream writer(path, TXORFileStream::kCreate, kPackageKey);
    writer.AddFile("new.txt", "new");
    throw std::runtime_error("source folder unreadable");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(CountFiles(), 1u);
  TXORFileStream reader(path, TXORFileStream::kRead, kPackageKey);
  EXPECT_EQ(reader.ReadToString("old.txt"), "old");
  EXPECT_FALSE(reader.FileExists("new.txt"));
}

TEST_F(PackageWriterTest, FailuresToWriteAreReported) {
  EXPECT_THROW(TXORFileStream(root_ + "/no/such/folder.vrn", TXORFileStream::kCreate, kPackageKey),
               plat::FileError);
  // The target is a folder: the final rename fails, and nothing is left behind.
  const std::string folder_target = root_ + "/taken";
  plat::CreateFolders(folder_target + "/inner");
  {
    TXORFileStream writer(folder_target, TXORFileStream::kCreate, kPackageKey);
    writer.AddFile("a.txt", "a");
    EXPECT_THROW(writer.Finish(), plat::FileError);
  }
  EXPECT_EQ(CountFiles(), 0u);
  EXPECT_TRUE(plat::FolderExists(folder_target + "/inner"));
}

TEST_F(PackageWriterTest, ReplacedPackageKeepsItsPermissions) {
  const std::string path = root_ + "/course.vrn";
  const mode_t saved = ::umask(022);  // a new file's mode is 0666 less the umask
  { TXORFileStream(path, TXORFileStream::kCreate, kPackageKey).AddFile("a.txt", "1"); }
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  { TXORFileStream(path, TXORFileStream::kCreate, kPackageKey).AddFile("a.txt", "2"); }
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ::umask(saved);
}

}  // namespace
}  // namespace content
