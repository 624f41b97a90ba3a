// The progress bar on a window: it has no window of its own and paints its
// rectangle on the parent. The parent calls PaintOn from its WM_PAINT (and
// may leave the bar's rectangle out of its own background painting, since
// the bar covers every pixel of it).
#pragma once
#include <windows.h>

#include "controls/color_progress_bar.h"
#include "controls/gdi_canvas_win.h"
#include "window/window_win.h"

namespace plexi::win {

class WindowlessProgressBar : public controls::ControlHost {
 public:
  WindowlessProgressBar();
  WindowlessProgressBar(const WindowlessProgressBar&) = delete;
  WindowlessProgressBar& operator=(const WindowlessProgressBar&) = delete;

  // `bounds` in the parent's pixels; the bar draws its design at `dpi`.
  void Place(HWND parent, const RECT& bounds, Dpi dpi = Dpi());
  controls::TColorProgressBar& bar() { return bar_; }
  const RECT& bounds() const { return bounds_; }
  bool visible() const { return visible_; }
  void SetVisible(bool visible);

  // Paints the bar on the parent's DC (from the parent's WM_PAINT).
  void PaintOn(HDC parent_dc);
  // Keeps the parent's own painting off the bar.
  void ExcludeFrom(HDC parent_dc) const;

  void Invalidate() override;
  void PaintNow() override;

 private:
  controls::TColorProgressBar bar_;
  GdiCanvas canvas_;
  HWND parent_ = nullptr;
  RECT bounds_{};
  Dpi dpi_;
  bool visible_ = true;
};

}  // namespace plexi::win
