// The session server on a thread of its own, beside the window's GTK loop.
//
// The server runs on its own event loop, which a GLib loop cannot drive, and
// the window runs modal dialogs and the web view's work on the main loop;
// apart, neither holds the other up. The window reaches the server only
// through Post, and the server reaches the window only through
// PostToMainThread: the server never waits on the window.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/terminal.h"

namespace plat {
class EventLoop;
}  // namespace plat

namespace server {
class TQuizSession;
}  // namespace server

namespace app {

class TShutdown;

class TServerThread {
 public:
  using Task = std::function<void(server::TQuizSession& server)>;

  // Starts the thread and waits until its server listens or has failed to:
  // the terminal (which must outlive the thread) takes the messages of
  // closing. on_ended runs on the server thread once the server is gone,
  // after a Close or a termination signal.
  TServerThread(TTerminal& terminal, std::function<void()> on_ended);
  // Closes the server, when it still runs, and waits for the thread.
  ~TServerThread();
  TServerThread(const TServerThread&) = delete;
  TServerThread& operator=(const TServerThread&) = delete;

  // The listening port; 0 when no port was free (StartError says so).
  uint16_t Port() const { return port_; }
  const std::string& StartError() const { return start_error_; }

  // Runs the task on the server thread; dropped once the server has ended.
  void Post(Task task);
  // Closes as a termination signal does: lets replies under way finish,
  // stores the running session, ends the server.
  void Close();

 private:
  void Main(std::function<void()> on_ended);

  TTerminal& terminal_;
  std::mutex mutex_;
  std::condition_variable started_;
  bool start_done_ = false;
  // Set while the loop runs, under mutex_.
  plat::EventLoop* loop_ = nullptr;
  server::TQuizSession* server_ = nullptr;
  TShutdown* shutdown_ = nullptr;
  uint16_t port_ = 0;
  std::string start_error_;
  std::thread thread_;
};

}  // namespace app
