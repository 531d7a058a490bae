#include "app/content_locator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/optical_media.h"
#include "platform/files.h"
#include "tests/server/server_test_support.h"
#include "tests/support/test_folder.h"

namespace app {
namespace {

using Strings = std::vector<std::string>;

TEST(OpticalMedia, OnlyDiscMountsWithTheirEscapesDecoded) {
  const std::string table =
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "/dev/sr0 /media/cd\\0401 iso9660 ro,nosuid 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sr1 /mnt/a\\011b\\134c\\012d udf ro 0 0\n"
      "/dev/sr2 /mnt/short\\04 iso9660 ro 0 0\n"
      "/dev/sr3 /mnt/udf-folder ext4 ro 0 0\n"
      "broken-line-without-type\n"
      "/dev/sr4\t/mnt/tabbed\tudf\tro 0 0";
  EXPECT_EQ(ParseOpticalMountPoints(table),
            (Strings{"/media/cd 1", "/mnt/a\tb\\c\nd", "/mnt/short\\04", "/mnt/tabbed"}));
  EXPECT_EQ(ParseOpticalMountPoints(""), Strings{});
  EXPECT_EQ(OpticalMountPoints("/nonexistent/mounts"), Strings{});
}

// A scratch program folder, working folder and mounts table for the start-up rules.
struct Scene {
  Scene() {
    plat::CreateFolders(root_ + "work/");
    plat::CreateFolders(program_);
  }
  // Creates root_ + name; names with a "packages/" folder are real packages.
  void Put(const std::string& name) {
    const std::string path = root_ + name;
    if (name.ends_with("/")) return plat::CreateFolders(path);
    plat::CreateFolders(plat::FolderPart(path));
    if (name.find("packages/") != std::string::npos) return server::PutPackage(path, {{"index.html", "x"}});
    plat::WriteFileAtomic(path, "x");
  }
  TContentLocation Locate(const Strings& arguments, const std::string& mounts = "") {
    plat::WriteFileAtomic(root_ + "mounts", mounts);
    server::ScopedWorkingFolder in_work(root_ + "work");
    return LocateContent(arguments, TContentPlaces{program_, root_ + "mounts"});
  }

