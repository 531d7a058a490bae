// The transport over real loopback sockets, with a request callback that
// serves pages from memory: what a browser sends and receives, and the limits
// that keep idle, unfinished and never-reading clients from locking others out.
#include "server/http/http_server.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/http/http_reply.h"
#include "server/http/http_request.h"
#include "tests/server/http/http_client_support.h"
#include "tests/support/eventually.h"

namespace server {
namespace {

using plat::testing::ConnectTo;
using plat::testing::Eventually;
using plat::testing::ReadUpTo;
using plat::testing::WriteAll;

// A page streamed block by block, as file replies are.
class PageSource : public plat::RefillSource {
 public:
  explicit PageSource(const std::string& page) : rest_(page) {}
  size_t Read(char* buffer, size_t size) override {
    const size_t count = std::min({size, kFileBlockSize, rest_.size()});
    std::copy_n(rest_.data(), count, buffer);
    rest_.remove_prefix(count);
    return count;
  }

 private:
  std::string_view rest_;
};

// A transport on its loop that answers "GET /<name>" with the page served
// under that name, and anything else with the error page.
class HttpServer : public HttpClientTest {
 protected:
  explicit HttpServer(const TServerLimits& limits = {})
      : server_(loop_, 0, limits, [this](TNetStream* channel, std::string_view request) {
          return Answer(channel, request);
        }) {}

  void SetUp() override {
    ASSERT_NE(server_.GetPort(), 0);
    ASSERT_TRUE(server_.Open());
    Serve("index.html", "<html>start</html>");
  }

  uint16_t Port() const override { return server_.GetPort(); }
  size_t ConnectionCount() const override { return server_.GetConnectionCount(); }

  // Call before the clients start.
  void Serve(const std::string& name, const std::string& page) { pages_[name] = page; }

  bool Answer(TNetStream* channel, std::string_view request) {
    ++requests_;
    const std::optional<std::string> token = ReadGetToken(request);
    if (!token) return false;
    const auto page = pages_.find(RequestedName(*token));
    if (page == pages_.end()) return false;
    channel->WriteString(FileReplyHeader("text/html", static_cast<int64_t>(page->second.size())));
    channel->WriteFrom(std::make_unique<PageSource>(page->second));
    channel->Close();
    return true;
  }

  std::map<std::string, std::string> pages_;
  std::atomic<int> requests_ = 0;  // handed to Answer, counted on the loop
  THttpServer server_;
};

TEST_F(HttpServer, ARequestInPiecesIsAnsweredOnceWhenComplete) {
  std::string reply;
  ASSERT_TRUE(WithClient([&] {
    const int fd = ConnectTo(Port());
    // Spread out so that they mostly come apart; come together, they must
    // get the same one answer.
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
    // Once the first request has been handed on; sent with it, the rest
    // would make the whole too long to be a request.
    EXPECT_TRUE(Eventually([&] { return requests_ > 0; }));
    WriteAll(fd, std::string(8000, 'x'));  // would overflow the buffer if it were read
    reply = ReadUpTo(fd);
    ::close(fd);
  }));
  EXPECT_EQ(reply, FileReply("text/html", "<html>start</html>"));
  EXPECT_EQ(requests_, 1);
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

TEST_F(HttpServer, AClientThatLeavesMidReplyHarmsNothing) {
  const std::string big(5 << 20, 'b');
  Serve("big.html", big);
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

// A table of 16; replies that stall for 200 ms are dropped. Requests not
// complete within 150 ms are closed only where the test asks for it: on a
// busy machine the server may take longer than that to read a request that
// came whole, and a test of the table must not lose its newcomer to that.
class HttpServerLimits : public HttpServer {
 protected:
  static TServerLimits Limits(uint32_t idle_timeout_ms) {
    TServerLimits limits;
    limits.max_connections = 16;
    limits.idle_timeout_ms = idle_timeout_ms;
    limits.idle_check_interval_ms = 20;
    limits.send_stall_timeout_ms = 200;
    return limits;
  }
  explicit HttpServerLimits(uint32_t idle_timeout_ms = static_cast<uint32_t>(plat::testing::kHungTestLimit.count()))
      : HttpServer(Limits(idle_timeout_ms)) {}
};

class HttpServerIdleLimit : public HttpServerLimits {
 protected:
  HttpServerIdleLimit() : HttpServerLimits(150) {}
};

TEST_F(HttpServerIdleLimit, AnUnfinishedRequestIsClosedWithoutReplyAfterTheTimeout) {
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
  Serve("big.html", std::string(16 << 20, 'b'));
  std::vector<int> stalled;
  std::string reply;
  ASSERT_TRUE(WithClient([&] {
    for (int i = 0; i < 16; ++i) {
      stalled.push_back(ConnectTo(Port()));
      WriteAll(stalled.back(), "GET /big.html HTTP/1.0\r\n\r\n");
    }
    EXPECT_TRUE(Eventually([&] { return requests_ == 16; }));
    // The table is full of complete requests; once their replies stall past
    // the time-out they are dropped and a newcomer is served.
    EXPECT_TRUE(Eventually(
        [&] {
          const int fd = ConnectTo(Port());
          WriteAll(fd, "GET / HTTP/1.0\r\n\r\n");
          reply = ReadUpTo(fd);
          ::close(fd);
          return !reply.empty();
        },
        plat::testing::kHungTestLimit, std::chrono::milliseconds(50)));
  }));
  EXPECT_EQ(reply, FileReply("text/html", "<html>start</html>"));
  for (int fd : stalled) ::close(fd);
}


}  // namespace
}  // namespace server
