// The main window: the browser's main view filling it, its caption naming
// the content shown.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "app/window/browser.h"

namespace app {

class TMainWindow {
 public:
  static constexpr int kWidth = 798;
  static constexpr int kHeight = 614;

  // Shows the window, centred, captioned "Varnel Player". When the user
  // closes it, on_close runs and the window stays until destroyed.
  TMainWindow(TBrowser& browser, std::function<void()> on_close);
  ~TMainWindow();
  TMainWindow(const TMainWindow&) = delete;
  TMainWindow& operator=(const TMainWindow&) = delete;

  GtkWindow* Window() const { return GTK_WINDOW(window_); }
  // "Varnel Player - " + the title (in the system's code page): the project's, or the content's name.
  void ShowProjectTitle(const std::string& project_title);
  void Hide() { gtk_widget_hide(window_); }

 private:
  GtkWidget* window_ = nullptr;
  std::function<void()> on_close_;
};

}  // namespace app
