#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace plat {

namespace {

// Spawn attributes and file actions, released however the spawn ends.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attributes_);
    posix_spawn_file_actions_init(&actions_);
    // The player ignores SIGPIPE; its children must not inherit that.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes_, &defaults);
    posix_spawnattr_setpgroup(&attributes_, 0);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions_, STDERR_FILENO, STDOUT_FILENO);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  const posix_spawnattr_t* Attributes() const { return &attributes_; }
  const posix_spawn_file_actions_t* Actions() const { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const SpawnSetup setup;
  pid_t child = -1;
  if (const int error =
          posix_spawnp(&child, program.c_str(), setup.Actions(), setup.Attributes(), argv.data(), environ)) {
    start_error_ = std::strerror(error);
    end_ = ChildEnd{ChildEnd::Kind::kLost, 0, start_error_};
    return;
  }
  pid_ = child;
}

std::optional<ChildEnd> ChildProcess::Poll() {
  if (end_) return end_;
  int status = 0;
  const pid_t done = ::waitpid(pid_, &status, WNOHANG);
  if (done == 0 || (done < 0 && errno == EINTR)) return std::nullopt;
  if (done < 0) {
    end_ = ChildEnd{ChildEnd::Kind::kLost, 0, std::strerror(errno)};
  } else if (WIFEXITED(status)) {
    end_ = ChildEnd{ChildEnd::Kind::kExited, WEXITSTATUS(status), ""};
  } else if (WIFSIGNALED(status)) {
    end_ = ChildEnd{ChildEnd::Kind::kSignaled, WTERMSIG(status), ""};
  } else {
    end_ = ChildEnd{ChildEnd::Kind::kLost, 0, "no exit status"};
  }
  return end_;
}

}  // namespace plat
