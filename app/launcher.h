// Opens the served URL in the user's default browser.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/child_process.h"
#include "platform/event_loop.h"
#include "platform/window_timers.h"

namespace app {

// A graphical display is at hand: $DISPLAY or $WAYLAND_DISPLAY is set and not empty.
bool HasDisplay();

// Starts xdg-open, found on $PATH and started directly, never through a
// shell, with the URL as its one argument. It runs in a process group of its
// own, so the Ctrl+C that stops the player does not reach a browser it
// started; its output goes to standard error, keeping standard output for
// the URL line.
class TBrowserLauncher {
 public:
  // Receives why the browser could not be opened.
  using FailureCallback = std::function<void(const std::string& reason)>;

  static constexpr uint32_t kExitCheckIntervalMs = 100;

  // The loop must outlive the launcher.
  explicit TBrowserLauncher(plat::EventLoop& loop);
  // Stops watching; a still running xdg-open is left alone.
  ~TBrowserLauncher();
  TBrowserLauncher(const TBrowserLauncher&) = delete;
  TBrowserLauncher& operator=(const TBrowserLauncher&) = delete;

  // False, with the reason in on_failed, when xdg-open cannot be started.
  // Otherwise its exit is watched on the loop and on_failed called when it
  // reports failure.
  bool Open(const std::string& url, FailureCallback on_failed);

 private:
  void CheckExit();

  plat::WindowTimers timers_;
  std::unique_ptr<plat::ChildProcess> child_;
  FailureCallback on_failed_;
};

}  // namespace app
