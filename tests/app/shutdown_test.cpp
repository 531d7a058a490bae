#include "app/shutdown.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>

#include "content/content_paths.h"
#include "platform/files.h"
#include "tests/app/fake_terminal.h"
#include "tests/server/server_test_support.h"
#include "tests/support/eventually.h"
#include "tests/support/test_folder.h"

namespace app {
namespace {

using plat::testing::ConnectTo;

class Shutdown : public ::testing::Test {
 protected:
  void Open(const std::map<std::string, std::string>& files) {
    for (const auto& [name, bytes] : files) server::PutFile(content_ + name, bytes);
    ASSERT_TRUE(server_.SetPath(content_));
    ASSERT_TRUE(server_.Open());
  }
  void AddSession(const std::string& name, const std::string& login = "") {
    server::TSessionsLock lock(server_.GetSessions());
    server::TQuizSessionParams& session = *server_.GetSessions().AddNew(true);
    session.SetName(name);
    session.SetLoginName(login);
  }

  plat::testing::TestFolder folder_;
  plat::testing::ScopedEnv data_home_{"XDG_DATA_HOME", folder_.path() + "/data"};
  const std::string content_ = folder_.path() + "/course/";
  const std::string state_ = folder_.path() + "/data/Kelmo Player/shut - lastsession.state";
  plat::EventLoop loop_;
  server::TQuizSession server_{loop_, 0};
  FakeTerminal terminal_;
};

TEST_F(Shutdown, StoresTheFirstSessionInTheStateFile) {
  Open({{"index.html", "x"}, {"projectid.txt", "shut"}});
  StoreRunningSession(server_, terminal_);
  EXPECT_FALSE(plat::FileExists(state_));  // no session, nothing stored

  AddSession("Ann Lee", "ann");
  AddSession("Bob");
  StoreRunningSession(server_, terminal_);
  EXPECT_EQ(plat::ReadWholeFile(state_ + ".name"), "Ann Lee");
  EXPECT_TRUE(plat::ReadWholeFile(state_).starts_with("7Y(g"));
  EXPECT_EQ(terminal_.Output(), "No session to store.\nSession stored for ann.\n");
}

TEST_F(Shutdown, NoStatePathOrAFailedStoreNeverRaises) {
  Open({{"index.html", "x"}});
  AddSession("Ann");
  EXPECT_NO_THROW(StoreRunningSession(server_, terminal_));
  EXPECT_FALSE(plat::FolderExists(folder_.path() + "/data/Kelmo Player"));
  EXPECT_EQ(terminal_.Output(), "No session to store.\n");

  // A folder where the state file should go: the store fails and says so.
  server::PutFile(content_ + "projectid.txt", "shut");
  ASSERT_TRUE(server_.SetPath(content_));
  plat::CreateFolders(state_ + "/");
  EXPECT_NO_THROW(StoreRunningSession(server_, terminal_));
  EXPECT_TRUE(terminal_.Output().starts_with("No session to store.\nThe session could not be stored: "))
      << terminal_.Output();
}

// Closing stops accepting, drops connections without a request, lets a
// reply under way finish, stores, and ends the loop; a second signal changes nothing.
TEST_F(Shutdown, RepliesUnderWayFinishBeforeTheServerCloses) {
  const std::string big(16 << 20, 'k');
  Open({{"big.html", big}, {"projectid.txt", "shut"}});
  AddSession("Ann");
  const uint16_t port = server_.GetPort();

  std::atomic<bool> reply_started{false};
  std::atomic<bool> closing{false};
  std::string idle_read = "not read";
  std::string reply;
  std::thread client([&] {
    const int idle = ConnectTo(port);
    const int fd = ConnectTo(port);
    plat::testing::WriteAll(fd, "GET /big.html HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n");
    char first[1024];
    const ssize_t got = ::recv(fd, first, sizeof first, 0);
    if (got > 0) reply.assign(first, static_cast<size_t>(got));
    reply_started = true;
    // The rest only once the shutdown has begun: the reply is under way then.
    EXPECT_TRUE(plat::testing::Eventually([&] { return closing.load(); }));
    reply += plat::testing::ReadUpTo(fd);
    // A connection that never sent a byte need not have reached the server
    // (it accepts on the first bytes): then closing the listener leaves it
    // unanswered, and the read shows only that nothing came meanwhile.
    timeval nothing_for{5, 0};
    ::setsockopt(idle, SOL_SOCKET, SO_RCVTIMEO, &nothing_for, sizeof nothing_for);
    idle_read = plat::testing::ReadUpTo(idle);
    ::close(fd);
    ::close(idle);
  });
  ASSERT_TRUE(plat::testing::RunUntil(loop_, [&] { return reply_started.load(); }));

  TShutdown shutdown(loop_, server_, terminal_);
  shutdown.Begin();
  closing = true;
  EXPECT_TRUE(shutdown.IsClosing());
  EXPECT_FALSE(server_.IsListening());
  shutdown.Begin();
  loop_.Run();  // until the shutdown ends it
  client.join();

  EXPECT_TRUE(reply.ends_with("\r\n\r\n" + big)) << reply.size();
  EXPECT_EQ(idle_read, "");
  EXPECT_EQ(server_.GetConnectionCount(), 0u);
  EXPECT_EQ(plat::ReadWholeFile(state_ + ".name"), "Ann");
  // Not a probe of the port: servers of tests running beside this one scan
  // from the same first port and take a freed one at once.
  EXPECT_FALSE(server_.IsListening());
}

}  // namespace
}  // namespace app
