#include "platform/cairo_canvas.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/code_page.h"

// cairo keeps the fonts it has looked up through fontconfig for the life of
// the process, a bounded cache; leak checking in sanitizer builds should not
// report it. Programs that draw get this through the canvas.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace plat {
namespace {

Rect Normalized(const Rect& r) {
  return Rect{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
              std::max(r.top, r.bottom)};
}

bool IsEmpty(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

void SetSourceColor(cairo_t* cr, Color c) {
  cairo_set_source_rgb(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0);
}

struct PointF {
  double x;
  double y;
};

// Cuts a closed polygon to the window [left, right] x [top, bottom], one side
// at a time (Sutherland-Hodgman). Inside the window the even-odd inside of the
// result is that of the polygon; outside it the polygon is not needed, and
// cairo's fixed-point coordinates could not hold it.
std::vector<PointF> CutToWindow(std::span<const Point> polygon, double left, double top, double right,
                                double bottom) {
  std::vector<PointF> points;
  for (const Point& p : polygon) points.push_back(PointF{static_cast<double>(p.x), static_cast<double>(p.y)});
  auto cut = [&](auto inside, auto crossing) {
    std::vector<PointF> kept;
    for (size_t i = 0; i < points.size(); ++i) {
      const PointF& a = points[i];
      const PointF& b = points[(i + 1) % points.size()];
      if (inside(a)) kept.push_back(a);
      if (inside(a) != inside(b)) kept.push_back(crossing(a, b));
    }
    points = std::move(kept);
  };
  auto at_x = [](double x) {
    return [x](const PointF& a, const PointF& b) { return PointF{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)}; };
  };
  auto at_y = [](double y) {
    return [y](const PointF& a, const PointF& b) { return PointF{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y}; };
  };
  cut([&](const PointF& p) { return p.x >= left; }, at_x(left));
  cut([&](const PointF& p) { return p.x <= right; }, at_x(right));
  cut([&](const PointF& p) { return p.y >= top; }, at_y(top));
  cut([&](const PointF& p) { return p.y <= bottom; }, at_y(bottom));
  return points;
}

void AddEllipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
  cairo_close_path(cr);
  cairo_restore(cr);
}

uint8_t Blend(uint8_t from, uint8_t to, int64_t step, int64_t steps) {
  if (steps == 0) return from;
  const int64_t delta = static_cast<int64_t>(to) - from;
  // Rounded to the nearest value, halves away from `from`.
  const int64_t offset = (2 * delta * step + (delta >= 0 ? steps : -steps)) / (2 * steps);
  return static_cast<uint8_t>(from + offset);
}

// Integer division rounding halves away from zero; b > 0.
__extension__ typedef __int128 Wide;
int64_t DivRound(Wide a, Wide b) {
  return static_cast<int64_t>(a >= 0 ? (2 * a + b) / (2 * b) : -((-2 * a + b) / (2 * b)));
}

// A line walked along its longer axis: step t lands at major0 + major_step * t
// there and at minor0 + minor_delta * t / steps, rounded, on the other axis.
struct LineWalk {
  int64_t steps;
  bool x_major;
  int64_t major0;
  int64_t minor0;
  int64_t major_step;
  int64_t minor_delta;
  int64_t major_limit;  // the bitmap's size along each axis
  int64_t minor_limit;
};

LineWalk WalkOf(Point from, Point to, int width, int height) {
  const int64_t dx = static_cast<int64_t>(to.x) - from.x;
  const int64_t dy = static_cast<int64_t>(to.y) - from.y;
  const bool x_major = std::abs(dx) >= std::abs(dy);
  return LineWalk{std::max(std::abs(dx), std::abs(dy)),
                  x_major,
                  x_major ? from.x : from.y,
                  x_major ? from.y : from.x,
                  (x_major ? dx : dy) > 0 ? 1 : -1,
                  x_major ? dy : dx,
                  x_major ? width : height,
                  x_major ? height : width};
}

