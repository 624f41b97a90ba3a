#include "controls/canvas.h"

namespace plexi::controls {

SystemColorTable::SystemColorTable()
    : colors_{Rgb(200, 200, 200), Rgb(0, 0, 0),       Rgb(153, 180, 209), Rgb(191, 205, 219),
              Rgb(240, 240, 240), Rgb(255, 255, 255), Rgb(100, 100, 100), Rgb(0, 0, 0),
              Rgb(0, 0, 0),       Rgb(0, 0, 0),       Rgb(180, 180, 180), Rgb(244, 247, 252),
              Rgb(171, 171, 171), Rgb(51, 153, 255),  Rgb(255, 255, 255), Rgb(240, 240, 240),
              Rgb(160, 160, 160), Rgb(109, 109, 109), Rgb(0, 0, 0),       Rgb(67, 78, 84),
              Rgb(255, 255, 255), Rgb(105, 105, 105), Rgb(227, 227, 227), Rgb(0, 0, 0),
              Rgb(255, 255, 225), Rgb(0, 0, 0),       Rgb(0, 102, 204),   Rgb(185, 209, 234),
              Rgb(215, 228, 242), Rgb(51, 153, 255),  Rgb(240, 240, 240)} {}

Color SystemColorTable::SystemColorValue(int index) const {
  if (index < 0 || index >= kSystemColorCount) return kBlack;
  return colors_[static_cast<std::size_t>(index)];
}

Color ChkSysColorToColor(Color color, const SystemColorSource& source) {
  if ((color & kSystemColorFlag) == 0) return color;
  return source.SystemColorValue(static_cast<int>(color & 0xFF)) & 0xFFFFFF;
}

Color GetAlphaColor(std::int32_t a, std::int32_t b, std::int32_t alpha) {
  auto mix = [alpha](std::int32_t ca, std::int32_t cb) {
    // 64-bit product: the levels that feed alpha are not bounded.
    const std::int64_t mixed = cb + (static_cast<std::int64_t>(ca - cb) * alpha >> 8);
    return static_cast<Color>(mixed & 0xFF);
  };
  const Color red = mix(a & 0xFF, b & 0xFF);
  const Color green = mix(a >> 8 & 0xFF, b >> 8 & 0xFF);
  const Color blue = mix(a >> 16 & 0xFF, b >> 16 & 0xFF);
  return red | green << 8 | blue << 16;
}

void Canvas::Polyline(std::initializer_list<Point> points, const Pen& pen) {
  const Point* previous = nullptr;
  for (const Point& p : points) {
    if (previous) Line(*previous, p, pen);
    previous = &p;
  }
}

void Canvas::DrawImage(const Image& image, const Rect& dest) {
  if (image.empty() || dest.Width() <= 0 || dest.Height() <= 0) return;
  for (int y = dest.top; y < dest.bottom; ++y) {
    const int sy = (y - dest.top) * image.height / dest.Height();
    for (int x = dest.left; x < dest.right; ++x) {
      const int sx = (x - dest.left) * image.width / dest.Width();
      const std::uint32_t argb = image.argb[static_cast<std::size_t>(sy * image.width + sx)];
      const int alpha = static_cast<int>(argb >> 24);
      if (alpha == 0) continue;
      const Color below = GetPixel(x, y);
      if (below == kNoPixel) continue;
      auto mix = [alpha](int over, int under) { return under + (over - under) * alpha / 255; };
      const int r = static_cast<int>(argb >> 16 & 0xFF);
      const int g = static_cast<int>(argb >> 8 & 0xFF);
      const int b = static_cast<int>(argb & 0xFF);
      SetPixel(x, y, Rgb(mix(r, RedOf(below)), mix(g, GreenOf(below)), mix(b, BlueOf(below))));
    }
  }
}

}  // namespace plexi::controls
