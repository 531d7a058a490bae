// What a name reaches below a held folder: links inside it are walked, links
// out of it, "..", drive prefixes and special files are not, and names are
// found without regard to case.
#include "platform/confined_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/test_folder.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

void Put(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  File file = File::Open(path, OpenFor::kCreate);
  file.Write(bytes);
}

class ConfinedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = folder_.path() + "/course";
    Put(root_ + "/Index.html", "index");
    Put(root_ + "/Media/Clips/Intro.swf", "intro");
    Put(root_ + "/media2/a.html", "lower");
    Put(folder_.path() + "/secret.txt", "secret");
    fs::create_directory_symlink("Media/Clips", root_ + "/clips");
    fs::create_symlink("../Index.html", root_ + "/Media/back.html");
    fs::create_symlink(root_ + "/Media/Clips/Intro.swf", root_ + "/absolute-inside.swf");
    fs::create_symlink(folder_.path() + "/secret.txt", root_ + "/absolute-out.txt");
    fs::create_symlink("../secret.txt", root_ + "/relative-out.txt");
    fs::create_symlink("Media/../../secret.txt", root_ + "/climbing-out.txt");
    fs::create_symlink("missing.html", root_ + "/dangling.html");
    fs::create_symlink("loop-b", root_ + "/loop-a");
    fs::create_symlink("loop-a", root_ + "/loop-b");
    fs::create_directory_symlink(folder_.path(), root_ + "/up");
    ASSERT_EQ(::mkfifo((root_ + "/pipe.html").c_str(), 0600), 0);
    confined_ = ConfinedFolder::Open(root_ + "/");
  }

  // "bytes @ real name", or "" when refused.
  std::string Reach(const std::string& name) const {
    std::optional<ConfinedFolder::OpenedFile> opened = confined_.OpenFile(name);
    if (!opened) return "";
    std::string bytes(static_cast<size_t>(opened->size), '\0');
    bytes.resize(static_cast<size_t>(opened->file.ReadAt(bytes.data(), opened->size, 0)));
    return bytes + " @ " + opened->real_name;
  }

  testing::TestFolder folder_;
  std::string root_;
  ConfinedFolder confined_;
};

TEST_F(ConfinedFolderTest, ReachesFilesBelowTheFolderOnly) {
  EXPECT_EQ(confined_.RealPath(), root_);
  const struct {
    const char* name;
    const char* reached;
  } kCases[] = {
      {"Index.html", "index @ Index.html"},
      {"index.HTML", "index @ Index.html"},  // case folded
      {"/Index.html", "index @ Index.html"},  // taken below the folder
      {"//media\\CLIPS/./intro.swf", "intro @ Media/Clips/Intro.swf"},
      {"MEDIA2/A.html", "lower @ media2/a.html"},  // "Media" and "media2" are not confused
      {"clips/Intro.swf", "intro @ Media/Clips/Intro.swf"},  // a link to a folder inside
      {"media/back.html", "index @ Index.html"},             // a link whose ".." stays inside
      {"absolute-inside.swf", "intro @ Media/Clips/Intro.swf"},
      {"absolute-out.txt", ""},
      {"relative-out.txt", ""},
      {"climbing-out.txt", ""},
      {"up/secret.txt", ""},
      {"../secret.txt", ""},
      {"Media/../Index.html", ""},  // ".." is refused even where it would stay inside
      {"C:Index.html", ""},
      {"dangling.html", ""},
      {"loop-a", ""},
      {"pipe.html", ""},  // and does not wait for a writer
      {"Media", ""},
      {"", ""},
      {"Index.html/x", ""},
      {"missing.html", ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(Reach(c.name), c.reached) << c.name;
  EXPECT_EQ(Reach(std::string("Index.html\0.txt", 15)), "");
}

TEST_F(ConfinedFolderTest, OfSeveralCaseMatchesTheExactNameWinsThenTheFirstInByteOrder) {
  Put(root_ + "/page.HTML", "upper");
  Put(root_ + "/page.html", "lower");
  Put(root_ + "/Page.html", "mixed");
  EXPECT_EQ(Reach("page.html"), "lower @ page.html");
  EXPECT_EQ(Reach("PAGE.HTML"), "mixed @ Page.html");
}

TEST_F(ConfinedFolderTest, DecidesOnWhatIsThereWhenOpened) {
  EXPECT_EQ(Reach("Index.html"), "index @ Index.html");
  // Replaced by a link out of the folder after an earlier open: refused now.
  fs::remove(root_ + "/Index.html");
  fs::create_symlink(folder_.path() + "/secret.txt", root_ + "/Index.html");
  EXPECT_EQ(Reach("Index.html"), "");
  // The folder itself stays the one opened, wherever its name goes.
  fs::rename(root_, folder_.path() + "/moved");
  EXPECT_EQ(Reach("clips/intro.swf"), "intro @ Media/Clips/Intro.swf");
  EXPECT_THROW(ConfinedFolder::Open(root_), FileError);
}

}  // namespace
}  // namespace plat
