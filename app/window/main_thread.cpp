#include "app/window/main_thread.h"

#include <glib.h>

#include <exception>
#include <iostream>
#include <memory>

namespace app {

void CallGuarded(const std::function<void()>& task) noexcept {
  try {
    task();
  } catch (const std::exception& e) {
    std::cerr << "Unhandled exception in the window: " << e.what() << std::endl;
  } catch (...) {
    std::cerr << "Unhandled exception in the window" << std::endl;
  }
}

void PostToMainThread(std::function<void()> task) {
  auto* held = new std::function<void()>(std::move(task));
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        CallGuarded(*static_cast<std::function<void()>*>(data));
        return G_SOURCE_REMOVE;
      },
      held, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

}  // namespace app
