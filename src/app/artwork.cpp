#include "app/artwork.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <string>

namespace plexi::app {
namespace {

using controls::Rgb;

constexpr Color kBlackInk = Rgb(0x20, 0x20, 0x20);
constexpr Color kWhiteInk = Rgb(0xFF, 0xFF, 0xFF);
constexpr Color kBlue = Rgb(0x2A, 0x6F, 0xD6);
constexpr Color kGreen = Rgb(0x24, 0xA1, 0x48);
constexpr Color kOrange = Rgb(0xE8, 0x86, 0x2A);
constexpr Color kRed = Rgb(0xD4, 0x2A, 0x2A);
constexpr Color kPaper = Rgb(0xFA, 0xFA, 0xF5);
constexpr Color kSteel = Rgb(0x8A, 0x90, 0x98);

// A picture designed on a grid of `design` pixels, drawn at `size` pixels.
// Boxes and frames snap to whole pixels of the target, a frame's lines keep
// one thickness, and the curved shapes are filled where the middle of a
// target pixel falls inside them: at any size the edges are sharp, not the
// designed pixels stretched, and at the design size every pixel is the
// designed one.
class Sketch {
 public:
  Sketch(int design, int size) : pixmap_(size, size), scale_(double(size) / design) {}
  Pixmap Take() { return std::move(pixmap_); }

  // Design pixels x0..x1 by y0..y1, both ends included.
  void Box(int x0, int y0, int x1, int y1, Color c) {
    FillTarget(Edge(x0), Edge(y0), Edge(x1 + 1), Edge(y1 + 1), c);
  }
  // The outline of that box, `thickness` design pixels wide.
  void Frame(int x0, int y0, int x1, int y1, Color c, int thickness = 1) {
    const int left = Edge(x0), top = Edge(y0), right = Edge(x1 + 1), bottom = Edge(y1 + 1);
    const int t = std::max(1, Edge(thickness));
    FillTarget(left, top, right, top + t, c);
    FillTarget(left, bottom - t, right, bottom, c);
    FillTarget(left, top, left + t, bottom, c);
    FillTarget(right - t, top, right, bottom, c);
  }
  // Every target pixel whose middle, in design coordinates, is `inside`.
  template <class Inside>
  void Fill(const Inside& inside, Color c) {
    for (int y = 0; y < pixmap_.height; ++y)
      for (int x = 0; x < pixmap_.width; ++x)
        if (inside((x + 0.5) / scale_, (y + 0.5) / scale_)) pixmap_.Set(x, y, c);
  }
  void Disc(double cx, double cy, double r, Color c) {
    Fill([&](double x, double y) { return std::hypot(x - cx, y - cy) <= r; }, c);
  }
  // A line of the given thickness between two points.
  void Stroke(double x0, double y0, double x1, double y1, double width, Color c) {
    const double dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
    Fill([&](double x, double y) {
      const double t = length2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / length2, 0.0, 1.0) : 0;
      return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2;
    }, c);
  }

 private:
  int Edge(double design) const { return int(std::floor(design * scale_ + 0.5)); }
  void FillTarget(int x0, int y0, int x1, int y1, Color c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) pixmap_.Set(x, y, c);
  }

  Pixmap pixmap_;
  double scale_;
};

constexpr int kGlyphDesign = 16;
constexpr int kMarkDesign = 32;

// A round badge with a dark rim, for the corner of a row's icon.
Sketch RoundBadge(Color colour, int size) {
  Sketch p(kGlyphDesign, size);
  p.Disc(8, 8, 7.5, kBlackInk);
  p.Disc(8, 8, 6.5, colour);
  return p;
}

// A question mark: the hook from the left over the top down to the stem,
// the stem and the dot.
Pixmap HelpGlyph(int size) {
  Sketch p = RoundBadge(kBlue, size);
  p.Fill([](double x, double y) {
    const double r = std::hypot(x - 7.5, y - 5.0);
    return r >= 1.3 && r <= 2.3 && !(y > 5.0 && x < 8.0);
  }, kWhiteInk);
  p.Box(7, 7, 7, 8, kWhiteInk);
  p.Box(7, 10, 7, 10, kWhiteInk);
  return p.Take();
}

