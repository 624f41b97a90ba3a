// The program's own pictures, drawn pixel by pixel at the size a screen
// needs: the toolbar glyphs and row badges (designed at 16 x 16), the view
// toggle's glyphs, the header band's colour strips (1 x 43) and the erase
// mark (designed at 32 x 32). Pixels are the program's
// Color (0x00BBGGRR, as COLORREF); kClear marks the pixels that let the
// background show through.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "controls/canvas.h"

namespace plexi::app {

using controls::Color;

inline constexpr Color kClear = controls::Rgb(0xFF, 0x00, 0xFF);

struct Pixmap {
  int width = 0;
  int height = 0;
  std::vector<Color> pixels;  // rows top to bottom

  Pixmap(int w, int h, Color fill = kClear)
      : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
  Color At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  void Set(int x, int y, Color c) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[size_t(y) * size_t(width) + size_t(x)] = c;
  }
};

// Images of the toolbar image list, by index.
enum ToolbarImage : int {
  kImageHelp = 0,
  kImageSectorDump = 1,
  kImageErase = 2,
  kImageBadgeReady = 3,        // erasable, no record
  kImageBadgeInterrupted = 4,  // erasable, resume record
  kImageBadgeCompleted = 5,    // erasable, completion record
  kImageRefresh = 6,
  kImagePower = 7,             // the progress dialog's shutdown settings
  kImageAbout = 9,
  kImageBadgeForbidden = 11,
  kImageErrorLog = 13,
  kToolbarImageCount = 14,
};

// Every toolbar image in index order, `size` pixels square (designed at
// 16); unused indexes are clear.
std::vector<Pixmap> ToolbarImages(int size = 16);
// The view toggle: one drive (physical view) or one drive in parts.
Pixmap ViewToggleGlyph(bool partition_view, int size = 16);
// A disabled button's glyph: the same shapes, washed out grey.
Pixmap Disabled(const Pixmap& glyph);
// Gray, Navy and Red: bright at the top, where the header takes its text
// colour from, darker below.
std::vector<Pixmap> HeaderStrips();
Pixmap EraseMark(int size = 32);
// The picture at width x height, each pixel taken from the nearest source
// pixel: the clear colour stays exact. The program's own pictures are drawn
// at their size instead, which keeps their lines even.
Pixmap Scaled(const Pixmap& source, int width, int height);

}  // namespace plexi::app
