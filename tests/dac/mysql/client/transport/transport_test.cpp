// The transports: the buffered read and retrying write of the base, TCP
// failures, and an application transport over a socketpair.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/transport/io_handler.h"
#include "dac/mysql/client/transport/mysql_vio_pipe.h"
#include "dac/mysql/client/transport/mysql_vio_tcp.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "tests/dac/mysql/client/fake_server.h"
#include "tests/dac/mysql/client/wire_test_support.h"
#include "tests/support/test_folder.h"

namespace dac {
namespace {

using testing::Bytes;
using testing::ErrorCodeOf;
using testing::FakeServer;
using testing::MemoryVio;
using testing::PeerSocket;

// Counts the primitive calls the base Read and Write make.
class CountingVio : public MemoryVio {
 public:
  using MemoryVio::MemoryVio;
  int ReadNoWait(uint8_t* buffer, int offset, int count) override {
    ++reads;
    last_read_size = count;
    return MemoryVio::ReadNoWait(buffer, offset, count);
  }
  int WriteNoWait(const uint8_t* buffer, int offset, int count) override {
    ++writes;
    if (refuse_writes) return 0;
    return MemoryVio::WriteNoWait(buffer, offset, count);
  }
  int reads = 0;
  int last_read_size = 0;
  int writes = 0;
  bool refuse_writes = false;
};

TEST(VioTest, SmallReadsGoThroughTheReadAheadAndLargeOnesStraightThrough) {
  TBytes input(100);
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>(i);
  CountingVio vio(input);
  vio.Connect();
  uint8_t buffer[4000] = {};
  EXPECT_EQ(vio.Read(buffer, 0, 4), 4);
  EXPECT_EQ(vio.reads, 1);
  EXPECT_EQ(vio.Read(buffer, 4, 96), 96);
  EXPECT_EQ(vio.reads, 1);  // the other 96 bytes came from the read-ahead buffer
  EXPECT_EQ(buffer[99], 99);

  CountingVio large(TBytes(3000, 7));
  large.Connect();
  EXPECT_EQ(large.Read(buffer, 0, 3000), 3000);
  EXPECT_EQ(large.reads, 1);
  EXPECT_EQ(large.last_read_size, 3000);  // straight into the caller's buffer
}

TEST(VioTest, ReadAtTheEndAndWritesThatGoNowhereGiveUp) {
  CountingVio vio(TBytes(10, 1));
  vio.Connect();
  uint8_t buffer[64];
  EXPECT_EQ(vio.Read(buffer, 0, 20), 10);
  // A small read that gets nothing (the peer ended or the time-out passed)
  // asks once: one time-out is one wait.
  CountingVio silent;
  silent.Connect();
  EXPECT_EQ(silent.Read(buffer, 0, 4), 0);
  EXPECT_EQ(silent.reads, 1);
  vio.refuse_writes = true;
  EXPECT_EQ(vio.Write(buffer, 0, 5), 0);
  EXPECT_EQ(vio.writes, 3);
  EXPECT_EQ(vio.Write(buffer, 0, 0), 0);
}

TEST(TcpTest, RefusedPortIs2003WithTheSystemsErrorText) {
  TMySqlVioTcp vio("127.0.0.1", testing::UnusedPort());
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { vio.Connect(); }, &message), kCrConnHostError);
  EXPECT_EQ(message, "Can't connect to MySQL server on '127.0.0.1' (111)");
  EXPECT_EQ(vio.GetLastError(), "Socket error on connect. WSAGetLastError return 111($6F)");
  // A SocketException is an EMySqlException, so the API guards catch it.
  EXPECT_THROW(vio.Connect(), SocketException);
}

TEST(TcpTest, UnknownHostIs2005) {
  TMySqlVioTcp vio("no-such-host.invalid", 3306);
  vio.SetResolver([](const std::string& host, int port, int& error) {
    EXPECT_EQ(host, "no-such-host.invalid");
    EXPECT_EQ(port, 3306);
    error = -2;
    return std::vector<plat::StreamAddress>();
  });
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { vio.Connect(); }, &message), kCrUnknownHost);
  EXPECT_EQ(message, "Unknown MySQL Server Host 'no-such-host.invalid' (-2)");
}