Pixmap AboutGlyph(int size) {
  Sketch p = RoundBadge(kBlue, size);
  p.Box(7, 3, 8, 3, kWhiteInk);   // the dot
  p.Box(6, 5, 8, 5, kWhiteInk);   // the serif
  p.Box(7, 6, 8, 9, kWhiteInk);   // the stem
  p.Box(6, 10, 9, 10, kWhiteInk);  // the foot
  return p.Take();
}

// A sheet of hexadecimal bytes.
Pixmap SectorDumpGlyph(int size) {
  Sketch p(kGlyphDesign, size);
  p.Box(2, 1, 13, 14, kPaper);
  p.Frame(2, 1, 13, 14, kSteel);
  for (int y = 3; y <= 12; y += 3) {
    p.Box(4, y, 5, y + 1, kBlue);
    p.Box(7, y, 8, y + 1, kBlackInk);
    p.Box(10, y, 11, y + 1, kBlackInk);
  }
  return p.Take();
}

// A drive with a white cross, on the erase button's red face.
Pixmap EraseGlyph(int size) {
  Sketch p(kGlyphDesign, size);
  p.Box(1, 4, 14, 12, kWhiteInk);
  p.Box(2, 5, 13, 11, kSteel);
  p.Box(11, 9, 12, 10, kGreen);
  p.Stroke(4, 2, 12, 14, 2.2, kWhiteInk);
  p.Stroke(12, 2, 4, 14, 2.2, kWhiteInk);
  return p.Take();
}

// A ring open at the top right, its end an arrowhead pointing right.
Pixmap RefreshGlyph(int size) {
  Sketch p(kGlyphDesign, size);
  p.Fill([](double x, double y) {
    const double r = std::hypot(x - 8, y - 8);
    const bool gap = x > 8 && y < 7;
    return r >= 3.6 && r <= 6.4 && !gap;
  }, kGreen);
  p.Fill([](double x, double y) { return x >= 8 && x <= 8 + 6 * (1 - std::abs(y - 2.5) / 3); }, kGreen);
  return p.Take();
}

// A page with a red exclamation mark.
Pixmap ErrorLogGlyph(int size) {
  Sketch p(kGlyphDesign, size);
  p.Box(2, 1, 12, 14, kPaper);
  p.Frame(2, 1, 12, 14, kSteel);
  for (int y = 4; y <= 12; y += 2) p.Box(4, y, 7, y, kSteel);
  p.Disc(11.5, 10.5, 4.5, kRed);
  p.Box(11, 7, 11, 10, kWhiteInk);
  p.Box(11, 12, 11, 12, kWhiteInk);
  return p.Take();
}

Pixmap ReadyBadge(int size) {
  Sketch p = RoundBadge(kBlue, size);
  p.Disc(8, 8, 2.5, kWhiteInk);
  return p.Take();
}

Pixmap InterruptedBadge(int size) {
  Sketch p = RoundBadge(kOrange, size);
  p.Box(5, 5, 6, 10, kWhiteInk);  // pause bars
  p.Box(9, 5, 10, 10, kWhiteInk);
  return p.Take();
}

Pixmap CompletedBadge(int size) {
  Sketch p = RoundBadge(kGreen, size);
  p.Stroke(4.5, 8.5, 7, 11, 2, kWhiteInk);
  p.Stroke(7, 11, 11.5, 5, 2, kWhiteInk);
  return p.Take();
}

Pixmap ForbiddenBadge(int size) {
  Sketch p = RoundBadge(kRed, size);
  p.Box(4, 7, 11, 8, kWhiteInk);  // no entry
  return p.Take();
}

