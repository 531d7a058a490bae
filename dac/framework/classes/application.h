// The application's exception hook: where errors go that no caller can take
// (a failing handler inside the framework, a close during destruction) and
// where design-time errors are shown. One process-wide handler; by default
// it writes the message to standard error and ignores EAbort.
#pragma once

#include <exception>
#include <functional>

namespace dac {

class TObject;

using TExceptionHandler = std::function<void(TObject* sender, const std::exception& error)>;

// Installs a handler and returns the previous one; an empty handler restores
// the default.
TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler);

// Hands the error to the handler. Never throws: a handler that throws is
// reported by the default writer instead.
void ApplicationHandleException(TObject* sender, const std::exception& error);

// Runs one step (of a destruction, say) whose error must not stop the
// steps after it: the error goes to the handler.
template <typename Action>
void ReportingErrors(TObject* sender, Action action) {
  try {
    action();
  } catch (const std::exception& error) {
    ApplicationHandleException(sender, error);
  }
}

// The design-time display of an error: the same handler, without a sender.
void ApplicationShowException(const std::exception& error);

}  // namespace dac