TEST(TcpTest, EmptyHostAndPortZeroMeanLocalhost3306) {
  TMySqlVioTcp vio("", 0);
  EXPECT_EQ(vio.GetHost(), "localhost");
  EXPECT_EQ(vio.GetPort(), 3306);
}

TEST(TcpTest, SilentPeerIsALostConnectionWithinTheTimeout) {
  FakeServer server([](PeerSocket& peer) {
    uint8_t byte;
    peer.ReadExactly(&byte, 1, 60000);  // says nothing until the client gives up
  });
  TMySqlSession session;
  session.SetConnectTimeout(1);
  const auto start = std::chrono::steady_clock::now();
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { session.Connect("127.0.0.1", "u", "p", "", server.Port(), "", 0); }, &message),
            kCrServerLost);
  // A second's time-out; the limit is for a client that waits for the peer.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_NE(message.find("Socket error on read. WSAGetLastError return 11($B)"), std::string::npos) << message;
}

// The connect time-out bounds the connect; a read without a limit after it
// waits however long the peer takes, as long as the connect time-out and more.
TEST(TcpTest, NoTimeOutAfterTheConnectTimeOutWaitsForTheSlowPeer) {
  FakeServer server([](PeerSocket& peer) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    peer.SendRaw(TBytes{1, 2, 3});
    uint8_t byte;
    peer.ReadExactly(&byte, 1, 60000);
  });
  TMySqlVioTcp vio("127.0.0.1", server.Port());
  vio.SetTimeout(1);
  vio.Connect();
  vio.SetTimeout(0);
  EXPECT_EQ(vio.GetTimeout(), 0);
  uint8_t buffer[3] = {};
  EXPECT_EQ(vio.Read(buffer, 0, 3), 3) << vio.GetLastError();
  EXPECT_EQ(buffer[2], 3);
  // A limit asked for again is the socket's again: a silent peer fails it.
  vio.SetTimeout(1);
  EXPECT_EQ(vio.Read(buffer, 0, 1), 0);
  EXPECT_NE(vio.GetLastError().find("WSAGetLastError return 11($B)"), std::string::npos) << vio.GetLastError();
  vio.Close();
}

TEST(TcpTest, CloseFromAnotherThreadEndsABlockedRead) {
  FakeServer server([](PeerSocket& peer) {
    uint8_t byte;
    peer.ReadExactly(&byte, 1, 60000);  // sends nothing: the client's read waits
  });
  TMySqlVioTcp vio("127.0.0.1", server.Port());
  vio.SetTimeout(0);  // no time-out: only the close can end the read
  vio.Connect();
  std::atomic<bool> started{false};
  int got = -1;
  std::thread reader([&] {
    uint8_t buffer[16];
    started = true;
    got = vio.Read(buffer, 0, sizeof buffer);
  });
  while (!started) std::this_thread::yield();
  // The read ends whether the close comes before its receive or while it
  // waits inside; the pause only makes the second, the one that needs the
  // shutdown, the likely one.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  vio.Close();
  reader.join();
  EXPECT_EQ(got, 0);
  EXPECT_FALSE(vio.IsConnected());
}

TEST(TcpTest, WritingToAClosedPeerFailsWithoutASignal) {
  auto server = std::make_unique<FakeServer>([](PeerSocket&) {});
  TMySqlVioTcp vio("127.0.0.1", server->Port());
  vio.Connect();
  server.reset();  // its thread has closed the peer's end
  const TBytes block(1 << 16, 'w');
  int written = 0;
  for (int i = 0; i < 50 && written >= 0; ++i) {
    const int n = vio.Write(block.data(), 0, static_cast<int>(block.size()));
    if (n < static_cast<int>(block.size())) {
      written = -1;
      break;
    }
  }
  EXPECT_EQ(written, -1);
  EXPECT_NE(vio.GetLastError().find("Socket error on write"), std::string::npos) << vio.GetLastError();
  vio.Close();
  EXPECT_EQ(vio.Write(block.data(), 0, 10), 0);
}

