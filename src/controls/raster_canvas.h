// A canvas over a plain 32-bit pixel buffer, with a built-in font whose
// measures follow only from the font height, so pictures are the same on
// every machine. The tests draw on it and compare pixels.
#pragma once
#include <vector>

#include "controls/canvas.h"

namespace plexi::controls {

class RasterCanvas : public Canvas {
 public:
  RasterCanvas(int width, int height, Color fill = kBlack,
               const SystemColorTable& colors = SystemColorTable());

  // Built-in font: a cell `CellHeight` pixels high; ASCII characters are
  // `AsciiAdvance` wide, all others twice that.
  static int CellHeight(const Font& font);
  static int AsciiAdvance(const Font& font);

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  Color SystemColorValue(int index) const override { return colors_.SystemColorValue(index); }

  void FillRect(const Rect& r, Color c) override;
  void FrameRect(const Rect& r, Color c) override;
  void Line(Point from, Point to, const Pen& pen) override;
  void Rectangle(const Rect& r, const Pen& pen, std::optional<Color> brush) override;
  void Ellipse(const Rect& r, const Pen& pen, std::optional<Color> brush) override;
  void RoundRect(const Rect& r, int corner_width, int corner_height, const Pen& pen,
                 std::optional<Color> brush) override;
  Color GetPixel(int x, int y) const override;
  void SetPixel(int x, int y, Color c) override;

  void SetFont(const Font& font) override { font_ = font; }
  Size TextExtent(std::string_view text) override;
  void WriteText(int x, int y, std::string_view text, Color c) override;

  const std::vector<Color>& pixels() const { return pixels_; }

 private:
  template <class Inside>
  void DrawShape(const Rect& r, const Pen& pen, std::optional<Color> brush, Inside inside);
  void PenDot(int x, int y, const Pen& pen);
  void DrawGlyph(int x, int y, char32_t ch, Color c);

  int width_;
  int height_;
  std::vector<Color> pixels_;
  SystemColorTable colors_;
  Font font_;
};

// Code points of UTF-8 text; a broken sequence counts as one U+FFFD.
std::u32string DecodeUtf8(std::string_view text);

}  // namespace plexi::controls