// The first and last step that can land on the bitmap (first > last: none);
// steps > 0.
std::pair<int64_t, int64_t> StepsOnBitmap(const LineWalk& w) {
  int64_t first = 0;
  int64_t last = w.steps - 1;
  // Steps whose major coordinate lies on the bitmap.
  if (w.major_step > 0) {
    first = std::max(first, -w.major0);
    last = std::min(last, w.major_limit - 1 - w.major0);
  } else {
    first = std::max(first, w.major0 - (w.major_limit - 1));
    last = std::min(last, w.major0);
  }
  // Steps whose minor coordinate may lie on the bitmap, with a step to spare.
  if (w.minor_delta != 0) {
    const double t_low = static_cast<double>(-w.minor0) * w.steps / w.minor_delta;
    const double t_high = static_cast<double>(w.minor_limit - w.minor0) * w.steps / w.minor_delta;
    const double lo = std::floor(std::min(t_low, t_high)) - 1;
    const double hi = std::ceil(std::max(t_low, t_high)) + 1;
    if (lo > static_cast<double>(first)) first = static_cast<int64_t>(lo);
    if (hi < static_cast<double>(last)) last = static_cast<int64_t>(hi);
  }
  return {first, last};
}

}  // namespace

struct CairoCanvas::Impl {
  int width = 0;
  int height = 0;
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  // The clip as a pixel mask, or null for none; see SetClipMask.
  cairo_surface_t* clip_mask = nullptr;
  Color pen{0, 0, 0};
  Color brush{255, 255, 255};
  BackgroundMode background = BackgroundMode::kOpaque;
  Font font;
  Point position;

  ~Impl() {
    if (clip_mask) cairo_surface_destroy(clip_mask);
    if (cr) cairo_destroy(cr);
    if (surface) cairo_surface_destroy(surface);
  }

  // Cuts a rectangle to a pixel beyond the bitmap on each side: cairo's
  // fixed-point coordinates cannot hold the whole int range.
  Rect OnBitmap(const Rect& r) const {
    return Rect{std::clamp(r.left, -1, width + 1), std::clamp(r.top, -1, height + 1),
                std::clamp(r.right, -1, width + 1), std::clamp(r.bottom, -1, height + 1)};
  }

  // Cuts a shape's box to a reach cairo can still draw.
  static Rect WithinReach(const Rect& r) {
    constexpr int kReach = 1 << 20;
    return Rect{std::clamp(r.left, -kReach, kReach), std::clamp(r.top, -kReach, kReach),
                std::clamp(r.right, -kReach, kReach), std::clamp(r.bottom, -kReach, kReach)};
  }

  void AddRect(const Rect& r, cairo_t* target = nullptr) const {
    const Rect c = OnBitmap(r);
    if (IsEmpty(c)) return;
    cairo_rectangle(target ? target : cr, c.left, c.top, c.right - c.left, c.bottom - c.top);
  }

  void FillRect(const Rect& r, Color color) {
    if (IsEmpty(r)) return;
    AddRect(r);
    SetSourceColor(cr, color);
    cairo_fill(cr);
  }

  // Selects the font into the context; its size is the em in pixels.
  void ApplyFont() {
    cairo_select_font_face(cr, font.family.c_str(), CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, FontEmPixels(font.size_points));
  }

  // Whole-pixel ascent and descent, as the Windows text metrics report them.
  std::pair<int, int> AscentDescent() {
    cairo_font_extents_t extents;
    cairo_font_extents(cr, &extents);
    return {static_cast<int>(std::lround(extents.ascent)), static_cast<int>(std::lround(extents.descent))};
  }

  int AdvanceWidth(const std::string& utf8) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, utf8.c_str(), &extents);
    return static_cast<int>(std::lround(extents.x_advance));
  }

  // The surface holds each pixel as a native-endian 32-bit 0x00RRGGBB.
  Color StoredPixel(int x, int y) const {
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + static_cast<size_t>(y) * cairo_image_surface_get_stride(surface);
    uint32_t pixel;
    std::memcpy(&pixel, row + static_cast<size_t>(x) * 4, sizeof pixel);
    return Color{static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8), static_cast<uint8_t>(pixel)};
  }

  void DrawLinePixels(Point from, Point to);

  // Replaces the clip by the pixels whose centres the path encloses (even-odd).
  template <typename AddPath>
  void SetClipMask(AddPath add_path) {
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* m = cairo_create(mask);
    cairo_set_antialias(m, CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(m, CAIRO_FILL_RULE_EVEN_ODD);
    add_path(m);
    cairo_fill(m);
    const cairo_status_t status = cairo_status(m);
    cairo_destroy(m);
    cairo_surface_flush(mask);
    if (status != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(mask);
      throw std::runtime_error(std::string("cannot set clip: ") + cairo_status_to_string(status));
    }
    RemoveClipMask();
    clip_mask = mask;
  }

  void RemoveClipMask() {
    if (clip_mask) cairo_surface_destroy(clip_mask);
    clip_mask = nullptr;
  }
};

