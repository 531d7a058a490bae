// Programs the player starts beside itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace plat {

// How a child ended.
struct ChildEnd {
  enum class Kind {
    kExited,    // code is its exit status
    kSignaled,  // code is the signal that ended it
    kLost,      // it could not be watched; reason says why
  };
  Kind kind = Kind::kExited;
  int code = 0;
  std::string reason;
};

// One started program, found on $PATH and started directly, never through a
// shell. Its standard input reads nothing, its standard output goes to the
// player's standard error, SIGPIPE is back at its default action, and it runs
// in a process group of its own, so a Ctrl+C meant for the player never
// reaches it.
class ChildProcess {
 public:
  // Starts program with the arguments after its name; check StartError.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
  // A child still running is left alone.
  ~ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Why the program could not be started; "" when it started.
  const std::string& StartError() const { return start_error_; }
  // How the child ended, once it has; nullopt while it runs. After it has
  // ended (or did not start) every call gives the same end again.
  std::optional<ChildEnd> Poll();

 private:
  int pid_ = -1;
  std::string start_error_;
  std::optional<ChildEnd> end_;
};

}  // namespace plat
