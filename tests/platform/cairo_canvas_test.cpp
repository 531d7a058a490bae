#include "platform/cairo_canvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <vector>

#include "tests/support/recording_canvas.h"

namespace plat {
namespace {

constexpr Color kWhite{255, 255, 255};
constexpr Color kBlack{0, 0, 0};
constexpr Color kRed{255, 0, 0};
constexpr Color kBlue{0, 0, 255};

// The smallest rectangle holding every pixel that differs from white.
struct InkBox {
  int count = 0;
  Rect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
};

InkBox FindInk(const CairoCanvas& canvas) {
  InkBox ink;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      if (canvas.PixelAt(x, y) == kWhite) continue;
      ++ink.count;
      ink.box.left = std::min(ink.box.left, x);
      ink.box.top = std::min(ink.box.top, y);
      ink.box.right = std::max(ink.box.right, x + 1);
      ink.box.bottom = std::max(ink.box.bottom, y + 1);
    }
  }
  return ink;
}

bool Inside(const Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

Font GraphFont() {
  Font font;
  font.family = "Arial";
  font.size_points = 7;
  font.bold = true;
  font.color = kBlue;
  return font;
}

TEST(CairoCanvasTest, NewCanvasIsWhiteAndRefusesBadSizes) {
  CairoCanvas canvas(250, 155);
  EXPECT_EQ(canvas.Width(), 250);
  EXPECT_EQ(canvas.Height(), 155);
  EXPECT_EQ(FindInk(canvas).count, 0);
  EXPECT_THROW(CairoCanvas(0, 10), std::invalid_argument);
  EXPECT_THROW(CairoCanvas(10, -1), std::invalid_argument);
  EXPECT_THROW(CairoCanvas(CairoCanvas::kMaxSide + 1, 10), std::invalid_argument);
  EXPECT_THROW(canvas.PixelAt(250, 0), std::out_of_range);
}

TEST(CairoCanvasTest, RectangleCoversExactlyItsPixelsRightAndBottomExclusive) {
  for (const Rect& corners : {Rect{2, 3, 8, 7}, Rect{8, 7, 2, 3}}) {
    CairoCanvas canvas(12, 10);
    canvas.SetPenColor(kRed);
    canvas.SetBrushColor(kBlue);
    canvas.Rectangle(corners);
    const Rect r{2, 3, 8, 7};
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 12; ++x) {
        const bool outline = Inside(r, x, y) && (x == 2 || x == 7 || y == 3 || y == 6);
        const Color want = !Inside(r, x, y) ? kWhite : outline ? kRed : kBlue;
        ASSERT_EQ(canvas.PixelAt(x, y), want) << "at " << x << "," << y;
      }
    }
  }
}

TEST(CairoCanvasTest, ShapesReachingFarBeyondTheBitmapDrawTheirVisiblePart) {
  CairoCanvas canvas(10, 10);
  canvas.SetPenColor(kRed);
  canvas.SetBrushColor(kBlue);
  canvas.Rectangle(Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX});
  EXPECT_EQ(canvas.PixelAt(0, 0), kBlue);
  EXPECT_EQ(canvas.PixelAt(9, 9), kBlue);
  canvas.Rectangle(Rect{5, INT_MIN, INT_MAX, 5});
  EXPECT_EQ(canvas.PixelAt(5, 0), kRed);
  EXPECT_EQ(canvas.PixelAt(9, 4), kRed);
  EXPECT_EQ(canvas.PixelAt(7, 3), kBlue);
  canvas.Ellipse(Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX});
  EXPECT_EQ(canvas.PixelAt(5, 5), kBlue);
}

