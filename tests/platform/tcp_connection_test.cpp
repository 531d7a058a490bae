#include "platform/tcp_connection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/event_loop.h"
#include "platform/file.h"
#include "platform/files.h"
#include "platform/tcp_listener.h"
#include "platform/window_timers.h"
#include "tests/platform/loopback_test_util.h"
#include "tests/support/test_folder.h"

namespace plat {
namespace {

using plat::testing::ConnectTo;
using plat::testing::Pattern;
using plat::testing::PatternSource;
using plat::testing::ReadUpTo;
using plat::testing::RunUntil;
using plat::testing::WriteAll;

constexpr char kRequest[] = "GET / HTTP/1.0\r\n\r\n";
constexpr char kHeader[] = "HTTP/1.0 200 OK\r\n\r\n";

// What a server saw of its connections.
struct Seen {
  std::string request;
  int readable = 0;
  int peer_closed = 0;
  int errors = 0;
  std::error_code last_error;
  int closed = 0;
};

class TcpConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loop_.SetExceptionHook([this](std::exception_ptr) { ++exceptions_; });
    ASSERT_FALSE(listener_.Listen(0));
  }

  // Serves every connection: once a whole request has come, `reply` answers it.
  void ServeRequests(std::function<void(TcpConnection&)> reply) {
    listener_.SetOnAccept([this, reply](const std::shared_ptr<TcpConnection>& connection) {
      connection->SetOnReadable([this, reply](TcpConnection& c, size_t waiting) {
        ++seen_.readable;
        std::string bytes(waiting, '\0');
        bytes.resize(c.Receive(bytes.data(), bytes.size()));
        seen_.request += bytes;
        if (seen_.request.find("\r\n\r\n") != std::string::npos) reply(c);
      });
      Record(*connection);
    });
  }

  void Record(TcpConnection& connection) {
    connection.SetOnError([this](TcpConnection&, std::error_code error) {
      ++seen_.errors;
      seen_.last_error = error;
    });
    connection.SetOnClosed([this](TcpConnection&) { ++seen_.closed; });
  }

  uint16_t Port() const { return listener_.Port(); }

  // Sends a request from a client of its own and reads the whole reply, once
  // the server's side of the connection has closed.
  std::string RequestAndReadAll() {
    std::string got;
    std::jthread client([&] {
      const int fd = ConnectTo(Port());
      WriteAll(fd, kRequest);
      got = ReadUpTo(fd);
      ::close(fd);
    });
    EXPECT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
    client.join();
    return got;
  }

  EventLoop loop_;
  TcpListener listener_{loop_};
  Seen seen_;
  int exceptions_ = 0;
};

TEST_F(TcpConnectionTest, LargeReplyToAClientThatLeavesEndsInTheErrorCallback) {
  std::atomic<bool> source_destroyed = false;
  ServeRequests([&](TcpConnection& c) {
    c.Send(kHeader);
    c.SendFrom(std::make_unique<PatternSource>(5 << 20, 32585, &source_destroyed));
    c.Close();
  });
  std::string got;
  std::jthread client([&] {
    const int fd = ConnectTo(Port());
    WriteAll(fd, kRequest);
    got = ReadUpTo(fd, 10 * 1024);
    ::close(fd);  // with unread bytes: the peer gets a reset
  });
  // The client lives in this process: a SIGPIPE would end the test here.
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
  client.join();
  EXPECT_EQ(got.size(), 10u * 1024);
  EXPECT_EQ(seen_.errors, 1);
  EXPECT_TRUE(seen_.last_error == std::errc::connection_reset || seen_.last_error == std::errc::broken_pipe)
      << seen_.last_error.message();
  EXPECT_TRUE(source_destroyed);
  EXPECT_EQ(listener_.ConnectionCount(), 0u);
}

