// A canvas that draws into an in-memory bitmap of its own.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "platform/canvas.h"
#include "platform/rgb_image.h"

namespace plat {

class CairoCanvas final : public Canvas {
 public:
  // Larger bitmaps are refused.
  static constexpr int kMaxSide = 16384;

  // A white bitmap with a black pen, a white brush, opaque background mode
  // and the default font. Throws std::invalid_argument for a side that is not
  // 1..kMaxSide, std::runtime_error when the bitmap cannot be made.
  CairoCanvas(int width, int height);
  ~CairoCanvas() override;
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  int Width() const override;
  int Height() const override;
  void SetPenColor(Color color) override;
  void SetBrushColor(Color color) override;
  void SetBackgroundMode(BackgroundMode mode) override;
  void SetFont(const Font& font) override;
  const Font& GetFont() const override;
  TextSize TextExtent(std::string_view text) override;
  void TextOut(int x, int y, std::string_view text) override;
  void Rectangle(const Rect& rect) override;
  void Ellipse(const Rect& rect) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void GradientFillHorizontal(const Rect& rect, Color left_color, Color right_color) override;
  void SetClipRect(const Rect& rect) override;
  void SetClipPolygon(std::span<const Point> polygon) override;
  void RemoveClip() override;

  // The pixel at (x, y), which must lie on the bitmap.
  Color PixelAt(int x, int y) const;
  // A copy of the whole picture.
  RgbImage ToRgbImage() const;

  struct Impl;  // opaque

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace plat
