// The built player as a user runs it: its own process, its output on pipes,
// standard input from /dev/null (no terminal), environment overrides.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/platform/loopback_test_util.h"

extern char** environ;

namespace app {

// Everything up to the writer's end.
inline std::string ReadPipe(int fd) {
  std::string all;
  char buffer[4096];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<size_t>(got));
  return all;
}

// The process environment with the given variables replaced.
inline std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& overrides) {
  std::vector<std::string> all;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (!overrides.contains(text.substr(0, text.find('=')))) all.push_back(text);
  }
  for (const auto& [name, value] : overrides) all.push_back(name + "=" + value);
  return all;
}

class Player {
 public:
  explicit Player(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& env = {}) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> all = {VARNEL_PLAYER_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = EnvironmentWith(env);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, VARNEL_PLAYER_PATH, &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
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
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // The first line on standard output, without its line end; "" at the end, or
  // when the limit for a hung test passed first.
  std::string FirstLine() {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + plat::testing::kHungTestLimit;
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

// The port of a "http://127.0.0.1:PORT/" line; 0 for any other line.
inline uint16_t PortOfUrl(const std::string& url) {
  static const std::string kPrefix = "http://127.0.0.1:";
  if (!url.starts_with(kPrefix) || !url.ends_with("/")) return 0;
  const std::string digits = url.substr(kPrefix.size(), url.size() - kPrefix.size() - 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int port = std::stoi(digits);
  return port >= 1000 && port <= 9999 ? static_cast<uint16_t>(port) : 0;
}

// One GET over a fresh connection; the whole reply.
inline std::string Get(uint16_t port, const std::string& target) {
  const int fd = plat::testing::ConnectTo(port);
  if (fd < 0) return "";
  plat::testing::WriteAll(fd, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n");
  std::string reply = plat::testing::ReadUpTo(fd);
  ::close(fd);
  return reply;
}

}  // namespace app
