#include "app/shutdown.h"

#include "content/content_paths.h"
#include "content/debug_log.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "server/quiz_session.h"

namespace app {
namespace {

constexpr plat::WindowTimers::TimerId kDrainTimer = 1;

}  // namespace

void StoreRunningSession(server::TQuizSession& server, TTerminal& terminal) {
  constexpr std::string_view kNothingStored = "No session to store.\n";
  const std::string state_path = content::GetLastSessionStatePath(server.GetContentFolder());
  if (!server.IsActiveSession() || state_path.empty()) return terminal.Write(kNothingStored);
  server::TSessionsLock lock(server.GetSessions());
  const server::TQuizSessionParams* session = server.GetSessions().At(0);
  if (session == nullptr) return terminal.Write(kNothingStored);  // swept out since the check
  try {
    server.StoreSession(state_path, *session);
  } catch (const std::exception& e) {
    content::LogMessage("cannot store the session: %s", e.what());
    terminal.Write(std::string("The session could not be stored: ") + e.what() + "\n");
    return;
  }
  // Skip-start-page sessions share one login name; their name is the one typed.
  const bool by_login = !server.GetSkipStartPage() && !session->GetLoginName().empty();
  terminal.Write("Session stored for " + TerminalText(by_login ? session->GetLoginName() : session->GetName()) + ".\n");
}

TShutdown::TShutdown(plat::EventLoop& loop, server::TQuizSession& server, TTerminal& terminal)
    : loop_(loop), server_(server), terminal_(terminal), timers_(loop) {
  loop_.SetSignalHandler([this](int) { Begin(); });
}

TShutdown::~TShutdown() { loop_.SetSignalHandler(nullptr); }

void TShutdown::Begin() {
  if (closing_) return;
  closing_ = true;
  server_.StopListening();
  if (server_.GetConnectionCount() == 0) return Finish();
  drain_started_ = plat::ProcessClock().TickCount();
  timers_.Set(kDrainTimer, kDrainCheckMs, [this] { CheckDrained(); });
}

void TShutdown::CheckDrained() {
  if (server_.GetConnectionCount() > 0 && plat::ProcessClock().TickCount() - drain_started_ < kDrainLimitMs) return;
  timers_.Kill(kDrainTimer);
  Finish();
}

void TShutdown::Finish() {
  StoreRunningSession(server_, terminal_);
  server_.Close();
  loop_.Quit();
}

}  // namespace app
