#include "app/window/artwork.h"

#include <gdk/gdk.h>

#include <cmath>

namespace app {
namespace {

struct Colour {
  double r, g, b;
};
// The sample course's heading colour, and a rope's hemp.
constexpr Colour kDeep{0.25, 0.23, 0.36};
constexpr Colour kDeeper{0.13, 0.12, 0.20};
constexpr Colour kRope{0.86, 0.70, 0.40};
constexpr Colour kRopeShade{0.45, 0.33, 0.15};

void SetColour(cairo_t* cr, const Colour& c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

void FillBackground(cairo_t* cr, double height) {
  cairo_pattern_t* shade = cairo_pattern_create_linear(0, 0, 0, height);
  cairo_pattern_add_color_stop_rgb(shade, 0, kDeep.r, kDeep.g, kDeep.b);
  cairo_pattern_add_color_stop_rgb(shade, 1, kDeeper.r, kDeeper.g, kDeeper.b);
  cairo_set_source(cr, shade);
  cairo_paint(cr);
  cairo_pattern_destroy(shade);
}

// A rope that comes in from the lower left, turns a loop around (cx, cy) of
// radius r and leaves to the lower right, drawn as a dark core under a light
// strand with a twist of short strokes along it.
void DrawRopeLoop(cairo_t* cr, double cx, double cy, double r, double thickness) {
  auto path = [&] {
    cairo_new_path(cr);
    cairo_move_to(cr, cx - 2.4 * r, cy + 1.6 * r);
    cairo_curve_to(cr, cx - 1.2 * r, cy + 1.5 * r, cx - 1.4 * r, cy - 0.2 * r, cx - r, cy - 0.6 * r);
    cairo_curve_to(cr, cx - 0.5 * r, cy - 1.3 * r, cx + 0.9 * r, cy - 1.2 * r, cx + r, cy - 0.1 * r);
    cairo_curve_to(cr, cx + 1.1 * r, cy + 0.9 * r, cx - 0.4 * r, cy + 1.2 * r, cx - 0.6 * r, cy + 0.3 * r);
    cairo_curve_to(cr, cx - 0.7 * r, cy - 0.3 * r, cx + 1.4 * r, cy + 1.6 * r, cx + 2.4 * r, cy + 1.6 * r);
  };
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  path();
  SetColour(cr, kRopeShade);
  cairo_set_line_width(cr, thickness);
  cairo_stroke(cr);
  path();
  SetColour(cr, kRope);
  cairo_set_line_width(cr, thickness * 0.7);
  cairo_stroke(cr);
  path();
  const double lay[] = {thickness * 0.25, thickness * 0.55};
  cairo_set_dash(cr, lay, 2, 0);
  SetColour(cr, kRopeShade);
  cairo_set_line_width(cr, thickness * 0.3);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
}

void ShowCentredText(cairo_t* cr, const char* text, double centre_x, double baseline, double size, bool bold) {
  cairo_select_font_face(cr, "Arial", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text, &extents);
  cairo_move_to(cr, centre_x - extents.width / 2 - extents.x_bearing, baseline);
  cairo_show_text(cr, text);
}

}  // namespace

void DrawSplashPicture(cairo_t* cr, int width, int height) {
  const double w = width, h = height;
  FillBackground(cr, h);
  DrawRopeLoop(cr, w / 2, h * 0.33, h * 0.14, h * 0.05);
  cairo_set_source_rgb(cr, 1, 1, 1);
  ShowCentredText(cr, "Varnel Player", w / 2, h * 0.72, h * 0.12, true);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.75);
  ShowCentredText(cr, "Courses, tests and results on your own computer", w / 2, h * 0.82, h * 0.045, false);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
  ShowCentredText(cr, "Starting\xE2\x80\xA6", w / 2, h * 0.94, h * 0.035, false);
}

GdkPixbuf* NewPlayerIcon(int size) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  const double s = size;
  // A rounded square, then the loop filling it.
  const double radius = s * 0.2;
  cairo_new_sub_path(cr);
  cairo_arc(cr, s - radius, radius, radius, -M_PI / 2, 0);
  cairo_arc(cr, s - radius, s - radius, radius, 0, M_PI / 2);
  cairo_arc(cr, radius, s - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cr, radius, radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
  cairo_clip(cr);
  FillBackground(cr, s);
  DrawRopeLoop(cr, s / 2, s * 0.4, s * 0.2, s * 0.09);
  cairo_destroy(cr);
  GdkPixbuf* icon = gdk_pixbuf_get_from_surface(surface, 0, 0, size, size);
  cairo_surface_destroy(surface);
  return icon;
}

}  // namespace app
