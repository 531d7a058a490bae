#include "app/window/server_thread.h"

#include <exception>
#include <utility>

#include "app/player_shell.h"
#include "app/shutdown.h"
#include "platform/event_loop.h"
#include "server/quiz_session.h"

namespace app {

TServerThread::TServerThread(TTerminal& terminal, std::function<void()> on_ended) : terminal_(terminal) {
  thread_ = std::thread([this, on_ended = std::move(on_ended)]() mutable { Main(std::move(on_ended)); });
  std::unique_lock<std::mutex> lock(mutex_);
  started_.wait(lock, [this] { return start_done_; });
}

TServerThread::~TServerThread() {
  Close();
  if (thread_.joinable()) thread_.join();
}

void TServerThread::Main(std::function<void()> on_ended) {
  try {
    plat::EventLoop loop;
    server::TQuizSession server(loop, 0);
    TShutdown shutdown(loop, server, terminal_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      loop_ = &loop;
      server_ = &server;
      shutdown_ = &shutdown;
      port_ = server.GetPort();
      if (port_ == 0) start_error_ = NoFreePortText();
      start_done_ = true;
    }
    started_.notify_all();
    loop.Run();
    std::lock_guard<std::mutex> lock(mutex_);
    loop_ = nullptr;
  } catch (const std::exception& e) {
    std::lock_guard<std::mutex> lock(mutex_);
    loop_ = nullptr;
    start_error_ = e.what();
    start_done_ = true;
  }
  started_.notify_all();
  on_ended();
}

void TServerThread::Post(Task task) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (loop_ == nullptr) return;
  server::TQuizSession* server = server_;
  loop_->Post([server, task = std::move(task)] { task(*server); });
}

void TServerThread::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (loop_ == nullptr) return;
  TShutdown* shutdown = shutdown_;
  loop_->Post([shutdown] { shutdown->Begin(); });
}

}  // namespace app
