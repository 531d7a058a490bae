// The server over real loopback sockets: what a browser sends and receives.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/server/server_test_support.h"

namespace server_test {
namespace {

using plat::testing::ConnectTo;
using plat::testing::ReadUpTo;
using plat::testing::WriteAll;

class HttpServer : public ServerTest {};

TEST_F(HttpServer, ServesAFileWithItsExactHeader) {
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

TEST_F(HttpServer, AnythingElseGetsTheErrorPage) {
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

TEST_F(HttpServer, RefusesRequestsAddressedToAnotherHost) {
  const std::string page = FileReply("text/html", "<html>start</html>");
  EXPECT_EQ(Fetch("GET / HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(Port()) + "\r\n\r\n"), page);
  EXPECT_EQ(Fetch("GET / HTTP/1.0\r\nhost: LocalHost\r\n\r\n"), page);
  EXPECT_EQ(Fetch("GET / HTTP/1.0\r\nHost: attacker.example:" + std::to_string(Port()) + "\r\n\r\n"),
            kInvalidRequestPage);
}

TEST_F(HttpServer, ARequestInPiecesIsAnsweredOnceWhenComplete) {
  std::string reply;
  ASSERT_TRUE(WithClient([&] {
    const int fd = ConnectTo(Port());
    for (const char* piece : {"GET /ind", "ex.html HTTP/1.0\r\n", "\r\n"}) {
      WriteAll(fd, piece);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    reply = ReadUpTo(fd);
    ::close(fd);
  }));
  EXPECT_EQ(reply, FileReply("text/html", "<html>start</html>"));
}

TEST_F(HttpServer, InputAfterTheRequestIsNeverAnsweredAgain) {
  const std::string request = "GET / HTTP/1.0\r\n\r\n";
  std::string reply;
  ASSERT_TRUE(WithClient([&] {
    const int fd = ConnectTo(Port());
    WriteAll(fd, request + request);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    WriteAll(fd, std::string(8000, 'x'));  // would overflow the buffer if it were read
    reply = ReadUpTo(fd);
    ::close(fd);
  }));
  EXPECT_EQ(reply, FileReply("text/html", "<html>start</html>"));
}

TEST_F(HttpServer, RequestsUpTo4094BytesAreAccepted) {
  auto request_of_size = [](size_t size) {
    std::string request = "GET /index.html HTTP/1.0\r\nX-Pad: ";
    request += std::string(size - request.size() - 4, 'p');
    return request + "\r\n\r\n";
  };
  EXPECT_EQ(Fetch(request_of_size(4094)), FileReply("text/html", "<html>start</html>"));
  EXPECT_EQ(Fetch(request_of_size(4095)), "");
  EXPECT_TRUE(SettleConnections());
}

TEST_F(HttpServer, AClientThatHalfClosesAfterItsRequestGetsTheReply) {
  std::string reply;
  ASSERT_TRUE(WithClient([&] {
    const int fd = ConnectTo(Port());
    WriteAll(fd, "GET / HTTP/1.0\r\n\r\n");
    ::shutdown(fd, SHUT_WR);
    reply = ReadUpTo(fd);
    ::close(fd);
  }));
  EXPECT_EQ(reply, FileReply("text/html", "<html>start</html>"));
}

TEST_F(HttpServer, FolderModeNeverLeavesTheContentFolder) {
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

TEST_F(HttpServer, LearnerDataIsNeverServed) {
  PutFile(content_ + "all.users.csv", "bob;secret");
  PutFile(content_ + "Sessions/bob/page.html", "<p>bob</p>");
  PutFile(content_ + "admin.sysdata", "[admin]");
  for (const char* target : {"/all.users.csv", "/ALL.Users.CSV", "/sessions/bob/page.html", "/Sessions\\bob\\page.html",
                             "/admin.sysdata", "/?action=getfile&filename=all.users.csv"})
    EXPECT_EQ(Get(target), kInvalidRequestPage) << target;
}

TEST_F(HttpServer, PackedModeServesEntriesOnly) {
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

TEST_F(HttpServer, AClientThatLeavesMidReplyHarmsNothing) {
  const std::string big(5 << 20, 'b');
  PutFile(content_ + "big.html", big);
  std::string head;
  ASSERT_TRUE(WithClient([&] {
    const int fd = ConnectTo(Port());
    WriteAll(fd, "GET /big.html HTTP/1.0\r\n\r\n");
    head = ReadUpTo(fd, 10 * 1024);
    ::close(fd);  // unread bytes: the server sees a reset
  }));
  EXPECT_EQ(head.substr(0, 17), "HTTP/1.0 200 OK\r\n");
  EXPECT_TRUE(SettleConnections());
  EXPECT_EQ(Get("/"), FileReply("text/html", "<html>start</html>"));
  // And a whole large reply arrives whole.
  EXPECT_EQ(Get("/big.html"), FileReply("text/html", big));
}

TEST_F(HttpServer, SwitchingContentWhileAReplyStreamsEndsThatReplyCleanly) {
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
    while (!switched) std::this_thread::sleep_for(std::chrono::milliseconds(5));
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

class HttpServerLimits : public ServerTest {
 protected:
  static TServerLimits Limits() {
    TServerLimits limits;
    limits.max_connections = 16;
    limits.idle_timeout_ms = 150;
    limits.idle_check_interval_ms = 20;
    limits.send_stall_timeout_ms = 200;
    return limits;
  }
  HttpServerLimits() : ServerTest(Limits()) {}
};

TEST_F(HttpServerLimits, AnUnfinishedRequestIsClosedWithoutReplyAfterTheTimeout) {
  std::string got = "unset";
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(WithClient([&] {
    const int fd = ConnectTo(Port());
    WriteAll(fd, "GET / HTTP/1.0\r\n");
    got = ReadUpTo(fd);
    ::close(fd);
  }));
  EXPECT_EQ(got, "");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  EXPECT_TRUE(SettleConnections());
}

TEST_F(HttpServerLimits, IdleConnectionsBeyondTheCapDoNotLockOthersOut) {
  std::vector<int> idle;
  std::string reply;
  ASSERT_TRUE(WithClient([&] {
    for (int i = 0; i < 40; ++i) idle.push_back(ConnectTo(Port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int fd = ConnectTo(Port());
    WriteAll(fd, "GET / HTTP/1.0\r\n\r\n");
    reply = ReadUpTo(fd);
    ::close(fd);
  }));
  EXPECT_EQ(reply, FileReply("text/html", "<html>start</html>"));
  EXPECT_LE(server_.GetConnectionCount(), 16u);
  for (int fd : idle) ::close(fd);
}

TEST_F(HttpServerLimits, ReadersThatNeverReadDoNotLockOthersOut) {
  // Larger than the socket buffers take, so every reply stalls.
  PutFile(content_ + "big.html", std::string(16 << 20, 'b'));
  std::vector<int> stalled;
  std::string reply;
  ASSERT_TRUE(WithClient([&] {
    for (int i = 0; i < 16; ++i) {
      stalled.push_back(ConnectTo(Port()));
      WriteAll(stalled.back(), "GET /big.html HTTP/1.0\r\n\r\n");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the server reads every request
    // The table is full of complete requests; once their replies stall past
    // the time-out they are dropped and a newcomer is served.
    for (int attempt = 0; attempt < 100 && reply.empty(); ++attempt) {
      const int fd = ConnectTo(Port());
      WriteAll(fd, "GET / HTTP/1.0\r\n\r\n");
      reply = ReadUpTo(fd);
      ::close(fd);
      if (reply.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }));
  EXPECT_EQ(reply, FileReply("text/html", "<html>start</html>"));
  for (int fd : stalled) ::close(fd);
}

TEST_F(HttpServer, ManyIdleConnectionsDoNotBlockARequest) {
  std::vector<int> idle;
  std::string reply;
  ASSERT_TRUE(WithClient([&] {
    for (int i = 0; i < 200; ++i) {
      idle.push_back(ConnectTo(Port()));
      WriteAll(idle.back(), "GET / HTTP/1.0\r\n");  // started, never finished
    }
    const int fd = ConnectTo(Port());
    WriteAll(fd, "GET / HTTP/1.0\r\n\r\n");
    reply = ReadUpTo(fd);
    ::close(fd);
  }));
  EXPECT_EQ(reply, FileReply("text/html", "<html>start</html>"));
  EXPECT_GE(server_.GetConnectionCount(), 200u);
  for (int fd : idle) ::close(fd);
  EXPECT_TRUE(SettleConnections());
}

}  // namespace
}  // namespace server_test
