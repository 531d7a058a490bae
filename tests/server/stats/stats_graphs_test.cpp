// The graphs' geometry on a recording canvas: text is 5 pixels a character
// and 11 high there, so base = 155 - 11 - 20 = 124 and left = 11 + 22 = 33.
#include "server/stats/stats_graphs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/recording_canvas.h"

namespace server {
namespace {

using plat::Color;
using plat::Point;
using plat::Rect;
using plat::testing::DrawCall;
using plat::testing::RecordedClip;
using plat::testing::RecordingCanvas;

constexpr int kBase = 124;
constexpr int kLeft = 33;

const DrawCall* TextCall(const RecordingCanvas& canvas, const std::string& text) {
  for (const DrawCall& call : canvas.calls())
    if (call.kind == DrawCall::Kind::kText && call.text == text) return &call;
  return nullptr;
}

std::vector<DrawCall> LinesWithPen(const RecordingCanvas& canvas, Color pen) {
  std::vector<DrawCall> lines;
  for (const DrawCall& call : canvas.CallsOf(DrawCall::Kind::kLine))
    if (call.pen == pen) lines.push_back(call);
  return lines;
}

plat::DateTime March2025() {
  plat::DateTime date = 0;
  plat::TryEncodeDate(2025, 3, 14, date);
  return date;
}

void ExpectText(const RecordingCanvas& canvas, const std::string& text, Point at, int escapement, Color color) {
  const DrawCall* call = TextCall(canvas, text);
  ASSERT_NE(call, nullptr) << text;
  EXPECT_EQ(call->from, at) << text;
  EXPECT_EQ(call->font.escapement_tenths, escapement) << text;
  EXPECT_EQ(call->font.color, color) << text;
  EXPECT_EQ(call->font.family, "Arial");
  EXPECT_EQ(call->font.size_points, 7);
  EXPECT_TRUE(call->font.bold);
}

// Both graphs: a white bitmap, the gradient plot area framed on three sides,
// ten grid lines 12 pixels apart labelled 10 to 100.
void ExpectCommonFrame(const RecordingCanvas& canvas) {
  const std::vector<DrawCall> rectangles = canvas.CallsOf(DrawCall::Kind::kRectangle);
  ASSERT_EQ(rectangles.size(), 1u);
  EXPECT_EQ(rectangles[0].rect, (Rect{0, 0, 250, 155}));
  EXPECT_EQ(rectangles[0].brush, (Color{255, 255, 255}));
  EXPECT_EQ(rectangles[0].pen, (Color{255, 255, 255}));

  const std::vector<DrawCall> gradients = canvas.CallsOf(DrawCall::Kind::kGradient);
  ASSERT_GE(gradients.size(), 1u);
  EXPECT_EQ(gradients[0].rect, (Rect{kLeft, 0, 230, kBase}));
  EXPECT_EQ(gradients[0].gradient_left, (Color{220, 220, 240}));
  EXPECT_EQ(gradients[0].gradient_right, (Color{240, 240, 240}));

  const std::vector<DrawCall> frame = LinesWithPen(canvas, Color{100, 100, 100});
  ASSERT_GE(frame.size(), 3u);
  EXPECT_EQ(frame[0].from, (Point{kLeft, 0}));
  EXPECT_EQ(frame[0].to, (Point{kLeft, kBase}));
  EXPECT_EQ(frame[1].to, (Point{230, kBase}));
  EXPECT_EQ(frame[2].to, (Point{230, 0}));

  const std::vector<DrawCall> grid = LinesWithPen(canvas, Color{200, 200, 200});
  ASSERT_EQ(grid.size(), 10u);
  for (int i = 1; i <= 10; ++i) {
    const int y = kBase - 12 * i;
    EXPECT_EQ(grid[static_cast<size_t>(i - 1)].from, (Point{29, y}));
    EXPECT_EQ(grid[static_cast<size_t>(i - 1)].to, (Point{234, y}));
    ExpectText(canvas, std::to_string(10 * i), Point{15, y}, 0, Color{180, 180, 180});
  }
}

TEST(ScoreGraph, LabelsGridGradesMonthsAndPoints) {
  RecordingCanvas canvas;
  TGradeTable grades;
  grades.LoadFromText("0 49 D\r\n50 69 C\r\n70 84 B\r\n85 100 A\r\n");
  DrawScoreGraphic(canvas, {0, 50, 50, 100}, grades, March2025());

  const Color blue{0, 0, 255};
  ExpectText(canvas, "Date", Point{115, 144}, 0, blue);
  ExpectText(canvas, "Score", Point{0, 65}, 900, blue);  // reads bottom to top
  ExpectText(canvas, "Grade", Point{239, 65}, 900, blue);
  ExpectCommonFrame(canvas);

  // At their upper bounds, the first half of the rows red.
  const Color red{255, 20, 20};
  const Color green{20, 255, 20};
  ExpectText(canvas, "D", Point{232, 65}, 0, red);
  ExpectText(canvas, "C", Point{232, 41}, 0, red);
  ExpectText(canvas, "B", Point{232, 23}, 0, green);
  ExpectText(canvas, "A", Point{232, 4}, 0, green);

  // step = (230 - 33) / 4 = 49; ticks under the axis, oldest month first.
  const std::vector<DrawCall> ticks = LinesWithPen(canvas, Color{150, 150, 150});
  ASSERT_EQ(ticks.size(), 4u);
  const char* months[] = {"December", "January", "February", "March"};
  const int values[] = {0, 50, 50, 100};
  const std::vector<DrawCall> points = canvas.CallsOf(DrawCall::Kind::kEllipse);
  ASSERT_EQ(points.size(), 4u);
  for (int i = 1; i <= 4; ++i) {
    const size_t k = static_cast<size_t>(i - 1);
    EXPECT_EQ(ticks[k].from, (Point{kLeft + 49 * i, 125}));
    EXPECT_EQ(ticks[k].to, (Point{kLeft + 49 * i, 129}));
    ExpectText(canvas, months[k], Point{kLeft + 49 * (i - 1) + 2, 125}, 0, Color{180, 180, 180});
    const int x = kLeft + 49 * i - 24;
    const int y = static_cast<int>(kBase - values[k] * 1.2);
    EXPECT_EQ(points[k].rect, (Rect{x - 3, y - 3, x + 3, y + 3}));
    EXPECT_EQ(points[k].brush, (Color{200, 100, 100}));
  }

  // Smoothed twice: (106, 79) and (155, 49) give the slope -30/49.
  const std::vector<DrawCall> trend = LinesWithPen(canvas, Color{0, 0, 240});
  ASSERT_EQ(trend.size(), 1u);
  EXPECT_EQ(trend[0].from, (Point{0, 143}));
  EXPECT_EQ(trend[0].to, (Point{250, -9}));
  EXPECT_EQ(trend[0].clip, (RecordedClip{RecordedClip::Kind::kRect, Rect{kLeft, 0, 230, kBase}, {}}));
  EXPECT_EQ(canvas.clip().kind, RecordedClip::Kind::kNone);
}

TEST(ScoreGraph, AFlatHistoryLiesOnTheTimeAxis) {
  RecordingCanvas canvas;
  DrawScoreGraphic(canvas, {0, 0, 0, 0}, TGradeTable(), March2025());
  for (const DrawCall& point : canvas.CallsOf(DrawCall::Kind::kEllipse)) EXPECT_EQ(point.rect.top, kBase - 3);
  const std::vector<DrawCall> trend = LinesWithPen(canvas, Color{0, 0, 240});
  ASSERT_EQ(trend.size(), 1u);
  EXPECT_EQ(trend[0].from, (Point{0, kBase}));
  EXPECT_EQ(trend[0].to, (Point{250, kBase}));
  // Absurd figures stay drawable.
  RecordingCanvas wild;
  DrawScoreGraphic(wild, {2147483647, -2147483647, 0, 5}, TGradeTable(), 0);
  EXPECT_EQ(wild.CallsOf(DrawCall::Kind::kEllipse).size(), 4u);
}

TEST(PercentileGraph, BarsAndTheColouredCurve) {
  RecordingCanvas canvas;
  const std::array<int32_t, 11> bins = {0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0};  // every test at 40 %
  DrawPercentileGraphic(canvas, bins);

  const Color blue{0, 0, 255};
  ExpectText(canvas, "Percentile", Point{100, 144}, 0, blue);
  ExpectText(canvas, "Probability Frequency", Point{0, 115}, 900, blue);
  ExpectCommonFrame(canvas);

  // step = (230 - 33) / 10 = 19.
  const std::vector<DrawCall> bars = LinesWithPen(canvas, Color{90, 90, 90});
  ASSERT_EQ(bars.size(), 11u);
  std::vector<DrawCall> labels;
  for (const DrawCall& call : canvas.CallsOf(DrawCall::Kind::kText))
    if (call.font.color == Color{220, 100, 100}) labels.push_back(call);
  ASSERT_EQ(labels.size(), 11u);
  std::vector<Point> curve;
  for (int i = 0; i <= 10; ++i) {
    const int x = kLeft + 19 * i;
    const int top = i == 4 ? kBase - 120 : kBase;  // ten grid lines high
    EXPECT_EQ(bars[static_cast<size_t>(i)].from, (Point{x, 127}));
    EXPECT_EQ(bars[static_cast<size_t>(i)].to, (Point{x, top}));
    EXPECT_EQ(labels[static_cast<size_t>(i)].text, std::to_string(10 * i));
    EXPECT_EQ(labels[static_cast<size_t>(i)].from, (Point{x + 1, 127}));
    curve.push_back(Point{x, top});
  }
  curve.push_back(Point{kLeft + 190, kBase});
  curve.push_back(Point{kLeft, kBase});
  curve.push_back(curve.front());

  const std::vector<DrawCall> gradients = canvas.CallsOf(DrawCall::Kind::kGradient);
  ASSERT_EQ(gradients.size(), 2u);
  EXPECT_EQ(gradients[1].rect, (Rect{kLeft, 0, 230, kBase}));
  EXPECT_EQ(gradients[1].gradient_left, (Color{255, 0, 0}));
  EXPECT_EQ(gradients[1].gradient_right, (Color{0, 255, 0}));
  EXPECT_EQ(gradients[1].clip, (RecordedClip{RecordedClip::Kind::kPolygon, {}, curve}));
  EXPECT_EQ(canvas.clip().kind, RecordedClip::Kind::kNone);

  // The bars again over the colour, from the axis.
  const std::vector<DrawCall> dark = LinesWithPen(canvas, Color{100, 100, 100});
  ASSERT_EQ(dark.size(), 3u + 11u);
  EXPECT_EQ(dark[3 + 4].from, (Point{kLeft + 76, kBase}));
  EXPECT_EQ(dark[3 + 4].to, (Point{kLeft + 76, kBase - 120}));
}

}  // namespace
}  // namespace server
