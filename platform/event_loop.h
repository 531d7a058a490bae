// The event loop of one thread: socket events, window timers, posted tasks and
// the termination signals all run on it, one handler at a time. Nothing ever
// processes pending events inside a handler; work that would wait (a long
// reply, say) is queued and carried on by later events instead.
#pragma once

#include <exception>
#include <functional>
#include <memory>

namespace asio {
class io_context;
}

namespace plat {

class EventLoop {
 public:
  using Task = std::function<void()>;
  using SignalHandler = std::function<void(int signal_number)>;
  using ExceptionHook = std::function<void(std::exception_ptr error)>;

  // Binds the loop to the calling thread. Throws std::logic_error when the
  // thread already has one.
  EventLoop();
  // Tasks still queued are dropped unrun. Timers, listeners and connections
  // made on the loop must be gone first.
  ~EventLoop();

  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // The loop bound to the calling thread, or nullptr.
  static EventLoop* Current();

  // Handles events until Quit. Only on the loop's own thread, and never from
  // inside a handler (throws std::logic_error): there is no nested loop.
  void Run();
  // Makes Run return once the current handler is done; a Quit before Run
  // makes the next Run return at once. Any thread.
  void Quit();
  // Queues the task to run on the loop thread. Any thread; wakes the loop.
  void Post(Task task);

  // Delivers SIGINT, SIGTERM and SIGHUP to the handler, on the loop thread,
  // instead of their default action. An empty handler gives them back.
  void SetSignalHandler(SignalHandler handler);

  // Receives every exception that escapes a callback; the loop goes on.
  // By default the exception is written to standard error.
  void SetExceptionHook(ExceptionHook hook);
  void ReportException(std::exception_ptr error) noexcept;

  // Calls fn; an exception goes to the hook. False when fn threw.
  template <class F>
  bool Guard(F&& fn) noexcept {
    try {
      fn();
      return true;
    } catch (...) {
      ReportException(std::current_exception());
      return false;
    }
  }

  // The loop's I/O context, for the platform's timers and sockets.
  asio::io_context& Context();

 private:
  struct Impl;
  void WaitForSignal();
  std::unique_ptr<Impl> impl_;
};

}  // namespace plat
