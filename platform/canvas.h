// A drawing surface with the conventions of the Windows drawing calls the
// system's graphs were written against: integer pixels, x to the right and y
// downwards from the top-left corner, rectangles whose right and bottom edges
// lie outside them, lines that stop before their last pixel, shapes without
// antialiasing. Drawing code sees only this interface, so tests can record
// what it draws instead of looking at pixels.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace plat {

struct Color {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Covers columns left..right-1 and rows top..bottom-1. Drawing calls accept
// the corners in either order.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct TextSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const TextSize&, const TextSize&) = default;
};

// Opaque text first fills its cell with the brush colour; transparent text
// leaves what lies under it.
enum class BackgroundMode { kOpaque, kTransparent };

// A logical font. Sizes are points at 96 pixels per inch, so 7 points make
// an em of 9 pixels. Text with an escapement is drawn turned counter-clockwise
// by that angle about the top-left corner of its cell.
struct Font {
  std::string family = "Arial";
  int size_points = 8;
  bool bold = false;
  Color color;
  int escapement_tenths = 0;  // tenths of a degree
  friend bool operator==(const Font&, const Font&) = default;
};

// The pixel height of a font's em at 96 pixels per inch, rounded as the
// Windows font size conversion rounds.
int FontEmPixels(int size_points);

class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  // The pen outlines shapes and draws lines, one pixel wide.
  virtual void SetPenColor(Color color) = 0;
  // The brush fills shapes and the background of opaque text.
  virtual void SetBrushColor(Color color) = 0;
  virtual void SetBackgroundMode(BackgroundMode mode) = 0;

  virtual void SetFont(const Font& font) = 0;
  virtual const Font& GetFont() const = 0;

  // Texts are strings in the system code page (Windows-1252).
  // The advance width and the cell height (ascent + descent) of the text in
  // the current font, as if it were not turned.
  virtual TextSize TextExtent(std::string_view text) = 0;
  // Writes the text with its cell's top-left corner at (x, y), in the font's
  // colour, turned by the font's escapement.
  virtual void TextOut(int x, int y, std::string_view text) = 0;

  // Outlined with the pen, filled with the brush.
  virtual void Rectangle(const Rect& rect) = 0;
  // The ellipse inside the rectangle, outlined with the pen, filled with the brush.
  virtual void Ellipse(const Rect& rect) = 0;

  virtual void MoveTo(int x, int y) = 0;
  // A line with the pen from the current position to (x, y), leaving out
  // (x, y) itself, which becomes the current position.
  virtual void LineTo(int x, int y) = 0;

  // Fills the rectangle with colours running from `left_color` in its first
  // column to `right_color` in its last.
  virtual void GradientFillHorizontal(const Rect& rect, Color left_color, Color right_color) = 0;

  // Restricts all drawing to the rectangle, replacing any earlier clip.
  virtual void SetClipRect(const Rect& rect) = 0;
  // Restricts all drawing to the inside of the polygon by the even-odd rule
  // (a region inside twice is outside), replacing any earlier clip. The
  // polygon closes itself; fewer than three points enclose nothing.
  virtual void SetClipPolygon(std::span<const Point> polygon) = 0;
  virtual void RemoveClip() = 0;
};

}  // namespace plat
