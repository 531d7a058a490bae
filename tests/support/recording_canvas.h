// A canvas that draws nothing and remembers every drawing call together with
// the pen, brush, font, background mode and clip in effect at the time, so
// tests of drawing code can check what was drawn where without pixels.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/canvas.h"

namespace plat::testing {

struct RecordedClip {
  enum class Kind { kNone, kRect, kPolygon };
  Kind kind = Kind::kNone;
  Rect rect;                   // kRect
  std::vector<Point> polygon;  // kPolygon, even-odd
  friend bool operator==(const RecordedClip&, const RecordedClip&) = default;
};

struct DrawCall {
  enum class Kind { kText, kRectangle, kEllipse, kLine, kGradient };
  Kind kind = Kind::kText;
  Point from;  // kText: the cell's top-left corner; kLine: the start
  Point to;    // kLine: the end, itself not drawn
  Rect rect;   // kRectangle, kEllipse, kGradient
  std::string text;
  Color gradient_left;
  Color gradient_right;
  // The state the call was drawn with.
  Color pen;
  Color brush;
  Font font;
  BackgroundMode background = BackgroundMode::kOpaque;
  RecordedClip clip;
};

class RecordingCanvas final : public Canvas {
 public:
  // Text measures `char_width` pixels per character and `text_height` high,
  // whatever the font, so layouts that depend on text extents are predictable.
  explicit RecordingCanvas(int width = 250, int height = 155, int char_width = 5, int text_height = 11)
      : width_(width), height_(height), char_width_(char_width), text_height_(text_height) {}

  const std::vector<DrawCall>& calls() const { return calls_; }
  std::vector<DrawCall> CallsOf(DrawCall::Kind kind) const {
    std::vector<DrawCall> found;
    for (const DrawCall& call : calls_)
      if (call.kind == kind) found.push_back(call);
    return found;
  }
  // The clip in effect now.
  const RecordedClip& clip() const { return clip_; }
  BackgroundMode background() const { return background_; }
  Point position() const { return position_; }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPenColor(Color color) override { pen_ = color; }
  void SetBrushColor(Color color) override { brush_ = color; }
  void SetBackgroundMode(BackgroundMode mode) override { background_ = mode; }
  void SetFont(const Font& font) override { font_ = font; }
  const Font& GetFont() const override { return font_; }

  TextSize TextExtent(std::string_view text) override {
    return TextSize{static_cast<int>(text.size()) * char_width_, text_height_};
  }
  void TextOut(int x, int y, std::string_view text) override {
    DrawCall call = Stamp(DrawCall::Kind::kText);
    call.from = Point{x, y};
    call.text = std::string(text);
    calls_.push_back(std::move(call));
  }
  void Rectangle(const Rect& rect) override { RecordRect(DrawCall::Kind::kRectangle, rect); }
  void Ellipse(const Rect& rect) override { RecordRect(DrawCall::Kind::kEllipse, rect); }
  void MoveTo(int x, int y) override { position_ = Point{x, y}; }
  void LineTo(int x, int y) override {
    DrawCall call = Stamp(DrawCall::Kind::kLine);
    call.from = position_;
    call.to = Point{x, y};
    calls_.push_back(std::move(call));
    position_ = Point{x, y};
  }
  void GradientFillHorizontal(const Rect& rect, Color left_color, Color right_color) override {
    DrawCall call = Stamp(DrawCall::Kind::kGradient);
    call.rect = rect;
    call.gradient_left = left_color;
    call.gradient_right = right_color;
    calls_.push_back(std::move(call));
  }
  void SetClipRect(const Rect& rect) override { clip_ = RecordedClip{RecordedClip::Kind::kRect, rect, {}}; }
  void SetClipPolygon(std::span<const Point> polygon) override {
    clip_ = RecordedClip{RecordedClip::Kind::kPolygon, {}, std::vector<Point>(polygon.begin(), polygon.end())};
  }
  void RemoveClip() override { clip_ = RecordedClip{}; }

 private:
  DrawCall Stamp(DrawCall::Kind kind) const {
    DrawCall call;
    call.kind = kind;
    call.pen = pen_;
    call.brush = brush_;
    call.font = font_;
    call.background = background_;
    call.clip = clip_;
    return call;
  }
  void RecordRect(DrawCall::Kind kind, const Rect& rect) {
    DrawCall call = Stamp(kind);
    call.rect = rect;
    calls_.push_back(std::move(call));
  }

  int width_;
  int height_;
  int char_width_;
  int text_height_;
  Color pen_{0, 0, 0};
  Color brush_{255, 255, 255};
  BackgroundMode background_ = BackgroundMode::kOpaque;
  Font font_;
  Point position_;
  RecordedClip clip_;
  std::vector<DrawCall> calls_;
};

}  // namespace plat::testing