// An application transport over one end of a socketpair.
class SocketPairHandle : public TObject {
 public:
  explicit SocketPairHandle(int fd) : fd(fd) {}
  int fd;
};

class TSocketPairHandler : public TMyIOHandler {
  DAC_DECLARE_CLASS();

 public:
  explicit TSocketPairHandler(int fd) : fd_(fd) {}
  TObject* Connect(const std::string& server, int port, const std::string&, const std::string&,
                   const std::string&) override {
    server_ = server;
    port_ = port;
    return new SocketPairHandle(fd_);
  }
  void Disconnect(TObject* handle) override {
    ::close(static_cast<SocketPairHandle*>(handle)->fd);
    delete handle;
    ++disconnects_;
  }
  // Hands out at most 3 bytes per call: the transport must keep asking.
  int Read(TObject* handle, uint8_t* buffer, int offset, int count) override {
    const ssize_t n = ::recv(static_cast<SocketPairHandle*>(handle)->fd, buffer + offset,
                             static_cast<size_t>(std::min(count, 3)), 0);
    return n > 0 ? static_cast<int>(n) : 0;
  }
  int Write(TObject* handle, const uint8_t* buffer, int offset, int count) override {
    const ssize_t n =
        ::send(static_cast<SocketPairHandle*>(handle)->fd, buffer + offset, static_cast<size_t>(count), MSG_NOSIGNAL);
    return n > 0 ? static_cast<int>(n) : 0;
  }
  int GetTimeout(TObject*) override { return timeout_; }
  void SetTimeout(TObject*, int seconds) override { timeout_ = seconds; }

  std::string server_;
  int port_ = 0;
  int timeout_ = 0;
  int disconnects_ = 0;

 private:
  int fd_;
};

DAC_DEFINE_CLASS(TSocketPairHandler, TMyIOHandler, TMetaClass)

TEST(HandlerTransportTest, SessionRunsOverAnApplicationTransport) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  const uint8_t salt[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
  std::thread server([&] {
    PeerSocket peer(fds[1]);
    peer.Send(testing::Greeting(0xF7FF & ~0x800 & ~0x20, salt), 0);
    if (!peer.ReadPacket()) return;
    peer.Send(testing::OkPacket(), 2);
    auto ping = peer.ReadPacket();
    if (ping && ping->payload == TBytes{14}) peer.Send(testing::OkPacket(), 1);
    peer.ReadPacket();  // quit
    ::close(fds[1]);
  });
  TSocketPairHandler handler(fds[0]);
  {
    TMySqlSession session;
    session.SetIOHandler(&handler);
    session.SetConnectTimeout(7);
    session.Connect("", "user", "pw", "", 0, "", 0);
    EXPECT_EQ(session.GetHostInfo(), "TSocketPairHandler via localhost");
    EXPECT_EQ(handler.server_, "localhost");
    EXPECT_EQ(handler.port_, 3306);
    EXPECT_EQ(handler.timeout_, 7);
    session.Ping();
    EXPECT_EQ(ErrorCodeOf([&] { session.GetNet().GetVio()->SetIsSecure(true); }), kCrSslConnectionError);
    session.Close();
  }
  server.join();
  EXPECT_EQ(handler.disconnects_, 1);
}

TEST(HandlerTransportTest, WithoutAHandleNothingMoves) {
  TSocketPairHandler handler(-1);
  TMySqlVioHandler vio("h", 1, &handler, "", "", "");
  uint8_t buffer[4];
  EXPECT_EQ(vio.Read(buffer, 0, 4), 0);
  EXPECT_EQ(vio.Write(buffer, 0, 4), 0);
  vio.SetTimeout(9);
  EXPECT_EQ(vio.GetTimeout(), 9);
  EXPECT_FALSE(vio.GetIsSecure());
  EXPECT_THROW(TMySqlVioHandler("h", 1, nullptr, "", "", ""), EAssertionFailed);
}