TEST_F(TcpConnectionTest, SourceIsReadOnlyAsTheSocketTakesIt) {
  constexpr size_t kSize = 32 << 20;
  constexpr size_t kBlock = 32585;
  std::atomic<bool> source_destroyed = false;
  int reads = 0;
  ServeRequests([&](TcpConnection& c) {
    c.SendFrom(std::make_unique<PatternSource>(kSize, kBlock, &source_destroyed, &reads));
    c.Close();
  });
  const int fd = ConnectTo(Port());
  WriteAll(fd, kRequest);
  // The client reads nothing yet: the queue stalls once the socket buffers are full.
  ASSERT_TRUE(RunUntil(loop_, [&] { return reads > 0; }));
  RunUntil(loop_, [] { return false; }, 200);
  EXPECT_LT(static_cast<size_t>(reads) * kBlock, kSize / 2);
  EXPECT_FALSE(source_destroyed);

  std::string got;
  std::jthread client([&] {
    got = ReadUpTo(fd);
    ::close(fd);
  });
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
  client.join();
  EXPECT_EQ(got.size(), kSize);
  EXPECT_TRUE(got == Pattern(kSize));
  EXPECT_TRUE(source_destroyed);
  EXPECT_EQ(seen_.errors, 0);
}

TEST_F(TcpConnectionTest, HalfClosedClientGetsTheWholeReply) {
  constexpr size_t kSize = 3 << 20;
  ServeRequests([&](TcpConnection& c) {
    c.Send(kHeader);
    c.SendFrom(std::make_unique<PatternSource>(kSize, 32585, nullptr));
    c.Close();
  });
  std::string got;
  std::jthread client([&] {
    const int fd = ConnectTo(Port());
    WriteAll(fd, kRequest);
    ::shutdown(fd, SHUT_WR);
    got = ReadUpTo(fd);
    ::close(fd);
  });
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
  client.join();
  EXPECT_EQ(seen_.errors, 0);
  ASSERT_EQ(got.size(), sizeof kHeader - 1 + kSize);
  EXPECT_TRUE(got == kHeader + Pattern(kSize));
}

TEST_F(TcpConnectionTest, ReplyCanFollowThePeersEndOfStream) {
  listener_.SetOnAccept([this](const std::shared_ptr<TcpConnection>& connection) {
    // The request is answered only once the peer has finished sending.
    connection->SetOnReadable([this](TcpConnection& c, size_t waiting) {
      std::string bytes(waiting, '\0');
      seen_.request.append(bytes.data(), c.Receive(bytes.data(), bytes.size()));
    });
    connection->SetOnPeerClosed([this](TcpConnection& c) {
      ++seen_.peer_closed;
      EXPECT_TRUE(c.IsOpen());
      EXPECT_TRUE(c.Send("reply to " + seen_.request));
      c.Close();
    });
    Record(*connection);
  });
  std::string got;
  std::jthread client([&] {
    const int fd = ConnectTo(Port());
    WriteAll(fd, kRequest);
    ::shutdown(fd, SHUT_WR);
    got = ReadUpTo(fd);
    ::close(fd);
  });
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
  client.join();
  EXPECT_EQ(seen_.peer_closed, 1);
  EXPECT_EQ(got, std::string("reply to ") + kRequest);
}

TEST_F(TcpConnectionTest, CloseAfterDrainDeliversEverythingThenCloses) {
  std::string expected;
  for (int i = 0; i < 100; ++i) expected += Pattern(10 * 1024 + i);
  auto marker = std::make_shared<int>(1);
  std::weak_ptr<int> watch = marker;
  listener_.SetOnAccept([&](const std::shared_ptr<TcpConnection>& connection) {
    connection->UserData() = std::move(marker);
    for (int i = 0; i < 100; ++i) connection->Send(Pattern(10 * 1024 + i));
    EXPECT_EQ(connection->QueuedBytes(), expected.size());
    connection->Close();
    EXPECT_FALSE(connection->IsOpen());
    EXPECT_FALSE(connection->IsClosed());
    EXPECT_FALSE(connection->Send("late"));
    char byte;
    EXPECT_EQ(connection->Receive(&byte, 1), 0u);
    connection->SetOnReadable([this](TcpConnection&, size_t) { ++seen_.readable; });
    Record(*connection);
  });
  std::string got;
  std::jthread client([&] {
    const int fd = ConnectTo(Port());
    WriteAll(fd, "input that the closing connection discards");
    got = ReadUpTo(fd);
    ::close(fd);
  });
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
  client.join();
  EXPECT_TRUE(got == expected);
  EXPECT_EQ(seen_.readable, 0);
  EXPECT_EQ(seen_.errors, 0);
  // The connection and its user data are gone with the last event.
  EXPECT_TRUE(RunUntil(loop_, [&] { return watch.expired(); }));
}

