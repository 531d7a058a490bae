#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/eventually.h"

namespace plat {
namespace {

using plat::testing::Eventually;

TEST(EventLoopTest, PostFromAnotherThreadWakesTheLoop) {
  EventLoop loop;
  std::thread::id ran_on;
  // Another thread's task comes once the loop has run one of its own, and
  // idles or is about to.
  std::atomic<bool> running = false;
  loop.Post([&] { running = true; });
  std::thread poster([&] {
    EXPECT_TRUE(Eventually([&] { return running.load(); }));
    loop.Post([&] {
      ran_on = std::this_thread::get_id();
      loop.Quit();
    });
  });
  loop.Run();
  poster.join();
  EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST(EventLoopTest, TasksRunInOrderAndQuitBeforeRunEndsTheNextRun) {
  EventLoop loop;
  loop.Quit();
  std::vector<int> order;
  loop.Post([&] { order.push_back(1); });
  loop.Run();  // returns at once
  EXPECT_TRUE(order.empty());
  loop.Post([&] { order.push_back(2); });
  loop.Post([&] { loop.Quit(); });
  loop.Run();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(EventLoopTest, QuitFromAnotherThreadStopsAnIdleLoop) {
  EventLoop loop;
  std::atomic<bool> running = false;
  loop.Post([&] { running = true; });
  std::thread quitter([&] {
    EXPECT_TRUE(Eventually([&] { return running.load(); }));
    loop.Quit();
  });
  loop.Run();
  quitter.join();
}

TEST(EventLoopTest, OneLoopPerThreadAndNoNestedRun) {
  EventLoop loop;
  EXPECT_EQ(EventLoop::Current(), &loop);
  EXPECT_THROW(EventLoop second, std::logic_error);

  bool nested_refused = false;
  loop.Post([&] {
    try {
      loop.Run();
    } catch (const std::logic_error&) {
      nested_refused = true;
    }
    loop.Quit();
  });
  loop.Run();
  EXPECT_TRUE(nested_refused);

  std::thread other([&] {
    EXPECT_EQ(EventLoop::Current(), nullptr);
    EXPECT_THROW(loop.Run(), std::logic_error);
  });
  other.join();
}

TEST(EventLoopTest, ThrowingTaskReachesTheHookAndTheLoopGoesOn) {
  EventLoop loop;
  std::vector<std::string> caught;
  loop.SetExceptionHook([&](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      caught.push_back(e.what());
    } catch (int) {
      caught.push_back("int");
    }
  });
  bool after = false;
  loop.Post([] { throw std::runtime_error("boom"); });
  loop.Post([] { throw 7; });
  loop.Post([&] {
    after = true;
    loop.Quit();
  });
  loop.Run();
  EXPECT_EQ(caught, (std::vector<std::string>{"boom", "int"}));
  EXPECT_TRUE(after);
}

TEST(EventLoopTest, ThrowingHookIsContained) {
  EventLoop loop;
  loop.SetExceptionHook([](std::exception_ptr) { throw std::runtime_error("hook failed"); });
  bool after = false;
  loop.Post([] { throw std::runtime_error("boom"); });
  loop.Post([&] {
    after = true;
    loop.Quit();
  });
  loop.Run();
  EXPECT_TRUE(after);
}

TEST(EventLoopTest, TerminationSignalsRunOnTheLoopThread) {
  EventLoop loop;
  std::vector<int> received;
  std::vector<std::thread::id> threads;
  std::atomic<size_t> handled = 0;
  loop.SetSignalHandler([&](int signal_number) {
    received.push_back(signal_number);
    threads.push_back(std::this_thread::get_id());
    ++handled;
    if (received.size() == 3) loop.Quit();
  });
  // Sent from another thread, so the loop thread learns of them only through
  // the loop; each once the one before was handled, since signals pending
  // together need not come in the order they were sent.
  std::thread sender([&] {
    size_t sent = 0;
    for (int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
      ::kill(::getpid(), signal_number);
      ++sent;
      EXPECT_TRUE(Eventually([&] { return handled >= sent; }));
    }
  });
  loop.Run();
  sender.join();
  EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
  for (const auto& id : threads) EXPECT_EQ(id, std::this_thread::get_id());

  // Given back: the default action is in place again.
  loop.SetSignalHandler(nullptr);
  struct sigaction action {};
  ::sigaction(SIGTERM, nullptr, &action);
  EXPECT_EQ(action.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace plat