TEST(CairoCanvasTest, LinesStopBeforeTheirLastPixelAndContinueFromThere) {
  CairoCanvas canvas(20, 20);
  canvas.MoveTo(2, 5);
  canvas.LineTo(10, 5);
  for (int x = 0; x < 20; ++x) EXPECT_EQ(canvas.PixelAt(x, 5), (x >= 2 && x < 10) ? kBlack : kWhite) << x;
  // The next segment starts at the end of the last one and draws its pixel.
  canvas.LineTo(10, 9);
  for (int y = 5; y < 12; ++y) EXPECT_EQ(canvas.PixelAt(10, y), y < 9 ? kBlack : kWhite) << y;
  EXPECT_EQ(FindInk(canvas).count, 8 + 4);

  CairoCanvas diagonal(10, 10);
  diagonal.MoveTo(0, 0);
  diagonal.LineTo(5, 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(diagonal.PixelAt(i, i), kBlack);
  EXPECT_EQ(FindInk(diagonal).count, 5);

  // A shallow line steps one pixel per column.
  CairoCanvas shallow(20, 10);
  shallow.MoveTo(0, 0);
  shallow.LineTo(10, 2);
  const InkBox ink = FindInk(shallow);
  EXPECT_EQ(ink.count, 10);
  EXPECT_EQ(ink.box, (Rect{0, 0, 10, 3}));
}

TEST(CairoCanvasTest, LinesFarOffTheBitmapDrawOnlyTheirVisiblePart) {
  CairoCanvas canvas(50, 40);
  canvas.MoveTo(INT_MIN, 10);
  canvas.LineTo(INT_MAX, 10);
  const InkBox row = FindInk(canvas);
  EXPECT_EQ(row.count, 50);
  EXPECT_EQ(row.box, (Rect{0, 10, 50, 11}));

  // Nearly vertical and enormous: one pixel per row it crosses.
  CairoCanvas steep(50, 40);
  steep.MoveTo(0, INT_MIN);
  steep.LineTo(50, INT_MAX);
  const InkBox column = FindInk(steep);
  EXPECT_EQ(column.count, 40);
  EXPECT_EQ(column.box.top, 0);
  EXPECT_EQ(column.box.bottom, 40);
  EXPECT_LE(column.box.right - column.box.left, 1);

  CairoCanvas missed(50, 40);
  missed.MoveTo(-100, -5);
  missed.LineTo(200, -1);
  EXPECT_EQ(FindInk(missed).count, 0);
}

TEST(CairoCanvasTest, HorizontalGradientRunsFromFirstToLastColumn) {
  CairoCanvas canvas(120, 20);
  const Color left{220, 220, 240};
  const Color right{240, 240, 240};
  canvas.GradientFillHorizontal(Rect{10, 2, 110, 12}, left, right);
  EXPECT_EQ(canvas.PixelAt(10, 2), left);
  EXPECT_EQ(canvas.PixelAt(10, 11), left);
  EXPECT_EQ(canvas.PixelAt(109, 2), right);
  EXPECT_EQ(canvas.PixelAt(9, 5), kWhite);
  EXPECT_EQ(canvas.PixelAt(110, 5), kWhite);
  EXPECT_EQ(canvas.PixelAt(50, 1), kWhite);
  EXPECT_EQ(canvas.PixelAt(50, 12), kWhite);
  EXPECT_EQ(FindInk(canvas).box, (Rect{10, 2, 110, 12}));

  // Red to green falls and rises steadily across the columns.
  CairoCanvas spectrum(101, 3);
  spectrum.GradientFillHorizontal(Rect{0, 0, 101, 3}, kRed, Color{0, 255, 0});
  EXPECT_EQ(spectrum.PixelAt(0, 1), kRed);
  EXPECT_EQ(spectrum.PixelAt(100, 1), (Color{0, 255, 0}));
  EXPECT_NEAR(spectrum.PixelAt(50, 1).red, 128, 1);
  EXPECT_NEAR(spectrum.PixelAt(50, 1).green, 128, 1);
  for (int x = 1; x < 101; ++x) {
    EXPECT_LE(spectrum.PixelAt(x, 1).red, spectrum.PixelAt(x - 1, 1).red);
    EXPECT_GE(spectrum.PixelAt(x, 1).green, spectrum.PixelAt(x - 1, 1).green);
  }
}

TEST(CairoCanvasTest, RectangleClipKeepsDrawingInsideUntilRemoved) {
  CairoCanvas canvas(20, 20);
  canvas.SetClipRect(Rect{5, 6, 10, 12});
  canvas.SetBrushColor(kBlack);
  canvas.Rectangle(Rect{0, 0, 20, 20});
  canvas.MoveTo(0, 8);
  canvas.LineTo(20, 8);
  const InkBox ink = FindInk(canvas);
  EXPECT_EQ(ink.box, (Rect{5, 6, 10, 12}));
  EXPECT_EQ(ink.count, 5 * 6);

  canvas.RemoveClip();
  canvas.MoveTo(0, 0);
  canvas.LineTo(20, 0);
  EXPECT_EQ(canvas.PixelAt(0, 0), kBlack);
  EXPECT_EQ(canvas.PixelAt(19, 0), kBlack);

  // A new clip replaces the old one rather than narrowing it.
  canvas.SetClipRect(Rect{0, 15, 3, 18});
  canvas.GradientFillHorizontal(Rect{0, 0, 20, 20}, kRed, kRed);
  EXPECT_EQ(canvas.PixelAt(0, 15), kRed);
  EXPECT_EQ(canvas.PixelAt(7, 8), kBlack);
}

TEST(CairoCanvasTest, PolygonClipUsesEvenOddRuleSoAHoleStaysClear) {
  CairoCanvas canvas(20, 20);
  // An outer square and, in the same outline, an inner one: inside twice is outside.
  const std::vector<Point> ring = {{2, 2}, {18, 2}, {18, 18}, {2, 18}, {2, 2},
                                   {6, 6}, {6, 14}, {14, 14}, {14, 6}, {6, 6}};
  canvas.SetClipPolygon(ring);
  canvas.GradientFillHorizontal(Rect{0, 0, 20, 20}, kRed, kRed);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool inside = Inside(Rect{2, 2, 18, 18}, x, y) && !Inside(Rect{6, 6, 14, 14}, x, y);
      ASSERT_EQ(canvas.PixelAt(x, y), inside ? kRed : kWhite) << "at " << x << "," << y;
    }
  }

  // A triangle under a sloping edge, as an area under a curve.
  CairoCanvas area(20, 20);
  const std::vector<Point> triangle = {{0, 10}, {10, 0}, {10, 10}, {0, 10}};
  area.SetClipPolygon(triangle);
  area.GradientFillHorizontal(Rect{0, 0, 20, 20}, kRed, kRed);
  EXPECT_EQ(area.PixelAt(9, 1), kRed);
  EXPECT_EQ(area.PixelAt(1, 1), kWhite);
  EXPECT_EQ(area.PixelAt(10, 5), kWhite);
  EXPECT_EQ(area.PixelAt(5, 10), kWhite);
  // Pixels whose centres lie on the sloping edge may go either way.
  const Rect box = FindInk(area).box;
  EXPECT_LE(box.left, 1);
  EXPECT_LE(box.top, 1);
  EXPECT_EQ(box.right, 10);
  EXPECT_EQ(box.bottom, 10);

  // A polygon reaching far beyond the bitmap still clips by its true edges.
  CairoCanvas far(20, 20);
  const std::vector<Point> wedge = {{0, 0}, {INT_MAX, 0}, {0, INT_MAX}};
  far.SetClipPolygon(wedge);
  far.GradientFillHorizontal(Rect{0, 0, 20, 20}, kRed, kRed);
  EXPECT_EQ(FindInk(far).count, 400);
  const std::vector<Point> sliver = {{0, 0}, {20, 0}, {INT_MAX, INT_MAX / 2}};
  far.SetClipPolygon(sliver);
  far.GradientFillHorizontal(Rect{0, 0, 20, 20}, kBlue, kBlue);
  EXPECT_EQ(far.PixelAt(19, 9), kBlue);
  EXPECT_EQ(far.PixelAt(10, 4), kBlue);
  EXPECT_EQ(far.PixelAt(10, 6), kRed);

  // Two points enclose nothing.
  CairoCanvas line(10, 10);
  const std::vector<Point> two = {{0, 0}, {9, 9}};
  line.SetClipPolygon(two);
  line.GradientFillHorizontal(Rect{0, 0, 10, 10}, kRed, kRed);
  EXPECT_EQ(FindInk(line).count, 0);
}

