#include "dac/framework/classes/application.h"

#include <cstdio>
#include <mutex>

#include "dac/framework/classes/database_error.h"

namespace dac {

namespace {

std::mutex& HandlerMutex() {
  static std::mutex mutex;
  return mutex;
}

TExceptionHandler& Handler() {
  static TExceptionHandler handler;
  return handler;
}

void WriteToStandardError(const std::exception& error) {
  if (dynamic_cast<const EAbort*>(&error)) return;
  std::fprintf(stderr, "%s\n", error.what());
}

}  // namespace

TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  TExceptionHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

void ApplicationHandleException(TObject* sender, const std::exception& error) {
  TExceptionHandler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    handler = Handler();
  }
  if (!handler) {
    WriteToStandardError(error);
    return;
  }
  try {
    handler(sender, error);
  } catch (const std::exception& failure) {
    WriteToStandardError(failure);
  } catch (...) {
    std::fprintf(stderr, "The exception handler failed\n");
  }
}

void ApplicationShowException(const std::exception& error) { ApplicationHandleException(nullptr, error); }

}  // namespace dac
