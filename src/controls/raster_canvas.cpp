#include "controls/raster_canvas.h"

#include <algorithm>
#include <cstdlib>

namespace plexi::controls {
namespace {

// 5 x 7 glyphs, one byte per row, bit 4 the leftmost column. Characters
// without a glyph are drawn as a hollow box the size of their cell.
struct Glyph {
  char32_t ch;
  unsigned char rows[7];
};
constexpr Glyph kGlyphs[] = {
    {U'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {U'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {U'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {U'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {U'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {U'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {U'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {U'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {U'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {U'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {U'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {U'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {U'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {U'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
};

const Glyph* FindGlyph(char32_t ch) {
  for (const Glyph& g : kGlyphs)
    if (g.ch == ch) return &g;
  return nullptr;
}

int GlyphScale(const Font& font) { return std::max(1, RasterCanvas::CellHeight(font) / 9); }

int Advance(const Font& font, char32_t ch) {
  return ch < 0x80 ? RasterCanvas::AsciiAdvance(font) : 2 * RasterCanvas::AsciiAdvance(font);
}

// Inside test of an ellipse filling the pixel box (0, 0, w, h), by pixel
// centres, so the shape is mirror-symmetric in both directions.
bool InsideEllipse(int x, int y, int w, int h) {
  const double rx = w / 2.0, ry = h / 2.0;
  const double dx = (x + 0.5 - rx) / rx, dy = (y + 0.5 - ry) / ry;
  return dx * dx + dy * dy <= 1.0 + 1e-9;
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2
                              : (lead & 0xF8) == 0xF0 ? 3 : -1;
    char32_t cp = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    if (ok) {
      for (int k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
        if ((next & 0xC0) != 0x80) { ok = false; break; }
        cp = cp << 6 | (next & 0x3F);
      }
    }
    if (!ok) {
      out.push_back(U'\uFFFD');
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

RasterCanvas::RasterCanvas(int width, int height, Color fill, const SystemColorTable& colors)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
              ChkSysColorToColor(fill, colors)),
      colors_(colors) {}

int RasterCanvas::CellHeight(const Font& font) {
  const int h = std::abs(font.height);
  return h == 0 ? 12 : h;
}

int RasterCanvas::AsciiAdvance(const Font& font) { return std::max(3, CellHeight(font) / 2); }

Color RasterCanvas::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kNoPixel;
  return pixels_[static_cast<std::size_t>(y * width_ + x)];
}

void RasterCanvas::SetPixel(int x, int y, Color c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y * width_ + x)] = Resolve(c);
}

void RasterCanvas::FillRect(const Rect& r, Color c) {
  const Color color = Resolve(c);
  const int left = std::max(0, r.left), right = std::min(width_, r.right);
  for (int y = std::max(0, r.top); y < std::min(height_, r.bottom); ++y)
    for (int x = left; x < right; ++x) pixels_[static_cast<std::size_t>(y * width_ + x)] = color;
}

void RasterCanvas::FrameRect(const Rect& r, Color c) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  FillRect({r.left, r.top, r.right, r.top + 1}, c);
  FillRect({r.left, r.bottom - 1, r.right, r.bottom}, c);
  FillRect({r.left, r.top, r.left + 1, r.bottom}, c);
  FillRect({r.right - 1, r.top, r.right, r.bottom}, c);
}

// A wide pen covers a square centred on the path, as GDI's geometric pens do
// for the widths the controls use.
void RasterCanvas::PenDot(int x, int y, const Pen& pen) {
  if (pen.width <= 1) {
    SetPixel(x, y, pen.color);
    return;
  }
  const int lo = -(pen.width / 2);
  FillRect({x + lo, y + lo, x + lo + pen.width, y + lo + pen.width}, pen.color);
}

void RasterCanvas::Line(Point from, Point to, const Pen& pen) {
  // Bresenham, stopping before the end point.
  int x = from.x, y = from.y;
  const int dx = std::abs(to.x - x), dy = -std::abs(to.y - y);
  const int sx = x < to.x ? 1 : -1, sy = y < to.y ? 1 : -1;
  int err = dx + dy;
  while (x != to.x || y != to.y) {
    PenDot(x, y, pen);
    const int e2 = 2 * err;
    if (e2 >= dy) { err += dy; x += sx; }
    if (e2 <= dx) { err += dx; y += sy; }
  }
}

void RasterCanvas::Rectangle(const Rect& r, const Pen& pen, std::optional<Color> brush) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  if (brush) FillRect({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, *brush);
  if (pen.width <= 1) {
    FrameRect(r, pen.color);
    return;
  }
  const Point tl{r.left, r.top}, tr{r.right - 1, r.top}, br{r.right - 1, r.bottom - 1},
      bl{r.left, r.bottom - 1};
  Polyline({tl, tr, br, bl, tl}, pen);
}

template <class Inside>
void RasterCanvas::DrawShape(const Rect& r, const Pen& pen, std::optional<Color> brush,
                             Inside inside) {
  const int w = r.Width(), h = r.Height();
  auto in = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && inside(x, y); };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!in(x, y)) continue;
      const bool edge = !in(x - 1, y) || !in(x + 1, y) || !in(x, y - 1) || !in(x, y + 1);
      if (edge)
        SetPixel(r.left + x, r.top + y, pen.color);
      else if (brush)
        SetPixel(r.left + x, r.top + y, *brush);
    }
  }
}

void RasterCanvas::Ellipse(const Rect& r, const Pen& pen, std::optional<Color> brush) {
  const int w = r.Width(), h = r.Height();
  DrawShape(r, pen, brush, [w, h](int x, int y) { return InsideEllipse(x, y, w, h); });
}

void RasterCanvas::RoundRect(const Rect& r, int corner_width, int corner_height, const Pen& pen,
                             std::optional<Color> brush) {
  const int w = r.Width(), h = r.Height();
  const int cw = std::min(corner_width, w), ch = std::min(corner_height, h);
  DrawShape(r, pen, brush, [=](int x, int y) {
    // Fold into the top-left corner; the corner ellipse decides there.
    const int mx = std::min(x, w - 1 - x), my = std::min(y, h - 1 - y);
    if (mx >= cw / 2 || my >= ch / 2) return true;
    return InsideEllipse(mx, my, cw, ch);
  });
}

Size RasterCanvas::TextExtent(std::string_view text) {
  int width = 0;
  for (char32_t ch : DecodeUtf8(text)) width += Advance(font_, ch);
  return {width, CellHeight(font_)};
}

void RasterCanvas::DrawGlyph(int x, int y, char32_t ch, Color c) {
  const int advance = Advance(font_, ch), cell = CellHeight(font_);
  if (ch == U' ') return;
  const Glyph* glyph = FindGlyph(ch);
  if (!glyph) {
    FrameRect({x, y + 1, x + advance - 1, y + cell - 1}, c);
    return;
  }
  const int s = GlyphScale(font_);
  const int top = y + (cell - 7 * s + 1) / 2;
  for (int row = 0; row < 7; ++row)
    for (int col = 0; col < 5; ++col)
      if (glyph->rows[row] & (0x10 >> col))
        FillRect({x + col * s, top + row * s, x + (col + 1) * s, top + (row + 1) * s}, c);
}

void RasterCanvas::WriteText(int x, int y, std::string_view text, Color c) {
  for (char32_t ch : DecodeUtf8(text)) {
    DrawGlyph(x, y, ch, c);
    x += Advance(font_, ch);
  }
}

}  // namespace plexi::controls
