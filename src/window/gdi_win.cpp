#include "window/gdi_win.h"

namespace plexi::win {

HDC OffscreenBitmap::Prepare(HDC reference, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  if (surface_ && width <= surface_.width() && height <= surface_.height()) return surface_.dc();
  return surface_.MakeCompatible(reference, width, height) ? surface_.dc() : nullptr;
}

win::UniqueBrush SolidBrush(COLORREF colour) {
  return win::UniqueBrush(CreateSolidBrush(colour));
}

win::UniquePen SolidPen(COLORREF colour) {
  return win::UniquePen(CreatePen(PS_SOLID, 1, colour));
}

}  // namespace plexi::win