TEST_F(TcpConnectionTest, CloseAfterDrainGivesUpOnAPeerThatNeverEnds) {
  ServeRequests([](TcpConnection& c) {
    c.Send("bye");
    c.Close();
  });
  const int fd = ConnectTo(Port());
  WriteAll(fd, kRequest);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
  EXPECT_GE(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(TcpConnection::kCloseTimeoutMs - 100));
  EXPECT_EQ(ReadUpTo(fd), "bye");
  ::close(fd);
}

TEST_F(TcpConnectionTest, ReadableReportsWaitingBytesAndWaitsForReceive) {
  std::shared_ptr<TcpConnection> server;
  std::vector<size_t> reported;
  listener_.SetOnAccept([&](const std::shared_ptr<TcpConnection>& connection) {
    server = connection;
    connection->SetOnReadable([&](TcpConnection&, size_t waiting) { reported.push_back(waiting); });
    Record(*connection);
  });
  const int fd = ConnectTo(Port());
  WriteAll(fd, "hello");
  ASSERT_TRUE(RunUntil(loop_, [&] { return !reported.empty(); }));
  // Left unread, the bytes are not reported again and again.
  RunUntil(loop_, [] { return false; }, 50);
  EXPECT_EQ(reported, (std::vector<size_t>{5}));
  EXPECT_EQ(server->BytesWaiting(), 5u);

  char buffer[8];
  ASSERT_EQ(server->Receive(buffer, 2), 2u);
  EXPECT_EQ(std::string(buffer, 2), "he");
  ASSERT_TRUE(RunUntil(loop_, [&] { return reported.size() == 2; }));
  EXPECT_EQ(reported[1], 3u);
  ASSERT_EQ(server->Receive(buffer, sizeof buffer), 3u);

  // Without a peer-closed callback the end of stream closes the connection.
  ::close(fd);
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
  EXPECT_TRUE(server->IsClosed());
  EXPECT_EQ(server->Receive(buffer, sizeof buffer), 0u);
  EXPECT_FALSE(server->Send("x"));
  server->Close();  // harmless once closed
  server->Abort();
  EXPECT_EQ(seen_.closed, 1);
  EXPECT_EQ(seen_.errors, 0);
}

