#include "platform/event_loop.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/signal_set.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <thread>

namespace plat {
namespace {

thread_local EventLoop* current_loop = nullptr;

void WriteExceptionToStderr(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Unhandled exception in an event handler: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "Unhandled exception in an event handler\n");
  }
}

}  // namespace

struct EventLoop::Impl {
  asio::io_context context{1};
  // Keeps Run going while there is nothing to do.
  asio::executor_work_guard<asio::io_context::executor_type> keep_running{context.get_executor()};
  std::thread::id owner = std::this_thread::get_id();
  bool running = false;
  std::atomic<bool> quit_requested{false};
  std::shared_ptr<asio::signal_set> signals;
  SignalHandler on_signal;
  ExceptionHook on_exception;
};

EventLoop::EventLoop() {
  if (current_loop != nullptr) throw std::logic_error("This thread already has an event loop");
  impl_ = std::make_unique<Impl>();
  current_loop = this;
}

EventLoop::~EventLoop() {
  SetSignalHandler(nullptr);
  impl_->keep_running.reset();
  if (current_loop == this) current_loop = nullptr;
}

EventLoop* EventLoop::Current() { return current_loop; }

void EventLoop::Run() {
  if (std::this_thread::get_id() != impl_->owner)
    throw std::logic_error("EventLoop::Run called on a thread that does not own the loop");
  if (impl_->running)
    throw std::logic_error("EventLoop::Run called inside an event handler");
  impl_->running = true;
  impl_->context.restart();
  if (!impl_->quit_requested.exchange(false)) {
    for (;;) {
      try {
        impl_->context.run();
        break;
      } catch (...) {
        // Our own callbacks are guarded; this catches whatever slipped past.
        ReportException(std::current_exception());
      }
    }
  }
  impl_->quit_requested = false;
  impl_->running = false;
}

void EventLoop::Quit() {
  impl_->quit_requested = true;
  impl_->context.stop();
}

void EventLoop::Post(Task task) {
  asio::post(impl_->context, [this, task = std::move(task)] { Guard(task); });
}

void EventLoop::WaitForSignal() {
  // The pending wait holds the set, so a wait that completed just before the
  // handler was removed still finds it; it then sees the set is no longer ours.
  std::shared_ptr<asio::signal_set> signals = impl_->signals;
  signals->async_wait([this, signals](const std::error_code& ec, int signal_number) {
    if (ec || signals != impl_->signals) return;
    SignalHandler call = impl_->on_signal;  // the handler may replace itself
    Guard([&] { call(signal_number); });
    if (signals == impl_->signals) WaitForSignal();
  });
}

void EventLoop::SetSignalHandler(SignalHandler handler) {
  impl_->on_signal = std::move(handler);
  if (!impl_->on_signal) {
    if (impl_->signals) {
      std::error_code ignored;
      impl_->signals->clear(ignored);  // gives the signals their default action back
      impl_->signals->cancel(ignored);
      impl_->signals.reset();
    }
    return;
  }
  if (impl_->signals) return;
  impl_->signals = std::make_shared<asio::signal_set>(impl_->context, SIGINT, SIGTERM, SIGHUP);
  WaitForSignal();
}

void EventLoop::SetExceptionHook(ExceptionHook hook) { impl_->on_exception = std::move(hook); }

void EventLoop::ReportException(std::exception_ptr error) noexcept {
  try {
    if (impl_->on_exception) {
      ExceptionHook hook = impl_->on_exception;
      hook(error);
      return;
    }
  } catch (...) {
    error = std::current_exception();  // the hook itself failed: report that
  }
  WriteExceptionToStderr(error);
}

asio::io_context& EventLoop::Context() { return impl_->context; }

}  // namespace plat
