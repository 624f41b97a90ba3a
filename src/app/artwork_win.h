// The program's pictures as image lists and bitmaps for GDI.
#pragma once
#include <windows.h>

#include <vector>

#include "app/artwork.h"
#include "window/gdi_win.h"
#include "window/window_win.h"

namespace plexi::app {

// A 32-bit bitmap with the pixmap's pixels.
win::UniqueBitmap BitmapOf(const Pixmap& pixmap);

struct Artwork {
  win::UniqueImageList toolbar;           // 16 x 16, ToolbarImage indexes
  win::UniqueImageList toolbar_disabled;  // the same, washed out
  win::UniqueImageList view_toggle;       // 0 physical, 1 partition, 2 and 3 disabled
  std::vector<win::UniqueBitmap> header_strips;  // 1 x 43: Gray, Navy, Red
  win::UniqueImageList erase_mark;        // 32 x 32

  // The glyphs and the erase mark at `dpi` (their design sizes scaled).
  static Artwork Make(win::Dpi dpi = win::Dpi());
};

}  // namespace plexi::app