TEST(CairoCanvasTest, EllipseFillsInsideItsBoxAndTouchesItsEdges) {
  CairoCanvas canvas(20, 20);
  canvas.SetPenColor(kRed);
  canvas.SetBrushColor(kBlue);
  canvas.Ellipse(Rect{4, 4, 14, 14});
  EXPECT_EQ(FindInk(canvas).box, (Rect{4, 4, 14, 14}));
  EXPECT_EQ(canvas.PixelAt(9, 9), kBlue);
  EXPECT_EQ(canvas.PixelAt(4, 9), kRed);
  EXPECT_EQ(canvas.PixelAt(13, 9), kRed);
  EXPECT_EQ(canvas.PixelAt(4, 4), kWhite);
  EXPECT_EQ(canvas.PixelAt(13, 13), kWhite);
  // Shapes are not antialiased: every pixel is white, pen or brush.
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const Color c = canvas.PixelAt(x, y);
      ASSERT_TRUE(c == kWhite || c == kRed || c == kBlue) << x << "," << y;
    }
}

TEST(CairoCanvasTest, ArialAtSevenPointsHasANinePixelEm) {
  EXPECT_EQ(FontEmPixels(7), 9);
  EXPECT_EQ(FontEmPixels(8), 11);
  CairoCanvas canvas(250, 155);
  canvas.SetFont(GraphFont());
  EXPECT_EQ(canvas.GetFont(), GraphFont());
  const TextSize date = canvas.TextExtent("Date");
  EXPECT_GE(date.height, 10);
  EXPECT_LE(date.height, 12);
  EXPECT_GE(date.width, 15);
  EXPECT_LE(date.width, 28);
  const TextSize longer = canvas.TextExtent("Probability Frequency");
  EXPECT_EQ(longer.height, date.height);
  EXPECT_GT(longer.width, 4 * date.width);
  EXPECT_EQ(canvas.TextExtent("").width, 0);
  // Windows-1252 text is measured as such: one e-acute, about as wide as an e.
  EXPECT_NEAR(canvas.TextExtent("\xE9").width, canvas.TextExtent("e").width, 1);

  Font plain = GraphFont();
  plain.bold = false;
  canvas.SetFont(plain);
  EXPECT_LT(canvas.TextExtent("Probability Frequency").width, longer.width);
}

