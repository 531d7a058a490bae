#include "app/window/main_window.h"

#include "app/terminal.h"
#include "app/window/main_thread.h"

namespace app {

TMainWindow::TMainWindow(TBrowser& browser, std::function<void()> on_close) : on_close_(std::move(on_close)) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(Window(), "Varnel Player");
  gtk_window_set_default_size(Window(), kWidth, kHeight);
  gtk_window_set_position(Window(), GTK_WIN_POS_CENTER);
  gtk_container_add(GTK_CONTAINER(window_), browser.MainView());
  g_signal_connect(window_, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) {
                     CallGuarded(static_cast<TMainWindow*>(self)->on_close_);
                     return TRUE;
                   }),
                   this);
  gtk_widget_show_all(window_);
}

TMainWindow::~TMainWindow() { gtk_widget_destroy(window_); }

void TMainWindow::ShowProjectTitle(const std::string& project_title) {
  gtk_window_set_title(Window(), ("Varnel Player - " + TerminalText(project_title)).c_str());
}

}  // namespace app
