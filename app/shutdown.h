// Closing the player: the running session is stored where start-up offers
// it back, then the server closes.
#pragma once

#include <cstdint>

#include "app/terminal.h"
#include "platform/event_loop.h"
#include "platform/window_timers.h"

namespace server {
class TQuizSession;
}  // namespace server

namespace app {

// Stores the first learner session in the content's state file and says on
// the terminal for whom ("Session stored for sam."). Skipped when there is no
// session or no state path (content without a project id), which the
// terminal hears as "No session to store."; a failure is logged and
// reported on the terminal, never raised.
void StoreRunningSession(server::TQuizSession& server, TTerminal& terminal);

// Ends the serving on the first termination signal (SIGINT, SIGTERM, SIGHUP,
// delivered on the loop): stops accepting, lets replies under way finish
// (for at most kDrainLimitMs), stores the running session, closes the
// server and ends the loop. Signals that come while closing are ignored.
class TShutdown {
 public:
  static constexpr uint32_t kDrainLimitMs = 5000;
  static constexpr uint32_t kDrainCheckMs = 20;

  // Takes the termination signals from now on; all three must outlive it.
  TShutdown(plat::EventLoop& loop, server::TQuizSession& server, TTerminal& terminal);
  // Gives the signals back their default action.
  ~TShutdown();
  TShutdown(const TShutdown&) = delete;
  TShutdown& operator=(const TShutdown&) = delete;

  // What a signal starts; later calls do nothing.
  void Begin();
  bool IsClosing() const { return closing_; }

 private:
  void CheckDrained();
  void Finish();

  plat::EventLoop& loop_;
  server::TQuizSession& server_;
  TTerminal& terminal_;
  plat::WindowTimers timers_;
  bool closing_ = false;
  // Tick count when the draining began (tick counts wrap).
  uint32_t drain_started_ = 0;
};

}  // namespace app