// Brackets one drawing call. Under a clip the call draws into a group that is
// then painted through the clip mask. (cairo's own path clip loses pixels of
// one-pixel-wide boxes, which lines and gradients are made of, when the clip
// is not antialiased; a mask has no such case.)
class ClippedDrawing {
 public:
  explicit ClippedDrawing(CairoCanvas::Impl& impl) : impl_(impl) {
    if (impl_.clip_mask) cairo_push_group(impl_.cr);
  }
  ~ClippedDrawing() {
    if (!impl_.clip_mask) return;
    cairo_pop_group_to_source(impl_.cr);
    cairo_mask_surface(impl_.cr, impl_.clip_mask, 0, 0);
  }
  ClippedDrawing(const ClippedDrawing&) = delete;
  ClippedDrawing& operator=(const ClippedDrawing&) = delete;

 private:
  CairoCanvas::Impl& impl_;
};

// Steps along the longer axis one pixel at a time, the other coordinate
// rounded to the nearest pixel, and stops before `to`. Only the steps that
// can land on the bitmap are visited, so a line of any length costs at most
// the bitmap's size.
void CairoCanvas::Impl::DrawLinePixels(Point from, Point to) {
  const LineWalk walk = WalkOf(from, to, width, height);
  if (walk.steps == 0) return;
  const auto [first, last] = StepsOnBitmap(walk);
  if (first > last) return;
  const auto [steps, x_major, major0, minor0, major_step, minor_delta, major_limit, minor_limit] = walk;

  // Pixels that follow each other along the major axis at the same minor
  // coordinate make one run, added as one box: a path of a few boxes instead
  // of one per pixel.
  bool any = false;
  Rect run{};
  bool in_run = false;
  for (int64_t t = first; t <= last; ++t) {
    const int64_t major = major0 + major_step * t;
    const int64_t minor = minor0 + DivRound(static_cast<Wide>(minor_delta) * t, steps);
    if (major < 0 || major >= major_limit || minor < 0 || minor >= minor_limit) continue;
    const int x = static_cast<int>(x_major ? major : minor);
    const int y = static_cast<int>(x_major ? minor : major);
    const Rect pixel{x, y, x + 1, y + 1};
    const bool extends = in_run && (x_major ? (y == run.top && (x == run.right || x + 1 == run.left))
                                            : (x == run.left && (y == run.bottom || y + 1 == run.top)));
    if (extends) {
      run = Rect{std::min(run.left, x), std::min(run.top, y), std::max(run.right, x + 1), std::max(run.bottom, y + 1)};
    } else {
      if (in_run) AddRect(run);
      run = pixel;
      in_run = true;
    }
    any = true;
  }
  if (in_run) AddRect(run);
  if (!any) return;
  SetSourceColor(cr, pen);
  cairo_fill(cr);
}

CairoCanvas::CairoCanvas(int width, int height) : impl_(std::make_unique<Impl>()) {
  if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide)
    throw std::invalid_argument("bitmap size " + std::to_string(width) + " x " + std::to_string(height) +
                                " out of range");
  impl_->width = width;
  impl_->height = height;
  impl_->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(impl_->surface) != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error(std::string("cannot create bitmap: ") +
                             cairo_status_to_string(cairo_surface_status(impl_->surface)));
  impl_->cr = cairo_create(impl_->surface);
  if (cairo_status(impl_->cr) != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error(std::string("cannot draw on bitmap: ") + cairo_status_to_string(cairo_status(impl_->cr)));

  cairo_t* cr = impl_->cr;
  // Shapes and clips cover whole pixels only; text keeps smooth edges, and its
  // advance widths are whole pixels so extents add up as they do on Windows.
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(cr, 1.0);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
  impl_->ApplyFont();

  impl_->FillRect(Rect{0, 0, width, height}, Color{255, 255, 255});
}

CairoCanvas::~CairoCanvas() = default;

int CairoCanvas::Width() const { return impl_->width; }
int CairoCanvas::Height() const { return impl_->height; }
void CairoCanvas::SetPenColor(Color color) { impl_->pen = color; }
void CairoCanvas::SetBrushColor(Color color) { impl_->brush = color; }
void CairoCanvas::SetBackgroundMode(BackgroundMode mode) { impl_->background = mode; }