TEST(CairoCanvasTest, TextLandsInItsCellInTheFontColour) {
  CairoCanvas canvas(100, 40);
  canvas.SetFont(GraphFont());
  canvas.SetBackgroundMode(BackgroundMode::kTransparent);
  const TextSize size = canvas.TextExtent("Score");
  canvas.TextOut(10, 20, "Score");
  const InkBox ink = FindInk(canvas);
  ASSERT_GT(ink.count, 20);
  EXPECT_GE(ink.box.left, 10);
  EXPECT_GE(ink.box.top, 20);
  EXPECT_LE(ink.box.right, 10 + size.width);
  EXPECT_LE(ink.box.bottom, 20 + size.height);
  EXPECT_GE(ink.box.right - ink.box.left, size.width - 3);
  // The darkest pixels carry the font colour.
  bool saw_font_color = false;
  for (int y = 20; y < 20 + size.height; ++y)
    for (int x = 10; x < 10 + size.width; ++x) saw_font_color |= canvas.PixelAt(x, y) == kBlue;
  EXPECT_TRUE(saw_font_color);
}

TEST(CairoCanvasTest, OpaqueTextFillsItsCellWithTheBrushColour) {
  CairoCanvas canvas(100, 40);
  canvas.SetFont(GraphFont());
  canvas.SetBrushColor(kRed);
  canvas.TextOut(5, 6, "Date");
  const TextSize size = canvas.TextExtent("Date");
  EXPECT_EQ(FindInk(canvas).box, (Rect{5, 6, 5 + size.width, 6 + size.height}));
  EXPECT_EQ(canvas.PixelAt(5, 6), kRed);
  EXPECT_EQ(canvas.PixelAt(5 + size.width - 1, 6 + size.height - 1), kRed);
}