Color Mix(Color a, Color b, double t) {
  auto channel = [&](int shift) {
    const double va = (a >> shift) & 0xFF, vb = (b >> shift) & 0xFF;
    return uint32_t(std::lround(va + (vb - va) * t)) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

// Light for the top quarter, then a gradient from `base` to `deep`.
Pixmap Strip(Color light, Color base, Color deep) {
  Pixmap p(1, 43);
  for (int y = 0; y < 43; ++y) {
    Color c;
    if (y < 11) c = Mix(kWhiteInk, light, y / 10.0);
    else c = Mix(base, deep, (y - 11) / 31.0);
    p.Set(0, y, c);
  }
  return p;
}

// The power symbol: a ring open at the top with a bar through the gap.
Pixmap PowerGlyph(int size) {
  Sketch p(kGlyphDesign, size);
  constexpr double cx = 8.0, cy = 8.5;
  p.Fill([](double x, double y) {
    const bool in_gap = y < cy && std::abs(x - cx) < 2.6;
    const double d = std::hypot(x - cx, y - cy);
    return !in_gap && d >= 4.3 && d <= 6.1;
  }, kBlue);
  p.Stroke(8.0, 1.5, 8.0, 8.5, 1.8, kBlue);
  return p.Take();
}

}  // namespace

std::vector<Pixmap> ToolbarImages(int size) {
  std::vector<Pixmap> images(kToolbarImageCount, Pixmap(size, size));
  images[kImageHelp] = HelpGlyph(size);
  images[kImageSectorDump] = SectorDumpGlyph(size);
  images[kImageErase] = EraseGlyph(size);
  images[kImageBadgeReady] = ReadyBadge(size);
  images[kImageBadgeInterrupted] = InterruptedBadge(size);
  images[kImageBadgeCompleted] = CompletedBadge(size);
  images[kImageRefresh] = RefreshGlyph(size);
  images[kImagePower] = PowerGlyph(size);
  images[kImageAbout] = AboutGlyph(size);
  images[kImageBadgeForbidden] = ForbiddenBadge(size);
  images[kImageErrorLog] = ErrorLogGlyph(size);
  return images;
}

Pixmap ViewToggleGlyph(bool partition_view, int size) {
  Sketch p(kGlyphDesign, size);
  p.Box(1, 3, 14, 12, kSteel);
  p.Frame(1, 3, 14, 12, kBlackInk);
  if (partition_view) {
    p.Box(3, 5, 6, 10, kBlue);
    p.Box(8, 5, 12, 10, kOrange);
  } else {
    p.Box(3, 5, 12, 10, kBlue);
  }
  p.Box(11, 13, 14, 14, kGreen);  // the drive's lamp
  return p.Take();
}

Pixmap Disabled(const Pixmap& glyph) {
  Pixmap out = glyph;
  for (Color& c : out.pixels) {
    if (c == kClear) continue;
    const int grey = (controls::RedOf(c) * 3 + controls::GreenOf(c) * 6 + controls::BlueOf(c)) / 10;
    const int washed = 128 + grey / 2;
    c = Rgb(washed, washed, washed);
  }
  return out;
}

std::vector<Pixmap> HeaderStrips() {
  return {Strip(Rgb(0xE4, 0xE4, 0xE4), Rgb(0x8C, 0x8C, 0x8C), Rgb(0x4A, 0x4A, 0x4A)),   // Gray
          Strip(Rgb(0xC8, 0xD4, 0xF0), Rgb(0x24, 0x40, 0x8C), Rgb(0x0C, 0x1A, 0x48)),   // Navy
          Strip(Rgb(0xF8, 0xD0, 0xD0), Rgb(0xB4, 0x20, 0x20), Rgb(0x60, 0x0C, 0x0C))};  // Red
}

// A red frame round the icon with a cross in its corner: "erase this".
Pixmap EraseMark(int size) {
  Sketch p(kMarkDesign, size);
  p.Frame(0, 0, 31, 31, kRed, 2);
  p.Box(0, 0, 11, 11, kRed);
  p.Stroke(2.5, 2.5, 9.5, 9.5, 1.8, kWhiteInk);
  p.Stroke(9.5, 2.5, 2.5, 9.5, 1.8, kWhiteInk);
  return p.Take();
}

Pixmap Scaled(const Pixmap& source, int width, int height) {
  Pixmap scaled(std::max(width, 0), std::max(height, 0));
  if (source.width <= 0 || source.height <= 0) return scaled;
  for (int y = 0; y < scaled.height; ++y) {
    // The source pixel under the middle of the target pixel.
    const int sy = int((2 * int64_t(y) + 1) * source.height / (2 * int64_t(scaled.height)));
    for (int x = 0; x < scaled.width; ++x) {
      const int sx = int((2 * int64_t(x) + 1) * source.width / (2 * int64_t(scaled.width)));
      scaled.Set(x, y, source.At(sx, sy));
    }
  }
  return scaled;
}

}  // namespace plexi::app
