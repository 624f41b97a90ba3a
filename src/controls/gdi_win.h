// The image-list owner of the main window, and an off-screen
// bitmap that is painted first and copied to the screen in one BitBlt.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "platform/win/gdi_scope.h"
#include "platform/win/win_handles.h"

namespace plexi::app {

struct ImageListTraits {
  using Value = HIMAGELIST;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { ImageList_Destroy(v); }
};
using UniqueImageList = Unique<ImageListTraits>;

using plexi::win::BeginPaintScope;
using plexi::win::GetWindowDc;
using plexi::win::SelectInto;

// A memory DC with a bitmap of at least the asked size, kept between paints
// until a larger one is needed.
class OffscreenBitmap {
 public:
  // Returns the DC to paint into, or null when GDI is out of resources.
  HDC Prepare(HDC reference, int width, int height);
  HDC dc() const { return dc_.get(); }
  // Copies the painted width x height to (x, y) of `target`.
  void BlitTo(HDC target, int x, int y, int width, int height) const;

 private:
  win::UniqueBitmap bitmap_;
  win::UniqueDc dc_;
  HGDIOBJ original_bitmap_ = nullptr;
  int width_ = 0, height_ = 0;
};

// A solid brush or pen of one colour, owned.
win::UniqueBrush SolidBrush(COLORREF colour);
win::UniquePen SolidPen(COLORREF colour);

}  // namespace plexi::app
