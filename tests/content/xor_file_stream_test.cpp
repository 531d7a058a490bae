#include "content/xor_file_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <limits>

#include "content/package_scramble.h"
#include "package_test_support.h"
#include "platform/files.h"

namespace content {
namespace {

using package_test::Int64Le;
using package_test::kMagic;
using package_test::Package;
using package_test::Record;

// Two entries, "index.html" = "<p>Hi</p>" at 4 and "Data.BIN" = "A\0B" at 13,
// directory at 16, worked out from the format by a few lines of script:
// every run XORed from its first byte with the key, offsets little-endian.
const unsigned char kFixture[] = {
    0x44, 0x89, 0x24, 0x67, 0x4d, 0x1f, 0x49, 0x21, 0x0c, 0x49, 0x5d, 0x18, 0x4a, 0x30, 0x6f, 0x35,
    0x18, 0x01, 0x13, 0x0c, 0x1d, 0x5b, 0x1a, 0x1c, 0x19, 0x02, 0x62, 0x76, 0x6d, 0x73, 0x6c, 0x6b,
    0x64, 0x6a, 0x34, 0x38, 0x32, 0x70, 0x37, 0x78, 0x63, 0x76, 0x7a, 0x20, 0x20, 0x67, 0x67, 0x67,
    0x20, 0x70, 0x6c, 0x6b, 0x6d, 0x6f, 0x69, 0x75, 0x6a, 0x20, 0x77, 0x65, 0x72, 0x74, 0x20, 0x39,
    0x30, 0x38, 0x37, 0x31, 0x50, 0x33, 0x33, 0x51, 0x45, 0x6b, 0x6b, 0x6b, 0x52, 0x54, 0x48, 0x57,
    0x20, 0x4d, 0x4d, 0x32, 0x30, 0x37, 0x36, 0x31, 0x42, 0x7a, 0x7a, 0x71, 0x72, 0x65, 0x3b, 0x78,
    0x3b, 0x63, 0x27, 0x27, 0x74, 0x3d, 0x2b, 0x3d, 0x2b, 0x37, 0x33, 0x31, 0x39, 0x20, 0x71, 0x6f,
    0x77, 0x69, 0x65, 0x75, 0x72, 0x68, 0x74, 0x6e, 0x62, 0x76, 0x6d, 0x73, 0x6c, 0x6b, 0x64, 0x6a,
    0x34, 0x38, 0x32, 0x70, 0x37, 0x78, 0x63, 0x76, 0x7a, 0x20, 0x20, 0x67, 0x67, 0x67, 0x20, 0x70,
    0x6c, 0x6b, 0x6d, 0x6f, 0x69, 0x75, 0x6a, 0x20, 0x77, 0x65, 0x72, 0x74, 0x20, 0x39, 0x30, 0x38,
    0x37, 0x31, 0x50, 0x33, 0x33, 0x51, 0x45, 0x6b, 0x6b, 0x6b, 0x52, 0x54, 0x48, 0x57, 0x20, 0x4d,
    0x4d, 0x32, 0x30, 0x37, 0x36, 0x31, 0x42, 0x7a, 0x7a, 0x71, 0x72, 0x65, 0x3b, 0x78, 0x3b, 0x63,
    0x27, 0x27, 0x74, 0x3d, 0x2b, 0x3d, 0x2b, 0x37, 0x33, 0x31, 0x39, 0x20, 0x71, 0x6f, 0x77, 0x69,
    0x65, 0x75, 0x72, 0x68, 0x74, 0x6e, 0x62, 0x76, 0x6d, 0x73, 0x6c, 0x6b, 0x64, 0x6a, 0x34, 0x38,
    0x32, 0x70, 0x37, 0x78, 0x63, 0x76, 0x7a, 0x20, 0x20, 0x67, 0x67, 0x67, 0x20, 0x70, 0x6c, 0x6b,
    0x6d, 0x6f, 0x69, 0x75, 0x6a, 0x20, 0x77, 0x65, 0x72, 0x74, 0x20, 0x39, 0x30, 0x38, 0x37, 0x31,
    0x50, 0x33, 0x33, 0x51, 0x45, 0x6b, 0x6b, 0x6b, 0x52, 0x54, 0x48, 0x57, 0x20, 0x4d, 0x4d, 0x32,
    0x30, 0x37, 0x36, 0x31, 0x42, 0x7a, 0x7a, 0x71, 0x76, 0x65, 0x3b, 0x78, 0x3b, 0x63, 0x27, 0x27,
    0x7d, 0x3d, 0x2b, 0x3d, 0x2b, 0x37, 0x33, 0x31, 0x39, 0x20, 0x71, 0x6f, 0x77, 0x69, 0x65, 0x75,
    0x36, 0x09, 0x00, 0x0f, 0x4c, 0x34, 0x24, 0x3d, 0x6c, 0x6b, 0x64, 0x6a, 0x34, 0x38, 0x32, 0x70,
    0x37, 0x78, 0x63, 0x76, 0x7a, 0x20, 0x20, 0x67, 0x67, 0x67, 0x20, 0x70, 0x6c, 0x6b, 0x6d, 0x6f,
    0x69, 0x75, 0x6a, 0x20, 0x77, 0x65, 0x72, 0x74, 0x20, 0x39, 0x30, 0x38, 0x37, 0x31, 0x50, 0x33,
    0x33, 0x51, 0x45, 0x6b, 0x6b, 0x6b, 0x52, 0x54, 0x48, 0x57, 0x20, 0x4d, 0x4d, 0x32, 0x30, 0x37,
    0x36, 0x31, 0x42, 0x7a, 0x7a, 0x71, 0x72, 0x65, 0x3b, 0x78, 0x3b, 0x63, 0x27, 0x27, 0x74, 0x3d,
    0x2b, 0x3d, 0x2b, 0x37, 0x33, 0x31, 0x39, 0x20, 0x71, 0x6f, 0x77, 0x69, 0x65, 0x75, 0x72, 0x68,
    0x74, 0x6e, 0x62, 0x76, 0x6d, 0x73, 0x6c, 0x6b, 0x64, 0x6a, 0x34, 0x38, 0x32, 0x70, 0x37, 0x78,
    0x63, 0x76, 0x7a, 0x20, 0x20, 0x67, 0x67, 0x67, 0x20, 0x70, 0x6c, 0x6b, 0x6d, 0x6f, 0x69, 0x75,
    0x6a, 0x20, 0x77, 0x65, 0x72, 0x74, 0x20, 0x39, 0x30, 0x38, 0x37, 0x31, 0x50, 0x33, 0x33, 0x51,
    0x45, 0x6b, 0x6b, 0x6b, 0x52, 0x54, 0x48, 0x57, 0x20, 0x4d, 0x4d, 0x32, 0x30, 0x37, 0x36, 0x31,
    0x42, 0x7a, 0x7a, 0x71, 0x72, 0x65, 0x3b, 0x78, 0x3b, 0x63, 0x27, 0x27, 0x74, 0x3d, 0x2b, 0x3d,
    0x2b, 0x37, 0x33, 0x31, 0x39, 0x20, 0x71, 0x6f, 0x77, 0x69, 0x65, 0x75, 0x72, 0x68, 0x74, 0x6e,
    0x62, 0x76, 0x6d, 0x73, 0x6c, 0x6b, 0x64, 0x6a, 0x34, 0x38, 0x32, 0x70, 0x37, 0x78, 0x63, 0x76,
    0x7a, 0x20, 0x20, 0x67, 0x67, 0x67, 0x20, 0x70, 0x6c, 0x6b, 0x6d, 0x6f, 0x69, 0x75, 0x6a, 0x20,
    0x77, 0x65, 0x72, 0x74, 0x20, 0x39, 0x30, 0x38, 0x37, 0x31, 0x50, 0x33, 0x33, 0x51, 0x45, 0x6b,
    0x6b, 0x6b, 0x52, 0x54, 0x48, 0x57, 0x20, 0x4d, 0x4d, 0x32, 0x30, 0x37, 0x36, 0x31, 0x42, 0x7a,
    0x7a, 0x71, 0x72, 0x65, 0x3b, 0x78, 0x3b, 0x63, 0x2a, 0x27, 0x74, 0x3d, 0x2b, 0x3d, 0x2b, 0x37,
    0x30, 0x31, 0x39, 0x20, 0x71, 0x6f, 0x77, 0x69, 0x65, 0x75, 0x72, 0x68, 0x74, 0x6e, 0x62, 0x76,
    0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

std::string FixtureBytes() { return std::string(reinterpret_cast<const char*>(kFixture), sizeof kFixture); }

std::string Pattern(size_t n) {
  std::string out(n, '\0');
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return out;
}

std::string ReadAllIn(TXORFileHandle& handle, int64_t block) {
  std::string out;
  std::string buffer(static_cast<size_t>(block), '\0');
  for (int64_t n; (n = handle.Read(buffer.data(), block)) > 0;) out.append(buffer, 0, static_cast<size_t>(n));
  return out;
}

class XorFileStreamTest : public package_test::TempFolder {};

// The key laid out for whole vectors combines every byte as the plain
// byte-and-index loop does, at every phase, length and key.
TEST(ScrambleKey, MatchesTheBytewiseLoop) {
  std::srand(37);
  for (int round = 0; round < 200; ++round) {
    std::string key(static_cast<size_t>(1 + std::rand() % 130), '\0');
    for (char& c : key) c = static_cast<char>(std::rand());
    if (round == 0) key = std::string(kPackageKey);
    const size_t length = static_cast<size_t>(round < 100 ? std::rand() % 300 : std::rand() % 20000);
    const int64_t phase = std::rand() % 100000;
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>(std::rand());
    std::string expected = bytes;
    for (size_t i = 0; i < length; ++i)
      expected[i] = static_cast<char>(expected[i] ^ key[static_cast<size_t>((phase + static_cast<int64_t>(i)) %
                                                                           static_cast<int64_t>(key.size()))]);
    TScrambleKey(key).Apply(bytes.data(), bytes.size(), phase);
    ASSERT_EQ(bytes, expected) << "key of " << key.size() << ", " << length << " bytes at phase " << phase;
  }
}

TEST_F(XorFileStreamTest, ReadsTheHandMadeFixture) {
  const std::string path = Write("course.vrn", FixtureBytes());
  ASSERT_TRUE(IsXORFileStream(path));
  TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
  EXPECT_EQ(package.ReadToString("index.html"), "<p>Hi</p>");
  std::string data;
  ASSERT_TRUE(package.ReadToStream("data.bin", data));
  EXPECT_EQ(data, std::string("A\0B", 3));
  EXPECT_EQ(package.ReadToString("DATA.BIN"), "A");  // text ends at the NUL
  EXPECT_EQ(package.GetFileSize("INDEX.HTML"), 9);
  EXPECT_EQ(package.GetFileSize("missing.html"), 0);
  EXPECT_FALSE(package.FileExists("index.htm"));
  EXPECT_EQ(package.OpenFile("missing.html"), nullptr);
  EXPECT_FALSE(package.ReadToStream("missing.html", data));
  EXPECT_EQ(data, std::string("A\0B", 3));
  EXPECT_EQ(package.ReadToString("missing.html"), "");
  EXPECT_EQ(package.ExtractToTempFile("missing.html"), "");
}

TEST_F(XorFileStreamTest, WriterProducesTheFixtureBytes) {
  const std::string path = root_ + "/made.vrn";
  {
    TXORFileStream writer(path, TXORFileStream::kCreate, kPackageKey);
    writer.AddFile("index.html", "<p>Hi</p>");
    writer.AddFile("Data.BIN", std::string("A\0B", 3));
  }
  EXPECT_EQ(ReadBack(path), FixtureBytes());
}

TEST_F(XorFileStreamTest, MagicTellsPackagesApart) {
  EXPECT_TRUE(IsXORFileStream(Write("magic-only", kMagic)));
  EXPECT_FALSE(IsXORFileStream(Write("short", kMagic.substr(0, 3))));
  EXPECT_FALSE(IsXORFileStream(Write("other", "PK\x03\x04 rest")));
  EXPECT_FALSE(IsXORFileStream(root_ + "/missing"));
  EXPECT_FALSE(IsXORFileStream(root_));
  const std::string fifo = root_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(IsXORFileStream(fifo));  // must not wait for a writer
}

TEST_F(XorFileStreamTest, BlockSizesAndInterleavedHandlesGiveTheSameBytes) {
  const std::string body = Pattern(3 * kPackageKey.size() + 50);  // longer than two key lengths
  const std::string path = root_ + "/long.vrn";
  {
    TXORFileStream writer(path, TXORFileStream::kCreate, kPackageKey);
    writer.AddFile("first.txt", "x");  // the long entry does not start at the key's phase 0 of the file
    writer.AddFile("long.bin", body);
  }
  TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
  for (int64_t block : {1, 7, 93, 94, 95, 4096}) {
    auto handle = package.OpenFile("long.bin");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(ReadAllIn(*handle, block), body) << "block " << block;
    EXPECT_EQ(handle->Read(nullptr, 10), 0);
    package.CloseFile(std::move(handle));
  }
  auto whole = package.OpenFile("LONG.BIN");
  EXPECT_EQ(package.GetOpenFileSize(*whole), static_cast<int64_t>(body.size()));
  EXPECT_EQ(ReadAllIn(*whole, static_cast<int64_t>(body.size()) + 100), body);

  // Two handles on one entry and one on another, read in turns.
  auto a = package.OpenFile("long.bin");
  auto b = package.OpenFile("long.bin");
  auto c = package.OpenFile("first.txt");
  std::string got_a, got_b, got_c;
  char buf[64];
  for (bool more = true; more;) {
    int64_t na = package.Read(*a, buf, 13);
    got_a.append(buf, static_cast<size_t>(na));
    int64_t nb = package.Read(*b, buf, 31);
    got_b.append(buf, static_cast<size_t>(nb));
    int64_t nc = package.Read(*c, buf, 1);
    got_c.append(buf, static_cast<size_t>(nc));
    more = na + nb + nc > 0;
  }
  EXPECT_EQ(got_a, body);
  EXPECT_EQ(got_b, body);
  EXPECT_EQ(got_c, "x");
}

TEST_F(XorFileStreamTest, HandleOutlivesItsReader) {
  const std::string path = Write("course.vrn", FixtureBytes());
  auto reader = std::make_unique<TXORFileStream>(path, TXORFileStream::kRead, kPackageKey);
  auto handle = reader->OpenFile("index.html");
  char first[3];
  ASSERT_EQ(handle->Read(first, 3), 3);
  reader.reset();           // a content switch in the middle of a reply
  ::unlink(path.c_str());   // even with the file gone from its folder
  EXPECT_EQ(std::string(first, 3) + ReadAllIn(*handle, 4), "<p>Hi</p>");
}

TEST_F(XorFileStreamTest, LookupAndDirectoryRules) {
  // Duplicate names: the first in directory order wins. A directory area of
  // 300 bytes holds one whole record; the 12 extra bytes are ignored.
  const std::string data = "onetwo";
  std::string path = Write("dup.vrn", Package(data, Record("Same.txt", 4, 3) + Record("same.TXT", 7, 3)));
  {
    TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
    EXPECT_EQ(package.ReadToString("SAME.txt"), "one");
  }
  path = Write("rest.vrn", Package(data, Record("a.txt", 4, 6) + std::string(12, 'z')));
  TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
  EXPECT_EQ(package.ReadToString("a.txt"), "onetwo");
  EXPECT_FALSE(package.FileExists(""));
}

TEST_F(XorFileStreamTest, EmptyEntry) {
  const std::string path = Write("empty.vrn", Package("", Record("empty.txt", 4, 0)));
  TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
  auto handle = package.OpenFile("empty.txt");
  ASSERT_NE(handle, nullptr);
  char c;
  EXPECT_EQ(handle->Read(&c, 1), 0);
  EXPECT_EQ(package.ReadToString("empty.txt"), "");
  const std::string extracted = package.ExtractToTempFile("empty.txt");
  ASSERT_NE(extracted, "");
  EXPECT_EQ(plat::FileSizeOf(extracted), 0);
  ::unlink(extracted.c_str());
}

TEST_F(XorFileStreamTest, ExtractsToASystemTemporaryFile) {
  const std::string path = Write("course.vrn", FixtureBytes());
  setenv("TMPDIR", root_.c_str(), 1);
  TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
  const std::string extracted = package.ExtractToTempFile("data.bin");
  unsetenv("TMPDIR");
  EXPECT_EQ(plat::FolderPart(extracted), root_ + "/");
  EXPECT_EQ(plat::NamePart(extracted).substr(0, 3), "~qz");
  EXPECT_EQ(ReadBack(extracted), std::string("A\0B", 3));
}

TEST_F(XorFileStreamTest, FileTimesComeFromThePackageFile) {
  const std::string path = Write("course.vrn", FixtureBytes());
  // Access time recent, so that reading the directory leaves it (relatime) or moves it forward.
  const int64_t recent = static_cast<int64_t>(::time(nullptr)) - 100;
  const timespec times[2] = {{recent, 0}, {1200000000, 0}};  // access, modification
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
  int64_t created = 0, accessed = 0, written = 0;
  ASSERT_TRUE(package.GetFileTime(&created, &accessed, &written));
  EXPECT_EQ(created, 1200000000);
  EXPECT_GE(accessed, recent);
  EXPECT_EQ(written, 1200000000);
  EXPECT_TRUE(package.GetFileTime(nullptr, nullptr, nullptr));
}

TEST_F(XorFileStreamTest, OpeningFailuresAreClear) {
  EXPECT_THROW(TXORFileStream(root_ + "/missing.vrn", TXORFileStream::kRead, kPackageKey), plat::FileError);
  EXPECT_THROW(TXORFileStream(root_, TXORFileStream::kRead, kPackageKey), PackageFormatError);
  const std::string fifo = root_ + "/fifo.vrn";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(TXORFileStream(fifo, TXORFileStream::kRead, kPackageKey), PackageFormatError);  // no waiting
  EXPECT_THROW(TXORFileStream(Write("k.vrn", FixtureBytes()), TXORFileStream::kRead, ""), std::invalid_argument);
}

// A directory offset that points outside the file must not be followed.
TEST_F(XorFileStreamTest, HostileDirectoryOffsetsAreRefused) {
  const std::string body = kMagic + std::string(20, 'x');
  const int64_t size = static_cast<int64_t>(body.size()) + 8;
  for (int64_t d : {size, size - 7, int64_t{-1}, int64_t{2}, int64_t{0}, std::numeric_limits<int64_t>::min(),
                    std::numeric_limits<int64_t>::max()}) {
    const std::string path = Write("bad.vrn", body + Int64Le(d));
    try {
      TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
      ADD_FAILURE() << "directory offset " << d << " accepted";
    } catch (const PackageFormatError& e) {
      EXPECT_EQ(e.path(), path);
      EXPECT_NE(std::string(e.what()).find("directory offset"), std::string::npos);
    }
  }
  for (size_t length : {0, 8, 11}) {
    const std::string path = Write("tiny.vrn", (kMagic + std::string(8, '\0')).substr(0, length));
    EXPECT_THROW(TXORFileStream(path, TXORFileStream::kRead, kPackageKey), PackageFormatError) << length;
  }
  // The bounds themselves are fine: no data and an empty directory.
  TXORFileStream smallest(Write("ok.vrn", kMagic + Int64Le(4)), TXORFileStream::kRead, kPackageKey);
  EXPECT_FALSE(smallest.FileExists("a"));
}

// Every size a reader reports can be read in full, whatever the directory says.
TEST_F(XorFileStreamTest, HostileEntriesAreFittedToTheFile) {
  const std::string data = "0123456789";  // offsets 4..13
  const std::string directory =
      Record("negative.txt", 4, -5) + Record("past.txt", 1000000, 3) + Record("before.txt", -20, 3) +
      Record("long.txt", 10, 100000) + Record("huge.txt", 6, std::numeric_limits<int64_t>::max()) +
      Record(std::string(264, 'n'), 4, 2);
  const std::string bytes = Package(data, directory);
  const int64_t file_size = static_cast<int64_t>(bytes.size());
  TXORFileStream package(Write("hostile.vrn", bytes), TXORFileStream::kRead, kPackageKey);

  char buf[16];
  for (const char* name : {"negative.txt", "past.txt", "before.txt"}) {
    EXPECT_EQ(package.GetFileSize(name), 0) << name;
    auto handle = package.OpenFile(name);
    ASSERT_NE(handle, nullptr) << name;
    EXPECT_EQ(handle->Read(buf, sizeof buf), 0) << name;
    EXPECT_EQ(package.ReadToString(name), "") << name;
  }
  for (const char* name : {"long.txt", "huge.txt"}) {
    const int64_t expected = file_size - (name[0] == 'l' ? 10 : 6);
    EXPECT_EQ(package.GetFileSize(name), expected) << name;
    std::string stream;
    ASSERT_TRUE(package.ReadToStream(name, stream));
    EXPECT_EQ(static_cast<int64_t>(stream.size()), expected) << name;
    auto handle = package.OpenFile(name);
    int64_t total = 0;
    for (int64_t n; (n = handle->Read(buf, 5)) > 0;) total += n;
    EXPECT_EQ(total, expected) << name;
  }
  // The long entry starts with the data bytes at 10..13, read with phase 0 of its own.
  EXPECT_EQ(package.ReadToString("long.txt").substr(0, 4),
            package_test::Scrambled(package_test::Scrambled(data).substr(6, 4)));
  // A name that fills its field without a NUL is the whole field.
  EXPECT_EQ(package.ReadToString(std::string(264, 'N')), "01");
  EXPECT_FALSE(package.FileExists(std::string(263, 'n')));
}

TEST_F(XorFileStreamTest, PackageCutShortAfterOpeningGivesShortReads) {
  const std::string path = Write("course.vrn", FixtureBytes());
  TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
  auto handle = package.OpenFile("index.html");
  ASSERT_EQ(::truncate(path.c_str(), 8), 0);
  char buf[32];
  EXPECT_EQ(handle->Read(buf, sizeof buf), 4);
  EXPECT_EQ(std::string(buf, 4), "<p>H");
  EXPECT_EQ(handle->Read(buf, sizeof buf), 0);
}

}  // namespace
}  // namespace content