TEST_F(TcpConnectionTest, ResetReachesTheErrorCallback) {
  listener_.SetOnAccept([this](const std::shared_ptr<TcpConnection>& connection) { Record(*connection); });
  const int fd = ConnectTo(Port());
  ASSERT_TRUE(RunUntil(loop_, [&] { return listener_.ConnectionCount() == 1; }));
  linger abrupt{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
  ::close(fd);
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
  EXPECT_EQ(seen_.errors, 1);
  EXPECT_EQ(seen_.last_error, std::errc::connection_reset);
}

// A source that stands in a file (sent with sendfile) or in memory (sent from
// there), with its Read kept for when the file cannot be sent from.
class StretchSource : public RefillSource {
 public:
  StretchSource(const File* file, std::string bytes, int64_t size)
      : file_(file), bytes_(std::move(bytes)), size_(size) {}
  size_t Read(char* buffer, size_t size) override {
    const size_t count = std::min(size, static_cast<size_t>(size_ - position_));
    const int64_t got = file_ ? file_->ReadAt(buffer, static_cast<int64_t>(count), position_) : 0;
    if (!file_) bytes_.copy(buffer, count, static_cast<size_t>(position_));
    position_ += file_ ? got : static_cast<int64_t>(count);
    return file_ ? static_cast<size_t>(got) : count;
  }
  FileStretch Remaining() const override { return file_ ? FileStretch{file_, position_, size_ - position_} : FileStretch{}; }
  std::string_view Resident() const override {
    return file_ ? std::string_view() : std::string_view(bytes_).substr(static_cast<size_t>(position_));
  }
  void Skip(size_t count) override { position_ += static_cast<int64_t>(count); }

 private:
  const File* file_;
  std::string bytes_;
  int64_t size_;
  int64_t position_ = 0;
};

TEST_F(TcpConnectionTest, SourcesInAFileOrInMemoryGoOutInOrder) {
  testing::TestFolder folder;
  const std::string path = folder.path() + "/body.bin";
  const std::string body = Pattern(3 << 20);
  WriteFileAtomic(path, body);
  const File file = File::OpenToRead(path);
  for (const int64_t promised : {static_cast<int64_t>(body.size()), static_cast<int64_t>(body.size()) + 1000}) {
    // A file shorter than promised (cut after it was opened) ends its part early.
    seen_ = Seen();
    ServeRequests([&](TcpConnection& c) {
      c.Send(kHeader);
      c.SendFrom(std::make_unique<StretchSource>(&file, "", promised));
      c.SendFrom(std::make_unique<StretchSource>(nullptr, Pattern(100000), 100000));
      c.Send("end");
      c.Close();
    });
    const std::string got = RequestAndReadAll();
    EXPECT_TRUE(got == kHeader + body + Pattern(100000) + "end") << got.size();
    EXPECT_EQ(seen_.errors, 0);
  }
}

TEST_F(TcpConnectionTest, FailingSourceAbortsTheConnection) {
  class FailingSource : public RefillSource {
   public:
    size_t Read(char*, size_t) override { throw std::runtime_error("unreadable"); }
  };
  ServeRequests([](TcpConnection& c) {
    c.Send(kHeader);
    c.SendFrom(std::make_unique<FailingSource>());
    c.Close();
  });
  const std::string got = RequestAndReadAll();
  EXPECT_EQ(exceptions_, 1);
  EXPECT_EQ(got, kHeader);  // what was queued ahead of the source went out
}

// Closing, aborting or throwing inside each callback leaves the connection
// sound: the closed callback runs once and nothing is touched after it is gone.
enum class Where { kAccept, kReadable, kPeerClosed, kError, kClosed };
enum class Action { kAbort, kClose, kThrow, kCloseListener };

struct Case {
  Where where;
  Action action;
};

class TcpConnectionCallbackTest : public TcpConnectionTest, public ::testing::WithParamInterface<Case> {
 protected:
  void Act(TcpConnection& c, Where now) {
    if (now != GetParam().where) return;
    switch (GetParam().action) {
      case Action::kAbort:
        c.Abort();
        c.Abort();
        break;
      case Action::kClose:
        c.Close();
        break;
      case Action::kThrow:
        throw std::runtime_error("handler failed");
      case Action::kCloseListener:
        listener_.Close();
        break;
    }
  }
};

TEST_P(TcpConnectionCallbackTest, ConnectionStaysSound) {
  const Where where = GetParam().where;
  listener_.SetOnAccept([this](const std::shared_ptr<TcpConnection>& connection) {
    connection->SetOnReadable([this](TcpConnection& c, size_t waiting) {
      ++seen_.readable;
      std::string bytes(waiting, '\0');
      c.Receive(bytes.data(), bytes.size());
      Act(c, Where::kReadable);
    });
    connection->SetOnPeerClosed([this](TcpConnection& c) {
      ++seen_.peer_closed;
      Act(c, Where::kPeerClosed);
      c.Abort();
    });
    connection->SetOnError([this](TcpConnection& c, std::error_code) {
      ++seen_.errors;
      Act(c, Where::kError);
    });
    connection->SetOnClosed([this](TcpConnection& c) {
      ++seen_.closed;
      Act(c, Where::kClosed);
    });
    connection->Send(std::string(64 * 1024, 'r'));
    Act(*connection, Where::kAccept);
  });
  const int fd = ConnectTo(Port());
  ASSERT_GE(fd, 0);
  if (where == Where::kError) {
    linger abrupt{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
    ::close(fd);
  } else {
    WriteAll(fd, "x");
    ::shutdown(fd, SHUT_WR);
  }
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.closed == 1; }));
  if (where != Where::kError) {
    ReadUpTo(fd);
    ::close(fd);
  }
  RunUntil(loop_, [] { return false; }, 30);
  EXPECT_EQ(seen_.closed, 1);
  EXPECT_EQ(exceptions_, GetParam().action == Action::kThrow ? 1 : 0);
  EXPECT_EQ(listener_.ConnectionCount(), 0u);
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  static const char* const kWhere[] = {"Accept", "Readable", "PeerClosed", "Error", "Closed"};
  static const char* const kAction[] = {"Abort", "Close", "Throw", "CloseListener"};
  return std::string(kAction[static_cast<int>(info.param.action)]) + "In" + kWhere[static_cast<int>(info.param.where)];
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (Where where : {Where::kAccept, Where::kReadable, Where::kPeerClosed, Where::kError, Where::kClosed}) {
    for (Action action : {Action::kAbort, Action::kClose, Action::kThrow, Action::kCloseListener}) {
      cases.push_back({where, action});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Everywhere, TcpConnectionCallbackTest, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
}  // namespace plat
