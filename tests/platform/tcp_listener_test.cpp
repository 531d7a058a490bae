#include "platform/tcp_listener.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "tests/platform/loopback_test_util.h"

namespace plat {
namespace {

using plat::testing::ConnectTo;
using plat::testing::RunUntil;

// A range of ports just above `port`, kept within the valid ports.
uint16_t RangeEnd(uint16_t port) { return static_cast<uint16_t>(std::min<int>(port + 30, 65535)); }

TEST(TcpListenerTest, ListensOnLoopbackOnly) {
  EventLoop loop;
  TcpListener listener(loop);
  ASSERT_FALSE(listener.Listen(0));
  const uint16_t port = listener.Port();
  ASSERT_NE(port, 0);
  EXPECT_TRUE(listener.IsListening());

  // 127.0.0.2 is another loopback address: a socket bound to every interface
  // would answer there too.
  EXPECT_EQ(ConnectTo(port, "127.0.0.2"), -1);
  const int client = ConnectTo(port, "127.0.0.1");
  EXPECT_GE(client, 0);
  ::close(client);
}

TEST(TcpListenerTest, PortScanSkipsTakenAndListedPorts) {
  EventLoop loop;
  TcpListener taken(loop);
  ASSERT_FALSE(taken.Listen(0));
  const uint16_t first = taken.Port();

  // A second listener cannot share a port, SO_REUSEADDR notwithstanding.
  TcpListener second(loop);
  EXPECT_TRUE(second.Listen(first));
  EXPECT_FALSE(second.IsListening());

  const uint16_t found = second.ListenOnFirstFree(first, RangeEnd(first));
  ASSERT_NE(found, 0);
  EXPECT_NE(found, first);
  second.Close();

  TcpListener third(loop);
  const uint16_t skip[] = {found};
  const uint16_t other = third.ListenOnFirstFree(first, RangeEnd(first), skip);
  ASSERT_NE(other, 0);
  EXPECT_NE(other, first);
  EXPECT_NE(other, found);

  TcpListener fourth(loop);
  EXPECT_EQ(fourth.ListenOnFirstFree(first, first), 0);
  EXPECT_EQ(fourth.Port(), 0);
}

TEST(TcpListenerTest, ListenAgainAfterCloseReusesThePort) {
  EventLoop loop;
  TcpListener listener(loop);
  ASSERT_FALSE(listener.Listen(0));
  const uint16_t port = listener.Port();
  EXPECT_FALSE(listener.Listen(port));  // already listening there: no change
  listener.Close();
  EXPECT_FALSE(listener.IsListening());
  EXPECT_EQ(ConnectTo(port), -1);
  ASSERT_FALSE(listener.Listen(port));
  EXPECT_EQ(listener.Port(), port);
}

TEST(TcpListenerTest, CloseEndsEveryConnectionAndRunsTheirClosedCallbacks) {
  EventLoop loop;
  TcpListener listener(loop);
  ASSERT_FALSE(listener.Listen(0));
  int accepted = 0;
  int closed = 0;
  listener.SetOnAccept([&](const std::shared_ptr<TcpConnection>& connection) {
    ++accepted;
    connection->SetOnClosed([&](TcpConnection&) { ++closed; });
  });
  const int a = ConnectTo(listener.Port());
  const int b = ConnectTo(listener.Port());
  ASSERT_TRUE(RunUntil(loop, [&] { return accepted == 2; }));
  EXPECT_EQ(listener.ConnectionCount(), 2u);

  listener.Close();
  EXPECT_EQ(closed, 2);
  EXPECT_EQ(listener.ConnectionCount(), 0u);
  EXPECT_EQ(plat::testing::ReadUpTo(a), "");  // the peers see the end
  EXPECT_EQ(plat::testing::ReadUpTo(b), "");
  RunUntil(loop, [] { return false; }, 30);
  EXPECT_EQ(closed, 2);  // once each
  ::close(a);
  ::close(b);
}

TEST(TcpListenerTest, ListenerDestroyedInsideAConnectionCallback) {
  EventLoop loop;
  auto listener = std::make_unique<TcpListener>(loop);
  ASSERT_FALSE(listener->Listen(0));
  int closed = 0;
  listener->SetOnAccept([&](const std::shared_ptr<TcpConnection>& connection) {
    connection->SetOnReadable([&](TcpConnection&, size_t) { listener->Close(); listener.reset(); });
    connection->SetOnClosed([&](TcpConnection&) { ++closed; });
  });
  const int client = ConnectTo(listener->Port());
  plat::testing::WriteAll(client, "x");
  ASSERT_TRUE(RunUntil(loop, [&] { return listener == nullptr; }));
  EXPECT_EQ(closed, 1);
  ::close(client);
}

TEST(TcpListenerTest, WithoutAcceptCallbackConnectionsAreClosed) {
  EventLoop loop;
  TcpListener listener(loop);
  ASSERT_FALSE(listener.Listen(0));
  const int client = ConnectTo(listener.Port());
  std::string got = "pending";
  std::thread reader([&] { got = plat::testing::ReadUpTo(client); });
  RunUntil(loop, [&] { return listener.ConnectionCount() == 0 && got != "pending"; });
  reader.join();
  EXPECT_EQ(got, "");
  ::close(client);
}

// The highest descriptor now open.
int HighestOpenFd() {
  int highest = 2;
  DIR* dir = ::opendir("/proc/self/fd");
  while (dirent* entry = ::readdir(dir)) highest = std::max(highest, std::atoi(entry->d_name));
  ::closedir(dir);
  return highest;
}

std::chrono::microseconds ThreadCpuTime() {
  rusage usage{};
  ::getrusage(RUSAGE_THREAD, &usage);
  return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

TEST(TcpListenerTest, AcceptWithoutFreeDescriptorsWaitsAndRecovers) {
#ifdef __SANITIZE_ADDRESS__
  // The sanitizer runtime opens pipes of its own to check memory; with no
  // descriptor left it reports false errors.
  GTEST_SKIP() << "needs a build without sanitizers";
#endif
  EventLoop loop;
  TcpListener listener(loop);
  ASSERT_FALSE(listener.Listen(0));
  int accepted = 0;
  listener.SetOnAccept([&](const std::shared_ptr<TcpConnection>&) { ++accepted; });

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int client = ConnectTo(listener.Port());
  ASSERT_GE(client, 0);
  // No descriptor left: every accept fails with EMFILE.
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(HighestOpenFd() + 1);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  std::vector<int> fillers;
  for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);

  const auto cpu_before = ThreadCpuTime();
  const auto wall_before = std::chrono::steady_clock::now();
  RunUntil(loop, [] { return false; }, 3 * TcpListener::kAcceptRetryMs / 2);
  const auto wall = std::chrono::steady_clock::now() - wall_before;
  const auto cpu = ThreadCpuTime() - cpu_before;
  EXPECT_EQ(accepted, 0);
  EXPECT_LT(cpu, wall / 2) << "the listener spins on a failing accept";
  for (int fd : fillers) ::close(fd);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);

  EXPECT_TRUE(RunUntil(loop, [&] { return accepted == 1; }));
  ::close(client);
}

}  // namespace
}  // namespace plat
