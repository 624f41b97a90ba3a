// Owners for the GDI and menu objects of the main window, and an off-screen
// bitmap that is painted first and copied to the screen in one BitBlt.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "platform/win/gdi_scope.h"
#include "platform/win/win_handles.h"

namespace plexi::app {

struct MenuTraits {
  using Value = HMENU;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DestroyMenu(v); }
};
struct ImageListTraits {
  using Value = HIMAGELIST;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { ImageList_Destroy(v); }
};
struct MemoryDcTraits {
  using Value = HDC;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DeleteDC(v); }
};
using UniqueMenu = Unique<MenuTraits>;
using UniqueImageList = Unique<ImageListTraits>;
using UniqueMemoryDc = Unique<MemoryDcTraits>;

using plexi::win::PaintScope;
using plexi::win::ScopedSelect;
using plexi::win::WindowDc;

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
  win::UniqueGdiObject bitmap_;
  UniqueMemoryDc dc_;
  HGDIOBJ original_bitmap_ = nullptr;
  int width_ = 0, height_ = 0;
};

// A solid brush or pen of one colour, owned.
win::UniqueGdiObject SolidBrush(COLORREF colour);
win::UniqueGdiObject SolidPen(COLORREF colour);

}  // namespace plexi::app
