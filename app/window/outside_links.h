// Addresses outside the player go to the user's default browser.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/terminal.h"
#include "platform/child_process.h"

namespace app {

// Starts xdg-open for each address, on the main thread, and reaps each one
// when it ends; a failure is written to the terminal, which must outlive
// the opener.
class TOutsideLinks {
 public:
  static constexpr unsigned kExitCheckIntervalMs = 250;

  explicit TOutsideLinks(TTerminal& terminal) : terminal_(terminal) {}
  // Stops watching; xdg-open processes still running are left alone.
  ~TOutsideLinks();
  TOutsideLinks(const TOutsideLinks&) = delete;
  TOutsideLinks& operator=(const TOutsideLinks&) = delete;

  void Open(const std::string& address);

 private:
  // False once no child is left to watch.
  bool CheckExits();

  TTerminal& terminal_;
  struct Started {
    std::string address;
    std::unique_ptr<plat::ChildProcess> child;
  };
  std::vector<Started> children_;
  unsigned watch_ = 0;  // the GLib source that checks the children, 0 when none
};

}  // namespace app