  plat::testing::TestFolder folder_;
  const std::string root_ = folder_.path() + "/";
  const std::string program_ = root_ + "program/";
};

TEST(ContentLocator, TheRules) {
  struct Case {
    const char* what;
    Strings files;
    Strings arguments;
    std::string expected;  // below root_, "" for nothing
  };
  // Every case gets a scratch folder of its own; "<root>/" stands for it.
  const std::string r = "<root>/";
  for (const Case& c : std::vector<Case>{
           {"-1: the program folder's Varnel/Varnel.vrn", {"program/Varnel/Varnel.vrn"}, {"-1"}, "program/Varnel/"},
           {"-1: found without regard to case", {"program/varnel/VARNEL.VRN"}, {"-1"}, "program/varnel/"},
           {"-1: nothing below the program folder", {"program/Varnel.vrn"}, {"-1"}, ""},
           {"-1 FILE: the file's folder", {"disc/any.name"}, {"-1", r + "disc/any.name"}, "disc/"},
           {"-1 FOLDER: its Varnel.vrn", {"disc/Varnel.vrn"}, {"-1", r + "disc"}, "disc/"},
           {"-1 FOLDER/: the same", {"disc/Varnel.vrn"}, {"-1", r + "disc/"}, "disc/"},
           {"-1 NAME: relative to the working folder", {"work/disc/Varnel.vrn"}, {"-1", "disc"}, "work/disc/"},
           {"-1 NAME: else below the program folder", {"program/disc/Varnel.vrn"}, {"-1", "disc"}, "program/disc/"},
           {"-1 NAME: a full path name", {"work/disc/Varnel.vrn", "work/a/"}, {"-1", "a/../disc/./"}, "work/disc/"},
           {"-1 ABSOLUTE: never below the program folder",
            {("program" + r + "disc/Varnel.vrn")},
            {"-1", r + "disc"},
            ""},
           {"-1 FOLDER without the package", {"disc/"}, {"-1", r + "disc"}, ""},
           {"a folder opens in folder mode", {"course/index.html"}, {r + "course"}, "course/"},
           {"a relative folder", {"work/course/"}, {"course"}, "work/course/"},
           {"a package opens packed", {"packages/course.vrn"}, {r + "packages/course.vrn"}, "packages/course.vrn"},
           {"a relative package", {"work/packages/c.vrn"}, {"packages/c.vrn"}, "work/packages/c.vrn"},
           {"any other file opens its folder", {"course/index.html"}, {r + "course/index.html"}, "course/"},
           {"a missing argument: the program folder", {"program/Varnel.vrn"}, {r + "missing"}, "program/"},
           {"a missing argument and nothing beside the program", {}, {r + "missing"}, ""},
           {"-2 is just a missing argument", {"program/VARNEL.vrn"}, {"-2"}, "program/"},
           {"no argument: the program folder", {"program/Varnel.vrn"}, {}, "program/"},
           {"the second argument matters only after -1", {"course/"}, {r + "course", "-1"}, "course/"},
       }) {
    SCOPED_TRACE(c.what);
    Scene scene;
    auto rooted = [&](std::string text) {
      if (text.find(r) != std::string::npos) text.replace(text.find(r), r.size(), scene.root_);
      return text;
    };
    for (const std::string& file : c.files) scene.Put(rooted(file));
    Strings arguments;
    for (const std::string& argument : c.arguments) arguments.push_back(rooted(argument));
    EXPECT_EQ(scene.Locate(arguments).path, c.expected.empty() ? "" : scene.root_ + c.expected);
  }
}

TEST(ContentLocator, TheLastDiscHoldingThePackageOpensAsAPackage) {
  Scene scene;
  const std::string& root_ = scene.root_;
  const std::string& program_ = scene.program_;
  scene.Put("cd 1/Varnel.vrn");
  scene.Put("dvd/VARNEL.VRN");
  scene.Put("empty-disc/");
  scene.Put("hard-disk/Varnel.vrn");
  const std::string mounts = "/dev/sda1 " + root_ + "hard-disk ext4 rw 0 0\n" +  //
                             "/dev/sr0 " + root_ + "dvd udf ro 0 0\n" +         //
                             "/dev/sr1 " + root_ + "cd\\0401 iso9660 ro 0 0\n" +
                             "/dev/sr2 " + root_ + "empty-disc iso9660 ro 0 0\n";
  const TContentLocation found = scene.Locate({}, mounts);
  EXPECT_EQ(found.path, root_ + "cd 1/Varnel.vrn");
  EXPECT_EQ(found.searched, (Strings{program_ + "Varnel.vrn", root_ + "dvd/Varnel.vrn", root_ + "cd 1/Varnel.vrn",
                                     root_ + "empty-disc/Varnel.vrn"}));

  // The program folder comes first.
  scene.Put("program/Varnel.vrn");
  EXPECT_EQ(scene.Locate({}, mounts).path, program_);
}

TEST(ContentLocator, NothingFoundNamesEveryPlaceSearched) {
  Scene scene;
  const std::string& root_ = scene.root_;
  const std::string& program_ = scene.program_;
  const TContentLocation none = scene.Locate({});
  EXPECT_EQ(none.path, "");
  EXPECT_EQ(NothingFoundMessage(none), "No content to open. Places searched:\n  " + program_ +
                                           "Varnel.vrn\n  (no CD or DVD is mounted)\n"
                                           "Name a content folder or a .vrn package on the command line.\n");

  EXPECT_EQ(scene.Locate({"gone"}).searched, (Strings{root_ + "work/gone", program_ + "Varnel.vrn"}));
  EXPECT_EQ(scene.Locate({"-1", "disc"}).searched,
            (Strings{root_ + "work/disc", root_ + "work/disc/Varnel.vrn", program_ + "disc/Varnel.vrn"}));
  EXPECT_EQ(scene.Locate({"-1"}).searched, (Strings{program_ + "Varnel/Varnel.vrn"}));
}

TEST(ContentLocator, AnUnknownProgramFolderIsNotSearched) {
  Scene scene;
  const std::string& root_ = scene.root_;
  server::ScopedWorkingFolder in_root(root_);
  scene.Put("Varnel.vrn");  // in the working folder: must not be taken for the program folder's
  const TContentLocation found = LocateContent({}, TContentPlaces{"", "/nonexistent/mounts"});
  EXPECT_EQ(found.path, "");
  EXPECT_EQ(found.searched, Strings{"(no CD or DVD is mounted)"});
}

}  // namespace
}  // namespace app
