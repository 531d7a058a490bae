// The splash window: the player's picture, borderless and centred, shown at
// once at start-up and closed three seconds later.
#pragma once

#include <gtk/gtk.h>

namespace app {

class TSplash {
 public:
  static constexpr unsigned kShownMs = 3000;

  // Shows the splash and paints it before returning.
  TSplash();
  // Closes it, if the timer has not yet.
  ~TSplash();
  TSplash(const TSplash&) = delete;
  TSplash& operator=(const TSplash&) = delete;

  // Puts the splash back over windows shown after it.
  void Raise();

 private:
  void Close();

  GtkWidget* window_ = nullptr;
  unsigned timer_ = 0;
};

}  // namespace app
