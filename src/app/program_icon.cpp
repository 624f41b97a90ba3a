#include "app/program_icon.h"

#include <algorithm>
#include <cmath>

namespace plexi::app {
namespace {

struct Rgba {
  double r, g, b, a;
};

Rgba Mix(const Rgba& top, const Rgba& bottom, double t) {
  return {top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t,
          top.b + (bottom.b - top.b) * t, 1.0};
}

Rgba Hex(std::uint32_t rgb) {
  return {double(rgb >> 16 & 0xFF), double(rgb >> 8 & 0xFF), double(rgb & 0xFF), 1.0};
}

// Shapes in unit coordinates (0..1, y down).
bool InRoundRect(double x, double y, double x0, double y0, double x1, double y1, double r) {
  if (x < x0 || x > x1 || y < y0 || y > y1) return false;
  const double cx = std::clamp(x, x0 + r, x1 - r), cy = std::clamp(y, y0 + r, y1 - r);
  return std::hypot(x - cx, y - cy) <= r;
}

// Where (x, y) falls along the segment a-b (0..1) and how far from it.
struct SegmentPoint {
  double t, distance;
};
SegmentPoint OnSegment(double x, double y, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return {t, std::hypot(x - (ax + t * dx), y - (ay + t * dy))};
}

// The eraser lies from the lower left to the upper right, over the drive.
constexpr double kEraserAx = 0.20, kEraserAy = 0.84, kEraserBx = 0.84, kEraserBy = 0.20;

// The colour at one point of the picture, front layer first.
Rgba Sample(double x, double y) {
  const SegmentPoint eraser = OnSegment(x, y, kEraserAx, kEraserAy, kEraserBx, kEraserBy);
  if (eraser.distance <= 0.15) {
    if (eraser.distance > 0.115) return Hex(0x7A1414);                    // its rim
    if (eraser.t > 0.52 && eraser.t < 0.74) return Hex(0xF4F4EE);         // the paper sleeve
    return Mix(Hex(0xE84A3A), Hex(0xB81E1E), (eraser.distance + 0.115) / 0.23);  // rubber
  }
  if (std::hypot(x - 0.79, y - 0.68) <= 0.045) return Hex(0x3BD16A);    // the access lamp
  if (InRoundRect(x, y, 0.06, 0.22, 0.94, 0.80, 0.10)) {
    if (!InRoundRect(x, y, 0.095, 0.255, 0.905, 0.765, 0.07)) return Hex(0x26303A);  // rim
    if (y > 0.30 && y < 0.335 && x > 0.17 && x < 0.83) return Hex(0xB9C3CC);        // seam
    return Mix(Hex(0x8896A4), Hex(0x46525E), (y - 0.255) / 0.51);                     // body
  }
  return {0, 0, 0, 0};
}

std::uint32_t ToArgb(const Rgba& c) {
  auto byte = [](double v) { return std::uint32_t(std::clamp(std::lround(v), 0L, 255L)); };
  return byte(c.a * 255) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

void Put16(std::string& out, unsigned v) {
  out += char(v & 0xFF);
  out += char(v >> 8 & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// BITMAPINFOHEADER, the colour rows bottom up (BGRA) and the AND mask.
std::string IconEntryBytes(const IconImage& image) {
  const int n = image.size;
  const std::uint32_t mask_row = std::uint32_t((n + 31) / 32 * 4);
  std::string out;
  Put32(out, 40);
  Put32(out, std::uint32_t(n));
  Put32(out, std::uint32_t(2 * n));  // colour and mask, one above the other
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);  // BI_RGB
  Put32(out, std::uint32_t(n) * std::uint32_t(n) * 4 + mask_row * std::uint32_t(n));
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  for (int y = n - 1; y >= 0; --y)
    for (int x = 0; x < n; ++x) Put32(out, image.argb[size_t(y) * size_t(n) + size_t(x)]);
  out.append(size_t(mask_row) * size_t(n), '\0');
  return out;
}

}  // namespace

IconImage DrawProgramIcon(int size) {
  // 4 x 4 samples a pixel, averaged with their alpha, for smooth edges.
  constexpr int kSamples = 4;
  IconImage image{size, std::vector<std::uint32_t>(size_t(size) * size_t(size))};
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      Rgba sum{0, 0, 0, 0};
      for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx) {
          const Rgba c = Sample((x + (sx + 0.5) / kSamples) / size, (y + (sy + 0.5) / kSamples) / size);
          sum = {sum.r + c.r * c.a, sum.g + c.g * c.a, sum.b + c.b * c.a, sum.a + c.a};
        }
      const double count = kSamples * kSamples;
      const Rgba pixel = sum.a > 0 ? Rgba{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / count}
                                   : Rgba{0, 0, 0, 0};
      image.argb[size_t(y) * size_t(size) + size_t(x)] = ToArgb(pixel);
    }
  return image;
}

std::string IconFileBytes(const std::vector<IconImage>& images) {
  std::string header, entries, data;
  Put16(header, 0);
  Put16(header, 1);  // an icon
  Put16(header, unsigned(images.size()));
  std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
  for (const IconImage& image : images) {
    const std::string bytes = IconEntryBytes(image);
    entries += char(image.size >= 256 ? 0 : image.size);  // 0 means 256
    entries += char(image.size >= 256 ? 0 : image.size);
    entries += '\0';  // no palette
    entries += '\0';
    Put16(entries, 1);   // planes
    Put16(entries, 32);  // bits per pixel
    Put32(entries, std::uint32_t(bytes.size()));
    Put32(entries, offset);
    offset += std::uint32_t(bytes.size());
    data += bytes;
  }
  return header + entries + data;
}

}  // namespace plexi::app
