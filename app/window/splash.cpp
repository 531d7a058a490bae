#include "app/window/splash.h"

#include "app/window/artwork.h"
#include "content/debug_log.h"

namespace app {

TSplash::TSplash() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(window_);
  gtk_window_set_title(window, "Varnel Player");
  gtk_window_set_decorated(window, FALSE);
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_SPLASHSCREEN);
  gtk_window_set_skip_taskbar_hint(window, TRUE);
  gtk_window_set_position(window, GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(window, TRUE);
  GtkWidget* picture = gtk_drawing_area_new();
  gtk_widget_set_size_request(picture, kSplashWidth, kSplashHeight);
  g_signal_connect(picture, "draw", G_CALLBACK(+[](GtkWidget* area, cairo_t* cr, gpointer) {
                     DrawSplashPicture(cr, gtk_widget_get_allocated_width(area), gtk_widget_get_allocated_height(area));
                     return FALSE;
                   }),
                   nullptr);
  gtk_container_add(GTK_CONTAINER(window_), picture);
  gtk_widget_show_all(window_);
  // On screen before anything else starts.
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  // The debug log shows how long the splash stays up.
  content::LogMessage("splash shown");
  timer_ = g_timeout_add(
      kShownMs,
      [](gpointer self) -> gboolean {
        static_cast<TSplash*>(self)->timer_ = 0;
        static_cast<TSplash*>(self)->Close();
        return G_SOURCE_REMOVE;
      },
      this);
}

TSplash::~TSplash() {
  if (timer_ != 0) g_source_remove(timer_);
  Close();
}

void TSplash::Raise() {
  if (window_ != nullptr) gdk_window_raise(gtk_widget_get_window(window_));
}

void TSplash::Close() {
  if (window_ == nullptr) return;
  gtk_widget_destroy(window_);
  window_ = nullptr;
  content::LogMessage("splash closed");
}

}  // namespace app
