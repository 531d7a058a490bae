// The player's own pictures, drawn at start-up: the splash picture and the
// application icon, a rope tied in a loop on the player's colours.
#pragma once

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

namespace app {

inline constexpr int kSplashWidth = 499;
inline constexpr int kSplashHeight = 369;

// Draws the splash picture over width x height.
void DrawSplashPicture(cairo_t* cr, int width, int height);

// The icon, size x size; the caller owns the reference.
GdkPixbuf* NewPlayerIcon(int size);

}  // namespace app
