// The GTK side runs on the main thread only; other threads hand it work here.
#pragma once

#include <functional>

namespace app {

// Queues the task to run on the main thread's GLib loop, after the work
// already queued. Any thread.
void PostToMainThread(std::function<void()> task);

// Calls the task, writing anything it throws to standard error: an
// exception must never unwind through GTK's C frames.
void CallGuarded(const std::function<void()>& task) noexcept;

}  // namespace app
