// The files a browser asks the server for over real loopback sockets: which
// names reach what in either mode, and the reply a content switch cuts short.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/server_test_support.h"
#include "tests/support/eventually.h"

namespace server {
namespace {

using plat::testing::ConnectTo;
using plat::testing::ReadUpTo;
using plat::testing::WriteAll;

class FileRequests : public ServerTest {};

TEST_F(FileRequests, ServesAFileWithItsExactHeader) {
  PutFile(content_ + "Lesson.HTML", "<p>lesson</p>");
  PutFile(content_ + "pic.jpg", std::string("\xff\xd8\0\x01jpeg", 8));
  EXPECT_EQ(Get("/"), FileReply("text/html", "<html>start</html>"));
  EXPECT_EQ(Get("/lesson.html"), FileReply("text/html", "<p>lesson</p>"));
  EXPECT_EQ(Get("/INDEX.HTML"), FileReply("text/html", "<html>start</html>"));
  EXPECT_EQ(Get("/pic.jpg"), FileReply("image/jpg", std::string("\xff\xd8\0\x01jpeg", 8)));
  // Only the first '/' is dropped; the rest is still taken below the content folder.
  EXPECT_EQ(Get("//index.html"), FileReply("text/html", "<html>start</html>"));
  EXPECT_EQ(Get("\\index.html"), FileReply("text/html", "<html>start</html>"));
}

TEST_F(FileRequests, AnythingElseGetsTheErrorPage) {
  PutFile(content_ + "image.png", "png");
  PutFile(content_ + "movie.swf", "swf");
  EXPECT_EQ(Fetch("POST / HTTP/1.0\r\n\r\n"), kInvalidRequestPage);
  EXPECT_EQ(Fetch("get / HTTP/1.0\r\n\r\n"), kInvalidRequestPage);
  EXPECT_EQ(Get("/image.png"), kInvalidRequestPage);
  EXPECT_EQ(Get("/movie.swf?x=1"), kInvalidRequestPage);
  EXPECT_EQ(Get("/?action=Login"), kInvalidRequestPage);
  EXPECT_EQ(Get("/missing.html"), kInvalidRequestPage);
  // Paths are not decoded.
  EXPECT_EQ(Get("/index%2Ehtml"), kInvalidRequestPage);
  EXPECT_EQ(Fetch(std::string("GET /index.html\0 HTTP/1.0\r\n\r\n", 29)), kInvalidRequestPage);
}

TEST_F(FileRequests, RefusesRequestsAddressedToAnotherHost) {
  const std::string page = FileReply("text/html", "<html>start</html>");
  EXPECT_EQ(Fetch("GET / HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(Port()) + "\r\n\r\n"), page);
  EXPECT_EQ(Fetch("GET / HTTP/1.0\r\nhost: LocalHost\r\n\r\n"), page);
  EXPECT_EQ(Fetch("GET / HTTP/1.0\r\nHost: attacker.example:" + std::to_string(Port()) + "\r\n\r\n"),
            kInvalidRequestPage);
}

TEST_F(FileRequests, FolderModeNeverLeavesTheContentFolder) {
  PutFile(folder_.path() + "/outside.html", "secret");
  PutFile(content_ + "sub/inner.html", "inner");
  std::filesystem::create_symlink(folder_.path() + "/outside.html", content_ + "link.html");
  EXPECT_EQ(Get("/sub/inner.html"), FileReply("text/html", "inner"));
  EXPECT_EQ(Get("/sub\\inner.html"), FileReply("text/html", "inner"));
  for (const std::string& target : std::vector<std::string>{"/../outside.html", "/sub/../../outside.html", "/..\\outside.html",
                                   "/sub/../inner.html", "//" + folder_.path() + "/outside.html",
                                   "/" + folder_.path() + "/outside.html", "/link.html"})
    EXPECT_EQ(Get(target), kInvalidRequestPage) << target;
}

TEST_F(FileRequests, LearnerDataIsNeverServed) {
  PutFile(content_ + "all.users.csv", "bob;secret");
  PutFile(content_ + "Sessions/bob/page.html", "<p>bob</p>");
  PutFile(content_ + "admin.sysdata", "[admin]");
  for (const char* target : {"/all.users.csv", "/ALL.Users.CSV", "/sessions/bob/page.html", "/Sessions\\bob\\page.html",
                             "/admin.sysdata", "/?action=getfile&filename=all.users.csv"})
    EXPECT_EQ(Get(target), kInvalidRequestPage) << target;
}

TEST_F(FileRequests, PackedModeServesEntriesOnly) {
  const std::string package = folder_.path() + "/course.vrn";
  PutPackage(package, {{"index.html", "<html>packed</html>"}, {"Page.htm", "page"}, {"all.users.csv", "bob;pw"}});
  ASSERT_TRUE(server_.SetPath(package));
  ASSERT_TRUE(server_.Open());
  const std::string disk_folder = folder_.path() + "/cwd";
  PutFile(disk_folder + "/index.html", "<html>disk</html>");
  PutFile(disk_folder + "/disk-only.html", "disk only");
  PutFile(disk_folder + "/sub/page.htm", "disk page");
  ScopedWorkingFolder cwd(disk_folder);

  EXPECT_EQ(Get("/"), FileReply("text/html", "<html>packed</html>"));
  EXPECT_EQ(Get("/PAGE.HTM"), FileReply("text/html", "page"));
  for (const std::string& target : std::vector<std::string>{"/disk-only.html", "/sub/page.htm", "/" + disk_folder + "/disk-only.html",
                                   "//" + content_ + "index.html", "/all.users.csv"})
    EXPECT_EQ(Get(target), kInvalidRequestPage) << target;
}

TEST_F(FileRequests, SwitchingContentWhileAReplyStreamsEndsThatReplyCleanly) {
  const std::string package = folder_.path() + "/next.vrn";
  PutPackage(package, {{"index.html", "<html>next</html>"}});
  // Larger than what the socket buffers take, so the reply is still being read from the file.
  constexpr size_t kBig = 48 << 20;
  PutFile(content_ + "big.html", std::string(kBig, 'b'));

  std::atomic<bool> started = false;
  std::atomic<bool> switched = false;
  std::string got;
  std::jthread client([&] {
    const int fd = ConnectTo(Port());
    WriteAll(fd, "GET /big.html HTTP/1.0\r\n\r\n");
    got = ReadUpTo(fd, 64 * 1024);
    started = true;
    EXPECT_TRUE(plat::testing::Eventually([&] { return switched.load(); }));
    got += ReadUpTo(fd);  // what was in flight, then the end
    ::close(fd);
  });
  ASSERT_TRUE(plat::testing::RunUntil(loop_, [&] { return started.load(); }));
  const bool opened = server_.SetPath(package);
  switched = true;
  ASSERT_TRUE(opened);
  EXPECT_EQ(server_.GetConnectionCount(), 0u);
  client.join();
  EXPECT_LT(got.size(), kBig);
  ASSERT_TRUE(server_.Open());
  EXPECT_EQ(Get("/"), FileReply("text/html", "<html>next</html>"));
}

}  // namespace
}  // namespace server
