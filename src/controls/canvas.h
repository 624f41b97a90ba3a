// What the owner-drawn controls draw with. A control paints its whole picture
// into a canvas the size of the control; the window wrapper then copies that
// canvas to the screen in one go. Two canvases exist: a software raster (the
// tests compare its pixels) and a GDI canvas over a DIB section (Windows).
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plexi::controls {

// 0x00BBGGRR with red in the low byte, as GDI's COLORREF; a value with the
// top bit set names a system colour by the index in its low byte.
using Color = std::uint32_t;

constexpr Color kSystemColorFlag = 0x80000000u;
constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;

constexpr Color Rgb(int r, int g, int b) {
  return static_cast<Color>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}
constexpr int RedOf(Color c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Color c) { return static_cast<int>(c >> 8 & 0xFF); }
constexpr int BlueOf(Color c) { return static_cast<int>(c >> 16 & 0xFF); }

// The program's colours are all Color; only the edges that hand pixels to
// a 32-bit DIB (or take them from one, or from an Image's ARGB) convert, to
// and from its 0x00RRGGBB layout. System colours must be resolved first.
constexpr std::uint32_t DibPixelOf(Color c) {
  return static_cast<std::uint32_t>(RedOf(c)) << 16 | static_cast<std::uint32_t>(GreenOf(c)) << 8 |
         static_cast<std::uint32_t>(BlueOf(c));
}
constexpr Color ColorOfDibPixel(std::uint32_t p) {
  return Rgb(static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p & 0xFF));
}

// The system colour indices the controls use (the Windows COLOR_* values).
enum SystemColorIndex : int {
  kColorWindow = 5,
  kColorWindowText = 8,
  kColorHighlight = 13,
  kColorBtnFace = 15,
  kColorBtnShadow = 16,
  kColorGrayText = 17,
  kColorBtnText = 18,
  kColorBtnHighlight = 20,
};
constexpr int kSystemColorCount = 31;

constexpr Color SystemColor(int index) {
  return kSystemColorFlag | static_cast<Color>(index & 0xFF);
}

class SystemColorSource {
 public:
  virtual ~SystemColorSource() = default;
  virtual Color SystemColorValue(int index) const = 0;
};

// A fixed table of system colours: the defaults of a stock Windows 7 desktop
// unless filled otherwise (the Windows build fills it from GetSysColor).
class SystemColorTable : public SystemColorSource {
 public:
  SystemColorTable();
  explicit SystemColorTable(const std::array<Color, kSystemColorCount>& colors)
      : colors_(colors) {}
  Color SystemColorValue(int index) const override;

 private:
  std::array<Color, kSystemColorCount> colors_;
};

// The colour itself when explicit, else the system colour it names.
Color ChkSysColorToColor(Color color, const SystemColorSource& source);

// Mixes two explicit colours per channel: alpha is the weight of `a` in
// 256ths (0 gives b, 256 gives a), rounding toward minus infinity.
Color GetAlphaColor(std::int32_t a, std::int32_t b, std::int32_t alpha);

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// Covers columns left..right-1 and rows top..bottom-1.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Pen {
  Color color = kBlack;
  int width = 1;
};

// A font as the controls describe it: `height` as the toolkit stores it,
// negative for a character height in pixels; `color` is the text colour.
struct Font {
  std::string face = "MS UI Gothic";
  int height = -12;
  bool bold = false;
  Color color = SystemColor(kColorWindowText);
  friend bool operator==(const Font&, const Font&) = default;
};

// A small picture with straight alpha, 0xAARRGGBB per pixel, rows top down;
// the colour button's icon.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;
  bool empty() const { return width <= 0 || height <= 0; }
};

class Canvas : public SystemColorSource {
 public:
  // What GetPixel answers outside the canvas.
  static constexpr Color kNoPixel = 0xFFFFFFFFu;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  virtual void FillRect(const Rect& r, Color c) = 0;
  // A one-pixel outline along the border pixels of `r`.
  virtual void FrameRect(const Rect& r, Color c) = 0;
  // From `from` to `to`, the end point not drawn.
  virtual void Line(Point from, Point to, const Pen& pen) = 0;
  // Outline with the pen, inside with the brush (none: left alone).
  virtual void Rectangle(const Rect& r, const Pen& pen, std::optional<Color> brush) = 0;
  virtual void Ellipse(const Rect& r, const Pen& pen, std::optional<Color> brush) = 0;
  virtual void RoundRect(const Rect& r, int corner_width, int corner_height, const Pen& pen,
                         std::optional<Color> brush) = 0;
  virtual Color GetPixel(int x, int y) const = 0;
  virtual void SetPixel(int x, int y, Color c) = 0;

  virtual void SetFont(const Font& font) = 0;
  // Extent of UTF-8 text in the current font.
  virtual Size TextExtent(std::string_view text) = 0;
  // Transparent text with its cell's top-left at (x, y).
  virtual void WriteText(int x, int y, std::string_view text, Color c) = 0;

  // Scaled into `dest` (nearest pixel), blended by the picture's alpha.
  virtual void DrawImage(const Image& image, const Rect& dest);

  // Polyline helper: a pen line through the points, each end excluded.
  void Polyline(std::initializer_list<Point> points, const Pen& pen);
  Color Resolve(Color c) const { return ChkSysColorToColor(c, *this); }
};

}  // namespace plexi::controls
