#include "server/stats/stats_graphs.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "platform/cairo_canvas.h"
#include "platform/format_settings.h"
#include "platform/jpeg_encoder.h"
#include "server/stats/month_steps.h"

namespace server {
namespace {

using plat::Color;
using plat::Point;
using plat::Rect;

constexpr Color kWhite{255, 255, 255};
constexpr Color kLabelBlue{0, 0, 255};
constexpr Color kFrameGrey{100, 100, 100};
constexpr Color kGridGrey{200, 200, 200};
constexpr Color kScaleGrey{180, 180, 180};
constexpr Color kTickGrey{150, 150, 150};
constexpr Color kBarGrey{90, 90, 90};
constexpr Color kPlotFillLeft{220, 220, 240};
constexpr Color kPlotFillRight{240, 240, 240};
constexpr Color kLowGradeRed{255, 20, 20};
constexpr Color kHighGradeGreen{20, 255, 20};
constexpr Color kPointRed{200, 100, 100};
constexpr Color kTrendBlue{0, 0, 240};
constexpr Color kBinLabelRed{220, 100, 100};
constexpr Color kCurveLeft{255, 0, 0};
constexpr Color kCurveRight{0, 255, 0};

// The plot's right edge; the grid runs a little beyond it.
constexpr int kPlotRight = 230;
constexpr int kGridRight = 234;
// Ten grid lines, 12 pixels apart: one score point is 1.2 pixels.
constexpr int kGridStep = 12;
constexpr double kPixelsPerPoint = 1.2;

// Far beyond the bitmap, yet safe to compute with: absurd figures must not
// overflow the pixel arithmetic.
int ClampPixel(double value) {
  if (!(value > -1e6)) return -1000000;
  if (value > 1e6) return 1000000;
  return static_cast<int>(value);  // toward zero
}

int ScoreY(int base, int32_t score) { return ClampPixel(base - score * kPixelsPerPoint); }

void SetFontColor(plat::Canvas& canvas, Color color) {
  plat::Font font = canvas.GetFont();
  font.color = color;
  canvas.SetFont(font);
}

void Line(plat::Canvas& canvas, int x1, int y1, int x2, int y2) {
  canvas.MoveTo(x1, y1);
  canvas.LineTo(x2, y2);
}

// White bitmap, small bold blue labels.
void CommonStart(plat::Canvas& canvas) {
  canvas.SetBackgroundMode(plat::BackgroundMode::kTransparent);
  canvas.SetPenColor(kWhite);
  canvas.SetBrushColor(kWhite);
  canvas.Rectangle(Rect{0, 0, kGraphWidth, kGraphHeight});
  plat::Font font;
  font.family = "Arial";
  font.size_points = 7;
  font.color = kLabelBlue;
  font.bold = true;
  canvas.SetFont(font);
}

// The plot area, filled light blue-grey to light grey and framed on three sides.
void PlotArea(plat::Canvas& canvas, int left, int base) {
  canvas.SetBackgroundMode(plat::BackgroundMode::kTransparent);
  canvas.GradientFillHorizontal(Rect{left, 0, kPlotRight, base}, kPlotFillLeft, kPlotFillRight);
  canvas.SetPenColor(kFrameGrey);
  canvas.MoveTo(left, 0);
  canvas.LineTo(left, base);
  canvas.LineTo(kPlotRight, base);
  canvas.LineTo(kPlotRight, 0);
}

// Grid lines from grid_left with their labels 10..100 at label_x.
void Grid(plat::Canvas& canvas, int base, int grid_left, int label_x) {
  canvas.SetPenColor(kGridGrey);
  SetFontColor(canvas, kScaleGrey);
  for (int i = 1; i <= 10; ++i) {
    const int y = base - kGridStep * i;
    Line(canvas, grid_left, y, kGridRight, y);
    canvas.TextOut(label_x, y, std::to_string(10 * i));
  }
}

Point Mid(Point a, Point b) { return Point{(a.x + b.x) / 2, (a.y + b.y) / 2}; }

// A line through two twice-smoothed points of the four, clipped to the plot.
void TrendLine(plat::Canvas& canvas, std::array<Point, 4> p, int left, int base) {
  p[0] = Mid(p[0], p[1]);
  p[1] = Mid(p[1], p[2]);
  p[2] = Mid(p[2], p[3]);
  p[0] = Mid(p[0], p[1]);
  p[1] = Mid(p[1], p[2]);
  if (p[0].x == p[1].x) return;  // no slope to draw
  const double k = static_cast<double>(p[0].y - p[1].y) / (p[0].x - p[1].x);
  const double c = p[0].y - p[0].x * k;
  canvas.SetPenColor(kTrendBlue);
  canvas.SetClipRect(Rect{left, 0, kPlotRight, base});
  Line(canvas, 0, ClampPixel(c), kGraphWidth, ClampPixel(k * kGraphWidth + c));
  canvas.RemoveClip();
}

std::string MonthName(plat::DateTime date) {
  const int month = plat::DecodeDate(date).month;
  return plat::ProcessFormatSettings().long_month_names.at(static_cast<size_t>(month - 1));
}

template <typename Draw>
std::string GraphJpeg(Draw draw) {
  plat::CairoCanvas canvas(kGraphWidth, kGraphHeight);
  draw(canvas);
  return plat::EncodeJpeg(canvas.ToRgbImage(), kGraphJpegQuality);
}

}  // namespace

void AngleTextOut(plat::Canvas& canvas, int angle_degrees, int x, int y, std::string_view text) {
  const plat::Font previous = canvas.GetFont();
  plat::Font turned = previous;
  turned.escapement_tenths = angle_degrees * 10;
  canvas.SetFont(turned);
  canvas.TextOut(x, y, text);
  canvas.SetFont(previous);
}

void DrawScoreGraphic(plat::Canvas& canvas, const std::array<int32_t, 4>& values, const TGradeTable& grades,
                      plat::DateTime stats_date) {
  CommonStart(canvas);
  const plat::TextSize date_size = canvas.TextExtent("Date");
  const plat::TextSize score_size = canvas.TextExtent("Score");
  const plat::TextSize grade_size = canvas.TextExtent("Grade");
  const int base = kGraphHeight - date_size.height - 20;  // the time axis
  const int left = score_size.height + 22;                // the score axis

  canvas.TextOut((kGraphWidth - date_size.width) / 2, kGraphHeight - date_size.height, "Date");
  AngleTextOut(canvas, 90, 0, (kGraphHeight - score_size.width) / 2, "Score");
  AngleTextOut(canvas, 90, kGraphWidth - grade_size.height, (kGraphHeight - grade_size.width) / 2, "Grade");

  PlotArea(canvas, left, base);
  Grid(canvas, base, score_size.height + 18, score_size.height + 4);

  // Each grade name at its upper bound; the lower half of the rows in red.
  const std::vector<TGradeRange>& rows = grades.Rows();
  const int red_rows = static_cast<int>(rows.size()) / 2;
  for (size_t r = 0; r < rows.size(); ++r) {
    SetFontColor(canvas, static_cast<int>(r) < red_rows ? kLowGradeRed : kHighGradeGreen);
    canvas.TextOut(kGraphWidth - grade_size.height - 7, ScoreY(base, rows[r].high), rows[r].name);
  }

  SetFontColor(canvas, kScaleGrey);
  const int step = (kPlotRight - left) / 4;
  plat::DateTime month = DiffMonth(DiffMonth(DiffMonth(stats_date)));
  std::array<Point, 4> points;
  for (int i = 1; i <= 4; ++i) {
    const int tick_x = left + i * step;
    canvas.SetBackgroundMode(plat::BackgroundMode::kTransparent);
    canvas.SetPenColor(kTickGrey);
    Line(canvas, tick_x, base + 1, tick_x, base + 5);
    canvas.TextOut(left + (i - 1) * step + 2, base + 1, MonthName(month));
    canvas.SetPenColor(kPointRed);
    canvas.SetBrushColor(kPointRed);
    const Point point{tick_x - step / 2, ScoreY(base, values[static_cast<size_t>(i - 1)])};
    canvas.Ellipse(Rect{point.x - 3, point.y - 3, point.x + 3, point.y + 3});
    points[static_cast<size_t>(i - 1)] = point;
    month = MyIncMonth(month);
  }
  TrendLine(canvas, points, left, base);
}

void DrawPercentileGraphic(plat::Canvas& canvas, const std::array<int32_t, 11>& values) {
  CommonStart(canvas);
  const plat::TextSize percentile_size = canvas.TextExtent("Percentile");
  const plat::TextSize frequency_size = canvas.TextExtent("Probability Frequency");
  const int base = kGraphHeight - percentile_size.height - 20;
  const int left = frequency_size.height + 22;

  canvas.TextOut((kGraphWidth - percentile_size.width) / 2, kGraphHeight - percentile_size.height, "Percentile");
  AngleTextOut(canvas, 90, 0, base - (base - frequency_size.width) / 2, "Probability Frequency");

  PlotArea(canvas, left, base);
  Grid(canvas, base, frequency_size.height + 18, frequency_size.height + 4);

  const int step = (kPlotRight - left) / 10;
  auto bar_x = [&](size_t i) { return left + static_cast<int>(i) * step; };
  // Shares are tenths; anything else is kept within reach of the pixel arithmetic.
  auto bar_top = [&](size_t i) { return ClampPixel(base - kGridStep * static_cast<double>(values[i])); };

  canvas.SetPenColor(kBarGrey);
  SetFontColor(canvas, kBinLabelRed);
  for (size_t i = 0; i < values.size(); ++i) {
    canvas.TextOut(bar_x(i) + 1, base + 3, std::to_string(10 * i));
    Line(canvas, bar_x(i), base + 3, bar_x(i), bar_top(i));
  }

  // The area under the curve, coloured through a clip to it.
  std::vector<Point> curve;
  for (size_t i = 0; i < values.size(); ++i) curve.push_back(Point{bar_x(i), bar_top(i)});
  curve.push_back(Point{curve.back().x, base});
  curve.push_back(Point{left, base});
  curve.push_back(curve.front());
  canvas.SetClipPolygon(curve);
  canvas.GradientFillHorizontal(Rect{left, 0, kPlotRight, base}, kCurveLeft, kCurveRight);
  canvas.RemoveClip();

  canvas.SetPenColor(kFrameGrey);
  for (size_t i = 0; i < values.size(); ++i) Line(canvas, bar_x(i), base, bar_x(i), bar_top(i));
}

std::string ScoreGraphJpeg(const std::array<int32_t, 4>& values, const TGradeTable& grades, plat::DateTime stats_date) {
  return GraphJpeg([&](plat::Canvas& canvas) { DrawScoreGraphic(canvas, values, grades, stats_date); });
}

std::string PercentileGraphJpeg(const std::array<int32_t, 11>& values) {
  return GraphJpeg([&](plat::Canvas& canvas) { DrawPercentileGraphic(canvas, values); });
}

}  // namespace server
