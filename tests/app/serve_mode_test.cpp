// The player's headless mode, end to end: the built executable as a user runs it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/platform/loopback_test_util.h"
#include "tests/support/test_folder.h"

extern char** environ;

namespace {

using plat::testing::ConnectTo;
using plat::testing::ReadUpTo;
using plat::testing::WriteAll;

// Everything up to the writer's end.
std::string ReadPipe(int fd) {
  std::string all;
  char buffer[4096];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<size_t>(got));
  return all;
}

// The player running with the given arguments, its output on pipes.
class Player {
 public:
  explicit Player(const std::vector<std::string>& arguments) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> all = {VARNEL_PLAYER_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, VARNEL_PLAYER_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~Player() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    ::close(out_);
    ::close(err_);
  }

  // The first line on standard output, without its line end; "" after the timeout or at the end.
  std::string FirstLine(int timeout_ms = 10000) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd ready{out_, POLLIN, 0};
      if (::poll(&ready, 1, 50) <= 0) continue;
      char c;
      if (::read(out_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return "";
  }
  std::string RestOfStdout() { return ReadPipe(out_); }
  std::string Stderr() { return ReadPipe(err_); }

  void Signal(int number) { ::kill(pid_, number); }
  // The exit status, or -1 when it did not exit normally.
  int Wait() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

class ServeMode : public ::testing::Test {
 protected:
  void SetUp() override {
    content_ = folder_.path() + "/course/";
    plat::WriteFileAtomic(content_ + "index.html", "<html>start</html>");
  }
  plat::testing::TestFolder folder_;
  std::string content_;
};

TEST_F(ServeMode, PrintsItsUrlServesAndStopsOnSigterm) {
  Player player({"--serve", content_});
  const std::string url = player.FirstLine();
  ASSERT_TRUE(url.starts_with("http://127.0.0.1:") && url.ends_with("/")) << url;
  const int port = std::stoi(url.substr(17));
  EXPECT_GE(port, 1000);
  EXPECT_LE(port, 9999);

  const int fd = ConnectTo(static_cast<uint16_t>(port));
  ASSERT_GE(fd, 0);
  WriteAll(fd, "GET / HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n");
  const std::string reply = ReadUpTo(fd);
  ::close(fd);
  EXPECT_TRUE(reply.starts_with("HTTP/1.0 200 OK\r\nServer: Varnel Server 1.0\r\n")) << reply;
  EXPECT_TRUE(reply.ends_with("\r\nContent-Length: 18\r\n\r\n<html>start</html>")) << reply;

  // Another loopback address reaches every interface's listener, but not this one.
  const int elsewhere = ConnectTo(static_cast<uint16_t>(port), "127.0.0.2");
  EXPECT_LT(elsewhere, 0);
  if (elsewhere >= 0) ::close(elsewhere);

  player.Signal(SIGTERM);
  EXPECT_EQ(player.Wait(), 0);
  EXPECT_EQ(player.RestOfStdout(), "");
}

TEST_F(ServeMode, SigintStopsItToo) {
  Player player({"--serve", content_});
  ASSERT_FALSE(player.FirstLine().empty());
  player.Signal(SIGINT);
  EXPECT_EQ(player.Wait(), 0);
}

TEST_F(ServeMode, ContentThatCannotBeOpenedIsReported) {
  const std::string broken = folder_.path() + "/broken.vrn";
  plat::WriteFileAtomic(broken, std::string("\x44\x89\x24\x67\x02\0\0\0\0\0\0\0", 12));
  for (const std::string& content : {folder_.path() + "/missing", broken}) {
    Player player({"--serve", content});
    EXPECT_EQ(player.FirstLine(), "");
    EXPECT_NE(player.Wait(), 0);
    EXPECT_NE(player.Stderr().find(content), std::string::npos);
  }
}

TEST_F(ServeMode, OtherCommandLinesPrintUsage) {
  Player player({"--bogus"});
  EXPECT_EQ(player.Wait(), 2);
  EXPECT_NE(player.Stderr().find("Usage: varnel-player --serve CONTENT"), std::string::npos);
}

}  // namespace