void CairoCanvas::SetFont(const Font& font) {
  impl_->font = font;
  impl_->ApplyFont();
}

const Font& CairoCanvas::GetFont() const { return impl_->font; }

TextSize CairoCanvas::TextExtent(std::string_view text) {
  const auto [ascent, descent] = impl_->AscentDescent();
  return TextSize{impl_->AdvanceWidth(AnsiToUtf8(text)), ascent + descent};
}

void CairoCanvas::TextOut(int x, int y, std::string_view text) {
  cairo_t* cr = impl_->cr;
  const std::string utf8 = AnsiToUtf8(text);
  const auto [ascent, descent] = impl_->AscentDescent();
  const int width = impl_->AdvanceWidth(utf8);
  // Turned any way, the cell stays within width + height of its corner.
  const int64_t reach = static_cast<int64_t>(width) + ascent + descent;
  if (x + reach < 0 || y + reach < 0 || x - reach > impl_->width || y - reach > impl_->height) return;
  ClippedDrawing drawing(*impl_);
  cairo_save(cr);
  // Counter-clockwise on the screen is a negative angle with y pointing down.
  cairo_translate(cr, x, y);
  cairo_rotate(cr, -impl_->font.escapement_tenths / 10.0 * std::numbers::pi / 180.0);
  if (impl_->background == BackgroundMode::kOpaque) {
    SetSourceColor(cr, impl_->brush);
    cairo_rectangle(cr, 0, 0, width, ascent + descent);
    cairo_fill(cr);
  }
  SetSourceColor(cr, impl_->font.color);
  cairo_move_to(cr, 0, ascent);
  cairo_show_text(cr, utf8.c_str());
  cairo_new_path(cr);
  cairo_restore(cr);
}

void CairoCanvas::Rectangle(const Rect& rect) {
  const Rect r = Normalized(rect);
  if (IsEmpty(r)) return;
  ClippedDrawing drawing(*impl_);
  impl_->FillRect(Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, impl_->brush);
  // The outline is the outermost ring of pixels inside the rectangle.
  const int64_t width = static_cast<int64_t>(r.right) - r.left;
  const int64_t height = static_cast<int64_t>(r.bottom) - r.top;
  impl_->AddRect(Rect{r.left, r.top, r.right, r.top + 1});
  if (height > 1) impl_->AddRect(Rect{r.left, r.bottom - 1, r.right, r.bottom});
  if (height > 2) {
    impl_->AddRect(Rect{r.left, r.top + 1, r.left + 1, r.bottom - 1});
    if (width > 1) impl_->AddRect(Rect{r.right - 1, r.top + 1, r.right, r.bottom - 1});
  }
  SetSourceColor(impl_->cr, impl_->pen);
  cairo_fill(impl_->cr);
}

void CairoCanvas::Ellipse(const Rect& rect) {
  const Rect r = impl_->WithinReach(Normalized(rect));
  if (IsEmpty(r) || r.right < 0 || r.bottom < 0 || r.left > impl_->width || r.top > impl_->height) return;
  ClippedDrawing drawing(*impl_);
  cairo_t* cr = impl_->cr;
  const double cx = (static_cast<double>(r.left) + r.right) / 2;
  const double cy = (static_cast<double>(r.top) + r.bottom) / 2;
  const double rx = (static_cast<double>(r.right) - r.left) / 2;
  const double ry = (static_cast<double>(r.bottom) - r.top) / 2;
  if (rx <= 1 || ry <= 1) {
    // Too thin to have an inside: all outline.
    AddEllipse(cr, cx, cy, rx, ry);
    SetSourceColor(cr, impl_->pen);
    cairo_fill(cr);
    return;
  }
  AddEllipse(cr, cx, cy, rx, ry);
  SetSourceColor(cr, impl_->brush);
  cairo_fill(cr);
  // A one-pixel ring along the inside of the edge.
  AddEllipse(cr, cx, cy, rx - 0.5, ry - 0.5);
  SetSourceColor(cr, impl_->pen);
  cairo_stroke(cr);
}

void CairoCanvas::MoveTo(int x, int y) { impl_->position = Point{x, y}; }

void CairoCanvas::LineTo(int x, int y) {
  {
    ClippedDrawing drawing(*impl_);
    impl_->DrawLinePixels(impl_->position, Point{x, y});
  }
  impl_->position = Point{x, y};
}