TEST(CairoCanvasTest, TextTurnedNinetyDegreesRunsUpwardsFromItsCorner) {
  CairoCanvas canvas(60, 120);
  Font font = GraphFont();
  const TextSize size = [&] {
    canvas.SetFont(font);
    return canvas.TextExtent("Score");
  }();
  font.escapement_tenths = 900;
  canvas.SetFont(font);
  // The extent is that of the unturned text.
  EXPECT_EQ(canvas.TextExtent("Score"), size);
  canvas.SetBackgroundMode(BackgroundMode::kTransparent);
  canvas.TextOut(20, 100, "Score");
  const InkBox ink = FindInk(canvas);
  ASSERT_GT(ink.count, 20);
  // Columns x..x+height, rows y-width..y.
  EXPECT_GE(ink.box.left, 20);
  EXPECT_LE(ink.box.right, 20 + size.height);
  EXPECT_GE(ink.box.top, 100 - size.width);
  EXPECT_LE(ink.box.bottom, 100);
  EXPECT_GE(ink.box.bottom - ink.box.top, size.width - 3);
  EXPECT_LE(ink.box.right - ink.box.left, size.height);
}

TEST(CairoCanvasTest, ClipAppliesToText) {
  CairoCanvas canvas(100, 40);
  canvas.SetFont(GraphFont());
  canvas.SetBackgroundMode(BackgroundMode::kTransparent);
  canvas.SetClipRect(Rect{0, 0, 14, 40});
  canvas.TextOut(10, 10, "Probability");
  EXPECT_LE(FindInk(canvas).box.right, 14);
}

TEST(CairoCanvasTest, RgbImageCopiesEveryPixel) {
  CairoCanvas canvas(7, 5);
  canvas.SetPenColor(Color{1, 2, 3});
  canvas.MoveTo(0, 4);
  canvas.LineTo(7, 4);
  const RgbImage image = canvas.ToRgbImage();
  ASSERT_EQ(image.width, 7);
  ASSERT_EQ(image.height, 5);
  ASSERT_EQ(image.pixels.size(), 7u * 5u * 3u);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(image.At(x, y), canvas.PixelAt(x, y));
  EXPECT_EQ(image.At(6, 4), (Color{1, 2, 3}));
}

TEST(RecordingCanvasTest, RecordsEachCallWithTheStateItWasDrawnWith) {
  testing::RecordingCanvas canvas;
  canvas.SetPenColor(kRed);
  canvas.SetBrushColor(kBlue);
  canvas.SetFont(GraphFont());
  canvas.SetBackgroundMode(BackgroundMode::kTransparent);
  EXPECT_EQ(canvas.TextExtent("Date"), (TextSize{20, 11}));
  canvas.SetClipRect(Rect{1, 2, 3, 4});
  canvas.MoveTo(1, 1);
  canvas.LineTo(5, 1);
  canvas.RemoveClip();
  canvas.TextOut(3, 4, "Date");

  ASSERT_EQ(canvas.calls().size(), 2u);
  const auto lines = canvas.CallsOf(testing::DrawCall::Kind::kLine);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].from, (Point{1, 1}));
  EXPECT_EQ(lines[0].to, (Point{5, 1}));
  EXPECT_EQ(lines[0].pen, kRed);
  EXPECT_EQ(lines[0].clip.kind, testing::RecordedClip::Kind::kRect);
  const auto texts = canvas.CallsOf(testing::DrawCall::Kind::kText);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "Date");
  EXPECT_EQ(texts[0].from, (Point{3, 4}));
  EXPECT_EQ(texts[0].font.color, kBlue);
  EXPECT_EQ(texts[0].background, BackgroundMode::kTransparent);
  EXPECT_EQ(texts[0].clip.kind, testing::RecordedClip::Kind::kNone);
}

}  // namespace
}  // namespace plat
