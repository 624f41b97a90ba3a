#include "controls/color_progress_bar_win.h"

#include "platform/win/gdi_scope.h"

namespace plexi::win {

WindowlessProgressBar::WindowlessProgressBar() : bar_(CurrentSystemColors()) {
  bar_.SetHost(this);
}

void WindowlessProgressBar::Place(HWND parent, const RECT& bounds, Dpi dpi) {
  Invalidate();
  parent_ = parent;
  bounds_ = bounds;
  dpi_ = dpi;
  bar_.SetSize(dpi.Unscale(bounds.right - bounds.left), dpi.Unscale(bounds.bottom - bounds.top));
}

void WindowlessProgressBar::SetVisible(bool visible) {
  visible_ = visible;
  if (parent_) InvalidateRect(parent_, &bounds_, TRUE);
}

void WindowlessProgressBar::PaintOn(HDC parent_dc) {
  const SIZE pixels{bounds_.right - bounds_.left, bounds_.bottom - bounds_.top};
  if (!visible_ || !canvas_.Resize(pixels, {bar_.Width(), bar_.Height()})) return;
  bar_.Paint(canvas_);
  canvas_.BlitTo(parent_dc, bounds_.left, bounds_.top);
}

void WindowlessProgressBar::ExcludeFrom(HDC parent_dc) const {
  if (visible_) ExcludeClipRect(parent_dc, bounds_.left, bounds_.top, bounds_.right, bounds_.bottom);
}

void WindowlessProgressBar::Invalidate() {
  if (parent_ && visible_) InvalidateRect(parent_, &bounds_, FALSE);
}

void WindowlessProgressBar::PaintNow() {
  if (!parent_ || !visible_ || !IsWindowVisible(parent_)) return;
  auto dc = plexi::win::GetWindowDc(parent_);
  PaintOn(dc.get());
}

}  // namespace plexi::win