// A Unix listener that never accepts and never answers, with what the
// kernel queued for it.
class UnixListener {
 public:
  explicit UnixListener(const std::string& path) : address_{} {
    address_.sun_family = AF_UNIX;
    path.copy(address_.sun_path, sizeof address_.sun_path - 1);
    fds_.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ::bind(fds_[0], reinterpret_cast<sockaddr*>(&address_), sizeof address_);
    ::listen(fds_[0], 0);
  }
  ~UnixListener() {
    for (int fd : fds_) ::close(fd);
  }
  // Connects until the backlog refuses more (EAGAIN).
  void FillBacklog() {
    for (int i = 0; i < 64; ++i) {
      const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (::connect(fd, reinterpret_cast<sockaddr*>(&address_), sizeof address_) != 0) {
        ::close(fd);
        return;
      }
      fds_.push_back(fd);
    }
  }
  void AcceptOne() { fds_.push_back(::accept(fds_[0], nullptr, nullptr)); }

 private:
  sockaddr_un address_;
  std::vector<int> fds_;
};

TEST(UnixSocketTest, FailuresAreBoundedAndNameTheirCause) {
  plat::testing::TestFolder folder;
  const std::string silent = folder.path() + "/silent.sock";
  const std::string full = folder.path() + "/full.sock";
  UnixListener silent_listener(silent);
  UnixListener full_listener(full);
  full_listener.FillBacklog();
  const std::string overlong = folder.path() + "/" + std::string(120, 's');
  struct Case {
    std::string host, path;
    int32_t code;
    std::string in_message;
  };
  const Case cases[] = {
      {"localhost", silent, kCrServerLost, "Lost connection"},
      {"LocalHost", folder.path() + "/missing.sock", kCrConnectionError, "missing.sock' (2)"},
      {"::1", overlong, kCrConnectionError, "(36)"},
      {"127.0.0.1", full, kCrConnectionError, "full.sock' (11)"},
      {"db.example.com", silent, kCrNamedpipeopenError,
       "Can't open named pipe to host: db.example.com  pipe: " + silent + " (a Unix socket reaches only this machine)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host + " " + c.path);
    TMySqlSession session;
    session.SetProtocol(MYSQL_PROTOCOL_PIPE);
    session.SetConnectTimeout(1);
    const auto start = std::chrono::steady_clock::now();
    std::string message;
    EXPECT_EQ(ErrorCodeOf([&] { session.Connect(c.host, "u", "p", "", 0, c.path, 0); }, &message), c.code);
    EXPECT_NE(message.find(c.in_message), std::string::npos) << message;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  }
}

TEST(UnixSocketTest, AFullBacklogIsWaitedForWithinTheTimeout) {
  plat::testing::TestFolder folder;
  const std::string path = folder.path() + "/busy.sock";
  UnixListener listener(path);
  listener.FillBacklog();
  std::thread acceptor([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    listener.AcceptOne();
  });
  TMySqlVioPipe vio("", 0, path);
  // Long enough for an acceptor that a busy machine holds up.
  vio.SetTimeout(120);
  EXPECT_NO_THROW(vio.Connect());
  EXPECT_TRUE(vio.IsConnected());
  acceptor.join();
}

TEST(SessionTest, ProtocolWithoutATransportIs2046AndCommandsNeedAConnection) {
  TMySqlSession session;
  session.SetProtocol(MYSQL_PROTOCOL_MEMORY);
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { session.Connect("h", "u", "p", "", 1, "", 0); }, &message), kCrWrongProtocol);
  EXPECT_EQ(message, "Wrong or unknown protocol");
  TMySqlSession idle;
  EXPECT_EQ(ErrorCodeOf([&] { idle.Ping(); }), kCrServerGoneError);
}

TEST(TransportTest, SocketExceptionIsAProtocolException) {
  try {
    throw SocketException(kCrUnknownHost, "nowhere", -2);
  } catch (const EMySqlException& e) {
    EXPECT_EQ(e.ErrorCode(), 2005);
    EXPECT_EQ(e.Message(), "Unknown MySQL Server Host 'nowhere' (-2)");
  }
}

}  // namespace
}  // namespace dac
