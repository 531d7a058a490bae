#include "app/launcher.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/environment.h"

namespace app {
namespace {

constexpr char kOpener[] = "xdg-open";
constexpr plat::WindowTimers::TimerId kExitCheckTimer = 1;

std::string EndText(const plat::ChildEnd& end) {
  switch (end.kind) {
    case plat::ChildEnd::Kind::kExited:
      return std::string(kOpener) + " exited with status " + std::to_string(end.code);
    case plat::ChildEnd::Kind::kSignaled:
      return std::string(kOpener) + " was ended by signal " + std::to_string(end.code);
    case plat::ChildEnd::Kind::kLost:
      break;
  }
  return std::string(kOpener) + " could not be watched: " + end.reason;
}

}  // namespace

bool HasDisplay() { return plat::IsEnvironmentSet("DISPLAY") || plat::IsEnvironmentSet("WAYLAND_DISPLAY"); }

TBrowserLauncher::TBrowserLauncher(plat::EventLoop& loop) : timers_(loop) {}

TBrowserLauncher::~TBrowserLauncher() = default;

bool TBrowserLauncher::Open(const std::string& url, FailureCallback on_failed) {
  on_failed_ = std::move(on_failed);
  child_ = std::make_unique<plat::ChildProcess>(kOpener, std::vector<std::string>{url});
  if (!child_->StartError().empty()) {
    if (on_failed_) on_failed_(std::string("cannot start ") + kOpener + ": " + child_->StartError());
    child_.reset();
    return false;
  }
  timers_.Set(kExitCheckTimer, kExitCheckIntervalMs, [this] { CheckExit(); });
  return true;
}

void TBrowserLauncher::CheckExit() {
  const std::optional<plat::ChildEnd> end = child_->Poll();
  if (!end) return;
  timers_.Kill(kExitCheckTimer);
  child_.reset();
  const bool succeeded = end->kind == plat::ChildEnd::Kind::kExited && end->code == 0;
  if (succeeded || !on_failed_) return;
  on_failed_(EndText(*end));
}

}  // namespace app
