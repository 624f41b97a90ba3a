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

void FillRect(Pixmap& p, int x0, int y0, int x1, int y1, Color c) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) p.Set(x, y, c);
}

void Frame(Pixmap& p, int x0, int y0, int x1, int y1, Color c) {
  for (int x = x0; x <= x1; ++x) p.Set(x, y0, c), p.Set(x, y1, c);
  for (int y = y0; y <= y1; ++y) p.Set(x0, y, c), p.Set(x1, y, c);
}

// Pixels whose centre lies within radius r of (cx, cy).
void Disc(Pixmap& p, double cx, double cy, double r, Color c) {
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r) p.Set(x, y, c);
}

// A line of the given thickness between two points.
void Stroke(Pixmap& p, double x0, double y0, double x1, double y1, double width, Color c) {
  const double dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      double t = length2 > 0 ? ((px - x0) * dx + (py - y0) * dy) / length2 : 0;
      t = std::clamp(t, 0.0, 1.0);
      if (std::hypot(px - (x0 + t * dx), py - (y0 + t * dy)) <= width / 2) p.Set(x, y, c);
    }
}

// A small picture from rows of characters: '#' is `ink`, anything else clear.
void Stamp(Pixmap& p, int left, int top, std::initializer_list<const char*> rows, Color ink) {
  int y = top;
  for (const char* row : rows) {
    for (int x = 0; row[x] != '\0'; ++x)
      if (row[x] == '#') p.Set(left + x, y, ink);
    ++y;
  }
}

// A round badge with a dark rim, for the corner of a row's icon.
Pixmap RoundBadge(Color colour) {
  Pixmap p(16, 16);
  Disc(p, 8, 8, 7.5, kBlackInk);
  Disc(p, 8, 8, 6.5, colour);
  return p;
}

Pixmap HelpGlyph() {
  Pixmap p = RoundBadge(kBlue);
  Stamp(p, 5, 3, {" ### ", "#   #", "    #", "   # ", "  #  ", "  #  ", "     ", "  #  "}, kWhiteInk);
  return p;
}

Pixmap AboutGlyph() {
  Pixmap p = RoundBadge(kBlue);
  Stamp(p, 6, 3, {" ## ", "    ", "### ", " ## ", " ## ", " ## ", " ## ", "####"}, kWhiteInk);
  return p;
}

// A sheet of hexadecimal bytes.
Pixmap SectorDumpGlyph() {
  Pixmap p(16, 16);
  FillRect(p, 2, 1, 13, 14, kPaper);
  Frame(p, 2, 1, 13, 14, kSteel);
  for (int y = 3; y <= 12; y += 3) {
    FillRect(p, 4, y, 5, y + 1, kBlue);
    FillRect(p, 7, y, 8, y + 1, kBlackInk);
    FillRect(p, 10, y, 11, y + 1, kBlackInk);
  }
  return p;
}

// A drive with a white cross, on the erase button's red face.
Pixmap EraseGlyph() {
  Pixmap p(16, 16);
  FillRect(p, 1, 4, 14, 12, kWhiteInk);
  FillRect(p, 2, 5, 13, 11, kSteel);
  FillRect(p, 11, 9, 12, 10, kGreen);
  Stroke(p, 4, 2, 12, 14, 2.2, kWhiteInk);
  Stroke(p, 12, 2, 4, 14, 2.2, kWhiteInk);
  return p;
}

Pixmap RefreshGlyph() {
  Pixmap p(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const double r = std::hypot(x + 0.5 - 8, y + 0.5 - 8);
      const bool gap = x >= 8 && y < 7;  // the arrow's opening at the top right
      if (r >= 3.6 && r <= 6.4 && !gap) p.Set(x, y, kGreen);
    }
  Stamp(p, 8, 0, {"##    ", "####  ", "######", "####  ", "##    "}, kGreen);
  return p;
}

// A page with a red exclamation mark.
Pixmap ErrorLogGlyph() {
  Pixmap p(16, 16);
  FillRect(p, 2, 1, 12, 14, kPaper);
  Frame(p, 2, 1, 12, 14, kSteel);
  for (int y = 4; y <= 12; y += 2) FillRect(p, 4, y, 7, y, kSteel);
  Disc(p, 11.5, 10.5, 4.5, kRed);
  Stamp(p, 11, 7, {"#", "#", "#", "#", " ", "#"}, kWhiteInk);
  return p;
}

Pixmap ReadyBadge() {
  Pixmap p = RoundBadge(kBlue);
  Disc(p, 8, 8, 2.5, kWhiteInk);
  return p;
}

Pixmap InterruptedBadge() {
  Pixmap p = RoundBadge(kOrange);
  FillRect(p, 5, 5, 6, 10, kWhiteInk);  // pause bars
  FillRect(p, 9, 5, 10, 10, kWhiteInk);
  return p;
}

Pixmap CompletedBadge() {
  Pixmap p = RoundBadge(kGreen);
  Stroke(p, 4.5, 8.5, 7, 11, 2, kWhiteInk);
  Stroke(p, 7, 11, 11.5, 5, 2, kWhiteInk);
  return p;
}

Pixmap ForbiddenBadge() {
  Pixmap p = RoundBadge(kRed);
  FillRect(p, 4, 7, 11, 8, kWhiteInk);  // no entry
  return p;
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
Pixmap PowerGlyph() {
  Pixmap p(16, 16);
  constexpr double cx = 8.0, cy = 8.5;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      const bool in_gap = py < cy && std::abs(px - cx) < 2.6;
      const double d = std::hypot(px - cx, py - cy);
      if (!in_gap && d >= 4.3 && d <= 6.1) p.Set(x, y, kBlue);
    }
  Stroke(p, 8.0, 1.5, 8.0, 8.5, 1.8, kBlue);
  return p;
}

}  // namespace

std::vector<Pixmap> ToolbarImages() {
  std::vector<Pixmap> images(kToolbarImageCount, Pixmap(16, 16));
  images[kImageHelp] = HelpGlyph();
  images[kImageSectorDump] = SectorDumpGlyph();
  images[kImageErase] = EraseGlyph();
  images[kImageBadgeReady] = ReadyBadge();
  images[kImageBadgeInterrupted] = InterruptedBadge();
  images[kImageBadgeCompleted] = CompletedBadge();
  images[kImageRefresh] = RefreshGlyph();
  images[kImagePower] = PowerGlyph();
  images[kImageAbout] = AboutGlyph();
  images[kImageBadgeForbidden] = ForbiddenBadge();
  images[kImageErrorLog] = ErrorLogGlyph();
  return images;
}

Pixmap ViewToggleGlyph(bool partition_view) {
  Pixmap p(16, 16);
  FillRect(p, 1, 3, 14, 12, kSteel);
  Frame(p, 1, 3, 14, 12, kBlackInk);
  if (partition_view) {
    FillRect(p, 3, 5, 6, 10, kBlue);
    FillRect(p, 8, 5, 12, 10, kOrange);
  } else {
    FillRect(p, 3, 5, 12, 10, kBlue);
  }
  FillRect(p, 11, 13, 14, 14, kGreen);  // the drive's lamp
  return p;
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
Pixmap EraseMark() {
  Pixmap p(32, 32);
  Frame(p, 0, 0, 31, 31, kRed);
  Frame(p, 1, 1, 30, 30, kRed);
  FillRect(p, 0, 0, 11, 11, kRed);
  Stroke(p, 2.5, 2.5, 9.5, 9.5, 1.8, kWhiteInk);
  Stroke(p, 9.5, 2.5, 2.5, 9.5, 1.8, kWhiteInk);
  return p;
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
