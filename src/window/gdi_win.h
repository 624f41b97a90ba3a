// The main window's off-screen bitmap, painted first and copied to the
// screen in one BitBlt, and its solid brushes and pens.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "platform/win/gdi_scope.h"
#include "platform/win/win_handles.h"
#include "window/memory_bitmap_win.h"

namespace plexi::win {

using plexi::win::UniqueImageList;


// A memory DC with a bitmap of at least the asked size, kept between paints
// until a larger one is needed.
class OffscreenBitmap {
 public:
  // Returns the DC to paint into, or null when GDI is out of resources.
  HDC Prepare(HDC reference, int width, int height);
  HDC dc() const { return surface_.dc(); }
  // Copies the painted width x height to (x, y) of `target`.
  void BlitTo(HDC target, int x, int y, int width, int height) const {
    surface_.BlitTo(target, x, y, width, height);
  }

 private:
  win::MemoryBitmap surface_;
};

// A solid brush or pen of one colour, owned.
win::UniqueBrush SolidBrush(COLORREF colour);
win::UniquePen SolidPen(COLORREF colour);

}  // namespace plexi::win
