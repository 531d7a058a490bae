// Choosing the content and the listener around it.
#include <gtest/gtest.h>

#include "tests/server/server_test_support.h"

namespace server {
namespace {

class SetPath : public ::testing::Test {
 protected:
  void SetUp() override {
    content_ = folder_.path() + "/course/";
    PutFile(content_ + "index.html", "<html>folder</html>");
    package_ = folder_.path() + "/course.vrn";
    PutPackage(package_, {{"index.html", "<html>packed</html>"}});
  }

  bool Serves(const std::string& name) {
    TReplySink sink;
    TNetStream channel(sink);
    return server_.SendFile(&channel, name);
  }

  plat::testing::TestFolder folder_;
  std::string content_;
  std::string package_;
  plat::EventLoop loop_;
  TQuizSession server_{loop_, 0};
};

TEST_F(SetPath, PackageFileOrFolder) {
  ASSERT_TRUE(server_.IsListening());

  ASSERT_TRUE(server_.SetPath(package_));
  EXPECT_FALSE(server_.IsListening());
  EXPECT_TRUE(server_.GetPackedMode());
  EXPECT_NE(server_.GetPackageReader(), nullptr);
  EXPECT_EQ(server_.GetContentFolder(), package_);
  EXPECT_EQ(server_.LoadFileToString("index.html"), "<html>packed</html>");
  // The same port again, unless another program took it meanwhile.
  ASSERT_TRUE(server_.Open());
  EXPECT_TRUE(server_.IsListening());
  EXPECT_NE(server_.GetPort(), 0);

  // A file inside a folder stands for its folder.
  ASSERT_TRUE(server_.SetPath(content_ + "index.html"));
  EXPECT_FALSE(server_.GetPackedMode());
  EXPECT_EQ(server_.GetPackageReader(), nullptr);
  EXPECT_EQ(server_.GetContentFolder(), content_);
  EXPECT_EQ(server_.LoadFileToString("index.html"), "<html>folder</html>");

  ASSERT_TRUE(server_.SetPath(folder_.path() + "/course"));
  EXPECT_EQ(server_.GetContentFolder(), content_);

  // So does a file named like a package that is none, which is said.
  PutFile(content_ + "fake.VRN", "hello");
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(server_.SetPath(content_ + "fake.VRN"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            content_ + "fake.VRN is not a content package (damaged or not a package): serving the folder " + content_ +
                " instead.\n");
  EXPECT_EQ(server_.GetContentFolder(), content_);
}

// A data folder is one server's at a time: another opens nothing until the
// first lets it go.
TEST_F(SetPath, ADataFolderHeldByAnotherServerOpensNothing) {
  PutFile(folder_.path() + "/other/index.html", "x");
  PutFile(folder_.path() + "/third/index.html", "x");
  TQuizSession other(loop_, 0);
  for (const std::string& content : {content_, package_}) {
    SCOPED_TRACE(content);
    ASSERT_TRUE(server_.SetPath(content));
    ASSERT_TRUE(server_.SetPath(content));  // opening it again keeps it
    const std::string data = server_.GetDataFolder();
    EXPECT_FALSE(other.SetPath(content));
    EXPECT_TRUE(other.IsDataFolderHeldElsewhere());
    EXPECT_EQ(other.GetContentError(),
              "The data folder " + data + " is in use by another player: close that player, then start this one again.");
    EXPECT_EQ(other.GetDataFolder(), "");
    EXPECT_EQ(other.LoadFileToString("index.html"), "");

    ASSERT_TRUE(server_.SetPath(folder_.path() + "/other/"));
    EXPECT_TRUE(other.SetPath(content));
    EXPECT_FALSE(other.IsDataFolderHeldElsewhere());
    EXPECT_EQ(other.GetDataFolder(), data);
    ASSERT_TRUE(other.SetPath(folder_.path() + "/third/"));
  }
}

TEST_F(SetPath, APathThatIsNothingChangesNothingElse) {
  ASSERT_TRUE(server_.SetPath(content_));
  EXPECT_FALSE(server_.SetPath(folder_.path() + "/missing"));
  EXPECT_FALSE(server_.GetContentError().empty());
  EXPECT_EQ(server_.GetContentFolder(), content_);
  EXPECT_TRUE(Serves("index.html"));

  // After a package, the reader is gone all the same.
  ASSERT_TRUE(server_.SetPath(package_));
  EXPECT_FALSE(server_.SetPath(folder_.path() + "/missing"));
  EXPECT_EQ(server_.GetPackageReader(), nullptr);
  EXPECT_FALSE(Serves("index.html"));
}

TEST_F(SetPath, ABrokenPackageLeavesTheContentUnopened) {
  ASSERT_TRUE(server_.SetPath(content_));
  const std::string broken = folder_.path() + "/broken.vrn";
  PutFile(broken, std::string("\x44\x89\x24\x67\xff\xff\xff\xff\xff\xff\xff\xff", 12));  // directory offset -1
  EXPECT_FALSE(server_.SetPath(broken));
  EXPECT_FALSE(server_.GetContentError().empty());
  EXPECT_EQ(server_.GetPackageReader(), nullptr);
  EXPECT_EQ(server_.GetContentFolder(), "");
  EXPECT_FALSE(Serves("index.html"));
}

TEST_F(SetPath, AGivenPortListensOnlyFromOpen) {
  const uint16_t port = server_.GetPort();
  server_.Close();
  TQuizSession other(loop_, port);
  EXPECT_FALSE(other.IsListening());
  EXPECT_EQ(other.GetPort(), port);
  ASSERT_TRUE(other.Open());
  EXPECT_TRUE(other.IsListening());
  EXPECT_TRUE(other.Open());  // already listening
  // A given port that is taken stays a failure; a scanned one is scanned afresh.
  TQuizSession given(loop_, port);
  EXPECT_FALSE(given.Open());
  ASSERT_TRUE(server_.Open());
  EXPECT_NE(server_.GetPort(), port);
  EXPECT_NE(server_.GetPort(), 0);
  EXPECT_TRUE(server_.IsListening());
}

}  // namespace
}  // namespace server
