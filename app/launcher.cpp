#include "app/launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

constexpr char kOpener[] = "xdg-open";
constexpr plat::WindowTimers::TimerId kExitCheckTimer = 1;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Spawn attributes and file actions, released however the spawn ends.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attributes_);
    posix_spawn_file_actions_init(&actions_);
    // The player ignores SIGPIPE; the opener and its browser must not inherit that.
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

std::string ExitText(int status) {
  if (WIFEXITED(status)) return std::string(kOpener) + " exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return std::string(kOpener) + " was ended by signal " + std::to_string(WTERMSIG(status));
  return std::string(kOpener) + " failed";
}

}  // namespace

bool HasDisplay() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"); }

TBrowserLauncher::TBrowserLauncher(plat::EventLoop& loop) : timers_(loop) {}

TBrowserLauncher::~TBrowserLauncher() = default;

bool TBrowserLauncher::Open(const std::string& url, FailureCallback on_failed) {
  on_failed_ = std::move(on_failed);
  std::string program = kOpener;
  std::string argument = url;
  char* argv[] = {program.data(), argument.data(), nullptr};
  const SpawnSetup setup;
  pid_t child = -1;
  if (const int error = posix_spawnp(&child, kOpener, setup.Actions(), setup.Attributes(), argv, environ)) {
    if (on_failed_) on_failed_(std::string("cannot start ") + kOpener + ": " + std::strerror(error));
    return false;
  }
  child_ = child;
  timers_.Set(kExitCheckTimer, kExitCheckIntervalMs, [this] { CheckExit(); });
  return true;
}

void TBrowserLauncher::CheckExit() {
  int status = 0;
  const pid_t done = ::waitpid(child_, &status, WNOHANG);
  if (done == 0 || (done < 0 && errno == EINTR)) return;
  timers_.Kill(kExitCheckTimer);
  child_ = -1;
  const bool succeeded = done == -1 ? false : WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (succeeded || !on_failed_) return;
  on_failed_(done == -1 ? std::string(kOpener) + " could not be watched: " + std::strerror(errno) : ExitText(status));
}
