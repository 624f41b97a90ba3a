// Scope guards for the device-context pairs the windows use: every
// BeginPaint gets its EndPaint, every GetDC its ReleaseDC and every selected
// object is put back, also on an early return. Each guard is made by its
// factory (SelectInto, GetWindowDc, BeginPaintScope) and cannot be copied or
// moved, so it ends in the scope that made it.
#pragma once
#include <windows.h>

namespace plexi::win {

// Selects an object into a DC and puts the old one back at scope end, so the
// object is no longer selected when its owner deletes it.
class ScopedSelect {
 public:
  ~ScopedSelect() { SelectObject(dc_, old_); }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  friend ScopedSelect SelectInto(HDC dc, HGDIOBJ object);
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  HDC dc_;
  HGDIOBJ old_;
};
[[nodiscard]] inline ScopedSelect SelectInto(HDC dc, HGDIOBJ object) {
  return ScopedSelect(dc, object);
}

// GetDC / ReleaseDC of a window (the screen for null).
class WindowDc {
 public:
  ~WindowDc() { ReleaseDC(window_, dc_); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  friend WindowDc GetWindowDc(HWND window);
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  HWND window_;
  HDC dc_;
};
[[nodiscard]] inline WindowDc GetWindowDc(HWND window) { return WindowDc(window); }

// BeginPaint / EndPaint of one WM_PAINT.
class PaintScope {
 public:
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }
  const RECT& dirty() const { return paint_.rcPaint; }

 private:
  friend PaintScope BeginPaintScope(HWND window);
  // Made in place (no copy or move), so BeginPaint's pointer to paint_ stays
  // the one EndPaint gets.
  explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};
[[nodiscard]] inline PaintScope BeginPaintScope(HWND window) { return PaintScope(window); }

}  // namespace plexi::win
