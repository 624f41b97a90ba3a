#include "controls/gdi_win.h"

namespace plexi::app {

HDC OffscreenBitmap::Prepare(HDC reference, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  if (dc_ && width <= width_ && height <= height_) return dc_.get();
  // The old bitmap goes back into the DC before either is destroyed.
  if (dc_ && original_bitmap_ != nullptr) SelectObject(dc_.get(), original_bitmap_);
  dc_.reset(CreateCompatibleDC(reference));
  bitmap_.reset(CreateCompatibleBitmap(reference, width, height));
  if (!dc_ || !bitmap_) {
    dc_.reset();
    bitmap_.reset();
    width_ = height_ = 0;
    return nullptr;
  }
  original_bitmap_ = SelectObject(dc_.get(), bitmap_.get());
  width_ = width;
  height_ = height;
  return dc_.get();
}

void OffscreenBitmap::BlitTo(HDC target, int x, int y, int width, int height) const {
  if (dc_) BitBlt(target, x, y, width, height, dc_.get(), 0, 0, SRCCOPY);
}

win::UniqueBrush SolidBrush(COLORREF colour) {
  return win::UniqueBrush(CreateSolidBrush(colour));
}

win::UniquePen SolidPen(COLORREF colour) {
  return win::UniquePen(CreatePen(PS_SOLID, 1, colour));
}

}  // namespace plexi::app
