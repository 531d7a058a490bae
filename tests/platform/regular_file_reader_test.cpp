#include "platform/regular_file_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/files.h"
#include "tests/support/test_folder.h"

namespace plat {
namespace {

TEST(RegularFileReaderTest, ReadsARegularFileInPiecesAndRefusesEverythingElse) {
  testing::TestFolder folder;
  const std::string file = folder.path() + "/data";
  std::ofstream(file, std::ios::binary) << std::string("abc\0defg", 8);
  RegularFileReader reader(file);
  std::string read;
  uint8_t piece[3];
  for (size_t n; (n = reader.Read(piece, sizeof piece)) > 0;) read.append(reinterpret_cast<char*>(piece), n);
  EXPECT_EQ(read, std::string("abc\0defg", 8));

  const std::string fifo = folder.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string reason;
  } refused[] = {
      {folder.path(), "not a regular file"},
      {fifo, "not a regular file"},  // with no writer: opening must not wait for one
      {"/dev/zero", "not a regular file"},
      {folder.path() + "/missing", "cannot open the file (No such file or directory)"},
      {std::string("a\0b", 3), "cannot open the file (invalid name)"},
  };
  for (const auto& r : refused) {
    try {
      RegularFileReader opened(r.path);
      ADD_FAILURE() << r.path << " opened";
    } catch (const FileError& e) {
      EXPECT_EQ(e.reason(), r.reason) << r.path;
    }
  }
}

}  // namespace
}  // namespace plat