void CairoCanvas::GradientFillHorizontal(const Rect& rect, Color left_color, Color right_color) {
  const Rect r = Normalized(rect);
  if (IsEmpty(r)) return;
  ClippedDrawing drawing(*impl_);
  // Every column one exact solid colour: a row of them, repeated downwards
  // pixel for pixel, filled in one go. Only the columns on the bitmap count.
  const int64_t steps = static_cast<int64_t>(r.right) - r.left - 1;
  const int first = std::max(r.left, 0);
  const int last = std::min(r.right, impl_->width) - 1;
  if (first > last) return;
  cairo_surface_t* row = cairo_image_surface_create(CAIRO_FORMAT_RGB24, last - first + 1, 1);
  unsigned char* pixels = cairo_image_surface_get_data(row);
  if (pixels == nullptr) {
    cairo_surface_destroy(row);
    throw std::runtime_error("cannot draw a gradient");
  }
  for (int x = first; x <= last; ++x) {
    const int64_t step = static_cast<int64_t>(x) - r.left;
    const uint32_t pixel = static_cast<uint32_t>(Blend(left_color.red, right_color.red, step, steps)) << 16 |
                           static_cast<uint32_t>(Blend(left_color.green, right_color.green, step, steps)) << 8 |
                           Blend(left_color.blue, right_color.blue, step, steps);
    std::memcpy(pixels + static_cast<size_t>(x - first) * 4, &pixel, sizeof pixel);
  }
  cairo_surface_mark_dirty(row);
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(row);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  cairo_matrix_t placement;
  cairo_matrix_init_translate(&placement, -first, 0);
  cairo_pattern_set_matrix(pattern, &placement);
  cairo_set_source(impl_->cr, pattern);
  impl_->AddRect(Rect{first, r.top, last + 1, r.bottom});
  cairo_fill(impl_->cr);
  cairo_pattern_destroy(pattern);
  cairo_surface_destroy(row);
}

void CairoCanvas::SetClipRect(const Rect& rect) {
  const Rect r = Normalized(rect);
  impl_->SetClipMask([&](cairo_t* m) { impl_->AddRect(r, m); });
}

void CairoCanvas::SetClipPolygon(std::span<const Point> polygon) {
  // Fewer than three points leave the path empty, which encloses nothing.
  const std::vector<PointF> outline =
      polygon.size() >= 3 ? CutToWindow(polygon, -1.0, -1.0, impl_->width + 1.0, impl_->height + 1.0)
                          : std::vector<PointF>{};
  impl_->SetClipMask([&](cairo_t* m) {
    if (outline.empty()) return;
    cairo_move_to(m, outline[0].x, outline[0].y);
    for (size_t i = 1; i < outline.size(); ++i) cairo_line_to(m, outline[i].x, outline[i].y);
    cairo_close_path(m);
  });
}

void CairoCanvas::RemoveClip() { impl_->RemoveClipMask(); }

Color CairoCanvas::PixelAt(int x, int y) const {
  if (x < 0 || x >= impl_->width || y < 0 || y >= impl_->height)
    throw std::out_of_range("pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") outside the bitmap");
  cairo_surface_flush(impl_->surface);
  return impl_->StoredPixel(x, y);
}

RgbImage CairoCanvas::ToRgbImage() const {
  cairo_surface_flush(impl_->surface);
  RgbImage image;
  image.width = impl_->width;
  image.height = impl_->height;
  image.pixels.resize(static_cast<size_t>(image.width) * image.height * 3);
  // Row by row from the surface's own memory: a graph is drawn on every page request.
  const unsigned char* data = cairo_image_surface_get_data(impl_->surface);
  const auto stride = static_cast<size_t>(cairo_image_surface_get_stride(impl_->surface));
  uint8_t* out = image.pixels.data();
  for (int y = 0; y < image.height; ++y) {
    const unsigned char* row = data + static_cast<size_t>(y) * stride;
    for (int x = 0; x < image.width; ++x, out += 3) {
      uint32_t pixel;
      std::memcpy(&pixel, row + static_cast<size_t>(x) * 4, sizeof pixel);
      out[0] = static_cast<uint8_t>(pixel >> 16);
      out[1] = static_cast<uint8_t>(pixel >> 8);
      out[2] = static_cast<uint8_t>(pixel);
    }
  }
  return image;
}

}  // namespace plat
